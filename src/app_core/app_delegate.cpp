#include "app_core/app_delegate.h"

#include "engine/clipboard_conversion.h"

#include <fmt/format.h>

#include <atomic>
#include <sstream>

#include "base/files.h"
#include "platform/keyboard_tables.h"
#include "app_core/accessibility_consent.h"
#include "app_core/history_set_aside_note.h"
#include "app_core/quick_paste/quick_paste_panel_controller.h"
#include "clipboard/copy_cache_manager.h"
#include "base/unicode.h"
#include "dictionaries/word_lists.h"
#include "engine/keyboard_engine.h"
#include "engine/hud_notices.h"
#include "hud/unified_menu_panel.h"
#include "reliability/stability_day.h"
#include "app_core/app_delegate_texts.h"

namespace tessa {

using namespace app_delegate_texts;

namespace {

constexpr const char* kLastKnownVersionKey = "lastKnownMacOSVersion";
constexpr const char* kConflictWarningDismissedKey = "conflictWarningDismissed";
constexpr const char* kUpdateHost = "updates.tessavinor.app";

std::atomic<AppDelegate*> gShared{nullptr};

std::string boolText(bool b) { return b ? "true" : "false"; }

// "14.5.1" → {14, 5, 1}; missing or malformed parts count as 0.
std::vector<long> versionParts(const std::string& version) {
  std::vector<long> parts;
  std::istringstream in(version);
  std::string part;
  while (std::getline(in, part, '.')) {
    try {
      parts.push_back(std::stol(part));
    } catch (...) {
      parts.push_back(0);
    }
  }
  while (parts.size() < 3) parts.push_back(0);
  return parts;
}

}  // namespace

std::shared_ptr<AppDelegate> AppDelegate::create(AppDelegateEnvironment env) {
  std::shared_ptr<AppDelegate> delegate(new AppDelegate(std::move(env)));
  gShared = delegate.get();
  delegate->console("AppDelegate initialized. Shared set.");
  return delegate;
}

AppDelegate* AppDelegate::shared() { return gShared.load(); }

AppDelegate::AppDelegate(AppDelegateEnvironment env) : env_(std::move(env)) {}

AppDelegate::~AppDelegate() {
  AppDelegate* self = this;
  gShared.compare_exchange_strong(self, nullptr);
}

void AppDelegate::console(const std::string& line) {
  if (env_.platform.systemLog) env_.platform.systemLog->console("Tessavinor: " + line);
}

void AppDelegate::step(const std::string& name) {
  // Also a console line: a support log then shows how far a start or a quit got.
  console(std::string(terminated_ ? "shut-down step: " : "start-up step: ") + name);
  steps_.push_back(name);
}

void AppDelegate::afterOnMainWeak(double delay, std::function<void(AppDelegate&)> fn) {
  std::weak_ptr<AppDelegate> weak = weak_from_this();
  env_.main->postDelayed(delay, [weak, fn = std::move(fn)] {
    if (auto self = weak.lock()) fn(*self);
  });
}

const std::vector<std::string>& AppDelegate::conflictingApplicationNames() {
  static const std::vector<std::string> names{"Karabiner-Elements", "Karabiner-EventViewer", "BetterTouchTool",
                                              "Keyboard Maestro",   "Alfred",                "KeyShade"};
  return names;
}

std::string AppDelegate::feedURLString(const std::string& operatingSystemVersion) {
  auto v = versionParts(operatingSystemVersion);
  std::string os = std::to_string(v[0]) + "." + std::to_string(v[1]);
  if (v[2] >= 1) os += "." + std::to_string(v[2]);
  return std::string("https://") + kUpdateHost + "/appcast.xml?os=" + os;
}

// ------------------------------------------------------------------ start-up

bool AppDelegate::applicationDidFinishLaunching() {
  // There is no update framework on this platform: no controller is made,
  // so automatic checks read as off and nothing is scheduled for them.
  step("updaterController");
  if (automaticallyChecksForUpdates()) step("vocabularyUpdateCheck");

  step("runLaunchChecks");
  std::string bundleID = env_.platform.workspace ? env_.platform.workspace->bundleIdentifier() : std::string();
  if (bundleID.empty()) bundleID = kFallbackBundleID;
  if (env_.runLaunchChecks && !env_.runLaunchChecks(bundleID, env_.pid)) return false;
  tidyOwnFolders();

  step("setActivationPolicy");
  env_.shell->setAccessoryActivationPolicy();
  step("beginActivity");
  env_.shell->beginLatencyActivity("Latency-critical keyboard event tap");
  step("buildStatusItem");
  // The status item draws the engine's state, so the engine is made here,
  // on its first use.
  ensureEngine();
  statusView_ = env_.shell->makeStatusItemView();
  if (statusView_) {
    statusItem_ = StatusItemController::create(engine_->settings(), engine_->status(), engine_->accessibility(),
                                               engine_->controls(), engine_->context(), *statusView_, *this);
    env_.shell->statusItemCreated(*statusItem_);
    statusItem_->setUp();
  }
  step("warnStatusItemMissing");
  if (env_.warnStatusItemMissing) env_.warnStatusItemMissing(hasStatusButton());
  step("checkAccessibilityReset");
  checkAccessibilityResetAfterSystemUpdate();
  step("checkConflictingApplications");
  checkConflictingApplications();

  step("engine");
  ensureEngine();
  step("resumePendingAXRepair");
  engine_->resumePendingAXRepair();
  step("runLaunchSetup");
  engine_->runLaunchSetup();
  step("requestAccessibility");
  // Start-up only looks. Where the grant is the desktop's own switch, that
  // switch is the user's to turn on (every program started afterwards
  // shares its text), from the onboarding or the setup page.
  engine_->requestAccessibility(false);

  step("registerObservers");
  registerObservers();
  // The clipboard history watches the pasteboard from now on (it records
  // nothing until the user turns it on).
  copyCache();
  tellOfHistorySetAside();

  step("loadStabilityStats");
  engine_->loadStabilityStats();
  step("scheduleLogMaintenance");
  engine_->scheduleLogMaintenance();
  step("beginStabilitySession");
  engine_->beginStabilitySession("0.1");
  step("startAXPermissionTimer");
  engine_->startAXPermissionTimer();
  step("startEventTapWatchdog");
  engine_->startEventTapWatchdog();
  step("startTapDeadManThread");
  engine_->startTapDeadManThread();

  step("onboarding");
  if (!engine_->hasCompletedOnboarding.get())
    afterOnMainWeak(0.3, [](AppDelegate& d) { d.openDashboard(); });
  started_ = true;
  return true;
}

void AppDelegate::checkAccessibilityResetAfterSystemUpdate() {
  if (!env_.platform.workspace) return;
  auto v = versionParts(env_.platform.workspace->operatingSystemVersion());
  std::string current = fmt::format("{}.{}.{}", v[0], v[1], v[2]);
  std::string stored = env_.defaults->stringForKey(kLastKnownVersionKey).value_or("");
  if (stored == current) return;
  env_.defaults->set(kLastKnownVersionKey, current);
  if (stored.empty()) return;  // the first start only remembers the version
  bool trusted = env_.platform.accessibility && env_.platform.accessibility->isProcessTrusted(false);
  if (trusted) return;
  afterOnMainWeak(1.5, [stored, current](AppDelegate& d) {
    if (!d.engine_) return;
    std::weak_ptr<AppDelegate> weak = d.weak_from_this();
    showHUDNotice(*d.engine_,
                  DisplayState::actionable(kAccessibilityResetTitle,
                                           kAccessibilityResetDetailPrefix + stored + " → " + current,
                                           "exclamationmark.triangle.fill", HudColor::orange, kAccessibilityResetAction,
                                           [weak] {
                                             auto self = weak.lock();
                                             if (!self) return;
                                             if (self->hud_) self->hud_->dismiss(0.15);
                                             if (!self->engine_) return;
                                             // The desktop's switch is turned on only where the
                                             // user is told what it does: the setup page.
                                             if (AccessibilityConsent::isAsked(self->engine_->platform()))
                                               self->openPreferencesWindowToTab(0);
                                             else
                                               self->engine_->openAccessibilitySettings();
                                           }),
                  4, true, false);
  });
}

void AppDelegate::checkConflictingApplications() {
  if (env_.defaults->boolForKey(kConflictWarningDismissedKey)) return;
  if (!env_.platform.workspace) return;
  for (const auto& app : env_.platform.workspace->runningApplications()) {
    if (app.name.empty()) continue;
    std::string name = lowercased(app.name);
    for (const auto& conflicting : conflictingApplicationNames()) {
      if (name.find(lowercased(conflicting)) == std::string::npos) continue;
      std::string appName = app.name;
      afterOnMainWeak(3.0, [appName](AppDelegate& d) {
        if (!d.engine_) return;
        std::weak_ptr<AppDelegate> weak = d.weak_from_this();
        showHUDNotice(*d.engine_,
                      DisplayState::actionable(kConflictTitlePrefix + appName + ")", kConflictDetail,
                                               "keyboard.badge.ellipsis", HudColor::yellow, kConflictAction,
                                               [weak] {
                                                 auto self = weak.lock();
                                                 if (!self) return;
                                                 self->env_.defaults->set(kConflictWarningDismissedKey, true);
                                                 if (self->hud_) self->hud_->dismiss(0.15);
                                               }),
                      2, true, false);
      });
      return;  // one notice per start
    }
  }
}

void AppDelegate::tidyOwnFolders() {
  // The data and preference folders are the owner's alone, like the files in
  // them; an older build made them readable by everyone.
  for (const auto& folder : {Paths::applicationSupport(), Paths::preferencesFolder()})
    if (auto old = makeOwnerOnly(folder))
      console(fmt::format("{} was readable by others ({:o}) - now owner-only", folder.string(), *old));
  if (!env_.holdsInstanceLock || !env_.holdsInstanceLock()) return;
  int removed = 0;
  for (const auto& folder : {Paths::applicationSupport(), Paths::preferencesFolder(), Paths::spellingFolder()})
    removed += removeUnfinishedWrites(folder);
  if (removed > 0) console(fmt::format("Removed {} unfinished temporary file(s) left by an earlier run", removed));
}

void AppDelegate::tellOfHistorySetAside() {
  // Once, in the run that set it aside; the clipboard page keeps the note.
  if (!copyCache_ || !copyCache_->setAsideThisRun() || !copyCache_->historySetAside.get()) return;
  const CopyCacheManager::SetAside aside = *copyCache_->historySetAside.get();
  const bool keyMissing = aside.reason == CopyCacheManager::SetAside::Reason::keyMissing;
  console(fmt::format("CopyCache: the history could not be opened ({}) - kept aside as {}",
                      keyMissing ? "its key is no longer in the keychain" : "the file is damaged", aside.path));
  afterOnMainWeak(2.0, [aside](AppDelegate& d) {
    if (!d.engine_) return;
    auto note = describeHistorySetAside(aside, d.engine_->appLanguage.get());
    d.showStatusHUD(note.title, note.detail, "exclamationmark.triangle.fill", HudColor::orange);
  });
}

KeyboardEngine& AppDelegate::ensureEngine() {
  if (!engine_) {
    engine_ = env_.makeEngine();
    if (env_.makeHud) {
      hud_ = env_.makeHud(*engine_);
      attachHudPanel(*engine_, hud_.get());
    }
  }
  return *engine_;
}

bool AppDelegate::hasStatusButton() const { return statusView_ && statusView_->hasButton(); }

void AppDelegate::registerObservers() {
  // The language, Caps Lock, secure input, ignored word, Accessibility and
  // pause notifications redraw the status item; the menu is rebuilt at each
  // opening, so a language change needs nothing more.
  if (statusItem_) statusItem_->observeNotifications();
  if (env_.platform.workspace) {
    std::weak_ptr<AppDelegate> weak = weak_from_this();
    cancellables_.push_back(env_.platform.workspace->observe(
        [weak](WorkspaceEvent event, const std::optional<RunningApplication>&) {
          auto self = weak.lock();
          if (!self) return;
          if (event == WorkspaceEvent::didWake) self->didWakeFromSleep();
          if (event == WorkspaceEvent::willSleep) self->willSleep();
        }));
  }
}

// ------------------------------------------------------------- activation

void AppDelegate::applicationDidBecomeActive() {
  if (engine_) engine_->requestAccessibility(false);
  if (dashboardWindow_ && dashboardWindow_->isVisible()) dashboardWindow_->orderFrontRegardless();
}

// ------------------------------------------------------------------- quit

void AppDelegate::applicationWillTerminate() {
  // An instance that stopped at the launch checks changed nothing and must
  // undo nothing: the keyboard settings belong to the instance still running.
  if (!started_ || terminated_.exchange(true)) return;
  engine_->log("applicationWillTerminate: quitting");
  step("endStabilitySession");
  engine_->endStabilitySession("user");
  step("saveStabilityStats");
  engine_->saveStabilityStats(true);
  // Both run on the settings queue, after any apply already running there.
  step("clearHIDUtilMapping");
  step("restoreOriginalHotKey61");
  engine_->restoreSystemKeyboardForQuit();
  step("releaseCapsLEDKeyboards");
  engine_->releaseCapsLEDKeyboards();
  if (copyCache_ && copyCache_->isClearOnQuit.get()) {
    step("clearHistory");
    copyCache_->clearHistory();
  }
  env_.defaults->synchronize();
}

void AppDelegate::applicationWillTerminateWithoutServer(const std::string& reason) {
  if (!started_) return;
  engine_->log("applicationWillTerminate: the X server is gone (" + reason + ") - quitting without it");
  // An ordered quit that was under way has closed the session already: its
  // first two steps come before any that needs the server.
  if (!terminated_.exchange(true)) {
    step("endStabilitySession");
    engine_->endStabilitySession(reason);
    step("saveStabilityStats");
    engine_->saveStabilityStats(true);
  }
  // The key mapping and the Caps Lock light were the server's; the hot-key
  // file is ours.
  step("restoreOriginalHotKey61");
  engine_->restoreSystemKeyboardWithoutServer();
  // Read from the defaults, not the manager's cell: this may not be the main thread.
  if (copyCache_ && CopyCacheManager::kClearOnQuitSetting.readFrom(*env_.defaults)) {
    step("clearHistory");
    copyCache_->clearStoredHistory();
  }
  env_.defaults->synchronize();
}

// ---------------------------------------------------------- sleep and wake

void AppDelegate::willSleep() {
  if (!engine_) return;
  engine_->log("System willSleep notification received (isPaused: " + boolText(engine_->isPaused.get()) + ")");
  engine_->recordStabilityEvent("power", {{"phase", "sleep"}}, false);
}

void AppDelegate::didWakeFromSleep() {
  if (!engine_) return;
  engine_->log("System didWakeNotification received (isPaused: " + boolText(engine_->isPaused.get()) + ")");
  engine_->recordStabilityEvent("power", {{"phase", "wake"}}, false);
  engine_->updateTodayStabilityDay([](StabilityDay& day) { day.sleepCycles += 1; });
  afterOnMainWeak(2.0, [](AppDelegate& d) { d.postWakeStep(); });
  if (!engine_->isPaused.get() && hasStatusButton()) {
    env_.shell->setStatusButtonHighlighted(true);
    afterOnMainWeak(0.3, [](AppDelegate& d) { d.env_.shell->setStatusButtonHighlighted(false); });
  }
}

void AppDelegate::postWakeStep() {
  if (!engine_) return;
  if (engine_->recovery.isEmergencyTornDown) {
    engine_->autoRecoveryWakeCheck();
    return;
  }
  engine_->log("Post-wake: recreating the event tap (isPaused: " + boolText(engine_->isPaused.get()) + ")");
  engine_->destroyEventTap();
  engine_->createEventTap();
}

// ------------------------------------------------------------ the dashboard

void AppDelegate::openDashboard() {
  env_.shell->activateApplication();
  if (!dashboardWindow_) {
    std::weak_ptr<AppDelegate> weak = weak_from_this();
    dashboardWindow_ = env_.shell->makeDashboardWindow("Tessavinor Dashboard", kDashboardWidth, kDashboardHeight,
                                                       [weak] {
                                                         if (auto self = weak.lock()) self->windowWillClose();
                                                       });
  }
  if (!dashboardWindow_) return;
  dashboardWindow_->makeKeyAndOrderFront();
  dashboardWindow_->orderFrontRegardless();
}

void AppDelegate::windowWillClose() { dashboardWindow_.reset(); }

void AppDelegate::openPreferencesWindowToTab(int tab) {
  openDashboard();
  afterOnMainWeak(0.1, [tab](AppDelegate& d) { d.env_.notifications->post("OpenDashboardTab", tab); });
}

void AppDelegate::replayOnboarding() {
  if (engine_) engine_->hasCompletedOnboarding.reset();
  openDashboard();
  afterOnMainWeak(0.15, [](AppDelegate& d) { d.env_.notifications->post("ReplayOnboarding"); });
}

void AppDelegate::quitApp() { env_.shell->terminate(); }

CopyCacheManager& AppDelegate::copyCache() {
  if (copyCache_) return *copyCache_;
  CopyCacheManagerEnvironment env;
  env.platform = env_.platform;
  env.clock = env_.clock;
  env.main = env_.main;
  env.defaults = env_.defaults;
  SystemLog* systemLog = env_.platform.systemLog;
  env.log = [systemLog](const std::string& line) {
    if (systemLog) systemLog->write(kFallbackBundleID, "CopyCache", LogLevel::info, line, false);
  };
  if (engine_) {
    // The search also finds what was typed in the wrong keyboard layout.
    auto both = engine_->englishToThaiMap();
    for (const auto& [th, en] : engine_->thaiToEnglishMap()) both.emplace(th, en);
    env.otherLayout = [both = std::move(both)](const std::string& text) { return swapCharacters(text, both); };
    std::weak_ptr<KeyboardEngine> weakEngine = engine_;
    env.suggestConversion =
        [weakEngine](const std::string& text) -> std::optional<std::pair<std::string, int64_t>> {
      auto engine = weakEngine.lock();
      if (!engine) return std::nullopt;
      auto s = suggestLayoutConversion(*engine, text);
      if (!s) return std::nullopt;
      return std::make_pair(s->text, s->confidence);
    };
  }
  copyCache_ = CopyCacheManager::create(std::move(env));
  return *copyCache_;
}

void AppDelegate::toggleCopyCache() {
  auto& manager = copyCache();
  manager.isEnabled.set(!manager.isEnabled.get());
}
void AppDelegate::clearCopyCache() { copyCache().clearHistory(); }
void AppDelegate::openQuickPaste() { quickPaste().show(); }

QuickPastePanelController& AppDelegate::quickPaste() {
  if (quickPaste_) return *quickPaste_;
  QuickPastePanelEnvironment env;
  env.platform = env_.platform;
  env.main = env_.main;
  SystemLog* systemLog = env_.platform.systemLog;
  env.log = [systemLog](const std::string& line) {
    if (systemLog) systemLog->write(kFallbackBundleID, "CopyCache", LogLevel::info, line, false);
  };
  std::weak_ptr<AppDelegate> weak = weak_from_this();
  env.notice = [weak](const std::string& titleKey, const std::string& detailKey) {
    auto self = weak.lock();
    if (!self || !self->engine_) return;
    self->showStatusHUD(self->engine_->localized(titleKey), self->engine_->localized(detailKey),
                        "doc.on.clipboard.fill", HudColor::blue);
  };
  env.language = [weak]() -> std::string {
    auto self = weak.lock();
    return self && self->engine_ ? self->engine_->appLanguage.get() : "th";
  };
  quickPaste_ = std::make_unique<QuickPastePanelController>(copyCache(), std::move(env));
  quickPasteView_ = env_.shell->makeQuickPastePanel(*quickPaste_);
  quickPaste_->setView(quickPasteView_.get());
  return *quickPaste_;
}

void AppDelegate::checkForUpdates() {
  // The program itself is updated with the package it was installed from;
  // only the vocabulary packs are fetched here. The HUD says both, then what
  // the pack check found.
  if (!engine_) {
    if (env_.checkVocabularyUpdates) env_.checkVocabularyUpdates({});
    return;
  }
  const std::string title = engine_->localized("update_from_package");
  showStatusHUD(title, engine_->localized("update_checking_packs"), "arrow.triangle.2.circlepath", HudColor::blue);
  if (!env_.checkVocabularyUpdates) return;
  std::weak_ptr<AppDelegate> weak = weak_from_this();
  env_.checkVocabularyUpdates([weak, title](const std::string& status) {
    auto self = weak.lock();
    if (!self || !self->engine_ || status.empty()) return;
    self->showStatusHUD(title, self->engine_->localized("update_packs_result") + status,
                        "arrow.triangle.2.circlepath", HudColor::blue);
  });
}

// -------------------------------------------------------------------- HUD

void AppDelegate::showStatusHUD(const std::string& message, const std::string& subMessage, const std::string& icon,
                                HudColor color, std::optional<double> duration) {
  if (engine_) tessa::showStatusHUD(*engine_, message, subMessage, icon, color, duration);
}

void AppDelegate::expireCorrectionHUD() {
  if (engine_) tessa::expireCorrectionHUD(*engine_);
}

void AppDelegate::dismissStatusHUD(double duration) {
  if (engine_) tessa::dismissStatusHUD(*engine_, duration);
}

void AppDelegate::showLanguageSwitchFeedback(const std::string& text, const std::string& previousText,
                                             const std::string& targetLanguageName, int64_t score, double duration) {
  if (engine_) tessa::showLanguageSwitchFeedback(*engine_, text, previousText, targetLanguageName, score, duration);
}

}  // namespace tessa
