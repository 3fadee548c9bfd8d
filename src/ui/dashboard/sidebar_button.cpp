#include "ui/dashboard/sidebar_button.h"

#include <algorithm>

#include <QEnterEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

#include "ui/symbol_icons.h"
#include "ui/system_colors.h"

namespace tessa {

namespace {

constexpr int kPadH = 12, kPadV = 8, kIconFrame = 20, kSpacing = 10, kRadius = 8;
constexpr double kIconPointSize = 14;
constexpr int kTitlePixelSize = 13;
constexpr int kHoverFadeMs = 150;

QColor mix(const QColor& from, const QColor& to, double t) {
  if (t <= 0) return from;
  if (t >= 1) return to;
  auto lerp = [t](float a, float b) { return a + (b - a) * static_cast<float>(t); };
  QColor a = from.toRgb(), b = to.toRgb();
  return QColor::fromRgbF(lerp(a.redF(), b.redF()), lerp(a.greenF(), b.greenF()), lerp(a.blueF(), b.blueF()),
                          lerp(a.alphaF(), b.alphaF()));
}

bool darkTheme() { return QGuiApplication::palette().color(QPalette::Window).lightnessF() < 0.5; }

}  // namespace

QColor dashboardBlue() { return darkTheme() ? QColor(10, 132, 255) : QColor(0, 122, 255); }

SidebarButton::SidebarButton(const QString& title, std::string icon, QWidget* parent)
    : QAbstractButton(parent), icon_(std::move(icon)) {
  setAttribute(Qt::WA_Hover);
  setCursor(Qt::ArrowCursor);
  setFocusPolicy(Qt::TabFocus);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setTitle(title);
  hoverFade_ = new QVariantAnimation(this);
  hoverFade_->setDuration(kHoverFadeMs);
  hoverFade_->setEasingCurve(QEasingCurve::InOutQuad);
  connect(hoverFade_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
    hoverAmount_ = value.toDouble();
    update();
  });
  restyle();
}

void SidebarButton::setTitle(const QString& title) {
  setText(title);
  setAccessibleName(title);
  setToolTip(title);
  updateGeometry();
  update();
}

void SidebarButton::setSelected(bool selected) {
  if (selected_ == selected) return;
  selected_ = selected;
  restyle();
}

void SidebarButton::setHovered(bool hovered) {
  if (hovered_ == hovered) return;
  hovered_ = hovered;
  hoverFade_->stop();
  hoverFade_->setStartValue(hoverAmount_);
  hoverFade_->setEndValue(hovered ? 1.0 : 0.0);
  hoverFade_->start();
  restyle();
}

void SidebarButton::restyle() {
  // The title's font is the one its text is measured and drawn in.
  QFont f = font();
  f.setPixelSize(kTitlePixelSize);
  f.setWeight(selected_ || hovered_ ? QFont::DemiBold : QFont::Normal);
  setFont(f);
  updateGeometry();
  update();
}

QColor SidebarButton::colorsAt(double hover, QColor* background) const {
  const QColor primary = palette().color(QPalette::WindowText);
  if (selected_) {
    *background = withOpacity(dashboardBlue(), 0.12);
    return dashboardBlue();
  }
  *background = withOpacity(primary, 0.06 * hover);
  return mix(primary, dashboardBlue(), hover);
}

QColor SidebarButton::foregroundColor() const {
  QColor background;
  return colorsAt(hovered_ ? 1 : 0, &background);
}

QColor SidebarButton::backgroundColor() const {
  QColor background;
  colorsAt(hovered_ ? 1 : 0, &background);
  return background;
}

int SidebarButton::titleWidth() const { return width() - (kPadH * 2 + kIconFrame + kSpacing); }

QFont SidebarButton::shownFont() const {
  // Wide desktop fonts do not fit the longer titles in the sidebar's width;
  // a slightly narrowed face reads better than a cut-off word.
  struct Step {
    int stretch, smaller;
  };
  QFont f = font();
  for (Step step : {Step{100, 0}, Step{92, 0}, Step{84, 0}, Step{84, 1}, Step{80, 1}}) {
    f = font();
    f.setStretch(step.stretch);
    f.setPixelSize(kTitlePixelSize - step.smaller);
    if (QFontMetrics(f).horizontalAdvance(text()) <= titleWidth()) break;
  }
  return f;
}

QString SidebarButton::shownTitle() const {
  return QFontMetrics(shownFont()).elidedText(text(), Qt::ElideRight, titleWidth());
}

QSize SidebarButton::sizeHint() const {
  QFontMetrics metrics(font());
  int content = std::max(symbolExtent(kIconPointSize), metrics.height());
  return {kPadH * 2 + kIconFrame + kSpacing + metrics.horizontalAdvance(text()), kPadV * 2 + content};
}

QSize SidebarButton::minimumSizeHint() const { return {kPadH * 2 + kIconFrame, sizeHint().height()}; }

void SidebarButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QColor background;
  const QColor foreground = colorsAt(hoverAmount_, &background);
  if (background.alpha() > 0) {
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()), kRadius, kRadius);
    painter.fillPath(path, background);
  }
  QPixmap symbol = symbolPixmap(icon_, kIconPointSize, foreground, true, devicePixelRatioF());
  QSizeF symbolSize = QSizeF(symbol.size()) / symbol.devicePixelRatio();
  QRectF iconFrame(kPadH, 0, kIconFrame, height());
  painter.drawPixmap(QRectF(iconFrame.center() - QPointF(symbolSize.width() / 2, symbolSize.height() / 2), symbolSize),
                     symbol, QRectF(symbol.rect()));

  painter.setFont(shownFont());
  painter.setPen(foreground);
  // The tooltip has the title whole when it had to be cut short.
  QRect textRect(kPadH + kIconFrame + kSpacing, 0, titleWidth(), height());
  painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, shownTitle());
}

void SidebarButton::enterEvent(QEnterEvent* event) {
  setHovered(true);
  QAbstractButton::enterEvent(event);
}

void SidebarButton::leaveEvent(QEvent* event) {
  setHovered(false);
  QAbstractButton::leaveEvent(event);
}

}  // namespace tessa
