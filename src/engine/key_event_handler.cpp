// The decision for every event the taps deliver: pass it on, or swallow it.
// The handler is a list of stages run in a fixed order; the first that
// decides ends it, and an event no stage decides on passes.
// Everything slow (notices, conversions, published writes) is left to the main
// queue so that the callback returns at once; held keys are always copies.
#include <algorithm>
#include <deque>

#include <fmt/format.h>

#include "typing/typing_flow_controller.h"
#include "engine/decided_keys.h"
#include "engine/keyboard_engine.h"
#include "engine/language_switcher.h"
#include "engine/hud_notices.h"
#include "engine/engine_texts.h"

namespace tessa {

namespace {
// [design] the platform's virtual key codes.
constexpr uint16_t kDelete = 51, kSpace = 49, kGrave = 50, kCapsLock = 57, kF19 = 80;

// [design] the handler's timings.
constexpr double kStuckSimulationSeconds = 2.0;  // a simulation older than this never ended
constexpr double kCapsLockResyncDelay = 0.05;    // after an F19 release
constexpr double kFreshWordAfterSeconds = 60.0;  // without typing, the next letter starts afresh

// Under typingSimulation.lock: a simulation whose end will never come. One an
// edit of ours is still waiting on (for a busy application to take its keys)
// is alive, however long it has run; past the edit's own limit, the usual
// rule holds again.
bool simulationLeaked(const TypingSimulationState& ts, double now) {
  if (ts.simulationCount == 0 || !ts.lastSimulationStartTime) return false;
  if (ts.awaitedUntil && now <= *ts.awaitedUntil) return false;
  return now - *ts.lastSimulationStartTime > kStuckSimulationSeconds;
}

// Under typingSimulation.lock: ends a leaked simulation; its count, for the log.
int forceEndSimulation(TypingSimulationState& ts) {
  int count = ts.simulationCount;
  ts.simulationCount = 0;
  ts.lastSimulationStartTime.reset();
  ts.awaitedUntil.reset();
  return count;
}

bool isSwitcherKeyCode(uint16_t code) { return code == kGrave || code == kCapsLock || code == kF19; }

bool isMouseDown(EventType t) {
  return t == EventType::leftMouseDown || t == EventType::rightMouseDown || t == EventType::otherMouseDown;
}

bool isKeyboardType(EventType t) {
  return t == EventType::keyDown || t == EventType::keyUp || t == EventType::flagsChanged;
}

// While the switcher key is down, a flush key or shortcut waits behind the
// letters held before it, and its key-up behind its key-down; false: it goes
// at once (nothing was held before it).
bool holdBehindPress(HeldKeys& held, const Event& event, EventType type) {
  if (type == EventType::keyDown && held.hasPressHeld()) {
    held.noteHeldDown(event.keyCode);
    held.holdDuringPress(event);
    return true;
  }
  if (type == EventType::keyUp && held.releaseHeldDown(event.keyCode)) {
    held.holdDuringPress(event);
    return true;
  }
  return false;
}

bool isTriggerChar(const std::string& s) {
  const auto& chars = KeyboardEngine::triggerChars();
  return std::find(chars.begin(), chars.end(), s) != chars.end();
}


// A press that the window system may have let in ahead of keys we posted:
// one with text, which the replay can post again as its text even while the
// user still holds its key.
bool mayOvertakeOwnKeys(const Event& e, EventType type) {
  return type == EventType::keyDown && !e.unicode.empty() &&
         !(e.flags & (flags::control | flags::command | flags::fn));
}

// A stage's two decisions.
KeyboardEngine::KeyDecision pass(const KeyboardEngine::KeyStep& k) { return {k.event}; }
KeyboardEngine::KeyDecision swallow() { return {std::nullopt}; }
}  // namespace

std::optional<Event> KeyboardEngine::handleInner(TapId sourceTap, EventType type, const Event& event) {
  using Stage = std::optional<KeyDecision> (KeyboardEngine::*)(const KeyStep&);
  // In this order; the first stage that decides ends the handler.
  static constexpr Stage kStages[] = {
      &KeyboardEngine::diagnosisSwitchStage,    // the whole path can be switched off for diagnosis
      &KeyboardEngine::heartbeatStage,          // the keyboard tap's own events prove it alive
      &KeyboardEngine::pauseHotKeyStage,        // works before everything else, tagged or paused
      &KeyboardEngine::tapDisabledStage,        // the system disabled the tap
      &KeyboardEngine::pausedStage,
      &KeyboardEngine::secureInputStage,        // stay out of passwords
      &KeyboardEngine::mouseDownStage,          // a click outside our panels ends the word
      &KeyboardEngine::ownEventStage,           // our own synthetic events, other programs' keys
      &KeyboardEngine::replayStage,             // the replay of keys typed during a simulation
      &KeyboardEngine::hotKeyChordStage,        // Control+Shift (or Fn+Shift) chords
      &KeyboardEngine::typingSimulationStage,   // keys typed while the engine types are held
      &KeyboardEngine::capsLockDisplayStage,    // the Caps Lock display follows the lock bit
      &KeyboardEngine::spaceSwitcherStage,      // Modifier+Space switchers
      &KeyboardEngine::pressTrackingStage,      // what the switcher keys read later
      &KeyboardEngine::switchHoldStage,         // keys typed while a switch is under way
      &KeyboardEngine::typingFlowStage,         // the typing-flow hand-off
      &KeyboardEngine::switcherKeyStage,        // F19 and grave
  };
  const KeyStep step{sourceTap, type, event, isSwitcherKeyCode(event.keyCode),
                     event.listenOnly && isKeyboardType(type) && !event.isTagged()};
  for (Stage stage : kStages)
    if (auto decision = (this->*stage)(step)) return std::move(decision->result);
  return event;
}

std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::diagnosisSwitchStage(const KeyStep& k) {
  if (defaults().boolForKey("debugDisableEventTap")) return pass(k);
  return std::nullopt;
}

std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::heartbeatStage(const KeyStep& k) {
  // Only the keyboard tap's own events prove that it is alive; a click seen
  // by the mouse tap says nothing about it.
  const bool fromMouseTap = tap.mouseTap != 0 && k.sourceTap == tap.mouseTap;
  if (!fromMouseTap && !isMouseDown(k.type)) {
    tap.lastEventTapHeartbeat = uptime();
    noteTapRecovered();
    if (isEventTapDead.get()) {
      isEventTapDead.set(false);
      asyncOnMainWeak([](KeyboardEngine& e) { e.showTapRecoveredNotice(); });
    }
  }
  return std::nullopt;
}

std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::pauseHotKeyStage(const KeyStep& k) {
  if (k.type == EventType::keyDown && decidedRole(k.event) == DecidedRole::pause) {
    asyncOnMainWeak([](KeyboardEngine& e) { e.togglePause(); });
    return swallow();
  }
  return std::nullopt;
}

std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::tapDisabledStage(const KeyStep& k) {
  if (static_cast<uint32_t>(k.type) < 0xFFFFFFFEu) return std::nullopt;
  handleTapDisabled(k.type);
  return swallow();
}

std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::pausedStage(const KeyStep& k) {
  if (isPaused.get()) return pass(k);
  return std::nullopt;
}

std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::secureInputStage(const KeyStep& k) {
  if ((platform().inputSources && platform().inputSources->isSecureEventInputEnabled()) ||
      focus.cachedFocusedFieldIsSecure) {
    clearBufferStateOnMain();
    return pass(k);
  }
  return std::nullopt;
}

std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::mouseDownStage(const KeyStep& k) {
  if (!isMouseDown(k.type)) return std::nullopt;
  auto [x, y] = platform().events ? platform().events->mouseLocation() : std::pair<double, double>{0, 0};
  if (!isPointInOwnPanels(x, y)) clearBufferStateOnMain();
  return pass(k);
}

std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::ownEventStage(const KeyStep& k) {
  if (k.event.isTagged()) {
    if (heldKeys.hasPostedOnTheWay()) heldKeys.takePostedMark(uptime(), k.event, k.type);
    return pass(k);
  }
  // A key heard only (one no grab of ours took, or a window manager's
  // shortcut) has reached its program whatever we answer: holding it for a
  // switch, or buffering it behind a replay, would only type it a second
  // time. The stages that only note keys (the Caps Lock display, the word
  // being typed) still see it; those that hold or swallow pass it.
  return std::nullopt;
}

// A key the replay posted comes back through the tap as a typed key; a key
// typed while it drains (a chord or a switcher key too) joins its tail, so
// that it lands after the keys typed before it and acts only then. So does a
// press that came while keys we posted (the replay's last, or held keys a
// switch let go of) are still on their way: on a real window system it can
// have reached the server ahead of them, and passed, it would reach the
// window first. Posted again, it goes behind them.
std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::replayStage(const KeyStep& k) {
  auto& ts = typingSimulation;
  if (k.heardOnly) {
    // A user's key we posted again comes back so when no grab took it.
    if (heldKeys.hasPostedOnTheWay()) heldKeys.takePostedMark(uptime(), k.event, k.type);
    if (k.type == EventType::keyUp) switcher.swallowedChordKeyDowns.erase(k.event.keyCode);
    return std::nullopt;
  }
  const bool isOwnReplay = heldKeys.hasPostedOnTheWay() && heldKeys.takePostedMark(uptime(), k.event, k.type);
  // The key-up of a chord swallowed as a hot key is swallowed as well,
  // wherever it comes: the application never saw its key-down, and held
  // behind an edit and replayed after it, the release would land on a key
  // the window system has long let go of. Nor does it start a replay.
  if (k.type == EventType::keyUp && switcher.swallowedChordKeyDowns.erase(k.event.keyCode) > 0) {
    heldKeys.releasePutBehind(k.event.keyCode);
    return swallow();
  }
  // Only a key the typing flow would pass at once: one it holds for a
  // switch keeps its place behind the keys it holds.
  const bool flowPassesAtOnce =
      flow.flowController->state().kind == TypingFlowState::Kind::idle && !flow.isSpeculating;
  if (!ts.isReplaying && !isOwnReplay && heldKeys.hasPostedOnTheWay() && !k.switcherCode && flowPassesAtOnce &&
      mayOvertakeOwnKeys(k.event, k.type)) {
    heldKeys.notePutBehind(k.type, k.event.keyCode);
    ts.isReplaying = true;
    asyncOnMainWeak([](KeyboardEngine& e) { e.replayKeystrokes({}, 0); });
  } else if (k.type == EventType::keyUp && !isOwnReplay && heldKeys.releasePutBehind(k.event.keyCode) &&
             !ts.isReplaying) {
    // Its press went out again as ours: so does its release, after it.
    ts.isReplaying = true;
    asyncOnMainWeak([](KeyboardEngine& e) { e.replayKeystrokes({}, 0); });
  }
  if (!ts.isReplaying || isOwnReplay || !isKeyboardType(k.type)) return std::nullopt;
  heldKeys.queueBehindReplay(k.event);
  // The replay waits while a simulation runs; one that never ended must not
  // hold it, and every key behind it, for good.
  std::optional<int> stuck;
  {
    std::lock_guard lock(typingSimulation.lock);
    if (simulationLeaked(ts, uptime())) stuck = forceEndSimulation(ts);
  }
  if (stuck) {
    appLog().error(fmt::format("simulationCount leak detected ({}). Force resetting.", *stuck), LogCategory::keyboard);
    asyncOnMainWeak([](KeyboardEngine& e) { e.replayBufferedKeystrokes(); });
  }
  return swallow();
}

namespace {
// Control+Shift (or Fn+Shift); further modifiers are allowed.
bool isHotKeyChord(uint64_t fl) {
  return ((fl & flags::control) && (fl & flags::shift)) || ((fl & flags::fn) && (fl & flags::shift));
}

bool isHotKey(DecidedRole role) { return role != DecidedRole::pause && role != DecidedRole::switcher; }
}  // namespace

std::optional<DecidedRole> KeyboardEngine::decidedRole(const Event& event) const {
  return decidedRoleOf(switcherKey.get(), event.keyCode, event.flags);
}

std::optional<DecidedRole> KeyboardEngine::hotKeyOf(const Event& event) const {
  if (event.type != EventType::keyDown) return std::nullopt;
  auto role = decidedRole(event);
  if (!role || !isHotKey(*role)) return std::nullopt;
  return role;
}

// On the main queue, never inside the callback. A hot key that edits the
// text holds every key typed from its press on until the edit is over (or
// turns out not to start): let through, they would reach the field between
// the edit's read and its Deletes, or land among its keys.
void KeyboardEngine::startHotKey(DecidedRole role) {
  using Action = void (*)(KeyboardEngine&);
  Action action = nullptr;
  switch (role) {
    case DecidedRole::addWord: action = [](KeyboardEngine& e) { e.confirmAddToVocabulary(); }; break;
    case DecidedRole::applyCorrection: action = [](KeyboardEngine& e) { e.correctWithInputSource(); }; break;
    case DecidedRole::undoRedo: action = [](KeyboardEngine& e) { e.handleUndoRedoToggle(); }; break;
    case DecidedRole::convert: action = [](KeyboardEngine& e) { e.handleConversionHotKey(); }; break;
    case DecidedRole::pause:
    case DecidedRole::switcher: return;
  }
  std::shared_ptr<void> hold;
  if (editsText(role)) {
    beginTypingSimulation();
    hold = std::shared_ptr<void>(nullptr, [weak = weak_from_this()](void*) {
      if (auto e = weak.lock()) e->endTypingSimulation();
    });
  }
  asyncOnMainWeak([action, hold = std::move(hold)](KeyboardEngine& e) mutable {
    e.conversion.setHotKeyHold(std::move(hold));
    action(e);
    // Unless the edit it waits for took it.
    e.conversion.setHotKeyHold(nullptr);
  });
}

std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::hotKeyChordStage(const KeyStep& k) {
  if (k.type != EventType::keyDown) return std::nullopt;
  const uint16_t keyCode = k.event.keyCode;
  // A press that is no hot key ends any mark a lost key-up left behind.
  switcher.swallowedChordKeyDowns.erase(keyCode);
  // A chord heard only went to the program that holds it.
  if (k.heardOnly && isHotKeyChord(k.event.flags)) return pass(k);
  const auto role = hotKeyOf(k.event);
  if (role != DecidedRole::addWord) flow.pendingWhitelistConfirmationWord.reset();
  if (!role) return std::nullopt;
  // Pressed while the engine types, it waits its turn with the other keys
  // held meanwhile, and acts when it is replayed.
  if (isSimulatingTyping()) return std::nullopt;
  switcher.swallowedChordKeyDowns.insert(keyCode);
  startHotKey(*role);
  return swallow();
}

// Keys typed while the engine types (a conversion, a retyped word) are held
// and replayed after it; switcher keys still work.
std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::typingSimulationStage(const KeyStep& k) {
  if (k.switcherCode || k.heardOnly) return std::nullopt;
  auto& ts = typingSimulation;
  std::optional<int> leaked;
  {
    std::lock_guard lock(typingSimulation.lock);
    if (ts.simulationCount == 0) {
      // The keys held through the simulation that just ended wait for their
      // replay, which begins on the next turn: a key typed meanwhile goes
      // behind them, not ahead.
      if (heldKeys.simulationHeldCount() == 0 || !isKeyboardType(k.type)) return std::nullopt;
      heldKeys.holdDuringSimulation(k.event);
      return swallow();
    }
    if (!simulationLeaked(ts, uptime())) {
      if (!isKeyboardType(k.type)) return pass(k);
      heldKeys.holdDuringSimulation(k.event);
      return swallow();
    }
    leaked = forceEndSimulation(ts);
    // The current key goes behind the ones held before it.
    if (isKeyboardType(k.type)) heldKeys.holdDuringSimulation(k.event);
  }
  appLog().error(fmt::format("simulationCount leak detected ({}). Force resetting.", *leaked), LogCategory::keyboard);
  const bool buffered = isKeyboardType(k.type);
  asyncOnMainWeak([](KeyboardEngine& e) { e.replayBufferedKeystrokes(); });
  if (buffered) return swallow();
  return std::nullopt;
}

// Keeps the Caps Lock display in step with the events' lock bit, and reads
// the hardware's lock again after an F19 release.
std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::capsLockDisplayStage(const KeyStep& k) {
  const bool capsFlag = (k.event.flags & flags::capsLock) != 0;
  if (isKeyboardType(k.type) && capsFlag != isCapsLockOn.get())
    asyncOnMainWeak([capsFlag](KeyboardEngine& e) { e.isCapsLockOn.set(capsFlag); });
  if (k.event.keyCode == kF19 && k.type == EventType::keyUp)
    afterOnMainWeak(kCapsLockResyncDelay, [](KeyboardEngine& e) { e.syncCapsLockStateFromHardware(); });
  return std::nullopt;
}

std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::spaceSwitcherStage(const KeyStep& k) {
  const SwitcherKey sk = switcherKey.get();
  if (k.heardOnly || k.event.keyCode != kSpace ||
      !(sk == SwitcherKey::optionSpace || sk == SwitcherKey::controlSpace || sk == SwitcherKey::commandSpace))
    return std::nullopt;
  if (k.type == EventType::keyUp) {
    // Exactly the key-up of a swallowed switcher press is swallowed, so the
    // application never sees half a key.
    if (switcher.swallowedSwitcherKeyDowns.erase(kSpace) > 0) return swallow();
    return std::nullopt;
  }
  if (k.type != EventType::keyDown || decidedRole(k.event) != DecidedRole::switcher) return std::nullopt;
  switcher.swallowedSwitcherKeyDowns.insert(kSpace);
  spaceSwitch();
  return swallow();
}

std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::pressTrackingStage(const KeyStep& k) {
  if (switcher.lastPressTime && !k.switcherCode) switcher.wasKeyPressedWhileCapsLockDown = true;
  if (k.type == EventType::keyDown || k.type == EventType::flagsChanged) switcher.lastPressedKeyCode = k.event.keyCode;
  return std::nullopt;
}

// Keys typed while a switch is under way are held for the new layout.
std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::switchHoldStage(const KeyStep& k) {
  TypingFlowController& fc = *flow.flowController;
  const bool flowIdle = fc.state().kind == TypingFlowState::Kind::idle;
  if ((flowIdle && !flow.isSpeculating) || !k.event.isKey() || k.switcherCode) return std::nullopt;
  if (k.heardOnly) return pass(k);
  const uint16_t keyCode = k.event.keyCode;
  const bool shortcut = (k.event.flags & (flags::control | flags::command)) != 0;
  const bool flushKey = queueFlushKeyCodes().count(keyCode) > 0;
  if (shortcut || flushKey) {
    if (flow.isSpeculating) return holdBehindPress(heldKeys, k.event, k.type) ? swallow() : pass(k);
    if (fc.hasQueuedEvents()) {
      fc.enqueue(k.event);
      fc.releaseQueuedEvents();
      return swallow();
    }
    return pass(k);
  }
  if (k.type == EventType::keyUp && !heldKeys.isHeldDown(keyCode)) return pass(k);
  if (k.type == EventType::keyDown)
    heldKeys.noteHeldDown(keyCode);
  else
    heldKeys.releaseHeldDown(keyCode);
  if (flow.isSpeculating) {
    heldKeys.holdDuringPress(k.event);
    return swallow();
  }
  fc.enqueue(k.event);
  return swallow();
}

std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::typingFlowStage(const KeyStep& k) {
  TypingFlowController& fc = *flow.flowController;
  const bool flowIdle = fc.state().kind == TypingFlowState::Kind::idle;
  if (!flowIdle || flow.isSpeculating || k.switcherCode) return std::nullopt;
  const double now = uptime();
  if (k.type == EventType::keyDown && k.event.keyCode != kDelete &&
      (k.event.unicode.empty() || !isTriggerChar(k.event.unicode))) {
    if (focus.lastPhysicalKeyEventTime && now - *focus.lastPhysicalKeyEventTime > kFreshWordAfterSeconds) {
      fc.clear(true, "handleInner(proxy:type:event:)", __LINE__);
      setIsUndoPossible(false);
    }
  }
  focus.lastPhysicalKeyEventTime = now;
  if (k.type == EventType::keyDown) {
    conversion.endCycle();
    if (platform().accessibility) platform().accessibility->lookForFocusedField();
  }
  return KeyDecision{fc.processEvent(k.event, k.type)};
}

// F19 (Caps Lock taken as the switcher) and grave.
std::optional<KeyboardEngine::KeyDecision> KeyboardEngine::switcherKeyStage(const KeyStep& k) {
  if (k.heardOnly) return pass(k);
  const EventType type = k.type;
  if (k.event.keyCode == kF19) {
    if (decidedRole(k.event) != DecidedRole::switcher) return pass(k);
    if (type == EventType::keyDown && k.event.autorepeat) return swallow();
    if (type != EventType::keyDown && type != EventType::keyUp) return pass(k);
    const bool down = type == EventType::keyDown;
    std::string line = "[" + DiagnosticLog::timeOfDay(clock().wallTime()) + "] F19 (80) " + (down ? "DOWN" : "UP");
    appLog().info(line, LogCategory::keyboard);
    asyncOnMainWeak([line](KeyboardEngine& e) { e.lastEventLog.set(line); });
    if (down) {
      if (switcher.isTogglingF19 && !endConfirmationIfLanded()) {
        log("F19 debounce: ignoring keyDown while a previous language switch is still confirming (key chatter).");
        switcher.isDebouncingF19 = true;
        return swallow();
      }
      f19PressStart(k.event);
      return swallow();
    }
    if (switcher.isDebouncingF19) {
      switcher.isDebouncingF19 = false;
      return swallow();
    }
    f19Release();
    return swallow();
  }
  if (k.event.keyCode == kGrave) {
    if (type == EventType::keyUp && switcher.swallowedSwitcherKeyDowns.erase(kGrave) > 0) return swallow();
    if (type != EventType::keyDown || decidedRole(k.event) != DecidedRole::switcher) return pass(k);
    switcher.swallowedSwitcherKeyDowns.insert(kGrave);
    graveSwitch();
    return swallow();
  }
  return std::nullopt;
}

// ------------------------------------------------------------- F19 press

void KeyboardEngine::f19PressStart(const Event& event) {
  switcher.isDebouncingF19 = false;
  bool capsAtStart = capsLockState();
  double threshold = holdThreshold();
  log(fmt::format("F19 DOWN: capsAtStart={}, holdThreshold={}ms | pid={} userData={}", capsAtStart ? "true" : "false",
                  static_cast<int64_t>(threshold * 1000.0), event.sourcePID, event.sourceUserData));
  if (flow.isSpeculating) {
    // The previous press never saw its key-up. Its held keys go out as a
    // long press would send them rather than being thrown away.
    flow.speculativeWorkItem.cancel();
    log("F19 DOWN while a previous press was still held - replaying its keys unchanged");
    releaseSpeculativeQueue();
  }
  flow.isSpeculating = true;
  heldKeys.dropPressHeld();
  heldKeys.forgetHeldDowns();
  flow.queueFocusToken = focusedElement();
  switcher.lastPressTime = uptime();
  flow.speculativeWorkItem.cancel();
  flow.speculativeWorkItem =
      afterOnMainWeak(threshold, [capsAtStart](KeyboardEngine& e) { e.handleF19LongPress(capsAtStart); });
}

void KeyboardEngine::f19Release() {
  flow.speculativeWorkItem.cancel();
  flow.speculativeWorkItem = TaskHandle();
  double now = uptime();
  double duration = switcher.lastPressTime ? now - *switcher.lastPressTime : 0.0;
  switcher.lastPressTime.reset();
  auto ms = static_cast<int64_t>(duration * 1000.0);
  if (!flow.isSpeculating) {
    log(fmt::format("F19 UP after {}ms: the hold timer had already fired - no language switch from this press", ms));
    // The long press replayed what it held; anything left goes out too.
    if (heldKeys.hasPressHeld()) releaseSpeculativeQueue();
    heldKeys.dropPressHeld();
    return;
  }
  flow.isSpeculating = false;
  std::string target = targetInputSourceID();
  std::string message;
  if (!capsLockState()) {
    beginSpeculativeHold();
    switchLayoutViaHotKey();
    message = fmt::format("Switched Language (short press: {:.2f}s)", duration);
  } else {
    setCapsLockState(false);
    beginSpeculativeHold();
    switchLayoutViaHotKey();
    message = fmt::format("Toggled Caps Lock OFF & Switched Language (short press: {:.2f}s)", duration);
  }
  std::vector<Event> held = heldKeys.takePressHeld();
  // The layout is one question to the window system for all of them.
  if (auto source = currentInputSourceID())
    for (auto& e : held)
      if (e.type == EventType::keyDown) retargetKeyEvent(e, *source);
  size_t count = held.size();
  flow.flowController->enqueueAll(std::move(held));
  std::string line = fmt::format("F19 SHORT PRESS {}ms: {} [stamped {} events → {}]", ms, message, count, target);
  appLog().info(line, LogCategory::keyboard);
  asyncOnMainWeak([line](KeyboardEngine& e) { e.appendToLastEventLog(line); });
}

void KeyboardEngine::handleF19LongPress(bool capsAtStart) {
  if (!flow.isSpeculating) return;
  flow.isSpeculating = false;
  setCapsLockState(!capsAtStart);
  std::string line = fmt::format("F19 LONG PRESS (held past {}ms): {} - NO language switch",
                                 static_cast<int64_t>(holdThreshold() * 1000.0),
                                 capsAtStart ? "Toggled Caps Lock OFF (long press hold)"
                                             : "Toggled Caps Lock ON (long press hold)");
  log(line);
  releaseSpeculativeQueue();
  appLog().info(line, LogCategory::keyboard);
  asyncOnMainWeak([line](KeyboardEngine& e) { e.appendToLastEventLog(line); });
}

// --------------------------------------------------- grave and Space

void KeyboardEngine::spaceSwitch() {
  double now = uptime();
  if (switcher.lastCapsLockTransitionTime && now - *switcher.lastCapsLockTransitionTime < 0.25) return;
  switcher.lastCapsLockTransitionTime = now;
  flow.transitionSequence += 1;
  log(fmt::format("Space Switch ({}): Transition triggered (Seq: {}).", displayName(switcherKey.get()),
                  flow.transitionSequence));
  beginSpeculativeHold();
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  languageSwitcher().toggleOnMain([weak](bool isEnglish) {
    if (auto e = weak.lock()) e->awaitLanguageSwitch(isEnglish);
  });
}

void KeyboardEngine::graveSwitch() {
  double now = uptime();
  if (switcher.lastCapsLockTransitionTime && now - *switcher.lastCapsLockTransitionTime < 0.25) {
    log("Grave Switch: Debounced duplicate event within 250ms.");
    return;
  }
  switcher.lastCapsLockTransitionTime = now;
  flow.transitionSequence += 1;
  bool wasEnglish = languageSwitcher().isCurrentSourceEnglish();
  log(fmt::format("Grave Switch: Transition triggered (Seq: {}). Initial lang is English: {}.",
                  flow.transitionSequence, wasEnglish ? "true" : "false"));
  beginSpeculativeHold();
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  languageSwitcher().toggleOnMain([weak](bool isEnglish) {
    if (auto e = weak.lock()) e->awaitLanguageSwitch(isEnglish);
  });
}

// ------------------------------------------------- main-queue actions

void KeyboardEngine::handleConversionHotKey() {
  if (!isSmartCorrectionEnabled.get()) {
    isSmartCorrectionEnabled.set(true);
    showStatusHUD(*this, engine_texts::kConversionTurnedOn, engine_texts::kConversionTurnedOnDetail, "wand.and.stars", HudColor::white);
  }
  cycleCurrentWordLanguage();
}

void KeyboardEngine::showTapRecoveredNotice() {
  auto state = DisplayState::status(localized("hud_tap_recovered"), localized("hud_tap_stale_recovered"),
                                    "checkmark.circle.fill", HudColor::green);
  if (auto* panel = hudPanelFor(*this)) panel->show(std::move(state), 3, true, false);
}

}  // namespace tessa
