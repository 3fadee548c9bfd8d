#pragma once
// What the files of the X11 event system share, and nothing else includes:
// the state the grab thread keeps (`X11EventSystem::Impl`) and the small
// helpers more than one of its jobs uses. The class is one façade
// (`x11_event_system.h`); its members live by job:
//   x11_event_system.cpp   lifetime, taps, delivery to the main queue, queries
//   x11_grab_thread.cpp    the grab thread: each key read, frozen and answered
//   x11_key_grab.cpp       the passive grab, and the keys another client holds
//   x11_xtest_poster.cpp   the next-source hot key where post() is called
// and holds the objects of the jobs that own their state and their locks:
//   x11_posted_ledger.h    `PostedLedger`: the keys we posted, known again
//   x11_xtest_poster.h     `XTestPoster`: posting with XTest, helper modifiers
//   x11_text_typer.h       `TextTyper`: text typed on spare key codes
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>

#include <array>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

#include "platform/x11/x11_event_system.h"

namespace tessa {

namespace x11_detail {

inline double monotonicNow() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

inline bool isModifierKey(uint16_t code) {
  switch (code) {
    case keycode::shift: case keycode::rightShift: case keycode::control: case keycode::rightControl:
    case keycode::option: case keycode::rightOption: case keycode::command: case keycode::capsLock:
    case keycode::function:
      return true;
    default:
      return false;
  }
}

inline uint64_t flagsFromXState(unsigned state) {
  uint64_t f = 0;
  if (state & ShiftMask) f |= flags::shift;
  if (state & LockMask) f |= flags::capsLock;
  if (state & ControlMask) f |= flags::control;
  if (state & Mod1Mask) f |= flags::option;
  if (state & Mod4Mask) f |= flags::command;
  return f;
}

// The modifier state a key is read with. Taken as F19, Caps Lock is no lock
// key, but the server still gives it its own action: while it is held, Lock
// stays in the depressed modifiers. A letter typed meanwhile is typed under
// the lock as it stands, not capitalised by the switcher key being down.
inline unsigned keyState(unsigned effective, unsigned lockedOrLatched, unsigned group, bool capsAsF19) {
  if (capsAsF19) effective = (effective & ~LockMask) | (lockedOrLatched & LockMask);
  return effective | ((group & 3u) << 13);
}

// [ours] The modifiers a posted key may ask for, and the X mask and key of
// each (Option on Mod1, Command on Mod4).
inline constexpr std::pair<uint64_t, std::pair<unsigned, uint16_t>> kPostedModifiers[] = {
    {flags::shift, {ShiftMask, keycode::shift}},
    {flags::control, {ControlMask, keycode::control}},
    {flags::option, {Mod1Mask, keycode::option}},
    {flags::command, {Mod4Mask, keycode::command}},
};

// Errors of the requests made between trap() and untrap() are recorded
// instead of ending the process (Xlib's default for an unhandled error).
inline std::mutex gTrapMutex;
inline int gTrappedError = 0;
inline int trapHandler(Display*, XErrorEvent* error) {
  gTrappedError = error->error_code;
  return 0;
}

class ErrorTrap {
 public:
  explicit ErrorTrap(Display* d) : d_(d), lock_(gTrapMutex) {
    gTrappedError = 0;
    previous_ = XSetErrorHandler(trapHandler);
  }
  // Waits for the server's answer to everything sent so far.
  int error() {
    XSync(d_, False);
    return gTrappedError;
  }
  ~ErrorTrap() {
    XSync(d_, False);
    XSetErrorHandler(previous_);
  }

 private:
  Display* d_;
  std::lock_guard<std::mutex> lock_;
  int (*previous_)(Display*, XErrorEvent*) = nullptr;
};

}  // namespace x11_detail

struct X11EventSystem::Impl {
  Display* grab = nullptr;   // the grab thread's connection
  Display* query = nullptr;  // pointer and modifier reads from the main queue
  std::mutex queryMutex;
  int xiOpcode = 0;
  int keyboard = 3;  // the master keyboard: the grabs' device [ours: the usual id, until asked]
  int wakePipe[2] = {-1, -1};
  // Whether our grabs are in place (some tap filters keys).
  bool grabbing = false;
  // Every key is grabbed, for a hold.
  bool holding = false;
  // The decided keys' grabs: X modifier masks by X key code (XIAnyModifier
  // alone for every combination), and the request they were made for.
  std::map<unsigned, std::vector<unsigned>> decidedGrabs;
  uint64_t decidedApplied = 0;
  // Raw presses read whose grabbed press may still follow, and whether the
  // server has been asked for everything it sent before them.
  std::deque<std::pair<unsigned, int>> rawPresses;
  bool rawPressesSynced = false;
  // By key, the modifier combinations another client holds on the root.
  // While every key is held those keys are grabbed on the focused window
  // instead (`holdFocus`): the server tries the root's grabs first, so the
  // other client keeps its combinations.
  std::map<unsigned, std::set<unsigned>> refusedCombos;
  unsigned long holdFocus = 0;
  // Presses reported as heard only: their releases are too.
  std::set<unsigned> listenOnlyDown;
  std::set<unsigned> keysDown;  // X key codes pressed and not yet released
  // A press the callback changed into another key: its release releases
  // the posted key too, or the server would keep that key down (and repeat it).
  std::map<unsigned, unsigned> changedDown;
  // The grab a dropped press leaves active, and the key that started it:
  // the server ends that grab by itself when this key is released.
  bool capsWasOn = false;  // the lock before the last Caps Lock press taken as F19
  // The lock just before the release being handled, when its event says.
  std::optional<bool> lockedBeforeRelease;
  bool activeGrab = false;
  unsigned grabKey = 0;
  // The key codes let go of while a batch of our own keys goes around the
  // grab, and how many events read now came before the sync that ended the
  // last such batch: a raw press of ours among those went around.
  std::set<unsigned> keysOpened;
  int eventsBeforeAroundSync = 0;
  // While the rest of a batch waits for its first key to end the grab a
  // dropped press left: until when (0: not waiting).
  double aroundWaitUntil = 0;
  // While we grab the keyboard, its releases reach us as core events and no
  // raw event follows; one that does is not reported twice.
  std::set<unsigned> releasedThroughGrab;
  // Modifier keys down, as the raw events tell.
  std::set<uint16_t> rawModifiersDown;
  std::condition_variable flushed;

  // The press frozen now, and the one last replayed to the focus (until its
  // key's release or the next press), by key code and server time. A key
  // grabbed on the focused window during a hold catches the replay of its own press
  // once more when that press was frozen by a grab on the root (the server
  // looks for grabs below the window of the grab it leaves): a second
  // delivery of a press already decided, not a new one.
  std::optional<std::pair<unsigned, unsigned long>> frozenPress, replayedPress;

  // Thaws the keyboard: replays the frozen press to the focus, or drops it.
  void allow(int mode) { XIAllowEvents(grab, keyboard, mode, CurrentTime); }
  void replayPress() {
    allow(XIReplayDevice);
    replayedPress = frozenPress;
  }
};

}  // namespace tessa
