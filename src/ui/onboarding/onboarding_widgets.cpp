#include "ui/onboarding/onboarding_widgets.h"

#include <QEnterEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "ui/symbol_icons.h"
#include "ui/system_colors.h"

namespace tessa {

namespace {
QString qs(const std::string& text) { return QString::fromStdString(text); }
}  // namespace

QColor onboardingColor(OnboardingColor color, const QPalette& palette) {
  switch (color) {
    case OnboardingColor::primary: return palette.color(QPalette::WindowText);
    case OnboardingColor::secondary: return withOpacity(palette.color(QPalette::WindowText), 0.6);
    case OnboardingColor::accent: return palette.color(QPalette::Highlight);
    case OnboardingColor::green: return QColor(40, 167, 69);
    case OnboardingColor::orange: return QColor(230, 126, 0);
    case OnboardingColor::blue: return QColor(0, 122, 255);
    case OnboardingColor::purple: return QColor(175, 82, 222);
    case OnboardingColor::teal: return QColor(48, 176, 199);
  }
  return palette.color(QPalette::WindowText);
}

QLabel* onboardingLabel(QWidget* parent, const QString& name, const std::string& text, int pixelSize, bool bold,
                        OnboardingColor color, bool wrap, Qt::Alignment alignment) {
  auto* label = new QLabel(qs(text), parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::PlainText);
  QFont font = label->font();
  font.setPixelSize(pixelSize);
  if (bold) font.setWeight(QFont::Bold);
  label->setFont(font);
  QPalette p = label->palette();
  p.setColor(QPalette::WindowText, onboardingColor(color, p));
  label->setPalette(p);
  label->setAlignment(alignment | Qt::AlignVCenter);
  // Wrapping also marks the label as height-for-width; keep that policy.
  label->setWordWrap(wrap);
  return label;
}

QLabel* onboardingSymbol(QWidget* parent, const QString& name, const std::string& symbol, double pixelSize,
                         const QColor& color) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setProperty("symbolName", qs(symbol));
  int side = symbolExtent(pixelSize);
  label->setFixedSize(side, side);
  label->setPixmap(symbolPixmap(symbol, pixelSize, color, false, parent ? parent->devicePixelRatioF() : 1.0));
  return label;
}

QPushButton* onboardingButton(QWidget* parent, const QString& name, const std::string& text, const QColor& tint,
                              int verticalPadding) {
  auto* button = new QPushButton(qs(text), parent);
  button->setObjectName(name);
  button->setCursor(Qt::PointingHandCursor);
  QFont font = button->font();
  font.setPixelSize(onboarding_font::kHeadline);
  font.setWeight(QFont::DemiBold);
  button->setFont(font);
  button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  int padding = 6 + verticalPadding;
  if (tint.isValid()) {
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border: none; border-radius: 7px;"
                                         " padding: %2px 12px; } QPushButton:pressed { background: %3; }"
                                         " QPushButton:focus { border: 2px solid palette(highlighted-text);"
                                         " padding: %4px 10px; }")
                              .arg(tint.name(), QString::number(padding), tint.darker(120).name(),
                                   QString::number(padding - 2)));
  } else {
    button->setStyleSheet(QStringLiteral("QPushButton { border: 1px solid palette(mid); border-radius: 7px;"
                                         " padding: %1px 12px; background: palette(button); }"
                                         " QPushButton:focus { border: 2px solid palette(highlight); padding: %2px 11px; }")
                              .arg(padding)
                              .arg(padding - 1));
  }
  return button;
}

QPushButton* onboardingLinkButton(QWidget* parent, const QString& name, const std::string& text, int pixelSize) {
  auto* button = new QPushButton(qs(text), parent);
  button->setObjectName(name);
  button->setFlat(true);
  button->setCursor(Qt::PointingHandCursor);
  QFont font = button->font();
  font.setPixelSize(pixelSize);
  button->setFont(font);
  QColor secondary = onboardingColor(OnboardingColor::secondary, button->palette());
  button->setStyleSheet(
      QStringLiteral("QPushButton { border: none; padding: 2px; color: %1; }"
                     " QPushButton:focus { border: 1px solid palette(highlight); border-radius: 3px; padding: 1px; }")
          .arg(secondary.name(QColor::HexArgb)));
  return button;
}

// ------------------------------------------------------------ HotkeyPill

HotkeyPill::HotkeyPill(const std::vector<std::string>& keys, QWidget* parent) : QWidget(parent), keys_(keys) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(2);
  int index = 0;
  for (const auto& key : keys_) {
    auto* cap = new RoundedBox(withOpacity(onboardingColor(OnboardingColor::secondary, palette()), 0.2), 4, this);
    cap->setObjectName(QStringLiteral("hotkeyCap%1").arg(index++));
    auto* capLayout = new QHBoxLayout(cap);
    capLayout->setContentsMargins(5, 2, 5, 2);
    auto* label = new QLabel(qs(key), cap);
    label->setObjectName("hotkeyCapText");
    label->setTextFormat(Qt::PlainText);
    QFont font(QStringLiteral("monospace"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(onboarding_font::kCaption2);
    font.setWeight(QFont::Bold);
    label->setFont(font);
    capLayout->addWidget(label);
    row->addWidget(cap);
  }
  if (keys_.empty()) setFixedSize(0, 0);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

// ------------------------------------------------------------ FeatureRow

FeatureRow::FeatureRow(const std::string& icon, const std::string& text, const QColor& color, QWidget* parent)
    : QWidget(parent), icon_(icon) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(8);
  // Moved down a little so the symbol sits on the first line's text.
  auto* iconHolder = new QWidget(this);
  auto* iconColumn = new QVBoxLayout(iconHolder);
  iconColumn->setContentsMargins(0, 2, 0, 0);
  iconLabel_ = onboardingSymbol(iconHolder, "featureRowIcon", icon, onboarding_font::kCaption, color);
  iconColumn->addWidget(iconLabel_);
  iconColumn->addStretch(1);
  row->addWidget(iconHolder, 0, Qt::AlignTop);
  text_ = onboardingLabel(this, "featureRowText", text, onboarding_font::kCaption, false, OnboardingColor::primary,
                          true);
  row->addWidget(text_, 1, Qt::AlignTop);
}

// ---------------------------------------------------------- ProgressDots

ProgressDots::ProgressDots(QWidget* parent) : QWidget(parent) {
  setObjectName("onboarding.dots");
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void ProgressDots::setStep(int step) {
  step_ = step;
  update();
}

QColor ProgressDots::dotColor(int index) const {
  switch (OnboardingModel::dot(index, step_).tone) {
    case OnboardingModel::DotTone::current: return onboardingColor(OnboardingColor::accent, palette());
    case OnboardingModel::DotTone::finished:
      return withOpacity(onboardingColor(OnboardingColor::accent, palette()), 0.4);
    case OnboardingModel::DotTone::upcoming:
      return withOpacity(onboardingColor(OnboardingColor::secondary, palette()), 0.2 / 0.6);
  }
  return {};
}

QSize ProgressDots::sizeHint() const {
  int width = 0;
  for (int i = 0; i < OnboardingModel::kDotCount; ++i) width += OnboardingModel::dot(i, step_).width;
  return {width + 6 * (OnboardingModel::kDotCount - 1), 5 + 2};
}

void ProgressDots::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  qreal x = (width() - sizeHint().width()) / 2.0;
  for (int i = 0; i < OnboardingModel::kDotCount; ++i) {
    auto dot = OnboardingModel::dot(i, step_);
    painter.setBrush(dotColor(i));
    painter.drawRoundedRect(QRectF(x, 2, dot.width, dot.height), dot.height / 2.0, dot.height / 2.0);
    x += dot.width + 6;
  }
}

// ------------------------------------------------------------ RoundedBox

RoundedBox::RoundedBox(QColor fill, qreal radius, QWidget* parent)
    : QWidget(parent), fill_(std::move(fill)), radius_(radius) {}

void RoundedBox::setOutline(QColor color, qreal width) {
  outline_ = std::move(color);
  outlineWidth_ = width;
  update();
}

void RoundedBox::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  qreal inset = outlineWidth_ / 2;
  QRectF r = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
  QPainterPath path;
  path.addRoundedRect(r, radius_, radius_);
  painter.fillPath(path, fill_);
  if (outlineWidth_ > 0 && outline_.alpha() > 0) painter.strokePath(path, QPen(outline_, outlineWidth_));
}

// ------------------------------------------------------------ CardButton

CardButton::CardButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::StrongFocus);
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
}

void CardButton::setOutlined(bool outlined) {
  outlined_ = outlined;
  update();
}

void CardButton::enterEvent(QEnterEvent* event) {
  hovered_ = true;
  update();
  QAbstractButton::enterEvent(event);
}

void CardButton::leaveEvent(QEvent* event) {
  hovered_ = false;
  update();
  QAbstractButton::leaveEvent(event);
}

void CardButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
  QPainterPath path;
  path.addRoundedRect(r, 8, 8);
  QColor base = palette().color(QPalette::Button);
  painter.fillPath(path, isDown() ? base.darker(112) : hovered_ ? base.darker(104) : base);
  painter.strokePath(path, QPen(withOpacity(palette().color(QPalette::WindowText), 0.15), 1));
  if (outlined_) painter.strokePath(path, QPen(palette().color(QPalette::Highlight), 2));
  // The keyboard's place, drawn inside the card so that it shows on a
  // selected card too.
  if (hasFocus()) {
    QPainterPath ring;
    ring.addRoundedRect(r.adjusted(3, 3, -3, -3), 6, 6);
    painter.strokePath(ring, QPen(palette().color(QPalette::Highlight), 2, Qt::DotLine));
  }
}

}  // namespace tessa
