#include "ui/status/status_icon.h"

#include <cmath>

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>

#include "ui/symbol_icons.h"

namespace tessa {

namespace {

bool isDark(const QPalette& palette) { return palette.color(QPalette::Window).lightnessF() < 0.5; }

}  // namespace

QColor statusColor(StatusColor color, const QPalette& palette) {
  const bool dark = isDark(palette);
  switch (color) {
    case StatusColor::pausedGray: return QColor::fromRgbF(0.55f, 0.55f, 0.55f, 1.0f);
    case StatusColor::systemOrange: return dark ? QColor(255, 159, 10) : QColor(255, 149, 0);
    case StatusColor::systemYellow: return dark ? QColor(255, 214, 10) : QColor(255, 204, 0);
    case StatusColor::systemGreen: return dark ? QColor(48, 209, 88) : QColor(52, 199, 89);
    case StatusColor::label: break;
  }
  return palette.color(QPalette::WindowText);
}

QColor statusColor(StatusColor color) { return statusColor(color, QGuiApplication::palette()); }

QImage renderStatusIcon(const StatusIconSpec& spec, qreal devicePixelRatio) {
  return renderStatusIcon(spec, QGuiApplication::palette(), devicePixelRatio);
}

QImage renderStatusIcon(const StatusIconSpec& spec, const QPalette& palette, qreal devicePixelRatio) {
  const double side = symbolExtent(StatusIconSpec::kPointSize);
  const StatusIconLayout layout = spec.layout(side, side);
  QImage image(static_cast<int>(std::ceil(layout.width * devicePixelRatio)),
               static_cast<int>(std::ceil(layout.height * devicePixelRatio)), QImage::Format_ARGB32_Premultiplied);
  image.setDevicePixelRatio(devicePixelRatio);
  image.fill(Qt::transparent);

  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  // The layout measures from the bottom edge upwards.
  auto toQt = [&](const StatusRect& r) {
    return QRectF(r.x, layout.height - r.y - r.height, r.width, r.height);
  };

  QPixmap symbol = symbolPixmap(spec.symbol, StatusIconSpec::kPointSize, statusColor(spec.color, palette), false,
                                devicePixelRatio);
  painter.drawPixmap(toQt(layout.symbol), symbol, QRectF(symbol.rect()));

  painter.setPen(Qt::NoPen);
  for (const StatusBar& bar : layout.bars) {
    QPainterPath path;
    path.addRoundedRect(toQt(bar.rect), bar.cornerRadius, bar.cornerRadius);
    painter.fillPath(path, statusColor(bar.color, palette));
  }
  if (layout.logo) {
    // A small badge of the application: its keyboard on an accent tile.
    QRectF tile = toQt(*layout.logo);
    QPainterPath path;
    path.addRoundedRect(tile, 4, 4);
    painter.fillPath(path, QColor(0, 122, 255));
    QPixmap mark = symbolPixmap("keyboard.fill", 10, Qt::white, false, devicePixelRatio);
    QSizeF markSize = QSizeF(mark.size()) / devicePixelRatio;
    painter.drawPixmap(QRectF(tile.center() - QPointF(markSize.width() / 2, markSize.height() / 2), markSize), mark,
                       QRectF(mark.rect()));
  }
  return image;
}

}  // namespace tessa
