#include "app_core/dashboard/uptime_dashboard_model.h"

#include <cmath>
#include <cstdio>

#include "base/endpoints.h"
#include "engine/keyboard_engine.h"
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

std::shared_ptr<UptimeDashboardModel> UptimeDashboardModel::create(const std::shared_ptr<KeyboardEngine>& engine,
                                                                   std::function<void()> changed,
                                                                   std::optional<std::string> totalsURL) {
  std::shared_ptr<UptimeDashboardModel> model(
      new UptimeDashboardModel(engine, std::move(changed), totalsURL ? *totalsURL : Endpoints::telemetryPublic()));
  model->observeEngine();
  return model;
}

std::shared_ptr<UptimeDashboardModel> UptimeDashboardModel::create(KeyboardEngine& engine,
                                                                   std::function<void()> changed,
                                                                   std::optional<std::string> totalsURL) {
  return create(engine.shared_from_this(), std::move(changed), std::move(totalsURL));
}

UptimeDashboardModel::UptimeDashboardModel(const std::shared_ptr<KeyboardEngine>& engine,
                                           std::function<void()> changed, std::string totalsURL)
    : engine_(engine), main_(engine->mainQueue()), changed_(std::move(changed)) {
  std::weak_ptr<KeyboardEngine> weakEngine = engine;
  client_ = std::make_unique<CommunityTotalsClient>(
      engine->platform().http,
      [weakEngine](const std::string& line) {
        if (auto e = weakEngine.lock()) e->appLog().console(line);
      },
      std::move(totalsURL));
  lastSharing_ = engine->isShareUsageTimeEnabled.get();
}

UptimeDashboardModel::~UptimeDashboardModel() {
  ticker_.cancel();
  invitation_.cancel();
}

void UptimeDashboardModel::observeEngine() {
  auto engine = engine_.lock();
  std::weak_ptr<UptimeDashboardModel> weak = weak_from_this();
  // The engine announces a write before storing it: look after it has landed,
  // once for a burst of writes.
  engineSubscription_ = engine->subscribeWillChange([weak] {
    if (auto self = weak.lock()) self->engineWillChange();
  });
}

void UptimeDashboardModel::engineWillChange() {
  if (checkPending_.exchange(true)) return;
  std::weak_ptr<UptimeDashboardModel> weak = weak_from_this();
  main_.post([weak] {
    auto self = weak.lock();
    if (!self) return;
    self->checkPending_ = false;
    auto engine = self->engine_.lock();
    if (!engine) return;
    bool sharing = engine->isShareUsageTimeEnabled.get();
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
  auto engine = engine_.lock();
  if (!engine) return;
  ticker_.cancel();
  std::weak_ptr<UptimeDashboardModel> weak = weak_from_this();
  ticker_ = main_.postRepeating(kTickInterval, [weak] {
    if (auto self = weak.lock()) {
      self->sessionSeconds_ += kTickInterval;
      self->notifyChanged();
    }
  });
  if (engine->isShareUsageTimeEnabled.get()) refreshPublicStats();
  if (!engine->hasSeenShareInvitation.get()) {
    invitation_.cancel();
    invitation_ = main_.postDelayed(kInvitationDelay, [weak] {
      auto self = weak.lock();
      if (!self) return;
      // Answered meanwhile (the community box's join marks it seen): no sheet.
      auto e = self->engine_.lock();
      if (!e || e->hasSeenShareInvitation.get()) return;
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
  auto engine = engine_.lock();
  if (!engine) return CommunityShareState{};
  return communityShareState(engine->isShareUsageTimeEnabled.get(), publicStats_, engine->defaults());
}

void UptimeDashboardModel::sharingChanged(bool isSharing) {
  auto engine = engine_.lock();
  if (!engine) return;
  markEverShared(engine->defaults(), isSharing, [this] { refreshPublicStats(); });
}

void UptimeDashboardModel::refreshPublicStats() {
  auto engine = engine_.lock();
  if (!engine || !engine->isShareUsageTimeEnabled.get()) return;
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
