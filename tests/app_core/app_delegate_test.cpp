#include "app_core/app_delegate.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <any>
#include <fstream>

#include "base/files.h"
#include "clipboard/copy_cache_manager.h"
#include "engine/hud_notices.h"
#include "engine/keyboard_engine.h"
#include "hud/unified_menu_panel.h"
#include "platform/sim/sim_desktop.h"
#include "app_core/headless_shell.h"
#include "app_core/status_item_fakes.h"
#include "app_core/status_item_of_engine.h"
#include "app_core/status_item_model.h"
#include "support/delegate_environment.h"
#include "support/engine_fixture.h"

namespace tessa::test {
namespace {

// The window system as the delegate sees it, recording what it was asked.
class RecordingWindowSystem final : public ShellHost {
 public:
  struct Window final : DashboardWindow {
    explicit Window(RecordingWindowSystem& s) : shell(s) {}
    void makeKeyAndOrderFront() override { shell.calls.push_back("makeKeyAndOrderFront"); }
    void orderFrontRegardless() override { shell.calls.push_back("orderFrontRegardless"); }
    bool isVisible() const override { return true; }
    RecordingWindowSystem& shell;
  };
  void setAccessoryActivationPolicy() override { calls.push_back("accessory"); }
  StatusItemView* makeStatusItemView() override { return statusItemWorks ? &view : nullptr; }
  void setStatusButtonHighlighted(bool on) override { calls.push_back(on ? "highlight" : "unhighlight"); }
  void activateApplication() override { calls.push_back("activate"); }
  std::unique_ptr<DashboardWindow> makeDashboardWindow(const std::string& title, double w, double h,
                                                       std::function<void()> onClose) override {
    ++windowsMade;
    lastTitle = title;
    closeWindow = std::move(onClose);
    return std::make_unique<Window>(*this);
  }
  void terminate() override { calls.push_back("terminate"); }
  std::unique_ptr<QuickPastePanelView> makeQuickPastePanel(QuickPastePanelController&) override {
    ++quickPastePanelsMade;
    auto panel = std::make_unique<HeadlessShell::QuickPasteView>();
    quickPastePanel = panel.get();
    return panel;
  }

  bool statusItemWorks = true;
  int windowsMade = 0;
  int quickPastePanelsMade = 0;
  HeadlessShell::QuickPasteView* quickPastePanel = nullptr;
  RecordingStatusView view;
  std::string lastTitle;
  std::function<void()> closeWindow;
  std::vector<std::string> calls;
};

class AppDelegateTest : public ::testing::Test {
 protected:
  AppDelegateTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    fx.runner.runUntilIdle();
  }
  ~AppDelegateTest() override {
    if (fx.engine) fx.engine->stopTapDeadManThread();
    delegate.reset();
    fx.engine.reset();
  }

  std::shared_ptr<AppDelegate> makeDelegate(bool anotherInstanceRuns = false) {
    AppDelegateEnvironment env = delegateEnvironment(fx, shell);
    env.makeEngine = [this] { return fx.start(); };
    env.makeHud = [](KeyboardEngine& e) { return UnifiedMenuPanel::create(hudEnvironmentFor(e)); };
    env.runLaunchChecks = [anotherInstanceRuns](const std::string&, int64_t) { return !anotherInstanceRuns; };
    env.warnStatusItemMissing = [this](bool present) { statusItemReports.push_back(present); };
    env.holdsInstanceLock = [this] { return holdsInstanceLock; };
    delegate = AppDelegate::create(std::move(env));
    return delegate;
  }
  std::vector<std::string> noticeMessages() const {
    std::vector<std::string> out;
    if (!delegate || !delegate->hud()) return out;
    for (const auto& n : delegate->hud()->shownNotices()) out.push_back(n.content.value("message", ""));
    return out;
  }
  // How often the console got exactly this line.
  size_t saidOnConsole(const std::string& line) const {
    const auto& lines = fx.systemLog.consoleLines;
    return std::count(lines.begin(), lines.end(), "Tessavinor: " + line);
  }
  // The run ends; the next makeDelegate() is the next start.
  void endRun() {
    fx.engine->stopTapDeadManThread();
    delegate.reset();
    fx.engine.reset();
  }
  bool logged(const std::string& needle) const {
    for (const auto& l : fx.engine->diagnosticLogs())
      if (l.find(needle) != std::string::npos) return true;
    return false;
  }

  EngineFixture fx;
  SimDesktop desk;
  RecordingWindowSystem shell;
  std::vector<bool> statusItemReports;
  bool holdsInstanceLock = true;
  std::shared_ptr<AppDelegate> delegate;
};

TEST_F(AppDelegateTest, StartsAndQuitsInTheirOrder) {
  auto d = makeDelegate();
  ASSERT_TRUE(d->applicationDidFinishLaunching());
  EXPECT_EQ(d->lifecycleSteps(),
            (std::vector<std::string>{"updaterController", "runLaunchChecks", "setActivationPolicy", "beginActivity",
                                      "buildStatusItem", "warnStatusItemMissing", "checkAccessibilityReset",
                                      "checkConflictingApplications", "engine", "resumePendingAXRepair",
                                      "runLaunchSetup", "requestAccessibility", "registerObservers",
                                      "loadStabilityStats", "scheduleLogMaintenance", "beginStabilitySession",
                                      "startAXPermissionTimer", "startEventTapWatchdog", "startTapDeadManThread",
                                      "onboarding"}));
  EXPECT_EQ(AppDelegate::shared(), d.get());
  EXPECT_EQ(fx.systemLog.consoleLines.front(), "Tessavinor: AppDelegate initialized. Shared set.");
  EXPECT_EQ(statusItemReports, std::vector<bool>{true});

  size_t started = d->lifecycleSteps().size();
  d->applicationWillTerminate();
  d->applicationWillTerminate();  // a second call undoes nothing twice
  std::vector<std::string> quit(d->lifecycleSteps().begin() + started, d->lifecycleSteps().end());
  EXPECT_EQ(quit, (std::vector<std::string>{"endStabilitySession", "saveStabilityStats", "clearHIDUtilMapping",
                                            "restoreOriginalHotKey61", "releaseCapsLEDKeyboards"}));
}

TEST_F(AppDelegateTest, TheClipboardActionsReachTheHistoryAndQuitClearsItWhenAsked) {
  auto d = makeDelegate();
  ASSERT_TRUE(d->applicationDidFinishLaunching());
  CopyCacheManager& history = d->copyCache();
  EXPECT_EQ(CopyCacheManager::shared(), &history);
  EXPECT_FALSE(history.isEnabled.get());
  d->toggleCopyCache();
  EXPECT_TRUE(history.isEnabled.get());
  desk.pasteboard().copyText("copied elsewhere");
  fx.runner.advance(0.25);
  ASSERT_EQ(history.items.get().size(), 1u);
  d->clearCopyCache();
  EXPECT_TRUE(history.items.get().empty());

  desk.pasteboard().copyText("left at quit");
  fx.runner.advance(0.25);
  history.isClearOnQuit.set(true);
  size_t started = d->lifecycleSteps().size();
  d->applicationWillTerminate();
  EXPECT_EQ(d->lifecycleSteps().back(), "clearHistory");
  EXPECT_EQ(d->lifecycleSteps().size() - started, 6u);
  EXPECT_TRUE(history.items.get().empty());
  d->toggleCopyCache();
  EXPECT_FALSE(history.isEnabled.get());
}

TEST_F(AppDelegateTest, QuickPasteOpensWhileTheHistoryIsOnAndSaysSoWhenItCanOnlyCopy) {
  auto d = makeDelegate();
  ASSERT_TRUE(d->applicationDidFinishLaunching());
  d->openQuickPaste();
  ASSERT_EQ(shell.quickPastePanelsMade, 1);
  EXPECT_FALSE(shell.quickPastePanel->visible) << "the history is off";

  d->toggleCopyCache();
  desk.pasteboard().copyText("copied elsewhere");
  fx.runner.advance(0.25);
  d->openQuickPaste();
  d->openQuickPaste();
  EXPECT_EQ(shell.quickPastePanelsMade, 1) << "one window for the life of the process";
  EXPECT_TRUE(shell.quickPastePanel->visible);

  // No synthetic keystrokes on this desktop: copied, and the HUD says to paste.
  desk.events().setPostingAllowed(false);
  d->quickPaste().handleKeyDown({keycode::returnKey, 0});
  fx.runner.advance(1);
  EXPECT_FALSE(shell.quickPastePanel->visible);
  ASSERT_FALSE(noticeMessages().empty());
  EXPECT_EQ(noticeMessages().back(), fx.engine->localized("quick_paste_copied"));
  EXPECT_NE(noticeMessages().back(), "quick_paste_copied");
}

// The menu's check for updates re-checked the vocabulary packs in silence.
TEST_F(AppDelegateTest, CheckForUpdatesSaysWhereUpdatesComeFromAndWhatThePackCheckFound) {
  std::function<void(const std::string&)> finishCheck;
  AppDelegateEnvironment env = delegateEnvironment(fx, shell);
  env.makeEngine = [this] { return fx.start(); };
  env.makeHud = [](KeyboardEngine& e) { return UnifiedMenuPanel::create(hudEnvironmentFor(e)); };
  env.runLaunchChecks = [](const std::string&, int64_t) { return true; };
  env.checkVocabularyUpdates = [&](std::function<void(const std::string&)> done) { finishCheck = std::move(done); };
  delegate = AppDelegate::create(std::move(env));
  ASSERT_TRUE(delegate->applicationDidFinishLaunching());
  fx.engine->appLanguage.set("en");
  fx.runner.advance(1);
  size_t before = noticeMessages().size();
  delegate->checkForUpdates();
  fx.runner.advance(0.1);
  ASSERT_EQ(noticeMessages().size(), before + 1);
  EXPECT_EQ(noticeMessages().back(), "Tessavinor updates come with its installed package");
  ASSERT_TRUE(finishCheck);
  finishCheck("เป็นเวอร์ชันล่าสุดแล้ว");
  fx.runner.advance(5);  // after the first notice's hold
  ASSERT_EQ(noticeMessages().size(), before + 2);
  const auto& last = delegate->hud()->shownNotices().back().content;
  EXPECT_NE(last.dump().find("Vocabulary packs: เป็นเวอร์ชันล่าสุดแล้ว"), std::string::npos) << last.dump();
}

TEST_F(AppDelegateTest, ASecondInstanceStopsAtTheLaunchChecksAndUndoesNothingAtQuit) {
  auto d = makeDelegate(/*anotherInstanceRuns=*/true);
  EXPECT_FALSE(d->applicationDidFinishLaunching());
  EXPECT_EQ(d->lifecycleSteps(), (std::vector<std::string>{"updaterController", "runLaunchChecks"}));
  EXPECT_EQ(d->engine(), nullptr);
  EXPECT_TRUE(shell.calls.empty());
  d->applicationWillTerminate();
  EXPECT_EQ(d->lifecycleSteps().size(), 2u);
  EXPECT_FALSE(desk.transcript().contains("children") && !desk.transcript()["children"].empty());
}

TEST_F(AppDelegateTest, StartUpTightensTheFoldersAndClearsUnfinishedWritesOnlyUnderTheLock) {
  namespace fs = std::filesystem;
  const fs::path data = Paths::applicationSupport(), prefs = Paths::preferencesFolder();
  const std::vector<fs::path> leftovers{prefs / "com.Ovrelan.Tessavinor.json.tmp-1904567",
                                        data / "CopyCache" / "history.vault.tmp-2147483646-9",
                                        Paths::spellingFolder() / "tessavinor_tech.txt.tmp-3"};
  auto leave = [&] {
    for (const auto& folder : {data, prefs}) {
      fs::create_directories(folder);
      ::chmod(folder.c_str(), 0755);
    }
    for (const auto& file : leftovers) {
      fs::create_directories(file.parent_path());
      std::ofstream(file) << "{";
    }
  };
  auto mode = [](const fs::path& p) { return fs::status(p).permissions() & fs::perms::all; };
  leave();
  holdsInstanceLock = false;  // another writer may be at work: its files stay
  ASSERT_TRUE(makeDelegate()->applicationDidFinishLaunching());
  for (const auto& file : leftovers) EXPECT_TRUE(fs::exists(file)) << file;
  EXPECT_EQ(mode(data), fs::perms::owner_all);
  EXPECT_EQ(mode(prefs), fs::perms::owner_all);
  EXPECT_EQ(saidOnConsole(data.string() + " was readable by others (755) - now owner-only"), 1u);
  endRun();

  leave();
  holdsInstanceLock = true;
  ASSERT_TRUE(makeDelegate()->applicationDidFinishLaunching());
  for (const auto& file : leftovers) EXPECT_FALSE(fs::exists(file)) << file;
  EXPECT_EQ(saidOnConsole("Removed 3 unfinished temporary file(s) left by an earlier run"), 1u);
}

TEST_F(AppDelegateTest, AHistorySetAsideAtStartIsToldOnceOnTheConsoleAndTheHud) {
  const auto vault = Paths::applicationSupport() / "CopyCache" / "history.vault";
  ASSERT_TRUE(writeFileAtomically(vault, std::string(64, 'x'), 0600));
  const std::string line = "CopyCache: the history could not be opened (its key is no longer in the keychain) - "
                           "kept aside as " + vault.string() + ".corrupt";
  ASSERT_TRUE(makeDelegate()->applicationDidFinishLaunching());
  fx.runner.advance(2.5);
  EXPECT_EQ(saidOnConsole(line), 1u);
  EXPECT_EQ(noticeMessages(), std::vector<std::string>{"ประวัติคลิปบอร์ดถูกแยกเก็บไว้"});

  // The next start has nothing new to tell; the clipboard page still does.
  endRun();
  ASSERT_TRUE(makeDelegate()->applicationDidFinishLaunching());
  fx.runner.advance(2.5);
  EXPECT_EQ(saidOnConsole(line), 1u);
  EXPECT_TRUE(noticeMessages().empty());
  EXPECT_TRUE(delegate->copyCache().historySetAside.get());
}

TEST_F(AppDelegateTest, AMissingStatusItemIsReportedAndStartUpGoesOn) {
  shell.statusItemWorks = false;
  auto d = makeDelegate();
  EXPECT_TRUE(d->applicationDidFinishLaunching());
  EXPECT_EQ(statusItemReports, std::vector<bool>{false});
}

TEST_F(AppDelegateTest, TheAccessibilityNoticeFollowsOnlyASystemUpdateThatCostTheGrant) {
  desk.setTrusted(false);
  // First start ever: only remembered.
  makeDelegate()->applicationDidFinishLaunching();
  fx.runner.advance(5);
  EXPECT_EQ(fx.defaults->stringForKey("lastKnownMacOSVersion"), "14.5.0");
  EXPECT_TRUE(noticeMessages().empty());
  delegate->applicationWillTerminate();
  fx.engine->stopTapDeadManThread();

  // After an update, untrusted: the orange notice 1.5 s after launch.
  desk.workspace().setOperatingSystemVersion("14.6.1");
  makeDelegate()->applicationDidFinishLaunching();
  fx.runner.advance(1.4);
  EXPECT_TRUE(noticeMessages().empty());
  fx.runner.advance(0.2);
  ASSERT_EQ(noticeMessages().size(), 1u);
  const auto& n = delegate->hud()->shownNotices()[0];
  EXPECT_EQ(n.content["message"], "สิทธิ์ Accessibility ถูกรีเซ็ต");
  EXPECT_EQ(n.content["subMessage"], "เนื่องจากระบบปฏิบัติการอัปเดตจาก 14.5.0 → 14.6.1");
  EXPECT_EQ(n.priority, 4);
  EXPECT_EQ(fx.defaults->stringForKey("lastKnownMacOSVersion"), "14.6.1");
}

TEST_F(AppDelegateTest, WithTheGrantKeptAnUpdateIsOnlyRemembered) {
  fx.defaults->set("lastKnownMacOSVersion", "14.4.0");
  desk.setTrusted(true);
  makeDelegate()->applicationDidFinishLaunching();
  fx.runner.advance(5);
  EXPECT_EQ(fx.defaults->stringForKey("lastKnownMacOSVersion"), "14.5.0");
  EXPECT_TRUE(noticeMessages().empty());
}

// A fresh account on a desktop whose Accessibility is its own desktop-wide
// switch: start-up only looks, the tooltip and icon say what is missing, and
// the reset notice's action leads to the setup page's grant, not the switch.
TEST_F(AppDelegateTest, OnADesktopWideSwitchStartUpOnlyLooksAndSaysWhatIsMissing) {
  desk.accessibility().setPromptTurnsTrustOn(true);
  desk.setTrusted(false);
  fx.defaults->set("hasCompletedOnboarding", true);
  fx.defaults->set("lastKnownMacOSVersion", "14.4.0");
  makeDelegate()->applicationDidFinishLaunching();
  fx.runner.advance(3);  // the poll has run too
  EXPECT_FALSE(desk.accessibility().trusted());
  EXPECT_EQ(desk.accessibility().promptCount(), 0);
  EXPECT_FALSE(fx.engine->isAccessibilityGranted.get());
  EXPECT_EQ(fx.defaults->doubleForKey("accessibilityOnSince"), 0.0) << "seen off";
  EXPECT_TRUE(logged("the desktop's accessibility is off - it stays off until the user turns it on"));
  fx.engine->appLanguage.set("en");
  const auto state = test::statusItemStateOf(*fx.engine);
  EXPECT_EQ(statusIcon(state).symbol, "exclamationmark.triangle.fill");
  EXPECT_NE(statusTooltip(state).find("The desktop's accessibility is off"), std::string::npos)
      << statusTooltip(state);

  auto* actionable = delegate->hud()->state().displayState.get().as<DisplayState::Actionable>();
  ASSERT_NE(actionable, nullptr) << "the grant was lost after a system update";
  const int windows = shell.windowsMade;
  actionable->onAction();
  fx.runner.advance(1);
  EXPECT_EQ(shell.windowsMade, windows + 1);
  EXPECT_FALSE(desk.accessibility().trusted());
}

TEST_F(AppDelegateTest, OnlyTheFirstConflictingApplicationIsNamedUntilTheUserDismissesIt) {
  fx.defaults->set("hasCompletedOnboarding", true);
  desk.launchApplication("com.example.launcher", "my alfred launcher");
  desk.launchApplication("org.pqrs.Karabiner-Elements", "Karabiner-Elements");
  makeDelegate()->applicationDidFinishLaunching();
  fx.runner.advance(2.9);
  EXPECT_TRUE(noticeMessages().empty());
  fx.runner.advance(0.2);
  ASSERT_EQ(noticeMessages(), std::vector<std::string>{"ตรวจพบแอปแต่งคีย์บอร์ด (my alfred launcher)"});
  EXPECT_EQ(delegate->hud()->shownNotices()[0].priority, 2);

  // Its action silences it for good.
  auto* actionable = delegate->hud()->state().displayState.get().as<DisplayState::Actionable>();
  ASSERT_NE(actionable, nullptr);
  actionable->onAction();
  EXPECT_TRUE(fx.defaults->boolForKey("conflictWarningDismissed"));
  delegate->applicationWillTerminate();
  fx.engine->stopTapDeadManThread();
  makeDelegate()->applicationDidFinishLaunching();
  fx.runner.advance(5);
  EXPECT_TRUE(noticeMessages().empty());
}

TEST_F(AppDelegateTest, OnboardingOpensTheDashboardAndAClosedWindowIsBuiltAfresh) {
  auto d = makeDelegate();
  d->applicationDidFinishLaunching();
  fx.runner.advance(0.29);
  EXPECT_EQ(shell.windowsMade, 0);
  fx.runner.advance(0.02);
  EXPECT_EQ(shell.windowsMade, 1);
  EXPECT_EQ(shell.lastTitle, "Tessavinor Dashboard");
  d->openDashboard();
  EXPECT_EQ(shell.windowsMade, 1);  // the open window is brought forward
  shell.closeWindow();
  EXPECT_FALSE(d->hasDashboardWindow());
  d->openDashboard();
  EXPECT_EQ(shell.windowsMade, 2);

  // A completed onboarding opens nothing at launch.
  fx.defaults->set("hasCompletedOnboarding", true);
  d->applicationWillTerminate();
  fx.engine->stopTapDeadManThread();
  RecordingWindowSystem other;
  shell.windowsMade = 0;
  makeDelegate()->applicationDidFinishLaunching();
  fx.runner.advance(1);
  EXPECT_EQ(shell.windowsMade, 0);
}

TEST_F(AppDelegateTest, TabsAndOnboardingReplayAreAnnouncedAfterTheWindowIsUp) {
  fx.defaults->set("hasCompletedOnboarding", true);
  auto d = makeDelegate();
  d->applicationDidFinishLaunching();
  std::vector<std::pair<std::string, int>> posted;
  auto tabs = fx.notifications.addObserver("OpenDashboardTab", [&](const Notification& n) {
    posted.emplace_back(n.name, std::any_cast<int>(n.object));
  });
  auto replay = fx.notifications.addObserver("ReplayOnboarding", [&](const Notification& n) {
    posted.emplace_back(n.name, -1);
  });
  d->openPreferencesWindowToTab(3);
  EXPECT_EQ(shell.windowsMade, 1);
  fx.runner.advance(0.09);
  EXPECT_TRUE(posted.empty());
  fx.runner.advance(0.02);
  EXPECT_EQ(posted, (std::vector<std::pair<std::string, int>>{{"OpenDashboardTab", 3}}));

  d->replayOnboarding();
  EXPECT_FALSE(fx.engine->hasCompletedOnboarding.get());
  EXPECT_EQ(fx.defaults->boolForKey("hasCompletedOnboarding"), false);
  fx.runner.advance(0.16);
  EXPECT_EQ(posted.back().first, "ReplayOnboarding");
}

TEST_F(AppDelegateTest, WakeRecreatesTheTapUnlessItWasTornDownAndFlashesOnlyWhenRunning) {
  fx.defaults->set("hasCompletedOnboarding", true);
  auto d = makeDelegate();
  d->applicationDidFinishLaunching();
  fx.runner.runUntilIdle();

  desk.sleep();
  desk.wake();
  fx.runner.advance(0.01);
  EXPECT_TRUE(logged("System willSleep notification received (isPaused: false)"));
  EXPECT_TRUE(logged("System didWakeNotification received (isPaused: false)"));
  EXPECT_EQ(shell.calls.back(), "highlight");
  fx.runner.advance(0.3);
  EXPECT_EQ(shell.calls.back(), "unhighlight");
  EXPECT_FALSE(logged("Post-wake: recreating"));
  fx.runner.advance(1.8);
  EXPECT_TRUE(logged("Post-wake: recreating the event tap (isPaused: false)"));
  int64_t cycles = 0;
  for (const auto& day : fx.engine->stabilityDaysSnapshot()) cycles += day.sleepCycles;
  EXPECT_EQ(cycles, 1);

  // Torn down in an emergency: the wake check runs instead of a new tap.
  fx.engine->recovery.isEmergencyTornDown = true;
  shell.calls.clear();
  fx.engine->isPaused.set(true);
  desk.wake();
  fx.runner.advance(2.1);
  EXPECT_TRUE(logged("autoRecoveryWakeCheck"));
  EXPECT_TRUE(shell.calls.empty());  // paused: no flash
}

TEST_F(AppDelegateTest, StatusItemRefreshesOnTheStateNotifications) {
  fx.defaults->set("hasCompletedOnboarding", true);
  auto d = makeDelegate();
  d->applicationDidFinishLaunching();
  fx.runner.runUntilIdle();
  size_t before = shell.view.icons.size();
  fx.notifications.post(notification::secureInputStateChanged);
  EXPECT_EQ(shell.view.icons.size(), before);  // on the next main-queue turn
  fx.runner.runUntilIdle();
  EXPECT_EQ(shell.view.icons.size(), before + 1);
}

TEST(AppDelegateFeed, ThePatchIsNamedOnlyWhenThereIsOne) {
  EXPECT_EQ(AppDelegate::feedURLString("14.5.0"), "https://updates.tessavinor.app/appcast.xml?os=14.5");
  EXPECT_EQ(AppDelegate::feedURLString("14.5.1"), "https://updates.tessavinor.app/appcast.xml?os=14.5.1");
}

}  // namespace
}  // namespace tessa::test
