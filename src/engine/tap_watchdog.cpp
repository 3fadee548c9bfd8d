// Keeping the keyboard tap alive: the in-flight marks the dead-man thread
// reads, the count of tap disables, the recovery ladder, the 10-second
// watchdog, and the restarts after an emergency teardown.
//
// The ladder climbs one rung each time the tap fails again before it has
// stayed healthy for a while: re-enable it, then recreate it, then (where a
// relaunch exists) relaunch, then give up and take the tap out of the input
// chain until the user restarts it, so that a tap that keeps stalling can
// never keep freezing the keyboard.
#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "engine/keyboard_engine.h"
#include "l10n/localization.h"
#include "engine/hud_notices.h"
#include "reliability/tap_dead_man_switch.h"

namespace tessa {

namespace {
constexpr double kTapDisableWindowSeconds = 60.0;  // [design]
constexpr double kWatchdogIntervalSeconds = 10.0;  // [design]
// A tap that has stayed healthy this long since the last rung starts the
// ladder again from the bottom.
constexpr double kHealthyResetSeconds = 30.0;
// A failure sooner than this after a rung repeats the re-enable instead of
// climbing, so a burst of disables cannot tear the tap down in a moment.
constexpr double kMinStepSpacingSeconds = 5.0;
// An outage longer than this is worth telling the user about.
constexpr double kOutageNoticeSeconds = 2.0;  // [design]

enum Step { kHealthy = 0, kReenable = 1, kRecreate = 2, kRelaunch = 3, kGiveUp = 4 };

const char* stepName(int step) {
  switch (step) {
    case kHealthy: return "healthy";
    case kReenable: return "re-enable";
    case kRecreate: return "recreate";
    case kRelaunch: return "relaunch";
    default: return "give up";
  }
}
const char* stepPhase(int step) {
  switch (step) {
    case kReenable: return "reenable";
    case kRecreate: return "recreate";
    case kRelaunch: return "relaunch";
    default: return "give_up";
  }
}
}  // namespace

// ---------------------------------------------------------- in-flight marks

void KeyboardEngine::withWatchdogLock(TapId tap) {
  std::lock_guard lock(watchdogTapState.lock);
  watchdogTapState.tapReference = tap;
}

void KeyboardEngine::markHandleBegan() {
  double now = uptime();
  {
    std::lock_guard lock(watchdogTapState.lock);
    watchdogTapState.inFlightStart = now;
  }
  std::lock_guard lock(tap.safetyLock);
  recovery.inFlightHandleStart = now;
}

void KeyboardEngine::markHandleEnded() {
  {
    std::lock_guard lock(watchdogTapState.lock);
    watchdogTapState.inFlightStart.reset();
  }
  std::lock_guard lock(tap.safetyLock);
  recovery.inFlightHandleStart.reset();
}

int KeyboardEngine::noteTapDisabledByTimeout() {
  double now = uptime();
  std::lock_guard lock(tap.safetyLock);
  auto& times = recovery.tapTimeoutTimestamps;
  std::erase_if(times, [now](double t) { return now - t > kTapDisableWindowSeconds; });
  times.push_back(now);
  return static_cast<int>(times.size());
}

// ------------------------------------------------------------- recovery

void KeyboardEngine::noteTapRecovered() {
  // Runs for every keyboard-tap event: nothing to do unless an outage is open.
  if (!recovery.outageStartedAt) return;
  TapId keyboard;
  {
    std::lock_guard lock(tap.safetyLock);
    keyboard = tap.eventTap;
  }
  // A tap-disabled event also reaches the handler; only an event from a
  // working tap proves the tap is back.
  EventSystem* events = platform().events;
  if (keyboard == 0 || !events || !events->isTapEnabled(keyboard)) return;
  double seconds = uptime() - *recovery.outageStartedAt;
  recovery.outageStartedAt.reset();
  auto ms = static_cast<int64_t>(seconds * 1000.0);
  int step = recovery.tapRecoveryStep;
  recordStabilityEvent("tap.ladder", {{"phase", "recovered"}, {"ms", std::to_string(ms)}, {"step", std::to_string(step)}},
                       false);
  log(fmt::format("Tap recovered after {}ms (recovery step {})", ms, step));
  // The handler announces a tap the watchdog had marked dead; only one notice.
  bool announce = seconds > kOutageNoticeSeconds && !isEventTapDead.get();
  asyncOnMainWeak([announce, seconds](KeyboardEngine& e) {
    e.totalWatchdogRecoveries.set(e.totalWatchdogRecoveries.get() + 1);
    if (!announce) return;
    showStatusHUD(e, formatLocalized(e.localized("hud_tap_outage"), {std::to_string(std::lround(seconds))}),
                  e.localized("hud_tap_stale_recovered"), "checkmark.circle.fill", HudColor::green);
  });
}

void KeyboardEngine::runTapRecoveryStep(const std::string& reason) {
  double now = uptime();
  if (recovery.isEmergencyTornDown) {
    log("runTapRecoveryStep: tap torn down (" + reason + ") - waiting for the user's restart");
    return;
  }
  if (recovery.isTapRestartInFlight) {
    log("runTapRecoveryStep: a step is already running (" + reason + ")");
    return;
  }
  if (!recovery.outageStartedAt) recovery.outageStartedAt = now;
  if (recovery.tapRecoveryStep > kHealthy && now - recovery.lastRecoveryStepAt > kHealthyResetSeconds)
    recovery.tapRecoveryStep = kHealthy;

  TapId keyboard;
  {
    std::lock_guard lock(tap.safetyLock);
    keyboard = tap.eventTap;
  }
  EventSystem* events = platform().events;
  bool healthy = keyboard != 0 && events && events->isTapValid(keyboard) &&
                 events->isTapEnabled(keyboard) == !isPaused.get();
  if (healthy) {
    log("runTapRecoveryStep: tap healthy (" + reason + ") - nothing to do");
    return;
  }

  int step;
  if (recovery.tapRecoveryStep > kHealthy && now - recovery.lastRecoveryStepAt < kMinStepSpacingSeconds) {
    step = kReenable;  // too soon to climb: put the tap back and wait
    log(fmt::format("runTapRecoveryStep: step {} held, re-enabling ({})", recovery.tapRecoveryStep, reason));
  } else {
    recovery.tapRecoveryStep = std::min(recovery.tapRecoveryStep + 1, static_cast<int>(kGiveUp));
    recovery.lastRecoveryStepAt = now;
    step = recovery.tapRecoveryStep;
    log(fmt::format("runTapRecoveryStep: step {} {} ({})", step, stepName(step), reason));
    recordStabilityEvent("tap.ladder", {{"phase", stepPhase(step)}, {"step", std::to_string(step)}, {"reason", reason}},
                         step == kGiveUp);
  }
  if (recovery.tapRecoveryStartedAt == 0) recovery.tapRecoveryStartedAt = now;
  recovery.isTapRestartInFlight = true;
  // Never from inside the tap callback: the step runs on a later turn.
  asyncOnMainWeak([step](KeyboardEngine& e) { e.performTapRecoveryStep(step); });
}

void KeyboardEngine::performTapRecoveryStep(int step) {
  recovery.isTapRestartInFlight = false;
  if (recovery.isEmergencyTornDown) return;
  EventSystem* events = platform().events;
  TapId keyboard;
  {
    std::lock_guard lock(tap.safetyLock);
    keyboard = tap.eventTap;
  }
  switch (step) {
    case kReenable:
      if (keyboard != 0 && events && events->isTapValid(keyboard)) {
        events->enableTap(keyboard, !isPaused.get());
        return;
      }
      log("runTapRecoveryStep: no tap to re-enable - recreating it");
      [[fallthrough]];
    case kRecreate:
      recovery.tapCreateTimestamps.push_back(uptime());
      destroyEventTap();
      createEventTap();
      return;
    case kRelaunch:
      recovery.didAttemptTapRelaunch = true;
      log("runTapRecoveryStep: relaunching the application is not built yet - skipped; the next failure gives up");
      return;
    default:
      log("runTapRecoveryStep: giving up - the event tap stays out of the input chain until the user restarts it");
      appLog().error("Event tap recovery exhausted - tap torn down until restarted", LogCategory::keyboard);
      recovery.isEmergencyTornDown = true;
      destroyEventTap();
      return;
  }
}

// ------------------------------------------------------------- watchdog

void KeyboardEngine::startEventTapWatchdog() {
  recovery.eventTapWatchdogTimer.cancel();
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  recovery.eventTapWatchdogTimer = mainQueue().postRepeating(kWatchdogIntervalSeconds, [weak] {
    if (auto e = weak.lock()) e->eventTapWatchdogTick();
  });
}

void KeyboardEngine::eventTapWatchdogTick() {
  double now = uptime();
  recovery.lastMainThreadTick = now;
  saveStabilityStats(false);
  // A tap is expected only with the permission, while running, and unless
  // it was taken out on purpose.
  if (!isAccessibilityGranted.get() || isPaused.get() || recovery.isEmergencyTornDown ||
      recovery.isTapRestartInFlight)
    return;
  TapId keyboard;
  {
    std::lock_guard lock(tap.safetyLock);
    keyboard = tap.eventTap;
  }
  EventSystem* events = platform().events;
  bool exists = keyboard != 0 && events && events->isTapValid(keyboard);
  bool enabled = exists && events->isTapEnabled(keyboard);
  if (enabled) {
    if (recovery.tapRecoveryStep > kHealthy && now - recovery.lastRecoveryStepAt > kHealthyResetSeconds) {
      log(fmt::format("Tap watchdog: tap healthy again - recovery ladder reset (was step {})",
                      recovery.tapRecoveryStep));
      recovery.tapRecoveryStep = kHealthy;
      recovery.tapRecoveryStartedAt = 0;
    }
    return;
  }
  std::string reason = exists ? "watchdog: tap disabled" : "watchdog: no tap";
  log("Tap watchdog: the keyboard tap is " + std::string(exists ? "disabled" : "missing"));
  if (!recovery.outageStartedAt) recovery.outageStartedAt = now;
  if (!isEventTapDead.get()) isEventTapDead.set(true);
  runTapRecoveryStep(reason);
}

// ----------------------------------------------------------- dead-man

void KeyboardEngine::startTapDeadManThread() {
  if (recovery.deadManSwitch && recovery.deadManSwitch->isRunning()) return;
  EventSystem* events = platform().events;
  TaskRunner* main = &mainQueue();
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  // The switch is dropped (and its thread joined) before the watchdog state
  // it reads, which is declared earlier in the engine.
  auto reader = [this] {
    std::lock_guard lock(watchdogTapState.lock);
    return TapDeadManSwitch::Snapshot{watchdogTapState.tapReference, watchdogTapState.inFlightStart};
  };
  auto onStuck = [events, main, weak](TapId stuckTap, double seconds) {
    // The main thread is the one that is stuck: release the machine's
    // keyboard from here, then finish the teardown there once it is free.
    if (events) events->enableTap(stuckTap, false);
    main->post([weak, seconds] {
      if (auto e = weak.lock()) e->handleStuckTapCallback(seconds);
    });
  };
  recovery.deadManSwitch = std::make_shared<TapDeadManSwitch>(clock(), reader, onStuck);
  recovery.deadManSwitch->start();
  recovery.isDeadManSwitchRunning = true;
  log(fmt::format("Dead-man thread {} started (checks every {}s, limit {}s)", TapDeadManSwitch::kThreadName,
                  TapDeadManSwitch::kCheckInterval, TapDeadManSwitch::kStuckLimit));
}

void KeyboardEngine::stopTapDeadManThread() {
  if (recovery.deadManSwitch) recovery.deadManSwitch->stop();
  recovery.isDeadManSwitchRunning = false;
}

void KeyboardEngine::handleStuckTapCallback(double stuckSeconds) {
  auto ms = static_cast<int64_t>(stuckSeconds * 1000.0);
  recordStabilityEvent("handle.stuck", {{"ms", std::to_string(ms)}, {"app", focus.cachedFrontmostBundleID}}, true);
  log(fmt::format("Dead-man: a tap callback was stuck for {}ms - the tap was disabled to release the keyboard", ms));
  appLog().error(fmt::format("Tap callback stuck for {}ms - emergency teardown", ms), LogCategory::keyboard);
  if (recovery.isEmergencyTornDown) return;
  recovery.isEmergencyTornDown = true;
  if (!recovery.outageStartedAt) recovery.outageStartedAt = uptime();
  destroyEventTap();
}

// ------------------------------------------------- after an emergency teardown

void KeyboardEngine::userRestartTap() {
  log("userRestartTap: restarting the event tap at the user's request");
  std::map<std::string, std::string> fields{{"phase", "user_restart"}};
  if (recovery.outageStartedAt)
    fields["ms"] = std::to_string(static_cast<int64_t>((uptime() - *recovery.outageStartedAt) * 1000.0));
  recordStabilityEvent("tap.ladder", fields, false);
  recovery.isEmergencyTornDown = false;
  recovery.tapRecoveryStep = kHealthy;
  recovery.tapRecoveryStartedAt = 0;
  recovery.isTapRestartInFlight = false;
  recovery.didAttemptTapRelaunch = false;
  // The user asked for this restart: it needs no "recovered" notice.
  recovery.outageStartedAt.reset();
  if (isEventTapDead.get()) isEventTapDead.set(false);
  destroyEventTap();
  createEventTap();
}

void KeyboardEngine::autoRecoveryWakeCheck() {
  if (!recovery.isEmergencyTornDown) {
    log("autoRecoveryWakeCheck: the tap is not torn down - nothing to do");
    return;
  }
  log("autoRecoveryWakeCheck: the tap is still torn down after wake; the automatic-recovery policy is not built "
      "yet - skipped, waiting for the user's restart");
}

}  // namespace tessa
