#pragma once
// The usage page without any toolkit: the elapsed-time counter of this
// showing of the page, the all-time total, the community totals it fetches
// while the user shares, the choice of what the community box shows, and
// the share invitation it asks for 0.6 s after it appears. Every delay is a
// task on the engine's main queue that does nothing once the model is gone.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app_core/dashboard/community_share_state.h"
#include "app_core/dashboard/community_totals_client.h"
#include "base/observable.h"
#include "base/task_runner.h"
#include "engine/engine_context.h"
#include "engine/engine_settings.h"

namespace tessa {

class UptimeDashboardModel : public std::enable_shared_from_this<UptimeDashboardModel> {
 public:
  static constexpr double kTickInterval = 1.0;
  static constexpr double kInvitationDelay = 0.6;

  struct Texts {
    std::string title, subtitle, sessionLabel, totalLabel;
  };
  // Thai for "th", English for every other language.
  static Texts texts(const std::string& language);
  // Whole seconds as HH:MM:SS; hours are not wrapped (100:00:00).
  static std::string formatDuration(double seconds);

  // `changed` runs on the main queue after anything the page shows changed.
  // The totals come from `totalsURL` (the public endpoint unless a test
  // says otherwise). The sharing setting and the invitation's mark are
  // `settings`'; nothing is read once the engine is gone.
  static std::shared_ptr<UptimeDashboardModel> create(EngineSettings settings, EngineContext context,
                                                      std::function<void()> changed,
                                                      std::optional<std::string> totalsURL = std::nullopt);
  ~UptimeDashboardModel();
  UptimeDashboardModel(const UptimeDashboardModel&) = delete;
  UptimeDashboardModel& operator=(const UptimeDashboardModel&) = delete;

  // The page came on screen: restarts the ticker, fetches the totals while
  // sharing and, while the invitation has not been answered, asks for it
  // 0.6 s later.
  void appear();
  // The page left the screen: the ticker and a pending invitation stop.
  void disappear();

  double sessionSeconds() const { return sessionSeconds_; }
  bool isTicking() const { return ticker_.valid() && !ticker_.isCancelled(); }
  const std::optional<CommunityTotals>& publicStats() const { return publicStats_; }
  CommunityShareState shareState() const;

  // The invitation sheet is wanted; the page clears it when the sheet closes.
  bool showInvitationSheet() const { return showInvitationSheet_; }
  void invitationClosed();

  // A change of the sharing setting seen while the page lives.
  void sharingChanged(bool isSharing);
  // Fetches the totals when sharing; the newest request's answer applies.
  void refreshPublicStats();
  const CommunityTotalsClient& totalsClient() const { return *client_; }

 private:
  UptimeDashboardModel(EngineSettings settings, EngineContext context, std::function<void()> changed,
                       std::string totalsURL);
  void observeEngine();
  void engineWillChange();
  void notifyChanged();

  EngineSettings settings_;
  EngineContext context_;
  std::function<void()> changed_;
  std::unique_ptr<CommunityTotalsClient> client_;
  double sessionSeconds_ = 0;
  TaskHandle ticker_;
  TaskHandle invitation_;
  bool showInvitationSheet_ = false;
  std::optional<CommunityTotals> publicStats_;
  bool lastSharing_ = false;
  // Set by the engine's announcement, which may come from any thread.
  std::atomic<bool> checkPending_{false};
  Subscription engineSubscription_;
};

}  // namespace tessa
