#include "app_core/dashboard/uptime_dashboard_model.h"

#include <cmath>
#include <cstdio>

#include "base/endpoints.h"
#include "platform/platform.h"
#include "l10n/localization.h"

namespace tessa {

UptimeDashboardModel::Texts UptimeDashboardModel::texts(const std::string& language) {
  return {thaiOrEnglishText("uptime_title", language), thaiOrEnglishText("uptime_subtitle", language),
          thaiOrEnglishText("uptime_session", language), thaiOrEnglishText("uptime_total", language)};
}

std::string UptimeDashboardModel::formatDuration(double seconds) {
  // Values that are not finite or do not fit show as zero; the page only
  // ever hands in finite, non-negative counts.
  int64_t s = 0;
  if (std::isfinite(seconds) && std::fabs(seconds) < 9.2e18) s = static_cast<int64_t>(seconds);
  const bool negative = s < 0;
  uint64_t u = negative ? uint64_t(0) - uint64_t(s) : uint64_t(s);
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%s%02llu:%02llu:%02llu", negative ? "-" : "",
                static_cast<unsigned long long>(u / 3600), static_cast<unsigned long long>((u % 3600) / 60),
                static_cast<unsigned long long>(u % 60));
  return buffer;
}

std::shared_ptr<UptimeDashboardModel> UptimeDashboardModel::create(EngineSettings settings, EngineContext context,
                                                                   std::function<void()> changed,
                                                                   std::optional<std::string> totalsURL) {
  std::shared_ptr<UptimeDashboardModel> model(new UptimeDashboardModel(
      std::move(settings), std::move(context), std::move(changed),
      totalsURL ? *totalsURL : Endpoints::telemetryPublic()));
  model->observeEngine();
  return model;
}

UptimeDashboardModel::UptimeDashboardModel(EngineSettings settings, EngineContext context,
                                           std::function<void()> changed, std::string totalsURL)
    : settings_(std::move(settings)), context_(std::move(context)), changed_(std::move(changed)) {
  client_ = std::make_unique<CommunityTotalsClient>(context_.platform.http, context_.console, std::move(totalsURL));
  lastSharing_ = settings_.isShareUsageTimeEnabled.get();
}

UptimeDashboardModel::~UptimeDashboardModel() {
  ticker_.cancel();
  invitation_.cancel();
}

void UptimeDashboardModel::observeEngine() {
  std::weak_ptr<UptimeDashboardModel> weak = weak_from_this();
  // The engine announces a write before storing it: look after it has landed,
  // once for a burst of writes.
  engineSubscription_ = settings_.subscribeWillChange([weak] {
    if (auto self = weak.lock()) self->engineWillChange();
  });
}

void UptimeDashboardModel::engineWillChange() {
  if (checkPending_.exchange(true)) return;
  std::weak_ptr<UptimeDashboardModel> weak = weak_from_this();
  context_.main.post([weak] {
    auto self = weak.lock();
    if (!self) return;
    self->checkPending_ = false;
    auto alive = self->context_.owner.lock();
    if (!alive) return;
    bool sharing = self->settings_.isShareUsageTimeEnabled.get();
    if (sharing != self->lastSharing_) {
      self->lastSharing_ = sharing;
      self->sharingChanged(sharing);
    }
    self->notifyChanged();
  });
}

void UptimeDashboardModel::notifyChanged() {
  if (changed_) changed_();
}

void UptimeDashboardModel::appear() {
  auto alive = context_.owner.lock();
  if (!alive) return;
  ticker_.cancel();
  std::weak_ptr<UptimeDashboardModel> weak = weak_from_this();
  ticker_ = context_.main.postRepeating(kTickInterval, [weak] {
    if (auto self = weak.lock()) {
      self->sessionSeconds_ += kTickInterval;
      self->notifyChanged();
    }
  });
  if (settings_.isShareUsageTimeEnabled.get()) refreshPublicStats();
  if (!settings_.hasSeenShareInvitation.get()) {
    invitation_.cancel();
    invitation_ = context_.main.postDelayed(kInvitationDelay, [weak] {
      auto self = weak.lock();
      if (!self) return;
      // Answered meanwhile (the community box's join marks it seen): no sheet.
      auto alive = self->context_.owner.lock();
      if (!alive || self->settings_.hasSeenShareInvitation.get()) return;
      self->showInvitationSheet_ = true;
      self->notifyChanged();
    });
  }
}

void UptimeDashboardModel::disappear() {
  ticker_.cancel();
  invitation_.cancel();
}

void UptimeDashboardModel::invitationClosed() { showInvitationSheet_ = false; }

CommunityShareState UptimeDashboardModel::shareState() const {
  auto alive = context_.owner.lock();
  if (!alive) return CommunityShareState{};
  return communityShareState(settings_.isShareUsageTimeEnabled.get(), publicStats_, settings_.defaults);
}

void UptimeDashboardModel::sharingChanged(bool isSharing) {
  auto alive = context_.owner.lock();
  if (!alive) return;
  markEverShared(settings_.defaults, isSharing, [this] { refreshPublicStats(); });
}

void UptimeDashboardModel::refreshPublicStats() {
  auto alive = context_.owner.lock();
  if (!alive || !settings_.isShareUsageTimeEnabled.get()) return;
  std::weak_ptr<UptimeDashboardModel> weak = weak_from_this();
  client_->fetch([weak](const CommunityTotalsClient::Reading& reading) {
    auto self = weak.lock();
    if (!self) return;
    using Outcome = CommunityTotalsClient::Reading::Outcome;
    if (reading.outcome == Outcome::hidden) self->publicStats_.reset();
    if (reading.outcome == Outcome::totals) self->publicStats_ = reading.totals;
    if (reading.outcome != Outcome::ignored) self->notifyChanged();
  });
}

}  // namespace tessa
