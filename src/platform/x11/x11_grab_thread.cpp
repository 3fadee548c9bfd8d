// The grab thread: it owns the grab's connection, reads each key, freezes a
// press until the main queue answers (or its deadline passes) and carries out
// the answer; releases and other clients' keys come from the raw events.
#include "platform/x11/x11_event_system_internal.h"
#include "platform/x11/x11_posted_ledger.h"
#include "platform/x11/x11_text_typer.h"
#include "platform/x11/x11_xtest_poster.h"

#include <poll.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon.h>

#include <algorithm>
#include <deque>

namespace tessa {

using namespace x11_detail;

namespace {

// [ours] How long the rest of our keys wait for the first to end the grab a
// dropped press left, before they go through the grab after all.
constexpr double kAroundWait = 0.05;
// [ours] How often a posted event waiting for its turn to be shown looks
// again, when no event wakes the thread.
constexpr int kShowRecheckMs = 50;

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

// [design] Function and navigation keys carry the secondary-Fn flag on the
// platform whose key codes the engine speaks, and the arrows the numeric-pad
// flag too.
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

}  // namespace

void X11EventSystem::threadMain() {
  Display* d = impl_->grab;
  const int xfd = ConnectionNumber(d);
  while (running_) {
    uint64_t flushTicket;
    std::optional<Decision> decision;
    {
      std::lock_guard lock(mutex_);
      flushTicket = flushRequested_;
      if (decision_ && decision_->serial == pendingSerial_) {
        decision = std::move(decision_);
        decision->xKeyCode = pendingXKeyCode_;
        decision->usersPostedAgain = pendingUsersPostedAgain_;
      }
      decision_.reset();
    }
    // Taken after the flush ticket: every key posted before that flush was
    // asked for is among them.
    std::deque<Event> posts;
    if (flushPending() || !holdPostsForAround()) posts = poster_->takeQueued();
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
        if (decision->usersPostedAgain) poster_->releaseDroppedPress(decision->xKeyCode);
      } else if (decision->result->type == EventType::null) {
        impl_->replayPress();
        impl_->activeGrab = false;
      } else {
        impl_->allow(XISyncDevice);
        // Keys already queued behind the press reach the focus before the
        // replacement does.
        auto posted = poster_->post(*decision->result, true);
        if (decision->result->type == EventType::keyDown && posted) {
          if (impl_->keysDown.count(decision->xKeyCode)) impl_->changedDown[decision->xKeyCode] = *posted;
          else poster_->fake(*posted, false, Event{}, true);  // released while we decided
        }
      }
      std::lock_guard lock(mutex_);
      pendingSerial_ = 0;
    }
    postQueued(posts);
    showPostedInTurn();
    poster_->takenPosted();
    if (flushTicket) {
      XSync(d, False);
      std::lock_guard lock(mutex_);
      if (flushDone_ < flushTicket) {
        flushDone_ = flushTicket;
        impl_->flushed.notify_all();
      }
    }
    XFlush(d);
    for (;;) {
      while (XPending(d) > 0) {
        XEvent ev;
        XNextEvent(d, &ev);
        const bool beforeAroundSync = impl_->eventsBeforeAroundSync > 0;
        if (beforeAroundSync) --impl_->eventsBeforeAroundSync;
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
          settleRawPresses(evtype == XI_KeyPress ? std::optional<unsigned>(xkc) : std::nullopt);
          if (evtype == XI_KeyPress) {
            onKeyPress(xkc, state, key->sourceid, static_cast<unsigned long>(key->time));
          } else if (impl_->activeGrab) {
            // Held by the grab a dropped press left. The release of the key
            // that started it has already ended the grab (answering would thaw
            // the next key's grab instead); any other goes on to the focus,
            // which ends the grab. Releases are reported from the raw events.
            if (xkc != impl_->grabKey) impl_->allow(XIReplayDevice);
            impl_->activeGrab = false;
            impl_->releasedThroughGrab.insert(xkc);
            impl_->lockedBeforeRelease = (static_cast<unsigned>(key->mods.locked) & LockMask) != 0;
            onRelease(xkc, state, key->sourceid);
            impl_->lockedBeforeRelease.reset();
          }
        } else {
          auto* raw = static_cast<XIRawEvent*>(ev.xcookie.data);
          if (evtype == XI_RawKeyPress || evtype == XI_RawKeyRelease) settleRawPresses();
          onRawEvent(evtype, static_cast<unsigned>(raw->detail), raw->sourceid, beforeAroundSync);
        }
        XFreeEventData(d, &ev.xcookie);
        showPostedInTurn();
      }
      // A raw press with nothing behind it yet: once the server has answered
      // a request sent after it, its grabbed press would have come too.
      if (impl_->rawPresses.empty()) break;
      if (impl_->rawPressesSynced) {
        settleRawPresses();
        showPostedInTurn();
        // Its round trips read what the server sent meanwhile into the
        // queue, where no poll of the connection would see it.
        if (QLength(d) == 0) break;
        continue;
      }
      XSync(d, False);
      impl_->rawPressesSynced = true;
    }
    poster_->restoreLetGoModifiersOnceThrough();
    tellOwnKeysThrough();
    int timeoutMs = -1;
    {
      std::lock_guard lock(mutex_);
      if (pendingSerial_ != 0 && !decision_) {
        double left = pendingDeadline_ - monotonicNow();
        if (left <= 0) timeoutMs = 0;
        else timeoutMs = static_cast<int>(left * 1000.0) + 1;
      }
      if (decision_ || flushRequested_ > flushDone_) timeoutMs = 0;
    }
    if (poster_->hasQueued() && !poster_->waitsForAnswer()) {
      // Held for their chance to go around: until the key let through comes
      // back (an event wakes us) or the wait is over. Text waiting for a
      // borrowed key code tries again as keys come back, or once its wait
      // is over.
      auto msUntil = [](double when) { return std::max(static_cast<int>((when - monotonicNow()) * 1000.0) + 1, 0); };
      const auto answer = poster_->answerWait();
      const int holdMs = holdPostsForAround()            ? msUntil(impl_->aroundWaitUntil)
                         : answer                        ? msUntil(answer->second)
                         : poster_->spareWaitUntil() > 0 ? msUntil(poster_->spareWaitUntil())
                                                         : 0;
      timeoutMs = timeoutMs < 0 ? holdMs : std::min(timeoutMs, holdMs);
    }
    // A posted event shown in its turn waits for the keys before it, or for
    // one that never comes back to expire.
    if (ledger_->showPending()) timeoutMs = timeoutMs < 0 ? kShowRecheckMs : std::min(timeoutMs, kShowRecheckMs);
    // Events read already (by a round trip since the queue was last
    // emptied) wait in the queue, not on the connection.
    if (QLength(d) > 0) timeoutMs = 0;
    if (timeoutMs == 0) {
      bool expired;
      {
        std::lock_guard lock(mutex_);
        expired = pendingSerial_ != 0 && !decision_ && monotonicNow() >= pendingDeadline_;
      }
      if (expired) timeOut();
      continue;
    }
    // Text waiting for the focused program's answer goes as soon as it comes.
    const auto answer = poster_->answerWait();
    pollfd fds[3] = {{xfd, POLLIN, 0}, {impl_->wakePipe[0], POLLIN, 0}, {answer ? answer->first : -1, POLLIN, 0}};
    poll(fds, 3, timeoutMs);
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
  typer_->restore();
  XSync(d, False);
}

// The engine's own keys (a word it types, its Deletes) go around our grab:
// through it, each press would wait for this thread to let it on, one at a
// time, and a word would reach its window key by key, each behind a turn of
// ours. Only when no press holds the grab and none of ours is still on its
// way through it: an active grab takes every key, and behind a frozen press
// ours would come only once their keys are grabbed again (then back through
// the grab like any key of ours), and a raw press of an earlier key could not
// be told from theirs. The sync tells the raw presses that went around (read
// before its answer) from any the grab takes later.
void X11EventSystem::postQueued(const std::deque<Event>& posts) {
  // The keys an edit types; the switch's Fn+F19 goes on through the grab,
  // as the switch's own timing was measured.
  const bool own = !posts.empty() && std::all_of(posts.begin(), posts.end(), [](const Event& e) {
    return e.isTagged() && e.sourceState == EventSourceState::privateState && e.keyCode != keycode::f19;
  });
  bool pending;
  {
    std::lock_guard lock(mutex_);
    pending = pendingSerial_ != 0;
  }
  const bool idle = own && impl_->grabbing && !pending && !ledger_->pressOnItsWay();
  if (idle && impl_->activeGrab && impl_->aroundWaitUntil == 0 && !flushPending()) {
    // A dropped press the user still holds (the hot key's own) keeps the
    // keyboard grabbed: the first of our presses goes through that grab, and
    // letting it on ends it; the rest wait for that, then go around.
    auto first = std::find_if(posts.begin(), posts.end(), [](const Event& e) { return e.type == EventType::keyDown; });
    if (first != posts.end()) {
      poster_->beginBatch();
      auto rest = postInTurn(posts.begin(), first + 1);
      poster_->endBatch();
      std::deque<Event> later(rest, first + 1);
      later.insert(later.end(), first + 1, posts.end());
      poster_->requeueFront(std::move(later));
      impl_->aroundWaitUntil = monotonicNow() + kAroundWait;
      return;
    }
  }
  const bool around = idle && !impl_->activeGrab;
  Display* d = impl_->grab;
  if (around) {
    // With the server held: another client's key (a program typing for the
    // user, or the user's own keys sent so) coming while the keys are open
    // would go to the focus unheld, between our Deletes or among the word.
    XGrabServer(d);
    ledger_->setAroundGrab([this](unsigned code) { return openKeyForOwnKeys(code); });
  }
  poster_->beginBatch(pending);
  auto rest = postInTurn(posts.begin(), posts.end());
  poster_->endBatch();
  if (rest != posts.end()) poster_->requeueFront(std::deque<Event>(rest, posts.end()));
  if (!around) return;
  ledger_->setAroundGrab(nullptr);
  closeKeysOpened();
  XUngrabServer(d);
  XSync(d, False);
  impl_->eventsBeforeAroundSync = QLength(d);
}

std::deque<Event>::const_iterator X11EventSystem::postInTurn(std::deque<Event>::const_iterator from,
                                                            std::deque<Event>::const_iterator to) {
  for (; from != to; ++from) {
    postOne(*from);
    if (poster_->takeDeferred()) break;
  }
  return from;
}

void X11EventSystem::showPostedInTurn() {
  for (Event& event : ledger_->takeShowable()) deliver(event.type, std::move(event), false, 0);
}

void X11EventSystem::postOne(const Event& event) {
  if (poster_->takeReleasedEarly(event)) {
    Event shown = event;
    shown.ownPost = true;
    deliver(shown.type, std::move(shown), false, 0);
  } else {
    poster_->post(event, false);
  }
}

// Whether our queued keys wait a moment longer for their chance to go around
// the grab: while the first of them is still on its way through it. (Once it
// is back, a grab still active is a new press of the user's: the next batch
// lets its first key through that one in turn.)
bool X11EventSystem::holdPostsForAround() {
  if (impl_->aroundWaitUntil == 0) return false;
  if (ledger_->pressOnItsWay() && monotonicNow() < impl_->aroundWaitUntil) return true;
  impl_->aroundWaitUntil = 0;
  return false;
}

bool X11EventSystem::flushPending() const {
  std::lock_guard lock(mutex_);
  return flushRequested_ > flushDone_;
}

// The modifiers held as the raw events tell (the server's own state may
// have moved on by the time a key heard only is read with it).
unsigned X11EventSystem::rawHeldModifiers() const {
  unsigned m = 0;
  for (uint16_t vk : impl_->rawModifiersDown) {
    switch (vk) {
      case keycode::shift: case keycode::rightShift: m |= ShiftMask; break;
      case keycode::control: case keycode::rightControl: m |= ControlMask; break;
      case keycode::option: case keycode::rightOption: m |= Mod1Mask; break;
      case keycode::command: m |= Mod4Mask; break;
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

void X11EventSystem::onKeyPress(unsigned xkc, unsigned state, int sourceid, unsigned long time) {
  // The press goes on to the focus, ending the grab it froze.
  auto passOn = [this] {
    impl_->replayPress();
    impl_->activeGrab = false;
    XFlush(impl_->grab);
  };
  const std::pair press{xkc, time};
  if (impl_->replayedPress == press) {
    // Caught again by our grab on its window: it goes on as decided.
    passOn();
    return;
  }
  impl_->frozenPress = press;
  impl_->replayedPress.reset();
  impl_->releasedThroughGrab.erase(xkc);
  if (!impl_->activeGrab) {
    impl_->activeGrab = true;
    impl_->grabKey = xkc;
  }
  const bool repeat = impl_->keysDown.count(xkc) > 0;
  impl_->keysDown.insert(xkc);
  uint64_t serial;
  Event event;
  bool usersPostedAgain = false;
  {
    std::lock_guard lock(mutex_);
    if (pendingSerial_ != 0) {
      // Cannot happen while the keyboard is frozen; never leave it waiting.
      passOn();
      return;
    }
  }
  if (auto own = ledger_->take(xkc, true, sourceid)) {
    // A key its poster tagged as its own goes on at once, as one that is
    // passed through: the tap passes such keys untouched, so it is only shown
    // them, and they never wait for a turn of the main queue.
    if (own->passThrough || own->event.isTagged()) {
      passOn();
      if (!own->passThrough) deliver(own->event.type, std::move(own->event), false, 0);
      return;
    }
    event = own->event;
    usersPostedAgain = true;
  } else {
    if (!keyCodeForX(xkc)) {
      passOn();
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
    pendingUsersPostedAgain_ = usersPostedAgain;
    pendingDeadline_ = monotonicNow() + options_.handlerBudgetSeconds;
  }
  deliver(event.type, std::move(event), true, serial);
}

void X11EventSystem::onRawEvent(int evtype, unsigned detail, int sourceid, bool beforeAroundSync) {
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
    poster_->noteModifier(detail, press, sourceid);
  }
  if (!impl_->grabbing) {
    onUngrabbedRawKey(detail, press, sourceid);
    if (press) return;
  }
  if (!press) {
    if (impl_->replayedPress && impl_->replayedPress->first == detail) impl_->replayedPress.reset();
    if (impl_->releasedThroughGrab.erase(detail)) return;
    // The raw event carries no modifier state: asked of the server only
    // for a key not ours (a round trip each, behind our own keys).
    onRelease(detail, std::nullopt, sourceid);
    return;
  }
  impl_->releasedThroughGrab.erase(detail);
  if (beforeAroundSync) {
    if (auto own = ledger_->take(detail, true, sourceid, true)) {
      // It went around the grab: the tap is shown it as if it came through.
      if (!own->passThrough && own->event.isTagged()) deliver(own->event.type, std::move(own->event), false, 0);
      return;
    }
  }
  noteRawPress(detail, sourceid);
}

void X11EventSystem::noteRawPress(unsigned xKeyCode, int sourceid) {
  impl_->rawPresses.emplace_back(xKeyCode, sourceid);
  impl_->rawPressesSynced = false;
}

void X11EventSystem::settleRawPresses(std::optional<unsigned> grabbed) {
  while (!impl_->rawPresses.empty()) {
    const auto [code, sourceid] = impl_->rawPresses.front();
    impl_->rawPresses.pop_front();
    // The grabbed press's own raw event: it is the grab's to report.
    if (grabbed && code == *grabbed && impl_->rawPresses.empty()) break;
    heardOnly(code, sourceid);
  }
  impl_->rawPressesSynced = false;
}

// A press no grab of ours took: it has reached the focus (or another
// client's grab), and the tap only hears it.
void X11EventSystem::heardOnly(unsigned xKeyCode, int sourceid) {
  impl_->keysDown.insert(xKeyCode);
  impl_->listenOnlyDown.insert(xKeyCode);
  {
    std::lock_guard lock(mutex_);
    if (!wantsGrab()) return;
  }
  Event event;
  if (auto own = ledger_->take(xKeyCode, true, sourceid)) {
    if (own->passThrough) return;
    event = own->event;
  } else {
    if (!keyCodeForX(xKeyCode)) return;
    constexpr unsigned held = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;
    event = eventFromX(xKeyCode, (serverKeyState() & ~held) | rawHeldModifiers(), true);
  }
  event.listenOnly = true;
  if (event.type == EventType::keyDown && !event.isTagged()) {
    // The global key-down monitors hear what reached the focus.
    std::weak_ptr<std::atomic<bool>> alive = alive_;
    main_.post([this, alive, event] {
      auto flag = alive.lock();
      if (flag && *flag) notifyMonitors(event);
    });
  }
  deliver(event.type, std::move(event), false, 0);
}

// With no tap filtering (paused, or before the first), keys reach the focus
// untouched, Caps Lock included (it locks as usual: taking it as the
// switcher key is the tap's work); the global key-down monitors still hear
// the user's presses.
void X11EventSystem::onUngrabbedRawKey(unsigned xKeyCode, bool press, int sourceid) {
  auto vk = keyCodeForX(xKeyCode);
  if (!vk) return;
  if (!press) return;
  if (ledger_->take(xKeyCode, true, sourceid)) return;  // our own key
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

void X11EventSystem::onRelease(unsigned xKeyCode, std::optional<unsigned> state, int sourceid) {
  impl_->keysDown.erase(xKeyCode);
  const bool listenOnly = impl_->listenOnlyDown.erase(xKeyCode) > 0;
  if (auto it = impl_->changedDown.find(xKeyCode); it != impl_->changedDown.end()) {
    if (!state) state = serverKeyState();  // as it was before the replacement's release
    poster_->fake(it->second, false, Event{}, true);
    XFlush(impl_->grab);
    impl_->changedDown.erase(it);
  }
  {
    std::lock_guard lock(mutex_);
    if (!wantsGrab()) return;
  }
  Event event;
  if (auto own = ledger_->take(xKeyCode, false, sourceid)) {
    if (own->passThrough) return;
    event = own->event;
  } else {
    if (!keyCodeForX(xKeyCode)) return;
    event = eventFromX(xKeyCode, state ? *state : serverKeyState(), false);
  }
  event.listenOnly = listenOnly;
  deliver(event.type, std::move(event), false, 0);
}

// Whether Lock is active only because Caps Lock, taken as F19, is held, and
// the key would type other text under it than the event's.
bool X11EventSystem::typesOtherTextUnderHeldCapsLock(unsigned xKeyCode, const Event& event) {
  static const unsigned capsLock = xKeyCodeFor(keycode::capsLock).value_or(0);
  if (!capsAsF19_ || !impl_->keysDown.count(capsLock) || !XTestPoster::carriesText(event)) return false;
  XkbStateRec s{};
  if (XkbGetState(impl_->grab, XkbUseCoreKbd, &s) != Success) return false;
  const bool heldLockOnly = (s.mods & LockMask) && !((s.locked_mods | s.latched_mods) & LockMask);
  return heldLockOnly && poster_->typesOtherText(xKeyCode, event);
}

void X11EventSystem::timeOut() {
  Display* d = impl_->grab;
  {
    std::lock_guard lock(mutex_);
    if (pendingSerial_ == 0) return;
    impl_->replayPress();
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

}  // namespace tessa

