#include <gtest/gtest.h>

#include "support/reliability_fixture.h"

namespace tessa {
namespace {

class PermissionTest : public ::testing::Test, public test::ReliabilityFixture {
 protected:
  int stateChanges = 0;
  Subscription observer;
  void watch() {
    observer = f.notifications.addObserver(notification::accessibilityStateChanged,
                                           [this](const Notification&) { ++stateChanges; });
  }
};

TEST_F(PermissionTest, PollFlipsTheGrantAndBuildsOrRemovesTheTap) {
  desktop.setTrusted(false);
  start();
  watch();
  engine->startAXPermissionTimer();
  f.runner.advance(1.05);
  EXPECT_FALSE(engine->isAccessibilityGranted.get());
  EXPECT_EQ(keyboardTap(), 0u);

  desktop.setTrusted(true);
  f.runner.advance(1.0);
  EXPECT_TRUE(engine->isAccessibilityGranted.get());
  EXPECT_NE(keyboardTap(), 0u);
  EXPECT_EQ(stateChanges, 1);
  f.runner.advance(3.0);  // unchanged trust: nothing more
  EXPECT_EQ(stateChanges, 1);

  desktop.setTrusted(false);
  f.runner.advance(1.0);
  EXPECT_FALSE(engine->isAccessibilityGranted.get());
  EXPECT_EQ(keyboardTap(), 0u);
  auto records = journalOf("permission");
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.front()["fields"]["reason"], "granted");
}

// Where the desktop announces each change of trust, nothing asks on a
// timer: the change is applied as it is announced.
TEST_F(PermissionTest, AnAnnouncedChangeOfTrustReplacesThePoll) {
  desktop.accessibility().setAnnouncesChanges(true);
  desktop.setTrusted(false);
  start();
  watch();
  engine->startAXPermissionTimer();
  EXPECT_FALSE(engine->permission.axPermissionTimer.valid());
  EXPECT_TRUE(logged("watched instead of polled"));
  f.runner.runUntilIdle();
  EXPECT_FALSE(engine->isAccessibilityGranted.get());

  desktop.setTrusted(true);
  f.runner.runUntilIdle();
  EXPECT_TRUE(engine->isAccessibilityGranted.get());
  EXPECT_NE(keyboardTap(), 0u);
  EXPECT_TRUE(logged("Accessibility granted (switch)"));
  desktop.setTrusted(false);
  f.runner.runUntilIdle();
  EXPECT_FALSE(engine->isAccessibilityGranted.get());
  EXPECT_EQ(keyboardTap(), 0u);
  EXPECT_EQ(stateChanges, 2);
}

TEST_F(PermissionTest, RequestAccessibilityAsksWithThePromptFlagAndAppliesOnTheMainQueue) {
  start();
  EXPECT_FALSE(engine->isAccessibilityGranted.get());
  engine->requestAccessibility(false);
  EXPECT_FALSE(engine->isAccessibilityGranted.get());
  f.runner.runUntilIdle();
  EXPECT_TRUE(engine->isAccessibilityGranted.get());
  EXPECT_EQ(engine->permission.axProbe, std::optional<bool>(true));
}

TEST_F(PermissionTest, AStaleUntrustedAnswerNeverTearsDownATrustedProcess) {
  start();
  engine->requestAccessibility(false);
  f.runner.runUntilIdle();
  engine->createEventTap();
  TapId tapBefore = keyboardTap();
  ASSERT_NE(tapBefore, 0u);
  engine->applyAccessibilityTrust(false, "poll");
  EXPECT_TRUE(engine->isAccessibilityGranted.get());
  EXPECT_EQ(keyboardTap(), tapBefore);
  EXPECT_TRUE(logged("said untrusted but the process is trusted now - kept"));
}

// When the desktop's switch went on is kept across starts: the programs
// started before it share nothing until restarted. It is the time of our
// own grant, or the first check that sees it on after one saw it off; never
// a guess when it was on before anything looked.
TEST_F(PermissionTest, TheTimeTheDesktopsSwitchWentOnIsKept) {
  desktop.accessibility().setPromptTurnsTrustOn(true);
  start();
  auto since = [&] {
    return f.defaults->hasStoredValue("accessibilityOnSince")
               ? std::optional<double>(f.defaults->doubleForKey("accessibilityOnSince"))
               : std::nullopt;
  };
  engine->requestAccessibility(false);
  f.runner.runUntilIdle();
  EXPECT_EQ(since(), std::nullopt) << "on before we looked: unknown";

  desktop.setTrusted(false);
  engine->startAXPermissionTimer();
  f.runner.advance(1.0);
  EXPECT_EQ(since(), 0.0) << "seen off";
  f.runner.advance(10.0);
  const double grantedAt = f.clock.wallTime();
  engine->requestAccessibility(true);  // the user's grant
  // A poll answer from before the grant lands after it.
  engine->applyAccessibilityTrust(false, "poll");
  f.runner.runUntilIdle();
  EXPECT_EQ(since(), grantedAt);

  // Off and on again in the desktop's own settings: seen at the next poll.
  desktop.setTrusted(false);
  f.runner.advance(1.0);
  EXPECT_EQ(since(), 0.0);
  f.runner.advance(4.0);
  desktop.setTrusted(true);
  f.runner.advance(1.0);
  EXPECT_NEAR(*since(), f.clock.wallTime(), 1.0);

  // A switch out of reach says nothing about when it went on.
  desktop.accessibility().setTrustProblem(AXTrustProblem::noAccessibilityBus);
  desktop.setTrusted(false);
  f.runner.advance(2.0);
  EXPECT_GT(*since(), grantedAt);
}

TEST_F(PermissionTest, AGrantDoesNotRebuildATapTornDownInAnEmergency) {
  desktop.setTrusted(false);
  start();
  engine->recovery.isEmergencyTornDown = true;
  desktop.setTrusted(true);
  engine->applyAccessibilityTrust(true, "poll");
  EXPECT_TRUE(engine->isAccessibilityGranted.get());
  EXPECT_EQ(keyboardTap(), 0u);
}

TEST_F(PermissionTest, PendingRepairIsFinishedAndItsKeysCleared) {
  start();
  engine->resumePendingAXRepair();  // nothing pending: nothing happens
  EXPECT_FALSE(logged("resumePendingAXRepair"));

  f.defaults->setBool("ax.repairPending", true);
  f.defaults->setInteger("ax.repairAttempts", 2);
  f.defaults->setDouble("ax.repairUnverifiedSince", 123.0);
  engine->resumePendingAXRepair();
  EXPECT_FALSE(f.defaults->hasStoredValue("ax.repairPending"));
  EXPECT_EQ(f.defaults->integerForKey("ax.repairAttempts"), 0);
  EXPECT_EQ(f.defaults->doubleForKey("ax.repairUnverifiedSince"), 0.0);

  desktop.setTrusted(false);
  f.defaults->setBool("ax.repairPending", true);
  engine->resumePendingAXRepair();
  EXPECT_DOUBLE_EQ(f.defaults->doubleForKey("ax.repairUnverifiedSince"), f.clock.wallTime());
  EXPECT_TRUE(logged("resumePendingAXRepair: Accessibility is still missing after the repair relaunch"));
}

TEST_F(PermissionTest, LaunchSetUpRunsOncePerProcess) {
  start();
  engine->runLaunchSetup();
  TapId first = keyboardTap();
  ASSERT_NE(first, 0u);
  engine->runLaunchSetup();
  EXPECT_EQ(keyboardTap(), first);
  EXPECT_TRUE(engine->launch.hasRunLaunchSetup);
}

}  // namespace
}  // namespace tessa
