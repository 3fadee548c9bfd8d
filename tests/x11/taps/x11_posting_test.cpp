// Posting through the X11 event system: the keys posted come back to the tap
// as posted, once each and in order, whoever else types on the same keys, and
// text reaches the focus whatever the server's layout.
#include "x11/taps/x11_events_fixture.h"

#include <tuple>

#include "base/unicode.h"

namespace tessa {
namespace {

using test::KeyLogWindow;
using test::waitFor;
using test::X11Events;
using test::XTestUser;

TEST_F(X11Events, PostedKeysComeBackWithTheFieldsThePosterSetWhileTheHarnessTypesAsTheUser) {
  auto events = makeEvents();
  installTap(*events, [](const Event& e) -> std::optional<Event> { return e; });
  KeyLogWindow window(server.display());
  XTestUser user(server.display());

  Event x;
  x.type = EventType::keyDown;
  x.keyCode = keycode::x;
  x.sourceUserData = kSyntheticEventTag;
  x.timestamp = 12345.5;
  events->post(TapLocation::hid, x);
  x.type = EventType::keyUp;
  events->post(TapLocation::hid, x);
  events->flush();
  user.tap(keycode::y);
  ASSERT_TRUE(waitFor([&] { return window.text() == "xy"; }, 3, &main, &window)) << window.text();

  // A shifted key is typed shifted; its helper Shift never reaches the tap.
  Event a;
  a.type = EventType::keyDown;
  a.keyCode = keycode::a;
  a.flags = flags::shift;
  events->post(TapLocation::hid, a);
  a.type = EventType::keyUp;
  events->post(TapLocation::hid, a);
  ASSERT_TRUE(waitFor([&] { return window.text() == "xyA" && events->ledgerSize() == 0; }, 3, &main, &window))
      << window.text() << " ledger " << events->ledgerSize();

  auto downOf = [&](uint16_t k) {
    return *std::find_if(seen.begin(), seen.end(),
                         [&](const Event& e) { return e.type == EventType::keyDown && e.keyCode == k; });
  };
  ASSERT_TRUE(sawDown(keycode::x) && sawDown(keycode::y) && sawDown(keycode::a));
  EXPECT_TRUE(downOf(keycode::x).isTagged());
  EXPECT_EQ(downOf(keycode::x).timestamp, 12345.5);
  EXPECT_FALSE(downOf(keycode::y).isTagged()) << "XTest typing by someone else is the user's";
  EXPECT_EQ(downOf(keycode::a).flags, flags::shift);
  EXPECT_TRUE(std::none_of(seen.begin(), seen.end(), [](const Event& e) { return e.keyCode == keycode::shift; }));
  auto upX = std::find_if(seen.begin(), seen.end(),
                          [](const Event& e) { return e.type == EventType::keyUp && e.keyCode == keycode::x; });
  ASSERT_NE(upX, seen.end());
  EXPECT_TRUE(upX->isTagged());
}

// The engine posts a user's key again (held during a switch, or put behind
// the keys it is replaying) while the user may already have typed that same
// key once more, queued behind a press the tap is still deciding. The user's
// press comes first and is the user's; ours, after it, is ours, with the
// fields the engine gave it.
TEST_F(X11Events, TheUsersPressOfTheKeyWeAreReplayingIsTheirsAndOursStaysOurs) {
  auto events = makeEvents();
  XTestUser user(server.display());
  // The user types on a keyboard of their own, not on the XTest one.
  xsession::UserKeyboard keyboard(user.display());
  auto tap = [&](uint16_t key) {
    const unsigned x = *X11EventSystem::xKeyCodeFor(key);
    keyboard.send(x, true);
    keyboard.send(x, false);
    XSync(user.display(), False);
  };
  bool posted = false;
  installTap(*events, [&](const Event& e) -> std::optional<Event> {
    if (e.type != EventType::keyDown || e.keyCode != keycode::a) return e;
    // Deciding the user's "a": they type "k" meanwhile, and then the engine
    // posts its own "k", behind theirs in the server's queue.
    tap(keycode::k);
    Event k;
    k.type = EventType::keyDown;
    k.keyCode = keycode::k;
    k.timestamp = 777.5;
    events->post(TapLocation::hid, k);
    k.type = EventType::keyUp;
    events->post(TapLocation::hid, k);
    posted = true;
    return e;
  });
  KeyLogWindow window(server.display());
  tap(keycode::a);
  ASSERT_TRUE(waitFor([&] { return window.text() == "akk" && events->ledgerSize() == 0; }, 3, &main, &window))
      << window.text() << ", " << describe();
  ASSERT_TRUE(posted);
  std::vector<double> kDowns;
  for (const auto& e : seen)
    if (e.type == EventType::keyDown && e.keyCode == keycode::k) kDowns.push_back(e.timestamp);
  ASSERT_EQ(kDowns.size(), 2u) << describe();
  EXPECT_NE(kDowns[0], 777.5) << "the user's press was taken for the one we posted";
  EXPECT_EQ(kDowns[1], 777.5) << "ours came back as the user's";
  char keys[32] = {};
  XQueryKeymap(user.display(), keys);
  EXPECT_TRUE(std::all_of(std::begin(keys), std::end(keys), [](char b) { return b == 0; })) << "no key left down";
}

// The server takes a press of a key already down as no press at all. While
// the keyboard is frozen on a press the tap is deciding, the user's next
// keys wait in the server behind it, unseen by any query: a key the engine
// posts meanwhile (a held key replayed in the new layout) by the very key
// the user has just pressed would come behind the user's press and be
// dropped. It goes as its text instead.
TEST_F(X11Events, AKeyPostedWhileTheUserPressesItBehindAFrozenKeyIsNotLost) {
  auto events = makeEvents();
  XTestUser user(server.display());
  xsession::UserKeyboard keyboard(user.display());
  const unsigned k = *X11EventSystem::xKeyCodeFor(keycode::k);
  installTap(*events, [&](const Event& e) -> std::optional<Event> {
    if (e.type != EventType::keyDown || e.keyCode != keycode::a) return e;
    keyboard.send(k, true);
    XSync(user.display(), False);
    Event own;
    own.type = EventType::keyDown;
    own.keyCode = keycode::k;
    own.unicode = "k";
    own.sourceUserData = kSyntheticEventTag;
    events->post(TapLocation::hid, own);
    own.type = EventType::keyUp;
    events->post(TapLocation::hid, own);
    waitFor([&] { return events->ledgerSize() > 0; }, 0.5, nullptr, nullptr);  // out, behind the user's press
    return e;
  });
  KeyLogWindow window(server.display());
  keyboard.send(*X11EventSystem::xKeyCodeFor(keycode::a), true);
  keyboard.send(*X11EventSystem::xKeyCodeFor(keycode::a), false);
  XSync(user.display(), False);
  ASSERT_TRUE(waitFor([&] { return sawDown(keycode::k); }, 3, &main, &window)) << describe();
  keyboard.send(k, false);
  XSync(user.display(), False);
  EXPECT_TRUE(waitFor([&] { return window.text() == "akk" && events->ledgerSize() == 0; }, 3, &main, &window))
      << window.text() << ", " << describe();
}

// The engine's own key is tapped at once and the release it posts later
// posts nothing. When that release never comes (the press was a held key
// whose release went its own way), what it left must not take the release
// of a user's key the engine posts again: that key would stay down, and
// the server would drop the user's next press of it.
TEST_F(X11Events, AReleaseOurOwnKeyNeverPostedDoesNotKeepAUsersRepostedKeyDown) {
  auto events = makeEvents();
  installTap(*events, [](const Event& e) -> std::optional<Event> { return e; });
  KeyLogWindow window(server.display());
  XTestUser user(server.display());
  Event own;
  own.type = EventType::keyDown;
  own.keyCode = keycode::k;
  own.sourceUserData = kSyntheticEventTag;
  events->post(TapLocation::hid, own);  // its release is never posted
  Event users;
  users.keyCode = keycode::k;
  users.timestamp = 5.5;
  for (EventType type : {EventType::keyDown, EventType::keyUp}) {
    users.type = type;
    events->post(TapLocation::hid, users);
  }
  ASSERT_TRUE(waitFor([&] { return window.text() == "kk" && events->ledgerSize() == 0; }, 3, &main, &window))
      << window.text() << ", " << describe();
  events->flush();
  char keys[32] = {};
  XQueryKeymap(user.display(), keys);
  const unsigned k = *X11EventSystem::xKeyCodeFor(keycode::k);
  EXPECT_FALSE(keys[k / 8] & (1 << (k % 8))) << "the user's key posted again was left down";
}

// A user's key posted again that the tap drops (their hot key, typed during
// a switch) is released at once, not when the engine's release comes after
// the edit it starts: that one is shown to the tap and posts nothing.
TEST_F(X11Events, AUsersPostedAgainKeyTheTapDropsIsNotLeftDown) {
  auto events = makeEvents();
  installTap(*events, [](const Event& e) -> std::optional<Event> {
    return e.type == EventType::keyDown ? std::nullopt : std::optional<Event>(e);
  });
  XTestUser user(server.display());
  const unsigned k = *X11EventSystem::xKeyCodeFor(keycode::k);
  char keys[32] = {};
  auto up = [&] { return XQueryKeymap(user.display(), keys), !(keys[k / 8] & (1 << (k % 8))); };
  Event replayed;
  replayed.keyCode = keycode::k;
  for (EventType type : {EventType::keyDown, EventType::keyUp}) {
    replayed.type = type;
    events->post(TapLocation::hid, replayed);
    ASSERT_TRUE(waitFor([&] { return !seen.empty() && seen.back().type == type && events->ledgerSize() == 0 && up(); },
                        3, &main, nullptr)) << describe();
  }
}

// The poster's own keys (tagged) go on to the focus as they arrive: the tap
// is shown them but never asked, so they do not wait for the main queue,
// which may be busy reading the very field they edit.
TEST_F(X11Events, TaggedPostedKeysReachTheFocusWithoutWaitingForTheMainQueue) {
  auto events = makeEvents(5.0);
  installTap(*events, [](const Event& e) -> std::optional<Event> { return e; });
  KeyLogWindow window(server.display());
  for (uint16_t key : {keycode::a, keycode::s, keycode::d}) {
    Event e;
    e.type = EventType::keyDown;
    e.keyCode = key;
    e.sourceUserData = kSyntheticEventTag;
    events->post(TapLocation::hid, e);
    e.type = EventType::keyUp;
    events->post(TapLocation::hid, e);
  }
  // Each press waits its turn at the grab, so three cannot all be through yet.
  const bool inFlightAtFirst = events->ownKeysInFlight();
  // Whoever waits for them is told on the main queue once they are through.
  std::optional<bool> inFlightWhenTold;
  events->whenOwnKeysThrough([&] { inFlightWhenTold = events->ownKeysInFlight(); });
  events->flush();
  // No turn of the main queue runs while they land.
  EXPECT_TRUE(waitFor([&] { return window.text() == "asd"; }, 3, nullptr, &window)) << window.text();
  ASSERT_TRUE(waitFor([&] { return window.text() == "asd" && events->ledgerSize() == 0; }, 3, &main, &window))
      << window.text();
  EXPECT_TRUE(inFlightAtFirst);
  EXPECT_FALSE(events->ownKeysInFlight()) << "every key is through";
  ASSERT_TRUE(waitFor([&] { return inFlightWhenTold.has_value(); }, 3, &main, &window)) << "told once through";
  EXPECT_FALSE(*inFlightWhenTold);
  for (uint16_t key : {keycode::a, keycode::s, keycode::d})
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(),
                            [&](const Event& e) {
                              return e.type == EventType::keyDown && e.keyCode == key && e.isTagged();
                            }),
              1)
        << "the tap is shown each posted key once: " << describe();
}

// The engine's own keys (a word it types, its Deletes) go around the grab,
// straight to the focus, each shown to the tap once; the user's keys stay
// the tap's to decide all along, on the key codes ours used too. While a
// dropped press of the user's holds the grab, ours come through it instead,
// and still land once each, in order.
TEST_F(X11Events, TheEnginesOwnKeysGoAroundTheGrabWhileTheUsersStayHeld) {
  auto events = makeEvents(5.0);
  installTap(*events, [](const Event& e) -> std::optional<Event> {
    const bool swallowed = e.keyCode == keycode::a || e.keyCode == keycode::q;
    if (!e.isTagged() && e.type == EventType::keyDown && swallowed) return std::nullopt;
    return e;
  });
  KeyLogWindow window(server.display());
  XTestUser user(server.display());
  auto type = [&](std::initializer_list<uint16_t> keys) {
    for (uint16_t key : keys) {
      Event e;
      e.type = EventType::keyDown;
      e.keyCode = key;
      e.sourceUserData = kSyntheticEventTag;
      e.sourceState = EventSourceState::privateState;
      events->post(TapLocation::hid, e);
      e.type = EventType::keyUp;
      events->post(TapLocation::hid, e);
    }
  };
  auto shows = [&](const std::string& text) {
    return waitFor([&] { return window.text() == text && events->ledgerSize() == 0; }, 3, &main, &window);
  };
  type({keycode::a, keycode::s, keycode::d});
  ASSERT_TRUE(shows("asd")) << window.text();
  user.tap(keycode::a);
  user.tap(keycode::f);
  ASSERT_TRUE(shows("asdf")) << window.text() << " (the user's a is the tap's to swallow)";
  user.down(keycode::q);
  ASSERT_TRUE(waitFor([&] { return sawDown(keycode::q); }, 3, &main, &window));
  type({keycode::g, keycode::a});
  EXPECT_TRUE(shows("asdfga")) << window.text() << " ledger " << events->ledgerSize() << " " << describe();
  user.up(keycode::q);
  for (uint16_t key : {keycode::s, keycode::d, keycode::g})
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(),
                            [&](const Event& e) {
                              return e.type == EventType::keyDown && e.keyCode == key && e.isTagged();
                            }),
              1)
        << describe();
  // The grab thread learns that the last of ours went through a moment after
  // the window shows it.
  EXPECT_TRUE(waitFor([&] { return !events->ownKeysInFlight(); }, 3, &main, &window));
}

// Posted keys carry their text: a cluster no key types (a consonant with its
// vowel mark), and a key given the text of a layout the server has not
// locked yet, reach the focus as that text, seen once by the tap; a key
// whose text the server would type anyway goes by its code. At the end the
// borrowed key codes type nothing again.
TEST_F(X11Events, PostedTextReachesTheFocusWhateverTheServersLayoutAndTheBorrowedKeysAreGivenBack) {
  auto events = makeEvents();
  installTap(*events, [](const Event& e) -> std::optional<Event> { return e; });
  KeyLogWindow window(server.display());
  auto type = [&](uint16_t keyCode, const std::string& text, uint64_t flags = 0) {
    Event e;
    e.type = EventType::keyDown;
    e.keyCode = keyCode;
    e.unicode = text;
    e.flags = flags;
    e.sourceUserData = kSyntheticEventTag;
    events->post(TapLocation::hid, e);
    e.type = EventType::keyUp;
    events->post(TapLocation::hid, e);
  };
  type(keycode::a, "วั");     // no key of its own, in any group
  type(keycode::n, "ื");      // the first group is locked: n would type "n"
  type(keycode::b, "b");      // typed by its key
  type(keycode::l, "ส");
  type(keycode::a, "วั");     // the same cluster again, its key codes reused
  type(keycode::v, "V", flags::shift);
  auto downs = [&] {
    return std::count_if(seen.begin(), seen.end(), [](const Event& e) { return e.type == EventType::keyDown; });
  };
  // The tap is shown a key on the main queue after the grab thread let it
  // through, so the window (and the emptied ledger) can be ahead of it.
  ASSERT_TRUE(waitFor([&] { return window.text() == "วัืbสวัV" && events->ledgerSize() == 0 && downs() >= 6; }, 5,
                      &main, &window))
      << window.text() << " ledger " << events->ledgerSize() << " " << describe();
  main.runPending();
  EXPECT_EQ(downs(), 6) << "each posted key is shown to the tap once, " << describe();

  // Many words later the borrowed key codes are still the same few, reused.
  std::string expected = window.text();
  for (int round = 0; round < 12; ++round) {
    type(keycode::l, "ส");
    type(keycode::a, "วั");
    type(keycode::u, "ี");
    expected += "สวัี";
  }
  ASSERT_TRUE(waitFor([&] { return window.text() == expected && events->ledgerSize() == 0; }, 5, &main, &window))
      << window.text();
  EXPECT_FALSE(logged("key code")) << logs.front();

  events.reset();  // quit
  XTestUser probe(server.display());
  Display* d = probe.display();
  int minCode = 8, maxCode = 255, per = 0;
  XDisplayKeycodes(d, &minCode, &maxCode);
  KeySym* syms = XGetKeyboardMapping(d, static_cast<KeyCode>(minCode), maxCode - minCode + 1, &per);
  ASSERT_TRUE(syms);
  int thai = 0;  // a key's first symbol: the layouts' own keys start with Latin ones
  for (int code = 0; code <= maxCode - minCode; ++code) {
    const KeySym first = syms[code * per];
    if (first == 0xdc7 /* ว */ || first == 0xdd1 /* ั */ || first == 0x1000e27 || first == 0x1000e31) ++thai;
  }
  XFree(syms);
  EXPECT_EQ(thai, 0) << "a borrowed key code still types a character after quit";
}

TEST_F(X11Events, TheBoundNextSourceHotKeyLocksTheNextGroupBeforeLaterKeysAndReachesNoWindow) {
  auto events = makeEvents();
  std::atomic<bool> bound{true};
  events->setNextSourceHotKey([&] { return bound.load(); });
  installTap(*events, [](const Event& e) -> std::optional<Event> { return e; });
  KeyLogWindow window(server.display());
  Display* probe = XOpenDisplay(server.display().c_str());
  ASSERT_TRUE(probe);
  auto lockedGroup = [&] {
    XkbStateRec s{};
    XkbGetState(probe, XkbUseCoreKbd, &s);
    return static_cast<int>(s.locked_group);
  };
  Event f19;
  f19.type = EventType::keyDown;
  f19.keyCode = keycode::f19;
  f19.flags = flags::fn;
  f19.sourceUserData = kSyntheticEventTag;
  Event f19Up = f19;
  f19Up.type = EventType::keyUp;
  // A key posted right behind the hot key is typed in the new group: the
  // Thai layout's key for A (ฟ).
  Event a;
  a.type = EventType::keyDown;
  a.keyCode = keycode::a;
  a.sourceUserData = kSyntheticEventTag;
  Event aUp = a;
  aUp.type = EventType::keyUp;
  for (const Event& e : {f19, f19Up, a, aUp}) events->post(TapLocation::hid, e);
  events->flush();
  EXPECT_EQ(lockedGroup(), 1);
  ASSERT_TRUE(waitFor([&] { return !window.text().empty(); }, 3, &main, &window));
  EXPECT_EQ(window.text(), "ฟ") << "no F19 reached the window, and the key came in the new group";
  EXPECT_FALSE(sawDown(keycode::f19));

  // Wrapping round to the first group.
  events->post(TapLocation::hid, f19);
  events->post(TapLocation::hid, f19Up);
  events->flush();
  EXPECT_EQ(lockedGroup(), 0);

  // Unbound (entry 61 is not Fn+F19): the key goes out as a key, nothing switches.
  bound = false;
  events->post(TapLocation::hid, f19);
  events->post(TapLocation::hid, f19Up);
  events->flush();
  EXPECT_EQ(lockedGroup(), 0);
  XCloseDisplay(probe);
}

// The engine replays a held key as its press and, a spacing later, its
// release; the user may type that key again in between (the next word,
// typed straight after a switch). The server drops a press of a key that is
// still down, before any grab sees it, so a posted key must not stay down
// until its poster's release.
TEST_F(X11Events, TheUsersPressOfAKeyJustPostedReachesTheTapBeforeThePostersRelease) {
  auto events = makeEvents();
  installTap(*events, [](const Event& e) -> std::optional<Event> { return e; });
  KeyLogWindow window(server.display());
  XTestUser user(server.display());
  auto downs = [&](uint16_t keyCode, bool tagged) {
    return std::count_if(seen.begin(), seen.end(), [&](const Event& e) {
      return e.type == EventType::keyDown && e.keyCode == keyCode && e.isTagged() == tagged;
    });
  };
  std::string expected;
  for (auto [key, text] : {std::pair{keycode::a, "a"}, {keycode::s, "s"}, {keycode::d, "d"}}) {
    Event posted;
    posted.type = EventType::keyDown;
    posted.keyCode = key;
    posted.sourceUserData = kSyntheticEventTag;
    events->post(TapLocation::hid, posted);
    expected += text;
    ASSERT_TRUE(waitFor([&] { return downs(key, true) == 1 && window.text() == expected; }, 3, &main, &window))
        << window.text();
    user.tap(key);
    expected += text;
    EXPECT_TRUE(waitFor([&] { return downs(key, false) == 1 && window.text() == expected; }, 3, &main, &window))
        << "the user's press of " << text << " was lost: typed '" << window.text() << "', " << describe();
    posted.type = EventType::keyUp;
    events->post(TapLocation::hid, posted);
  }
  ASSERT_TRUE(waitFor([&] { return events->ledgerSize() == 0; }, 3, &main, &window));
  events->flush();
  main.runPending();  // the releases are shown as they are posted, on the main queue
  for (uint16_t key : {keycode::a, keycode::s, keycode::d}) {
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(),
                            [&](const Event& e) { return e.type == EventType::keyUp && e.keyCode == key && e.isTagged(); }),
              1)
        << "the tap sees the posted key's release once";
  }
  char keys[32] = {};
  XQueryKeymap(user.display(), keys);
  EXPECT_TRUE(std::all_of(std::begin(keys), std::end(keys), [](char b) { return b == 0; })) << "no key left down";
  EXPECT_EQ(window.text(), "aassdd");
}

// Every event posted comes back to the tap once, in the order posted, even
// one that sends nothing to the server: a modifier change (the server keeps
// the modifiers itself), and the release of a key that went out with its
// press (one of the engine's own, or text on a borrowed key code). The
// engine lets the user's keys past only once its own are back: one that
// never came back would hold every key typed in the next second behind it.
TEST_F(X11Events, EveryPostedEventComesBackToTheTapOnceInTheOrderPosted) {
  auto events = makeEvents();
  installTap(*events, [](const Event& e) -> std::optional<Event> { return e; });
  KeyLogWindow window(server.display());
  auto event = [](EventType type, uint16_t key, const std::string& text, bool tagged) {
    Event e;
    e.type = type;
    e.keyCode = key;
    e.unicode = text;
    if (tagged) e.sourceUserData = kSyntheticEventTag;
    return e;
  };
  const std::vector<Event> posted = {
      event(EventType::keyDown, keycode::a, "a", true),     event(EventType::flagsChanged, keycode::control, "", false),
      event(EventType::keyUp, keycode::a, "a", true),       event(EventType::keyDown, keycode::k, "ก", false),
      event(EventType::flagsChanged, keycode::shift, "", false), event(EventType::keyUp, keycode::k, "ก", false)};
  for (const Event& e : posted) events->post(TapLocation::hid, e);
  auto order = [](const std::vector<Event>& list) {
    std::vector<std::tuple<EventType, uint16_t, bool>> out;
    for (const auto& e : list) out.emplace_back(e.type, e.keyCode, e.isTagged());
    return out;
  };
  ASSERT_TRUE(waitFor([&] { return window.text() == "aก" && events->ledgerSize() == 0; }, 3, &main, &window))
      << window.text() << " ledger " << events->ledgerSize() << " " << describe();
  events->flush();
  main.runPending();
  EXPECT_EQ(order(seen), order(posted)) << describe();
}

// A program reads a key with the keymap it fetched last, when it came to the
// change before that key among its events: a borrowed key code given another
// character while a slow program is still behind would type that character.
// More characters than there are borrowed key codes, twice over, each read
// right by a program that takes 5 ms over every key.
TEST_F(X11Events, ASlowProgramReadsEachBorrowedKeyCodeAsItWasWhenItsKeyWasTyped) {
  auto events = makeEvents();
  installTap(*events, [](const Event& e) -> std::optional<Event> { return e; });
  KeyLogWindow window(server.display());
  window.takeKeysSlowly(0.005);
  std::string expected;
  for (int round = 0; round < 2; ++round)
    for (char32_t c = U'ก'; c < U'ก' + 24; ++c) {  // no key of the first group types them
      Event e;
      e.type = EventType::keyDown;
      e.keyCode = keycode::a;
      e.unicode = fromCodePoints(std::u32string(1, c));
      e.sourceUserData = kSyntheticEventTag;
      expected += e.unicode;
      events->post(TapLocation::hid, e);
      e.type = EventType::keyUp;
      events->post(TapLocation::hid, e);
    }
  EXPECT_TRUE(waitFor([&] { return window.text() == expected; }, 10, &main, &window))
      << window.text() << "\n" << expected << "\n" << (logs.empty() ? "" : logs.back());
}

}  // namespace
}  // namespace tessa
