#include "ui/dashboard/widgets/typing_demo_view.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QHideEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QShowEvent>

#include "app_core/dashboard/typing_demo_model.h"
#include "ui/symbol_icons.h"

namespace tessa {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QColor colorOf(DemoColor c) {
  switch (c) {
    case DemoColor::white: return QColor(255, 255, 255);
    case DemoColor::yellow: return QColor(255, 214, 10);
    case DemoColor::green: return QColor(48, 209, 88);
    case DemoColor::orange: return QColor(255, 159, 10);
    case DemoColor::cyan: return QColor(100, 210, 255);
    case DemoColor::blue: return QColor(10, 132, 255);
  }
  return Qt::white;
}

QColor white(double opacity) {
  QColor c(Qt::white);
  c.setAlphaF(float(opacity));
  return c;
}

QFont sized(QFont f, int px, QFont::Weight w) {
  f.setPixelSize(px);
  f.setWeight(w);
  return f;
}

constexpr int kPadding = 12;
constexpr int kHeight = 150;

}  // namespace

TypingDemoView::TypingDemoView(FeatureDemo demo, TaskRunner& runner, QWidget* parent) : QWidget(parent) {
  setObjectName("typingDemo");
  setFixedSize(kWidth, kHeight);
  setAttribute(Qt::WA_TranslucentBackground);
  QPointer<TypingDemoView> self(this);
  model_ = TypingDemoModel::create(demo, runner, [self] {
    if (self) self->update();
  });
  setAccessibleName(qs(FeatureDemoInfo::summary(demo)));
}

TypingDemoView::~TypingDemoView() { model_->stop(); }

QSize TypingDemoView::sizeHint() const { return {kWidth, kHeight}; }

void TypingDemoView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) model_->start();
}

void TypingDemoView::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  if (!event->spontaneous()) model_->stop();
}

void TypingDemoView::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  const FeatureDemo demo = model_->demo();
  QRectF card = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
  QPainterPath shape;
  shape.addRoundedRect(card, 12, 12);
  p.fillPath(shape, QColor(0, 0, 0, int(255 * 0.88)));
  p.setPen(QPen(white(0.12), 1));
  p.drawPath(shape);

  const bool key = model_->isKeyStep();
  const QColor accent = colorOf(FeatureDemoInfo::accentColor(demo));
  const QFont base = font();
  QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);

  // Header: title on the left, key badge on the right.
  int y = kPadding;
  p.setFont(sized(base, 11, QFont::Bold));
  p.setPen(white(0.85));
  QFontMetrics headerMetrics(p.font());
  p.drawText(QRect(kPadding, y, width() - 2 * kPadding, 22), Qt::AlignLeft | Qt::AlignVCenter,
             QStringLiteral("🎬 ") + qs(FeatureDemoInfo::title(demo)));

  QFont capFont = sized(mono, 10, QFont::Bold);
  QFontMetrics capMetrics(capFont);
  const auto caps = FeatureDemoInfo::hotkeyCaps(demo);
  int badgeWidth = 4;
  for (const auto& cap : caps) badgeWidth += capMetrics.horizontalAdvance(qs(cap)) + 8 + 2;
  badgeWidth -= 2;
  QRectF badge(width() - kPadding - badgeWidth, y + 1, badgeWidth, 20);
  p.save();
  if (key) {
    p.translate(badge.center());
    p.scale(1.08, 1.08);
    p.translate(-badge.center());
  }
  QPainterPath badgePath;
  badgePath.addRoundedRect(badge, 6, 6);
  QColor fill = accent;
  fill.setAlphaF(key ? 0.6f : 0.25f);
  p.fillPath(badgePath, fill);
  QColor stroke = accent;
  stroke.setAlphaF(key ? 1.0f : 0.6f);
  p.setPen(QPen(stroke, key ? 1.5 : 0.8));
  p.drawPath(badgePath);
  p.setFont(capFont);
  double x = badge.left() + 2;
  for (const auto& cap : caps) {
    const int w = capMetrics.horizontalAdvance(qs(cap)) + 8;
    QRectF capRect(x, badge.top() + 2, w, badge.height() - 4);
    QPainterPath capPath;
    capPath.addRoundedRect(capRect, 4, 4);
    p.fillPath(capPath, white(key ? 0.45 : 0.2));
    p.setPen(Qt::white);
    p.drawText(capRect, Qt::AlignCenter, qs(cap));
    x += w + 2;
  }
  p.restore();
  y += 22 + 10;

  p.fillRect(QRectF(kPadding, y, width() - 2 * kPadding, 1), white(0.1));
  y += 1 + 10;

  // The typed line with its cursor.
  const DemoStep* step = model_->shownStep();
  QRectF lineRect(kPadding, y, width() - 2 * kPadding, 34);
  QPainterPath linePath;
  linePath.addRoundedRect(lineRect, 6, 6);
  p.fillPath(linePath, white(0.08));
  QFont typed = sized(mono, 14, QFont::Medium);
  p.setFont(typed);
  const QString text = step ? qs(step->text) : QString();
  p.setPen(step ? colorOf(step->color) : QColor(Qt::white));
  QRectF textRect = lineRect.adjusted(8, 0, -8, 0);
  p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, text);
  if (model_->showsCursor()) {
    const int advance = QFontMetrics(typed).horizontalAdvance(text);
    p.setFont(sized(mono, 14, QFont::Light));
    p.setPen(white(model_->cursorVisible() ? 0.6 : 0.0));
    p.drawText(textRect.adjusted(advance, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("|"));
  }
  y += 34 + 10;

  if (step && !step->caption.empty()) {
    p.setFont(sized(base, 11, QFont::Medium));
    p.setPen(step->color == DemoColor::white ? white(0.5) : colorOf(step->color));
    p.drawText(QRect(kPadding, y, width() - 2 * kPadding, 18), Qt::AlignLeft | Qt::AlignVCenter,
               qs(step->caption));
  }
  y += 18 + 8;
  if (model_->showHint()) {
    p.setFont(sized(base, 9, QFont::Normal));
    p.setPen(white(0.35));
    // No installed font draws the circled x; our own symbol stands in for it.
    const QString circledX = QString::fromUtf8("ⓧ");
    const QStringList parts = qs(FeatureDemoInfo::hint(demo)).split(circledX);
    QFontMetrics hintMetrics(p.font());
    int x = kPadding;
    for (qsizetype i = 0; i < parts.size(); ++i) {
      if (i > 0) {
        QPixmap mark = symbolPixmap("xmark.circle", 9, white(0.35), false, devicePixelRatioF());
        const QSizeF size = QSizeF(mark.size()) / mark.devicePixelRatio();
        p.drawPixmap(QPointF(x, y + (14 - size.height()) / 2), mark);
        x += int(size.width()) + 1;
      }
      p.drawText(QRect(x, y, width() - kPadding - x, 14), Qt::AlignLeft | Qt::AlignVCenter, parts[i]);
      x += hintMetrics.horizontalAdvance(parts[i]);
    }
  }
}

}  // namespace tessa
