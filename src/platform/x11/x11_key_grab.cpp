// The keyboard grabs: XInput2 passive grabs of the keys the engine decides
// on its own, and, while it holds keys, of every key (those another client
// holds some combinations of, on the focused window); and which
// of the typing keys that leaves to the other client.
#include "platform/x11/x11_event_system_internal.h"

#include <X11/Xlib-xcb.h>
#include <xcb/xinput.h>
#include <xkbcommon/xkbcommon.h>

#include <string>

namespace tessa {

using namespace x11_detail;

namespace {

// XInput2 grabs do not collide with other clients' core grabs, so a core
// grab, released at once, tells whether another client holds the key (or,
// for AnyKey, some key) already. The probes run with the server held: a
// window manager starting beside us and grabbing its keys while a probe
// held them would be refused its bindings for good.
bool heldByAnotherClient(Display* d, int xKeyCode, Window root, ErrorTrap& trap) {
  XGrabServer(d);
  XGrabKey(d, xKeyCode, AnyModifier, root, False, GrabModeAsync, GrabModeSync);
  XUngrabKey(d, xKeyCode, AnyModifier, root);
  XUngrabServer(d);
  const bool refused = trap.error() != 0;
  gTrappedError = 0;
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
  XGrabServer(d);
  for (const auto& [code, mods] : tries) {
    serials.push_back(NextRequest(d));
    XGrabKey(d, code, mods, root, False, GrabModeAsync, GrabModeAsync);
  }
  XUngrabKey(d, AnyKey, AnyModifier, root);  // ours only
  XUngrabServer(d);
  XSync(d, False);
  XSetErrorHandler(previous);
  std::set<unsigned long> refused(gRefusedSerials.begin(), gRefusedSerials.end());
  std::vector<bool> out;
  out.reserve(tries.size());
  for (unsigned long serial : serials) out.push_back(refused.count(serial) > 0);
  return out;
}

}  // namespace

void X11EventSystem::updateGrab() {
  Display* d = impl_->grab;
  bool want, hold;
  uint64_t generation;
  std::vector<DecidedKey> keys;
  {
    std::lock_guard lock(mutex_);
    want = wantsGrab();
    hold = keyboardHeld_;
    generation = decidedGeneration_;
    keys = decidedKeys_;
  }
  const Window root = DefaultRootWindow(d);
  if (want && !impl_->grabbing) {
    probeKeysHeldByOthers();
    impl_->grabbing = true;
    impl_->decidedApplied = 0;
  } else if (!want && impl_->grabbing) {
    {
      std::lock_guard lock(mutex_);
      if (pendingSerial_) {
        impl_->allow(XIReplayDevice);
        impl_->activeGrab = false;
        pendingSerial_ = 0;
        decision_.reset();
      }
    }
    if (impl_->holding) releaseEveryKey();
    ungrabDecidedKeys();
    ungrabOneKey(XIAnyKeycode, root);
    XIUngrabDevice(d, impl_->keyboard, CurrentTime);  // the passive grabs are gone, so this ends only ours
    impl_->activeGrab = false;
    impl_->grabbing = false;
    settleRawPresses();
    XFlush(d);
    return;
  }
  if (!want) return;
  if (impl_->decidedApplied != generation) {
    // A hold leaves out the decided keys' own combinations: it is made
    // again around them.
    const bool held = impl_->holding;
    if (held) releaseEveryKey();
    grabDecidedKeys(keys);
    impl_->decidedApplied = generation;
    if (held) holdEveryKey();
  }
  if (hold && !impl_->holding) holdEveryKey();
  else if (!hold && impl_->holding) releaseEveryKey();
}

namespace {

// [ours] The X modifier bits of the engine's modifier flags (Option on
// Mod1, Command on Mod4).
unsigned xModifiersOf(uint64_t f) {
  unsigned m = 0;
  if (f & flags::shift) m |= ShiftMask;
  if (f & flags::capsLock) m |= LockMask;
  if (f & flags::control) m |= ControlMask;
  if (f & flags::option) m |= Mod1Mask;
  if (f & flags::command) m |= Mod4Mask;
  return m;
}

// [ours] The modifiers a decided key may carry besides those it asks for;
// Mod3 (unused) and Mod5 (AltGr) are left out, so that a chord takes 16
// grabs rather than 64.
constexpr unsigned kOtherModifiers = ShiftMask | LockMask | ControlMask | Mod1Mask | Mod2Mask | Mod4Mask;

// The modifier combinations a decided key is grabbed with: every one that
// carries the required bits and none of the refused, less those another
// client holds. XIAnyModifier alone where that is every combination.
std::vector<unsigned> combinationsOf(const DecidedKey& key, const std::set<unsigned>* heldByOthers) {
  const unsigned required = xModifiersOf(key.required), refused = xModifiersOf(key.refused);
  if (!required && !refused && !heldByOthers) return {static_cast<unsigned>(XIAnyModifier)};
  std::vector<unsigned> out;
  for (unsigned m = 0; m < 256; ++m)
    if ((m & required) == required && !(m & refused) && !(m & ~(kOtherModifiers | required)) &&
        !(heldByOthers && heldByOthers->count(m)))
      out.push_back(m);
  return out;
}

}  // namespace

// Each key the engine may act on outside a hold, with the combinations it
// acts on. Caps Lock taken as F19 is ours whatever the engine asks: its
// lock is undone on the frozen press, before the focus could see it.
void X11EventSystem::grabDecidedKeys(const std::vector<DecidedKey>& keys) {
  ungrabDecidedKeys();
  std::vector<DecidedKey> all = keys;
  if (capsAsF19_) all.push_back(DecidedKey{keycode::capsLock, 0, 0});
  std::map<unsigned, std::set<unsigned>> grabs;
  for (const DecidedKey& key : all) {
    auto xkc = xKeyCodeFor(key.keyCode);
    // X has no Fn modifier: a chord that asks for it never comes, and
    // grabbed without it, it would take the key pressed with the rest alone.
    if (!xkc || (key.required & flags::fn)) continue;
    auto refused = impl_->refusedCombos.find(*xkc);
    for (unsigned m : combinationsOf(key, refused == impl_->refusedCombos.end() ? nullptr : &refused->second))
      grabs[*xkc].insert(m);
  }
  const Window root = DefaultRootWindow(impl_->grab);
  for (auto& [code, combos] : grabs) {
    std::vector<unsigned> list = combos.count(static_cast<unsigned>(XIAnyModifier))
                                     ? std::vector<unsigned>{static_cast<unsigned>(XIAnyModifier)}
                                     : std::vector<unsigned>(combos.begin(), combos.end());
    grabOneKey(code, root, list);
    impl_->decidedGrabs[code] = std::move(list);
  }
}

void X11EventSystem::ungrabDecidedKeys() {
  for (const auto& [code, combos] : impl_->decidedGrabs)
    ungrabOneKey(code, DefaultRootWindow(impl_->grab));
  impl_->decidedGrabs.clear();
}

// Every key, for a hold: on a frozen press, before it is let go, so that
// every key typed after it comes to the tap. One grab of every key on the
// root, less the keys another client holds some combinations of there
// (a window manager's shortcuts); those are grabbed whole on the window
// that has the focus, where the server looks only once the root's grabs
// passed the key by. A key of those typed into another window during the
// hold (the focus moved meanwhile) is heard only.
// Few and cheap requests: the server looks through every grab on the window
// at each one. Grabbed on the root key by key, a hold under a window manager
// took some 250 grabs; with the other client's combinations taken out of
// the root's grabs one by one, some 150 requests that held the server
// 0.7 ms at each hold, and a hot-key conversion was slower by as much. (A
// combination is never taken out of the grab of every key: the X server
// (21.1) crashes splitting such a grab in two.)
void X11EventSystem::holdEveryKey() {
  impl_->holding = true;
  impl_->holdFocus = impl_->refusedCombos.empty() ? 0 : focusedWindow();
  grabForHold(XIAnyKeycode);
}

// The focus, or with the focus following the pointer (or on the root, which
// hands keys to the window under the pointer) the top-level window under
// it; 0 for none. Never the root: a grab there would take the other
// client's combinations.
unsigned long X11EventSystem::focusedWindow() {
  Display* d = impl_->grab;
  Window focus = None;
  int revert = 0;
  XGetInputFocus(d, &focus, &revert);
  if (focus != PointerRoot && focus != DefaultRootWindow(d)) return focus;
  Window root = 0, child = 0;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rx, &ry, &wx, &wy, &mask);
  return child;
}

void X11EventSystem::grabForHold(unsigned code) {
  const Window root = DefaultRootWindow(impl_->grab);
  auto wholeOnFocus = [&](unsigned key, const std::set<unsigned>& refused) {
    if (impl_->holdFocus && refused.size() < 256) grabOneKey(key, impl_->holdFocus);
  };
  if (code != XIAnyKeycode) {
    auto refused = impl_->refusedCombos.find(code);
    if (refused == impl_->refusedCombos.end()) grabOneKey(code, root);
    else wholeOnFocus(code, refused->second);
    return;
  }
  grabOneKey(XIAnyKeycode, root);
  for (const auto& [key, refused] : impl_->refusedCombos) {
    ungrabOneKey(key, root);
    wholeOnFocus(key, refused);
  }
}

// Letting go of the grab of every key lets go of the decided grabs with it
// (a client's ungrab takes every grab of its own that it covers): they are
// made again right after, with the server held in between. A press the
// server took between the two requests would reach the focus unheld: a
// switcher press typed as the last hold ends (the next switch, right after
// the last one landed) locked Caps Lock in the field instead of switching.
// Held, the server takes no other client's requests, so no key typed
// through XTest can come between; a keyboard's own press still could,
// within the microseconds the two requests take.
void X11EventSystem::releaseEveryKey() {
  const Window root = DefaultRootWindow(impl_->grab);
  impl_->holding = false;
  XGrabServer(impl_->grab);
  ungrabOneKey(XIAnyKeycode, root);
  for (const auto& [key, mods] : impl_->decidedGrabs) grabOneKey(key, root, mods);
  XUngrabServer(impl_->grab);
  if (impl_->holdFocus) ungrabOneKey(XIAnyKeycode, impl_->holdFocus);
  impl_->holdFocus = 0;
}

// Whether another client (a window manager, a desktop's shortcut daemon)
// holds some key combinations on the root. Those are its own: a key is
// grabbed only with the combinations it leaves, so a window manager's
// Super+D still reaches it while a plain D is ours to hold. (A grab of ours
// over every combination would take its shortcuts away; no grab at all
// would leave typed keys unheld, and they would reach the focus before the
// keys held for a switch, and once more when those are replayed.)
void X11EventSystem::probeKeysHeldByOthers() {
  Display* d = impl_->grab;
  const Window root = DefaultRootWindow(d);
  {
    ErrorTrap trap(d);
    if (!heldByAnotherClient(d, AnyKey, root, trap)) {
      impl_->refusedCombos.clear();
      setKeysHeldByOthers({});
      std::lock_guard lock(mutex_);
      heldCombos_.clear();
      return;
    }
  }
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
  size_t combosLeft = 0;
  for (const auto& [code, combos] : impl_->refusedCombos) combosLeft += combos.size();

  // Typing keys another client holds as they are typed (alone, with Shift,
  // under Caps Lock or Num Lock) cannot be held for a switch: say which.
  std::vector<std::string> typingKeys;
  for (const auto& [code, combos] : impl_->refusedCombos) {
    auto vk = keyCodeForX(code);
    if (!vk) continue;
    const KeySym sym = XkbKeycodeToKeysym(d, static_cast<KeyCode>(code), 0, 0);
    // A key that types text, or one the engine switches with.
    const uint32_t cp = sym != NoSymbol ? xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(sym)) : 0;
    const bool switcher = *vk == keycode::capsLock || *vk == keycode::grave || *vk == keycode::f19;  // [design]
    if (!switcher && (isModifierKey(*vk) || cp < 0x20 || cp == 0x7f)) continue;
    bool typing = false;
    for (unsigned m : combos) typing = typing || (m & ~(ShiftMask | LockMask | Mod2Mask)) == 0;  // [ours]
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
          " keys - they are left to it; every other key and combination is ours to grab");
  if (!typingKeys.empty()) {
    std::string names;
    for (const auto& n : typingKeys) names += (names.empty() ? "" : ", ") + n;
    logLine("X11: keyboard grab partial - another client holds the typing keys " + names +
            "; they are listened to and cannot be held or swallowed");
  }
}

// The filtering grab is an XInput2 passive grab, not a core one: a core grab's
// press, and the press it replays to the focus, carry the grab's compatibility
// state, in which the locked group is lost, so a key we pass would reach the
// focused window in the first layout whatever layout the user has locked.
// The XInput2 grab replays the press with the keyboard's own state.
// The grab is on the master keyboard, so the keys we post through XTest pass
// through it too (and wait for the grab thread to let each press on). A grab
// of the user's own (slave) keyboards instead would leave the XTest keyboard
// out, but it cannot both hold a key and pass it on: the server detaches a
// slave for as long as an XInput2 grab of it is active, so a press replayed
// from that grab reaches the slave's own listeners only, never the master nor
// the focused window; under an XInput 1 grab of the slave the master takes
// its copy of the press at once, held or not.
//
// Sent without waiting for the answer, which says only which modifier
// combinations failed and was never looked at (a window gone meanwhile is
// no error worth one either). Waited for, each grab was a
// round trip behind whatever the server was busy with: the keys we had just
// sent around the grab, when their key codes are grabbed again. Xlib sends
// its own queued requests first, so the order holds.
void X11EventSystem::grabOneKey(unsigned code, unsigned long window, const std::vector<unsigned>& modifiers) {
  xcb_connection_t* c = XGetXCBConnection(impl_->grab);
  const uint32_t mask = XCB_INPUT_XI_EVENT_MASK_KEY_PRESS | XCB_INPUT_XI_EVENT_MASK_KEY_RELEASE;
  const uint32_t any = XCB_INPUT_MODIFIER_MASK_ANY;
  std::vector<uint32_t> mods(modifiers.begin(), modifiers.end());
  const auto cookie = xcb_input_xi_passive_grab_device(
      c, XCB_CURRENT_TIME, static_cast<xcb_window_t>(window), XCB_CURSOR_NONE, code,
      static_cast<xcb_input_device_id_t>(impl_->keyboard), mods.empty() ? 1 : static_cast<uint16_t>(mods.size()), 1,
      XCB_INPUT_GRAB_TYPE_KEYCODE, XCB_INPUT_GRAB_MODE_22_SYNC, XCB_INPUT_GRAB_MODE_22_ASYNC,
      XCB_INPUT_GRAB_OWNER_NO_OWNER, &mask, mods.empty() ? &any : mods.data());
  xcb_discard_reply(c, cookie.sequence);
}

// Every combination. Sent as the grabs are, unanswered: a focused window
// may be gone.
void X11EventSystem::ungrabOneKey(unsigned code, unsigned long window) {
  xcb_connection_t* c = XGetXCBConnection(impl_->grab);
  const uint32_t any = XCB_INPUT_MODIFIER_MASK_ANY;
  const auto cookie = xcb_input_xi_passive_ungrab_device_checked(
      c, static_cast<xcb_window_t>(window), code, static_cast<xcb_input_device_id_t>(impl_->keyboard), 1,
      XCB_INPUT_GRAB_TYPE_KEYCODE, &any);
  xcb_discard_reply(c, cookie.sequence);
}

// The engine's own keys go around our grab: the key codes a batch of them
// presses are let go of just before their first press and grabbed again
// once the batch is out (the server takes the requests in order, so every
// key of the user's but those few stays held all along).
bool X11EventSystem::openKeyForOwnKeys(unsigned code) {
  if (impl_->keysOpened.count(code)) return true;
  // Outside a hold no key but the decided ones is grabbed.
  if (!impl_->holding) return false;
  impl_->keysOpened.insert(code);
  ungrabOneKey(code, DefaultRootWindow(impl_->grab));
  if (impl_->holdFocus && impl_->refusedCombos.count(code)) ungrabOneKey(code, impl_->holdFocus);
  return true;
}

// Letting go of a key takes its decided grabs with it: they are made again
// beside the hold's.
void X11EventSystem::closeKeysOpened() {
  const Window root = DefaultRootWindow(impl_->grab);
  for (unsigned code : impl_->keysOpened) {
    if (impl_->holding) grabForHold(code);
    if (auto decided = impl_->decidedGrabs.find(code); decided != impl_->decidedGrabs.end())
      grabOneKey(code, root, decided->second);
  }
  impl_->keysOpened.clear();
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

}  // namespace tessa
