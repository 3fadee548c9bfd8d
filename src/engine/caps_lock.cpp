// Caps Lock state and light. With Caps Lock remapped to F19 the key no
// longer toggles the lock or its light by itself, so the engine sets the lock
// on the user's behalf (a long press of the switcher key), posts tagged
// Caps Lock flag changes so that applications see it, and drives the light of
// the keyboards it holds open for the life of the process. Main thread only.
#include <fmt/format.h>
#include <fmt/ranges.h>

#include "engine/keyboard_engine.h"

namespace tessa {

namespace {
const char* boolText(bool b) { return b ? "true" : "false"; }

std::string hexStatus(HidStatus status) { return fmt::format("0x{:08x}", static_cast<uint32_t>(status)); }

std::string statusText(HidStatus status) { return status == 0 ? std::string("ok") : hexStatus(status); }

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
  // Only a missing HID system service stops here. A set call that fails
  // still publishes the state the user asked for: the posted flag changes
  // have told the applications so already, and the light should agree.
  if (!platform().hid || platform().hid->setCapsLockState(on) == CapsLockSetResult::noService) return;
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

size_t KeyboardEngine::openCapsLEDKeyboards() {
  if (!isTrusted(*this)) return 0;
  if (!capsLight.held.empty()) return capsLight.held.size();
  auto devices = platform().hid ? platform().hid->openKeyboards() : std::nullopt;
  if (!devices) {
    log("Caps LED: IOHIDManagerCopyDevices returned no keyboards");
    return 0;
  }
  for (const auto& d : *devices) {
    const bool opened = d.openStatus == 0;
    if (opened) capsLight.held.push_back({d.product, d.lightElements});
    log(fmt::format("Caps LED: device '{}' usage={}/{} transport={} builtIn={} open={} ledElements={}", d.product,
                    d.usagePage, d.usage, d.transport, boolText(d.builtIn), statusText(d.openStatus),
                    opened ? d.lightElements : 0));
  }
  log(fmt::format("Caps LED: opened {}/{} keyboards (held open)", capsLight.held.size(), devices->size()));
  return capsLight.held.size();
}

void KeyboardEngine::driveCapsLED(bool on) {
  if (!isTrusted(*this)) return;
  if (openCapsLEDKeyboards() == 0) {
    log("Caps LED: no keyboards opened - LED not driven.");
    return;
  }
  Hid& hid = *platform().hid;
  std::vector<std::string> notes;
  for (size_t k = 0; k < capsLight.held.size(); ++k) {
    const auto& keyboard = capsLight.held[k];
    if (keyboard.lightElements > 0) {
      for (int i = 0; i < keyboard.lightElements; ++i)
        notes.push_back(fmt::format("{}/element[{}]={}", keyboard.product, i,
                                    statusText(hid.setLightElement(k, static_cast<size_t>(i), on))));
    } else {
      notes.push_back(
          fmt::format("{}/report[noElement]={}", keyboard.product, statusText(hid.sendLightReport(k, on))));
    }
  }
  log(fmt::format("Caps LED: set {} - {} | osCapsState={}", on ? "ON" : "OFF", fmt::join(notes, ", "),
                  boolText(capsLockState())));
  if (capsLight.held.front().lightElements == 0) return;
  // Whether the keyboard took the value shows only when it is read back.
  afterOnMainWeak(0.3, [on](KeyboardEngine& e) {
    if (e.capsLight.held.empty() || !e.platform().hid) return;
    HidValueRead read = e.platform().hid->readLightElement(0, 0);
    e.log(fmt::format("Caps LED: readback 300ms later - wrote {}, element reads {} (get={}), osCapsState={}",
                      on ? 1 : 0, read.value ? std::to_string(*read.value) : std::string("n/a"),
                      hexStatus(read.status), boolText(e.capsLockState())));
  });
}

void KeyboardEngine::releaseCapsLEDKeyboards() {
  if (capsLight.held.empty()) return;
  // The remap is gone by now, so the key drives the lock again: leave the
  // light showing the lock as it really is rather than dark over a lock
  // that is still on.
  if (isTrusted(*this)) driveCapsLED(capsLockState());
  if (platform().hid) platform().hid->closeKeyboards();
  capsLight.held.clear();
  log("Caps LED: released keyboards");
}

}  // namespace tessa
