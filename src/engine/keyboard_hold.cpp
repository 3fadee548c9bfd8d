// What the event system must hold for the key handler. Where holding the
// keyboard costs the focused program (on X11 each grabbed key tells it that
// it lost the focus), only the keys a stage may swallow or change outside a
// hold are held always; every key is held while a stage holds keys, from
// the press that starts it (inside the callback, so that the key after it
// is held too) until the last key it let go of is back.
#include "engine/keyboard_engine.h"
#include "typing/typing_flow_controller.h"

namespace tessa {

namespace {
// [ours] How often a hold is looked at again while it lasts: its ends are
// many (a replay's last key back, a time-out, a drop), and each is caught
// here if no call at that end caught it first.
constexpr double kHoldRecheckSeconds = 0.05;
}  // namespace

// Each with the modifiers its stage asks for; the handler passes the same
// key pressed otherwise.
std::vector<DecidedKey> KeyboardEngine::decidedKeys() const {
  constexpr uint64_t kShift = flags::shift, kControl = flags::control, kOption = flags::option,
                     kCommand = flags::command;
  std::vector<DecidedKey> keys;
  // The pause chord works whatever else is on.
  keys.push_back({keycode::p, kControl | kOption | kCommand, 0});
  // Control+Shift with A, O, Z or X, further modifiers allowed.
  for (uint16_t key : {keycode::a, keycode::o, keycode::z, keycode::x}) keys.push_back({key, kControl | kShift, 0});
  switch (switcherKey.get()) {
    case SwitcherKey::capslock:
      keys.push_back({keycode::f19, 0, 0});
      keys.push_back({keycode::capsLock, 0, 0});
      break;
    case SwitcherKey::grave:
      keys.push_back({keycode::grave, 0, kShift | kControl | kOption | kCommand});
      break;
    case SwitcherKey::optionSpace:
      keys.push_back({keycode::space, kOption, kControl | kCommand});
      break;
    case SwitcherKey::controlSpace:
      keys.push_back({keycode::space, kControl, kOption | kCommand});
      break;
    case SwitcherKey::commandSpace:
      keys.push_back({keycode::space, kCommand, kOption | kControl});
      break;
    default:
      break;
  }
  return keys;
}

void KeyboardEngine::syncDecidedKeys() {
  if (auto* events = platform().events) events->setDecidedKeys(decidedKeys());
}

bool KeyboardEngine::holdsKeys() {
  const TypingFlowController& fc = *flow.flowController;
  heldKeys.dropExpiredMarks(uptime());
  return flow.isSpeculating || !fc.state().isIdle() || fc.hasQueuedEvents() || fc.isReleasing() ||
         isSimulatingTyping() || typingSimulation.isReplaying || heldKeys.hasReplayPending() ||
         heldKeys.hasPressHeld() || heldKeys.hasPostedOnTheWay();
}

void KeyboardEngine::syncKeyboardHold() {
  auto* events = platform().events;
  if (!events || !flow.flowController) return;
  const bool held = holdsKeys();
  if (held != tap.keyboardHeld) {
    tap.keyboardHeld = held;
    events->setKeyboardHeld(held);
  }
  if (!held) {
    tap.holdRecheck.cancel();
    tap.holdRecheck = TaskHandle();
  } else if (!tap.holdRecheck.valid()) {
    tap.holdRecheck = afterOnMainWeak(kHoldRecheckSeconds, [](KeyboardEngine& e) {
      e.tap.holdRecheck = TaskHandle();
      e.syncKeyboardHold();
    });
  }
}

}  // namespace tessa
