#include <gtest/gtest.h>

#include "support/key_road_fixture.h"
#include "typing/typing_flow_controller.h"

namespace tessa {
namespace {

using test::KeyRoadFixture;

int postedCount(KeyRoadFixture& f, const std::string& name) {
  auto names = f.notifications.postedNames();
  return static_cast<int>(std::count(names.begin(), names.end(), name));
}

TEST(SystemObservers, InputSourceChangesAreLoggedWithTheirGapAndHandedOn) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  f.desktop.setSwitchLatency(0);
  f.desktop.inputSources().select("com.apple.keylayout.Thai");
  f.settle();
  EXPECT_TRUE(f.logged("inputSourceChanged: now='com.apple.keylayout.Thai' (+first)"));
  f.advance(0.005);
  e->inputSourceChanged();
  EXPECT_TRUE(f.logged("inputSourceChanged: now='com.apple.keylayout.Thai' (+5ms)"));

  f.defaults->setBool("debugDisableISObserver", true);
  e->inputSourceChanged();
  EXPECT_TRUE(f.logged("DEBUG: skipping inputSourceChanged (debugDisableISObserver=true)"));
  EXPECT_EQ(f.loggedCount("inputSourceChanged: now="), 2);
}

// One tick at a time: the check runs off the main thread, its answer is
// applied on the main queue.
void tick(KeyRoadFixture& f) { f.advance(1.0); }

TEST(SystemObservers, TheSecureFieldPollAndATimeOutThatKeepsThePreviousAnswer) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  SimApplication& browser = f.desktop.launchApplication("com.example.Browser", "Browser");
  f.desktop.activateApplication("com.example.Browser");
  const std::string changed = notification::secureInputStateChanged;

  // A password field: secure entry is on, not locked globally.
  browser.field.setSecure(true);
  tick(f);
  EXPECT_TRUE(e->isSecureInputActive.get());
  EXPECT_FALSE(e->isSecureInputLockedGlobally.get());
  EXPECT_TRUE(e->focus.cachedFocusedFieldIsSecure);
  EXPECT_EQ(postedCount(f, changed), 1);

  // Another process holds secure input while the focus is in a plain field.
  browser.field.setSecure(false);
  f.desktop.setSecureEventInput(true);
  tick(f);
  EXPECT_TRUE(e->isSecureInputActive.get());
  EXPECT_TRUE(e->isSecureInputLockedGlobally.get());
  EXPECT_FALSE(e->focus.cachedFocusedFieldIsSecure);
  EXPECT_EQ(postedCount(f, changed), 1) << "still active: no second post";

  f.desktop.setSecureEventInput(false);
  tick(f);
  EXPECT_FALSE(e->isSecureInputActive.get());
  EXPECT_EQ(postedCount(f, changed), 2);

  browser.field.setSecure(true);
  tick(f);
  EXPECT_TRUE(e->focus.cachedFocusedFieldIsSecure);
  EXPECT_EQ(postedCount(f, changed), 3);

  // The browser stops answering in time: the field stays secure. A slow
  // answer must never open a password field to the key path. (The desktop
  // itself no longer reports secure input for an unanswering field.)
  browser.axMode = SimAXMode::timesOut;
  browser.field.setSecure(false);
  tick(f);
  EXPECT_TRUE(e->focus.cachedFocusedFieldIsSecure);
  EXPECT_TRUE(e->isSecureInputActive.get());
  EXPECT_EQ(postedCount(f, changed), 3);

  // A definite answer clears it.
  browser.axMode = SimAXMode::readable;
  tick(f);
  EXPECT_FALSE(e->focus.cachedFocusedFieldIsSecure);
  EXPECT_FALSE(e->isSecureInputActive.get());
}

// Where the desktop announces each move of the focus, nothing looks at the
// field on a timer: it is looked at when the focus moves, and when another
// program comes forward.
TEST(SystemObservers, AnnouncedFocusMovesReplaceTheSecureFieldPoll) {
  KeyRoadFixture f;
  f.desktop.accessibility().setAnnouncesChanges(true);
  auto e = f.startEngine();
  SimApplication& browser = f.desktop.launchApplication("com.example.Browser", "Browser");
  f.desktop.activateApplication("com.example.Browser");
  f.advance(2.0);
  EXPECT_FALSE(e->observers.secureFieldPollTimer.valid());

  browser.field.setSecure(true);
  f.advance(5.0);
  EXPECT_FALSE(e->isSecureInputActive.get()) << "no move announced: nothing looked";
  f.desktop.accessibility().postFocusMoved();
  f.settle();
  EXPECT_TRUE(e->isSecureInputActive.get());
  EXPECT_TRUE(e->focus.cachedFocusedFieldIsSecure);

  SimApplication& editor = f.desktop.launchApplication("com.example.Editor", "Editor");
  f.desktop.activateApplication("com.example.Editor");
  f.settle();
  EXPECT_FALSE(editor.field.secure());
  EXPECT_FALSE(e->isSecureInputActive.get()) << "another program came forward";
  // A program just started announces nothing at first: it is looked at once
  // more a second later, and then no more.
  editor.field.setSecure(true);
  f.advance(1.0);
  EXPECT_TRUE(e->isSecureInputActive.get());
  editor.field.setSecure(false);
  f.advance(5.0);
  EXPECT_TRUE(e->isSecureInputActive.get());
}

// Keys typed into a field focused before the start, or brought forward,
// before the look at it answers (on a queue let go late), where only the
// field tells it is a password's, reach it untouched; the word follows them
// once the answer says "no password" or could not tell (after three tries).
TEST(SystemObservers, KeysTypedBeforeTheLookAtANewFocusAnswersWaitForIt) {
  // announces focus, brought forward, secure, how it answers, followed
  const std::tuple<bool, bool, bool, SimAXMode, bool> cases[] = {
      {false, false, true, SimAXMode::readable, false},  {true, false, true, SimAXMode::readable, false},
      {false, true, true, SimAXMode::readable, false},   {true, false, false, SimAXMode::readable, true},
      {true, false, true, SimAXMode::unavailable, true}, {true, false, true, SimAXMode::timesOut, true}};
  for (const auto& [announces, forward, secure, answers, followed] : cases) {
    SCOPED_TRACE(testing::Message() << announces << forward << secure << static_cast<int>(answers));
    KeyRoadFixture f;
    f.desktop.accessibility().setAnnouncesChanges(announces);
    f.desktop.setSecureFieldsTurnOnSecureInput(false);
    auto late = std::make_shared<ManualTaskRunner>(f.clock);
    EngineEnvironment env = f.environment();
    env.runtime.background = late;
    f.engine = KeyboardEngine::create(env);
    f.engine->createEventTap();
    SimApplication* app = f.desktop.frontmostApplication();
    if (forward) {
      late->runUntilIdle();
      f.settle();
      app = &f.desktop.launchApplication("com.example.Login", "Login");
      f.desktop.activateApplication("com.example.Login");
    }
    app->field.setSecure(secure);
    app->axMode = answers;
    f.desktop.typeText("pw x", 0.01);
    f.advance(0.5);
    for (int look = 0; look < 3; ++look) {
      late->runUntilIdle();
      f.settle();
    }
    EXPECT_EQ(app->field.text(), "pw x");
    const TypingFlowController& word = *f.engine->flow.flowController;
    EXPECT_EQ(word.lastCommittedWord(), followed ? std::optional<std::string>("pw") : std::nullopt);
    EXPECT_EQ(word.strokes().size(), followed ? 1u : 0u);
    EXPECT_EQ(f.engine->isSecureInputActive.get(), !followed);
  }
}

TEST(SystemObservers, TheSecureFieldCheckTouchesNoEngineState) {
  KeyRoadFixture f;
  SimApplication& app = *f.desktop.frontmostApplication();
  app.field.setSecure(true);
  auto probe = KeyboardEngine::checkFocusedSecureField(&f.desktop.inputSources(), &f.desktop.accessibility());
  EXPECT_TRUE(probe.global);
  EXPECT_EQ(probe.focusedFieldIsSecure, true);
  app.axMode = SimAXMode::dormant;
  probe = KeyboardEngine::checkFocusedSecureField(&f.desktop.inputSources(), &f.desktop.accessibility());
  EXPECT_EQ(probe.focusedFieldIsSecure, false) << "no focused element is a definite answer";
  app.axMode = SimAXMode::timesOut;
  probe = KeyboardEngine::checkFocusedSecureField(&f.desktop.inputSources(), &f.desktop.accessibility());
  EXPECT_FALSE(probe.focusedFieldIsSecure.has_value());
}

TEST(SystemObservers, AnEngineThatIsGoneIgnoresThePollAndTheNotifications) {
  KeyRoadFixture f;
  auto e = f.startEngine(false);
  f.engine.reset();
  e.reset();
  f.desktop.lockScreen();
  f.advance(3.0);  // ticks and notifications find no engine
  SUCCEED();
}

TEST(SystemObservers, ScreenLockAndDisplaySleepDropTheHeldState) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->flow.isSpeculating = true;
  f.desktop.lockScreen();
  f.settle();
  f.desktop.screensSleep();
  f.settle();
  EXPECT_GE(f.loggedCount("clearBufferState"), 2);
}

TEST(SystemObservers, AccessibilityListChangesRebuildTheTapOnceWithin2Seconds) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  TapId first = e->tap.eventTap;
  f.desktop.accessibility().postTrustListChanged();
  f.settle();
  TapId second = e->tap.eventTap;
  EXPECT_NE(second, first);
  f.advance(1.0);
  f.desktop.accessibility().postTrustListChanged();
  f.settle();
  EXPECT_EQ(e->tap.eventTap, second) << "debounced";
  f.advance(1.5);
  f.desktop.accessibility().postTrustListChanged();
  f.settle();
  EXPECT_NE(e->tap.eventTap, second);
}

TEST(SystemObservers, PermissionRevokedByHandDropsTheTapAndResetsTheRepairBudget) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  e->isAccessibilityGranted.set(true);
  f.defaults->setDouble("ax.repairLastAt", f.clock.wallTime() - 60);
  f.defaults->setInteger("ax.repairAttempts", 3);
  f.desktop.setTrusted(false);  // tells the trust-list observers
  f.settle();
  EXPECT_EQ(e->tap.eventTap, 0u);
  EXPECT_FALSE(e->isAccessibilityGranted.get());
  EXPECT_TRUE(f.logged("Accessibility list changed and the tap could not be recreated - staying out of the input chain"));
  EXPECT_DOUBLE_EQ(f.defaults->doubleForKey("ax.observedRevocationAt"), f.clock.wallTime());
  EXPECT_EQ(f.defaults->integerForKey("ax.repairAttempts"), 0);
  EXPECT_TRUE(f.logged("Accessibility list changed by hand - repair budget reset"));
}

TEST(SystemObservers, ARecentRepairKeepsItsBudget) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  f.defaults->setDouble("ax.repairLastAt", f.clock.wallTime() - 10);
  f.defaults->setInteger("ax.repairAttempts", 3);
  f.desktop.setTrusted(false);
  f.settle();
  EXPECT_EQ(e->tap.eventTap, 0u);
  EXPECT_EQ(f.defaults->integerForKey("ax.repairAttempts"), 3);
  EXPECT_FALSE(f.logged("repair budget reset"));
}

TEST(SystemObservers, WithoutATapOrAfterAnEmergencyTeardownTheListChangeIsIgnored) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  f.desktop.setTrusted(false);
  f.settle();
  EXPECT_FALSE(f.logged("Accessibility list changed"));
  f.desktop.setTrusted(true);
  e->createEventTap();
  e->recovery.isEmergencyTornDown = true;
  TapId tap = e->tap.eventTap;
  f.desktop.accessibility().postTrustListChanged();
  f.settle();
  EXPECT_EQ(e->tap.eventTap, tap);
}

TEST(SystemObservers, AClickJustOutsideTheVisibleHudCountsAsInside) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  EXPECT_FALSE(e->isPointInOwnPanels(10, 10)) << "nothing visible";
  f.panel->show(DisplayState::status("x", "", "checkmark", HudColor::green), 3, true, false);
  f.settle();
  ASSERT_TRUE(f.panel->isVisible());
  Rect r = f.panel->frame();
  EXPECT_TRUE(e->isPointInOwnPanels(r.x + r.width + 3, r.y + 1));
  EXPECT_TRUE(e->isPointInOwnPanels(r.x - 3, r.y - 3));
  EXPECT_FALSE(e->isPointInOwnPanels(r.x + r.width + 5, r.y + 1));
}

}  // namespace
}  // namespace tessa
