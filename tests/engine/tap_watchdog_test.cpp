#include <gtest/gtest.h>

#include "engine/hud_notices.h"
#include "reliability/tap_dead_man_switch.h"
#include "support/reliability_fixture.h"

namespace tessa {
namespace {

class TapWatchdogTest : public ::testing::Test, public test::ReliabilityFixture {
 protected:
  void SetUp() override {
    start();
    engine->isAccessibilityGranted.set(true);
    engine->createEventTap();
    ASSERT_NE(keyboardTap(), 0u);
  }
  void failTap() { desktop.events().enableTap(keyboardTap(), false); }
  bool tapEnabled() { return keyboardTap() != 0 && desktop.events().isTapEnabled(keyboardTap()); }
};

TEST_F(TapWatchdogTest, DisablesAreCountedOverTheLastSixtySeconds) {
  EXPECT_EQ(engine->noteTapDisabledByTimeout(), 1);
  f.runner.advance(30);
  EXPECT_EQ(engine->noteTapDisabledByTimeout(), 2);
  f.runner.advance(30);  // the first is exactly 60 s old: still inside
  EXPECT_EQ(engine->noteTapDisabledByTimeout(), 3);
  f.runner.advance(0.5);
  EXPECT_EQ(engine->noteTapDisabledByTimeout(), 3);  // the first has left the window
  f.runner.advance(120);
  EXPECT_EQ(engine->noteTapDisabledByTimeout(), 1);
}

TEST_F(TapWatchdogTest, InFlightMarksAreSetAndClearedForBothReaders) {
  engine->markHandleBegan();
  double now = f.clock.uptime();
  {
    std::lock_guard lock(engine->watchdogTapState.lock);
    EXPECT_EQ(engine->watchdogTapState.inFlightStart, now);
    EXPECT_EQ(engine->watchdogTapState.tapReference, keyboardTap());
  }
  EXPECT_EQ(engine->recovery.inFlightHandleStart, now);
  engine->markHandleEnded();
  EXPECT_FALSE(engine->watchdogTapState.inFlightStart);
  EXPECT_FALSE(engine->recovery.inFlightHandleStart);
}

TEST_F(TapWatchdogTest, LadderClimbsReenableRecreateRelaunchThenGivesUp) {
  TapId first = keyboardTap();
  failTap();
  engine->runTapRecoveryStep("4294967294 x1 in 60s");
  EXPECT_EQ(engine->recovery.tapRecoveryStep, 1);
  EXPECT_FALSE(tapEnabled());  // the step runs on a later turn, never inside the callback
  f.runner.runUntilIdle();
  EXPECT_TRUE(tapEnabled());
  EXPECT_EQ(keyboardTap(), first);
  EXPECT_TRUE(logged("runTapRecoveryStep: step 1 re-enable (4294967294 x1 in 60s)"));

  // Failing again within 5 s re-enables without climbing.
  f.runner.advance(1);
  failTap();
  engine->runTapRecoveryStep("again");
  f.runner.runUntilIdle();
  EXPECT_EQ(engine->recovery.tapRecoveryStep, 1);
  EXPECT_TRUE(tapEnabled());

  f.runner.advance(6);
  failTap();
  engine->runTapRecoveryStep("recreate me");
  f.runner.runUntilIdle();
  EXPECT_EQ(engine->recovery.tapRecoveryStep, 2);
  EXPECT_NE(keyboardTap(), first);
  EXPECT_TRUE(tapEnabled());

  f.runner.advance(6);
  failTap();
  engine->runTapRecoveryStep("x");
  f.runner.runUntilIdle();
  EXPECT_EQ(engine->recovery.tapRecoveryStep, 3);
  EXPECT_TRUE(logged("relaunching the application is not built yet - skipped"));
  EXPECT_FALSE(engine->recovery.isEmergencyTornDown);

  f.runner.advance(6);
  engine->runTapRecoveryStep("y");
  f.runner.runUntilIdle();
  EXPECT_EQ(engine->recovery.tapRecoveryStep, 4);
  EXPECT_TRUE(engine->recovery.isEmergencyTornDown);
  EXPECT_EQ(keyboardTap(), 0u);

  // Torn down: nothing more happens until the user restarts.
  f.runner.advance(6);
  engine->runTapRecoveryStep("z");
  f.runner.runUntilIdle();
  EXPECT_EQ(keyboardTap(), 0u);

  auto ladder = journalOf("tap.ladder");
  std::vector<std::string> phases;
  for (auto& j : ladder) phases.push_back(j["fields"]["phase"]);
  EXPECT_EQ(phases, (std::vector<std::string>{"reenable", "recreate", "relaunch", "give_up"}));
  EXPECT_TRUE(ladder.back()["critical"].get<bool>());

  engine->userRestartTap();
  EXPECT_FALSE(engine->recovery.isEmergencyTornDown);
  EXPECT_EQ(engine->recovery.tapRecoveryStep, 0);
  EXPECT_TRUE(tapEnabled());
  EXPECT_EQ(journalOf("tap.ladder").back()["fields"]["phase"], "user_restart");
}

TEST_F(TapWatchdogTest, LadderStartsAgainAfterThirtyHealthySecondsAndLeavesAHealthyOrPausedTapAlone) {
  failTap();
  engine->runTapRecoveryStep("a");
  f.runner.runUntilIdle();
  f.runner.advance(31);
  failTap();
  engine->runTapRecoveryStep("b");
  EXPECT_EQ(engine->recovery.tapRecoveryStep, 1);
  f.runner.runUntilIdle();

  engine->runTapRecoveryStep("healthy");
  EXPECT_TRUE(logged("runTapRecoveryStep: tap healthy (healthy) - nothing to do"));
  EXPECT_FALSE(engine->recovery.isTapRestartInFlight);

  // Paused, the tap is disabled on purpose.
  engine->isPaused.set(true);
  desktop.events().enableTap(keyboardTap(), false);
  engine->runTapRecoveryStep("paused");
  EXPECT_TRUE(logged("runTapRecoveryStep: tap healthy (paused)"));
}

TEST_F(TapWatchdogTest, OutageEndsOnlyWithAWorkingTapAndALongOneIsAnnounced) {
  auto panel = UnifiedMenuPanel::create(hudEnvironmentFor(*engine));
  attachHudPanel(*engine, panel.get());
  failTap();
  engine->runTapRecoveryStep("t");
  // A tap-disabled event reaching the handler proves nothing.
  engine->noteTapRecovered();
  EXPECT_TRUE(engine->recovery.outageStartedAt);
  f.runner.advance(3.0);  // the re-enable ran at once
  ASSERT_TRUE(tapEnabled());
  int64_t recoveriesBefore = engine->totalWatchdogRecoveries.get();
  engine->noteTapRecovered();
  EXPECT_FALSE(engine->recovery.outageStartedAt);
  f.runner.runUntilIdle();
  EXPECT_EQ(engine->totalWatchdogRecoveries.get(), recoveriesBefore + 1);
  auto recovered = journalOf("tap.ladder").back();
  EXPECT_EQ(recovered["fields"]["phase"], "recovered");
  EXPECT_EQ(recovered["fields"]["ms"], "3000");
  ASSERT_EQ(panel->shownNotices().size(), 1u);
  EXPECT_EQ(panel->shownNotices()[0].content["message"], engine->localized("hud_tap_outage").replace(
                                                             engine->localized("hud_tap_outage").find("%d"), 2, "3"));
  EXPECT_EQ(panel->shownNotices()[0].priority, 3);

  // A short outage is only journalled.
  f.runner.advance(10);
  failTap();
  engine->runTapRecoveryStep("short");
  f.runner.advance(0.5);
  engine->noteTapRecovered();
  f.runner.runUntilIdle();
  EXPECT_EQ(panel->shownNotices().size(), 1u);
  engine->hud.panel = nullptr;
}

TEST_F(TapWatchdogTest, WatchdogRepairsADisabledOrMissingTapEveryTenSeconds) {
  engine->startEventTapWatchdog();
  f.runner.advance(10);
  EXPECT_FALSE(engine->isEventTapDead.get());
  EXPECT_EQ(engine->recovery.tapRecoveryStep, 0);

  failTap();
  f.runner.advance(9.9);
  EXPECT_FALSE(tapEnabled());
  f.runner.advance(0.2);
  EXPECT_TRUE(engine->isEventTapDead.get());
  EXPECT_TRUE(tapEnabled());
  EXPECT_TRUE(logged("runTapRecoveryStep: step 1 re-enable (watchdog: tap disabled)"));

  // Missing altogether while granted: recreated.
  engine->destroyEventTap();
  f.runner.advance(10);
  EXPECT_NE(keyboardTap(), 0u);
  EXPECT_TRUE(logged("(watchdog: no tap)"));

  // Paused or without the permission, no tap is expected.
  engine->isPaused.set(true);
  engine->destroyEventTap();
  f.runner.advance(10);
  EXPECT_EQ(keyboardTap(), 0u);
}

TEST_F(TapWatchdogTest, WatchdogWritesChangedStatistics) {
  engine->startEventTapWatchdog();
  engine->statsNoteTapDisabled(engine->stabilityDayKey());
  EXPECT_FALSE(std::filesystem::exists(engine->stabilityStatsURL()));
  f.runner.advance(10.5);
  EXPECT_TRUE(std::filesystem::exists(engine->stabilityStatsURL()));
}

TEST_F(TapWatchdogTest, StuckCallbackTearsTheTapDownAndTheUserCanRestartIt) {
  engine->startTapDeadManThread();
  EXPECT_TRUE(engine->recovery.isDeadManSwitchRunning);
  engine->stopTapDeadManThread();  // checked by hand below, not by the thread
  EXPECT_FALSE(engine->recovery.isDeadManSwitchRunning);

  TapId stuck = keyboardTap();
  engine->markHandleBegan();
  f.clock.advance(1.5);
  EXPECT_FALSE(engine->recovery.deadManSwitch->checkOnce());
  f.clock.advance(1.0);
  EXPECT_TRUE(engine->recovery.deadManSwitch->checkOnce());
  EXPECT_FALSE(desktop.events().isTapEnabled(stuck));  // released at once, from the switch
  EXPECT_FALSE(engine->recovery.deadManSwitch->checkOnce());  // once per stuck callback
  engine->markHandleEnded();
  f.runner.runUntilIdle();
  EXPECT_TRUE(engine->recovery.isEmergencyTornDown);
  EXPECT_EQ(keyboardTap(), 0u);
  auto stuckRecords = journalOf("handle.stuck");
  ASSERT_EQ(stuckRecords.size(), 1u);
  EXPECT_TRUE(stuckRecords[0]["critical"].get<bool>());
  EXPECT_EQ(stuckRecords[0]["fields"]["ms"], "2500");

  // After wake nothing restarts it by itself; the user does.
  engine->autoRecoveryWakeCheck();
  EXPECT_TRUE(logged("automatic-recovery policy is not built yet"));
  EXPECT_EQ(keyboardTap(), 0u);
  engine->userRestartTap();
  EXPECT_TRUE(tapEnabled());
}

TEST(TapDeadManSwitch, ReportsEachCallbackStuckPastTheLimitOnce) {
  ManualClock clock;
  TapDeadManSwitch::Snapshot state;
  std::vector<double> reports;
  TapDeadManSwitch deadMan(
      clock, [&] { return state; }, [&](TapId, double seconds) { reports.push_back(seconds); });
  EXPECT_FALSE(deadMan.checkOnce());  // no tap
  state.tap = 7;
  EXPECT_FALSE(deadMan.checkOnce());  // nothing in flight
  state.inFlightStart = clock.uptime();
  clock.advance(2.0);
  EXPECT_FALSE(deadMan.checkOnce());  // exactly at the limit
  clock.advance(0.25);
  EXPECT_TRUE(deadMan.checkOnce());
  EXPECT_FALSE(deadMan.checkOnce());
  state.inFlightStart = clock.uptime();
  clock.advance(3);
  EXPECT_TRUE(deadMan.checkOnce());
  EXPECT_EQ(reports, (std::vector<double>{2.25, 3.0}));
}

TEST(TapDeadManSwitch, StartsOnceAndStopsPromptly) {
  ManualClock clock;
  TapDeadManSwitch deadMan(clock, {}, {});
  EXPECT_FALSE(deadMan.isRunning());
  deadMan.start();
  deadMan.start();
  EXPECT_TRUE(deadMan.isRunning());
  deadMan.stop();  // wakes the thread from its one-second wait
  EXPECT_FALSE(deadMan.isRunning());
  deadMan.stop();
  deadMan.start();
  EXPECT_TRUE(deadMan.isRunning());
}  // the destructor stops it too

}  // namespace
}  // namespace tessa
