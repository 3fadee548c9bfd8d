// The X11 event system's taps: each key passed, swallowed or changed in
// order, other clients' grabs, Caps Lock taken as F19, a handler that hangs.
#include "x11/taps/x11_events_fixture.h"

namespace tessa {
namespace {

using test::KeyLogWindow;
using test::waitFor;
using test::X11Events;
using test::XTestUser;

TEST_F(X11Events, TheTapPassesSwallowsAndChangesEachKeyInOrderAndSeesReleases) {
  auto events = makeEvents();
  installTap(*events, [](const Event& e) -> std::optional<Event> {
    if (e.type != EventType::keyDown) return e;
    if (e.keyCode == keycode::grave) return std::nullopt;
    if (e.keyCode == keycode::b) {
      Event changed = e;
      changed.keyCode = keycode::c;
      return changed;
    }
    return e;
  });
  KeyLogWindow window(server.display());
  XTestUser user(server.display());
  for (uint16_t k : {keycode::a, keycode::grave, keycode::b}) user.tap(k);
  // A replacement is posted after whatever was queued behind its press, so
  // the next key waits for it here.
  ASSERT_TRUE(waitFor([&] { return window.text() == "ac"; }, 3, &main, &window))
      << "typed '" << window.text() << "', " << describe();
  user.tap(keycode::d);
  ASSERT_TRUE(waitFor([&] { return sawDown(keycode::d) && window.text().size() >= 3; }, 3, &main, &window))
      << "typed '" << window.text() << "', " << describe();
  ASSERT_TRUE(waitFor([&] { return events->ledgerSize() == 0; }, 3, &main, &window));
  EXPECT_EQ(window.text(), "acd");
  char keys[32] = {};
  XQueryKeymap(user.display(), keys);
  const unsigned c = *X11EventSystem::xKeyCodeFor(keycode::c);
  EXPECT_FALSE(keys[c / 8] & (1 << (c % 8))) << "the replacement is released with the key it replaced";

  std::vector<uint16_t> downs;
  for (const auto& e : seen)
    if (e.type == EventType::keyDown) downs.push_back(e.keyCode);
  EXPECT_EQ(downs, (std::vector<uint16_t>{keycode::a, keycode::grave, keycode::b, keycode::d}))
      << "the changed key's replacement is not shown to the tap again";
  auto firstA = std::find_if(seen.begin(), seen.end(), [](const Event& e) { return e.keyCode == keycode::a; });
  ASSERT_NE(firstA, seen.end());
  EXPECT_EQ(firstA->unicode, "a");
  EXPECT_TRUE(std::any_of(seen.begin(), seen.end(),
                          [](const Event& e) { return e.type == EventType::keyUp && e.keyCode == keycode::a; }));
  EXPECT_TRUE(events->filtersEveryKey());
}

// In the locked second layout a key reaches the tap with that layout's
// character, and the focus in that layout whether the tap passes it or
// changes it (a core passive grab loses the group on both roads).
TEST_F(X11Events, KeysPassedOrChangedKeepTheLockedLayout) {
  auto events = makeEvents();
  installTap(*events, [](const Event& e) -> std::optional<Event> {
    if (e.type != EventType::keyDown || e.keyCode != keycode::b) return e;
    Event changed = e;
    changed.keyCode = keycode::c;
    return changed;
  });
  KeyLogWindow window(server.display());
  XTestUser user(server.display());
  XkbLockGroup(user.display(), XkbUseCoreKbd, 1);
  XSync(user.display(), False);
  user.tap(keycode::n);
  user.tap(keycode::b);
  ASSERT_TRUE(waitFor([&] { return window.text() == "ืแ"; }, 3, &main, &window))
      << "typed '" << window.text() << "', " << describe();
  auto n = std::find_if(seen.begin(), seen.end(),
                        [](const Event& e) { return e.type == EventType::keyDown && e.keyCode == keycode::n; });
  ASSERT_NE(n, seen.end());
  EXPECT_EQ(n->unicode, "ื");
}

TEST_F(X11Events, KeyCombinationsAnotherClientHoldsStayItsOwnAndAreOnlyHeard) {
  // Another client already holds, on the root, F5 with any modifiers and
  // Super+D (with and without Num Lock), as a window manager's shortcuts do.
  Display* other = XOpenDisplay(server.display().c_str());
  ASSERT_TRUE(other);
  const Window otherRoot = DefaultRootWindow(other);
  const int d = static_cast<int>(*X11EventSystem::xKeyCodeFor(keycode::d));
  XGrabKey(other, 71, AnyModifier, otherRoot, False, GrabModeAsync, GrabModeAsync);
  XGrabKey(other, d, Mod4Mask, otherRoot, False, GrabModeAsync, GrabModeAsync);
  XGrabKey(other, d, Mod4Mask | Mod2Mask, otherRoot, False, GrabModeAsync, GrabModeAsync);
  XSync(other, False);

  // During a hold those keys are grabbed on the window with the focus as the
  // hold begins: one open before the grab, and one made after it.
  KeyLogWindow openBefore(server.display());
  auto events = makeEvents();
  // Swallows A and every D: a switch holding keys would.
  installTap(*events, [](const Event& e) -> std::optional<Event> {
    if (e.type == EventType::keyDown && (e.keyCode == keycode::a || e.keyCode == keycode::d)) return std::nullopt;
    return e;
  });
  XTestUser user(server.display());
  user.tap(keycode::d);
  user.tap(keycode::g);
  ASSERT_TRUE(waitFor([&] { return openBefore.text() == "g" && sawDown(keycode::g); }, 3, &main, &openBefore))
      << "typed '" << openBefore.text() << "', " << describe();
  seen.clear();
  EXPECT_TRUE(events->filtersEveryKey()) << "shortcuts of another client are its own, not keys we lack";
  EXPECT_TRUE(events->keysHeldByOthers().empty());
  EXPECT_TRUE(events->comboHeldByOthers(keycode::d, flags::command));
  EXPECT_FALSE(events->comboHeldByOthers(keycode::d, 0));
  EXPECT_FALSE(events->comboHeldByOthers(keycode::d, flags::command | flags::shift));

  KeyLogWindow window(server.display());
  // The window focused; then the focus on the root, which hands the keys to
  // the window under the pointer: the D is grabbed on that window, never on
  // the root, where the grab would take Super+D from the other client.
  for (bool focusOnRoot : {false, true}) {
    if (focusOnRoot) {
      XSetInputFocus(other, otherRoot, RevertToNone, CurrentTime);
      XWarpPointer(other, None, otherRoot, 0, 0, 0, 0, 50, 30);
      XSync(other, False);
    }
    for (bool held : {false, true}) {
      events->setKeyboardHeld(held);
      events->flush();
    }
    seen.clear();
    user.tap(keycode::a);
    user.tap(keycode::s);
    user.tap(keycode::d);  // plain D is ours: swallowed
    user.down(keycode::command);
    user.tap(keycode::d);  // Super+D is the other client's: heard only
    user.up(keycode::command);
    user.tap(keycode::f);
    const std::string typed = focusOnRoot ? "sfsf" : "sf";
    ASSERT_TRUE(waitFor([&] { return window.text() == typed && sawDown(keycode::f); }, 3, &main, &window))
        << "typed '" << window.text() << "', " << describe();
    std::vector<std::pair<uint16_t, bool>> downs;  // key, heard only
    for (const auto& e : seen)
      if (e.type == EventType::keyDown) downs.emplace_back(e.keyCode, e.listenOnly);
    EXPECT_EQ(downs, (std::vector<std::pair<uint16_t, bool>>{
                         {keycode::a, false}, {keycode::s, false}, {keycode::d, false}, {keycode::d, true},
                         {keycode::f, false}}))
        << describe();
  }
  XCloseDisplay(other);
}

// A key grabbed on each top-level window (here a frame), pressed while the
// grab a dropped press leaves on the root holds the keyboard: its replay is
// caught once more by the frame's grab. That second delivery is the same press: the tap is
// shown it once, and ours is not taken for the user's (which a switch would
// hold and replay after later keys).
TEST_F(X11Events, AKeyGrabbedOnItsWindowIsShownOnceBehindAnotherKeysGrab) {
  Display* other = XOpenDisplay(server.display().c_str());
  ASSERT_TRUE(other);
  const int d = static_cast<int>(*X11EventSystem::xKeyCodeFor(keycode::d));
  XGrabKey(other, d, Mod4Mask, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);
  XSync(other, False);
  auto events = makeEvents();
  // A window manager's frame, made after the grab, around the window typed in.
  const Window frame = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 300, 100, 0, 0, 0);
  XMapWindow(other, frame);
  XSync(other, False);
  events->flush();
  events->flush();
  KeyLogWindow window(server.display(), frame);
  XWarpPointer(other, None, DefaultRootWindow(other), 0, 0, 0, 0, 50, 30);  // the pointer over it
  XSync(other, False);
  Event own;
  own.keyCode = keycode::d;
  own.sourceUserData = kSyntheticEventTag;
  own.sourceState = EventSourceState::privateState;
  // Ours are posted while the tap still decides the user's Q, as a switch
  // replays held keys while the next is being held.
  installTap(*events, [&](const Event& e) -> std::optional<Event> {
    if (e.isTagged() || e.type != EventType::keyDown || e.keyCode != keycode::q) return e;
    for (EventType type : {EventType::keyDown, EventType::keyUp}) {
      own.type = type;
      events->post(TapLocation::hid, own);
    }
    events->flush();
    return std::nullopt;
  });
  XTestUser user(server.display());
  user.down(keycode::q);
  ASSERT_TRUE(waitFor([&] { return sawDown(keycode::q) && window.text() == "d"; }, 3, &main, &window));
  user.tap(keycode::d);
  ASSERT_TRUE(waitFor([&] { return window.text() == "dd" && events->ledgerSize() == 0; }, 3, &main, &window))
      << "typed '" << window.text() << "', " << describe();
  user.up(keycode::q);
  user.tap(keycode::f);
  ASSERT_TRUE(waitFor([&] { return window.text() == "ddf" && sawDown(keycode::f); }, 3, &main, &window))
      << "typed '" << window.text() << "', " << describe();
  for (bool tagged : {false, true})
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(),
                            [&](const Event& e) {
                              return e.type == EventType::keyDown && e.keyCode == keycode::d && e.isTagged() == tagged;
                            }),
              1)
        << (tagged ? "ours" : "the user's") << ": " << describe();
  XCloseDisplay(other);
}

TEST_F(X11Events, ATypingKeyAnotherClientHoldsMakesTheTapPartialAndIsNamed) {
  Display* other = XOpenDisplay(server.display().c_str());
  ASSERT_TRUE(other);
  const int q = static_cast<int>(*X11EventSystem::xKeyCodeFor(keycode::q));
  XGrabKey(other, q, 0, DefaultRootWindow(other), False, GrabModeAsync, GrabModeAsync);
  XSync(other, False);

  auto events = makeEvents();
  installTap(*events, [](const Event& e) -> std::optional<Event> { return e; });
  EXPECT_FALSE(events->filtersEveryKey());
  EXPECT_EQ(events->keysHeldByOthers(), std::vector<std::string>{"q"});
  EXPECT_TRUE(logged("keyboard grab partial"));
  KeyLogWindow window(server.display());
  XTestUser user(server.display());
  user.tap(keycode::q);
  user.tap(keycode::w);
  ASSERT_TRUE(waitFor([&] { return window.text() == "w" && sawDown(keycode::w); }, 3, &main, &window))
      << "typed '" << window.text() << "', " << describe();
  ASSERT_TRUE(sawDown(keycode::q));
  for (const auto& e : seen)
    if (e.keyCode == keycode::q) {
      EXPECT_TRUE(e.listenOnly);
    }
  XCloseDisplay(other);
}

TEST_F(X11Events, AHungHandlerDoesNotFreezeTheKeyboardAndTheTapReportsATimeOut) {
  auto events = makeEvents(0.15);
  bool swallowB = true;
  TapId tap = installTap(*events, [&](const Event& e) -> std::optional<Event> {
    if (e.type == EventType::keyDown && e.keyCode == keycode::b && swallowB) return std::nullopt;
    return e;
  });
  KeyLogWindow window(server.display());
  XTestUser user(server.display());
  user.tap(keycode::a);
  // The main queue is not run: to the back end the handler hangs.
  ASSERT_TRUE(waitFor([&] { return window.text() == "a"; }, 3, nullptr, &window)) << window.text();
  EXPECT_FALSE(events->isTapEnabled(tap));
  ASSERT_TRUE(waitFor(
      [&] {
        return std::any_of(seen.begin(), seen.end(),
                           [](const Event& e) { return e.type == EventType::tapDisabledByTimeout; });
      },
      3, &main, nullptr));
  EXPECT_FALSE(sawDown(keycode::a)) << "a key that already passed is not offered late";

  // Re-enabled, as the engine's recovery does, it filters again.
  events->enableTap(tap, true);
  events->flush();
  user.tap(keycode::b);
  user.tap(keycode::c);
  ASSERT_TRUE(waitFor([&] { return window.text() == "ac"; }, 3, &main, &window))
      << "typed '" << window.text() << "', " << describe();
}

TEST_F(X11Events, RandomPassAndSwallowDecisionsLoseDoubleAndReorderNothing) {
  const uint16_t letters[] = {keycode::a, keycode::s, keycode::d, keycode::f, keycode::j, keycode::k, keycode::l};
  const char texts[] = {'a', 's', 'd', 'f', 'j', 'k', 'l'};
  unsigned seed = 20261207;
  auto next = [&] { return (seed = seed * 1103515245u + 12345u) >> 16; };
  std::vector<uint16_t> typed;
  std::vector<bool> swallow;
  std::string expected;
  for (int i = 0; i < 60; ++i) {
    size_t which = next() % 7;
    typed.push_back(letters[which]);
    swallow.push_back(next() % 3 == 0);
    if (!swallow.back()) expected += texts[which];
  }
  size_t downs = 0;
  auto events = makeEvents();
  installTap(*events, [&](const Event& e) -> std::optional<Event> {
    if (e.type != EventType::keyDown) return e;
    return swallow.at(downs++) ? std::nullopt : std::optional<Event>(e);
  });
  KeyLogWindow window(server.display());
  XTestUser user(server.display());
  for (uint16_t k : typed) user.tap(k);
  ASSERT_TRUE(waitFor([&] { return downs == typed.size() && window.text().size() >= expected.size(); }, 5, &main,
                      &window))
      << "typed '" << window.text() << "', " << downs << " presses seen";
  EXPECT_EQ(window.text(), expected);
  char keys[32] = {};
  XQueryKeymap(user.display(), keys);
  EXPECT_TRUE(std::all_of(std::begin(keys), std::end(keys), [](char b) { return b == 0; })) << "no key left down";
}

TEST_F(X11Events, MappedToF19CapsLockReachesTheTapAsF19AndLeavesTheLockAlone) {
  auto events = makeEvents();
  events->setCapsLockAsF19(true);
  installTap(*events, [](const Event& e) -> std::optional<Event> {
    if (e.keyCode == keycode::f19) return std::nullopt;  // the switcher key
    return e;
  });
  KeyLogWindow window(server.display());
  XTestUser user(server.display());
  auto lockOn = [&] {
    XkbStateRec s{};
    XkbGetState(user.display(), XkbUseCoreKbd, &s);
    return (s.locked_mods & LockMask) != 0;
  };
  user.tap(keycode::capsLock);
  user.tap(keycode::a);
  ASSERT_TRUE(waitFor([&] { return window.text() == "a"; }, 3, &main, &window)) << window.text();
  EXPECT_FALSE(lockOn());
  // With the lock on (set as the engine's long press would), a press leaves it on.
  XkbLockModifiers(user.display(), XkbUseCoreKbd, LockMask, LockMask);
  XSync(user.display(), False);
  user.tap(keycode::capsLock);
  // The server unlocks on that release and the back end locks again as it
  // sees it, within a round trip: a key typed in the same instant could
  // fall in between, a typist's next key does not.
  auto f19Ups = [&] {
    return std::count_if(seen.begin(), seen.end(),
                         [](const Event& e) { return e.type == EventType::keyUp && e.keyCode == keycode::f19; });
  };
  ASSERT_TRUE(waitFor([&] { return f19Ups() == 2; }, 3, &main, &window));
  EXPECT_TRUE(lockOn());
  user.tap(keycode::b);
  ASSERT_TRUE(waitFor([&] { return window.text() == "aB"; }, 3, &main, &window)) << window.text();
  EXPECT_TRUE(lockOn());

  std::vector<std::pair<EventType, uint64_t>> f19;
  for (const auto& e : seen) {
    EXPECT_NE(e.keyCode, keycode::capsLock);
    if (e.keyCode == keycode::f19) f19.emplace_back(e.type, e.flags);
  }
  const std::vector<std::pair<EventType, uint64_t>> expected = {
      {EventType::keyDown, flags::fn}, {EventType::keyUp, flags::fn},
      {EventType::keyDown, flags::fn | flags::capsLock}, {EventType::keyUp, flags::fn | flags::capsLock}};
  EXPECT_EQ(f19, expected);
}

// The server keeps Lock in the depressed modifiers while Caps Lock is held,
// even taken as F19: the keys typed meanwhile read with the lock as it
// stands, and text posted under the lock reaches the focus as posted.
TEST_F(X11Events, WhileCapsLockIsHeldAsF19KeysAndPostedTextFollowTheLockAloneNotTheHeldKey) {
  auto events = makeEvents();
  events->setCapsLockAsF19(true);
  installTap(*events, [](const Event& e) -> std::optional<Event> {
    if (e.keyCode == keycode::f19) return std::nullopt;
    return e;
  });
  KeyLogWindow window(server.display());
  XTestUser user(server.display());
  auto downOf = [&](uint16_t keyCode) {
    auto it = std::find_if(seen.begin(), seen.end(),
                           [&](const Event& e) { return e.type == EventType::keyDown && e.keyCode == keyCode; });
    return it == seen.end() ? Event{} : *it;
  };
  auto post = [&](uint16_t keyCode, const std::string& text) {
    Event e;
    e.type = EventType::keyDown;
    e.keyCode = keyCode;
    e.unicode = text;
    events->post(TapLocation::hid, e);
    e.type = EventType::keyUp;
    events->post(TapLocation::hid, e);
  };

  user.down(keycode::capsLock);
  // Never left down for the next case, whatever fails here.
  std::unique_ptr<XTestUser, void (*)(XTestUser*)> capsDown(&user, [](XTestUser* u) { u->up(keycode::capsLock); });
  user.tap(keycode::a);
  ASSERT_TRUE(waitFor([&] { return window.text() == "a"; }, 3, &main, &window)) << window.text();
  EXPECT_EQ(downOf(keycode::a).unicode, "a");
  EXPECT_FALSE(downOf(keycode::a).flags & flags::capsLock);
  EXPECT_FALSE(events->hardwareModifierFlags() & flags::capsLock);
  // Text typed before the lock and posted while the key is still down (the
  // engine's replay after a long press) reads as typed.
  post(keycode::c, "c");
  ASSERT_TRUE(waitFor([&] { return window.text() == "ac" && events->ledgerSize() == 0; }, 3, &main, &window))
      << window.text();

  // Locked meanwhile (the long press), keys are capitals and say so; text
  // posted in lower case stays so, on its own key or not.
  XkbLockModifiers(user.display(), XkbUseCoreKbd, LockMask, LockMask);
  XSync(user.display(), False);
  user.tap(keycode::b);
  ASSERT_TRUE(waitFor([&] { return window.text() == "acB"; }, 3, &main, &window)) << window.text();
  post(keycode::d, "d");
  post(keycode::e, "E");
  post(keycode::q, "วั");
  ASSERT_TRUE(waitFor([&] { return window.text() == "acBdEวั" && events->ledgerSize() == 0; }, 3, &main, &window))
      << window.text();
  EXPECT_EQ(downOf(keycode::b).unicode, "B");
  EXPECT_TRUE(downOf(keycode::b).flags & flags::capsLock);
  capsDown.reset();

  // Released, with the lock still on, the same holds.
  post(keycode::d, "d");
  ASSERT_TRUE(waitFor([&] { return window.text() == "acBdEวัd"; }, 3, &main, &window)) << window.text();
  user.tap(keycode::f);
  ASSERT_TRUE(waitFor([&] { return window.text() == "acBdEวัdF"; }, 3, &main, &window)) << window.text();
}

TEST_F(X11Events, ADisabledTapLetsEveryKeyThroughUnasked) {
  auto events = makeEvents();
  TapId tap = installTap(*events, [](const Event&) -> std::optional<Event> { return std::nullopt; });
  events->enableTap(tap, false);
  events->flush();
  KeyLogWindow window(server.display());
  XTestUser user(server.display());
  user.tap(keycode::q);
  ASSERT_TRUE(waitFor([&] { return window.text() == "q"; }, 3, &main, &window));
  EXPECT_FALSE(sawDown(keycode::q));
}

}  // namespace
}  // namespace tessa

namespace tessa {
namespace {

// Outside a hold only the keys decided are grabbed: any other reaches the
// focus whatever the tap answers, and the tap hears it, once, in order. A
// hold taken inside the callback of a decided press holds the keys typed
// right behind it; once let go, keys are heard only again.
TEST_F(X11Events, OutsideAHoldOnlyDecidedKeysAreGrabbedAndTheRestAreHeard) {
  auto events = makeEvents();
  events->setDecidedKeys({{keycode::x, flags::control | flags::shift, 0}, {keycode::grave, 0, flags::shift}});
  X11EventSystem* system = events.get();
  installTap(
      *events,
      [system](const Event& e) -> std::optional<Event> {
        if (e.type != EventType::keyDown) return e;
        if (e.keyCode == keycode::grave && !e.listenOnly) system->setKeyboardHeld(true);
        return std::nullopt;  // swallows everything it can
      },
      false);
  KeyLogWindow window(server.display());
  XTestUser user(server.display());
  user.tap(keycode::a);
  user.down(keycode::shift);
  user.tap(keycode::grave);  // Shift is refused: heard only
  user.up(keycode::shift);
  user.down(keycode::control);
  user.down(keycode::shift);
  user.tap(keycode::x);  // decided: swallowed
  user.up(keycode::shift);
  user.up(keycode::control);
  user.tap(keycode::b);
  ASSERT_TRUE(waitFor([&] { return window.text() == "a~b" && sawDown(keycode::b); }, 3, &main, &window))
      << "typed '" << window.text() << "', " << describe();
  auto heard = [&](uint16_t code) {
    auto it = std::find_if(seen.begin(), seen.end(),
                           [&](const Event& e) { return e.type == EventType::keyDown && e.keyCode == code; });
    return it == seen.end() ? std::optional<bool>() : std::optional<bool>(it->listenOnly);
  };
  EXPECT_EQ(heard(keycode::a), std::optional<bool>(true));
  EXPECT_EQ(heard(keycode::grave), std::optional<bool>(true));
  EXPECT_EQ(heard(keycode::x), std::optional<bool>(false));
  std::vector<uint16_t> downs;
  for (const auto& e : seen)
    if (e.type == EventType::keyDown) downs.push_back(e.keyCode);
  EXPECT_EQ(downs, (std::vector<uint16_t>{keycode::a, keycode::grave, keycode::x, keycode::b})) << describe();

  // The unshifted grave takes the hold before it is let go: the key right
  // behind it is the tap's to swallow, and so is every key until the hold
  // is let go.
  user.down(keycode::grave);
  user.tap(keycode::c);
  user.up(keycode::grave);
  user.tap(keycode::d);
  ASSERT_TRUE(waitFor([&] { return sawDown(keycode::d); }, 3, &main, &window)) << describe();
  events->setKeyboardHeld(false);
  events->flush();
  user.tap(keycode::e);
  ASSERT_TRUE(waitFor([&] { return window.text() == "a~be" && sawDown(keycode::e); }, 3, &main, &window))
      << "typed '" << window.text() << "', " << describe();
  EXPECT_EQ(heard(keycode::c), std::optional<bool>(false));
  EXPECT_EQ(heard(keycode::d), std::optional<bool>(false));
  EXPECT_EQ(heard(keycode::e), std::optional<bool>(true));
}

}  // namespace
}  // namespace tessa
