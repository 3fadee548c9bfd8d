#pragma once
// The dashboard window's root without any toolkit: its sidebar rows,
// which page a tab number shows, the tab and onboarding requests that reach
// it as notifications, and the version line under the application's name.
#include <any>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/notification_center.h"
#include "base/observable.h"

namespace tessa {

struct EngineSettings;

// The pages the detail area can show.
enum class DashboardPage { setupStatus, usage, keyboardSettings, copyCache, about };

struct DashboardSidebarRow {
  int tab = 0;
  std::string key;     // localisation key of the row's title
  std::string symbol;  // symbol name of the row's icon
  DashboardPage page = DashboardPage::setupStatus;
};

class DashboardRootModel {
 public:
  static constexpr const char* kOpenTabNotification = "OpenDashboardTab";
  static constexpr const char* kReplayOnboardingNotification = "ReplayOnboarding";

  // Setup status, usage, keyboard settings and the clipboard history at the
  // top; about at the bottom.
  static const std::vector<DashboardSidebarRow>& sidebarRows();
  // The page a tab number shows: any number without a row shows setup status.
  static DashboardPage pageFor(int section);
  // The row's title in `language` at the given wording level.
  static std::string rowTitle(const DashboardSidebarRow& row, const std::string& language, bool pro);
  // The row's title in the engine's interface language and wording level.
  static std::string rowTitle(const DashboardSidebarRow& row, const EngineSettings& settings);
  // "v" and the application's version.
  static std::string versionLine(const std::string* bundleShortVersion = nullptr);

  // The onboarding sheet starts shown when onboarding has not been
  // completed; that is read once, here.
  explicit DashboardRootModel(bool hasCompletedOnboarding);

  int currentSection() const { return currentSection_; }
  DashboardPage currentPage() const { return pageFor(currentSection_); }
  bool isSelected(const DashboardSidebarRow& row) const { return row.tab == currentSection_; }
  bool showOnboarding() const { return showOnboarding_; }

  // A row's click. Answers whether the section changed.
  bool select(int tab);
  // "OpenDashboardTab": an integer object selects that tab; an absent object
  // or one of any other type changes nothing. Answers whether it changed.
  bool openTab(const std::any& object);
  // "ReplayOnboarding": shows the sheet. Answers false when it already shows.
  bool replayOnboarding();
  // The sheet went away, by its own dismissal or otherwise.
  void onboardingClosed() { showOnboarding_ = false; }

  // Runs a handler where the model lives; the default runs it right away on
  // the posting thread.
  using Deliver = std::function<void(std::function<void()>)>;

  // Follows both notifications on `notifications` for as long as the
  // returned subscriptions live; `changed` runs after each one that changed
  // the section or showed the sheet. Each handler is handed to `deliver`,
  // which must not run it after this model is gone.
  std::vector<Subscription> observe(NotificationCenter& notifications, std::function<void()> changed,
                                    Deliver deliver = {});

 private:
  int currentSection_ = 0;
  bool showOnboarding_ = false;
};

// The integer an "OpenDashboardTab" object carries, if it carries one.
std::optional<int> dashboardTabOf(const std::any& object);

}  // namespace tessa
