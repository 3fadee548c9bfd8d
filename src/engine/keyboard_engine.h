#pragma once
// The one shared keyboard engine: every engine setting and counter as a
// published property backed by the user defaults, and the run-time state the
// taps, the handler, the switcher, the typing flow and the word checks work
// on, one struct per concern with the lock that guards it (engine_state.h;
// the held keys in held_keys.h; the conversion's in conversion_state.h). Its member functions live in one file per
// concern (engine/*.cpp).
#include <atomic>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <source_location>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/notification_center.h"
#include "base/observable.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "base/app_log.h"
#include "base/diagnostic_log.h"
#include "dictionaries/word_lists.h"
#include "engine/conversion_state.h"
#include "engine/conversion_texts.h"
#include "engine/engine_accessibility.h"
#include "engine/engine_notifications.h"
#include "engine/engine_state.h"
#include "engine/held_keys.h"
#include "engine/setting_table.h"
#include "engine/value_types.h"
#include "platform/platform.h"
#include "reliability/stability_day.h"

namespace tessa {

class TypingFlowController;
class TypingFlowHost;
class UnifiedMenuPanel;
class TapDeadManSwitch;
class TelemetryManager;
class LanguageSwitcher;
class TypoHabitStore;
class TypoHabitTracker;
struct EngineContext;
struct EngineControls;
struct EngineReports;
struct EngineSettings;
struct EngineStats;
struct EngineStatus;
struct EngineViews;
struct HudNotices;
enum class DecidedRole;

// What the engine runs on: the machine (real or simulated), its time and
// queues, the standard user defaults and the notification center.
struct EngineEnvironment {
  Platform platform;
  Runtime runtime;
  UserDefaults* defaults = nullptr;
  NotificationCenter* notifications = nullptr;
  // Sends the anonymous usage statistics when the user agreed and they are
  // due; the usage timer asks it every tenth second. None: nothing is sent.
  TelemetryManager* telemetry = nullptr;

  // Everything on one manual clock: the main queue is `runner`, and the
  // serial queues are sequences of it, so a run is deterministic (tests, the
  // headless simulator, benchmarks).
  static EngineEnvironment onManualClock(Platform platform, ManualTaskRunner& runner, UserDefaults& defaults,
                                         NotificationCenter& notifications) {
    EngineEnvironment env;
    env.platform = std::move(platform);
    env.runtime.clock = &runner.clock();
    env.runtime.main = &runner;
    env.runtime.settingsQueue = runner.createSequence("com.Ovrelan.Tessavinor.settingsQueue");  // [design]
    env.runtime.diagnosticsDisk = runner.createSequence("com.Tessavinor.diagnosticsDiskQueue");  // [design]
    env.runtime.background = runner.createSequence("background");  // [ours]
    env.defaults = &defaults;
    env.notifications = &notifications;
    return env;
  }
};

class KeyboardEngine final : public ObservableObject, public std::enable_shared_from_this<KeyboardEngine> {
  // Where the persisted cells below keep their keys; declared before them.
  UserDefaults* settingStore_;

 public:
  // Creates and initialises an engine. The application keeps one for the
  // life of the process and installs it as the shared one.
  static std::shared_ptr<KeyboardEngine> create(EngineEnvironment env);
  static std::shared_ptr<KeyboardEngine> shared();
  static void installShared(std::shared_ptr<KeyboardEngine> engine);
  ~KeyboardEngine();

  KeyboardEngine(const KeyboardEngine&) = delete;
  KeyboardEngine& operator=(const KeyboardEngine&) = delete;

  // ----------------------------------------------------------- environment
  const EngineEnvironment& environment() const { return env_; }
  const Platform& platform() const { return env_.platform; }
  UserDefaults& defaults() const { return *env_.defaults; }
  NotificationCenter& notifications() const { return *env_.notifications; }
  TaskRunner& mainQueue() const { return *env_.runtime.main; }
  const Clock& clock() const { return *env_.runtime.clock; }
  double uptime() const { return env_.runtime.clock->uptime(); }
  // The system's monotonic uptime in whole milliseconds.
  uint64_t uptimeMilliseconds() const { return env_.runtime.clock->uptimeMilliseconds(); }
  const AppLog& appLog() const { return appLog_; }
  std::weak_ptr<KeyboardEngine> weak() { return weak_from_this(); }
  // Runs `fn` on the main queue with the engine, unless it is gone by then.
  void asyncOnMainWeak(std::function<void(KeyboardEngine&)> fn);
  TaskHandle afterOnMainWeak(double delay, std::function<void(KeyboardEngine&)> fn);
  bool isOnMainThread() const { return env_.runtime.main->runsTasksOnCurrentThread(); }

  // The narrow views a window, page, sheet or model takes instead of the
  // whole engine (engine/engine_settings.h, engine_stats.h,
  // hud_notice_sink.h, engine_context.h, engine_accessibility.h,
  // engine_status.h, engine_controls.h, reporting.h; all of them at once in
  // engine_views.h), made in engine/engine_seams.cpp. Each refers to this
  // engine and lives no longer than it.
  EngineSettings settings();
  EngineStats statistics();
  HudNotices hudNotices();
  EngineContext context();
  EngineAccessibility accessibility();
  EngineStatus status();
  EngineControls controls();
  EngineReports reports();
  EngineViews views();

  // ------------------------------------------------- persisted settings
  // Declared in engine/setting_table.h; each reads its key when made. What a
  // change does besides writing the key is given in the constructor.
  StoredSetting<std::string> appLanguage;
  StoredSetting<CopywritingLevel> appCopywritingLevel;
  StoredSetting<AppMode> appMode;
  StoredSetting<SwitcherKey> switcherKey;
  StoredSetting<bool> isHapticFeedbackEnabled;
  StoredSetting<bool> isSmartCorrectionEnabled;
  StoredSetting<bool> useContrastiveFrequencyCheck{*this, settingStore_, setting::useContrastiveFrequencyCheck};
  StoredSetting<bool> isFatigueNotificationEnabled{*this, settingStore_, setting::isFatigueNotificationEnabled};
  StoredSetting<bool> isShareUsageTimeEnabled{*this, settingStore_, setting::isShareUsageTimeEnabled};
  StoredSetting<bool> hasSeenShareInvitation{*this, settingStore_, setting::hasSeenShareInvitation};
  StoredSetting<bool> hasCompletedOnboarding{*this, settingStore_, setting::hasCompletedOnboarding};
  StoredSetting<bool> hasSeenMilestoneNudge{*this, settingStore_, setting::hasSeenMilestoneNudge};
  StoredSetting<int64_t> remindLaterCorrectionsThreshold{*this, settingStore_,
                                                         setting::remindLaterCorrectionsThreshold};
  StoredSetting<bool> hasShownUndoBoundaryHint{*this, settingStore_, setting::hasShownUndoBoundaryHint};
  StoredSetting<std::vector<std::string>> excludedBundleIDs{*this, settingStore_, setting::excludedBundleIDs};
  StoredSetting<std::vector<UserProfile>> profiles{*this, settingStore_, setting::profiles};
  StoredSetting<std::string> activeProfileName{*this, settingStore_, setting::activeProfileName};

  // --------------------------------------- persisted counters and statistics
  StoredSetting<int64_t> totalKeystrokesSaved{*this, settingStore_, setting::totalKeystrokesSaved};
  StoredSetting<int64_t> totalUndos{*this, settingStore_, setting::totalUndos};
  StoredSetting<int64_t> totalCorrections{*this, settingStore_, setting::totalCorrections};
  StoredSetting<int64_t> totalCorrectionsTH{*this, settingStore_, setting::totalCorrectionsTH};
  StoredSetting<int64_t> totalCorrectionsLO{*this, settingStore_, setting::totalCorrectionsLO};
  StoredSetting<int64_t> totalCorrectionsEN{*this, settingStore_, setting::totalCorrectionsEN};
  StoredSetting<int64_t> totalWatchdogRecoveries{*this, settingStore_, setting::totalWatchdogRecoveries};
  StoredSetting<double> totalActiveTypingTime{*this, settingStore_, setting::totalActiveTypingTime};
  StoredSetting<double> totalUsageTime{*this, settingStore_, setting::totalUsageTime};
  StoredSetting<std::map<std::string, int64_t>> appTypoCounts{*this, settingStore_, setting::appTypoCounts};
  StoredSetting<std::map<std::string, int64_t>> hourlyTypoCounts{*this, settingStore_, setting::hourlyTypoCounts};
  StoredSetting<int64_t> prestigeLevel{*this, settingStore_, setting::prestigeLevel};
  StoredSetting<int64_t> dailyStreakCount{*this, settingStore_, setting::dailyStreakCount};
  StoredSetting<std::string> lastActiveStreakDate{*this, settingStore_, setting::lastActiveStreakDate};

  // ------------------------------------------------ run-time published state
  Published<std::string> statusMessage;
  Published<std::string> lastEventLog;
  Published<bool> isAccessibilityGranted;
  // A program started before the desktop's accessibility went on
  // (engine/engine_accessibility.h). Set when a conversion, undo or redo
  // could not read it; cleared once that process has ended.
  using ProgramToRestart = tessa::ProgramToRestart;
  Published<std::optional<ProgramToRestart>> programToRestart;
  Published<bool> isEventTapDead;
  Published<bool> isPaused;
  Published<bool> isCapsLockOn;
  Published<bool> showMilestoneNudge;
  EngineCounters counters{*this};
  Published<AXTextAccess> axTextAccessInFocusedApp;
  Published<bool> isSecureInputLockedGlobally, isSecureInputActive, isAXAvailableInFocusedApp;
  Published<bool> isThaiSpellCheckerAvailable;
  Published<std::vector<std::string>> availableSpellingLanguages;
  Published<bool> isLocalThaiDictionaryLoaded, isLocalOtherDictionaryLoaded;
  Published<int64_t> localOtherDictionaryWordCount;

  // ----------------------------------------------------- tuning (read-only)
  // Each reads its declaration (engine/setting_table.h) at every call.
  double holdThreshold() const;
  double hapticFeedbackDelay() const;
  double undoTimeout() const;
  int64_t fatigueThreshold() const;
  double fatigueNotificationInterval() const;
  int64_t hapticIntensityConfirm() const;
  int64_t hapticIntensityAlert() const;

  // --------------------------------------------------------------- profiles
  void saveProfiles();
  void updateActiveProfileInteger(ProfileIntegerField field, int64_t value);
  void updateActiveProfileBool(ProfileBoolField field, bool value);
  // The setting's key, then the active profile's field, saved at once.
  void persistProfileInteger(ProfileIntegerField field, const Setting<int64_t>& setting, int64_t value);
  const UserProfile* activeProfile() const;

  // ------------------------------------------------------------ logging
  void log(const std::string& message);
  std::vector<std::string> diagnosticLogs() const { return diagnosticLog_->lines(); }
  std::optional<std::filesystem::path> diagnosticLogURL() const;
  std::shared_ptr<TaskRunner> diagnosticsDiskQueue() const { return env_.runtime.diagnosticsDisk; }
  static constexpr int maxDiagnosticLogs = 500;  // [design]

  // ------------------------------------------------------- localised text
  std::string localized(const std::string& key) const;

  // ------------------------------------------------------- small operations
  void appendToLastEventLog(const std::string& text);
  void showRevertedNotice(const std::string& message, const std::string& subMessage);
  void cancelSpeculation();
  void postPauseStateChanged();
  void postCapsLockStateChanged();
  // The one writer of flow.lastUndoneWord: posts "IgnoredWordStateChanged"
  // with "isIgnored" whenever a word is set, or a set one is cleared.
  void setLastUndoneWord(std::optional<std::string> word);

  // ------------------------------------------- usage timer, streak, typos
  void startUsageTimer();
  void usageTimerTick();
  void updateDailyStreak();
  void recordTypoInCurrentHour();
  int64_t typoCountInCurrentHour() const;

  // ------------------------------------------------------ constant tables
  static const std::vector<EventType>& capsLockSyncEventTypes();
  static const std::set<uint16_t>& queueFlushKeyCodes();
  static const std::vector<std::string>& triggerChars();
  static constexpr uint64_t keyboardTapMask = 0x1C00;  // [design]
  static constexpr uint64_t mouseTapMask = 0x200000A;  // [design]
  // US character → Thai Kedmanee character; and back (the ASCII key wins
  // where several keys give the same Thai character).
  const std::unordered_map<std::string, std::string>& englishToThaiMap() const { return englishToThaiMap_; }
  const std::unordered_map<std::string, std::string>& thaiToEnglishMap() const { return thaiToEnglishMap_; }

  // ============================================================ services
  // Systems built elsewhere that the engine calls. Each is defined in the
  // file of its concern.

  // System keyboard integration.
  void applyModeSettings();
  // System observers and the secure-field poll.
  void observeInputSourceChanges();
  void observeSystemNotifications();
  void startSecureFieldPoll();
  // Caps Lock light.
  void syncCapsLockLight();
  // Launch set-up, permission and stability.
  void runLaunchSetup();
  void requestAccessibility(bool prompt);
  // The text key saying what keeps the desktop's Accessibility switch out of
  // reach (what is missing and what to install or run); empty when nothing does.
  std::string accessibilityProblemKey() const;
  // The program with the focus, when its text is out of reach for a reason
  // the user can be told: it never shares, it is a browser engine started
  // without its switch, or it was started before the desktop's accessibility
  // went on and is not among the programs that share their text. None
  // otherwise, or when that cannot be told.
  struct UnsharedProgram {
    std::string name;  // as the notice names it
    std::string why;   // for the log
    conversion_texts::Notice notice;
    std::optional<ProgramToRestart> toRestart;  // when a restart would mend it
  };
  std::optional<UnsharedProgram> unsharedFocusedProgram();
  // That process still runs (it was neither restarted nor quit).
  bool isStillRunning(const ProgramToRestart& program) const;
  void resumePendingAXRepair();
  void createEventTap();
  void loadLocalWordlists(const std::string& language);
  std::string currentInputSourceLanguage() const;

  // ---- key road: event taps
  // createEventTap() is declared with the launch services above.
  void destroyEventTap();
  void createMouseTap();
  void destroyMouseTap();
  // Times one call of handleInner for the tap `sourceTap` (the keyboard tap
  // or the mouse tap) and returns the event to pass on, or none to swallow it.
  std::optional<Event> handle(TapId sourceTap, EventType type, const Event& event);
  void handleTapDisabled(EventType type);

  // ---- key road: what the event system holds for the handler
  // The keys the handler may swallow or change while nothing is held: the
  // switcher key, the hot-key chords and the pause chord.
  std::vector<DecidedKey> decidedKeys() const;
  void syncDecidedKeys();
  // Whether the handler holds keys now, or may hold the next one typed: a
  // switcher press, a switch's hold until its keys are replayed, a typing
  // simulation, the replay behind it, and our keys still on their way back.
  bool holdsKeys();
  // Tells the event system when that changes; while it lasts, looked at
  // again shortly, whichever way it ends.
  void syncKeyboardHold();

  // ---- key road: key-event handler
  // One event on its way through the handler's stages.
  struct KeyStep {
    TapId sourceTap;
    EventType type;
    const Event& event;
    bool switcherCode;  // F19, grave or Caps Lock
    // A key the focus has already had (no grab took it): stages may note it,
    // none may hold, swallow or change it.
    bool heardOnly;
  };
  // A stage's decision ends the handler: the event to pass on, or none to
  // swallow it. A stage that does not decide hands the event to the next.
  struct KeyDecision {
    std::optional<Event> result;
  };
  std::optional<Event> handleInner(TapId sourceTap, EventType type, const Event& event);
  void showTapRecoveredNotice();
  void handleConversionHotKey();
  void handleF19LongPress(bool capsAtStart);
  void f19PressStart(const Event& event);
  void f19Release();
  void spaceSwitch();
  void graveSwitch();
  void syncCapsLockStateFromHardware();

  // ---- key road: typing simulation and pause
  void beginTypingSimulation();
  void endTypingSimulation();
  // The running simulation waits up to `seconds` more for the focused
  // application to take keys it posted: until then the handler does not take
  // it for one whose end never comes, however long it has run.
  void extendTypingSimulation(double seconds);
  bool isSimulatingTyping();
  void replayBufferedKeystrokes();
  // Puts events[from...] at the head of the replay chain and starts it.
  void replayKeystrokes(std::vector<Event> events, size_t from);
  // One link of the chain: posts the next key, 0.003 s after the last one.
  void replayNextKeystroke();
  void pause(double hours, bool untilTomorrow);
  void resume();
  void togglePause();
  void showUnsupportedAppNotice();
  void presentRevertedNotice(const std::string& message, const std::string& subMessage);
  void setAXAvailableInFocusedApp(bool available);

  // ---- key road: input-source switching (see also LanguageSwitcher)
  LanguageSwitcher languageSwitcher();
  static bool isEnglishInputSourceID(const std::string& id);
  bool isCachedLanguageEnglish() const;
  void setCachedLanguage(bool isEnglish);
  std::optional<std::string> currentInputSourceID() const;
  std::string currentInputSourceIDOrDefault() const;
  std::string targetInputSourceID() const;

  // ---- key road: system keyboard integration
  // applyModeSettings() is declared with the services above.
  void verifyModeSettings();
  void setHIDUtilMapping();
  void clearHIDUtilMapping();
  std::string verifyHIDUtilMapping();
  bool disablePerDocumentInputSwitching();
  bool setupF19SystemShortcut();
  void restoreOriginalHotKey61();
  void runActivateSettings();
  void showF19ShortcutHint();
  void showPerDocumentRevertBanner();
  void openAccessibilitySettings();
  // Resets this program's Accessibility record and relaunches it so the
  // system asks again; `automatic` marks a repair the program started on its
  // own, `userConfirmed` one the user confirmed. The work is the handler's,
  // which the application installs (permission.repairHandler); without one
  // the request is only logged.
  void repairAccessibilityGrant(bool automatic = false, bool userConfirmed = true);
  // The quit step for the machine's keyboard: queued applies stop doing
  // anything, then the remap is cleared and hot key 61 restored on the
  // settings queue, after whatever is running there, before this returns.
  void restoreSystemKeyboardForQuit();
  // The same when the X server has gone away: the remap went with it, and
  // hot key 61 is restored on the settings queue without waiting there (the
  // queue may be held in a call to the server that is gone); from any thread.
  void restoreSystemKeyboardWithoutServer();

  // ---- key road: Caps Lock state and light
  // syncCapsLockLight() (declared above) is the light's refresh after every
  // change of isCapsLockOn.
  bool capsLockState();
  void setCapsLockState(bool on);
  void refreshCapsLED();
  void driveCapsLED(bool on);
  // The number of keyboards held open for the light.
  size_t openCapsLEDKeyboards();
  void releaseCapsLEDKeyboards();

  // ---- key road: system observers and the secure-field poll
  // observeInputSourceChanges(), observeSystemNotifications() and
  // startSecureFieldPoll() are declared with the services above.
  void inputSourceChanged();
  void screenLockStateChanged();
  void screenSleepStateChanged();
  void appWorkspaceChanged();
  void accessibilityAPIChanged();
  void accessibilityListChanged();
  struct SecureFieldProbe {
    bool global = false;
    // None when the focused element did not answer in time: the previous
    // answer stands.
    std::optional<bool> focusedFieldIsSecure;
  };
  static constexpr double kSecureFieldCheckTimeout = 0.05;  // [design]
  // Touches no engine state; runs off the main thread. The focused element
  // gets `timeoutSeconds` to answer.
  static SecureFieldProbe checkFocusedSecureField(InputSources* inputSources, Accessibility* accessibility,
                                                  double timeoutSeconds = kSecureFieldCheckTimeout);
  // One look at the focused field, off the main thread, its answer applied
  // on the main queue. For a newly focused field (at start, when the focus
  // moves, when another program comes forward) the word keeps the keys
  // typed aside until the answer tells whether the field is a password's.
  void lookAtFocusedField(bool newFocus = false);
  // `look`: the number of the look answering, 0 for one nothing waits on.
  void postSecureInputStateChanged(const SecureFieldProbe& probe, uint64_t look = 0);
  void clearBufferStateOnMain();
  bool isPointInOwnPanels(double x, double y) const;

  // ---- typing flow and wrong-layout correction (word_conversion.cpp, switch_confirmation.cpp, layouts.cpp, conversion_feedback.cpp)
  void beginSpeculativeHold(std::optional<std::string> targetLanguage = std::nullopt,
                            std::optional<std::string> expectedSourceID = std::nullopt);
  void switchLayoutViaHotKey();
  // Rewrites the Unicode string of a held key-down for the layout now current.
  void retargetKeyEvent(Event& event);
  void releaseSpeculativeQueue();
  void awaitLanguageSwitch(bool wantsEnglish);
  std::optional<AXElement> focusedElement();
  void correctWithInputSource();
  void handleUndoRedoToggle();
  void cycleCurrentWordLanguage();
  void clearBufferState();
  void handleLayoutSwitchNotification(std::optional<std::string> inputSourceID, bool isEnglish);
  void handleAppActivation();
  void confirmToggleSwitch(const std::string& expectedID, double requestTime, std::function<void()> fallback);
  void confirmSourceSwitch(const std::string& expectedID, double requestTime, std::function<void()> fallback);
  // Ends the confirmation now if its source is current already; false if
  // no switch is being confirmed or it has not landed.
  bool endConfirmationIfLanded();
  void postModifierResync();
  void playHaptic();
  std::string layoutIdentifierInfo(const std::string& inputSourceID) const;
  // Rewrites the Unicode string of a key event for the layout of `sourceID`,
  // from its key code and modifiers alone, so doing it twice changes nothing.
  void retargetKeyEvent(Event& event, const std::string& sourceID);
  // Whether the frontmost application's text can be read, and the probe that
  // records it (retried 0.1 s apart while the application is still waking).
  AXTextAccess frontmostAppTextAccess();
  void probeFocusedAppAXAvailability(int attemptsLeft);
  // Opens the undo window (with no end of its own) or closes it: closing
  // empties the stacks, commits the word the user undid, and expires the
  // correction notice.
  void setIsUndoPossible(bool value);
  // Undo and redo of the last conversion, after verifying the screen.
  void performUndo();
  void performRedo();
  // The conversion counters, after each conversion.
  void recordConversionStats(const std::string& original, const std::string& converted,
                             const std::string& targetSourceID);
  void playCorrectionHaptic(bool repeat);
  // One JSON line of a committed word's inter-key timings (never its keys or
  // text), when the capture is switched on.
  void captureKeystrokeTiming(const std::vector<KeyStroke>& strokes, bool isUndoPossible);
  std::filesystem::path keystrokeTimingFileURL() const;
  // The text `strokes` type in the layout of `source` (dead keys carried from
  // key to key); "" without a source or layout.
  std::string renderInLayout(const std::vector<KeyStroke>& strokes,
                             const std::optional<InputSourceInfo>& source) const;
  // The source of the layout cycle with that identifier.
  std::optional<InputSourceInfo> inputSourceWithID(const std::string& id) const;
  // The enabled keyboard layouts the switcher keys cycle through, in order.
  std::vector<InputSourceInfo> cycleKeyboardLayouts() const;
  // Haptic feedback (engine/haptic_feedback.cpp), on the main thread: the
  // confirm pulse at hapticIntensityConfirm, doubled after
  // hapticFeedbackDelay when `repeat`; the alert pulse at hapticIntensityAlert.
  void performHaptic(bool repeat);
  void performSystemHaptic();

  // ---- reliability services the key road calls (tap_watchdog.cpp, stability_stats.cpp, stability_journal.cpp)
  void markHandleBegan();
  void markHandleEnded();
  void noteTapRecovered();
  int noteTapDisabledByTimeout();
  void recordStabilityEvent(const std::string& kind, const std::map<std::string, std::string>& fields,
                            bool flagged);
  std::string stabilityDayKey() const;
  void statsNoteStall(const std::string& dayKey, int64_t ms);
  void statsNoteTapDisabled(const std::string& dayKey);
  void runTapRecoveryStep(const std::string& reason);
  void withWatchdogLock(TapId tap);

  // ---- tap reliability, permissions and stability (tap_watchdog.cpp, permission_monitor.cpp, stability_journal.cpp, launch_setup.cpp)
  // runLaunchSetup(), requestAccessibility() and resumePendingAXRepair() are
  // declared with the launch services above.
  // The stability journal (one JSON line per event) and its session records.
  std::filesystem::path stabilityLogURL() const;
  void beginStabilitySession(const std::string& version);
  void endStabilitySession(const std::string& reason);
  // Prunes old rotated log copies on the diagnostics disk queue.
  void scheduleLogMaintenance();
  // Per-day statistics: the last 30 days, written when changed.
  std::filesystem::path stabilityStatsURL() const;
  void loadStabilityStats();
  void saveStabilityStats(bool synchronously);
  void updateTodayStabilityDay(const std::function<void(StabilityDay&)>& mutation);
  std::vector<StabilityDay> stabilityDaysSnapshot();
  // The tap's health: the 10-second watchdog, the recovery ladder's reset,
  // the dead-man thread and what it reports, the user's restart.
  void startEventTapWatchdog();
  void eventTapWatchdogTick();
  void startTapDeadManThread();
  void stopTapDeadManThread();
  void handleStuckTapCallback(double stuckSeconds);
  void performTapRecoveryStep(int step);
  void autoRecoveryWakeCheck();
  void userRestartTap();
  // Accessibility trust: the 1-second poll and the grant or loss handling
  // every trust check ends in (main thread).
  void startAXPermissionTimer();
  void applyAccessibilityTrust(bool trusted, const std::string& source);
  // Keeps the time the desktop's switch went on, from what the checks see.
  void noteAccessibilitySwitch(bool trusted);

  // ---- word sets and word lists (word_sets.cpp)
  // Every set holds lower-cased words. Each is built on first use outside
  // wordSets.lock and stored under it; its generation keeps a set built from
  // stale files from replacing a newer one. Sets are immutable once
  // published, so a caller may keep the returned reference.
  std::vector<std::string> loadWordFile(const std::string& name) const;
  static std::string packFileName(const std::string& packName);
  WordSetRef developerWhitelist();
  WordSetRef buildDeveloperWhitelist() const;
  void storeDeveloperWhitelist(WordSetRef set);
  void rebuildDeveloperWhitelist();
  // True when the word was added to the ignored-word file and set; false
  // when it is empty, already present, or could not be written.
  bool addToWhitelist(const std::string& word);
  // The same, telling why a word was not added.
  enum class WhitelistAddResult { added, empty, alreadyPresent, notSaved };
  WhitelistAddResult addToWhitelistReporting(const std::string& word);
  WordSetRef commonThaiWords();
  WordSetRef loadCommonEnglishWords();
  WordSetRef localThaiDictionary() const;
  bool hasLocalThaiDictionary() const;
  // The stored local set of `language` (possibly empty), or null when none.
  WordSetRef localDictionary(const std::string& language) const;
  void setLocalDictionary(const std::string& language, WordSetRef words);
  static const WordSet& builtInProgrammingWords();
  static const WordSet& builtInCommonEnglishWords();
  static const WordSet& builtInCommonThaiWords();
  static const std::map<std::string, ScriptCharacterSet>& scriptCharacterSets();
  static const std::map<std::string, std::string>& spellCheckProbeWords();
  bool canCheckWords(const std::string& language);
  bool spellCheckerDiscriminates(const std::string& language);
  // Main thread only; false anywhere else.
  bool systemSpellCheckerAccepts(const std::string& text, const std::string& language);
  static std::string normalizeThaiSaraAm(const std::string& word);
  void commitPendingRejection();
  // Part of the language check of the typing flow that the spell-checker
  // probe needs: whether the spell checker offers `language`.
  bool isLanguageEnabled(const std::string& language) const;
  // The word just converted or typed joins the ignored-word list on the
  // second press of the hot key.
  void confirmAddToVocabulary();

  // ---- local dictionaries (local_dictionaries.cpp)
  // loadLocalWordlists(language) is declared with the launch services above.
  // The file work runs on the background queue; results are published on
  // the main queue.
  static std::vector<std::filesystem::path> dictionarySearchDirectories();
  static const std::map<std::string, LocalDictionaryName>& localDictionaryNames();
  void loadLocalDictionary(const std::string& language, const std::string& baseName);
  // The words of a dictionary, empty when it has none or was refused; none
  // when it could not be checked this time (the keychain did not answer).
  std::optional<WordSet> loadHunspellDictionary(const std::string& baseName);
  static std::optional<std::string> readHunspellDictionaryText(const std::filesystem::path& dic);
  void publishLocalDictionary(const std::string& language, WordSetRef words);

  // ---- typo learning (typo_habit_tracker.cpp)
  // The typo-habit store and tracker of this engine's typing flow, made on
  // first use. The shared engine's are the process's shared ones.
  std::shared_ptr<TypoHabitStore> typoHabitStore();
  std::shared_ptr<TypoHabitTracker> typoHabitTracker();

  // ============================================================== state
  // One struct per concern that owns it (engine/engine_state.h); their
  // initial values are the start of every run.
  using ConversionRecord = tessa::ConversionRecord;
  using CorrectionState = tessa::CorrectionState;

  TapState tap;                         // the taps (tap.safetyLock)
  WatchdogTapState watchdogTapState;    // what the dead-man thread reads
  RecoveryState recovery;               // the tap watchdog and its recovery ladder
  PermissionState permission;           // Accessibility trust and its repair
  StabilityState stability;             // the stability journal and days
  SwitcherState switcher;               // the switcher keys and hot-key chords
  InputSourceState inputSource;         // the layouts and the switches made
  FocusState focus;                     // the frontmost program and field
  TypingSimulationState typingSimulation;  // our own typing, and the replay's run
  // The user's keys held back to be posted later, and those on their way
  // back through the tap; the only way in and out of every such buffer.
  HeldKeys heldKeys;
  FlowState flow;  // the typing flow and the switcher press
  // The wrong-layout conversion: undo and redo, their window, the cycle, the
  // edit in flight; the only way in and out of them.
  ConversionState conversion;
  // Typing flow and correction beyond the fields above (main thread).
  CorrectionState correction;
  // Word sets and dictionaries; guarded by wordSets.lock.
  WordSetState wordSets;
  PauseState pauseState;
  SystemKeyboardState systemKeyboard;
  CapsLightState capsLight;
  ObserverState observers;
  LaunchState launch;
  Overrides overrides;
  TypoLearningState typoLearning;
  HudState hud;

 private:
  // The key handler's stages, in the order handleInner runs them.
  std::optional<KeyDecision> diagnosisSwitchStage(const KeyStep& k);
  std::optional<KeyDecision> heartbeatStage(const KeyStep& k);
  std::optional<KeyDecision> pauseHotKeyStage(const KeyStep& k);
  std::optional<KeyDecision> tapDisabledStage(const KeyStep& k);
  std::optional<KeyDecision> pausedStage(const KeyStep& k);
  std::optional<KeyDecision> secureInputStage(const KeyStep& k);
  std::optional<KeyDecision> mouseDownStage(const KeyStep& k);
  std::optional<KeyDecision> ownEventStage(const KeyStep& k);
  std::optional<KeyDecision> replayStage(const KeyStep& k);
  std::optional<KeyDecision> hotKeyChordStage(const KeyStep& k);
  // What a key pressed so does, from the one table of the keys the handler
  // acts on outside a hold; the hot key a chord's press is, if any.
  std::optional<DecidedRole> decidedRole(const Event& event) const;
  std::optional<DecidedRole> hotKeyOf(const Event& event) const;
  // Runs a hot key's action on the main queue, holding the keys typed from
  // here on while the edit it starts lasts.
  void startHotKey(DecidedRole role);
  std::optional<KeyDecision> typingSimulationStage(const KeyStep& k);
  std::optional<KeyDecision> capsLockDisplayStage(const KeyStep& k);
  std::optional<KeyDecision> spaceSwitcherStage(const KeyStep& k);
  std::optional<KeyDecision> pressTrackingStage(const KeyStep& k);
  std::optional<KeyDecision> switchHoldStage(const KeyStep& k);
  std::optional<KeyDecision> typingFlowStage(const KeyStep& k);
  std::optional<KeyDecision> switcherKeyStage(const KeyStep& k);

  explicit KeyboardEngine(EngineEnvironment env);
  void initialize();
  void loadProfiles();
  // The active profile's field, the profiles and the defaults saved at once.
  void saveToActiveProfile(ProfileIntegerField field, int64_t value);
  void saveToActiveProfile(ProfileBoolField field, bool value);
  std::string languageSnapshot(CopywritingLevel* level) const;

  EngineEnvironment env_;
  AppLog appLog_;
  std::unique_ptr<DiagnosticLog> diagnosticLog_;
  std::unordered_map<std::string, std::string> englishToThaiMap_;
  std::unordered_map<std::string, std::string> thaiToEnglishMap_;
  InterfaceLanguageCopy languageCopy_;
};

}  // namespace tessa
