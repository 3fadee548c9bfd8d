#pragma once
// The simulated desktop: one deterministic, in-process implementation of every
// platform interface, driven by a manual clock and the main queue.
//
// A physical key press is created at once (with the text its key gives in the
// layout current at that moment, the held modifiers' flags and the Caps Lock
// lock bit, and the current uptime) and delivered on the next main-queue turn:
// through the event taps, then to the "system" (the next-input-source hot key),
// then to the frontmost application's focused field. Events the engine posts
// come back through the taps from their posting location on, in order.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/clock.h"
#include "base/task_runner.h"
#include "platform/platform.h"
#include "platform/screens.h"
#include "platform/sim/memory_keychain.h"
#include "platform/sim/sim_applications.h"
#include "platform/sim/sim_context.h"
#include "platform/sim/sim_event_system.h"
#include "platform/sim/sim_http_client.h"
#include "platform/sim/sim_input_sources.h"
#include "platform/sim/sim_login_items.h"
#include "platform/sim/sim_pasteboard.h"
#include "platform/sim/sim_process_runner.h"
#include "platform/sim/sim_system.h"
#include "platform/sim/sim_text_recognizer.h"

namespace tessa {

// "keyDown", "flagsChanged", "leftMouseDown", "tapDisabledByTimeout", …
std::string eventTypeName(EventType type);

class SimDesktop {
 public:
  static constexpr int64_t kOwnPid = 4242;
  static constexpr const char* kOwnBundleID = "com.Ovrelan.Tessavinor";
  // The application that is frontmost on a fresh desktop, with an empty field.
  static constexpr const char* kDefaultAppBundleID = "com.apple.TextEdit";
  static constexpr const char* kSymbolicHotKeysDomain = "com.apple.symbolichotkeys";
  static constexpr const char* kSymbolicHotKeysKey = "AppleSymbolicHotKeys";

  SimDesktop(ManualClock& clock, ManualTaskRunner& main);
  ~SimDesktop();
  SimDesktop(const SimDesktop&) = delete;
  SimDesktop& operator=(const SimDesktop&) = delete;

  // Every interface, for the engine. The spell checker is whatever was set
  // with setSpellChecker (none by default).
  Platform platform();

  // ------------------------------------------------------------ keyboard
  // Physical key presses, now. `extraFlags` are added to the held modifiers'
  // flags. Modifier keys (55-63) give flagsChanged; Caps Lock toggles the lock
  // (flagsChanged 57) unless the HID mapping turns it into another key.
  void keyDown(uint16_t keyCode, uint64_t extraFlags = 0);
  void keyUp(uint16_t keyCode, uint64_t extraFlags = 0);
  void tapKey(uint16_t keyCode, uint64_t extraFlags = 0);
  // Types `usText` as on a US keyboard (Shift as needed; "\n" is Return, "\t"
  // Tab), one character every `gapSeconds` (each key released half a gap after
  // its press), starting `startAt` seconds from now. Answers the delay after
  // which the last key is up. Throws std::invalid_argument for a character no
  // US key types.
  double typeText(const std::string& usText, double gapSeconds = 0.05, double startAt = 0);
  // A chord such as "ctrl+shift+x", "command+space", "capslock", "fn+f19":
  // modifiers (ctrl, shift, option, command, fn) down in order, the key down and
  // up, modifiers up in reverse, all `startAt` seconds from now. Keys are a
  // character or one of capslock, grave, space, return, tab, escape, delete,
  // forwarddelete, left, right, up, down, home, end, pageup, pagedown, f19.
  // Throws std::invalid_argument for an unknown name.
  void press(const std::string& chord, double startAt = 0);
  // The same with a key code and the modifier flags to hold (control, shift,
  // option, command, fn): each held modifier is pressed as its left key.
  void pressKey(uint16_t keyCode, uint64_t modifierFlags = 0, double startAt = 0);
  // A left click at a screen point, through the taps (mouse down, then up).
  void click(double x, double y);
  // The flags of the physically held modifiers and the Caps Lock lock.
  uint64_t heldFlags() const;

  // ------------------------------------------------------------ taps
  void disableTapByTimeout(TapId tap) { events_.disableTap(tap, false); }
  void disableTapByUserInput(TapId tap) { events_.disableTap(tap, true); }
  void setTapCreationAllowed(bool allowed) { events_.setTapCreationAllowed(allowed); }
  void setPostingAllowed(bool allowed) { events_.setPostingAllowed(allowed); }
  const std::vector<Event>& postedEvents() const { return events_.posted(); }
  // Events that reached the frontmost application, in order.
  const std::vector<Event>& applicationEvents() const { return appEvents_; }

  // ------------------------------------------------------------ Caps Lock
  bool capsLockOn() const { return hid_.capsLock(); }
  bool capsLockRemappedToF19() const { return processes_.hidutil().capsLockToF19Active(); }
  void setCapsLockReadable(bool readable) { hid_.setCapsLockReadable(readable); }

  // ------------------------------------------------------------ input sources
  void setEnabledSources(const std::vector<std::string>& ids) { sources_.setEnabledSources(ids); }
  void setCurrentSource(const std::string& id) { sources_.setCurrentSource(id); }
  std::string currentSource() const { return sources_.currentId(); }
  void setSwitchLatency(double seconds) { sources_.setSwitchLatency(seconds); }
  // The enabled-source list cannot be read (enabledSources answers none).
  void setSourceListReadable(bool readable) { sources_.setListReadable(readable); }
  // The system's next-source hot key does nothing when false.
  void setNextSourceHotKeyWorks(bool works) { hotKeyWorks_ = works; }
  int hotKeyActivations() const { return hotKeyActivations_; }
  // Hot key 61 as the system currently has it (stored preferences): key code
  // and modifier flags, when enabled and well formed.
  std::optional<std::pair<uint16_t, uint64_t>> nextSourceHotKey() const;

  // ------------------------------------------------------------ applications
  SimApplication& launchApplication(const std::string& bundleID, const std::string& name) {
    return workspace_.launch(bundleID, name);
  }
  bool activateApplication(const std::string& bundleID) { return workspace_.activate(bundleID); }
  bool terminateApplication(const std::string& bundleID) { return workspace_.terminate(bundleID); }
  SimApplication* application(const std::string& bundleID) { return workspace_.app(bundleID); }
  SimApplication* frontmostApplication() { return workspace_.frontmost(); }
  // The frontmost application's field, when it has one.
  SimTextField* focusedField();
  // Secure event input held on by some process, whatever has the focus.
  void setSecureEventInput(bool on) { secureForced_ = on; }
  // Whether a focused password field turns secure event input on (as on
  // macOS); where it does not (X11), only asking the field tells.
  void setSecureFieldsTurnOnSecureInput(bool on) { secureFieldsTurnItOn_ = on; }
  void setTrusted(bool trusted) { accessibility_.setTrusted(trusted); }

  // Workspace events (observers hear them on the main queue).
  void sleep() { workspace_.postEvent(WorkspaceEvent::willSleep); }
  void wake() { workspace_.postEvent(WorkspaceEvent::didWake); }
  void screensSleep() { workspace_.postEvent(WorkspaceEvent::screensDidSleep); }
  void screensWake() { workspace_.postEvent(WorkspaceEvent::screensDidWake); }
  void lockScreen() { workspace_.postEvent(WorkspaceEvent::screenLocked); }
  void unlockScreen() { workspace_.postEvent(WorkspaceEvent::screenUnlocked); }
  void resignSession() { workspace_.postEvent(WorkspaceEvent::sessionDidResignActive); }
  void becomeActiveSession() { workspace_.postEvent(WorkspaceEvent::sessionDidBecomeActive); }

  // ------------------------------------------------------------ the rest
  void setHasBundleIdentifier(bool has) { hasBundleIdentifier_ = has; }
  // Whether the private keyboard switches exist (they record their calls).
  void setPrivateSymbolsAvailable(bool available) { privateSymbols_ = available; }
  const std::vector<std::string>& privateSymbolCalls() const { return privateCalls_; }
  void setSpellChecker(SpellChecker* checker) { spellChecker_ = checker; }

  SimEventSystem& events() { return events_; }
  SimInputSources& inputSources() { return sources_; }
  SimAccessibility& accessibility() { return accessibility_; }
  SimLoginItems& loginItems() { return loginItems_; }
  SimWorkspace& workspace() { return workspace_; }
  SimHid& hid() { return hid_; }
  SimPreferenceDomains& preferences() { return preferences_; }
  SimProcessRunner& processes() { return processes_; }
  SimSystemLog& systemLog() { return log_; }
  SimHaptics& haptics() { return haptics_; }
  MemoryKeychain& keychain() { return keychain_; }
  SimPasteboard& pasteboard() { return pasteboard_; }
  SimTextRecognizer& textRecognizer() { return textRecognizer_; }
  SimHttpClient& http() { return http_; }
  // One 1440x900 display with a 25-point menu bar, unless set otherwise.
  FixedScreens& screens() { return screens_; }
  ManualClock& clock() { return ctx_.clock(); }
  ManualTaskRunner& mainQueue() { return ctx_.main(); }

  // Pieces for the scenario transcript: "text" and "caret" (of the focused
  // field, UTF-16 caret), "inputSource", "posted" (each posted event as
  // {type, keyCode, flags (hex), unicode, tagged}), "delivered" (per
  // application, the key events it received, see describeDelivered),
  // "heldKeys" (the physical keys still down, only when there are any) and
  // "children" ({path, arguments} of every child process run).
  nlohmann::json transcript() const;
  static nlohmann::json describeEvent(const Event& event);
  // One line for a key event as an application saw it: "down h 'h'",
  // "up shift+h 'H'", "repeat x 'x'", "down shift", "up shift", "capslock on",
  // "flags 0x0" (a flags change without a modifier key). Keys by name or US
  // character, else "#code"; control characters in the text escaped.
  static std::string describeDelivered(const Event& event);
  // The physical keys held down now, by name, in key-code order.
  std::vector<std::string> heldKeyNames() const;

 private:
  void physicalDown(uint16_t keyCode, uint64_t extraFlags);
  void physicalUp(uint16_t keyCode, uint64_t extraFlags);
  void scheduleChord(std::vector<uint16_t> modifiers, uint16_t key, double startAt);
  void emitKey(EventType type, uint16_t keyCode, uint64_t extraFlags);
  void emitFlagsChanged(uint16_t keyCode, uint64_t extraFlags);
  void systemReceive(const Event& event);

  SimContext ctx_;
  SimEventSystem events_;
  SimInputSources sources_;
  SimWorkspace workspace_;
  SimAccessibility accessibility_;
  SimLoginItems loginItems_;
  SimHid hid_;
  SimPreferenceDomains preferences_;
  SimProcessRunner processes_;
  SimSystemLog log_;
  SimHaptics haptics_;
  MemoryKeychain keychain_;
  SimPasteboard pasteboard_{ctx_};
  SimTextRecognizer textRecognizer_{ctx_};
  SimHttpClient http_;
  FixedScreens screens_;
  SpellChecker* spellChecker_ = nullptr;

  std::multiset<uint16_t> heldModifiers_;
  std::map<uint16_t, uint16_t> pressedAs_;  // physical key -> the key it was delivered as
  uint32_t deadKeyState_ = 0;
  std::vector<Event> appEvents_;
  bool hotKeyWorks_ = true;
  int hotKeyActivations_ = 0;
  bool secureForced_ = false;
  bool secureFieldsTurnItOn_ = true;
  bool hasBundleIdentifier_ = true;
  bool privateSymbols_ = true;
  std::vector<std::string> privateCalls_;
};

}  // namespace tessa
