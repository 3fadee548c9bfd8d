// Posting with XTest: the engine's keys (and the callback's replacements) go
// out on the grab thread with the helper modifiers they ask for, or as their
// text when the key would type something else; the next-source hot key is
// honoured before post() returns.
#include "platform/x11/x11_xtest_poster.h"

#include <X11/extensions/XInput2.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <string>
#include <utility>

#include "platform/x11/x11_event_system_internal.h"
#include "platform/x11/x11_posted_ledger.h"
#include "platform/x11/x11_text_typer.h"

namespace tessa {

using namespace x11_detail;

namespace {
// [ours] How long text waits for a borrowed key code still in use.
constexpr double kSpareWait = 0.5;
}  // namespace

void X11EventSystem::post(TapLocation, const Event& event) {
  if (honourNextSourceHotKey(event)) return;
  poster_->enqueue(event);
  wake();
}

void X11EventSystem::postAll(TapLocation location, const std::vector<Event>& events) {
  // The next-source hot key is honoured where it stands among the others.
  if (std::any_of(events.begin(), events.end(), [](const Event& e) { return e.keyCode == keycode::f19; })) {
    for (const auto& event : events) post(location, event);
    return;
  }
  poster_->enqueue(events);
  wake();
}

bool X11EventSystem::ownKeysInFlight() const { return !poster_->ownKeysThrough(); }

void X11EventSystem::whenOwnKeysThrough(std::function<void()> then) {
  {
    std::lock_guard lock(mutex_);
    ownKeysThroughWaiters_.push_back(std::move(then));
  }
  wake();  // they may be through already
}

// On the grab thread, once it has read what the server sent back.
void X11EventSystem::tellOwnKeysThrough() {
  std::vector<std::function<void()>> waiters;
  {
    std::lock_guard lock(mutex_);
    if (ownKeysThroughWaiters_.empty()) return;
  }
  if (!poster_->ownKeysThrough()) return;
  {
    std::lock_guard lock(mutex_);
    waiters.swap(ownKeysThroughWaiters_);
  }
  std::weak_ptr<std::atomic<bool>> alive = alive_;
  main_.post([alive, waiters = std::move(waiters)] {
    auto flag = alive.lock();
    if (!flag || !*flag) return;
    for (const auto& then : waiters) then();
  });
}

void X11EventSystem::setNextSourceHotKey(std::function<bool()> bound) {
  poster_->setNextSourceHotKey(std::move(bound));
}

// Whether the event is the next-source hot key while it is bound; its press
// then locks the next group, and neither half goes further. Run where the
// engine posts it, before post() returns: the engine's confirmation reads the
// group at once, and every key posted after it is typed in the new group.
bool X11EventSystem::honourNextSourceHotKey(const Event& event) {
  if (event.keyCode != keycode::f19 || !event.isTagged() || (event.flags & ~flags::fn & flags::modifierMask) ||
      !(event.flags & flags::fn) || (event.type != EventType::keyDown && event.type != EventType::keyUp))
    return false;
  if (!poster_->nextSourceHotKeyBound()) return false;
  if (event.type == EventType::keyUp) return true;
  // Keys posted before it reach the server first.
  flush();
  std::lock_guard lock(impl_->queryMutex);
  Display* d = impl_->query;
  XkbStateRec s{};
  int groups = 1;
  // The controls' answer carries the number of groups: no map is needed.
  if (XkbDescPtr xkb = XkbAllocKeyboard()) {
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

// ------------------------------------------------------------ the poster

void XTestPoster::enqueue(const Event& event) {
  std::lock_guard lock(queueMutex_);
  queue_.push_back(event);
}

void XTestPoster::enqueue(const std::vector<Event>& events) {
  std::lock_guard lock(queueMutex_);
  queue_.insert(queue_.end(), events.begin(), events.end());
}

std::deque<Event> XTestPoster::takeQueued() {
  std::lock_guard lock(queueMutex_);
  inHand_ = !queue_.empty();
  return std::exchange(queue_, {});
}

void XTestPoster::requeueFront(std::deque<Event> posts) {
  std::lock_guard lock(queueMutex_);
  posts.insert(posts.end(), queue_.begin(), queue_.end());
  queue_ = std::move(posts);
}

void XTestPoster::takenPosted() {
  std::lock_guard lock(queueMutex_);
  inHand_ = false;
}

bool XTestPoster::hasQueued() const {
  std::lock_guard lock(queueMutex_);
  return !queue_.empty();
}

void XTestPoster::setNextSourceHotKey(std::function<bool()> bound) {
  std::lock_guard lock(hotKeyMutex_);
  nextSourceHotKeyBound_ = std::move(bound);
}

bool XTestPoster::nextSourceHotKeyBound() const {
  std::function<bool()> bound;
  {
    std::lock_guard lock(hotKeyMutex_);
    bound = nextSourceHotKeyBound_;
  }
  return bound && bound();
}

bool XTestPoster::keyboardState(XkbStateRec& s) {
  if (inBatch_ && batchState_) {
    s = *batchState_;
    return true;
  }
  if (XkbGetState(d_, XkbUseCoreKbd, &s) != Success) return false;
  if (inBatch_) batchState_ = s;
  return true;
}

std::array<char, 32> XTestPoster::keymap() {
  if (inBatch_ && batchKeymap_) return *batchKeymap_;
  std::array<char, 32> keys{};
  XQueryKeymap(d_, keys.data());
  if (inBatch_) batchKeymap_ = keys;
  return keys;
}

void XTestPoster::endBatch() {
  inBatch_ = false;
  frozen_ = false;
  batchState_.reset();
  batchKeymap_.reset();
}

void XTestPoster::noteModifier(unsigned xKeyCode, bool press, int sourceid) {
  if (sourceid == ledger_.postingKeyboard()) return;
  if (press) userModifiersDown_.insert(xKeyCode);
  else userModifiersDown_.erase(xKeyCode);
}

std::optional<unsigned> XTestPoster::post(const Event& event, bool passThrough) {
  // The server keeps the modifier state itself, so a modifier change (a
  // resync, or one the user made while keys were held) has nothing to
  // post; it still comes back to the tap in its turn. Mouse events are
  // never posted by the engine.
  if (event.type == EventType::flagsChanged && !passThrough) ledger_.show(event);
  if (event.type != EventType::keyDown && event.type != EventType::keyUp) return std::nullopt;
  if (event.type == EventType::keyUp) {
    auto it = releasedWithPress_.find({event.keyCode, event.isTagged()});
    if (it != releasedWithPress_.end()) {
      // Its press was posted with its release, which the tap was not shown:
      // this one is, in its turn.
      if (--it->second == 0) releasedWithPress_.erase(it);
      if (!passThrough) ledger_.show(event);
      return std::nullopt;
    }
  }
  if (event.type == EventType::keyDown && !passThrough && event.isTagged() && inBatch_) letGoOfHeldModifiers(event);
  auto xkc = X11EventSystem::xKeyCodeFor(event.keyCode);
  Display* d = d_;
  if (event.type == EventType::keyDown && carriesText(event) && xkc && !passThrough && frozen_ &&
      !typesOtherText(*xkc, event) && !keyDownNow(*xkc)) {
    // A press of the user's holds the keyboard frozen for the tap's answer,
    // and the keys typed after it wait in the server unseen, this very key
    // perhaps among them. Rather than go as its text on a borrowed key code
    // (which a busy program may read out of turn), the key waits for that
    // answer, by which time those keys have been seen: a user's key the
    // engine replays, typed on its own key as the user typed it.
    deferred_ = waitsForAnswer_ = true;
    return std::nullopt;
  }
  if (event.type == EventType::keyDown && carriesText(event) &&
      (!xkc || typesOtherText(*xkc, event) || mayBeDownOnServer(*xkc))) {
    // A key code given another character while a slow program has yet to
    // read the key typed on it before would type the new one there: the
    // text waits (a moment, bounded) for that key to have come through. (A
    // replacement the tap asked for goes at once, in its press's place.)
    if (!passThrough && !typer_.canTypeWithoutReuse(event)) {
      const double now = monotonicNow();
      if (spareWaitUntil_ == 0) spareWaitUntil_ = now + kSpareWait;
      if (now < spareWaitUntil_) {
        deferred_ = true;
        return std::nullopt;
      }
    }
    spareWaitUntil_ = 0;
    switch (typer_.type(event, passThrough)) {
      case TextTyper::Typed::done:
        // The engine posts the release of its own keys; a user's key retyped
        // here is released by the user.
        if (!passThrough) ++releasedWithPress_[{event.keyCode, event.isTagged()}];
        XFlush(d);
        return std::nullopt;
      case TextTyper::Typed::later:
        deferred_ = true;
        return std::nullopt;
      case TextTyper::Typed::cannot:
        break;
    }
  }
  if (!xkc) {
    log("X11: cannot post key code " + std::to_string(event.keyCode) + " - no X key for it");
    return std::nullopt;
  }
  std::vector<unsigned> helpers;
  const bool wantsModifiers = std::any_of(std::begin(kPostedModifiers), std::end(kPostedModifiers),
                                          [&](const auto& m) { return (event.flags & m.first) != 0; });
  if (event.type == EventType::keyDown && wantsModifiers) {
    XkbStateRec s{};
    unsigned mods = keyboardState(s) ? s.base_mods & ~letGoMask_ : 0;
    for (const auto& [flag, xm] : kPostedModifiers)
      if ((event.flags & flag) && !(mods & xm.first))
        if (auto h = X11EventSystem::xKeyCodeFor(xm.second)) helpers.push_back(*h);
  }
  Event helper;
  for (unsigned h : helpers) fake(h, true, helper, true);
  if (event.type == EventType::keyDown) releasedEarly_.erase(*xkc);
  fake(*xkc, event.type == EventType::keyDown, event, passThrough);
  if (event.type == EventType::keyDown && !passThrough && event.isTagged()) {
    // A key the engine types itself (a held key replayed, its hot key) is
    // released at once, as a tap. The server takes a press of a key that is
    // still down as no press at all, and our keys share the XTest device and
    // the master keyboard with the user's: a key left down until the poster's
    // release (a replay spacing later, and later still behind a frozen
    // press) would swallow the user's next press of that key before any grab
    // saw it. The release the poster sends later posts nothing, and is the
    // one the tap sees, in the order it was posted. The user's own keys
    // posted again keep their rhythm: the engine follows those back through
    // the tap one by one.
    Event up = event;
    up.type = EventType::keyUp;
    fake(*xkc, false, up, true);
    ++releasedWithPress_[{event.keyCode, event.isTagged()}];
  }
  for (auto it = helpers.rbegin(); it != helpers.rend(); ++it) fake(*it, false, helper, true);
  XFlush(d);
  return *xkc;
}

// XTest keys take the server's modifier state, so the engine's own keys
// would take on the modifiers the user still holds: a word converted while
// the user still holds the hot key's Control and Shift would arrive as
// shortcuts, its Deletes as Control+BackSpace, each deleting a whole word.
// The modifier keys held that the event does not ask for are let go before
// it. Once every key we posted has come through (`ownKeysThrough`), those
// the user still holds on a keyboard of their own are pressed again
// (`restoreLetGoModifiersOnceThrough`), so a chord held on (Control+Shift+X, X)
// goes on working; one the user let go of meanwhile stays up.
void XTestPoster::letGoOfHeldModifiers(const Event& event) {
  constexpr unsigned kLetGo = ShiftMask | ControlMask | Mod1Mask | Mod4Mask | Mod5Mask;
  XkbStateRec s{};
  if (!keyboardState(s)) return;
  unsigned wanted = 0;
  for (const auto& [flag, xm] : kPostedModifiers)
    if (event.flags & flag) wanted |= xm.first;
  // A modifier key we pressed again for the user a moment ago may still be
  // on its way through the grab: the server counts it only once it is
  // through, which is before these keys, so it is let go of again too.
  std::erase_if(pressedAgain_, [&](unsigned code) { return !ledger_.inFlight(code); });
  const unsigned baseHeld = s.base_mods & kLetGo & ~wanted & ~letGoMask_;
  if (!baseHeld && pressedAgain_.empty()) return;
  XModifierKeymap* map = XGetModifierMapping(d_);
  if (!map) return;
  auto onItsWay = [&](unsigned code) {
    return std::find(pressedAgain_.begin(), pressedAgain_.end(), code) != pressedAgain_.end();
  };
  unsigned held = baseHeld;
  for (int mod = 0; mod < 8; ++mod)
    for (int i = 0; i < map->max_keypermod; ++i)
      if (onItsWay(map->modifiermap[mod * map->max_keypermod + i])) held |= (1u << mod) & kLetGo & ~wanted & ~letGoMask_;
  const auto down = keymap();
  Event helper;
  for (int mod = 0; mod < 8; ++mod) {
    if (!(held & (1u << mod))) continue;
    for (int i = 0; i < map->max_keypermod; ++i) {
      const unsigned code = map->modifiermap[mod * map->max_keypermod + i];
      if (code == 0 || code >= 256 || (!(down[code / 8] & (1 << (code % 8))) && !onItsWay(code))) continue;
      if (std::find(modifiersLetGo_.begin(), modifiersLetGo_.end(), code) != modifiersLetGo_.end()) continue;
      fake(code, false, helper, true);
      modifiersLetGo_.push_back(code);
    }
    letGoMask_ |= 1u << mod;
  }
  XFreeModifiermap(map);
}

void XTestPoster::restoreLetGoModifiersOnceThrough() {
  if (modifiersLetGo_.empty() || !ownKeysThrough()) return;
  Event helper;
  bool pressed = false;
  for (unsigned code : modifiersLetGo_)
    if (userModifiersDown_.count(code)) {
      fake(code, true, helper, true);
      pressedAgain_.push_back(code);
      pressed = true;
    }
  if (pressed) XFlush(d_);
  modifiersLetGo_.clear();
  letGoMask_ = 0;
}

// Whether nothing we posted is still to post or on its way back through
// the grab: the server has then taken every key we typed.
bool XTestPoster::ownKeysThrough() const {
  {
    std::lock_guard lock(queueMutex_);
    if (!queue_.empty() || inHand_) return false;
  }
  return !ledger_.ownPressInFlight();
}

// Whether the key may be down on the server when ours arrives. A key held
// for a switch is replayed while the user may still be holding it (a quick
// typist's key is down some 30 ms); the server takes a press of a key that
// is already down as no press at all, and the replay's release would then
// end the user's press: the key would be lost. While a press of the user's
// holds the keyboard frozen, the keys they typed after it wait in the server
// unseen by any query, and ours would come behind them. Such a key goes out
// as its text instead, on a key code no keyboard has.
bool XTestPoster::keyDownNow(unsigned xKeyCode) {
  const auto keys = keymap();
  return xKeyCode < 256 && (keys[xKeyCode / 8] & (1 << (xKeyCode % 8)));
}

bool XTestPoster::mayBeDownOnServer(unsigned xKeyCode) {
  if (keyDownNow(xKeyCode)) return true;
  return frozen_ || userPressUnread();
}

// Whether a key press the grab has not yet read waits in our queue: one that
// came before the last answer (the keymap's) holds the keyboard frozen.
bool XTestPoster::userPressUnread() {
  XEvent ev;
  bool found = false;
  XCheckIfEvent(
      d_, &ev,
      [](Display*, XEvent* e, XPointer arg) -> Bool {
        if (e->type == GenericEvent && e->xcookie.evtype == XI_KeyPress) *reinterpret_cast<bool*>(arg) = true;
        return False;  // look only: nothing is taken from the queue
      },
      reinterpret_cast<XPointer>(&found));
  return found;
}

// Text typed by the engine (a retyped word, a key re-targeted to the layout
// being switched to) must reach the focus as that text, whatever the server's
// group is when the key arrives and whether or not the layout has a key for
// it (a consonant with its vowel mark has none). Shortcuts and control
// characters go by key.
bool XTestPoster::carriesText(const Event& event) {
  if (event.unicode.empty() || (event.flags & (flags::control | flags::command))) return false;
  const auto first = static_cast<unsigned char>(event.unicode[0]);
  return first >= 0x20 && first != 0x7f;
}

// Whether the key, pressed now with the event's modifiers, would type
// something other than the event's text.
bool XTestPoster::typesOtherText(unsigned xKeyCode, const Event& event) {
  Display* d = d_;
  XkbStateRec s{};
  if (!keyboardState(s)) return true;
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

// The user's keys we post again keep their rhythm: each is released when the
// engine replays its release. One whose press the tap dropped never reached
// a window, and while it stays down on the server (the engine replays its
// release only after the edit the hot key started), the server would take
// the user's next press of that key, their next hot key too, as no press at
// all. Its release goes now, unseen by the tap, which is shown the engine's
// own release when it comes.
void XTestPoster::releaseDroppedPress(unsigned xKeyCode) {
  if (ledger_.inFlight(xKeyCode)) return;
  fake(xKeyCode, false, Event{}, true);
  releasedEarly_.insert(xKeyCode);
  XFlush(d_);
}

bool XTestPoster::takeReleasedEarly(const Event& event) {
  if (event.type != EventType::keyUp || event.isTagged()) return false;
  auto xkc = X11EventSystem::xKeyCodeFor(event.keyCode);
  return xkc && releasedEarly_.erase(*xkc) > 0;
}

void XTestPoster::fake(unsigned xKeyCode, bool press, const Event& event, bool passThrough) {
  ledger_.post(d_, xKeyCode, press, event, passThrough);
}

std::optional<std::pair<int, double>> XTestPoster::answerWait() const { return typer_.pingWait(); }

}  // namespace tessa
