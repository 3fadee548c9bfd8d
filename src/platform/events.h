#pragma once
// Keyboard and mouse events, event taps and event posting. Key codes are the
// platform's virtual key codes; flags are its modifier bits.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/observable.h"

namespace tessa {

enum class EventType : uint32_t {
  null = 0,
  leftMouseDown = 1,
  leftMouseUp = 2,
  rightMouseDown = 3,
  rightMouseUp = 4,
  keyDown = 10,
  keyUp = 11,
  flagsChanged = 12,
  otherMouseDown = 25,
  tapDisabledByTimeout = 0xFFFFFFFE,
  tapDisabledByUserInput = 0xFFFFFFFF,
};

// [design] the event model's modifier bits and virtual key codes: saved
// settings (switcher keys, hot keys) and the replayed events carry them.
namespace flags {
constexpr uint64_t capsLock = 0x10000;
constexpr uint64_t shift = 0x20000;
constexpr uint64_t control = 0x40000;
constexpr uint64_t option = 0x80000;
constexpr uint64_t command = 0x100000;
constexpr uint64_t numericPad = 0x200000;
constexpr uint64_t help = 0x400000;
constexpr uint64_t fn = 0x800000;
// The device-independent modifier bits a synthetic resync carries.
constexpr uint64_t modifierMask = 0x9F0000;
}  // namespace flags

namespace keycode {
constexpr uint16_t a = 0, s = 1, d = 2, f = 3, h = 4, g = 5, z = 6, x = 7, c = 8, v = 9, b = 11, q = 12, w = 13,
                   e = 14, r = 15, y = 16, t = 17, one = 18, two = 19, three = 20, four = 21, six = 22, five = 23,
                   equal = 24, nine = 25, seven = 26, minus = 27, eight = 28, zero = 29, rightBracket = 30, o = 31,
                   u = 32, leftBracket = 33, i = 34, p = 35, returnKey = 36, l = 37, j = 38, quote = 39, k = 40,
                   semicolon = 41, backslash = 42, comma = 43, slash = 44, n = 45, m = 46, period = 47, tab = 48,
                   space = 49, grave = 50, deleteKey = 51, escape = 53, command = 55, shift = 56, capsLock = 57,
                   option = 58, control = 59, rightShift = 60, rightOption = 61, rightControl = 62, function = 63,
                   keypadEnter = 76, f19 = 80, home = 115, pageUp = 116, forwardDelete = 117, end = 119,
                   pageDown = 121, left = 123, right = 124, down = 125, up = 126;
}  // namespace keycode

// Our own synthetic events carry this in their source user data.
constexpr int64_t kSyntheticEventTag = 0xDEADBEEF;  // [design]

// Which event source a posted event claims.
enum class EventSourceState { privateState, combinedSession, hidSystem };

// A copy of one event. Value semantics: holding an Event holds a copy.
struct Event {
  EventType type = EventType::null;
  uint16_t keyCode = 0;
  uint64_t flags = 0;
  bool autorepeat = false;
  int64_t sourceUserData = 0;
  int64_t sourcePID = 0;
  EventSourceState sourceState = EventSourceState::hidSystem;
  std::string unicode;  // UTF-8 text the key types (at most 8 UTF-16 units on the wire)
  double timestamp = 0; // uptime seconds
  double x = 0, y = 0;  // mouse location, global coordinates
  // The tap only hears this key: another client took it (a window manager's
  // shortcut) and it reaches that client whatever the callback answers, so
  // it must not be held or replayed.
  bool listenOnly = false;
  // One of this process's own posts come back through the tap. The event
  // system knows which keys it posted; a user's press of the same key typed
  // meanwhile is not one of them, though it looks the same.
  bool ownPost = false;

  bool isTagged() const { return sourceUserData == kSyntheticEventTag; }
  bool isKey() const { return type == EventType::keyDown || type == EventType::keyUp; }
};

constexpr uint64_t eventMaskBit(EventType t) { return uint64_t{1} << static_cast<uint32_t>(t); }

// A key the keyboard tap must be able to pass, swallow or change at any
// moment: pressed with every modifier of `required` and none of `refused`
// (any other may be down too).
struct DecidedKey {
  uint16_t keyCode = 0;
  uint64_t required = 0;
  uint64_t refused = 0;
  bool operator==(const DecidedKey&) const = default;
  bool matches(uint16_t code, uint64_t modifierFlags) const {
    return code == keyCode && (modifierFlags & required) == required && !(modifierFlags & refused);
  }
};

using TapId = uint64_t;  // 0 = none
enum class TapLocation { hid, session };
enum class TapOptions { defaultTap, listenOnly };
// Returns the event to pass on (possibly changed) or none to swallow it.
using TapCallback = std::function<std::optional<Event>(TapId, EventType, const Event&)>;

class EventSystem {
 public:
  virtual ~EventSystem() = default;
  // Creates a tap; 0 when the system refuses (no permission).
  virtual TapId createTap(TapLocation location, bool headInsert, TapOptions options, uint64_t mask,
                          TapCallback callback) = 0;
  virtual void enableTap(TapId tap, bool enable) = 0;
  virtual bool isTapEnabled(TapId tap) const = 0;
  // Attaching to / detaching from the main run loop; an unattached tap gets no events.
  virtual void addTapToRunLoop(TapId tap) = 0;
  virtual void removeTapFromRunLoop(TapId tap) = 0;
  virtual void invalidateTap(TapId tap) = 0;
  virtual bool isTapValid(TapId tap) const = 0;

  virtual void post(TapLocation location, const Event& event) = 0;
  // Several events posted in order as one burst: a window system that sends
  // them on a thread of its own takes them in one go rather than piecemeal.
  virtual void postAll(TapLocation location, const std::vector<Event>& events) {
    for (const auto& event : events) post(location, event);
  }
  virtual bool canPostEvents() const = 0;  // the post-event access check
  virtual uint64_t hardwareModifierFlags() const = 0;
  virtual std::pair<double, double> mouseLocation() const = 0;
  // A global monitor: sees the key-downs delivered to other applications
  // (never ours, never swallowed ones), on the main queue, while the
  // subscription lives. A platform without one answers an empty subscription.
  virtual Subscription addGlobalKeyDownMonitor(std::function<void(const Event&)> handler) { return {}; }
  // False when the keyboard tap can only listen to some ordinary typing keys
  // (another client holds them): passing, changing or swallowing those has
  // no effect. Shortcuts another client owns do not count: they are its own.
  virtual bool filtersEveryKey() const { return true; }
  // When not every key is filtered: the keys another client holds, by their
  // names ("D", "Caps Lock"), for the user to be told which.
  virtual std::vector<std::string> keysHeldByOthers() const { return {}; }
  // Whether another client holds this key with exactly these modifiers (a
  // window manager's Alt+Space, say): pressed so, it never reaches the tap.
  virtual bool comboHeldByOthers(uint16_t keyCode, uint64_t modifierFlags) const { return false; }
  // Whether keys this program posted are still on their way to the focused
  // application (where they pass through a grab of its own first, one by
  // one); a look at the field before then could only find them missing.
  virtual bool ownKeysInFlight() const { return false; }
  // Runs `then` on the main queue once ownKeysInFlight() may have turned
  // false (the caller asks again); where no key is ever in flight, never.
  virtual void whenOwnKeysThrough(std::function<void()> then) { (void)then; }

  // A window system where holding the keyboard costs the focused program
  // something (each key taken from it says it lost the focus) holds only
  // what the filtering tap needs to decide: the keys named here, always;
  // every key while `setKeyboardHeld(true)` stands. Any other key reaches
  // the tap as heard only (`Event::listenOnly`), after the focus has it.
  // Where every key is always decided, both do nothing.
  virtual void setDecidedKeys(std::vector<DecidedKey> keys) { (void)keys; }
  // Called from inside the tap's callback, the hold is in place before the
  // key being answered is let go, so no key typed after it slips past.
  virtual void setKeyboardHeld(bool held) { (void)held; }
};

}  // namespace tessa
