// What the event system must hold for the key handler. Where holding the
// keyboard costs the focused program (on X11 each grabbed key tells it that
// it lost the focus), only the keys a stage may swallow or change outside a
// hold are held always; every key is held while a stage holds keys, from
// the press that starts it (inside the callback, so that the key after it
// is held too) until the last key it let go of is back.
#include "engine/decided_keys.h"
#include "engine/keyboard_engine.h"
#include "typing/typing_flow_controller.h"

namespace tessa {

namespace {
// [ours] How often a hold is looked at again while it lasts: its ends are
// many (a replay's last key back, a time-out, a drop), and each is caught
// here if no call at that end caught it first.
constexpr double kHoldRecheckSeconds = 0.05;
}  // namespace

std::vector<DecidedKey> KeyboardEngine::decidedKeys() const {
  std::vector<DecidedKey> keys;
  for (const auto& entry : decidedKeyTable(switcherKey.get())) keys.push_back(entry.key);
  return keys;
}

void KeyboardEngine::syncDecidedKeys() {
  if (auto* events = platform().events) events->setDecidedKeys(decidedKeys());
}

bool KeyboardEngine::holdsKeys() {
  const TypingFlowController& fc = *flow.flowController;
  heldKeys.dropExpiredMarks(uptime());
  {
    // Keys held through a simulation that has ended wait for their replay,
    // which begins on a later turn: a key typed meanwhile goes behind them.
    std::lock_guard lock(typingSimulation.lock);
    if (typingSimulation.simulationCount > 0 || heldKeys.simulationHeldCount() > 0) return true;
  }
  return flow.isSpeculating || !fc.state().isIdle() || fc.hasQueuedEvents() || fc.isReleasing() ||
         typingSimulation.isReplaying || heldKeys.hasReplayPending() || heldKeys.hasPressHeld() ||
         heldKeys.hasPostedOnTheWay();
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
