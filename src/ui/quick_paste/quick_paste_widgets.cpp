#include "ui/quick_paste/quick_paste_widgets.h"

#include <QLabel>
#include <QLayout>
#include <QPalette>
#include <QToolButton>

#include "ui/quick_paste/quick_paste_preview.h"
#include "ui/sheets/sheet_parts.h"
#include "ui/symbol_icons.h"

namespace tessa::quick_paste {

using parts::qs;

QColor accent() { return parts::pageColor(HudColor::accent); }
QColor namedColor(const std::string& name) {
  if (name == "blue") return parts::pageColor(HudColor::blue);
  if (name == "orange") return parts::pageColor(HudColor::orange);
  if (name == "red") return alpha(parts::pageColor(HudColor::red), 0.8);
  QColor c = QPalette().color(QPalette::WindowText);
  c.setAlphaF(0.6f);
  return c;
}
QLabel* badge(QWidget* parent, const char* name, const QString& text, const QColor& fg, const QColor& bg,
              int pixelSize, bool bold, bool mono, int padX, int padY, int radius) {
  auto* l = new QLabel(text, parent);
  l->setObjectName(name);
  l->setTextFormat(Qt::PlainText);
  QFont f = l->font();
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  if (mono) f = monospaced(f);
  l->setFont(f);
  l->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: %3px; padding: %4px %5px; }")
                       .arg(rgba(fg), rgba(bg))
                       .arg(radius)
                       .arg(padY)
                       .arg(padX));
  l->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  return l;
}

QToolButton* symbolButton(QWidget* parent, const char* name, const std::string& symbol, double size,
                          const QColor& color, const QString& tooltip) {
  auto* b = new QToolButton(parent);
  b->setObjectName(name);
  b->setAutoRaise(true);
  b->setIcon(QIcon(symbolPixmap(symbol, size, color, false, parent ? parent->devicePixelRatioF() : 1.0)));
  b->setIconSize(QSize(symbolExtent(size), symbolExtent(size)));
  b->setProperty("symbol", qs(symbol));
  b->setToolTip(tooltip);
  b->setAccessibleName(tooltip);
  b->setCursor(Qt::PointingHandCursor);
  b->setStyleSheet(QStringLiteral("QToolButton { border: none; padding: 1px; background: transparent; }"));
  return b;
}

void clearLayout(QLayout* layout) {
  while (QLayoutItem* item = layout->takeAt(0)) {
    if (QWidget* w = item->widget()) {
      w->hide();
      w->deleteLater();
    }
    if (QLayout* inner = item->layout()) clearLayout(inner);
    delete item;
  }
}

}  // namespace tessa::quick_paste
