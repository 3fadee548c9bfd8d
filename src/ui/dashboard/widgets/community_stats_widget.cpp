#include "ui/dashboard/widgets/community_stats_widget.h"

#include <QGraphicsBlurEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app_core/dashboard/community_stats_model.h"
#include "base/notification_center.h"
#include "engine/engine_notifications.h"
#include "ui/dashboard/widgets/symbol_label.h"
#include "ui/symbol_icons.h"

namespace tessa {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

QPushButton* symbolButton(const std::string& symbol, const QString& text, const char* name, QWidget* parent,
                          bool prominent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setIcon(QIcon(symbolPixmap(symbol, 12, prominent ? QColor(Qt::white) : parent->palette().color(QPalette::ButtonText),
                                     false, parent->devicePixelRatioF())));
  button->setDefault(prominent);
  button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  button->setCursor(Qt::PointingHandCursor);
  if (prominent) {
    QColor accent = parent->palette().color(QPalette::Highlight);
    button->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border-radius: 5px; padding: 4px 10px; }")
                              .arg(accent.name()));
  }
  return button;
}

}  // namespace

CommunityStatsWidget::CommunityStatsWidget(EngineSettings settings, HudNotices hud, CommunityShareState state,
                                           QWidget* parent)
    : QFrame(parent), settings_(std::move(settings)), hud_(std::move(hud)), state_(std::move(state)) {
  setObjectName("communityStats");
  dashboard_style::makeGroupBox(this);
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(12, 12, 12, 12);
  layout_->setSpacing(12);
  rebuild();
  // A page that hands the box no new state on a language change (the About
  // page) would otherwise keep it in the old language until a restart.
  languageChanged_ = settings_.notifications.addObserver(notification::appLanguageChanged, [this](const Notification&) {
    QMetaObject::invokeMethod(this, [this] {
      if (language_ != settings_.appLanguage.get()) rebuild();
    });
  });
}

void CommunityStatsWidget::setState(const CommunityShareState& state) {
  if (state == state_ && language_ == settings_.appLanguage.get()) return;
  state_ = state;
  rebuild();
}

QWidget* CommunityStatsWidget::cellRow(QWidget* parent) {
  const auto t = CommunityStatsModel::texts(settings_);
  const auto values = CommunityStatsModel::cellValues(state_);
  const bool placeholder = CommunityStatsModel::showsPlaceholder(state_);
  const std::string captions[3] = {t.timeSaved, t.users, t.corrections};
  auto* row = new QWidget(parent);
  row->setObjectName("communityCells");
  auto* h = new QHBoxLayout(row);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(20);
  for (int i = 0; i < 3; ++i) {
    auto* cell = new QWidget(row);
    auto* v = new QVBoxLayout(cell);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(4);
    auto* value = dashboard_style::label(qs(values[size_t(i)]), "", cell, 18, QFont::Bold);
    value->setObjectName(QStringLiteral("communityValue%1").arg(i));
    value->setAlignment(Qt::AlignHCenter);
    if (placeholder) {
      auto* blur = new QGraphicsBlurEffect(value);
      blur->setBlurRadius(4);
      value->setGraphicsEffect(blur);
    }
    auto* caption = dashboard_style::label(qs(captions[i]), "", cell, 10);
    caption->setObjectName(QStringLiteral("communityCaption%1").arg(i));
    caption->setAlignment(Qt::AlignHCenter);
    dashboard_style::setTextColor(caption, dashboard_style::secondaryText(palette()));
    v->addWidget(value);
    v->addWidget(caption);
    h->addWidget(cell, 1);
  }
  return row;
}

void CommunityStatsWidget::rebuild() {
  language_ = settings_.appLanguage.get();
  const auto t = CommunityStatsModel::texts(settings_);
  if (!title_) {
    title_ = new SymbolLabel("person.3", {}, 12, palette().color(QPalette::WindowText), this, true);
    title_->setObjectName("communityTitle");
    layout_->addWidget(title_);
  }
  title_->setText(qs(t.title));
  if (section_) {
    section_->hide();
    section_->deleteLater();
  }
  section_ = new QWidget(this);
  section_->setObjectName("communitySection");
  auto* v = new QVBoxLayout(section_);
  v->setContentsMargins(0, 0, 0, 0);
  const QColor secondary = dashboard_style::secondaryText(palette());
  using Kind = CommunityShareState::Kind;

  auto stopLink = [&] {
    auto* link = new QPushButton(qs(t.stopSharing), section_);
    link->setObjectName("communityStopSharing");
    link->setFlat(true);
    link->setFont(dashboard_style::font(this, 11));
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(QStringLiteral("QPushButton { color: %1; border: none; text-align: left; padding: 0; }")
                            .arg(palette().color(QPalette::Link).name()));
    connect(link, &QPushButton::clicked, this, [this] { CommunityStatsModel::stopSharing(settings_, hud_); });
    v->addWidget(link, 0, Qt::AlignLeft);
  };

  switch (state_.kind) {
    case Kind::preview: {
      v->setSpacing(10);
      v->addWidget(cellRow(section_));
      auto* desc = dashboard_style::label(qs(t.description), "communityDescription", section_, 11);
      dashboard_style::setTextColor(desc, secondary);
      v->addWidget(desc);
      auto* join = symbolButton("person.badge.plus", qs(t.shareToggle), "communityJoin", section_, true);
      connect(join, &QPushButton::clicked, this, [this] { CommunityStatsModel::join(settings_, hud_); });
      v->addWidget(join);
      break;
    }
    case Kind::pending: {
      v->setSpacing(8);
      auto* headline = new SymbolLabel("checkmark.circle.fill", qs(t.pendingHeadline), 12, dashboard_style::green(),
                                       section_);
      headline->setObjectName("communityPendingHeadline");
      v->addWidget(headline);
      auto* body = dashboard_style::label(qs(t.pendingBody), "communityPendingBody", section_, 11);
      dashboard_style::setTextColor(body, secondary);
      v->addWidget(body);
      stopLink();
      break;
    }
    case Kind::optOut: {
      v->setSpacing(10);
      v->addWidget(cellRow(section_));
      auto* note = dashboard_style::label(qs(t.optOutNote), "communityOptOutNote", section_, 11);
      dashboard_style::setTextColor(note, secondary);
      v->addWidget(note);
      auto* again = symbolButton("arrow.clockwise", qs(t.shareAgain), "communityShareAgain", section_, false);
      connect(again, &QPushButton::clicked, this, [this] { CommunityStatsModel::shareAgain(settings_, hud_); });
      v->addWidget(again);
      break;
    }
    case Kind::live: {
      v->setSpacing(8);
      v->addWidget(cellRow(section_));
      auto* confirmation = new SymbolLabel("checkmark.circle", qs(t.liveConfirmation), 11, dashboard_style::green(),
                                           section_);
      confirmation->setObjectName("communityLiveConfirmation");
      v->addWidget(confirmation);
      stopLink();
      break;
    }
  }
  layout_->addWidget(section_);
}

}  // namespace tessa
