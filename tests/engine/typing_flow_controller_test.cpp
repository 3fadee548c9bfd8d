// Holding keys around a switch: when they go out, for which layout, in what
// order, and the only ways they may be dropped.
#include <gtest/gtest.h>

#include "engine/flow_fixture.h"

namespace tessa::test {
namespace {

class HoldTest : public FlowTest {
 protected:
  // A switch to Thai that the system completes `latency` seconds from now.
  void switchToThai(double latency) {
    desk.setSwitchLatency(latency);
    selectSource(kThai);
  }
  void holdAndType(const std::string& usKeys) {
    engine->beginSpeculativeHold();
    for (char c : usKeys) flow().enqueue(usKey(std::string(1, c)));
  }
};

TEST_F(HoldTest, ReleasesAfterConfirmationSpacedAndRetyped) {
  double t0 = now();
  holdAndType("dok");
  EXPECT_EQ(flow().state().kind, TypingFlowState::Kind::transitioning);
  EXPECT_TRUE(flow().hasQueuedEvents());
  switchToThai(0.04);

  // The notification lands at 40 ms; the release starts 25 ms later and each
  // key follows 3 ms after the one before.
  fx.runner.advanceTo(t0 + 0.0679);
  EXPECT_EQ(typedSince(), "");
  EXPECT_EQ(flow().heldCount(), 3u);
  advance(0.1);
  auto times = postedKeyDownTimes();
  ASSERT_EQ(times.size(), 3u);
  EXPECT_NEAR(times[0], t0 + 0.068, 1e-9);
  EXPECT_NEAR(times[1], t0 + 0.071, 1e-9);
  EXPECT_NEAR(times[2], t0 + 0.074, 1e-9);
  EXPECT_EQ(field().text(), thai("dok"));
  EXPECT_TRUE(flow().state().isIdle());
  EXPECT_FALSE(flow().hasQueuedEvents());
  // Every replayed key is tagged, and a modifier resync follows the last one.
  const auto& posted = desk.postedEvents();
  ASSERT_FALSE(posted.empty());
  EXPECT_EQ(posted.back().type, EventType::flagsChanged);
  for (const auto& e : posted) EXPECT_TRUE(e.isTagged());
  EXPECT_EQ(engine->counters.keystrokesDropped.get(), 0);
}

// Asking whether the focus moved takes a round trip before the first key;
// that time is spent inside the first spacing, not added to it, and a
// check slower than the spacing lets the key go as soon as it answers.
TEST_F(HoldTest, TheFocusCheckBeforeTheReplayDoesNotDelayTheFirstKey) {
  const std::string sources[] = {kThai, kABC};
  const double queries[] = {0.0024, 0.01};
  for (int i = 0; i < 2; ++i) {
    SCOPED_TRACE(queries[i]);
    desk.accessibility().setFocusQueryTime(queries[i]);
    const size_t before = postedKeyDownTimes().size();
    holdAndType("do");  // the hold asks for the focus too
    double t0 = now();
    desk.setSwitchLatency(0.04);
    selectSource(sources[i]);
    advance(0.2);
    auto times = postedKeyDownTimes();
    ASSERT_EQ(times.size(), before + 2);
    EXPECT_NEAR(times[before], t0 + 0.065 + std::max(0.003, queries[i]), 1e-9);
    EXPECT_NEAR(times[before + 1] - times[before], 0.003, 1e-9);
    EXPECT_TRUE(flow().state().isIdle());
  }
}

TEST_F(HoldTest, EveryWitnessMayConfirmButTheKeysGoOutOnce) {
  holdAndType("do");
  engine->confirmToggleSwitch(kThai, now(), [] { ADD_FAILURE() << "no fallback expected"; });
  engine->awaitLanguageSwitch(false);
  switchToThai(0.02);
  advance(0.03);  // notification, request poll and language poll all see Thai
  flow().confirmSwitch(kThai);
  advance(0.5);
  EXPECT_EQ(typedSince(), thai("do"));
  EXPECT_EQ(field().text(), thai("do"));
  EXPECT_FALSE(engine->switcher.isTogglingF19);
}

TEST_F(HoldTest, OnlyTheAwaitedSourceConfirms) {
  desk.setEnabledSources({kABC, kThai, "com.apple.keylayout.Lao"});
  run();
  holdAndType("d");
  flow().expectSource("com.apple.keylayout.Lao");
  switchToThai(0.01);  // something else changed the source meanwhile
  advance(0.2);
  EXPECT_EQ(flow().heldCount(), 1u);
  EXPECT_FALSE(flow().isReleasing());
}

TEST_F(HoldTest, SafetyTimeOutReleasesForWhateverIsCurrent) {
  double t0 = now();
  holdAndType("hi");
  fx.runner.advanceTo(t0 + 0.749);
  EXPECT_EQ(typedSince(), "");
  advance(0.1);
  EXPECT_EQ(field().text(), "hi");  // the switch never happened: ABC
  auto times = postedKeyDownTimes();
  ASSERT_EQ(times.size(), 2u);
  EXPECT_NEAR(times[0], t0 + 0.753, 1e-9);
  EXPECT_EQ(engine->counters.layoutSwitchTimeout.get(), 1);
  EXPECT_EQ(engine->flow.consecutiveSafetyTimeouts, 1);
  EXPECT_EQ(engine->counters.keystrokesDropped.get(), 0);
  EXPECT_TRUE(logged("switch not confirmed within 750ms - releasing 2 held events"));
  EXPECT_TRUE(flow().state().isIdle());
}

TEST_F(HoldTest, ALateSwitchIsStillReleasedByTheTimeOutForTheNewLayout) {
  engine->defaults().setBool("debugDisableISObserver", true);  // no notification
  double t0 = now();
  holdAndType("d");
  engine->awaitLanguageSwitch(false);
  switchToThai(0.3);  // after the language poll's 0.2 s budget
  fx.runner.advanceTo(t0 + 0.7);
  EXPECT_EQ(flow().heldCount(), 1u);
  advance(0.1);
  EXPECT_EQ(field().text(), thai("d"));
}

TEST_F(HoldTest, LanguagePollConfirmsWithinItsBudget) {
  engine->defaults().setBool("debugDisableISObserver", true);
  double t0 = now();
  holdAndType("d");
  engine->awaitLanguageSwitch(false);
  switchToThai(0.1);
  advance(0.2);
  auto times = postedKeyDownTimes();
  ASSERT_EQ(times.size(), 1u);
  // Seen by the first 5 ms poll at or after 100 ms, released 25 ms later.
  EXPECT_NEAR(times[0], t0 + 0.1 + 0.025 + 0.003, 0.0051);
}

TEST_F(HoldTest, RetargetingComesFromTheKeyAndIsIdempotent) {
  Event e = usKey("d");
  e.unicode = "?";  // whatever the event carried before
  engine->retargetKeyEvent(e, kThai);
  EXPECT_EQ(e.unicode, thai("d"));
  Event twice = e;
  engine->retargetKeyEvent(twice, kThai);
  EXPECT_EQ(twice.unicode, e.unicode);
  engine->retargetKeyEvent(e, kABC);
  EXPECT_EQ(e.unicode, "d");

  Event shifted = usKey("D");
  engine->retargetKeyEvent(shifted, kThai);
  EXPECT_EQ(shifted.unicode, engine->englishToThaiMap().at("D"));

  Event shortcut = usKey("v");
  shortcut.flags |= flags::command;
  engine->retargetKeyEvent(shortcut, kThai);
  EXPECT_EQ(shortcut.unicode, "v");

  Event del;
  del.type = EventType::keyDown;
  del.keyCode = keycode::deleteKey;
  del.unicode = "\x7f";
  engine->retargetKeyEvent(del, kThai);
  EXPECT_EQ(del.unicode, "\x7f");
}

TEST_F(HoldTest, AnEarlyRetargetToTheOldLayoutIsOverruledAtRelease) {
  // Keys re-typed right after the switch request still see the old layout.
  engine->beginSpeculativeHold();
  std::vector<Event> early;
  for (char c : std::string("dok")) {
    Event e = usKey(std::string(1, c));
    engine->retargetKeyEvent(e);
    early.push_back(e);
  }
  flow().enqueueAll(early);
  switchToThai(0.03);
  advance(0.2);
  EXPECT_EQ(field().text(), thai("dok"));
}

TEST_F(HoldTest, KeysTypedDuringTheReplayLandBehindIt) {
  double t0 = now();
  holdAndType("dok");
  switchToThai(0);
  fx.runner.advanceTo(t0 + 0.0285);  // the first held key is out
  EXPECT_EQ(typedSince(), thai("d"));
  EXPECT_EQ(flow().state().kind, TypingFlowState::Kind::transitioning);
  flow().enqueue(usKey("l"));  // typed now, while the others are going out
  advance(0.1);
  EXPECT_EQ(field().text(), thai("dokl"));
  EXPECT_TRUE(flow().state().isIdle());
}

TEST_F(HoldTest, AFlushKeyWaitsBehindTheHeldLettersAndTheHoldGoesOn) {
  holdAndType("do");
  flow().expectSource(kThai);
  Event ret;
  ret.type = EventType::keyDown;
  ret.keyCode = keycode::returnKey;
  ret.unicode = "\r";
  flow().enqueue(ret);
  flow().releaseQueuedEvents();
  run();
  EXPECT_EQ(field().text(), thai("do") + "\n");
  EXPECT_EQ(flow().state().kind, TypingFlowState::Kind::transitioning);
  flow().enqueue(usKey("k"));
  switchToThai(0.02);
  advance(0.2);
  EXPECT_EQ(field().text(), thai("do") + "\n" + thai("k"));
}

TEST_F(HoldTest, ASecondSwitchDuringTheReplaySendsTheFirstKeysForTheFirstLayout) {
  double t0 = now();
  holdAndType("dok");
  switchToThai(0);
  fx.runner.advanceTo(t0 + 0.0285);
  engine->beginSpeculativeHold();  // the user switches back at once
  run();
  EXPECT_EQ(field().text(), thai("dok"));
  flow().enqueue(usKey("a"));
  desk.setSwitchLatency(0.01);
  selectSource(kABC);
  advance(0.2);
  EXPECT_EQ(field().text(), thai("dok") + "a");
}

TEST_F(HoldTest, ASecondSwitchBeforeTheFirstIsConfirmedLeavesTheFirstKeysInTheFirstLayout) {
  holdAndType("dok");
  flow().expectSource(kThai);
  engine->beginSpeculativeHold();  // the user switches back before Thai is confirmed
  flow().expectSource(kABC);
  flow().enqueue(usKey("a"));
  switchToThai(0.01);  // lands, but the hold now waits for ABC
  advance(0.05);
  EXPECT_EQ(field().text(), "");
  selectSource(kABC);
  advance(0.2);
  EXPECT_EQ(field().text(), thai("dok") + "a");
  EXPECT_TRUE(flow().state().isIdle());
}

TEST_F(HoldTest, AQueueWithoutAHoldGoesOutAtOnce) {
  flow().enqueue(usKey("x"));
  run();
  EXPECT_EQ(field().text(), "x");
}

// ---------------------------------------------------------------- drops

TEST_F(HoldTest, AMovedFocusDropsTheHeldKeysAndCountsThem) {
  holdAndType("do");
  desk.frontmostApplication()->elementId += 1;  // another field took the focus
  switchToThai(0.01);
  advance(0.2);
  EXPECT_EQ(field().text(), "");
  EXPECT_EQ(engine->counters.keystrokesDropped.get(), 2);
  EXPECT_TRUE(logged("focus moved during the switch - dropping 2 held events"));
  EXPECT_TRUE(flow().state().isIdle());
}

TEST_F(HoldTest, AnApplicationSwitchDuringAHoldDropsAndEndsIt) {
  desk.launchApplication("com.example.Notes", "Notes");
  holdAndType("do");
  desk.activateApplication("com.example.Notes");
  desk.workspace().postEvent(WorkspaceEvent::didActivateApplication);
  run();
  EXPECT_TRUE(logged("Flow state was in .transitioning during app switch. Cancelling queue safely."));
  EXPECT_TRUE(logged("clearBufferState()"));
  EXPECT_EQ(engine->counters.keystrokesDropped.get(), 2);
  EXPECT_EQ(engine->focus.cachedFrontmostBundleID, "com.example.Notes");
  EXPECT_TRUE(flow().state().isIdle());
  switchToThai(0.01);
  advance(1.0);
  EXPECT_EQ(desk.application("com.example.Notes")->field.text(), "");
  EXPECT_EQ(desk.application(SimDesktop::kDefaultAppBundleID)->field.text(), "");
}

TEST_F(HoldTest, ClearingTheBufferDropsHeldAndSpeculativeKeys) {
  holdAndType("do");
  engine->flow.isSpeculating = true;
  engine->heldKeys.holdDuringPress(usKey("k"));
  engine->clearBufferState();
  EXPECT_EQ(engine->counters.keystrokesDropped.get(), 3);
  EXPECT_FALSE(engine->flow.isSpeculating);
  EXPECT_TRUE(!engine->heldKeys.hasPressHeld());
  EXPECT_TRUE(flow().state().isIdle());
  advance(1.0);
  EXPECT_EQ(field().text(), "");
  EXPECT_EQ(engine->counters.layoutSwitchTimeout.get(), 0);  // the time-out was cancelled with the hold
}

TEST_F(HoldTest, TheSpeculativeQueueReplaysUnchangedUnlessTheFocusMoved) {
  engine->flow.queueFocusToken = engine->focusedElement();
  engine->heldKeys.holdDuringPress(usKey("h"));
  engine->heldKeys.holdDuringPress(usKey("i"));
  engine->releaseSpeculativeQueue();
  run();
  EXPECT_EQ(field().text(), "hi");
  EXPECT_FALSE(desk.postedEvents().front().isTagged());  // the user's own keys, as typed

  engine->flow.queueFocusToken = engine->focusedElement();
  engine->heldKeys.holdDuringPress(usKey("x"));
  desk.frontmostApplication()->elementId += 1;
  engine->releaseSpeculativeQueue();
  run();
  EXPECT_EQ(field().text(), "hi");
  EXPECT_EQ(engine->counters.keystrokesDropped.get(), 1);
  EXPECT_TRUE(!engine->heldKeys.hasPressHeld());
}

// ---------------------------------------------------- switch confirmation

TEST_F(HoldTest, TheRequestConfirmationFallsBackAfter200ms) {
  double t0 = now();
  int fallbacks = 0;
  engine->confirmToggleSwitch(kThai, t0, [&] { ++fallbacks; });
  EXPECT_TRUE(engine->switcher.isTogglingF19);
  fx.runner.advanceTo(t0 + 0.199);
  EXPECT_EQ(fallbacks, 0);
  EXPECT_TRUE(engine->switcher.isTogglingF19);
  advance(0.01);
  EXPECT_EQ(fallbacks, 1);
  EXPECT_FALSE(engine->switcher.isTogglingF19);
  EXPECT_EQ(engine->counters.layoutSwitchTimeout.get(), 1);
  EXPECT_TRUE(logged("confirmToggleSwitch: com.apple.keylayout.Thai not current after 200ms"));
}

TEST_F(HoldTest, TheRequestConfirmationEndsWhenTheSourceIsCurrent) {
  int fallbacks = 0;
  engine->confirmSourceSwitch(kThai, now(), [&] { ++fallbacks; });
  switchToThai(0.012);
  advance(0.016);
  EXPECT_FALSE(engine->switcher.isTogglingF19);
  EXPECT_EQ(engine->inputSource.lastCompletedSwitchTargetID, std::optional<std::string>(kThai));
  advance(1.0);
  EXPECT_EQ(fallbacks, 0);
}

TEST_F(HoldTest, TheHotKeyRequestPostsFnF19AndFallsBackToSelecting) {
  holdAndType("d");
  engine->switchLayoutViaHotKey();
  const auto& posted = desk.postedEvents();
  ASSERT_EQ(posted.size(), 2u);
  for (const auto& e : posted) {
    EXPECT_EQ(e.keyCode, keycode::f19);
    EXPECT_EQ(e.flags, flags::fn);
    EXPECT_TRUE(e.isTagged());
  }
  EXPECT_EQ(posted[0].type, EventType::keyDown);
  EXPECT_EQ(posted[1].type, EventType::keyUp);
  advance(1.0);
  // However the switch came about, the held key follows it.
  EXPECT_EQ(desk.currentSource(), kThai);
  EXPECT_EQ(field().text(), thai("d"));
  EXPECT_FALSE(engine->switcher.isTogglingF19);
}

TEST_F(HoldTest, WithoutKeyboardChangesNothingIsPostedAndNoSwitchStaysPending) {
  desk.setHasBundleIdentifier(false);
  fx.platform = desk.platform();
  engine = fx.start();
  run();
  engine->switchLayoutViaHotKey();
  EXPECT_TRUE(desk.postedEvents().empty());
  EXPECT_FALSE(engine->switcher.isTogglingF19);
}

TEST_F(HoldTest, AnUnaskedChangeRightAfterOurSwitchIsReportedAsAPerDocumentRevert) {
  holdAndType("d");
  engine->switchLayoutViaHotKey();
  advance(0.5);
  ASSERT_EQ(desk.currentSource(), kThai);
  EXPECT_EQ(engine->inputSource.cachedLanguage, kThai);
  desk.setSwitchLatency(0);
  selectSource(kABC);  // the system puts the document's source back
  advance(0.01);
  EXPECT_EQ(engine->inputSource.cachedLanguage, kABC);
  EXPECT_TRUE(logged("Per-document revert detected"));
}

TEST_F(HoldTest, TheNotificationRecordsTheSourceItselfOrElseItsLanguage) {
  engine->handleLayoutSwitchNotification(std::string("com.apple.keylayout.Lao"), false);
  EXPECT_EQ(engine->inputSource.cachedLanguage, "com.apple.keylayout.Lao");
  engine->handleLayoutSwitchNotification(std::nullopt, false);
  EXPECT_EQ(engine->inputSource.cachedLanguage, kThai);
  engine->handleLayoutSwitchNotification(std::nullopt, true);
  EXPECT_EQ(engine->inputSource.cachedLanguage, kABC);
  EXPECT_FALSE(logged("Per-document revert detected"));  // no switch of ours to revert
}

// ------------------------------------------------------- the current word

TEST_F(FlowTest, TheWordIsKeptUntilABoundaryCommitsIt) {
  for (const char* c : {"h", "e", "y"}) flow().processEvent(usKey(c), EventType::keyDown);
  flow().processEvent(usKey("y", EventType::keyUp), EventType::keyUp);
  EXPECT_EQ(flow().strokes().size(), 3u);
  Event del;
  del.type = EventType::keyDown;
  del.keyCode = keycode::deleteKey;
  flow().processEvent(del, EventType::keyDown);
  EXPECT_EQ(flow().strokes().size(), 2u);
  auto passed = flow().processEvent(usKey(" "), EventType::keyDown);
  ASSERT_TRUE(passed.has_value());
  EXPECT_EQ(passed->unicode, " ");
  EXPECT_TRUE(flow().strokes().empty());
  EXPECT_EQ(flow().lastCommittedWord(), std::optional<std::string>("he"));
}

TEST_F(FlowTest, ShortcutsAndCaretMovesForgetTheWord) {
  flow().processEvent(usKey("a"), EventType::keyDown);
  Event left;
  left.type = EventType::keyDown;
  left.keyCode = keycode::left;
  flow().processEvent(left, EventType::keyDown);
  EXPECT_TRUE(flow().strokes().empty());
  flow().processEvent(usKey("a"), EventType::keyDown);
  Event paste = usKey("v");
  paste.flags |= flags::command;
  flow().processEvent(paste, EventType::keyDown);
  EXPECT_TRUE(flow().strokes().empty());
  EXPECT_FALSE(flow().lastCommittedWord().has_value());
}

TEST_F(FlowTest, ClearLogsWhoAskedAndStartsAGenerationOnlyWhenAsked) {
  flow().processEvent(usKey("a"), EventType::keyDown);
  flow().processEvent(usKey("b"), EventType::keyDown);
  flow().clear(false, "handleInner(proxy:type:event:)", 709);
  EXPECT_TRUE(logged("TypingFlowController.clear: dropping 2 strokes (caller: handleInner(proxy:type:event:), line: 709)"));
  EXPECT_EQ(flow().generation(), 0u);
  flow().clear(true);
  EXPECT_EQ(flow().generation(), 1u);
  EXPECT_EQ(flow().state().generation, 1u);
  // Without a name, the calling function's own.
  EXPECT_TRUE(logged("TypingFlowController.clear: dropping 0 strokes (caller: TestBody(), line: "));
}

}  // namespace
}  // namespace tessa::test
