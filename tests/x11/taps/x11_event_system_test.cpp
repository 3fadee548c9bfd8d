// gtest before Xlib, whose macros (Bool, None, ...) would break its headers.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include "platform/x11/x11_event_system.h"

#include <algorithm>

#include "x11/support/tap_harness.h"

namespace tessa {
namespace {

using test::KeyLogWindow;
using test::PumpedRunner;
using test::waitFor;
using test::XTestUser;
using test::XvfbServer;

constexpr uint64_t kKeyMask = eventMaskBit(EventType::keyDown) | eventMaskBit(EventType::keyUp) |
                              eventMaskBit(EventType::flagsChanged);

struct X11Events : ::testing::Test {
  XvfbServer& server = XvfbServer::shared();
  PumpedRunner main;
  std::vector<std::string> logs;
  std::vector<Event> seen;  // what the tap's callback was shown, in order

  void SetUp() override { server.resetKeyboardState(); }

  std::unique_ptr<X11EventSystem> makeEvents(double budget = 1.0) {
    X11EventSystemOptions options;
    options.handlerBudgetSeconds = budget;
    options.log = [this](const std::string& line) { logs.push_back(line); };
    std::string why;
    auto events = X11EventSystem::create(server.display(), main, options, &why);
    EXPECT_TRUE(events) << why;
    return events;
  }

  TapId installTap(X11EventSystem& events, std::function<std::optional<Event>(const Event&)> decide) {
    TapId id = events.createTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyMask,
                                [this, decide](TapId, EventType type, const Event& e) -> std::optional<Event> {
                                  Event copy = e;
                                  copy.type = type;
                                  seen.push_back(copy);
                                  return decide(copy);
                                });
    events.addTapToRunLoop(id);
    events.enableTap(id, true);
    events.flush();  // grabbed before anyone types
    return id;
  }

  bool sawDown(uint16_t keyCode) const {
    return std::any_of(seen.begin(), seen.end(),
                       [&](const Event& e) { return e.type == EventType::keyDown && e.keyCode == keyCode; });
  }
  std::string describe() const {
    std::string out = "tap saw:";
    for (const auto& e : seen) out += " " + std::to_string(static_cast<uint32_t>(e.type)) + ":" + std::to_string(e.keyCode);
    return out;
  }
  bool logged(const std::string& part) const {
    return std::any_of(logs.begin(), logs.end(), [&](const auto& l) { return l.find(part) != std::string::npos; });
  }
};

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
  EXPECT_FALSE(events->ownKeysInFlight());
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

  // Those keys are grabbed on each top-level window: one open before the
  // grab, and one made after it.
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
  // The grab thread takes a new window's keys as it hears it was made: a
  // flush after the one that heard it waits for that (a person cannot type
  // into a window in the moment between).
  events->flush();
  events->flush();
  user.tap(keycode::a);
  user.tap(keycode::s);
  user.tap(keycode::d);  // plain D is ours: swallowed
  user.down(keycode::command);
  user.tap(keycode::d);  // Super+D is the other client's: heard only
  user.up(keycode::command);
  user.tap(keycode::f);
  ASSERT_TRUE(waitFor([&] { return window.text() == "sf" && sawDown(keycode::f); }, 3, &main, &window))
      << "typed '" << window.text() << "', " << describe();
  std::vector<std::pair<uint16_t, bool>> downs;  // key, heard only
  for (const auto& e : seen)
    if (e.type == EventType::keyDown) downs.emplace_back(e.keyCode, e.listenOnly);
  EXPECT_EQ(downs, (std::vector<std::pair<uint16_t, bool>>{
                       {keycode::a, false}, {keycode::s, false}, {keycode::d, false}, {keycode::d, true},
                       {keycode::f, false}}))
      << describe();
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
