#include "platform/x11/x11_event_system.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <set>

#include "platform/linux/xkb_layout.h"

namespace tessa {

namespace {

double monotonicNow() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

bool isModifierKey(uint16_t code) {
  switch (code) {
    case keycode::shift: case keycode::rightShift: case keycode::control: case keycode::rightControl:
    case keycode::option: case keycode::rightOption: case keycode::command: case keycode::capsLock:
    case keycode::function:
      return true;
    default:
      return false;
  }
}

uint64_t modifierBitOf(uint16_t code) {
  switch (code) {
    case keycode::shift: case keycode::rightShift: return flags::shift;
    case keycode::control: case keycode::rightControl: return flags::control;
    case keycode::option: case keycode::rightOption: return flags::option;
    case keycode::command: return flags::command;
    case keycode::function: return flags::fn;
    default: return 0;
  }
}

// Function and navigation keys carry the secondary-Fn flag on the platform
// whose key codes the engine speaks, and the arrows the numeric-pad flag too.
uint64_t keyClassFlags(uint16_t code) {
  switch (code) {
    case keycode::left: case keycode::right: case keycode::up: case keycode::down:
      return flags::fn | flags::numericPad;
    case keycode::f19: case keycode::home: case keycode::end: case keycode::pageUp: case keycode::pageDown:
    case keycode::forwardDelete:
      return flags::fn;
    default:
      return 0;
  }
}

// The modifiers a posted key may ask for, and the X mask and key of each.
constexpr std::pair<uint64_t, std::pair<unsigned, uint16_t>> kPostedModifiers[] = {
    {flags::shift, {ShiftMask, keycode::shift}},
    {flags::control, {ControlMask, keycode::control}},
    {flags::option, {Mod1Mask, keycode::option}},
    {flags::command, {Mod4Mask, keycode::command}},
};

uint64_t flagsFromXState(unsigned state) {
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
unsigned keyState(unsigned effective, unsigned lockedOrLatched, unsigned group, bool capsAsF19) {
  if (capsAsF19) effective = (effective & ~LockMask) | (lockedOrLatched & LockMask);
  return effective | ((group & 3u) << 13);
}

// Errors of the requests made between trap() and untrap() are recorded
// instead of ending the process (Xlib's default for an unhandled error).
std::mutex gTrapMutex;
int gTrappedError = 0;
int trapHandler(Display*, XErrorEvent* error) {
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

// Maps a spare key code to the symbol on both levels of the ALPHABETIC
// type, which consumes Lock and Shift: the key then types the symbol as it
// is under Caps Lock too. A core mapping of a lone letter would put its
// capital on the second level, and a one-level key leaves Lock unconsumed,
// so the focus's toolkit would capitalise it all the same.
bool mapSpare(Display* d, unsigned code, unsigned long keysym) {
  XkbDescPtr xkb = XkbGetMap(d, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
  if (!xkb) return false;
  int types[XkbNumKbdGroups] = {XkbAlphabeticIndex};
  XkbMapChangesRec changes{};
  const auto key = static_cast<KeyCode>(code);
  bool ok = xkb->map && xkb->map->num_types > XkbAlphabeticIndex &&
            XkbChangeTypesOfKey(xkb, key, 1, XkbGroup1Mask, types, &changes) == Success;
  if (ok) {
    KeySym* syms = XkbResizeKeySyms(xkb, key, 2);
    ok = syms != nullptr;
    if (ok) {
      syms[0] = syms[1] = keysym;
      changes.changed |= XkbKeySymsMask;
      changes.first_key_sym = key;
      changes.num_key_syms = 1;
      ErrorTrap trap(d);
      ok = XkbChangeMap(d, xkb, &changes) && trap.error() == 0;
    }
  }
  XkbFreeKeyboard(xkb, 0, True);
  return ok;
}

bool hasExtensions(Display* d, int* xiOpcode, std::string* why) {
  int event = 0, error = 0;
  if (!XQueryExtension(d, "XInputExtension", xiOpcode, &event, &error)) {
    if (why) *why = "the X server has no XInput extension";
    return false;
  }
  int major = 2, minor = 0;
  if (XIQueryVersion(d, &major, &minor) != Success) {
    if (why) *why = "the X server has no XInput2";
    return false;
  }
  int tmajor = 0, tminor = 0;
  if (!XTestQueryExtension(d, &event, &error, &tmajor, &tminor)) {
    if (why) *why = "the X server has no XTest extension";
    return false;
  }
  return true;
}

enum class GrabState { none, allKeys, perKey };

// The filtering grab is an XInput2 passive grab, not a core one: a core grab's
// press, and the press it replays to the focus, carry the grab's compatibility
// state, in which the locked group is lost, so a key we pass would reach the
// focused window in the first layout whatever layout the user has locked.
// The XInput2 grab replays the press with the keyboard's own state.
// Answers the number of modifier combinations the server refused.
int grabKeycode(Display* d, int device, int xKeyCode, Window root) {
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_KeyPress);
  XISetMask(bits, XI_KeyRelease);
  XIEventMask mask{device, sizeof(bits), bits};
  XIGrabModifiers mods{static_cast<int>(XIAnyModifier), 0};
  return XIGrabKeycode(d, device, xKeyCode, root, XIGrabModeSync, XIGrabModeAsync, False, &mask, 1, &mods);
}

void ungrabKeycode(Display* d, int device, int xKeyCode, Window root) {
  XIGrabModifiers mods{static_cast<int>(XIAnyModifier), 0};
  XIUngrabKeycode(d, device, xKeyCode, root, 1, &mods);
}

// XInput2 grabs do not collide with other clients' core grabs, so a core
// grab, released at once, tells whether another client holds the key (or,
// for AnyKey, some key) already.
bool heldByAnotherClient(Display* d, int xKeyCode, Window root, ErrorTrap& trap) {
  XGrabKey(d, xKeyCode, AnyModifier, root, False, GrabModeAsync, GrabModeSync);
  const bool refused = trap.error() != 0;
  gTrappedError = 0;
  XUngrabKey(d, xKeyCode, AnyModifier, root);
  return refused;
}

// Core grabs tried in one go, each released again: which of them the server
// refused because another client holds that key and modifier combination.
std::vector<unsigned long> gRefusedSerials;
int refusedSerialHandler(Display*, XErrorEvent* error) {
  if (error->error_code == BadAccess) gRefusedSerials.push_back(error->serial);
  return 0;
}
std::vector<bool> coreGrabsRefused(Display* d, Window root, const std::vector<std::pair<int, unsigned>>& tries) {
  std::lock_guard lock(gTrapMutex);
  XSync(d, False);
  gRefusedSerials.clear();
  auto* previous = XSetErrorHandler(refusedSerialHandler);
  std::vector<unsigned long> serials;
  serials.reserve(tries.size());
  for (const auto& [code, mods] : tries) {
    serials.push_back(NextRequest(d));
    XGrabKey(d, code, mods, root, False, GrabModeAsync, GrabModeAsync);
  }
  XSync(d, False);
  XUngrabKey(d, AnyKey, AnyModifier, root);  // ours only
  XSync(d, False);
  XSetErrorHandler(previous);
  std::set<unsigned long> refused(gRefusedSerials.begin(), gRefusedSerials.end());
  std::vector<bool> out;
  out.reserve(tries.size());
  for (unsigned long serial : serials) out.push_back(refused.count(serial) > 0);
  return out;
}

// The master keyboard the core keyboard stands for.
int masterKeyboard(Display* d) {
  int id = 3, count = 0;
  if (XIDeviceInfo* info = XIQueryDevice(d, XIAllMasterDevices, &count)) {
    for (int i = 0; i < count; ++i)
      if (info[i].use == XIMasterKeyboard) {
        id = info[i].deviceid;
        break;
      }
    XIFreeDeviceInfo(info);
  }
  return id;
}

}  // namespace

struct X11EventSystem::Impl {
  Display* grab = nullptr;   // the grab thread's connection
  Display* query = nullptr;  // pointer and modifier reads from the main queue
  std::mutex queryMutex;
  int xiOpcode = 0;
  int keyboard = 3;  // the master keyboard: the grabs' device
  int wakePipe[2] = {-1, -1};
  GrabState grabState = GrabState::none;
  // With another client's grabs on the root: the keys we grabbed one by one,
  // and, by key, the modifier combinations that client holds.
  std::vector<unsigned> grabbedKeys;
  std::map<unsigned, std::set<unsigned>> refusedCombos;
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
  // While we grab the keyboard, its releases reach us as core events and no
  // raw event follows; one that does is not reported twice.
  std::set<unsigned> releasedThroughGrab;
  // Modifier keys down, as the raw events tell.
  std::set<uint16_t> rawModifiersDown;
  std::condition_variable flushed;
  // Key codes no layout uses, on which text without a key of its own is typed.
  std::vector<SpareKey> spares;
  bool sparesSearched = false, sparesChanged = false;
  uint64_t spareClock = 0;
  // Virtual key codes whose posted press was released at once (typed as
  // text, or tapped): the release the poster sends later posts nothing.
  std::map<uint16_t, int> releasedWithPress;

  // Thaws the keyboard: replays the frozen press to the focus, or drops it.
  void allow(int mode) { XIAllowEvents(grab, keyboard, mode, CurrentTime); }
};

// ------------------------------------------------------------- key codes

std::optional<uint16_t> X11EventSystem::keyCodeForX(unsigned xKeyCode) {
  for (uint16_t vk = 0; vk < 128; ++vk) {
    auto evdev = XkbKeyLayout::evdevCodeForKeyCode(vk);
    if (evdev && *evdev + 8 == xKeyCode) return vk;
  }
  return std::nullopt;
}

std::optional<unsigned> X11EventSystem::xKeyCodeFor(uint16_t keyCode) {
  auto evdev = XkbKeyLayout::evdevCodeForKeyCode(keyCode);
  if (!evdev) return std::nullopt;
  return *evdev + 8;
}

// ------------------------------------------------------------ lifetime

std::unique_ptr<X11EventSystem> X11EventSystem::create(const std::string& displayName, TaskRunner& main,
                                                       X11EventSystemOptions options, std::string* why) {
  XInitThreads();
  const char* name = displayName.empty() ? nullptr : displayName.c_str();
  Display* grab = XOpenDisplay(name);
  if (!grab) {
    if (why) *why = "cannot open the X display";
    return nullptr;
  }
  int xiOpcode = 0;
  if (!hasExtensions(grab, &xiOpcode, why)) {
    XCloseDisplay(grab);
    return nullptr;
  }
  Display* query = XOpenDisplay(name);
  if (!query) {
    XCloseDisplay(grab);
    if (why) *why = "cannot open the X display";
    return nullptr;
  }
  std::unique_ptr<X11EventSystem> system(new X11EventSystem(main, std::move(options)));
  auto& impl = *system->impl_;
  impl.grab = grab;
  impl.query = query;
  impl.xiOpcode = xiOpcode;
  impl.keyboard = masterKeyboard(grab);
  if (pipe(impl.wakePipe) != 0) {
    XCloseDisplay(grab);
    XCloseDisplay(query);
    impl.grab = impl.query = nullptr;
    if (why) *why = "cannot create a pipe";
    return nullptr;
  }
  // Raw events are seen whatever the focus and whoever grabs the keyboard.
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawKeyPress);
  XISetMask(bits, XI_RawKeyRelease);
  XISetMask(bits, XI_RawButtonPress);
  XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
  XISelectEvents(grab, DefaultRootWindow(grab), &mask, 1);
  XSync(grab, False);
  system->thread_ = std::thread([s = system.get()] { s->threadMain(); });
  return system;
}

X11EventSystem::X11EventSystem(TaskRunner& main, X11EventSystemOptions options)
    : main_(main), options_(std::move(options)), impl_(std::make_unique<Impl>()) {}

X11EventSystem::~X11EventSystem() {
  *alive_ = false;
  running_ = false;
  wake();
  if (thread_.joinable()) thread_.join();
  if (impl_->grab) XCloseDisplay(impl_->grab);
  if (impl_->query) XCloseDisplay(impl_->query);
  for (int fd : impl_->wakePipe)
    if (fd >= 0) close(fd);
}

void X11EventSystem::logLine(const std::string& line) const {
  if (options_.log) options_.log(line);
}

void X11EventSystem::wake() {
  if (impl_->wakePipe[1] < 0) return;
  char c = 1;
  [[maybe_unused]] auto n = write(impl_->wakePipe[1], &c, 1);
}

void X11EventSystem::flush() {
  std::unique_lock lock(mutex_);
  uint64_t ticket = ++flushRequested_;
  wake();
  impl_->flushed.wait(lock, [&] { return flushDone_ >= ticket || !running_; });
}

size_t X11EventSystem::ledgerSize() const {
  std::lock_guard lock(mutex_);
  return ledger_.size();
}

// ----------------------------------------------------------------- taps

TapId X11EventSystem::createTap(TapLocation, bool, TapOptions options, uint64_t mask, TapCallback callback) {
  std::lock_guard lock(mutex_);
  TapId id = nextTap_++;
  Tap tap;
  tap.options = options;
  tap.mask = mask;
  tap.callback = std::move(callback);
  taps_[id] = std::move(tap);
  return id;
}

void X11EventSystem::enableTap(TapId id, bool enable) {
  {
    std::lock_guard lock(mutex_);
    auto it = taps_.find(id);
    if (it == taps_.end() || !it->second.valid) return;
    it->second.enabled = enable;
  }
  // The grab is in place (or gone) on return, as a tap is live once enabled.
  flush();
}

bool X11EventSystem::isTapEnabled(TapId id) const {
  std::lock_guard lock(mutex_);
  auto it = taps_.find(id);
  return it != taps_.end() && it->second.valid && it->second.enabled;
}

void X11EventSystem::addTapToRunLoop(TapId id) {
  {
    std::lock_guard lock(mutex_);
    if (auto it = taps_.find(id); it != taps_.end()) it->second.attached = true;
  }
  flush();
}

void X11EventSystem::removeTapFromRunLoop(TapId id) {
  {
    std::lock_guard lock(mutex_);
    if (auto it = taps_.find(id); it != taps_.end()) it->second.attached = false;
  }
  wake();
}

void X11EventSystem::invalidateTap(TapId id) {
  {
    std::lock_guard lock(mutex_);
    if (auto it = taps_.find(id); it != taps_.end()) {
      it->second.valid = false;
      it->second.enabled = false;
    }
  }
  wake();
}

void X11EventSystem::invalidateAllTaps() {
  {
    std::lock_guard lock(mutex_);
    for (auto& [id, tap] : taps_) tap.valid = tap.enabled = false;
  }
  wake();
}

bool X11EventSystem::isTapValid(TapId id) const {
  std::lock_guard lock(mutex_);
  auto it = taps_.find(id);
  return it != taps_.end() && it->second.valid;
}

// Called with mutex_ held.
bool X11EventSystem::wantsGrab() const {
  for (const auto& [id, tap] : taps_)
    if (tap.valid && tap.enabled && tap.attached && tap.options == TapOptions::defaultTap &&
        (tap.mask & eventMaskBit(EventType::keyDown)))
      return true;
  return false;
}

// ------------------------------------------------------------ the thread

void X11EventSystem::threadMain() {
  Display* d = impl_->grab;
  const int xfd = ConnectionNumber(d);
  while (running_) {
    uint64_t flushTicket;
    std::deque<Event> posts;
    std::optional<Decision> decision;
    {
      std::lock_guard lock(mutex_);
      flushTicket = flushRequested_;
      posts.swap(postQueue_);
      if (decision_ && decision_->serial == pendingSerial_) {
        decision = std::move(decision_);
        decision->xKeyCode = pendingXKeyCode_;
      }
      decision_.reset();
    }
    updateGrab();
    if (decision) {
      // The main queue answered: pass the frozen press, or drop it (and post
      // its replacement when the callback changed it). A dropped press keeps
      // the grab, frozen again at the next key: ungrabbing here could end a
      // grab that a later press has already started, and lose that key.
      // A press passed while Caps Lock, taken as F19, is held would be
      // replayed under the Lock that key leaves depressed: it is changed
      // into its own text, as the tap was shown it.
      if (decision->result && decision->result->type == EventType::null &&
          typesOtherTextUnderHeldCapsLock(decision->xKeyCode, *decision->result))
        decision->result->type = EventType::keyDown;
      if (!decision->result) {
        impl_->allow(XISyncDevice);
      } else if (decision->result->type == EventType::null) {
        impl_->allow(XIReplayDevice);
        impl_->activeGrab = false;
      } else {
        impl_->allow(XISyncDevice);
        // Keys already queued behind the press reach the focus before the
        // replacement does.
        auto posted = postOnGrabConnection(*decision->result, true);
        if (decision->result->type == EventType::keyDown && posted) {
          if (impl_->keysDown.count(decision->xKeyCode)) impl_->changedDown[decision->xKeyCode] = *posted;
          else fakeKey(*posted, false, Event{}, true);  // released while we decided
        }
      }
      std::lock_guard lock(mutex_);
      pendingSerial_ = 0;
    }
    for (const auto& event : posts) postOnGrabConnection(event, false);
    if (flushTicket) {
      XSync(d, False);
      std::lock_guard lock(mutex_);
      if (flushDone_ < flushTicket) {
        flushDone_ = flushTicket;
        impl_->flushed.notify_all();
      }
    }
    XFlush(d);
    while (XPending(d) > 0) {
      XEvent ev;
      XNextEvent(d, &ev);
      if (ev.xcookie.type != GenericEvent || ev.xcookie.extension != impl_->xiOpcode ||
          !XGetEventData(d, &ev.xcookie))
        continue;
      const int evtype = ev.xcookie.evtype;
      if (evtype == XI_KeyPress || evtype == XI_KeyRelease) {
        auto* key = static_cast<XIDeviceEvent*>(ev.xcookie.data);
        const auto xkc = static_cast<unsigned>(key->detail);
        const unsigned state =
            keyState(static_cast<unsigned>(key->mods.effective),
                     static_cast<unsigned>(key->mods.locked | key->mods.latched),
                     static_cast<unsigned>(key->group.effective), capsAsF19_);
        if (evtype == XI_KeyPress) {
          onKeyPress(xkc, state);
        } else if (impl_->activeGrab) {
          // Held by the grab a dropped press left. The release of the key
          // that started it has already ended the grab (answering would thaw
          // the next key's grab instead); any other goes on to the focus,
          // which ends the grab. Releases are reported from the raw events.
          if (xkc != impl_->grabKey) impl_->allow(XIReplayDevice);
          impl_->activeGrab = false;
          impl_->releasedThroughGrab.insert(xkc);
          impl_->lockedBeforeRelease = (static_cast<unsigned>(key->mods.locked) & LockMask) != 0;
          onRelease(xkc, state);
          impl_->lockedBeforeRelease.reset();
        }
      } else {
        auto* raw = static_cast<XIRawEvent*>(ev.xcookie.data);
        onRawEvent(evtype, static_cast<unsigned>(raw->detail), raw->sourceid);
      }
      XFreeEventData(d, &ev.xcookie);
    }
    int timeoutMs = -1;
    {
      std::lock_guard lock(mutex_);
      if (pendingSerial_ != 0 && !decision_) {
        double left = pendingDeadline_ - monotonicNow();
        if (left <= 0) timeoutMs = 0;
        else timeoutMs = static_cast<int>(left * 1000.0) + 1;
      }
      if (decision_ || !postQueue_.empty() || flushRequested_ > flushDone_) timeoutMs = 0;
    }
    if (timeoutMs == 0) {
      bool expired;
      {
        std::lock_guard lock(mutex_);
        expired = pendingSerial_ != 0 && !decision_ && monotonicNow() >= pendingDeadline_;
      }
      if (expired) timeOut();
      continue;
    }
    pollfd fds[2] = {{xfd, POLLIN, 0}, {impl_->wakePipe[0], POLLIN, 0}};
    poll(fds, 2, timeoutMs);
    if (fds[1].revents & POLLIN) {
      char buf[64];
      [[maybe_unused]] auto n = read(impl_->wakePipe[0], buf, sizeof buf);
    }
  }
  // Leave the keyboard as we found it: nothing frozen, nothing grabbed.
  {
    std::lock_guard lock(mutex_);
    for (auto& [id, tap] : taps_) tap.valid = tap.enabled = false;
    if (pendingSerial_) impl_->allow(XIReplayDevice);
    pendingSerial_ = 0;
    flushDone_ = flushRequested_;
    impl_->flushed.notify_all();
  }
  updateGrab();
  restoreSpareKeyCodes();
  XSync(d, False);
}

void X11EventSystem::updateGrab() {
  Display* d = impl_->grab;
  bool want;
  {
    std::lock_guard lock(mutex_);
    want = wantsGrab();
  }
  const Window root = DefaultRootWindow(d);
  if (want && impl_->grabState == GrabState::none) {
    bool anyHeld;
    {
      ErrorTrap trap(d);
      anyHeld = heldByAnotherClient(d, AnyKey, root, trap);
      if (!anyHeld && grabKeycode(d, impl_->keyboard, XIAnyKeycode, root) == 0 && trap.error() == 0) {
        impl_->grabState = GrabState::allKeys;
        impl_->refusedCombos.clear();
        setKeysHeldByOthers({});
        std::lock_guard lock(mutex_);
        heldCombos_.clear();
        return;
      }
      gTrappedError = 0;
      ungrabKeycode(d, impl_->keyboard, XIAnyKeycode, root);
    }
    grabPerKey();
  } else if (!want && impl_->grabState != GrabState::none) {
    {
      std::lock_guard lock(mutex_);
      if (pendingSerial_) {
        impl_->allow(XIReplayDevice);
        impl_->activeGrab = false;
        pendingSerial_ = 0;
        decision_.reset();
      }
    }
    if (impl_->grabState == GrabState::allKeys) {
      ungrabKeycode(d, impl_->keyboard, XIAnyKeycode, root);
    } else {
      for (unsigned xkc : impl_->grabbedKeys) ungrabKeycode(d, impl_->keyboard, static_cast<int>(xkc), root);
      impl_->grabbedKeys.clear();
    }
    XIUngrabDevice(d, impl_->keyboard, CurrentTime);  // the passive grabs are gone, so this ends only ours
    impl_->activeGrab = false;
    impl_->grabState = GrabState::none;
    XFlush(d);
  }
}

// Another client (a window manager, a desktop's shortcut daemon) holds some
// key combinations on the root. Those are its own: each key is grabbed with
// every modifier combination except the ones it holds, so a window
// manager's Super+D still reaches it while a plain D is ours to hold. (A
// grab of ours over every combination would take its shortcuts away; no
// grab at all would leave typed keys unheld, and they would reach the focus
// before the keys held for a switch, and once more when those are replayed.)
void X11EventSystem::grabPerKey() {
  Display* d = impl_->grab;
  const Window root = DefaultRootWindow(d);
  int minCode = 8, maxCode = 255;
  XDisplayKeycodes(d, &minCode, &maxCode);
  std::vector<std::pair<int, unsigned>> tries;
  for (int code = minCode; code <= maxCode; ++code) tries.emplace_back(code, AnyModifier);
  const std::vector<bool> keyHeld = coreGrabsRefused(d, root, tries);
  tries.clear();
  for (int code = minCode; code <= maxCode; ++code)
    if (keyHeld[code - minCode])
      for (unsigned mods = 0; mods < 256; ++mods) tries.emplace_back(code, mods);
  const std::vector<bool> comboHeld = coreGrabsRefused(d, root, tries);
  impl_->refusedCombos.clear();
  for (size_t i = 0; i < tries.size(); ++i)
    if (comboHeld[i]) impl_->refusedCombos[static_cast<unsigned>(tries[i].first)].insert(tries[i].second);

  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_KeyPress);
  XISetMask(bits, XI_KeyRelease);
  XIEventMask mask{impl_->keyboard, sizeof(bits), bits};
  impl_->grabbedKeys.clear();
  size_t combosLeft = 0;
  for (int code = minCode; code <= maxCode; ++code) {
    std::vector<XIGrabModifiers> mods;
    auto refused = impl_->refusedCombos.find(static_cast<unsigned>(code));
    if (refused == impl_->refusedCombos.end()) {
      mods.push_back({static_cast<int>(XIAnyModifier), 0});
    } else {
      combosLeft += refused->second.size();
      for (unsigned m = 0; m < 256; ++m)
        if (!refused->second.count(m)) mods.push_back({static_cast<int>(m), 0});
    }
    if (mods.empty()) continue;
    XIGrabKeycode(d, impl_->keyboard, code, root, XIGrabModeSync, XIGrabModeAsync, False, &mask,
                  static_cast<int>(mods.size()), mods.data());
    impl_->grabbedKeys.push_back(static_cast<unsigned>(code));
  }
  XSync(d, False);
  impl_->grabState = GrabState::perKey;

  // Typing keys another client holds as they are typed (alone, with Shift,
  // under Caps Lock or Num Lock) cannot be held for a switch: say which.
  std::vector<std::string> typingKeys;
  for (const auto& [code, combos] : impl_->refusedCombos) {
    auto vk = keyCodeForX(code);
    if (!vk) continue;
    const KeySym sym = XkbKeycodeToKeysym(d, static_cast<KeyCode>(code), 0, 0);
    // A key that types text, or one the engine switches with.
    const uint32_t cp = sym != NoSymbol ? xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(sym)) : 0;
    const bool switcher = *vk == keycode::capsLock || *vk == keycode::grave || *vk == keycode::f19;
    if (!switcher && (isModifierKey(*vk) || cp < 0x20 || cp == 0x7f)) continue;
    bool typing = false;
    for (unsigned m : combos) typing = typing || (m & ~(ShiftMask | LockMask | Mod2Mask)) == 0;
    if (!typing) continue;
    const char* name = sym != NoSymbol ? XKeysymToString(sym) : nullptr;
    typingKeys.push_back(name ? name : std::to_string(code));
  }
  setKeysHeldByOthers(typingKeys);
  {
    std::lock_guard lock(mutex_);
    heldCombos_ = impl_->refusedCombos;
  }
  logLine("X11: another client holds " + std::to_string(combosLeft) + " key combinations on " +
          std::to_string(impl_->refusedCombos.size()) +
          " keys - they are left to it; every other key and combination is grabbed");
  if (!typingKeys.empty()) {
    std::string names;
    for (const auto& n : typingKeys) names += (names.empty() ? "" : ", ") + n;
    logLine("X11: keyboard grab partial - another client holds the typing keys " + names +
            "; they are listened to and cannot be held or swallowed");
  }
}

void X11EventSystem::setKeysHeldByOthers(std::vector<std::string> keys) {
  std::lock_guard lock(mutex_);
  fallback_ = !keys.empty();
  keysHeldByOthers_ = std::move(keys);
}

bool X11EventSystem::comboHeldByOthers(uint16_t keyCode, uint64_t modifierFlags) const {
  auto xkc = xKeyCodeFor(keyCode);
  if (!xkc) return false;
  unsigned mods = 0;
  for (const auto& [flag, xm] : kPostedModifiers)
    if (modifierFlags & flag) mods |= xm.first;
  std::lock_guard lock(mutex_);
  auto it = heldCombos_.find(*xkc);
  // Held as pressed with Num Lock on or off counts.
  return it != heldCombos_.end() && (it->second.count(mods) || it->second.count(mods | Mod2Mask));
}

std::vector<std::string> X11EventSystem::keysHeldByOthers() const {
  std::lock_guard lock(mutex_);
  return keysHeldByOthers_;
}

// The modifier state a passive grab would be matched with for a press
// coming now, as the raw events tell it (the server's own state may lag
// behind while the keyboard is frozen).
unsigned X11EventSystem::rawGrabModifiers() const {
  unsigned m = 0;
  XkbStateRec s{};
  if (XkbGetState(impl_->grab, XkbUseCoreKbd, &s) == Success) m = (s.locked_mods | s.latched_mods) & 0xff;
  for (uint16_t vk : impl_->rawModifiersDown) {
    switch (vk) {
      case keycode::shift: case keycode::rightShift: m |= ShiftMask; break;
      case keycode::control: case keycode::rightControl: m |= ControlMask; break;
      case keycode::option: case keycode::rightOption: m |= Mod1Mask; break;
      case keycode::command: m |= Mod4Mask; break;
      case keycode::capsLock: m |= LockMask; break;
      default: break;
    }
  }
  return m;
}

Event X11EventSystem::eventFromX(unsigned xKeyCode, unsigned state, bool press) const {
  Event e;
  auto vk = keyCodeForX(xKeyCode);
  e.keyCode = vk.value_or(0);
  e.type = press ? EventType::keyDown : EventType::keyUp;
  e.flags = flagsFromXState(state);
  e.timestamp = monotonicNow();
  if (vk == keycode::capsLock && capsAsF19_) {
    e.keyCode = keycode::f19;
    e.flags = (e.flags & ~flags::capsLock) | flags::fn;
    // The server locks on the press, or unlocks on the release when it was
    // locked; a remapped key would do neither. The press's event carries the
    // state before it, which is put back after each half.
    // The press locks, and the release unlocks only what was locked before
    // the press; the engine may set the lock itself in between (a long
    // press), which the release must not undo.
    bool lock = impl_->capsWasOn;
    if (press) {
      impl_->capsWasOn = lock = state & LockMask;
    } else if (impl_->lockedBeforeRelease) {
      lock = *impl_->lockedBeforeRelease;
    } else if (!impl_->capsWasOn) {
      // The release changed nothing: leave the lock as it stands.
      XkbStateRec s{};
      lock = XkbGetState(impl_->grab, XkbUseCoreKbd, &s) == Success && (s.locked_mods & LockMask);
    }
    if (lock) e.flags |= flags::capsLock;
    XkbLockModifiers(impl_->grab, XkbUseCoreKbd, LockMask, lock ? LockMask : 0);
    // The engine reads the lock on a connection of its own as soon as it is
    // shown this key (the state at a press decides what a long press does):
    // the server must have put the lock back by then.
    XSync(impl_->grab, False);
    return e;
  }
  if (vk) e.flags |= keyClassFlags(*vk);
  if (vk && isModifierKey(*vk)) {
    e.type = EventType::flagsChanged;
    uint64_t bit = modifierBitOf(*vk);
    if (press) e.flags |= bit;
    else e.flags &= ~bit;
    if (*vk == keycode::capsLock) {
      // The server has already toggled the lock when the press reaches us.
      XkbStateRec s{};
      if (XkbGetState(impl_->grab, XkbUseCoreKbd, &s) == Success) {
        if (s.locked_mods & LockMask) e.flags |= flags::capsLock;
        else e.flags &= ~flags::capsLock;
      }
    }
    return e;
  }
  if (press) {
    KeySym sym = NoSymbol;
    unsigned int consumed = 0;
    if (XkbLookupKeySym(impl_->grab, static_cast<KeyCode>(xKeyCode), state, &consumed, &sym) && sym != NoSymbol) {
      char buf[16] = {};
      int n = xkb_keysym_to_utf8(static_cast<xkb_keysym_t>(sym), buf, sizeof buf);
      if (n > 1 && static_cast<unsigned char>(buf[0]) >= 0x20 && buf[0] != 0x7f) e.unicode = buf;
    }
  }
  return e;
}

unsigned X11EventSystem::serverKeyState() const {
  XkbStateRec s{};
  if (XkbGetState(impl_->grab, XkbUseCoreKbd, &s) != Success) return 0;
  return keyState(s.mods, s.locked_mods | s.latched_mods, s.group, capsAsF19_);
}

std::optional<X11EventSystem::LedgerEntry> X11EventSystem::takeFromLedger(unsigned xKeyCode, bool press) {
  std::lock_guard lock(mutex_);
  const double now = monotonicNow();
  while (!ledger_.empty() && now - ledger_.front().postedAt > options_.ledgerLifetimeSeconds) ledger_.pop_front();
  auto it = std::find_if(ledger_.begin(), ledger_.end(),
                         [&](const LedgerEntry& e) { return e.xKeyCode == xKeyCode && e.press == press; });
  if (it == ledger_.end()) return std::nullopt;
  LedgerEntry entry = *it;
  ledger_.erase(it);
  return entry;
}

void X11EventSystem::onKeyPress(unsigned xkc, unsigned state) {
  Display* d = impl_->grab;
  impl_->releasedThroughGrab.erase(xkc);
  if (!impl_->activeGrab) {
    impl_->activeGrab = true;
    impl_->grabKey = xkc;
  }
  const bool repeat = impl_->keysDown.count(xkc) > 0;
  impl_->keysDown.insert(xkc);
  uint64_t serial;
  Event event;
  {
    std::lock_guard lock(mutex_);
    if (pendingSerial_ != 0) {
      // Cannot happen while the keyboard is frozen; never leave it waiting.
      impl_->allow(XIReplayDevice);
      impl_->activeGrab = false;
      XFlush(d);
      return;
    }
  }
  if (auto own = takeFromLedger(xkc, true)) {
    // A key its poster tagged as its own goes on at once, as one that is
    // passed through: the tap passes such keys untouched, so it is only shown
    // them, and they never wait for a turn of the main queue.
    if (own->passThrough || own->event.isTagged()) {
      impl_->allow(XIReplayDevice);
      impl_->activeGrab = false;
      XFlush(d);
      if (!own->passThrough) deliver(own->event.type, std::move(own->event), false, 0);
      return;
    }
    event = own->event;
  } else {
    if (!keyCodeForX(xkc)) {
      impl_->allow(XIReplayDevice);
      impl_->activeGrab = false;
      XFlush(d);
      return;
    }
    event = eventFromX(xkc, state, true);
    event.autorepeat = repeat && event.type == EventType::keyDown;
  }
  {
    std::lock_guard lock(mutex_);
    serial = nextSerial_++;
    pendingSerial_ = serial;
    pendingXKeyCode_ = xkc;
    pendingDeadline_ = monotonicNow() + options_.handlerBudgetSeconds;
  }
  deliver(event.type, std::move(event), true, serial);
}

void X11EventSystem::onRawEvent(int evtype, unsigned detail, int) {
  if (evtype == XI_RawButtonPress) {
    EventType type = detail == 1 ? EventType::leftMouseDown
                     : detail == 3 ? EventType::rightMouseDown
                     : detail == 2 ? EventType::otherMouseDown
                                   : EventType::null;
    if (type == EventType::null) return;  // wheel steps
    Event e;
    e.type = type;
    e.timestamp = monotonicNow();
    Window rootRet, childRet;
    int rx = 0, ry = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    if (XQueryPointer(impl_->grab, DefaultRootWindow(impl_->grab), &rootRet, &childRet, &rx, &ry, &wx, &wy, &mask)) {
      e.x = rx;
      e.y = ry;
      e.flags = flagsFromXState(mask);
    }
    deliver(type, e, false, 0);
    return;
  }
  const bool press = evtype == XI_RawKeyPress;
  if (auto vk = keyCodeForX(detail); vk && isModifierKey(*vk)) {
    if (press) impl_->rawModifiersDown.insert(*vk);
    else impl_->rawModifiersDown.erase(*vk);
  }
  if (impl_->grabState == GrabState::none) {
    onUngrabbedRawKey(detail, press);
    if (press) return;
  }
  if (!press) {
    if (impl_->releasedThroughGrab.erase(detail)) return;
    const unsigned state = serverKeyState();
    onRelease(detail, state);
    return;
  }
  impl_->releasedThroughGrab.erase(detail);
  {
    // Presses come through the grab; only those another client's grab
    // took are reported from here, as heard only.
    if (impl_->grabState != GrabState::perKey) return;
    // While a key of ours keeps the keyboard grabbed, presses come through
    // the grab too.
    if (impl_->activeGrab) return;
    auto refused = impl_->refusedCombos.find(detail);
    if (refused == impl_->refusedCombos.end() || !refused->second.count(rawGrabModifiers())) return;
    impl_->keysDown.insert(detail);
    impl_->listenOnlyDown.insert(detail);
  }
  {
    std::lock_guard lock(mutex_);
    if (!wantsGrab()) return;
  }
  Event event;
  if (auto own = takeFromLedger(detail, press)) {
    if (own->passThrough) return;
    event = own->event;
  } else {
    if (!keyCodeForX(detail)) return;
    const unsigned state = serverKeyState();
    event = eventFromX(detail, state, press);
  }
  event.listenOnly = true;
  deliver(event.type, std::move(event), false, 0);
}

// With no tap filtering (paused, or before the first), keys reach the focus
// untouched, Caps Lock included (it locks as usual: taking it as the
// switcher key is the tap's work); the global key-down monitors still hear
// the user's presses.
void X11EventSystem::onUngrabbedRawKey(unsigned xKeyCode, bool press) {
  auto vk = keyCodeForX(xKeyCode);
  if (!vk) return;
  if (!press) return;
  if (takeFromLedger(xKeyCode, true)) return;  // our own key
  const unsigned state = serverKeyState();
  Event event = eventFromX(xKeyCode, state, true);
  if (event.type != EventType::keyDown) return;
  // The modifiers as the raw events had them when this key came: by now
  // the server's may have moved on (a chord released quickly).
  event.flags &= ~(flags::shift | flags::control | flags::option | flags::command | flags::fn);
  for (uint16_t m : impl_->rawModifiersDown) event.flags |= modifierBitOf(m);
  event.flags |= keyClassFlags(event.keyCode);
  std::weak_ptr<std::atomic<bool>> alive = alive_;
  main_.post([this, alive, event] {
    auto flag = alive.lock();
    if (flag && *flag) notifyMonitors(event);
  });
}

// On the main queue.
void X11EventSystem::notifyMonitors(const Event& event) {
  std::erase_if(globalMonitors_, [](const auto& w) { return w.expired(); });
  for (auto& weak : globalMonitors_)
    if (auto cb = weak.lock()) (*cb)(event);
}

void X11EventSystem::onRelease(unsigned xKeyCode, unsigned state) {
  impl_->keysDown.erase(xKeyCode);
  const bool listenOnly = impl_->listenOnlyDown.erase(xKeyCode) > 0;
  if (auto it = impl_->changedDown.find(xKeyCode); it != impl_->changedDown.end()) {
    fakeKey(it->second, false, Event{}, true);
    XFlush(impl_->grab);
    impl_->changedDown.erase(it);
  }
  {
    std::lock_guard lock(mutex_);
    if (!wantsGrab()) return;
  }
  Event event;
  if (auto own = takeFromLedger(xKeyCode, false)) {
    if (own->passThrough) return;
    event = own->event;
  } else {
    if (!keyCodeForX(xKeyCode)) return;
    event = eventFromX(xKeyCode, state, false);
  }
  event.listenOnly = listenOnly;
  deliver(event.type, std::move(event), false, 0);
}

void X11EventSystem::timeOut() {
  Display* d = impl_->grab;
  {
    std::lock_guard lock(mutex_);
    if (pendingSerial_ == 0) return;
    impl_->allow(XIReplayDevice);
    impl_->activeGrab = false;
    pendingSerial_ = 0;
    for (auto& [id, tap] : taps_)
      if (tap.options == TapOptions::defaultTap) tap.enabled = false;
  }
  XFlush(d);
  logLine("X11: the key handler did not answer within its time budget - the key passed and the tap is disabled");
  updateGrab();
  Event e;
  e.type = EventType::tapDisabledByTimeout;
  e.timestamp = monotonicNow();
  deliver(EventType::tapDisabledByTimeout, e, false, 0);
}

// --------------------------------------------------------- the main side

void X11EventSystem::deliver(EventType type, Event event, bool answerable, uint64_t serial) {
  std::weak_ptr<std::atomic<bool>> alive = alive_;
  main_.post([this, alive, type, event = std::move(event), answerable, serial] {
    auto flag = alive.lock();
    if (!flag || !*flag) return;
    if (answerable) {
      std::lock_guard lock(mutex_);
      // Already passed by the watchdog: the key is gone, do not ask about it.
      if (pendingSerial_ != serial) return;
    }
    std::vector<std::pair<TapId, TapCallback>> callbacks;
    {
      std::lock_guard lock(mutex_);
      const bool disabledNotice = static_cast<uint32_t>(type) >= 0xFFFFFFFEu;
      for (const auto& [id, tap] : taps_) {
        if (!tap.valid || !tap.attached) continue;
        if (disabledNotice ? tap.options != TapOptions::defaultTap : !tap.enabled) continue;
        if (!disabledNotice && !(tap.mask & eventMaskBit(type))) continue;
        callbacks.emplace_back(id, tap.callback);
      }
    }
    std::optional<Event> result = event;
    for (auto& [id, callback] : callbacks) {
      if (!result) break;
      auto out = callback(id, type, *result);
      if (answerable) result = std::move(out);
    }
    if (!answerable) return;
    // A key given other text (typed in the layout being switched to) is
    // posted again with that text: replayed, it would type what the server's
    // state gives it.
    const bool unchanged = result && result->type == event.type && result->keyCode == event.keyCode &&
                           result->flags == event.flags && result->unicode == event.unicode;
    if (unchanged && type == EventType::keyDown && !event.isTagged()) notifyMonitors(event);
    if (unchanged) {
      Event pass = event;
      pass.type = EventType::null;  // marks "replay the frozen press as it was"
      answer(serial, pass);
    } else {
      // Text the callback left as it was describes the key it pressed, not
      // the key it changed it into: that one goes by its code.
      if (result && result->unicode == event.unicode) result->unicode.clear();
      answer(serial, std::move(result));
    }
  });
}

void X11EventSystem::answer(uint64_t serial, std::optional<Event> result) {
  {
    std::lock_guard lock(mutex_);
    if (serial != pendingSerial_) return;
    decision_ = Decision{serial, std::move(result)};
  }
  wake();
}

Subscription X11EventSystem::addGlobalKeyDownMonitor(std::function<void(const Event&)> handler) {
  auto holder = std::make_shared<std::function<void(const Event&)>>(std::move(handler));
  globalMonitors_.push_back(holder);
  return Subscription(holder);
}

void X11EventSystem::post(TapLocation, const Event& event) {
  if (honourNextSourceHotKey(event)) return;
  {
    std::lock_guard lock(mutex_);
    postQueue_.push_back(event);
  }
  wake();
}

void X11EventSystem::setNextSourceHotKey(std::function<bool()> bound) {
  std::lock_guard lock(hotKeyMutex_);
  nextSourceHotKeyBound_ = std::move(bound);
}

// Whether the event is the next-source hot key while it is bound; its press
// then locks the next group, and neither half goes further. Run where the
// engine posts it, before post() returns: the engine's confirmation reads the
// group at once, and every key posted after it is typed in the new group.
bool X11EventSystem::honourNextSourceHotKey(const Event& event) {
  if (event.keyCode != keycode::f19 || !event.isTagged() || (event.flags & ~flags::fn & flags::modifierMask) ||
      !(event.flags & flags::fn) || (event.type != EventType::keyDown && event.type != EventType::keyUp))
    return false;
  std::function<bool()> bound;
  {
    std::lock_guard lock(hotKeyMutex_);
    bound = nextSourceHotKeyBound_;
  }
  if (!bound || !bound()) return false;
  if (event.type == EventType::keyUp) return true;
  // Keys posted before it reach the server first.
  flush();
  std::lock_guard lock(impl_->queryMutex);
  Display* d = impl_->query;
  XkbStateRec s{};
  int groups = 1;
  if (XkbDescPtr xkb = XkbGetMap(d, 0, XkbUseCoreKbd)) {
    if (XkbGetControls(d, XkbGroupsWrapMask, xkb) == Success && xkb->ctrls) groups = xkb->ctrls->num_groups;
    XkbFreeKeyboard(xkb, 0, True);
  }
  if (XkbGetState(d, XkbUseCoreKbd, &s) != Success || groups < 2) {
    logLine("X11: the next-source hot key found a single keyboard group - nothing to switch to");
    return true;
  }
  const unsigned next = (static_cast<unsigned>(s.locked_group) + 1) % static_cast<unsigned>(groups);
  XkbLockGroup(d, XkbUseCoreKbd, next);
  XSync(d, False);
  return true;
}

// On the grab thread.
std::optional<unsigned> X11EventSystem::postOnGrabConnection(const Event& event, bool passThrough) {
  // The server keeps the modifier state itself, so a modifier resync has
  // nothing to post; mouse events are never posted by the engine.
  if (event.type != EventType::keyDown && event.type != EventType::keyUp) return std::nullopt;
  if (event.type == EventType::keyUp) {
    if (auto it = impl_->releasedWithPress.find(event.keyCode); it != impl_->releasedWithPress.end()) {
      // Its press was posted with its release.
      if (--it->second == 0) impl_->releasedWithPress.erase(it);
      return std::nullopt;
    }
  }
  auto xkc = xKeyCodeFor(event.keyCode);
  Display* d = impl_->grab;
  if (event.type == EventType::keyDown && carriesText(event) &&
      (!xkc || typesOtherText(*xkc, event) || isDownOnServer(*xkc))) {
    if (typeText(event, passThrough)) {
      // The engine posts the release of its own keys; a user's key retyped
      // here is released by the user.
      if (!passThrough) ++impl_->releasedWithPress[event.keyCode];
      XFlush(d);
      return std::nullopt;
    }
  }
  if (!xkc) {
    logLine("X11: cannot post key code " + std::to_string(event.keyCode) + " - no X key for it");
    return std::nullopt;
  }
  std::vector<unsigned> helpers;
  const bool wantsModifiers = std::any_of(std::begin(kPostedModifiers), std::end(kPostedModifiers),
                                          [&](const auto& m) { return (event.flags & m.first) != 0; });
  if (event.type == EventType::keyDown && wantsModifiers) {
    XkbStateRec s{};
    unsigned mods = XkbGetState(d, XkbUseCoreKbd, &s) == Success ? s.base_mods : 0;
    for (const auto& [flag, xm] : kPostedModifiers)
      if ((event.flags & flag) && !(mods & xm.first))
        if (auto h = xKeyCodeFor(xm.second)) helpers.push_back(*h);
  }
  Event helper;
  for (unsigned h : helpers) fakeKey(h, true, helper, true);
  fakeKey(*xkc, event.type == EventType::keyDown, event, passThrough);
  if (event.type == EventType::keyDown && !passThrough && event.isTagged()) {
    // A key the engine types itself (a held key replayed, its hot key) is
    // released at once, as a tap. The server takes a press of a key that is
    // still down as no press at all, and our keys share the XTest device and
    // the master keyboard with the user's: a key left down until the poster's
    // release (a replay spacing later, and later still behind a frozen
    // press) would swallow the user's next press of that key before any grab
    // saw it. The release the poster sends later posts nothing; the tap sees
    // this one. The user's own keys posted again keep their rhythm: the
    // engine follows those back through the tap one by one.
    Event up = event;
    up.type = EventType::keyUp;
    fakeKey(*xkc, false, up, false);
    ++impl_->releasedWithPress[event.keyCode];
  }
  for (auto it = helpers.rbegin(); it != helpers.rend(); ++it) fakeKey(*it, false, helper, true);
  XFlush(d);
  return *xkc;
}

// Whether the key is down on the server now. A key held for a switch is
// replayed while the user may still be holding it (a quick typist's key
// is down some 30 ms); the server takes a press of a key that is already down
// as no press at all, and the replay's release would then end the user's
// press: the key would be lost. Such a key goes out as its text instead.
bool X11EventSystem::isDownOnServer(unsigned xKeyCode) {
  char keys[32] = {};
  XQueryKeymap(impl_->grab, keys);
  return xKeyCode < 256 && (keys[xKeyCode / 8] & (1 << (xKeyCode % 8)));
}

// Text typed by the engine (a retyped word, a key re-targeted to the layout
// being switched to) must reach the focus as that text, whatever the server's
// group is when the key arrives and whether or not the layout has a key for
// it (a consonant with its vowel mark has none). Shortcuts and control
// characters go by key.
bool X11EventSystem::carriesText(const Event& event) {
  if (event.unicode.empty() || (event.flags & (flags::control | flags::command))) return false;
  const auto first = static_cast<unsigned char>(event.unicode[0]);
  return first >= 0x20 && first != 0x7f;
}

// Whether the key, pressed now with the event's modifiers, would type
// something other than the event's text.
bool X11EventSystem::typesOtherText(unsigned xKeyCode, const Event& event) {
  Display* d = impl_->grab;
  XkbStateRec s{};
  if (XkbGetState(d, XkbUseCoreKbd, &s) != Success) return true;
  // The Lock the focus will read the key with: a held Caps Lock's too.
  unsigned state = s.mods & LockMask;
  for (const auto& [flag, xm] : kPostedModifiers)
    if (event.flags & flag) state |= xm.first;
  state |= (static_cast<unsigned>(s.group) & 3u) << 13;
  KeySym sym = NoSymbol;
  unsigned consumed = 0;
  if (!XkbLookupKeySym(d, static_cast<KeyCode>(xKeyCode), state, &consumed, &sym) || sym == NoSymbol) return true;
  char buf[16] = {};
  xkb_keysym_to_utf8(static_cast<xkb_keysym_t>(sym), buf, sizeof buf);
  return event.unicode != buf;
}

// Whether Lock is active only because Caps Lock, taken as F19, is held, and
// the key would type other text under it than the event's.
bool X11EventSystem::typesOtherTextUnderHeldCapsLock(unsigned xKeyCode, const Event& event) {
  static const unsigned capsLock = xKeyCodeFor(keycode::capsLock).value_or(0);
  if (!capsAsF19_ || !impl_->keysDown.count(capsLock) || !carriesText(event)) return false;
  XkbStateRec s{};
  if (XkbGetState(impl_->grab, XkbUseCoreKbd, &s) != Success) return false;
  const bool heldLockOnly = (s.mods & LockMask) && !((s.locked_mods | s.latched_mods) & LockMask);
  return heldLockOnly && typesOtherText(xKeyCode, event);
}

// Types each character of the event's text on a key code no layout uses,
// mapped for the moment to that character alone (so every group and
// modifier types it). A key code is not mapped to another character while
// its earlier keys may still wait behind the grab: the focus reads the
// mapping when the key reaches it, not when it was posted.
bool X11EventSystem::typeText(const Event& event, bool passThrough) {
  if (!impl_->sparesSearched) findSpareKeyCodes();
  if (impl_->spares.empty()) {
    logLine("X11: no free key code to type text on - the key is posted by its code");
    return false;
  }
  std::vector<uint32_t> codePoints = utf8CodePoints(event.unicode);
  if (codePoints.empty()) return false;
  Event up = event;
  up.type = EventType::keyUp;
  bool first = true;
  for (uint32_t cp : codePoints) {
    auto spare = spareFor(static_cast<unsigned long>(xkb_utf32_to_keysym(cp)));
    if (!spare) return false;
    // The engine sees its key come back once; the other characters of a
    // cluster pass straight on.
    fakeKey(*spare, true, event, passThrough || !first);
    fakeKey(*spare, false, up, passThrough || !first);
    first = false;
  }
  return true;
}

std::vector<uint32_t> X11EventSystem::utf8CodePoints(const std::string& text) {
  std::vector<uint32_t> out;
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const int n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (n == 0 || i + n > text.size()) return {};
    uint32_t cp = n == 1 ? c : c & (0x7f >> n);
    for (int k = 1; k < n; ++k) {
      const auto cc = static_cast<unsigned char>(text[i + k]);
      if ((cc & 0xc0) != 0x80) return {};
      cp = (cp << 6) | (cc & 0x3f);
    }
    out.push_back(cp);
    i += n;
  }
  return out;
}

// Key codes with no symbol in any group; the keymap's own keys are never
// touched.
void X11EventSystem::findSpareKeyCodes() {
  Display* d = impl_->grab;
  impl_->sparesSearched = true;
  int minCode = 8, maxCode = 255;
  XDisplayKeycodes(d, &minCode, &maxCode);
  int perCode = 0;
  KeySym* syms = XGetKeyboardMapping(d, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &perCode);
  if (!syms) return;
  // From the top down: the high key codes are the ones no keyboard sends.
  for (int code = maxCode; code >= minCode; --code) {
    bool empty = true;
    for (int k = 0; k < perCode && empty; ++k) empty = syms[(code - minCode) * perCode + k] == NoSymbol;
    if (empty && !keyCodeForX(static_cast<unsigned>(code))) impl_->spares.push_back({static_cast<unsigned>(code)});
    if (impl_->spares.size() >= kMaxSpareKeyCodes) break;
  }
  XFree(syms);
}

// A spare key code that types the symbol: one already mapped to it, else
// the least recently used one with nothing of it still in flight.
std::optional<unsigned> X11EventSystem::spareFor(unsigned long keysym) {
  Display* d = impl_->grab;
  auto& spares = impl_->spares;
  // The one symbol the key types, NoSymbol for none, ~0 for a key of the
  // keymap's own (the core view repeats a one-group key's symbol in the
  // other groups' columns).
  auto currentSym = [&](unsigned code) {
    int per = 0;
    KeySym* got = XGetKeyboardMapping(d, static_cast<KeyCode>(code), 1, &per);
    KeySym sym = NoSymbol;
    bool onlyOne = true;
    for (int k = 0; got && k < per; ++k) {
      if (got[k] == NoSymbol) continue;
      if (sym == NoSymbol) sym = got[k];
      else onlyOne = onlyOne && got[k] == sym;
    }
    if (got) XFree(got);
    return onlyOne ? sym : static_cast<KeySym>(~0ul);
  };
  ++impl_->spareClock;
  for (auto& spare : spares) {
    // The keymap may have been replaced since (a layout change resets it).
    if (spare.keysym == keysym && currentSym(spare.code) == keysym) {
      spare.lastUsed = impl_->spareClock;
      return spare.code;
    }
  }
  auto inFlight = [&](unsigned code) {
    std::lock_guard lock(mutex_);
    const double now = monotonicNow();
    return std::any_of(ledger_.begin(), ledger_.end(), [&](const LedgerEntry& e) {
      return e.xKeyCode == code && now - e.postedAt <= options_.ledgerLifetimeSeconds;
    });
  };
  SpareKey* pick = nullptr;
  for (auto& spare : spares) {
    if (inFlight(spare.code)) continue;
    if (!pick || spare.lastUsed < pick->lastUsed) pick = &spare;
  }
  if (!pick) {
    logLine("X11: every free key code is still in use - a typed character may be wrong");
    pick = &*std::min_element(spares.begin(), spares.end(),
                              [](const SpareKey& a, const SpareKey& b) { return a.lastUsed < b.lastUsed; });
  }
  const KeySym now = currentSym(pick->code);
  if (now != NoSymbol && now != pick->keysym) {
    // Taken by a keymap loaded since: never ours to change again.
    std::erase_if(spares, [&](const SpareKey& s) { return s.code == pick->code; });
    return spares.empty() ? std::nullopt : spareFor(keysym);
  }
  if (!mapSpare(d, pick->code, keysym)) {
    KeySym sym = keysym;
    XChangeKeyboardMapping(d, static_cast<int>(pick->code), 1, &sym, 1);
  }
  pick->keysym = keysym;
  pick->lastUsed = impl_->spareClock;
  impl_->sparesChanged = true;
  return pick->code;
}

// Quit: the key codes we mapped type nothing again.
void X11EventSystem::restoreSpareKeyCodes() {
  if (!impl_->sparesChanged) return;
  Display* d = impl_->grab;
  for (auto& spare : impl_->spares) {
    if (spare.keysym == NoSymbol) continue;
    KeySym none = NoSymbol;
    XChangeKeyboardMapping(d, static_cast<int>(spare.code), 1, &none, 1);
    spare.keysym = NoSymbol;
  }
  impl_->sparesChanged = false;
}

void X11EventSystem::fakeKey(unsigned xKeyCode, bool press, const Event& event, bool passThrough) {
  {
    std::lock_guard lock(mutex_);
    ledger_.push_back(LedgerEntry{xKeyCode, press, passThrough, event, monotonicNow()});
  }
  XTestFakeKeyEvent(impl_->grab, xKeyCode, press ? True : False, CurrentTime);
}

uint64_t X11EventSystem::hardwareModifierFlags() const {
  std::lock_guard lock(impl_->queryMutex);
  XkbStateRec s{};
  if (XkbGetState(impl_->query, XkbUseCoreKbd, &s) != Success) return 0;
  return flagsFromXState(keyState(s.mods, s.locked_mods | s.latched_mods, 0, capsAsF19_));
}

std::pair<double, double> X11EventSystem::mouseLocation() const {
  std::lock_guard lock(impl_->queryMutex);
  Display* d = impl_->query;
  Window rootRet, childRet;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  if (!XQueryPointer(d, DefaultRootWindow(d), &rootRet, &childRet, &rx, &ry, &wx, &wy, &mask)) return {0, 0};
  return {static_cast<double>(rx), static_cast<double>(ry)};
}

}  // namespace tessa
