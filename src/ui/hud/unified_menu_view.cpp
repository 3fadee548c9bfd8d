#include "ui/hud/unified_menu_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/hud/rings.h"
#include "ui/symbol_icons.h"
#include "ui/system_colors.h"

namespace tessa {

namespace {

constexpr double kPlateRadius = 12;
// The plate's fill where the window cannot be see-through: black at 0.85 over
// a mid-dark desktop.
const QColor kOpaquePlate(30, 30, 30);

QString qs(const std::string& text) { return QString::fromStdString(text); }

QFont hudFont(const QFont& base, int pixelSize, QFont::Weight weight) {
  QFont font = base;
  font.setPixelSize(pixelSize);
  font.setWeight(weight);
  return font;
}

QLabel* makeLabel(QWidget* parent, const char* name, const std::string& text, const QFont& font,
                  const QColor& color) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  // Payload texts are shown as typed, never as markup.
  label->setTextFormat(Qt::PlainText);
  label->setText(qs(text));
  label->setFont(font);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, color);
  label->setPalette(palette);
  return label;
}

// A filled shape: the separator line or the symbol's mark.
class HudShape final : public QWidget {
 public:
  HudShape(QWidget* parent, const char* name, QSize size, QColor color, bool round)
      : QWidget(parent), color_(std::move(color)), round_(round) {
    setObjectName(name);
    setFixedSize(size);
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }
  QColor color() const { return color_; }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color_);
    if (round_) {
      painter.drawEllipse(rect());
    } else {
      painter.drawRect(rect());
    }
  }

 private:
  QColor color_;
  bool round_;
};

QColor symbolColor(const HudSymbol& symbol) { return withOpacity(systemColor(symbol.color), symbol.opacity); }

}  // namespace

// ---------------------------------------------------------------- symbols

HudSymbolView::HudSymbolView(const HudSymbol& symbol, QWidget* parent) : QWidget(parent), symbol_(symbol) {
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFixedSize(sizeHint());
}

void HudSymbolView::addMark(const HudSymbolMark& mark) {
  hasMark_ = true;
  setFixedSize(sizeHint());
  // 6 by 6 at the symbol's top-right corner, 3 points further right and 2 up.
  int extent = symbolExtent(symbol_.pointSize);
  auto* dot = new HudShape(this, "hudSymbolMark", QSize(6, 6), withOpacity(systemColor(mark.color), mark.opacity),
                           true);
  dot->move(extent - 3, 0);
}

QSize HudSymbolView::sizeHint() const {
  int extent = symbolExtent(symbol_.pointSize);
  return hasMark_ ? QSize(extent + 3, extent + 2) : QSize(extent, extent);
}

void HudSymbolView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QPixmap pixmap =
      symbolPixmap(symbol_.name, symbol_.pointSize, symbolColor(symbol_), symbol_.bold, devicePixelRatioF());
  painter.drawPixmap(QPointF(0, hasMark_ ? 2 : 0), pixmap);
}

HudSymbolButton::HudSymbolButton(const HudSymbol& symbol, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol) {
  setFocusPolicy(Qt::NoFocus);
  setCursor(Qt::PointingHandCursor);
  setFixedSize(sizeHint());
}

QSize HudSymbolButton::sizeHint() const {
  int side = symbolExtent(symbol_.pointSize) + 4;
  return {side, side};
}

void HudSymbolButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (isDown()) painter.setOpacity(0.6);
  QPixmap pixmap =
      symbolPixmap(symbol_.name, symbol_.pointSize, symbolColor(symbol_), symbol_.bold, devicePixelRatioF());
  QSizeF size = pixmap.deviceIndependentSize();
  painter.drawPixmap(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), pixmap);
}

// ------------------------------------------------------------------- view

UnifiedMenuView::UnifiedMenuView(UnifiedMenuState& state, const Clock& clock, HudLocalizer localizer,
                                 QWidget* parent)
    : QWidget(parent), state_(state), clock_(clock), localizer_(std::move(localizer)) {
  setObjectName("hudView");
  setFocusPolicy(Qt::NoFocus);
  setAttribute(Qt::WA_TranslucentBackground);
  outer_ = new QVBoxLayout(this);
  outer_->setContentsMargins(12, 8, 12, 8);
  outer_->setSpacing(0);
  subscription_ = state_.subscribeWillChange([this] { scheduleSync(); });
  sync();
}

UnifiedMenuView::~UnifiedMenuView() { subscription_.reset(); }

void UnifiedMenuView::setOpaquePlate(bool opaque) {
  opaquePlate_ = opaque;
  update();
}

void UnifiedMenuView::scheduleSync() {
  // Will-change comes before the new value is stored: read it a turn later.
  if (syncQueued_) return;
  syncQueued_ = true;
  QMetaObject::invokeMethod(this, [this] { sync(); }, Qt::QueuedConnection);
}

void UnifiedMenuView::sync() {
  syncQueued_ = false;
  uint64_t revision = state_.displayStateRevision();
  bool expired = state_.isExpired.get();
  bool hint = state_.showHint.get();
  if (built_ && revision == builtRevision_ && expired == builtExpired_ && hint == builtHint_) return;
  bool sameNotice = built_ && revision == builtRevision_;
  if (!sameNotice) rowStartedAt_ = clock_.uptime();
  built_ = true;
  builtRevision_ = revision;
  builtExpired_ = expired;
  builtHint_ = hint;
  row_ = buildHudRow(state_.displayState.get(), expired, hint, localizer_);
  rebuild(sameNotice);
}

void UnifiedMenuView::clearRow() {
  if (!content_) return;
  // A button's click may be what led here: let the old widgets go once the
  // event that is running has returned.
  content_->hide();
  outer_->removeWidget(content_);
  content_->setParent(nullptr);
  content_->deleteLater();
  content_ = nullptr;
}

QWidget* UnifiedMenuView::makeButton(const HudButton& button) {
  QAbstractButton* widget = nullptr;
  switch (button.role) {
    case HudButtonRole::undo: {
      const HudCountdownRing& ring = *button.countdown;
      widget = new CountdownRingButton(clock_, rowStartedAt_, ring.duration, systemColor(ring.color),
                                       ring.isExpired);
      widget->setObjectName("hudUndoButton");
      break;
    }
    case HudButtonRole::action: {
      auto* push = new QPushButton(qs(button.title));
      push->setObjectName("hudActionButton");
      push->setFont(hudFont(font(), 11, QFont::DemiBold));
      QColor accent = systemColor(HudColor::accent);
      push->setStyleSheet(QStringLiteral("QPushButton { color: white; background-color: %1; border: none;"
                                         " border-radius: 6px; padding: 5px 10px; }"
                                         "QPushButton:pressed { background-color: %2; }")
                              .arg(accent.name(), accent.darker(120).name()));
      push->setCursor(Qt::PointingHandCursor);
      widget = push;
      break;
    }
    case HudButtonRole::accept:
    case HudButtonRole::dismiss:
    case HudButtonRole::addToVocabulary: {
      widget = new HudSymbolButton(*button.symbol);
      const char* name = button.role == HudButtonRole::accept    ? "hudAcceptButton"
                         : button.role == HudButtonRole::dismiss ? "hudDismissButton"
                                                                 : "hudAddToVocabularyButton";
      widget->setObjectName(name);
      break;
    }
  }
  widget->setFocusPolicy(Qt::NoFocus);
  widget->setEnabled(button.enabled);
  if (!button.help.empty()) widget->setToolTip(qs(button.help));
  widget->setAccessibleName(qs(button.accessibilityLabel));
  if (!button.accessibilityHint.empty()) widget->setAccessibleDescription(qs(button.accessibilityHint));
  HudCallback onClick = button.onClick;
  connect(widget, &QAbstractButton::clicked, this, [onClick] {
    if (onClick) onClick();
  });
  return widget;
}

void UnifiedMenuView::rebuild(bool sameNotice) {
  clearRow();
  if (!row_.drawsPlate) {
    // Nothing on the plate: no margins either.
    outer_->setContentsMargins(0, 0, 0, 0);
    update();
    emit rowRebuilt(sameNotice);
    return;
  }
  outer_->setContentsMargins(12, 8, 12, 8);

  content_ = new QWidget(this);
  content_->setObjectName("hudContent");
  auto* column = new QVBoxLayout(content_);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* rowLayout = new QHBoxLayout;
  rowLayout->setContentsMargins(0, 0, 0, 0);
  rowLayout->setSpacing(8);
  column->addLayout(rowLayout);

  addLeadingMark(rowLayout);
  addTexts(rowLayout);
  addButtons(rowLayout);

  if (row_.hint) {
    const QColor white(Qt::white);
    QLabel* hint = makeLabel(content_, "hudHint", *row_.hint, hudFont(font(), 9, QFont::Normal), withOpacity(white, 0.4));
    hint->setContentsMargins(0, 2, 0, 0);
    column->addWidget(hint);
  }

  // Nothing on the notice may take the keyboard focus from the user's text.
  for (QWidget* child : content_->findChildren<QWidget*>()) child->setFocusPolicy(Qt::NoFocus);
  content_->setFocusPolicy(Qt::NoFocus);
  outer_->addWidget(content_, 0, Qt::AlignCenter);
  content_->show();
  outer_->activate();
  update();
  emit rowRebuilt(sameNotice);
}

// The leading symbol or ring.
void UnifiedMenuView::addLeadingMark(QHBoxLayout* rowLayout) {
  if (row_.symbol) {
    auto* symbol = new HudSymbolView(*row_.symbol, content_);
    symbol->setObjectName("hudSymbol");
    if (row_.mark) symbol->addMark(*row_.mark);
    rowLayout->addWidget(symbol, 0, Qt::AlignVCenter);
  } else if (row_.ring) {
    auto* ring = new WaitingRing(clock_, rowStartedAt_, row_.ring->duration, row_.ring->icon, row_.ring->drains,
                                 content_);
    ring->setObjectName("hudWaitingRing");
    rowLayout->addWidget(ring, 0, Qt::AlignVCenter);
  }
}

// The texts: the title (or the suggestion's two words), its badge and the detail.
void UnifiedMenuView::addTexts(QHBoxLayout* rowLayout) {
  const QColor white(Qt::white);
  const QFont titleFont = hudFont(font(), 13, QFont::DemiBold);
  auto* texts = new QVBoxLayout;
  texts->setContentsMargins(0, 0, 0, 0);
  texts->setSpacing(1);
  auto* titleLine = new QHBoxLayout;
  titleLine->setContentsMargins(0, 0, 0, 0);
  titleLine->setSpacing(4);
  if (row_.askTitle) {
    QFont struck = titleFont;
    struck.setStrikeOut(true);
    titleLine->addWidget(
        makeLabel(content_, "hudCurrentWord", row_.askTitle->currentWord, struck, withOpacity(white, 0.6)));
    auto* arrow = new HudSymbolView(HudSymbol{"arrow.right", HudColor::white, 0.5, 10, true}, content_);
    arrow->setObjectName("hudArrow");
    titleLine->addWidget(arrow, 0, Qt::AlignVCenter);
    titleLine->addWidget(makeLabel(content_, "hudSuggestedWord", row_.askTitle->suggestedWord, titleFont, white));
  } else {
    titleLine->addWidget(makeLabel(content_, "hudTitle", row_.title, titleFont, systemColor(row_.titleColor)));
  }
  if (row_.badge) {
    QLabel* badge = makeLabel(content_, "hudBadge", row_.badge->text, hudFont(font(), 8, QFont::Bold), white);
    QColor fill = withOpacity(systemColor(row_.badge->color), 0.85);
    badge->setStyleSheet(QStringLiteral("QLabel { background-color: rgba(%1, %2, %3, %4); border-radius: 4px;"
                                        " padding: 2px 4px; }")
                             .arg(fill.red())
                             .arg(fill.green())
                             .arg(fill.blue())
                             .arg(fill.alpha()));
    titleLine->addWidget(badge, 0, Qt::AlignVCenter);
  }
  titleLine->addStretch(1);
  texts->addLayout(titleLine);
  if (row_.detail) {
    QFont detailFont = hudFont(font(), 10, row_.emphasisedDetail ? QFont::Medium : QFont::Normal);
    texts->addWidget(
        makeLabel(content_, "hudDetail", *row_.detail, detailFont, withOpacity(white, row_.emphasisedDetail ? 0.7 : 0.6)));
  }
  rowLayout->addLayout(texts, 1);
}

// The separator and the buttons.
void UnifiedMenuView::addButtons(QHBoxLayout* rowLayout) {
  const QColor white(Qt::white);
  if (row_.separator) {
    rowLayout->addWidget(new HudShape(content_, "hudSeparator", QSize(1, 24), withOpacity(white, 0.15), false), 0,
                         Qt::AlignVCenter);
  }
  for (const HudButton& button : row_.buttons) {
    QWidget* widget = makeButton(button);
    widget->setParent(content_);
    rowLayout->addWidget(widget, 0, Qt::AlignVCenter);
  }
}

void UnifiedMenuView::paintEvent(QPaintEvent*) {
  if (!row_.drawsPlate) return;
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  QPen outline(withOpacity(Qt::white, 0.12), 1);
  if (opaquePlate_) {
    painter.fillRect(rect(), kOpaquePlate);
    painter.setPen(outline);
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    return;
  }
  QPainterPath plate;
  plate.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kPlateRadius, kPlateRadius);
  painter.fillPath(plate, withOpacity(Qt::black, 0.85));
  painter.setPen(outline);
  painter.drawPath(plate);
}

}  // namespace tessa
