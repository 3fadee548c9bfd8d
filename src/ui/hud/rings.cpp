#include "ui/hud/rings.h"

#include <QPainter>
#include <QPainterPath>

#include "hud/hud_row.h"
#include "ui/symbol_icons.h"
#include "ui/system_colors.h"

namespace tessa {

namespace {

constexpr double kStroke = 2.0;

// The track, then the arc from the top clockwise over `progress` of the
// circle, then the symbol in the middle.
void paintRing(QWidget& widget, double progress, const QColor& arcColor, const QPixmap& symbol) {
  QPainter painter(&widget);
  painter.setRenderHint(QPainter::Antialiasing);
  QRectF circle = QRectF(widget.rect()).adjusted(kStroke / 2, kStroke / 2, -kStroke / 2, -kStroke / 2);

  QPen track(withOpacity(Qt::white, 0.2), kStroke);
  track.setCapStyle(Qt::FlatCap);
  painter.setPen(track);
  painter.drawEllipse(circle);

  if (progress > 0) {
    QPen arc(arcColor, kStroke);
    arc.setCapStyle(Qt::RoundCap);
    painter.setPen(arc);
    // Qt measures angles anticlockwise from three o'clock in 1/16 degrees.
    painter.drawArc(circle, 90 * 16, -static_cast<int>(progress * 360 * 16));
  }

  QSizeF size = symbol.deviceIndependentSize();
  painter.drawPixmap(QPointF((widget.width() - size.width()) / 2, (widget.height() - size.height()) / 2), symbol);
}

}  // namespace

RingTicker::RingTicker(QWidget& ring) {
  timer_.setInterval(33);
  QObject::connect(&timer_, &QTimer::timeout, &ring, [&ring] { ring.update(); });
}

void RingTicker::keepRunning(bool moving) {
  if (moving && !timer_.isActive()) timer_.start();
  if (!moving && timer_.isActive()) timer_.stop();
}

// ------------------------------------------------------------ undo button

CountdownRingButton::CountdownRingButton(const Clock& clock, double startedAt, double duration, QColor color,
                                         bool isExpired, QWidget* parent)
    : QAbstractButton(parent),
      clock_(clock),
      startedAt_(startedAt),
      duration_(duration),
      color_(std::move(color)),
      isExpired_(isExpired),
      ticker_(*this) {
  setFixedSize(kSide, kSide);
  setEnabled(!isExpired);
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::PointingHandCursor);
  ticker_.keepRunning(progress() > 0);
}

double CountdownRingButton::progress() const {
  if (isExpired_) return 0;
  return hudRingProgress(clock_.uptime() - startedAt_, duration_, true);
}

void CountdownRingButton::paintEvent(QPaintEvent*) {
  double p = progress();
  ticker_.keepRunning(p > 0);
  QPixmap symbol = symbolPixmap("delete.left", 9, withOpacity(Qt::white, isExpired_ ? 0.35 : 1.0), true,
                                devicePixelRatioF());
  paintRing(*this, p, isExpired_ ? withOpacity(Qt::white, 0.25) : color_, symbol);
}

// ------------------------------------------------------------ waiting ring

WaitingRing::WaitingRing(const Clock& clock, double startedAt, double duration, std::string icon, bool drains,
                         QWidget* parent)
    : QWidget(parent),
      clock_(clock),
      startedAt_(startedAt),
      duration_(duration),
      icon_(std::move(icon)),
      drains_(drains),
      ticker_(*this) {
  setFixedSize(kSide, kSide);
  setFocusPolicy(Qt::NoFocus);
  ticker_.keepRunning(true);
}

double WaitingRing::progress() const { return hudRingProgress(clock_.uptime() - startedAt_, duration_, drains_); }

void WaitingRing::paintEvent(QPaintEvent*) {
  double p = progress();
  ticker_.keepRunning(drains_ ? p > 0 : p < 1);
  paintRing(*this, p, withOpacity(Qt::white, 0.85), symbolPixmap(icon_, 9, Qt::white, true, devicePixelRatioF()));
}

}  // namespace tessa
