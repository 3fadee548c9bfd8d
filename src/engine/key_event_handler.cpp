// The decision for every event the taps deliver: pass it on, or swallow it.
// The tests run in a fixed order and the first that decides ends the handler.
// Everything slow (notices, conversions, published writes) is left to the main
// queue so that the callback returns at once; held keys are always copies.
#include <algorithm>

#include <fmt/format.h>

#include "correction/typing_flow_controller.h"
#include "engine/keyboard_engine.h"
#include "engine/language_switcher.h"
#include "engine/hud_notices.h"

namespace tessa {

namespace {
constexpr uint16_t kP = 35, kA = 0, kO = 31, kZ = 6, kX = 7, kDelete = 51, kSpace = 49, kGrave = 50,
                   kCapsLock = 57, kF19 = 80;

bool isSwitcherKeyCode(uint16_t code) { return code == kGrave || code == kCapsLock || code == kF19; }

bool isMouseDown(EventType t) {
  return t == EventType::leftMouseDown || t == EventType::rightMouseDown || t == EventType::otherMouseDown;
}

bool isKeyboardType(EventType t) {
  return t == EventType::keyDown || t == EventType::keyUp || t == EventType::flagsChanged;
}

bool isTriggerChar(const std::string& s) {
  const auto& chars = KeyboardEngine::triggerChars();
  return std::find(chars.begin(), chars.end(), s) != chars.end();
}

// A replayed key is known by what it is, in posting order: a real event
// system does not hand our time stamp back, and keys come back through the
// tap in the order they were posted.
bool sameReplay(const KeyboardEngine::TypingSimulationState::ReplayMark& m, const Event& e, EventType type) {
  return m.type == type && m.keyCode == e.keyCode && m.flags == e.flags;
}
}  // namespace

std::optional<Event> KeyboardEngine::handleInner(TapId sourceTap, EventType type, const Event& event) {
  // 1. The whole path can be switched off for diagnosis.
  if (defaults().boolForKey("debugDisableEventTap")) return event;

  const bool mouseDown = isMouseDown(type);
  const bool fromMouseTap = tap.mouseTap != 0 && sourceTap == tap.mouseTap;

  // 2. Heartbeat. Only the keyboard tap's own events prove that it is alive;
  // a click seen by the mouse tap says nothing about it.
  if (!fromMouseTap && !mouseDown) {
    tap.lastEventTapHeartbeat = uptime();
    noteTapRecovered();
    if (isEventTapDead.get()) {
      isEventTapDead.set(false);
      asyncOnMainWeak([](KeyboardEngine& e) { e.showTapRecoveredNotice(); });
    }
  }

  const uint16_t keyCode = event.keyCode;
  const uint64_t fl = event.flags;

  // 3. The pause hot key works before everything else, tagged or paused.
  constexpr uint64_t kPauseMods = flags::control | flags::option | flags::command;
  if (type == EventType::keyDown && (fl & kPauseMods) == kPauseMods && keyCode == kP) {
    asyncOnMainWeak([](KeyboardEngine& e) { e.togglePause(); });
    return std::nullopt;
  }

  // 4. The system disabled the tap.
  if (static_cast<uint32_t>(type) >= 0xFFFFFFFEu) {
    handleTapDisabled(type);
    return std::nullopt;
  }

  // 5.
  if (isPaused.get()) return event;

  // 6. Stay out of passwords.
  if ((platform().inputSources && platform().inputSources->isSecureEventInputEnabled()) ||
      focus.cachedFocusedFieldIsSecure) {
    clearBufferStateOnMain();
    return event;
  }

  // 7. A click outside our own panels ends the word being typed.
  if (mouseDown) {
    auto [x, y] = platform().events ? platform().events->mouseLocation() : std::pair<double, double>{0, 0};
    if (!isPointInOwnPanels(x, y)) clearBufferStateOnMain();
    return event;
  }

  // 8. Our own synthetic events.
  if (event.isTagged()) return event;

  // A key another program took (a window manager's shortcut) reaches it
  // whatever we answer: holding it for a switch, or buffering it behind a
  // replay, would only type it a second time.
  if (event.listenOnly && isKeyboardType(type)) return event;

  // The replay of keys typed during a simulation. A key it posted comes
  // back through the tap as a typed key; a key typed while it drains
  // (a chord or a switcher key too) joins its tail, so that it lands after
  // the keys typed before it and acts only then.
  {
    auto& ts = typingSimulation;
    bool isOwnReplay = false;
    if (!ts.replayInFlight.empty()) {
      double now = uptime();
      while (!ts.replayInFlight.empty() && now - ts.replayInFlight.front().postedAt > 1.0)
        ts.replayInFlight.pop_front();
      auto it = std::find_if(ts.replayInFlight.begin(), ts.replayInFlight.end(),
                             [&](const auto& m) { return sameReplay(m, event, type); });
      if (it != ts.replayInFlight.end()) {
        ts.replayInFlight.erase(ts.replayInFlight.begin(), it + 1);
        isOwnReplay = true;
      }
    }
    // The key-up of a chord swallowed as a hot key is swallowed as well,
    // wherever it comes: the application never saw its key-down, and held
    // behind an edit and replayed after it, the release would land on a key
    // the window system has long let go of.
    if (type == EventType::keyUp && switcher.swallowedChordKeyDowns.erase(keyCode) > 0) return std::nullopt;
    if (ts.isReplaying && !isOwnReplay && isKeyboardType(type)) {
      ts.replayPending.push_back(event);
      // The replay waits while a simulation runs; one that never ended must
      // not hold it, and every key behind it, for good.
      std::optional<int> stuck;
      {
        std::lock_guard lock(typingSimulationLock);
        if (ts.simulationCount > 0 && ts.lastSimulationStartTime && uptime() - *ts.lastSimulationStartTime > 2.0) {
          stuck = ts.simulationCount;
          ts.simulationCount = 0;
          ts.lastSimulationStartTime.reset();
        }
      }
      if (stuck) {
        appLog().error(fmt::format("simulationCount leak detected ({}). Force resetting.", *stuck),
                       LogCategory::keyboard);
        asyncOnMainWeak([](KeyboardEngine& e) { e.replayBufferedKeystrokes(); });
      }
      return std::nullopt;
    }
  }

  // 9. Control+Shift (or Fn+Shift) chords; further modifiers are allowed.
  const bool chord = ((fl & flags::control) && (fl & flags::shift)) || ((fl & flags::fn) && (fl & flags::shift));
  if (type == EventType::keyDown) {
    // A press that is no hot key ends any mark a lost key-up left behind.
    switcher.swallowedChordKeyDowns.erase(keyCode);
    if (keyCode == kA && chord) {
      switcher.swallowedChordKeyDowns.insert(kA);
      asyncOnMainWeak([](KeyboardEngine& e) { e.confirmAddToVocabulary(); });
      return std::nullopt;
    }
    flow.pendingWhitelistConfirmationWord.reset();
    if (chord) {
      if (keyCode == kO) {
        switcher.swallowedChordKeyDowns.insert(kO);
        asyncOnMainWeak([](KeyboardEngine& e) { e.correctWithInputSource(); });
        return std::nullopt;
      }
      if (keyCode == kZ) {
        switcher.swallowedChordKeyDowns.insert(kZ);
        asyncOnMainWeak([](KeyboardEngine& e) { e.handleUndoRedoToggle(); });
        return std::nullopt;
      }
      if (keyCode == kX) {
        switcher.swallowedChordKeyDowns.insert(kX);
        asyncOnMainWeak([](KeyboardEngine& e) { e.handleConversionHotKey(); });
        return std::nullopt;
      }
    }
  }

  const bool switcherCode = isSwitcherKeyCode(keyCode);

  // 10. Typing simulation, and the replay of what was typed during one.
  bool simulating = false;
  if (!switcherCode) {
    auto& ts = typingSimulation;
    std::optional<double> start;
    int count = 0;
    {
      std::lock_guard lock(typingSimulationLock);
      count = ts.simulationCount;
      start = ts.lastSimulationStartTime;
    }
    if (count > 0) {
      if (start && uptime() - *start > 2.0) {
        appLog().error(fmt::format("simulationCount leak detected ({}). Force resetting.", count),
                       LogCategory::keyboard);
        bool buffered = false;
        {
          std::lock_guard lock(typingSimulationLock);
          ts.simulationCount = 0;
          ts.lastSimulationStartTime.reset();
          // The current key goes behind the ones held before it.
          if (isKeyboardType(type)) {
            ts.userKeystrokeBuffer.push_back(event);
            buffered = true;
          }
        }
        asyncOnMainWeak([](KeyboardEngine& e) { e.replayBufferedKeystrokes(); });
        if (buffered) return std::nullopt;
      } else {
        if (!isKeyboardType(type)) return event;
        std::lock_guard lock(typingSimulationLock);
        ts.userKeystrokeBuffer.push_back(event);
        return std::nullopt;
      }
    }
  } else {
    std::lock_guard lock(typingSimulationLock);
    simulating = typingSimulation.simulationCount > 0;
  }

  // 11. Keep the Caps Lock display in step with the events' lock bit.
  const bool capsFlag = (fl & flags::capsLock) != 0;
  if (isKeyboardType(type) && capsFlag != isCapsLockOn.get()) {
    asyncOnMainWeak([capsFlag](KeyboardEngine& e) { e.isCapsLockOn.set(capsFlag); });
  }

  // 12.
  if (keyCode == kF19 && type == EventType::keyUp) {
    afterOnMainWeak(0.05, [](KeyboardEngine& e) { e.syncCapsLockStateFromHardware(); });
  }

  const SwitcherKey sk = switcherKey.get();

  // 13. Modifier+Space switchers.
  if (keyCode == kSpace &&
      (sk == SwitcherKey::optionSpace || sk == SwitcherKey::controlSpace || sk == SwitcherKey::commandSpace)) {
    if (type == EventType::keyUp) {
      // Exactly the key-up of a swallowed switcher press is swallowed, so the
      // application never sees half a key.
      if (switcher.swallowedSwitcherKeyDowns.erase(kSpace) > 0) return std::nullopt;
    } else if (type == EventType::keyDown) {
      uint64_t mod = sk == SwitcherKey::optionSpace    ? flags::option
                     : sk == SwitcherKey::controlSpace ? flags::control
                                                       : flags::command;
      uint64_t others = (flags::option | flags::control | flags::command) & ~mod;
      if ((fl & mod) && !(fl & others)) {
        switcher.swallowedSwitcherKeyDowns.insert(kSpace);
        spaceSwitch();
        return std::nullopt;
      }
    }
  }

  // 14.
  if (switcher.lastPressTime && !switcherCode) switcher.wasKeyPressedWhileCapsLockDown = true;

  // 15.
  if (type == EventType::keyDown || type == EventType::flagsChanged) switcher.lastPressedKeyCode = keyCode;

  // 16. Hold keys typed while a switch is under way.
  TypingFlowController& fc = *flow.flowController;
  const bool flowIdle = fc.state().kind == TypingFlowState::Kind::idle;
  if ((!flowIdle || flow.isSpeculating) && event.isKey() && !switcherCode) {
    const bool shortcut = (fl & (flags::control | flags::command)) != 0;
    const bool flushKey = queueFlushKeyCodes().count(keyCode) > 0;
    if (shortcut || flushKey) {
      if (flow.isSpeculating) {
        // A flush key or shortcut waits behind the letters held before it;
        // with nothing held it goes at once.
        if (type == EventType::keyDown && !flow.speculativeQueue.empty()) {
          flow.queuedKeyDownCodes.insert(keyCode);
          flow.speculativeQueue.push_back(event);
          return std::nullopt;
        }
        if (type == EventType::keyUp && flow.queuedKeyDownCodes.erase(keyCode) > 0) {
          flow.speculativeQueue.push_back(event);
          return std::nullopt;
        }
        return event;
      }
      if (fc.hasQueuedEvents()) {
        fc.enqueue(event);
        fc.releaseQueuedEvents();
        return std::nullopt;
      }
      return event;
    }
    if (type == EventType::keyUp && flow.queuedKeyDownCodes.count(keyCode) == 0) return event;
    if (type == EventType::keyDown)
      flow.queuedKeyDownCodes.insert(keyCode);
    else
      flow.queuedKeyDownCodes.erase(keyCode);
    if (flow.isSpeculating) {
      flow.speculativeQueue.push_back(event);
      return std::nullopt;
    }
    fc.enqueue(event);
    return std::nullopt;
  }

  // 17. / 19. The typing-flow hand-off.
  if (!simulating && flowIdle && !flow.isSpeculating && !switcherCode) {
    double now = uptime();
    if (type == EventType::keyDown && keyCode != kDelete &&
        (event.unicode.empty() || !isTriggerChar(event.unicode))) {
      if (focus.lastPhysicalKeyEventTime && now - *focus.lastPhysicalKeyEventTime > 60.0) {
        fc.clear(true, "handleInner(proxy:type:event:)", __LINE__);
        setIsUndoPossible(false);
      }
    }
    focus.lastPhysicalKeyEventTime = now;
    if (type == EventType::keyDown) switcher.hotkeyCycleState.clear();
    return fc.processEvent(event, type);
  }

  // 18. Switcher keys.
  if (keyCode == kF19) {
    if (sk != SwitcherKey::capslock) return event;
    if (type == EventType::keyDown && event.autorepeat) return std::nullopt;
    if (type != EventType::keyDown && type != EventType::keyUp) return event;
    const bool down = type == EventType::keyDown;
    std::string line = "[" + DiagnosticLog::timeOfDay(clock().wallTime()) + "] F19 (80) " + (down ? "DOWN" : "UP");
    appLog().info(line, LogCategory::keyboard);
    asyncOnMainWeak([line](KeyboardEngine& e) { e.lastEventLog.set(line); });
    if (down) {
      if (switcher.isTogglingF19) {
        log("F19 debounce: ignoring keyDown while a previous language switch is still confirming (key chatter).");
        switcher.isDebouncingF19 = true;
        return std::nullopt;
      }
      f19PressStart(event);
      return std::nullopt;
    }
    if (switcher.isDebouncingF19) {
      switcher.isDebouncingF19 = false;
      return std::nullopt;
    }
    f19Release();
    return std::nullopt;
  }
  if (keyCode == kGrave) {
    if (type == EventType::keyUp && switcher.swallowedSwitcherKeyDowns.erase(kGrave) > 0) return std::nullopt;
    constexpr uint64_t kAnyModifier = flags::shift | flags::control | flags::option | flags::command;
    if (sk != SwitcherKey::grave || type != EventType::keyDown || (fl & kAnyModifier)) return event;
    switcher.swallowedSwitcherKeyDowns.insert(kGrave);
    graveSwitch();
    return std::nullopt;
  }
  return event;
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
  flow.speculativeQueue.clear();
  flow.queuedKeyDownCodes.clear();
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
    if (!flow.speculativeQueue.empty()) releaseSpeculativeQueue();
    flow.speculativeQueue.clear();
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
  std::vector<Event> held = std::move(flow.speculativeQueue);
  flow.speculativeQueue.clear();
  for (auto& e : held)
    if (e.type == EventType::keyDown) retargetKeyEvent(e);
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
    showStatusHUD(*this, "เปิดระบบแปลงคำแล้ว", "แปลงคำล่าสุดให้", "wand.and.stars", HudColor::white);
  }
  cycleCurrentWordLanguage();
}

void KeyboardEngine::showTapRecoveredNotice() {
  auto state = DisplayState::status(localized("hud_tap_recovered"), localized("hud_tap_stale_recovered"),
                                    "checkmark.circle.fill", HudColor::green);
  if (auto* panel = hudPanelFor(*this)) panel->show(std::move(state), 3, true, false);
}

}  // namespace tessa
