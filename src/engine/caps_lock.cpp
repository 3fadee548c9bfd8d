// Caps Lock state and light. With Caps Lock remapped to F19 the key no
// longer toggles the lock or its light by itself, so the engine sets the lock
// on the user's behalf (a long press of the switcher key), posts tagged
// Caps Lock flag changes so that applications see it, and drives the light of
// the keyboards it holds open for the life of the process. Main thread only.
#include <fmt/format.h>

#include "engine/keyboard_engine.h"

namespace tessa {

namespace {
const char* boolText(bool b) { return b ? "true" : "false"; }

Event capsLockFlagsEvent(bool on) {
  Event e;
  e.type = EventType::flagsChanged;
  e.keyCode = keycode::capsLock;
  e.flags = on ? flags::capsLock : 0;
  e.sourceUserData = kSyntheticEventTag;
  e.sourceState = EventSourceState::combinedSession;
  return e;
}

bool isTrusted(KeyboardEngine& e) {
  return e.platform().accessibility && e.platform().accessibility->isProcessTrusted(false);
}
}  // namespace

bool KeyboardEngine::capsLockState() {
  if (!platform().hid) return false;
  return platform().hid->capsLockState().value_or(false);
}

void KeyboardEngine::setCapsLockState(bool on) {
  if (!platform().hasBundleIdentifier) return;
  if (capsLockState() != on && platform().events) {
    // Key down then key up, as the key itself would report the change.
    platform().events->post(TapLocation::hid, capsLockFlagsEvent(on));
    platform().events->post(TapLocation::hid, capsLockFlagsEvent(on));
  }
  if (!platform().hid || !platform().hid->setCapsLockState(on)) return;  // no HID system service
  asyncOnMainWeak([on](KeyboardEngine& e) { e.isCapsLockOn.set(on); });
}

void KeyboardEngine::syncCapsLockStateFromHardware() {
  bool hardware = capsLockState();
  if (hardware != isCapsLockOn.get()) isCapsLockOn.set(hardware);
}

void KeyboardEngine::syncCapsLockLight() { refreshCapsLED(); }

void KeyboardEngine::refreshCapsLED() {
  if (isTrusted(*this)) driveCapsLED(isCapsLockOn.get());
}

int KeyboardEngine::openCapsLEDKeyboards() {
  if (!isTrusted(*this)) return 0;
  if (capsLight.heldKeyboards > 0) return capsLight.heldKeyboards;
  if (!platform().hid) return 0;
  int opened = platform().hid->openKeyboards();
  if (opened <= 0) {
    log("Caps LED: IOHIDManagerCopyDevices returned no keyboards");
    return 0;
  }
  capsLight.heldKeyboards = opened;
  log(fmt::format("Caps LED: opened {}/{} keyboards (held open)", opened, opened));
  return opened;
}

void KeyboardEngine::driveCapsLED(bool on) {
  if (!isTrusted(*this)) return;
  int held = openCapsLEDKeyboards();
  if (held == 0) {
    log("Caps LED: no keyboards opened - LED not driven.");
    return;
  }
  platform().hid->setCapsLockLight(on);
  log(fmt::format("Caps LED: set {} - {} keyboard(s) | osCapsState={}", on ? "ON" : "OFF", held,
                  boolText(capsLockState())));
}

void KeyboardEngine::releaseCapsLEDKeyboards() {
  if (capsLight.heldKeyboards == 0) return;
  // The remap is gone by now, so the key drives the lock again: leave the
  // light showing the lock as it really is rather than dark over a lock
  // that is still on.
  if (isTrusted(*this)) driveCapsLED(capsLockState());
  if (platform().hid) platform().hid->closeKeyboards();
  capsLight.heldKeyboards = 0;
  log("Caps LED: released keyboards");
}

}  // namespace tessa
