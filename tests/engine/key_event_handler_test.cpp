#include <gtest/gtest.h>

#include <algorithm>

#include "typing/typing_flow_controller.h"
#include "engine/system_keyboard.h"
#include "support/key_road_fixture.h"

namespace tessa {
namespace {

using test::KeyRoadFixture;
using EV = EventType;

constexpr uint64_t kCtrl = flags::control, kShift = flags::shift, kOpt = flags::option, kCmd = flags::command,
                   kFn = flags::fn;

struct HandlerFixture : KeyRoadFixture {
  HandlerFixture() {
    startEngine();
    engine->createEventTap();
    settle();
  }
  bool passes(EV type, uint16_t code, uint64_t fl = 0, std::string text = "") {
    return handle(type, code, fl, std::move(text)).has_value();
  }
};

// ------------------------------------------------------ the order of tests

TEST(KeyEventHandler, TheDebugSwitchPassesEverythingEvenThePauseHotKey) {
  HandlerFixture f;
  f.defaults->setBool("debugDisableEventTap", true);
  EXPECT_TRUE(f.passes(EV::keyDown, keycode::p, kCtrl | kOpt | kCmd));
  EXPECT_TRUE(f.passes(EV::keyDown, keycode::x, kCtrl | kShift));
  f.settle();
  EXPECT_FALSE(f.engine->isPaused.get());
}

TEST(KeyEventHandler, ThePauseHotKeyWorksTaggedAndWhilePaused) {
  HandlerFixture f;
  Event p = f.key(EV::keyDown, keycode::p, kCtrl | kOpt | kCmd | kShift);
  p.sourceUserData = kSyntheticEventTag;
  EXPECT_FALSE(f.engine->handleInner(f.engine->tap.eventTap, EV::keyDown, p)) << "tagged still toggles";
  f.settle();
  EXPECT_TRUE(f.engine->isPaused.get());
  EXPECT_TRUE(f.passes(EV::keyDown, keycode::a, 0, "a")) << "paused: everything else passes";
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::p, kCtrl | kOpt | kCmd));
  f.settle();
  EXPECT_FALSE(f.engine->isPaused.get());
}

TEST(KeyEventHandler, SecureInputPassesAndDropsTheHeldState) {
  HandlerFixture f;
  f.engine->focus.cachedFocusedFieldIsSecure = true;
  EXPECT_TRUE(f.passes(EV::keyDown, keycode::x, kCtrl | kShift)) << "no chords in a password field";
  f.settle();
  EXPECT_TRUE(f.logged("clearBufferState"));
}

TEST(KeyEventHandler, AClickOutsideOurPanelsEndsTheWordAndOneInsideDoesNot) {
  HandlerFixture f;
  f.panel->show(DisplayState::status("x", "", "i", HudColor::green), 3, true, false);
  f.settle();
  Rect r = f.panel->frame();
  int before = f.loggedCount("clearBufferState");
  f.desktop.events().setMouseLocation(r.x + 2, r.y + 2);
  EXPECT_TRUE(f.engine->handleInner(f.engine->tap.mouseTap, EV::leftMouseDown, f.key(EV::leftMouseDown, 0)));
  f.settle();
  EXPECT_EQ(f.loggedCount("clearBufferState"), before);
  f.desktop.events().setMouseLocation(r.x + r.width + 50, r.y);
  EXPECT_TRUE(f.engine->handleInner(f.engine->tap.mouseTap, EV::rightMouseDown, f.key(EV::rightMouseDown, 0)));
  f.settle();
  EXPECT_GT(f.loggedCount("clearBufferState"), before);
}

TEST(KeyEventHandler, OurOwnTaggedEventsPassDuringASimulationAndASwitch) {
  HandlerFixture f;
  f.engine->beginTypingSimulation();
  f.engine->flow.isSpeculating = true;
  Event own = f.key(EV::keyDown, keycode::a, 0, "a");
  own.sourceUserData = kSyntheticEventTag;
  EXPECT_TRUE(f.engine->handleInner(f.engine->tap.eventTap, EV::keyDown, own));
  EXPECT_TRUE(!f.engine->heldKeys.hasPressHeld());
  f.engine->flow.isSpeculating = false;
  f.engine->endTypingSimulation();
}

// ------------------------------------------------------------------ chords

TEST(KeyEventHandler, AKeyAnotherProgramTookIsNeverHeldOrBufferedOnlyPassed) {
  HandlerFixture f;
  auto heard = [&](uint16_t code, uint64_t fl, std::string text) {
    Event e = f.key(EV::keyDown, code, fl, std::move(text));
    e.listenOnly = true;
    return e;
  };
  // During a switch: held keys would be typed once by the other program
  // and once more by the replay.
  f.engine->flow.isSpeculating = true;
  EXPECT_TRUE(f.engine->handleInner(f.engine->tap.eventTap, EV::keyDown, heard(keycode::d, kCmd, "d")));
  EXPECT_TRUE(!f.engine->heldKeys.hasPressHeld());
  f.engine->flow.isSpeculating = false;
  // During a simulation: buffered keys are replayed afterwards.
  f.engine->beginTypingSimulation();
  EXPECT_TRUE(f.engine->handleInner(f.engine->tap.eventTap, EV::keyDown, heard(keycode::q, 0, "q")));
  EXPECT_TRUE(f.engine->heldKeys.simulationHeldCount() == 0);
  f.engine->endTypingSimulation();
  // The same key the tap can filter is held as before.
  f.engine->flow.isSpeculating = true;
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::d, 0, "d"));
  EXPECT_EQ(f.engine->heldKeys.pressHeld().size(), 1u);
  f.engine->flow.isSpeculating = false;
  f.engine->heldKeys.dropPressHeld();
  // Heard only, an ordinary key is still followed: the word, the add-word
  // confirmation it disarms.
  f.engine->flow.pendingWhitelistConfirmationWord = "hello";
  const size_t strokes = f.engine->flow.flowController->strokes().size();
  EXPECT_TRUE(f.engine->handleInner(f.engine->tap.eventTap, EV::keyDown, heard(keycode::k, 0, "k")));
  EXPECT_EQ(f.engine->flow.flowController->strokes().size(), strokes + 1);
  EXPECT_FALSE(f.engine->flow.pendingWhitelistConfirmationWord.has_value());
  // A chord another program holds is its own.
  EXPECT_TRUE(f.engine->handleInner(f.engine->tap.eventTap, EV::keyDown, heard(keycode::x, kCtrl | kShift, "")));
  f.settle();
  EXPECT_FALSE(f.logged("cycleCurrentWordLanguage"));
}

// The event system holds every key from the switcher's press (told inside
// its callback, so the hold is in place before the press is let go) until
// the keys held meanwhile are replayed and back, and through a simulation;
// outside a hold it holds the keys a stage may swallow.
TEST(KeyEventHandler, TheKeyboardIsHeldExactlyWhileKeysMayBeHeld) {
  HandlerFixture f;
  auto& events = f.desktop.events();
  auto decides = [&](uint16_t code, uint64_t required) {
    const auto& keys = events.decidedKeys();
    return std::any_of(keys.begin(), keys.end(), [&](const DecidedKey& k) {
      return k.keyCode == code && k.required == required;
    });
  };
  EXPECT_TRUE(decides(keycode::f19, 0) && decides(keycode::x, kCtrl | kShift) && decides(keycode::p, kCtrl | kOpt | kCmd));
  EXPECT_FALSE(decides(keycode::grave, 0));
  EXPECT_FALSE(events.keyboardHeld());
  // Through the timed callback, as the tap calls it.
  auto tapped = [&](EV type, uint16_t code, uint64_t fl, std::string text = "") {
    Event e = f.key(type, code, fl, std::move(text));
    e.timestamp = f.clock.uptime();
    return f.engine->handle(f.engine->tap.eventTap, type, e).has_value();
  };
  EXPECT_FALSE(tapped(EV::keyDown, keycode::f19, kFn));
  EXPECT_TRUE(events.keyboardHeld()) << "before the switcher's press is answered";
  EXPECT_FALSE(tapped(EV::keyDown, keycode::k, 0, "k"));
  EXPECT_FALSE(tapped(EV::keyUp, keycode::f19, kFn));
  EXPECT_TRUE(events.keyboardHeld()) << "the switch's hold follows the press's";
  f.advance(2.0);
  EXPECT_FALSE(events.keyboardHeld());
  f.engine->beginTypingSimulation();
  EXPECT_TRUE(events.keyboardHeld());
  f.engine->endTypingSimulation();
  f.settle();
  EXPECT_FALSE(events.keyboardHeld());
  f.engine->switcherKey.set(SwitcherKey::grave);
  EXPECT_TRUE(decides(keycode::grave, 0) && !decides(keycode::f19, 0));
}

TEST(KeyEventHandler, ChordsAllowFnAndExtraModifiersAndRunOnTheMainQueue) {
  HandlerFixture f;
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::x, kFn | kShift));
  EXPECT_FALSE(f.engine->isSmartCorrectionEnabled.get()) << "not inside the callback";
  f.settle();
  EXPECT_TRUE(f.engine->isSmartCorrectionEnabled.get()) << "the conversion hot key turns correction on";
  EXPECT_TRUE(f.showedNotice("เปิดระบบแปลงคำแล้ว"));
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::x, kCtrl | kShift | kOpt));
  EXPECT_FALSE(f.passes(EV::keyUp, keycode::x, kCtrl | kShift)) << "the key-up of a swallowed chord";
  f.advance(1.0);  // keys typed before the conversion is over wait for it
  EXPECT_TRUE(f.passes(EV::keyDown, keycode::x, kCtrl)) << "Control alone is no chord";
  EXPECT_TRUE(f.passes(EV::keyUp, keycode::x, kCtrl | kShift)) << "only key downs are chords";
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::z, kCtrl | kShift));
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::o, kCtrl | kShift));
}

TEST(KeyEventHandler, AnyOtherKeyDownDisarmsTheAddWordConfirmation) {
  HandlerFixture f;
  f.engine->flow.pendingWhitelistConfirmationWord = "hello";
  f.passes(EV::keyUp, keycode::b);
  EXPECT_TRUE(f.engine->flow.pendingWhitelistConfirmationWord.has_value()) << "a key up does not";
  f.passes(EV::keyDown, keycode::b, 0, "b");
  EXPECT_FALSE(f.engine->flow.pendingWhitelistConfirmationWord.has_value());
  f.engine->flow.pendingWhitelistConfirmationWord = "hello";
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::a, kCtrl | kShift));
  EXPECT_TRUE(f.engine->flow.pendingWhitelistConfirmationWord.has_value()) << "the A chord itself keeps it";
}

// --------------------------------------------------------- Space switchers

TEST(KeyEventHandler, SpaceSwitchesOnlyWithItsOwnModifier) {
  HandlerFixture f;
  f.engine->switcherKey.set(SwitcherKey::optionSpace);
  EXPECT_TRUE(f.passes(EV::keyDown, keycode::space, kOpt | kCmd, " "));
  EXPECT_TRUE(f.passes(EV::keyUp, keycode::space, kOpt | kCmd));
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::space, kOpt | kShift, " "));
  EXPECT_TRUE(f.logged("Space Switch (Option+Space): Transition triggered (Seq: 1)."));
  // Option released before Space: the key up still belongs to the swallowed press.
  EXPECT_FALSE(f.passes(EV::keyUp, keycode::space, 0));
  // A second press within 0.25 s is swallowed without a second switch.
  f.advance(0.1);
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::space, kOpt, " "));
  EXPECT_EQ(f.loggedCount("Space Switch"), 1);
  f.advance(0.15);
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::space, kOpt, " "));
  EXPECT_EQ(f.loggedCount("Space Switch"), 2) << "0.25 s later it switches again";
}

TEST(KeyEventHandler, TheSpaceSwitchTogglesTheSourceOnTheDesktop) {
  HandlerFixture f;
  f.engine->switcherKey.set(SwitcherKey::controlSpace);
  f.settle();
  f.desktop.press("ctrl+space");
  f.advance(1.0);
  EXPECT_EQ(f.desktop.currentSource(), "com.apple.keylayout.Thai");
  EXPECT_EQ(f.desktop.focusedField()->text(), "") << "neither the key nor its release reached the field";
}

// ------------------------------------------------------------------ grave

TEST(KeyEventHandler, GraveSwitchesWithoutModifiersWithA250msDebounce) {
  HandlerFixture f;
  f.engine->switcherKey.set(SwitcherKey::grave);
  EXPECT_TRUE(f.passes(EV::keyDown, keycode::grave, kShift, "~")) << "Shift+` types a tilde";
  EXPECT_TRUE(f.passes(EV::keyUp, keycode::grave)) << "its key up goes with it";
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::grave, 0, "`"));
  EXPECT_TRUE(f.logged("Grave Switch: Transition triggered (Seq: 1). Initial lang is English: true."));
  EXPECT_FALSE(f.passes(EV::keyUp, keycode::grave));
  f.advance(0.2);
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::grave, 0, "`"));
  EXPECT_TRUE(f.logged("Grave Switch: Debounced duplicate event within 250ms."));
  f.engine->switcherKey.set(SwitcherKey::capslock);
  EXPECT_TRUE(f.passes(EV::keyDown, keycode::grave, 0, "`")) << "not the switcher: an ordinary key";
}

// -------------------------------------------------------------------- F19

TEST(KeyEventHandler, AShortF19PressSwitchesAndQueuesTheHeldKeysBehindTheSwitch) {
  HandlerFixture f;
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::f19));
  EXPECT_TRUE(f.engine->flow.isSpeculating);
  EXPECT_TRUE(f.logged("F19 DOWN: capsAtStart=false, holdThreshold=350ms"));
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::k, 0, "k"));
  EXPECT_FALSE(f.passes(EV::keyUp, keycode::k));
  EXPECT_EQ(f.engine->heldKeys.pressHeld().size(), 2u);
  f.advance(0.34);
  EXPECT_FALSE(f.passes(EV::keyUp, keycode::f19));
  EXPECT_FALSE(f.engine->flow.isSpeculating);
  EXPECT_TRUE(!f.engine->heldKeys.hasPressHeld());
  EXPECT_TRUE(f.systemLog.contains("F19 SHORT PRESS 340ms: Switched Language (short press: 0.34s) [stamped 2 events",
                                   "Keyboard"));
  EXPECT_FALSE(f.desktop.capsLockOn());
}

TEST(KeyEventHandler, AShortPressWithCapsLockOnTurnsItOffAndSwitches) {
  HandlerFixture f;
  f.desktop.hid().toggleCapsLock();
  f.passes(EV::keyDown, keycode::f19, flags::capsLock);
  f.advance(0.1);
  f.passes(EV::keyUp, keycode::f19, flags::capsLock);
  EXPECT_FALSE(f.desktop.capsLockOn());
  EXPECT_TRUE(f.systemLog.contains("Toggled Caps Lock OFF & Switched Language (short press: 0.10s)", "Keyboard"));
}

TEST(KeyEventHandler, ALongF19PressTogglesCapsLockAndReplaysTheHeldKeysUnchanged) {
  HandlerFixture f;
  f.passes(EV::keyDown, keycode::f19);
  f.advance(0.1);
  f.passes(EV::keyDown, keycode::k, 0, "k");
  f.passes(EV::keyUp, keycode::k);
  f.advance(0.26);  // past the 0.35 s hold threshold
  EXPECT_FALSE(f.engine->flow.isSpeculating);
  EXPECT_TRUE(f.desktop.capsLockOn());
  EXPECT_TRUE(f.logged("F19 LONG PRESS (held past 350ms): Toggled Caps Lock ON (long press hold) - NO language switch"));
  EXPECT_FALSE(f.passes(EV::keyUp, keycode::f19));
  EXPECT_TRUE(f.logged("the hold timer had already fired - no language switch from this press"));
  f.advance(0.5);
  EXPECT_EQ(f.desktop.currentSource(), "com.apple.keylayout.ABC") << "no switch";
  EXPECT_EQ(f.desktop.focusedField()->text(), "k") << "the held key went out unchanged";
}

TEST(KeyEventHandler, KeysReplayedAfterALongPressDoNotFlickerTheCapsLockDisplay) {
  HandlerFixture f;
  std::vector<bool> shown;
  auto sub = f.notifications.addObserver(notification::capsLockStateChanged, [&](const Notification& n) {
    shown.push_back(n.userInfo["isEnabled"].get<bool>());
  });
  f.desktop.keyDown(keycode::f19);
  f.advance(0.1);
  f.desktop.typeText("ab", 0.02);
  f.advance(0.3);  // past the hold threshold: the lock goes on, the held keys go out
  f.desktop.keyUp(keycode::f19);
  f.advance(0.5);
  EXPECT_TRUE(f.engine->isCapsLockOn.get());
  EXPECT_EQ(shown, (std::vector<bool>{true})) << "the held keys were typed before the toggle but arrive after it";
  EXPECT_EQ(f.desktop.focusedField()->text(), "ab") << "their text is unchanged";
}

TEST(KeyEventHandler, DuringAnF19HoldShortcutsAndFlushKeysWaitBehindHeldLetters) {
  HandlerFixture f;
  f.passes(EV::keyDown, keycode::f19);
  // Nothing held yet: a shortcut and a flush key go at once.
  EXPECT_TRUE(f.passes(EV::keyDown, keycode::v, kCmd, "v"));
  EXPECT_TRUE(f.passes(EV::keyUp, keycode::v, kCmd));
  EXPECT_TRUE(f.passes(EV::keyDown, keycode::returnKey, 0, "\r"));
  EXPECT_TRUE(f.passes(EV::keyUp, keycode::returnKey));
  // A letter is held; a Return typed after it waits behind it.
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::k, 0, "k"));
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::returnKey, 0, "\r"));
  EXPECT_FALSE(f.passes(EV::keyUp, keycode::returnKey));
  EXPECT_FALSE(f.passes(EV::keyUp, keycode::k));
  const auto& q = f.engine->heldKeys.pressHeld();
  ASSERT_EQ(q.size(), 4u);
  EXPECT_EQ(q[0].keyCode, keycode::k);
  EXPECT_EQ(q[1].keyCode, keycode::returnKey);
  // A key up whose key down was not held passes.
  EXPECT_TRUE(f.passes(EV::keyUp, keycode::m));
}

TEST(KeyEventHandler, F19ChatterWhileASwitchIsConfirmingIsIgnoredWithItsKeyUp) {
  HandlerFixture f;
  f.engine->switcher.isTogglingF19 = true;
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::f19));
  EXPECT_TRUE(f.logged("F19 debounce: ignoring keyDown while a previous language switch is still confirming (key chatter)."));
  EXPECT_FALSE(f.engine->flow.isSpeculating);
  EXPECT_FALSE(f.passes(EV::keyUp, keycode::f19));
  EXPECT_FALSE(f.engine->switcher.isDebouncingF19);
  EXPECT_FALSE(f.logged("F19 SHORT PRESS"));
  Event repeat = f.key(EV::keyDown, keycode::f19);
  repeat.autorepeat = true;
  EXPECT_FALSE(f.engine->handleInner(f.engine->tap.eventTap, EV::keyDown, repeat)) << "auto-repeat swallowed";
}

// On a loaded machine the confirmation's poll comes round late: a press after
// the switch has landed is the user's next switch, never chatter.
TEST(KeyEventHandler, AnF19PressAfterTheSwitchLandedSwitchesBackBeforeTheConfirmationPolls) {
  HandlerFixture f;
  namespace sk = system_keyboard;
  auto hotKeys = f.desktop.preferences().storedValue(sk::kSymbolicHotKeysDomain, sk::kSymbolicHotKeysKey).value();
  hotKeys["61"] = sk::fnF19HotKeyEntry();
  f.desktop.preferences().setStoredValue(sk::kSymbolicHotKeysDomain, sk::kSymbolicHotKeysKey, hotKeys);
  f.desktop.setSwitchLatency(0.042);  // lands 3 ms before the poll that would see it
  f.desktop.press("f19");
  f.advance(0.043);
  ASSERT_TRUE(f.desktop.currentSource() == "com.apple.keylayout.Thai" && f.engine->switcher.isTogglingF19);
  f.desktop.press("f19");
  f.desktop.typeText("k", 0.01);
  f.advance(0.5);
  EXPECT_EQ(f.desktop.currentSource(), "com.apple.keylayout.ABC");
  EXPECT_EQ(f.desktop.focusedField()->text(), "k");
  EXPECT_EQ(f.engine->counters.layoutSwitchTimeout.get(), 0) << "the first poll, come round, leaves the second switch be";
}

TEST(KeyEventHandler, ASecondF19DownWhileHoldingSendsTheFirstPressesKeysOn) {
  HandlerFixture f;
  f.passes(EV::keyDown, keycode::f19);
  f.passes(EV::keyDown, keycode::k, 0, "k");
  f.passes(EV::keyUp, keycode::k);
  f.advance(0.1);
  f.passes(EV::keyDown, keycode::f19);  // the first key up was lost
  EXPECT_TRUE(f.engine->flow.isSpeculating);
  EXPECT_TRUE(f.logged("F19 DOWN while a previous press was still held - replaying its keys unchanged"));
  // The first press's keys went out and, coming back through the tap, are
  // held by the second press in their order; its long press lets them go.
  f.advance(0.4);
  EXPECT_EQ(f.desktop.focusedField()->text(), "k") << "not thrown away";
}

TEST(KeyEventHandler, OtherSwitcherKeysLetF19Through) {
  HandlerFixture f;
  f.engine->switcherKey.set(SwitcherKey::grave);
  EXPECT_TRUE(f.passes(EV::keyDown, keycode::f19));
  EXPECT_FALSE(f.engine->flow.isSpeculating);
}

// The whole road: Caps Lock remapped to F19, a tap of it switches to Thai and
// what is typed right after lands in Thai.
TEST(KeyEventHandler, CapsLockTapSwitchesAndTheNextLettersLandInTheNewLayout) {
  HandlerFixture f;
  f.engine->applyModeSettings();
  f.settle();
  ASSERT_TRUE(f.desktop.capsLockRemappedToF19());
  f.desktop.press("capslock");
  f.advance(1.0);
  EXPECT_EQ(f.desktop.currentSource(), "com.apple.keylayout.Thai");
  EXPECT_FALSE(f.desktop.capsLockOn());
  f.desktop.typeText("k");
  f.advance(1.0);
  EXPECT_EQ(f.desktop.focusedField()->text(), "า");
}

// ------------------------------------------------------- the flow hand-off

TEST(KeyEventHandler, AfterAMinuteWithoutTypingTheNextLetterStartsAfresh) {
  HandlerFixture f;
  f.desktop.typeText("ab");
  f.advance(1.0);
  ASSERT_FALSE(f.engine->flow.flowController->strokes().empty());
  f.engine->setIsUndoPossible(true);
  uint64_t generation = f.engine->flow.flowController->generation();
  f.advance(61);
  f.desktop.typeText("c");
  f.advance(1.0);
  EXPECT_GT(f.engine->flow.flowController->generation(), generation);
  EXPECT_FALSE(f.engine->conversion.isUndoPossible());
}

TEST(KeyEventHandler, KeysTypedDuringASimulationAreBufferedNotHandedOn) {
  HandlerFixture f;
  f.engine->beginTypingSimulation();
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::a, 0, "a"));
  EXPECT_FALSE(f.passes(EV::flagsChanged, keycode::shift, kShift));
  EXPECT_FALSE(f.passes(EV::keyDown, keycode::f19));
  EXPECT_TRUE(f.engine->flow.isSpeculating) << "a switcher key still works";
  std::lock_guard lock(f.engine->typingSimulation.lock);
  EXPECT_EQ(f.engine->heldKeys.simulationHeldCount(), 2u);
}

}  // namespace
}  // namespace tessa
