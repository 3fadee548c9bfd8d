#include "hud/unified_menu_panel.h"

#include <gtest/gtest.h>

#include <thread>

#include "l10n/localization.h"
#include "engine/hud_notices.h"
#include "support/engine_fixture.h"

namespace tessa {
namespace {

using K = DisplayState::Kind;

class PanelTest : public ::testing::Test {
 protected:
  PanelTest() : runner(clock), appLog(&systemLog, "Ovrelan.Tessavinor") {}

  std::shared_ptr<UnifiedMenuPanel> makePanel(bool hasBundle = true) {
    HudEnvironment env;
    env.clock = &clock;
    env.main = &runner;
    env.defaults = &defaults;
    env.appLog = &appLog;
    env.hasBundleIdentifier = hasBundle;
    env.placement.mainScreen = [this]() -> std::optional<ScreenInfo> { return mainScreen; };
    env.placement.statusButton = [this]() -> std::optional<std::pair<Rect, ScreenInfo>> {
      if (!statusButton) return std::nullopt;
      return std::make_pair(*statusButton, *mainScreen);
    };
    env.placement.caretOrigin = [this](double, double) { return caret; };
    env.fittingSize = [this] { return fitting; };
    return UnifiedMenuPanel::create(std::move(env));
  }

  static DisplayState status(const std::string& m) { return DisplayState::status(m, "", "info", HudColor::white); }
  static std::string message(const UnifiedMenuPanel& p) {
    if (const auto* s = p.state().displayState.get().as<DisplayState::Status>()) return s->message;
    return displayStateKindName(p.state().displayState.get().kind());
  }
  std::vector<std::string> shownMessages(const UnifiedMenuPanel& p) const {
    std::vector<std::string> out;
    for (const auto& n : p.shownNotices()) out.push_back(n.content.value("message", n.content["kind"].get<std::string>()));
    return out;
  }

  ManualClock clock;
  ManualTaskRunner runner;
  UserDefaults defaults;
  test::RecordingSystemLog systemLog;
  AppLog appLog;
  std::optional<ScreenInfo> mainScreen = ScreenInfo{{0, 0, 1440, 900}, {0, 0, 1440, 875}};
  std::optional<Rect> statusButton = Rect{1200, 876, 24, 24};
  std::optional<HudPoint> caret;
  HudSize fitting{100, 30};
};

TEST_F(PanelTest, EqualPriorityWaitsForLessThanPointNineSecondsThenReplacesWithCrossFade) {
  auto p = makePanel();
  p->show(status("A"), 3, true, false);
  runner.advance(0.5);
  p->show(status("B"), 3, true, false);
  ASSERT_EQ(p->pendingQueue().size(), 1u);
  EXPECT_TRUE(systemLog.contains("Queueing popup request (priority 3, active 3, elapsed 0.5s)"));
  EXPECT_EQ(message(*p), "A");
  // A stays 3.5 s and fades over 0.35 s; B follows on the next turn.
  runner.advance(3.0 + 0.34);
  EXPECT_EQ(message(*p), "A");
  runner.advance(0.02);
  EXPECT_EQ(message(*p), "B");
  EXPECT_TRUE(p->pendingQueue().empty());

  // 1.0 s apart: the second replaces the first at once, through a cross-fade.
  auto q = makePanel();
  q->show(status("C"), 3, true, false);
  runner.advance(1.0);
  q->show(status("D"), 3, true, false);
  EXPECT_TRUE(q->pendingQueue().empty());
  EXPECT_EQ(message(*q), "C");  // first half of the cross-fade
  runner.advance(0.15);
  EXPECT_EQ(message(*q), "D");
  EXPECT_EQ(q->activePriority(), 3);
}

TEST_F(PanelTest, LowerPriorityWaitsAndGoesStaleAfterTwoAndAHalfSecondsButHigherOnesNeverDo) {
  auto p = makePanel();
  p->show(status("three"), 3, true, false);
  runner.advance(0.2);
  p->show(status("two"), 2, true, false);
  p->show(status("one"), 1, true, false);
  EXPECT_EQ(p->pendingQueue().size(), 2u);
  runner.advance(10);  // drained at ~3.85 s, both older than 2.5 s
  EXPECT_EQ(shownMessages(*p), (std::vector<std::string>{"three"}));
  EXPECT_FALSE(p->isVisible());
  EXPECT_EQ(p->activePriority(), 0);

  // A priority-4 request replaces a priority-3 notice at once.
  p->show(status("three again"), 3, true, false);
  runner.advance(0.2);
  p->show(status("four"), 4, true, false);
  EXPECT_TRUE(p->pendingQueue().empty());
  runner.advance(0.15);
  EXPECT_EQ(message(*p), "four");
  // A queued priority-3 request is shown however old it is.
  runner.advance(0.1);
  p->show(status("late three"), 3, true, false);
  runner.advance(30);
  EXPECT_EQ(shownMessages(*p).back(), "late three");
}

TEST_F(PanelTest, QueueKeepsPriorityOrderThenArrivalOrder) {
  auto p = makePanel();
  p->show(status("first4"), 4, true, false);
  runner.advance(0.3);
  p->show(status("two"), 2, true, false);
  p->show(status("second4"), 4, true, false);
  p->show(status("three"), 3, true, false);
  p->show(status("third4"), 4, true, false);
  std::vector<int> priorities;
  for (const auto& r : p->pendingQueue()) priorities.push_back(r.priority);
  EXPECT_EQ(priorities, (std::vector<int>{4, 4, 3, 2}));
  runner.advance(60);
  // The priority-2 request is far older than 2.5 s when its turn comes.
  EXPECT_EQ(shownMessages(*p), (std::vector<std::string>{"first4", "second4", "third4", "three"}));
}

TEST_F(PanelTest, RequestsWaitOnlyWhileThePanelIsVisibleOpaqueAndNotFading) {
  auto p = makePanel();
  // Hidden: anything shows at once.
  p->show(status("A"), 3, true, false);
  EXPECT_EQ(message(*p), "A");
  // Still fading in (alpha below 0.1): a lower priority replaces it at once.
  runner.advance(0.01);
  EXPECT_LT(p->alphaValue(), 0.1);
  p->show(status("B"), 1, true, false);
  EXPECT_TRUE(p->pendingQueue().empty());
  EXPECT_EQ(p->activePriority(), 1);
  runner.advance(1.0);
  EXPECT_EQ(message(*p), "B");

  // Fading out: a request takes the screen, and the fade no longer hides it.
  p->dismiss(0.35);
  runner.advance(0.1);
  EXPECT_TRUE(p->isDismissing());
  p->show(status("C"), 1, true, false);
  EXPECT_FALSE(p->isDismissing());
  runner.advance(0.3);
  EXPECT_TRUE(p->isVisible());
  EXPECT_EQ(message(*p), "C");
  EXPECT_NEAR(p->alphaValue(), 1.0, 1e-9);
}

TEST_F(PanelTest, EachKindStaysItsOwnTimeAndFadesAtItsOwnSpeed) {
  struct Case {
    DisplayState state;
    double stay, fade;
  };
  std::vector<Case> cases = {
      {DisplayState::confirmedForward("ok", "ภา", "English", 3, 8.0, {}, {}), 8.0, 0.3},
      {DisplayState::actionableCountdown("m", "s", "i", HudColor::white, 3.0, "Go", [] {}), 3.4, 0.25},
      {DisplayState::statusProgress("m", "i", 2.0), 2.5, 0.35},
      {DisplayState::confirmedRedo("w", "Thai"), 2.2, 0.35},
      {DisplayState::actionable("m", "s", "i", HudColor::orange, "Go", [] {}), 8.0, 0.45},
      {DisplayState::ask("a", "b", "r", 2, {}, {}), 4.5, 0.45},
  };
  for (auto& c : cases) {
    auto p = makePanel();
    p->show(c.state, 3, false, true);
    runner.advance(c.stay - 0.001);
    EXPECT_FALSE(p->isDismissing()) << displayStateKindName(c.state.kind());
    runner.advance(0.002);
    ASSERT_TRUE(p->isDismissing()) << displayStateKindName(c.state.kind());
    ASSERT_TRUE(p->alphaAnimation());
    EXPECT_DOUBLE_EQ(p->alphaAnimation()->duration, c.fade);
    runner.advance(c.fade);
    EXPECT_FALSE(p->isVisible());
  }
}

TEST_F(PanelTest, PersistentNoticesHaveNoTimerEvenWhenTheyHadToWait) {
  auto p = makePanel();
  p->show(status("first"), 3, true, false, true);
  EXPECT_FALSE(p->hasFadeTimer());
  runner.advance(0.1);
  p->show(DisplayState::actionable("keep", "", "i", HudColor::gray, "Resume", [] {}), 3, false, true, true);
  ASSERT_EQ(p->pendingQueue().size(), 1u);
  p->dismiss(0.2);
  runner.advance(0.3);
  ASSERT_EQ(p->state().displayState.get().kind(), K::actionable);
  EXPECT_FALSE(p->hasFadeTimer());
  runner.advance(60);
  EXPECT_TRUE(p->isVisible());
}

TEST_F(PanelTest, ExpiringGreysOutThenFadesAfterTheGraceButOnlyForPriorityTwoOrThree) {
  auto p = makePanel();
  p->show(DisplayState::confirmedForward("hello", "้ำสสน", "English", 3, 8.0, {}, {}), 3, false, false);
  runner.advance(0.5);
  p->show(status("queued two"), 2, false, false);
  p->show(status("queued three"), 3, false, false);
  p->expireActiveNotice();
  EXPECT_TRUE(p->state().isExpired.get());
  EXPECT_FALSE(p->hasFadeTimer());
  EXPECT_TRUE(p->hasExpireGraceTimer());
  ASSERT_EQ(p->pendingQueue().size(), 1u);
  EXPECT_EQ(p->pendingQueue()[0].priority, 3);
  runner.advance(0.89);
  EXPECT_FALSE(p->isDismissing());
  runner.advance(0.02);
  ASSERT_TRUE(p->isDismissing());
  EXPECT_DOUBLE_EQ(p->alphaAnimation()->duration, 0.45);
  EXPECT_TRUE(p->shownNotices().front().expired);
  // The next show clears the flag.
  runner.advance(0.5);
  EXPECT_FALSE(p->state().isExpired.get());

  auto q = makePanel();
  q->show(status("four"), 4, false, false);
  runner.advance(0.2);
  q->show(status("two"), 2, false, false);
  q->expireActiveNotice();
  EXPECT_TRUE(q->pendingQueue().empty());
  EXPECT_FALSE(q->state().isExpired.get());
  EXPECT_TRUE(q->hasFadeTimer());
}

TEST_F(PanelTest, HintShowsWithTheFirstFiveCorrectionNoticesOnly) {
  auto p = makePanel();
  p->show(status("s"), 1, false, false);
  EXPECT_TRUE(p->state().showHint.get());
  EXPECT_EQ(defaults.integerForKey("correctionHintShownCount"), 0);  // other kinds read but don't count
  for (int i = 0; i < 5; ++i) {
    p->show(DisplayState::confirmedReverted("m", "s", ""), 4, false, false);
    EXPECT_TRUE(p->state().showHint.get());
  }
  p->show(DisplayState::confirmedForward("w", "o", "Thai", 1, 3, {}, {}), 4, false, false);
  EXPECT_FALSE(p->state().showHint.get());
  EXPECT_EQ(defaults.integerForKey("correctionHintShownCount"), 5);
}

TEST_F(PanelTest, NeverShownPanelIsHiddenAndHasNothingToCancel) {
  auto p = makePanel();
  EXPECT_FALSE(p->isVisible());
  p->dismiss(0.3);
  EXPECT_FALSE(p->isDismissing());
  EXPECT_FALSE(p->cancelActiveActionable());
  EXPECT_EQ(p->frame(), (Rect{0, 0, 260, 44}));
}

TEST_F(PanelTest, CancelActiveActionableRunsTheActionOnlyForAVisibleActionableNotice) {
  auto p = makePanel();
  int runs = 0;
  p->show(status("plain"), 3, true, false);
  runner.advance(0.5);
  EXPECT_FALSE(p->cancelActiveActionable());
  EXPECT_FALSE(p->isDismissing());

  p->show(DisplayState::actionable("m", "s", "i", HudColor::yellow, "OK", [&] { ++runs; }), 4, true, false);
  runner.advance(0.01);  // still behind the cross-fade's first half: not opaque enough
  EXPECT_FALSE(p->cancelActiveActionable());
  runner.advance(0.5);
  EXPECT_TRUE(p->cancelActiveActionable());
  EXPECT_EQ(runs, 1);
  EXPECT_TRUE(p->isDismissing());
  EXPECT_DOUBLE_EQ(p->alphaAnimation()->duration, 0.15);
  EXPECT_FALSE(p->cancelActiveActionable());  // fading out
  EXPECT_EQ(runs, 1);

  // An action that puts up its own notice keeps that notice on screen.
  runner.advance(1);
  p->show(DisplayState::actionableCountdown("m", "s", "i", HudColor::white, 5, "Undo",
                                            [&] { p->show(status("after"), 4, true, false); }),
          4, true, false);
  runner.advance(1.0);  // past the equal-priority hold, so the action's notice takes the screen
  EXPECT_TRUE(p->cancelActiveActionable());
  EXPECT_FALSE(p->isDismissing());
  runner.advance(0.2);
  EXPECT_EQ(message(*p), "after");
  EXPECT_TRUE(p->isVisible());
}

TEST_F(PanelTest, DismissDuringACrossFadeClosesTheNoticeInsteadOfLeavingItStuck) {
  auto p = makePanel();
  p->show(status("A"), 3, true, false);
  runner.advance(1.0);
  p->show(DisplayState::actionable("B", "", "i", HudColor::white, "Go", [] {}), 3, true, false);
  runner.advance(0.05);
  p->dismiss(0.15);
  runner.advance(0.2);
  EXPECT_FALSE(p->isVisible());
  EXPECT_FALSE(p->isDismissing());
  EXPECT_EQ(p->activePriority(), 0);
}

TEST_F(PanelTest, RemovePendingDropsExactlyThatPriority) {
  auto p = makePanel();
  p->show(status("top"), 4, true, false);
  runner.advance(0.1);
  p->show(status("a"), 2, true, false);
  p->show(status("b"), 3, true, false);
  p->show(status("c"), 2, true, false);
  p->removePending(2);
  ASSERT_EQ(p->pendingQueue().size(), 1u);
  EXPECT_EQ(p->pendingQueue()[0].priority, 3);
}

TEST_F(PanelTest, OffTheMainQueueRemovePendingAndCancelStopTheProgram) {
  auto p = makePanel();
  EXPECT_DEATH(std::thread([&] { p->removePending(2); }).join(), "removePending must be called on the main queue");
  EXPECT_DEATH(std::thread([&] { p->cancelActiveActionable(); }).join(), "cancelActiveActionable");
}

TEST_F(PanelTest, AnchorsFallBackAndTheSizeNeverGoesBelowTheMinimum) {
  auto p = makePanel();
  // Both flags: top centre wins.
  p->show(status("top"), 3, true, true);
  runner.runUntilIdle();
  EXPECT_EQ(p->frame(), (Rect{720 - 120, 900 - 44 - 40, 240, 44}));
  // Below the button: 8 points under it, centred on it, clamped into the screen.
  runner.advance(1);
  p->show(status("below"), 4, true, false);
  runner.advance(0.2);
  EXPECT_EQ(p->frame(), (Rect{1212 - 120, 876 - 44 - 8, 240, 44}));
  statusButton = Rect{1430, 876, 24, 24};
  runner.advance(1);
  p->show(status("edge"), 4, true, false);
  runner.advance(0.2);
  EXPECT_EQ(p->frame().x, 1440 - 240 - 4);
  // No caret: the caret anchor falls back to the top centre.
  runner.advance(1);
  fitting = {300, 60};
  p->show(status("caret"), 4, false, false);
  runner.advance(0.2);
  EXPECT_EQ(p->frame(), (Rect{720 - 150, 900 - 60 - 40, 300, 60}));
  caret = HudPoint{50, 70};
  runner.advance(1);
  p->show(status("caret2"), 4, false, false);
  runner.advance(0.2);
  EXPECT_EQ(p->frame(), (Rect{50, 70, 300, 60}));
  // No screen either: the panel keeps its origin.
  caret.reset();
  mainScreen.reset();
  statusButton.reset();
  runner.advance(1);
  p->show(status("nowhere"), 4, true, false);
  runner.advance(0.2);
  EXPECT_EQ(p->frame(), (Rect{50, 70, 300, 60}));
  EXPECT_EQ(p->shownNotices().back().anchor, HudAnchor::statusItem);
}

TEST_F(PanelTest, RefitToGrownContentKeepsTheTopLeftCorner) {
  auto p = makePanel();
  caret = HudPoint{50, 70};
  fitting = {300, 60};
  p->show(status("caret"), 3, false, false);
  runner.advance(0.2);
  ASSERT_EQ(p->frame(), (Rect{50, 70, 300, 60}));
  fitting = {340, 64};
  p->refitToContent();
  EXPECT_EQ(p->frame(), (Rect{50, 66, 340, 64}));
  // Shrinking content never goes below the minimum.
  fitting = {10, 10};
  p->refitToContent();
  EXPECT_EQ(p->frame(), (Rect{50, 86, 240, 44}));
  // A hidden panel keeps its frame for the next show to decide.
  p->dismiss(0);
  runner.advance(0.1);
  fitting = {500, 80};
  p->refitToContent();
  EXPECT_EQ(p->frame(), (Rect{50, 86, 240, 44}));
}

TEST_F(PanelTest, StaleDeferredWorkDoesNothingOnceAnotherShowTookTheScreen) {
  auto p = makePanel();
  p->show(status("A"), 3, true, false);
  runner.advance(1.0);
  p->show(status("B"), 3, true, false);  // cross-fade: B applies after 0.15 s
  runner.advance(0.05);
  p->show(status("C"), 4, true, false);  // alpha is low: C takes the screen at once
  runner.advance(1.0);
  EXPECT_EQ(message(*p), "C");
  EXPECT_EQ(shownMessages(*p), (std::vector<std::string>{"A", "C"}));
}

TEST_F(PanelTest, AShowAtTheMomentTheFadeEndsKeepsItsContentAndTheQueueWaits) {
  auto p = makePanel();
  p->show(status("A"), 4, true, false);
  runner.advance(0.2);
  p->show(status("queued"), 3, true, false);
  p->dismiss(0.3);
  // Lands on the same turn as the fade's end, before the queue is drained.
  runner.postDelayed(0.3, [&] { p->show(status("B"), 2, true, false); });
  runner.advance(0.3);
  runner.runUntilIdle();
  EXPECT_EQ(message(*p), "B");
  ASSERT_EQ(p->pendingQueue().size(), 1u);
  runner.advance(10);
  EXPECT_EQ(shownMessages(*p).back(), "queued");
}

TEST_F(PanelTest, AskProposalTellsItsOwnerWhenItTimesOut) {
  int dismissed = 0;
  auto p = makePanel();
  p->show(DisplayState::ask("a", "b", "r", 1, {}, [&] { ++dismissed; }), 3, false, false);
  runner.advance(4.4);
  EXPECT_EQ(dismissed, 0);
  runner.advance(0.2);
  EXPECT_EQ(dismissed, 1);
  EXPECT_TRUE(p->isDismissing());
}

TEST_F(PanelTest, WithoutABundleOnlyTheStateChanges) {
  auto p = makePanel(false);
  int runs = 0;
  p->show(DisplayState::actionable("m", "", "i", HudColor::white, "Go", [&] { ++runs; }), 3, true, false);
  EXPECT_FALSE(p->isVisible());
  EXPECT_FALSE(p->hasFadeTimer());
  EXPECT_EQ(p->state().displayState.get().kind(), K::actionable);
  EXPECT_TRUE(p->cancelActiveActionable());
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(p->state().displayState.get().kind(), K::idle);
}

TEST_F(PanelTest, TranscriptListsEachShownNoticeWithItsTextsAnchorAndTimes) {
  auto p = makePanel();
  double origin = clock.uptime();
  p->show(DisplayState::status("Ready", "Detected", "checkmark.circle.fill", HudColor::green), 3, true, false);
  runner.advance(5);
  auto t = p->noticesTranscript(origin);
  ASSERT_EQ(t.size(), 1u);
  EXPECT_EQ(t[0].dump(),
            R"({"at":0.0,"priority":3,"anchor":"statusItem","kind":"status","message":"Ready","subMessage":"Detected",)"
            R"("icon":"checkmark.circle.fill","messageColor":"green","until":3.85})");
}

TEST(HudDoubleDescription, WholeNumbersKeepTheirPointZero) {
  EXPECT_EQ(hudDoubleDescription(0.5), "0.5");
  EXPECT_EQ(hudDoubleDescription(1.0), "1.0");
  EXPECT_EQ(hudDoubleDescription(0.1 + 0.2), "0.30000000000000004");
}

TEST(StatusHud, ShowsAStatusLineAtPriorityThreeBelowTheStatusItem) {
  test::EngineFixture f;
  auto engine = f.start();
  auto panel = UnifiedMenuPanel::create(hudEnvironmentFor(*engine));
  engine->hud.panel = panel.get();
  showStatusHUD(*engine, "สลับภาษาสำเร็จ", "เปลี่ยนเป็นภาษาไทย", "keyboard", HudColor::white);
  ASSERT_FALSE(f.systemLog.consoleLines.empty());
  EXPECT_EQ(f.systemLog.consoleLines.back(),
            "Tessavinor: showStatusHUD called with message: สลับภาษาสำเร็จ, subMessage: เปลี่ยนเป็นภาษาไทย");
  EXPECT_FALSE(panel->isVisible());  // handed over on the main queue
  f.runner.runUntilIdle();
  ASSERT_EQ(panel->shownNotices().size(), 1u);
  EXPECT_EQ(panel->activePriority(), 3);
  EXPECT_EQ(panel->shownNotices()[0].anchor, HudAnchor::statusItem);
  showStatusHUD(*engine, "wait", "", "hourglass", HudColor::white, 2.0);
  f.runner.advance(1.0);
  EXPECT_EQ(panel->state().displayState.get().kind(), K::statusProgress);
  engine->hud.panel = nullptr;
}

TEST(StatusHud, TheSwitchConfirmationFollowsTheChosenFeedbackStyle) {
  test::EngineFixture f;
  auto engine = f.start();
  auto panel = UnifiedMenuPanel::create(hudEnvironmentFor(*engine));
  engine->hud.panel = panel.get();
  auto lastContent = [&] { return panel->shownNotices().back().content; };
  auto showAndSettle = [&](const std::string& text, const std::string& previous, int64_t score) {
    showLanguageSwitchFeedback(*engine, text, previous, "ไทย", score, 8.0);
    f.runner.advance(10.0);
  };

  engine->defaults().set("correctionFeedbackStyle", "off");
  showAndSettle("สวัสดี", "l;ylfu", 3);
  EXPECT_TRUE(panel->shownNotices().empty());

  engine->defaults().set("correctionFeedbackStyle", "hud");
  showAndSettle("สวัสดี", "l;ylfu", 3);
  ASSERT_EQ(panel->shownNotices().size(), 1u);
  EXPECT_EQ(lastContent()["kind"], "status");
  EXPECT_EQ(lastContent()["message"], "สลับภาษาสำเร็จ");
  EXPECT_EQ(lastContent()["subMessage"], "เปลี่ยนเป็นภาษาไทย");

  // Unset and unknown styles both give the compact confirmation.
  engine->defaults().remove("correctionFeedbackStyle");
  showAndSettle("สวัสดี", "l;ylfu", 3);
  ASSERT_EQ(panel->shownNotices().size(), 2u);
  EXPECT_EQ(lastContent()["kind"], "confirmedForward");
  EXPECT_EQ(lastContent()["correctedWord"], "สวัสดี");
  EXPECT_EQ(lastContent()["origWord"], "l;ylfu");
  EXPECT_EQ(panel->shownNotices().back().priority, 2);

  // A whole sentence is shortened and its second line counts the changes.
  engine->defaults().set("correctionFeedbackStyle", "bubbles");
  showAndSettle("abcdefghijklmnopqrstu", "abcdefghijklmnopqrsXY", 7);
  ASSERT_EQ(panel->shownNotices().size(), 3u);
  EXPECT_EQ(lastContent()["correctedWord"], middleTruncated("abcdefghijklmnopqrstu", 14));
  EXPECT_EQ(lastContent()["origWord"], "แก้ 2 จุดในประโยค");
  engine->hud.panel = nullptr;
}

}  // namespace
}  // namespace tessa
