#pragma once
// The application shell without any toolkit: the exact order of start-up and
// shut-down, sleep and wake, activation, the dashboard window's lifetime,
// onboarding replay, the two start-up warnings and the HUD entry points the
// rest of the system calls. The Qt application and `tessavinorctl simulate`
// both run through it; what needs a window system is asked of a ShellHost.
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app_core/quick_paste/quick_paste_panel_view.h"
#include "app_core/status_item_controller.h"
#include "base/notification_center.h"
#include "base/observable.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "hud/unified_menu_state.h"
#include "platform/platform.h"

namespace tessa {

class CopyCacheManager;
class KeyboardEngine;
class QuickPastePanelController;
class UnifiedMenuPanel;

// The dashboard window while it exists.
class DashboardWindow {
 public:
  virtual ~DashboardWindow() = default;
  virtual void makeKeyAndOrderFront() = 0;
  virtual void orderFrontRegardless() = 0;
  virtual bool isVisible() const = 0;
};

// What the delegate asks of the window system.
class ShellHost {
 public:
  virtual ~ShellHost() = default;
  // No dock icon and no main menu: a status-item application.
  virtual void setAccessoryActivationPolicy() {}
  // Keeps the process responsive while idle, for the life of the process.
  virtual void beginLatencyActivity(const std::string& reason) {}
  // The status item's drawing surface; null when no status item can be made
  // (no system tray). It lives as long as the shell.
  virtual StatusItemView* makeStatusItemView() = 0;
  // The controller behind that view, once made: its menu and clicks.
  virtual void statusItemCreated(StatusItemController& controller) {}
  virtual void setStatusButtonHighlighted(bool highlighted) {}
  virtual void activateApplication() {}
  // A new dashboard window titled `title`, `width` by `height`, centred,
  // hosting the dashboard root. `onClose` runs when the user closes it.
  virtual std::unique_ptr<DashboardWindow> makeDashboardWindow(const std::string& title, double width,
                                                               double height, std::function<void()> onClose) = 0;
  // Ends the event loop; the delegate's shut-down runs before the process ends.
  virtual void terminate() = 0;
  // The menu-bar alert about a missing status item.
  virtual void showStatusItemMissingAlert() {}
  // The quick-paste panel's window, drawing `controller`; null where no
  // window can be made. Made once, on the first opening.
  virtual std::unique_ptr<QuickPastePanelView> makeQuickPastePanel(QuickPastePanelController& controller) {
    return nullptr;
  }
};

struct AppDelegateEnvironment {
  Platform platform;
  TaskRunner* main = nullptr;
  const Clock* clock = nullptr;
  UserDefaults* defaults = nullptr;
  NotificationCenter* notifications = nullptr;
  ShellHost* shell = nullptr;
  // Makes the engine on first use (start-up step "get the engine").
  std::function<std::shared_ptr<KeyboardEngine>()> makeEngine;
  // Makes the HUD panel for the engine; null for a run without a HUD.
  std::function<std::shared_ptr<UnifiedMenuPanel>(KeyboardEngine&)> makeHud;
  // The single-instance and environment checks; false stops start-up.
  std::function<bool(const std::string& bundleID, int64_t pid)> runLaunchChecks;
  // Whether this process holds the single-instance lock once the checks
  // passed: then no other instance of ours writes the program's files, and
  // what their unfinished writes left behind can go.
  std::function<bool()> holdsInstanceLock;
  // Tells about a missing status item (console line and alert).
  std::function<void(bool itemPresent)> warnStatusItemMissing;
  // Runs the vocabulary-pack update check (the menu's check for updates);
  // `done` gets what the check found, as the vocabulary page words it.
  std::function<void(std::function<void(const std::string& status)> done)> checkVocabularyUpdates;
  int64_t pid = 0;
};

class AppDelegate : public StatusMenuActions, public std::enable_shared_from_this<AppDelegate> {
 public:
  static constexpr const char* kFallbackBundleID = "Ovrelan.Tessavinor";
  static constexpr double kDashboardWidth = 680;
  static constexpr double kDashboardHeight = 480;

  static std::shared_ptr<AppDelegate> create(AppDelegateEnvironment env);
  static AppDelegate* shared();
  ~AppDelegate() override;

  // ------------------------------------------------------ platform callbacks
  // Returns false when another instance runs (start-up stopped at the checks).
  bool applicationDidFinishLaunching();
  void applicationDidBecomeActive();
  void applicationWillTerminate();
  // The end when the X server has gone away (a logout, a server that died):
  // the steps of the ordered quit that need no server, the session closed
  // with `reason`. Only file work, so that any thread may run it while the
  // main thread is held up; nothing is drawn or published.
  void applicationWillTerminateWithoutServer(const std::string& reason);
  void willSleep();
  void didWakeFromSleep();
  void windowWillClose();

  // ------------------------------------------------------------- operations
  void openPreferencesWindowToTab(int tab);
  void showSettingsWindow() { openDashboard(); }
  void showPreferencesWindow() { openDashboard(); }
  void openDashboard() override;
  void replayOnboarding() override;
  void quitApp() override;
  void checkForUpdates() override;
  // The clipboard history: on or off, and forgetting everything.
  void toggleCopyCache() override;
  void clearCopyCache() override;
  void openQuickPaste() override;
  void showStatusHUD(const std::string& message, const std::string& subMessage, const std::string& icon,
                     HudColor color, std::optional<double> duration = std::nullopt);
  void expireCorrectionHUD();
  void dismissStatusHUD(double duration);
  void showLanguageSwitchFeedback(const std::string& text, const std::string& previousText,
                                  const std::string& targetLanguageName, int64_t score, double duration);

  // There is no update framework on this platform: automatic checks read as
  // off and cannot be switched on.
  bool automaticallyChecksForUpdates() const { return false; }
  void setAutomaticallyChecksForUpdates(bool) {}
  // The update feed for an operating-system version "major.minor.patch".
  static std::string feedURLString(const std::string& operatingSystemVersion);

  KeyboardEngine* engine() const { return engine_.get(); }
  // The clipboard history's manager, made on first use.
  CopyCacheManager& copyCache();
  // The quick-paste panel, made (with its window) on first use.
  QuickPastePanelController& quickPaste();
  // The status item's controller; null before start-up or without a tray.
  StatusItemController* statusItem() const { return statusItem_.get(); }
  UnifiedMenuPanel* hud() const { return hud_.get(); }
  bool hasDashboardWindow() const { return dashboardWindow_ != nullptr; }
  bool didStart() const { return started_; }
  // The start-up and shut-down steps run so far, by name, in order.
  const std::vector<std::string>& lifecycleSteps() const { return steps_; }

  // The keyboard tools known to fight over the same keys, in match order.
  static const std::vector<std::string>& conflictingApplicationNames();

 private:
  explicit AppDelegate(AppDelegateEnvironment env);
  void step(const std::string& name);
  void checkAccessibilityResetAfterSystemUpdate();
  void checkConflictingApplications();
  void registerObservers();
  void tidyOwnFolders();
  void tellOfHistorySetAside();
  void postWakeStep();
  void afterOnMainWeak(double delay, std::function<void(AppDelegate&)> fn);
  void console(const std::string& line);
  KeyboardEngine& ensureEngine();
  bool hasStatusButton() const;

  AppDelegateEnvironment env_;
  std::shared_ptr<KeyboardEngine> engine_;
  std::shared_ptr<CopyCacheManager> copyCache_;
  std::unique_ptr<QuickPastePanelController> quickPaste_;
  std::unique_ptr<QuickPastePanelView> quickPasteView_;  // goes before its controller
  std::shared_ptr<UnifiedMenuPanel> hud_;
  StatusItemView* statusView_ = nullptr;
  std::shared_ptr<StatusItemController> statusItem_;
  std::unique_ptr<DashboardWindow> dashboardWindow_;
  std::vector<Subscription> cancellables_;  // sleep and wake
  std::vector<std::string> steps_;
  std::atomic<bool> started_{false};
  std::atomic<bool> terminated_{false};
};

}  // namespace tessa
