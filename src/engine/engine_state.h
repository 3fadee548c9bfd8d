#pragma once
// The engine's run-time state, one struct per concern that owns it: the taps
// and their recovery, permissions, stability, the switcher keys, the input
// sources, the focus, the typing simulation, the typing flow, word sets, and
// the smaller services. KeyboardEngine holds one of each (keyboard_engine.h;
// the conversion's state in conversion_state.h); a stage's helper may take
// just the struct it works on.
// Initial values are the start of every run.
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/observable.h"
#include "base/task_runner.h"
#include "dictionaries/word_lists.h"
#include "engine/value_types.h"
#include "platform/platform.h"
#include "reliability/stability_day.h"

namespace tessa {

class TapDeadManSwitch;
class TypingFlowController;
class TypingFlowHost;
class TypoHabitStore;
class TypoHabitTracker;
class UnifiedMenuPanel;

struct TapState {
  // Guards the tap ids below, and the fields of other states marked as
  // under it.
  std::mutex safetyLock;
  TapId eventTap = 0;
  TapId mouseTap = 0;
  double lastEventTapHeartbeat = 0;
  double lastTapDisabledTimestamp = 0;
  bool isInLatencyYellowZone = false;
  bool debugSlowCallbackOnce = false;
  bool debugForceTapEnableFailure = false;
  // What the event system was last told: the keyboard held, and the keys
  // the handler decides outside a hold. Main thread only.
  bool keyboardHeld = false;
  TaskHandle holdRecheck;
};

struct WatchdogTapState {
  std::mutex lock;
  TapId tapReference = 0;
  std::optional<double> inFlightStart;
};

struct RecoveryState {
  double lastMainThreadTick = 0;
  std::optional<double> inFlightHandleStart;  // under tap.safetyLock
  std::vector<double> tapTimeoutTimestamps;    // under tap.safetyLock
  bool isEmergencyTornDown = false;
  std::atomic<bool> isDeadManSwitchRunning{false};
  TaskHandle mainThreadTickTimer;
  TaskHandle autoRecoveryTimer;
  std::optional<double> tapCreateBlockedUntil;
  int tapRecoveryStep = 0;
  bool isTapRestartInFlight = false;
  std::vector<double> tapCreateTimestamps;
  double tapRecoveryProofDeadline = 0;
  int tapRecoveryProofCount = 0;
  double tapRecoveryStartedAt = 0;
  double lastHeartbeatWrite = 0;
  TaskHandle eventTapWatchdogTimer;
  bool didAttemptTapRelaunch = false;
  // When the tap stopped delivering (a disable, or the watchdog found it
  // dead); none while it works. Main thread.
  std::optional<double> outageStartedAt;
  double lastRecoveryStepAt = 0;  // uptime of the last ladder step
  std::shared_ptr<TapDeadManSwitch> deadManSwitch;  // stops its thread when dropped
};

struct PermissionState {
  // Resets this program's Accessibility record and relaunches it
  // (KeyboardEngine::repairAccessibilityGrant); installed by the application.
  std::function<void(bool automatic, bool userConfirmed)> repairHandler;
  TaskHandle axPermissionTimer;
  // Where the platform announces each change of trust, in place of the timer.
  Subscription trustWatch;
  std::optional<bool> axProbe;  // under tap.safetyLock
  double lastTapRepairAttempt = std::numeric_limits<double>::lowest();
  int consecutiveAXDenials = 0;
  bool didOfferAXRepair = false;
  std::optional<double> lastAXNotificationRebuild;
  bool lastDenialWasPostAccessOnly = false;
  bool debugSimulatePostAccessRevoked = false;
  bool debugSimulatePostAccessCacheStale = false;
};

struct StabilityState {
  std::mutex lock;
  std::vector<StabilityDay> stabilityDays;  // under lock, oldest first
  bool stabilityStatsDirty = false;         // under lock
  std::optional<double> sessionStartedAt;   // uptime, while a stability session is open
  std::optional<double> secureInputSince;
  bool didLogLongSecureInput = false;
};

struct SwitcherState {
  std::optional<double> lastPressTime;
  std::optional<double> lastCapsLockTransitionTime;
  bool isDebouncingF19 = false;
  bool isTogglingF19 = false;
  // The source the switch being confirmed should make current, and a count
  // that retires the polls of confirmations a switcher press ended early.
  std::optional<std::string> confirmingSourceID;
  uint64_t confirmationGeneration = 0;
  bool wasKeyPressedWhileCapsLockDown = false;
  std::optional<uint16_t> lastPressedKeyCode;
  std::optional<double> lastHealthAlertTime;
  TaskHandle pauseTimer;
  bool isCapsLockLEDSyncEnabled = true;
  // Grave or Space key-downs that were swallowed as switcher presses, so
  // that exactly their key-ups are swallowed too.
  std::set<uint16_t> swallowedSwitcherKeyDowns;
  // Key-downs swallowed as hot-key chords (Control+Shift+A/O/Z/X): their
  // key-ups are swallowed too, never passed on or held and replayed.
  std::set<uint16_t> swallowedChordKeyDowns;
};

struct InputSourceState {
  std::string cachedLanguage = "com.apple.keylayout.ABC";  // [design]
  std::optional<std::string> cachedNextInputSourceID;
  std::optional<double> lastNotificationTime;
  std::optional<double> lastInputSourceChangeTime;
  std::optional<double> lastCompletedSwitchTime;
  std::optional<std::string> lastCompletedSwitchTargetID;
  std::optional<double> lastPerDocumentToastTime;
  std::vector<InputSourceInfo> activeInputSources;
  std::optional<std::vector<std::string>> cycleKeyboardLayoutsCache;
  std::optional<std::vector<std::string>> languagePriorityOrderCache;
};

struct FocusState {
  std::string cachedFrontmostBundleID = "unknown";  // [design]
  bool cachedFocusedFieldIsSecure = false;
  // The looks at the focused field are numbered; the word follows no key
  // until the look at a newly focused field has answered (0: none awaited),
  // asked again while it could not tell.
  uint64_t secureFieldLooks = 0;
  uint64_t awaitedSecureFieldLook = 0;
  int unansweredNewFocusLooks = 0;
  std::set<int64_t> axActivationRequestedPIDs;
  std::optional<double> lastPhysicalKeyEventTime;
};

struct TypingSimulationState {
  std::mutex lock;
  int simulationCount = 0;                     // under lock
  std::optional<double> lastSimulationStartTime;  // under lock
  // Until when an edit of ours is known to be waiting for the field; none
  // when no edit is. Under lock.
  std::optional<double> awaitedUntil;
  // The replay of held keys (main thread only; its keys are HeldKeys'):
  // running, and its next step already scheduled.
  bool isReplaying = false;
  bool isReplayStepScheduled = false;
};

struct FlowState {
  // The host outlives the controller that holds a reference to it.
  std::unique_ptr<TypingFlowHost> flowHost;
  std::unique_ptr<TypingFlowController> flowController;
  uint64_t transitionSequence = 0;
  int consecutiveSafetyTimeouts = 0;
  TaskHandle speculativeWorkItem;
  bool isSpeculating = false;
  std::optional<AXElement> queueFocusToken;
  int consecutiveAXFailures = 0;
  bool lastAXVerifyWasWrongSurface = false;
  std::optional<std::string> pendingRejection;
  std::optional<std::string> pendingWhitelistConfirmationWord;
  std::map<std::string, int> undoCountsForWord;
  bool hasAnnouncedUndoSkip = false;
  std::optional<std::string> lastUndoneWord;
  std::optional<std::string> currentProactiveSuggestionTarget;
  std::optional<int> lastMultiShiftFlipsUsed;
  std::optional<std::string> lastFatFingerSubstitution;
  int64_t typoCountThisHour = 0;
  std::string typoHourStamp;
  // Run on the main thread when the word being typed gains its first
  // keystroke, loses one, or is dropped; set by the status item.
  std::function<void()> onLiveBufferChanged;
};

struct CorrectionState {
  // The enabled layouts of the cycle, until the enabled list changes.
  mutable std::optional<std::vector<InputSourceInfo>> cycleLayoutsCache;
  std::optional<double> lastFatigueReminderAt;
};

struct WordSetState {
  mutable std::mutex lock;
  WordSetRef developerWhitelist;
  int64_t developerWhitelistGeneration = 0;
  WordSetRef commonThaiWords;
  int64_t commonThaiWordsGeneration = 0;
  WordSetRef commonEnglishWords;
  int64_t commonEnglishWordsGeneration = 0;
  std::map<std::string, WordSetRef> localOtherDictionaries;
  std::map<std::string, bool> spellCheckerDiscriminates;
  // The Thai, English and Lao local sets are never filled; the word checks
  // of the typing flow ask for them all the same.
  WordSetRef localThaiDictionary = std::make_shared<const WordSet>();
  WordSetRef localEnglishDictionary = std::make_shared<const WordSet>();
  std::map<int, std::vector<std::string>> localThaiWordsByLength;
  int64_t localThaiDictionaryWordCount = 0;
  int64_t localEnglishDictionaryWordCount = 0;
  int64_t localLaoDictionaryWordCount = 0;
  // Languages whose dictionary is being read on the background queue, so
  // a second switch does not start a second load.
  std::set<std::string> localDictionariesLoading;
  // Test seam: runs while a lazy set is being built without the lock.
  std::function<void()> duringUnlockedBuild;
};

struct PauseState {
  // The global key-down monitor that keeps the pause hot key alive while
  // the taps are disabled.
  Subscription pauseHotkeyMonitor;
  bool hasPauseHotkeyMonitor = false;
};

struct SystemKeyboardState {
  // Set once quit begins: applies still queued on the settings queue then
  // do nothing.
  std::atomic<bool> isShuttingDown{false};
};

struct CapsLightState {
  // Keyboards held open for the light, in the platform's order (main thread).
  struct HeldKeyboard {
    std::string product;
    int lightElements = 0;
  };
  std::vector<HeldKeyboard> held;
};

struct ObserverState {
  // Subscriptions the engine holds for the life of the process.
  std::vector<Subscription> subscriptions;
  TaskHandle secureFieldPollTimer;
  // Where the platform announces each move of the focus, in place of the
  // timer: the focused field is looked at when it may have changed.
  Subscription focusWatch;
};

struct LaunchState {
  bool hasRunLaunchSetup = false;
  TaskHandle usageTimer;
};

struct Overrides {
  bool mockTranslationEnabled = false;
  bool mockAXAvailable = false;
  std::optional<std::string> mockOSLanguage;
  std::optional<bool> mockAXVerifyResult;
  std::map<std::string, std::map<std::string, std::string>> mockTranslationMap{{"en", {}}, {"th", {}}};
};

struct TypoLearningState {
  std::shared_ptr<TypoHabitStore> store;
  std::shared_ptr<TypoHabitTracker> tracker;
};
// The HUD and the program's other panels, as the engine sees them.
struct HudState {
  // The HUD panel that shows the engine's notices; set by whoever builds it.
  UnifiedMenuPanel* panel = nullptr;
  // Frames (screen coordinates) of the program's own visible panels; set by
  // whoever owns a panel (the HUD, the quick-paste panel).
  std::vector<std::function<std::optional<Rect>()>> ownPanelFrameProviders;
};

// Snapshot of the interface language for lookups from any thread.
struct InterfaceLanguageCopy {
  mutable std::mutex lock;
  std::string language = "th";  // [design]
  CopywritingLevel level = CopywritingLevel::layman;
};

// The run-time counters of the typing flow, the key handler and the reads of
// the focused field, published for the statistics page and the reports; they
// start at zero every run (the persisted totals are settings cells).
struct EngineCounters {
  explicit EngineCounters(ObservableObject& owner)
      : correctionFired(owner, 0), noOpRefused(owner, 0), candidateTie(owner, 0), seenInSessionMiss(owner, 0),
        correctionWithin2s(owner, 0), multiFixUndone(owner, 0), repeatTypedSameWord(owner, 0),
        layoutSwitchTimeout(owner, 0), keystrokesDropped(owner, 0), maxHandleDurationMs(owner, 0),
        inputStallCount(owner, 0), acceptByGenerator(owner, {}), undoByGenerator(owner, {}), axReadCount(owner, 0),
        axReadOver50ms(owner, 0), axReadOver100ms(owner, 0), axReadMaxMs(owner, 0.0) {}
  Published<int64_t> correctionFired, noOpRefused, candidateTie, seenInSessionMiss, correctionWithin2s,
      multiFixUndone, repeatTypedSameWord, layoutSwitchTimeout, keystrokesDropped, maxHandleDurationMs,
      inputStallCount;
  Published<std::map<std::string, int64_t>> acceptByGenerator, undoByGenerator;
  Published<int64_t> axReadCount, axReadOver50ms, axReadOver100ms;
  Published<double> axReadMaxMs;
};

}  // namespace tessa
