#include "ui/dashboard/widgets/milestone_nudge_card.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app_core/dashboard/milestone_nudge_model.h"
#include "ui/dashboard/widgets/symbol_label.h"
#include "ui/symbol_icons.h"

namespace tessa {

namespace {
QString qs(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

MilestoneNudgeCard::MilestoneNudgeCard(EngineSettings settings, EngineStats stats, HudNotices hud, QWidget* parent)
    : QFrame(parent), settings_(std::move(settings)), stats_(std::move(stats)), hud_(std::move(hud)) {
  setObjectName("milestoneNudgeCard");
  dashboard_style::makeGroupBox(this);
  auto* v = new QVBoxLayout(this);
  v->setContentsMargins(14, 14, 14, 14);
  v->setSpacing(12);

  title_ = new SymbolLabel("sparkles", {}, 13, palette().color(QPalette::WindowText), this, true);
  title_->setObjectName("nudgeTitle");
  title_->findChild<QLabel*>("symbol")->setPixmap(symbolPixmap("sparkles", 15, QColor(255, 149, 0), false,
                                                               devicePixelRatioF()));
  v->addWidget(title_);
  subtitle_ = dashboard_style::label({}, "nudgeSubtitle", this, 11);
  dashboard_style::setTextColor(subtitle_, dashboard_style::secondaryText(palette()));
  v->addWidget(subtitle_);

  const QColor accent = palette().color(QPalette::Highlight);
  join_ = new QPushButton(this);
  join_->setObjectName("nudgeJoin");
  join_->setIcon(QIcon(symbolPixmap("heart.circle.fill", 13, Qt::white, false, devicePixelRatioF())));
  join_->setStyleSheet(QStringLiteral("QPushButton { background: %1; color: white; border-radius: 5px; padding: 5px 10px; }")
                           .arg(accent.name()));
  join_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  v->addWidget(join_);

  auto* row = new QHBoxLayout;
  row->setSpacing(10);
  remind_ = new QPushButton(this);
  remind_->setObjectName("nudgeRemind");
  decline_ = new QPushButton(this);
  decline_->setObjectName("nudgeDecline");
  for (auto* b : {remind_, decline_}) {
    b->setFont(dashboard_style::font(this, 10));
    b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    row->addWidget(b, 1);
  }
  v->addLayout(row);

  inspect_ = new QPushButton(this);
  inspect_->setObjectName("nudgeInspect");
  inspect_->setFlat(true);
  inspect_->setFont(dashboard_style::font(this, 10));
  inspect_->setCursor(Qt::PointingHandCursor);
  inspect_->setIcon(QIcon(symbolPixmap("checkmark.shield", 10, dashboard_style::secondaryText(palette()), false,
                                       devicePixelRatioF())));
  inspect_->setStyleSheet(QStringLiteral("QPushButton { color: %1; border: none; padding: 2px 0 0 0; }")
                              .arg(dashboard_style::secondaryText(palette()).name(QColor::HexArgb)));
  v->addWidget(inspect_, 0, Qt::AlignHCenter);

  connect(join_, &QPushButton::clicked, this, [this] { MilestoneNudgeModel::join(settings_, stats_, hud_); });
  connect(remind_, &QPushButton::clicked, this, [this] { MilestoneNudgeModel::remindLater(settings_, stats_); });
  connect(decline_, &QPushButton::clicked, this, [this] { MilestoneNudgeModel::decline(settings_, stats_); });
  connect(inspect_, &QPushButton::clicked, this, [this] {
    showInspector_ = true;
    emit inspectRequested();
  });
  refresh();
}

void MilestoneNudgeCard::refresh() {
  const auto t = MilestoneNudgeModel::texts(settings_, stats_);
  title_->setText(qs(t.title));
  subtitle_->setText(qs(t.subtitle));
  join_->setText(qs(t.join));
  remind_->setText(qs(t.remind));
  decline_->setText(qs(t.decline));
  inspect_->setText(qs(t.inspect));
}

}  // namespace tessa
