#include "ui/dashboard/pages/uptime_dashboard_view.h"

#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app_core/dashboard/uptime_dashboard_model.h"
#include "ui/dashboard/widgets/community_stats_widget.h"
#include "ui/dashboard/widgets/milestone_nudge_card.h"
#include "ui/dashboard/widgets/share_invitation_sheet.h"
#include "ui/dashboard/widgets/symbol_label.h"
#include "ui/symbol_icons.h"

namespace tessa {

namespace {
QString qs(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

UptimeDashboardView::UptimeDashboardView(EngineSettings settings, EngineStats stats, HudNotices hud,
                                         EngineContext context, QWidget* parent,
                                         std::optional<std::string> totalsURL)
    : QScrollArea(parent), settings_(std::move(settings)), stats_(std::move(stats)), hud_(std::move(hud)) {
  setObjectName("page.usage");
  setWidgetResizable(true);
  setFrameShape(QFrame::NoFrame);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  QPointer<UptimeDashboardView> self(this);
  model_ = UptimeDashboardModel::create(
      settings_, std::move(context),
      [self] {
        if (self) self->refresh();
      },
      std::move(totalsURL));

  auto* content = new QWidget(this);
  content->setObjectName("usageContent");
  stack_ = new QVBoxLayout(content);
  stack_->setContentsMargins(16, 16, 16, 16);
  stack_->setSpacing(20);

  auto* header = new QWidget(content);
  header->setObjectName("usageHeader");
  auto* h = new QHBoxLayout(header);
  h->setContentsMargins(0, 0, 0, 0);
  h->setSpacing(14);
  auto* icon = new QLabel(header);
  icon->setObjectName("usageAppIcon");
  icon->setPixmap(applicationIconPixmap(84, devicePixelRatioF()));
  icon->setFixedSize(84, 84);
  h->addWidget(icon);
  auto* titles = new QVBoxLayout;
  titles->setSpacing(4);
  title_ = dashboard_style::label({}, "usageTitle", header, 20, QFont::Bold);
  subtitle_ = dashboard_style::label({}, "usageSubtitle", header, 11);
  dashboard_style::setTextColor(subtitle_, dashboard_style::secondaryText(palette()));
  titles->addStretch(1);
  titles->addWidget(title_);
  titles->addWidget(subtitle_);
  titles->addStretch(1);
  h->addLayout(titles, 1);
  stack_->addWidget(header);

  nudge_ = new MilestoneNudgeCard(settings_, stats_, hud_, content);
  connect(nudge_, &MilestoneNudgeCard::inspectRequested, this, &UptimeDashboardView::payloadInspectorRequested);
  stack_->addWidget(nudge_);

  stack_->addWidget(card("usageSessionCard", "clock", sessionLabel_, sessionTime_, 36, false, sessionCaption_));
  stack_->addWidget(card("usageTotalCard", "timer", totalLabel_, totalTime_, 28, true, totalCaption_));

  community_ = new CommunityStatsWidget(settings_, hud_, model_->shareState(), content);
  stack_->addWidget(community_);
  stack_->addStretch(1);
  setWidget(content);
  refresh();
}

UptimeDashboardView::~UptimeDashboardView() {
  if (sheet_) sheet_->deleteLater();
}

QWidget* UptimeDashboardView::card(const char* name, const std::string& symbol, QLabel*& label, QLabel*& time,
                                   int pixelSize, bool secondary, SymbolLabel*& caption) {
  auto* box = new QFrame(widget() ? widget() : this);
  box->setObjectName(name);
  dashboard_style::makeGroupBox(box);
  auto* v = new QVBoxLayout(box);
  v->setContentsMargins(12, 12, 12, 12);
  v->setSpacing(8);
  caption = new SymbolLabel(symbol, {}, 11, dashboard_style::secondaryText(palette()), box);
  caption->setObjectName(QStringLiteral("%1Caption").arg(name));
  label = caption->textLabel();
  v->addWidget(caption);
  time = new QLabel(box);
  time->setObjectName(QStringLiteral("%1Time").arg(name));
  time->setFont(dashboard_style::font(this, pixelSize, secondary ? QFont::Normal : QFont::DemiBold, true));
  time->setAlignment(Qt::AlignHCenter);
  if (secondary) dashboard_style::setTextColor(time, dashboard_style::secondaryText(palette()));
  v->addWidget(time);
  return box;
}

void UptimeDashboardView::refresh() {
  const auto texts = UptimeDashboardModel::texts(settings_.appLanguage.get());
  title_->setText(qs(texts.title));
  subtitle_->setText(qs(texts.subtitle));
  sessionCaption_->setText(qs(texts.sessionLabel));
  totalCaption_->setText(qs(texts.totalLabel));
  sessionTime_->setText(qs(UptimeDashboardModel::formatDuration(model_->sessionSeconds())));
  totalTime_->setText(qs(UptimeDashboardModel::formatDuration(stats_.totalUsageTime.get())));
  const bool nudge = stats_.showMilestoneNudge.get();
  if (nudge) nudge_->refresh();
  nudge_->setVisible(nudge);
  community_->setState(model_->shareState());

  if (model_->showInvitationSheet() && !sheet_) {
    sheet_ = new ShareInvitationSheet(settings_, hud_, window());
    sheet_->setAttribute(Qt::WA_DeleteOnClose);
    QPointer<UptimeDashboardView> self(this);
    connect(sheet_, &QDialog::finished, this, [self] {
      if (!self) return;
      self->model_->invitationClosed();
      self->sheet_ = nullptr;
    });
    sheet_->open();
  }
}

void UptimeDashboardView::showEvent(QShowEvent* event) {
  QScrollArea::showEvent(event);
  // A window coming back from the taskbar is not the page appearing anew.
  if (!event->spontaneous()) model_->appear();
}

void UptimeDashboardView::hideEvent(QHideEvent* event) {
  QScrollArea::hideEvent(event);
  if (!event->spontaneous()) model_->disappear();
}

}  // namespace tessa
