#include "app_core/dashboard/accessibility_repair.h"

#include <gtest/gtest.h>

#include "engine/hud_notices.h"
#include "engine/keyboard_engine.h"
#include "hud/unified_menu_panel.h"
#include "platform/sim/sim_desktop.h"
#include "reliability/launch_environment_guard.h"
#include "support/engine_fixture.h"

namespace tessa {
namespace {

class RecordingLauncher final : public ProcessLauncher {
 public:
  std::optional<std::string> launchDetached(const std::string& path,
                                            const std::vector<std::string>& arguments) override {
    launches.push_back({path, arguments});
    return error;
  }
  struct Launch {
    std::string path;
    std::vector<std::string> arguments;
  };
  std::vector<Launch> launches;
  std::optional<std::string> error;
};

class AccessibilityRepairTest : public ::testing::Test {
 protected:
  AccessibilityRepairTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    panel = UnifiedMenuPanel::create(hudEnvironmentFor(*engine));
    attachHudPanel(*engine, panel.get());
    fx.runner.runUntilIdle();
    repair = std::make_unique<AccessibilityRepair>(engine->accessibility(), engine->context(), engine->defaults(),
                                                   engine->hudNotices(), launcher, "/opt/tessavinor/bin/tessavinor",
                                                   [this] { ++quits; });
    repair->install();
  }
  ~AccessibilityRepairTest() override { attachHudPanel(*engine, nullptr); }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  std::shared_ptr<UnifiedMenuPanel> panel;
  RecordingLauncher launcher;
  std::unique_ptr<AccessibilityRepair> repair;
  int quits = 0;
};

TEST_F(AccessibilityRepairTest, RelaunchesAFreshCopyThenQuitsThroughTheOrderedShutDown) {
  engine->repairAccessibilityGrant(false, true);
  ASSERT_EQ(launcher.launches.size(), 1u);
  EXPECT_EQ(launcher.launches[0].path, "/opt/tessavinor/bin/tessavinor");
  EXPECT_EQ(launcher.launches[0].arguments, std::vector<std::string>{LaunchEnvironmentGuard::kRelaunchArgument});
  EXPECT_TRUE(fx.defaults->boolForKey("ax.repairPending")) << "the successor finishes the repair";
  EXPECT_EQ(fx.defaults->integerForKey("ax.repairAttempts"), 1);
  EXPECT_GT(fx.defaults->doubleForKey("ax.repairLastAt"), 0);

  fx.runner.advance(AccessibilityRepair::kQuitDelay - 0.1);
  EXPECT_EQ(quits, 0) << "the announcement stays readable first";
  const auto* status = panel->state().displayState.get().as<DisplayState::Status>();
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->message, "กำลังซ่อมสิทธิ์");
  EXPECT_EQ(status->subMessage, "แอปจะปิดและเปิดใหม่ในอีกสักครู่ แล้วระบบจะถามสิทธิ์อีกครั้ง");
  EXPECT_EQ(status->icon, "arrow.triangle.2.circlepath");
  fx.runner.advance(0.2);
  EXPECT_EQ(quits, 1);
}

TEST_F(AccessibilityRepairTest, AHelperThatCannotStartLeavesThisInstanceRunning) {
  launcher.error = "No such file or directory";
  EXPECT_EQ(repair->repair(false, true), AccessibilityRepair::Outcome::helperNotStarted);
  fx.runner.advance(5);
  EXPECT_EQ(quits, 0);
  EXPECT_FALSE(fx.defaults->hasStoredValue("ax.repairPending"));
  EXPECT_EQ(fx.defaults->integerForKey("ax.repairAttempts"), 0);
  EXPECT_TRUE(fx.systemLog.contains("AX repair could not spawn its helper: No such file or directory"));
}

TEST_F(AccessibilityRepairTest, RefusesAfterTheAttemptCapUntilAGrantIsVerified) {
  fx.defaults->setInteger("ax.repairAttempts", AccessibilityRepair::kMaxAttempts);
  EXPECT_EQ(repair->repair(false, true), AccessibilityRepair::Outcome::refusedAttemptCap);
  EXPECT_TRUE(launcher.launches.empty());
  fx.runner.advance(5);
  EXPECT_EQ(quits, 0);
  EXPECT_TRUE(fx.systemLog.contains("AX repair refused"));

  // The relaunch found the grant: the budget is whole again.
  fx.defaults->setBool("ax.repairPending", true);
  desk.setTrusted(true);
  engine->resumePendingAXRepair();
  EXPECT_EQ(repair->repair(false, true), AccessibilityRepair::Outcome::relaunching);
}

TEST_F(AccessibilityRepairTest, AStepLeftPendingDoesNothingOnceTheRepairIsGone) {
  engine->repairAccessibilityGrant(false, true);
  repair.reset();
  fx.runner.advance(5);
  EXPECT_EQ(quits, 0);
  engine->repairAccessibilityGrant(false, true);
  EXPECT_EQ(launcher.launches.size(), 1u) << "no handler is left behind";
  EXPECT_TRUE(fx.systemLog.contains("AX repair is not available"));
}

TEST(InstanceLockWaitTest, WaitsForThePreviousHolderAndGivesUpAfterTheLimit) {
  test::TempHome home;
  auto path = home.path() / "tessavinor.lock";
  auto previous = std::make_unique<InstanceLock>();
  ASSERT_EQ(previous->tryAcquire(path, 100), InstanceLock::Status::acquired);

  int sleeps = 0;
  bool ok = waitForInstanceLockRelease(path, 200, 10, 0.1, [&](double) {
    if (++sleeps == 3) previous.reset();  // the old process exits
  });
  EXPECT_TRUE(ok);
  EXPECT_EQ(sleeps, 3);

  InstanceLock holder;
  ASSERT_EQ(holder.tryAcquire(path, 100), InstanceLock::Status::acquired);
  sleeps = 0;
  EXPECT_FALSE(waitForInstanceLockRelease(path, 200, 1.0, 0.25, [&](double) { ++sleeps; }));
  EXPECT_EQ(sleeps, 4);
}

}  // namespace
}  // namespace tessa
