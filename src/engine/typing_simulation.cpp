// Two services the key path leans on. The typing-simulation guard brackets
// the stretches in which the engine types or deletes text itself: keys the
// user types meanwhile are held and replayed, 3 ms apart, once the last
// simulation ends. The pause stops the engine for some hours or until
// midnight, with a global monitor that keeps the pause hot key working while
// the taps are disabled.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

#include <fmt/format.h>

#include "engine/keyboard_engine.h"
#include "engine/hud_notices.h"
#include "engine/engine_texts.h"
#include "typing/typing_flow_controller.h"

namespace tessa {

namespace {
// 1.0 → "1.0", 2.5 → "2.5": a number of hours as the log has always shown it.
std::string hoursText(double hours) {
  if (std::isfinite(hours) && std::floor(hours) == hours && std::fabs(hours) < 1e15) return fmt::format("{:.1f}", hours);
  return fmt::format("{}", hours);
}

// Seconds from `wall` to the start of the next calendar day in local time.
// The calendar's own next day, so a day with a daylight-saving change still
// ends at midnight.
double secondsToNextMidnight(double wall) {
  auto now = static_cast<time_t>(std::floor(wall));
  std::tm local{};
  localtime_r(&now, &local);
  local.tm_mday += 1;
  local.tm_hour = 0;
  local.tm_min = 0;
  local.tm_sec = 0;
  local.tm_isdst = -1;
  time_t next = std::mktime(&local);
  return static_cast<double>(next) - wall;
}

constexpr uint64_t kPauseMods = flags::control | flags::option | flags::command;
}  // namespace

// --------------------------------------------------------- simulation

void KeyboardEngine::beginTypingSimulation() {
  {
    std::lock_guard lock(typingSimulation.lock);
    if (typingSimulation.simulationCount == std::numeric_limits<int>::max()) {
      std::fprintf(stderr, "Tessavinor: typing simulation counter overflow\n");
      std::abort();
    }
    typingSimulation.simulationCount += 1;
    if (typingSimulation.simulationCount == 1) typingSimulation.lastSimulationStartTime = uptime();
  }
  // Held before the first key of ours is posted: the user's keys from here
  // on wait behind ours.
  syncKeyboardHold();
}

void KeyboardEngine::endTypingSimulation() {
  int old;
  {
    std::lock_guard lock(typingSimulation.lock);
    old = typingSimulation.simulationCount;
    typingSimulation.simulationCount = std::max(old - 1, 0);
    if (typingSimulation.simulationCount == 0) {
      typingSimulation.lastSimulationStartTime.reset();
      typingSimulation.awaitedUntil.reset();
    }
  }
  if (old == 1) asyncOnMainWeak([](KeyboardEngine& e) { e.replayBufferedKeystrokes(); });
  syncKeyboardHold();
}

void KeyboardEngine::extendTypingSimulation(double seconds) {
  std::lock_guard lock(typingSimulation.lock);
  if (typingSimulation.simulationCount == 0) return;
  const double until = uptime() + seconds;
  if (!typingSimulation.awaitedUntil || *typingSimulation.awaitedUntil < until) typingSimulation.awaitedUntil = until;
}

bool KeyboardEngine::isSimulatingTyping() {
  std::lock_guard lock(typingSimulation.lock);
  return typingSimulation.simulationCount > 0;
}

void KeyboardEngine::replayBufferedKeystrokes() {
  std::vector<Event> buffered;
  {
    std::lock_guard lock(typingSimulation.lock);
    buffered = heldKeys.takeSimulationHeld();
  }
  if (!buffered.empty())
    appLog().info(fmt::format("Releasing {} user keystrokes buffered during simulation", buffered.size()),
                  LogCategory::keyboard);
  // Also resumes a replay that waited for the simulation to end.
  replayKeystrokes(std::move(buffered), 0);
}

void KeyboardEngine::replayKeystrokes(std::vector<Event> events, size_t from) {
  auto& ts = typingSimulation;
  // Keys buffered during a simulation were typed before anything still
  // waiting in the chain's tail, so they go first.
  heldKeys.putAheadOfReplay(std::move(events), from);
  // A replay begun for a key that then went no further (a chord's release,
  // swallowed as its press was) has nothing to post: it ends here, or it
  // would hold the keyboard, and queue every key behind it, for good.
  if (!heldKeys.hasReplayPending() && !ts.isReplaying) return;
  ts.isReplaying = true;
  if (!ts.isReplayStepScheduled) replayNextKeystroke();
}

void KeyboardEngine::replayNextKeystroke() {
  auto& ts = typingSimulation;
  ts.isReplayStepScheduled = false;
  // A simulation that began meanwhile pauses the chain; its end resumes it.
  if (isSimulatingTyping()) return;
  // So does a switch still under way (the layout an edit left, not yet
  // confirmed): our keys coming back would be held by it and go out again
  // from its own queue, among those the chain posts meanwhile.
  auto& fc = *flow.flowController;
  if (heldKeys.hasReplayPending() && (!fc.state().isIdle() || fc.hasQueuedEvents())) {
    ts.isReplayStepScheduled = true;
    fc.whenIdle([weak = weak_from_this()] {
      if (auto e = weak.lock()) e->replayNextKeystroke();
    });
    return;
  }
  if (!heldKeys.hasReplayPending()) {
    if (ts.isReplaying) {
      ts.isReplaying = false;
      postModifierResync();
    }
    syncKeyboardHold();
    return;
  }
  Event event = heldKeys.takeNextReplay();
  event.timestamp = uptime();
  // Typed for after what held it (the engine's own typing, or its keys
  // still on their way), a key types in the layout current as it goes out,
  // the one a conversion left, as the keys held for a switch do.
  retargetKeyEvent(event);
  // A hot-key chord pressed while keys were on their way joined them, and
  // is ours in its turn: posted, it would go around the grab (X11) and
  // reach the application as a shortcut of its own (Control+Shift+Z is its
  // redo). Its release stays ours too.
  const auto hotKey = hotKeyOf(event);
  const bool chordRelease =
      !hotKey && event.type == EventType::keyUp && switcher.swallowedChordKeyDowns.erase(event.keyCode) > 0;
  if (hotKey) {
    switcher.swallowedChordKeyDowns.insert(event.keyCode);
    startHotKey(*hotKey);
  } else if (!chordRelease && platform().hasBundleIdentifier && platform().events) {
    std::vector<Event> burst{event};
    // A key the user has let go of already goes as a tap, its release with
    // its press: left down for the replay's spacing, it would take the
    // user's own next press of that key, typed meanwhile, as no press at all.
    if (event.type == EventType::keyDown && heldKeys.nextReplayReleases(event.keyCode)) {
      burst.push_back(heldKeys.takeNextReplay());
      burst.back().timestamp = event.timestamp;
      retargetKeyEvent(burst.back());
    }
    for (const auto& e : burst) heldKeys.markPosted({e.type, e.keyCode, e.flags, e.timestamp});
    platform().events->postAll(TapLocation::hid, burst);
  }
  if (!heldKeys.hasReplayPending()) {
    ts.isReplaying = false;
    postModifierResync();
    syncKeyboardHold();
    return;
  }
  ts.isReplayStepScheduled = true;
  afterOnMainWeak(0.003, [](KeyboardEngine& e) { e.replayNextKeystroke(); });
}

// ------------------------------------------------------------- pause

void KeyboardEngine::pause(double hours, bool untilTomorrow) {
  if (!untilTomorrow && !(std::isfinite(hours) && hours > 0)) {
    log("Engine pause() refused: " + hoursText(hours) + " is not a number of hours");
    return;
  }
  log("Engine pause() requested for " + (untilTomorrow ? std::string("until tomorrow") : hoursText(hours) + " hours"));
  recordStabilityEvent("pause", {{"phase", "on"}}, false);
  isPaused.set(true);
  switcher.pauseTimer.cancel();
  switcher.pauseTimer = TaskHandle();

  TapId keyboard, mouse;
  {
    std::lock_guard lock(tap.safetyLock);
    keyboard = tap.eventTap;
    mouse = tap.mouseTap;
  }
  if (auto* events = platform().events) {
    if (keyboard) events->enableTap(keyboard, false);
    if (mouse) events->enableTap(mouse, false);
  }

  if (!pauseState.hasPauseHotkeyMonitor && platform().events) {
    std::weak_ptr<KeyboardEngine> weak = weak_from_this();
    pauseState.pauseHotkeyMonitor = platform().events->addGlobalKeyDownMonitor([weak](const Event& event) {
      if ((event.flags & kPauseMods) != kPauseMods || event.keyCode != keycode::p) return;
      if (auto e = weak.lock()) e->asyncOnMainWeak([](KeyboardEngine& e) { e.resume(); });
    });
    pauseState.hasPauseHotkeyMonitor = true;
  }

  std::string suffix;
  if (untilTomorrow) {
    double interval = std::max(secondsToNextMidnight(clock().wallTime()), 60.0);
    switcher.pauseTimer = afterOnMainWeak(interval, [](KeyboardEngine& e) {
      e.log("pauseTimer fired at midnight - resuming engine");
      e.resume();
    });
    suffix = engine_texts::kPausedUntilTomorrowSuffix;
  } else {
    switcher.pauseTimer = afterOnMainWeak(hours * 3600.0, [hours](KeyboardEngine& e) {
      e.log("pauseTimer fired after " + hoursText(hours) + " hours — resuming engine");
      e.resume();
    });
    if (hours == 1.0) suffix = engine_texts::kPausedOneHourSuffix;
  }

  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  auto state = DisplayState::actionable(engine_texts::kPausedTitle + suffix, engine_texts::kPausedHint,
                                        "pause.circle.fill", HudColor::gray, engine_texts::kResumeButton, [weak] {
                                          if (auto e = weak.lock()) e->resume();
                                        });
  if (auto* panel = hudPanelFor(*this)) panel->show(std::move(state), 3, false, true);
}

void KeyboardEngine::resume() {
  bool wasPaused = isPaused.get();
  log(std::string("Engine resume() called (isPaused was ") + (wasPaused ? "true" : "false") + ")");
  if (wasPaused) recordStabilityEvent("pause", {{"phase", "off"}}, false);
  isPaused.set(false);
  switcher.pauseTimer.cancel();
  switcher.pauseTimer = TaskHandle();
  if (!recovery.isEmergencyTornDown) {
    destroyEventTap();
    createEventTap();
  }
  if (pauseState.hasPauseHotkeyMonitor) {
    pauseState.pauseHotkeyMonitor.reset();
    pauseState.hasPauseHotkeyMonitor = false;
  }
  auto state = DisplayState::status(localized("hud_tap_recovered"), "", "play.circle.fill", HudColor::green);
  if (auto* panel = hudPanelFor(*this)) panel->show(std::move(state), 3, false, true);
}

void KeyboardEngine::togglePause() {
  if (isPaused.get())
    resume();
  else
    pause(1.0, false);
}

// ------------------------------------------------ small notices and setters

void KeyboardEngine::showUnsupportedAppNotice() {
  double now = uptime();
  if (switcher.lastHealthAlertTime && now - *switcher.lastHealthAlertTime < 30.0) return;
  switcher.lastHealthAlertTime = now;
  std::string name = engine_texts::kThisApp;
  if (platform().workspace) {
    if (auto app = platform().workspace->frontmostApplication(); app && !app->name.empty()) name = app->name;
  }
  std::string message = name + engine_texts::kUnsupportedAppSuffix;
  asyncOnMainWeak([message](KeyboardEngine& e) {
    auto state = DisplayState::status(message, engine_texts::kUnsupportedAppHint, "exclamationmark.triangle",
                                      HudColor::orange);
    if (auto* panel = hudPanelFor(e)) panel->show(std::move(state), 3, true, false);
    e.playHaptic();
  });
}

void KeyboardEngine::presentRevertedNotice(const std::string& message, const std::string& subMessage) {
  if (auto* panel = hudPanelFor(*this)) panel->show(DisplayState::confirmedReverted(message, subMessage, ""), 2, false, false);
}

void KeyboardEngine::setAXAvailableInFocusedApp(bool available) {
  bool old = isAXAvailableInFocusedApp.get();
  isAXAvailableInFocusedApp.set(available);
  if (old != available) notifications().post(notification::axAvailabilityChanged, {}, {{"isAvailable", available}});
}

}  // namespace tessa
