// The simulated keyboard: taps that pass, change or swallow events, posted
// events coming back in order, layouts, the next-source hot key and Caps Lock.
#include <gtest/gtest.h>

#include "platform/sim/sim_desktop.h"

namespace tessa {
namespace {

constexpr uint64_t kKeyboardMask = 0x1C00;
constexpr uint64_t kMouseMask = 0x200000A;
const std::vector<std::string> kHidutilSetGlobal = {
    "property", "--set",
    R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771129,"HIDKeyboardModifierMappingDst":30064771182}]})"};
const std::vector<std::string> kHidutilClearGlobal = {"property", "--set", R"({"UserKeyMapping":[]})"};

class SimKeyboardTest : public ::testing::Test {
 protected:
  ManualClock clock;
  ManualTaskRunner runner{clock};
  SimDesktop desk{clock, runner};
  EventSystem& events() { return desk.events(); }

  // The cases of the taps themselves: the keyboard is held, so every key
  // reaches them as a filtering tap holding the keyboard sees it.
  TapId installTap(TapLocation location, bool head, TapOptions options, uint64_t mask, TapCallback cb) {
    events().setKeyboardHeld(true);
    TapId id = events().createTap(location, head, options, mask, std::move(cb));
    events().addTapToRunLoop(id);
    return id;
  }
  std::string text() { return desk.focusedField()->text(); }
  void setHotKey61(nlohmann::json entry) {
    auto& prefs = desk.preferences();
    auto all = prefs.copyValue("com.apple.symbolichotkeys", "AppleSymbolicHotKeys").value();
    all["61"] = std::move(entry);
    prefs.setValue("com.apple.symbolichotkeys", "AppleSymbolicHotKeys", all);
  }
  static nlohmann::json fnF19Entry() {
    return {{"enabled", 1}, {"value", {{"parameters", {65535, 80, 8388608}}, {"type", "standard"}}}};
  }
  void postFnF19() {
    for (EventType type : {EventType::keyDown, EventType::keyUp}) {
      Event e;
      e.type = type;
      e.keyCode = keycode::f19;
      e.flags = flags::fn;
      e.sourceUserData = kSyntheticEventTag;
      events().post(TapLocation::hid, e);
    }
  }
};

TEST_F(SimKeyboardTest, TypingReachesTheFieldThroughAPassingTap) {
  std::vector<std::pair<EventType, std::string>> seen;
  installTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask,
             [&](TapId, EventType type, const Event& e) -> std::optional<Event> {
               seen.emplace_back(type, e.unicode);
               return e;
             });
  double end = desk.typeText("Hi!", 0.1);
  EXPECT_DOUBLE_EQ(end, 0.25);
  runner.advance(1);
  EXPECT_EQ(text(), "Hi!");
  // Shift is a modifier press of its own, and its flag rides on the letter.
  ASSERT_EQ(seen.size(), 10u);
  EXPECT_EQ(seen[0].first, EventType::flagsChanged);
  EXPECT_EQ(seen[1], std::make_pair(EventType::keyDown, std::string("H")));
  EXPECT_EQ(seen[4], std::make_pair(EventType::keyDown, std::string("i")));
  EXPECT_EQ(seen[7], std::make_pair(EventType::keyDown, std::string("!")));
  EXPECT_EQ(events().hardwareModifierFlags(), 0u);
}

TEST_F(SimKeyboardTest, TapsChangeAndSwallowInLocationThenInsertOrder) {
  std::vector<std::string> order;
  // Session tap: sees what the HID taps let through.
  installTap(TapLocation::session, true, TapOptions::defaultTap, kKeyboardMask,
             [&](TapId, EventType, const Event& e) -> std::optional<Event> {
               order.push_back("session:" + e.unicode);
               return e;
             });
  // HID tail: swallows "x".
  installTap(TapLocation::hid, false, TapOptions::defaultTap, kKeyboardMask,
             [&](TapId, EventType type, const Event& e) -> std::optional<Event> {
               order.push_back("tail:" + e.unicode);
               if (e.unicode == "x") return std::nullopt;
               return e;
             });
  // HID head: turns "a" into "x" and "b" into "c".
  installTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask,
             [&](TapId, EventType, const Event& e) -> std::optional<Event> {
               order.push_back("head:" + e.unicode);
               Event out = e;
               if (e.unicode == "b") out.unicode = "c";
               if (e.unicode == "a") out.unicode = "x";
               return out;
             });
  // A listen-only tap cannot swallow; a tap without the keyboard mask sees nothing.
  installTap(TapLocation::hid, true, TapOptions::listenOnly, kKeyboardMask,
             [&](TapId, EventType, const Event&) -> std::optional<Event> { return std::nullopt; });
  int mouseCalls = 0;
  installTap(TapLocation::hid, true, TapOptions::listenOnly, kMouseMask,
             [&](TapId, EventType, const Event&) -> std::optional<Event> {
               ++mouseCalls;
               return std::nullopt;
             });
  desk.tapKey(keycode::b);
  desk.tapKey(keycode::a);
  runner.runUntilIdle();
  EXPECT_EQ(text(), "c");
  std::vector<std::string> expected = {"head:b", "tail:c", "session:c", "head:b", "tail:c", "session:c",
                                       "head:a", "tail:x", "head:a", "tail:x"};
  EXPECT_EQ(order, expected);
  EXPECT_EQ(mouseCalls, 0);
  desk.click(10, 20);
  runner.runUntilIdle();
  EXPECT_EQ(mouseCalls, 1);  // mouse up is not in the mask
  EXPECT_EQ(events().mouseLocation(), std::make_pair(10.0, 20.0));
}

TEST_F(SimKeyboardTest, DisabledUnattachedAndInvalidTapsAreSkipped) {
  int calls = 0;
  auto cb = [&](TapId, EventType, const Event&) -> std::optional<Event> {
    ++calls;
    return std::nullopt;
  };
  TapId unattached = events().createTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask, cb);
  TapId disabled = installTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask, cb);
  events().enableTap(disabled, false);
  TapId gone = installTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask, cb);
  events().invalidateTap(gone);
  EXPECT_NE(unattached, 0u);
  EXPECT_TRUE(events().isTapEnabled(unattached));
  EXPECT_FALSE(events().isTapValid(gone));
  desk.tapKey(keycode::k);
  runner.runUntilIdle();
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(text(), "k");
}

TEST_F(SimKeyboardTest, ATapMayReplaceItselfFromItsOwnCallback) {
  // Recovery code destroys and recreates the tap while handling an event.
  int oldCalls = 0, newCalls = 0;
  TapId current = 0;
  current = installTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask,
                       [&](TapId id, EventType, const Event& e) -> std::optional<Event> {
                         ++oldCalls;
                         events().enableTap(id, false);
                         events().removeTapFromRunLoop(id);
                         events().invalidateTap(id);
                         current = installTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask,
                                              [&](TapId, EventType, const Event& e2) -> std::optional<Event> {
                                                ++newCalls;
                                                return e2;
                                              });
                         return e;
                       });
  desk.tapKey(keycode::q);
  runner.runUntilIdle();
  EXPECT_EQ(oldCalls, 1);
  EXPECT_EQ(newCalls, 1);  // the new tap sees the key up, not the key down already in flight
  EXPECT_EQ(text(), "q");
  EXPECT_EQ(events().isTapValid(current), true);
}

TEST_F(SimKeyboardTest, PostedEventsComeBackThroughTheTapsInOrder) {
  std::vector<std::string> seen;
  installTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask,
             [&](TapId, EventType type, const Event& e) -> std::optional<Event> {
               if (type == EventType::keyDown) seen.push_back((e.isTagged() ? "tagged:" : "user:") + e.unicode);
               if (e.isTagged()) return e;
               if (type == EventType::keyDown && e.keyCode == keycode::a) {
                 // Replace the key with two synthetic ones that carry no text:
                 // the application translates them through the current layout.
                 for (uint16_t k : {keycode::x, keycode::y}) {
                   Event down;
                   down.type = EventType::keyDown;
                   down.keyCode = k;
                   down.sourceUserData = kSyntheticEventTag;
                   events().post(TapLocation::hid, down);
                 }
               }
               return std::nullopt;
             });
  int sessionOnly = 0;
  installTap(TapLocation::session, true, TapOptions::listenOnly, kKeyboardMask,
             [&](TapId, EventType, const Event&) -> std::optional<Event> {
               ++sessionOnly;
               return std::nullopt;
             });
  desk.keyDown(keycode::a);
  runner.runUntilIdle();
  EXPECT_EQ(text(), "xy");
  EXPECT_EQ(seen, (std::vector<std::string>{"user:a", "tagged:x", "tagged:y"}));
  ASSERT_EQ(desk.postedEvents().size(), 2u);
  EXPECT_EQ(desk.postedEvents()[0].sourcePID, SimDesktop::kOwnPid);
  EXPECT_EQ(sessionOnly, 2);

  // Posted at the session location, an event skips the HID taps.
  Event e;
  e.type = EventType::keyDown;
  e.keyCode = keycode::z;
  events().post(TapLocation::session, e);
  runner.runUntilIdle();
  EXPECT_EQ(seen.size(), 3u);
  EXPECT_EQ(sessionOnly, 3);
  EXPECT_EQ(text(), "xyz");
}

TEST_F(SimKeyboardTest, TapCreationAndTheSystemDisablingATap) {
  std::vector<EventType> types;
  TapId tap = installTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask,
                         [&](TapId, EventType type, const Event& e) -> std::optional<Event> {
                           types.push_back(type);
                           return e;
                         });
  desk.disableTapByTimeout(tap);
  EXPECT_FALSE(events().isTapEnabled(tap));
  runner.runUntilIdle();
  EXPECT_EQ(types, std::vector<EventType>{EventType::tapDisabledByTimeout});

  desk.setTapCreationAllowed(false);
  EXPECT_EQ(events().createTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask, nullptr), 0u);
  desk.setTapCreationAllowed(true);
  desk.setTrusted(false);
  EXPECT_EQ(events().createTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask, nullptr), 0u);
  EXPECT_FALSE(events().canPostEvents());
}

TEST_F(SimKeyboardTest, ThaiLayoutTypesTheKedmaneeTable) {
  desk.setEnabledSources({"com.apple.keylayout.ABC", "com.apple.keylayout.Thai"});
  desk.setCurrentSource("com.apple.keylayout.Thai");
  desk.typeText("l;ylfu");
  runner.advance(1);
  EXPECT_EQ(text(), "สวัสดี");
  desk.focusedField()->setText("");
  desk.typeText("fu");
  desk.typeText("3}", 0.05, 0.2);  // where this table and xkeyboard-config's th differ
  runner.advance(1);
  EXPECT_EQ(text(), "ดี_ฅ");
}

TEST_F(SimKeyboardTest, TextIsFixedWhenTheEventIsCreated) {
  desk.setSwitchLatency(0.04);
  ASSERT_EQ(desk.inputSources().select("com.apple.keylayout.Thai"), 0);
  desk.keyDown(keycode::f);  // created before the switch lands
  runner.advance(0.05);
  desk.keyDown(keycode::f);
  runner.runUntilIdle();
  EXPECT_EQ(text(), "fด");
}

TEST_F(SimKeyboardTest, HotKey61SwitchesOnlyOnceSetAndWorking) {
  int notifications = 0;
  Subscription sub = desk.inputSources().observeSelectedSourceChanged([&] { ++notifications; });
  desk.setSwitchLatency(0.04);

  // A fresh desktop: 61 is Control+Option+Space, so Fn+F19 does nothing.
  postFnF19();
  runner.advance(0.5);
  EXPECT_EQ(desk.currentSource(), "com.apple.keylayout.ABC");
  EXPECT_EQ(desk.hotKeyActivations(), 0);

  // Written but not synchronised: the system has not seen it.
  setHotKey61(fnF19Entry());
  postFnF19();
  runner.advance(0.5);
  EXPECT_EQ(desk.currentSource(), "com.apple.keylayout.ABC");

  ASSERT_TRUE(desk.preferences().synchronize("com.apple.symbolichotkeys"));
  size_t reachedApp = desk.applicationEvents().size();
  postFnF19();
  runner.advance(0.035);
  EXPECT_EQ(desk.currentSource(), "com.apple.keylayout.ABC");  // within the latency
  runner.advance(0.01);
  EXPECT_EQ(desk.currentSource(), "com.apple.keylayout.Thai");
  runner.runUntilIdle();
  EXPECT_EQ(notifications, 1);
  EXPECT_EQ(desk.hotKeyActivations(), 1);
  EXPECT_EQ(desk.applicationEvents().size(), reachedApp);  // the system keeps its hot keys

  // Cyclic: the next press goes back to ABC.
  postFnF19();
  runner.advance(0.1);
  EXPECT_EQ(desk.currentSource(), "com.apple.keylayout.ABC");

  desk.setNextSourceHotKeyWorks(false);
  postFnF19();
  runner.advance(0.1);
  EXPECT_EQ(desk.currentSource(), "com.apple.keylayout.ABC");
  EXPECT_EQ(notifications, 2);

  // Disabled entry: no hot key either.
  desk.setNextSourceHotKeyWorks(true);
  auto entry = fnF19Entry();
  entry["enabled"] = 0;
  setHotKey61(entry);
  desk.preferences().synchronize("com.apple.symbolichotkeys");
  postFnF19();
  runner.advance(0.1);
  EXPECT_EQ(desk.currentSource(), "com.apple.keylayout.ABC");
}

TEST_F(SimKeyboardTest, CapsLockTogglesUntilRemappedToF19) {
  std::vector<Event> seen;
  installTap(TapLocation::hid, true, TapOptions::listenOnly, kKeyboardMask,
             [&](TapId, EventType, const Event& e) -> std::optional<Event> {
               seen.push_back(e);
               return e;
             });
  desk.keyDown(keycode::capsLock);
  desk.keyUp(keycode::capsLock);
  runner.runUntilIdle();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].type, EventType::flagsChanged);
  EXPECT_EQ(seen[0].keyCode, keycode::capsLock);
  EXPECT_EQ(seen[0].flags & flags::capsLock, flags::capsLock);
  EXPECT_TRUE(desk.capsLockOn());
  EXPECT_EQ(events().hardwareModifierFlags(), flags::capsLock);
  desk.tapKey(keycode::g);
  runner.runUntilIdle();
  EXPECT_EQ(text(), "G");
  desk.tapKey(keycode::capsLock);
  runner.runUntilIdle();
  EXPECT_FALSE(desk.capsLockOn());
  EXPECT_EQ(seen.back().flags & flags::capsLock, 0u);

  // Remapped: Caps Lock is F19 (which carries Fn, as function keys do).
  seen.clear();
  ASSERT_EQ(desk.processes().run("/usr/bin/hidutil", kHidutilSetGlobal, 5).exitStatus, 0);
  EXPECT_TRUE(desk.capsLockRemappedToF19());
  desk.keyDown(keycode::capsLock);
  desk.keyUp(keycode::capsLock);
  runner.runUntilIdle();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].type, EventType::keyDown);
  EXPECT_EQ(seen[0].keyCode, keycode::f19);
  EXPECT_EQ(seen[0].flags, flags::fn);
  EXPECT_EQ(seen[1].type, EventType::keyUp);
  EXPECT_FALSE(desk.capsLockOn());

  // With hot key 61 bound to Fn+F19 and nothing swallowing the key, the
  // physical Caps Lock now switches the layout by itself.
  setHotKey61(fnF19Entry());
  desk.preferences().synchronize("com.apple.symbolichotkeys");
  desk.tapKey(keycode::capsLock);
  runner.advance(0.1);
  EXPECT_EQ(desk.currentSource(), "com.apple.keylayout.Thai");

  // A key held across the clearing is released as what it was pressed as.
  seen.clear();
  desk.keyDown(keycode::capsLock);
  desk.processes().run("/usr/bin/hidutil", kHidutilClearGlobal, 5);
  desk.keyUp(keycode::capsLock);
  desk.tapKey(keycode::capsLock);
  runner.runUntilIdle();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1].keyCode, keycode::f19);
  EXPECT_EQ(seen[1].type, EventType::keyUp);
  EXPECT_EQ(seen[2].type, EventType::flagsChanged);
  EXPECT_TRUE(desk.capsLockOn());
}

TEST_F(SimKeyboardTest, HidLockStateAndLight) {
  Hid& hid = desk.hid();
  EXPECT_EQ(hid.capsLockState(), false);
  EXPECT_EQ(hid.setCapsLockState(true), CapsLockSetResult::done);
  desk.tapKey(keycode::a);
  runner.runUntilIdle();
  EXPECT_EQ(text(), "A");
  auto opened = hid.openKeyboards();
  ASSERT_TRUE(opened);
  ASSERT_EQ(opened->size(), 1u);
  EXPECT_EQ((*opened)[0].lightElements, 1);
  EXPECT_EQ(hid.setLightElement(0, 0, true), 0);
  EXPECT_EQ(desk.hid().light(), true);
  EXPECT_EQ(hid.readLightElement(0, 0).value, 1);
  hid.closeKeyboards();
  EXPECT_NE(hid.readLightElement(0, 0).status, 0) << "closed";
  EXPECT_EQ(desk.hid().calls(), (std::vector<std::string>{"set caps on", "open 1", "light on", "close"}));
  desk.hid().setCapsLockReadable(false);
  EXPECT_EQ(hid.capsLockState(), std::nullopt);
  EXPECT_EQ(hid.setCapsLockState(false), CapsLockSetResult::failed);
  desk.hid().setServicePresent(false);
  EXPECT_EQ(hid.setCapsLockState(false), CapsLockSetResult::noService);
}

TEST_F(SimKeyboardTest, ChordsCarryTheirModifiers) {
  std::vector<Event> seen;
  installTap(TapLocation::hid, true, TapOptions::listenOnly, kKeyboardMask,
             [&](TapId, EventType, const Event& e) -> std::optional<Event> {
               seen.push_back(e);
               return e;
             });
  desk.press("ctrl+shift+x");
  desk.press("command+space", 0.1);
  runner.advance(0.05);
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen[0].flags, flags::control);
  EXPECT_EQ(seen[1].flags, flags::control | flags::shift);
  EXPECT_EQ(seen[2].type, EventType::keyDown);
  EXPECT_EQ(seen[2].keyCode, keycode::x);
  EXPECT_EQ(seen[2].flags, flags::control | flags::shift);
  EXPECT_EQ(seen[5].flags, 0u);
  runner.advance(0.1);
  EXPECT_EQ(seen[7].keyCode, keycode::space);
  EXPECT_EQ(seen[7].flags, flags::command);
  EXPECT_EQ(text(), "");  // Control and Command keys type nothing
  seen.clear();
  desk.pressKey(keycode::grave, flags::option | flags::fn);
  runner.runUntilIdle();
  ASSERT_EQ(seen.size(), 6u);
  EXPECT_EQ(seen[2].keyCode, keycode::grave);
  EXPECT_EQ(seen[2].flags, flags::option | flags::fn);
  EXPECT_THROW(desk.press("hyper+x"), std::invalid_argument);
  EXPECT_THROW(desk.typeText("é"), std::invalid_argument);
}

TEST_F(SimKeyboardTest, InputSourceSelection) {
  auto& sources = desk.inputSources();
  desk.setEnabledSources({"com.apple.keylayout.ABC", "com.apple.keylayout.Thai", "com.apple.keylayout.Lao"});
  EXPECT_EQ(sources.select("com.apple.keylayout.Vietnamese"), SimInputSources::kParamErr);  // not enabled
  EXPECT_EQ(sources.select("nonsense"), SimInputSources::kParamErr);
  EXPECT_EQ(sources.select("com.apple.keylayout.Lao"), 0);
  runner.advance(0.1);
  auto current = sources.currentKeyboardSource();
  ASSERT_TRUE(current);
  EXPECT_EQ(current->id, "com.apple.keylayout.Lao");
  EXPECT_EQ(current->languages, std::vector<std::string>{"lo"});
  EXPECT_EQ(current->localizedName, "Lao");
  auto list = sources.enabledSources();
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 3u);
  EXPECT_EQ((*list)[1].languages, std::vector<std::string>{"th"});
  desk.inputSources().setListReadable(false);
  EXPECT_FALSE(sources.enabledSources());
}

TEST_F(SimKeyboardTest, TranscriptPieces) {
  Event e;
  e.type = EventType::keyDown;
  e.keyCode = keycode::f19;
  e.flags = flags::fn;
  e.sourceUserData = kSyntheticEventTag;
  events().post(TapLocation::hid, e);
  desk.processes().run("/usr/bin/hidutil", {"property", "--get", "UserKeyMapping"}, 5);
  desk.typeText("ok");
  runner.advance(1);
  auto t = desk.transcript();
  EXPECT_EQ(t["text"], "ok");
  EXPECT_EQ(t["caret"], 2);
  EXPECT_EQ(t["inputSource"], "com.apple.keylayout.ABC");
  EXPECT_EQ(t["posted"], nlohmann::json::parse(
                             R"([{"type":"keyDown","keyCode":80,"flags":"0x800000","unicode":"","tagged":true}])"));
  EXPECT_EQ(t["children"], nlohmann::json::parse(
                               R"([{"path":"/usr/bin/hidutil","arguments":["property","--get","UserKeyMapping"]}])"));
}

TEST_F(SimKeyboardTest, EachApplicationRecordsTheKeysItReceived) {
  // A tap that swallows the release of "a" for good: the application saw the
  // key go down and never come up.
  installTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask,
             [](TapId, EventType type, const Event& e) -> std::optional<Event> {
               if (type == EventType::keyUp && e.keyCode == keycode::a) return std::nullopt;
               return e;
             });
  desk.typeText("H\n");
  runner.advance(1);
  desk.keyDown(keycode::capsLock);
  desk.keyUp(keycode::capsLock);
  runner.advance(1);
  desk.keyDown(keycode::a);
  runner.runUntilIdle();
  desk.launchApplication("com.apple.Safari", "Safari");
  desk.activateApplication("com.apple.Safari");
  desk.keyUp(keycode::a);
  desk.press("ctrl+\\");
  runner.runUntilIdle();
  desk.keyDown(keycode::x);
  runner.runUntilIdle();

  auto t = desk.transcript();
  EXPECT_EQ(t["delivered"], nlohmann::json::parse(R"({
    "com.apple.TextEdit": ["down shift", "down shift+h 'H'", "up shift+h 'H'", "up shift",
                           "down return", "up return", "capslock on", "down a 'A'"],
    "com.apple.Safari": ["down ctrl", "down ctrl+\\ '\\\\'", "up ctrl+\\ '\\\\'", "up ctrl", "down x 'X'"]})"));
  // The swallowed release still let the key up; only "x" is down.
  EXPECT_EQ(t["heldKeys"], nlohmann::json::parse(R"(["x"])"));
  desk.keyUp(keycode::x);
  runner.runUntilIdle();
  EXPECT_FALSE(desk.transcript().contains("heldKeys"));
}

// Outside a hold the keyboard reaches a filtering tap as the X server hands
// it over: a decided key (with the modifiers it asks for) can be swallowed;
// any other key reaches the application whatever the tap answers, and its
// release goes the way its press went, even once the keyboard is held.
TEST_F(SimKeyboardTest, OnlyDecidedKeysAndKeysPressedDuringAHoldAreTheTapsToSwallow) {
  std::vector<bool> heard;
  TapId tap = events().createTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyboardMask,
                                 [&](TapId, EventType, const Event& e) -> std::optional<Event> {
                                   heard.push_back(e.listenOnly);
                                   return std::nullopt;
                                 });
  events().addTapToRunLoop(tap);
  events().setDecidedKeys({{keycode::x, flags::control | flags::shift, 0}});
  desk.press("ctrl+shift+x");  // decided: swallowed, modifiers heard only
  runner.runUntilIdle();
  desk.keyDown(keycode::b);  // heard only, and so is its release
  runner.runUntilIdle();
  events().setKeyboardHeld(true);
  desk.keyUp(keycode::b);
  desk.tapKey(keycode::c);  // pressed during the hold: the tap's
  runner.runUntilIdle();
  EXPECT_EQ(text(), "b");
  EXPECT_EQ(heard, (std::vector<bool>{true, true, false, false, true, true, true, true, false, false}));
}

}  // namespace
}  // namespace tessa
