#include "app_core/dashboard/typing_demo_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/clock.h"
#include "base/task_runner.h"

namespace tessa {
namespace {

class TypingDemoTest : public ::testing::Test {
 protected:
  TypingDemoTest() : runner(clock) {}
  std::shared_ptr<TypingDemoModel> play(FeatureDemo demo) {
    auto m = TypingDemoModel::create(demo, runner, [this] { ++changes; });
    m->start();
    return m;
  }
  // Advances to just after `t` seconds from `origin` (clear of rounding in
  // the sums of delays) and answers (step, hint).
  std::pair<int, bool> at(double origin, double t, const TypingDemoModel& m) {
    runner.advanceTo(origin + t + 1e-6);
    return {m.currentStep(), m.showHint()};
  }

  ManualClock clock;
  ManualTaskRunner runner;
  int changes = 0;
};

TEST(FeatureDemoTables, OrderCapsAndDelays) {
  ASSERT_EQ(allFeatureDemos().size(), 5u);
  EXPECT_EQ(allFeatureDemos().front(), FeatureDemo::smartCorrection);
  EXPECT_EQ(allFeatureDemos().back(), FeatureDemo::whitelist);
  EXPECT_EQ(FeatureDemoInfo::hotkeyCaps(FeatureDemo::undoRedo), (std::vector<std::string>{"Ctrl", "Shift", "Z"}));
  EXPECT_EQ(FeatureDemoInfo::hotkeyCaps(FeatureDemo::smartCorrection), (std::vector<std::string>{"พิมพ์ปกติ"}));
  EXPECT_EQ(FeatureDemoInfo::stepDelays(FeatureDemoInfo::scriptLines(FeatureDemo::smartCorrection)),
            (std::vector<double>{0.18, 0.18, 0.18, 0.5, 0.6, 0.5}));
  for (FeatureDemo demo : {FeatureDemo::undoRedo, FeatureDemo::cycleLanguage, FeatureDemo::confirmSuggestion,
                           FeatureDemo::whitelist})
    EXPECT_EQ(FeatureDemoInfo::stepDelays(FeatureDemoInfo::scriptLines(demo)), (std::vector<double>{0.5, 0.6, 0.5}));
}

TEST_F(TypingDemoTest, SmartCorrectionPlaysOnItsTimetableAndLoops) {
  const double t0 = clock.uptime();
  auto m = play(FeatureDemo::smartCorrection);
  EXPECT_NEAR(m->loopInterval(), 4.44, 1e-9);
  EXPECT_EQ(at(t0, 0.0, *m), std::make_pair(0, false));
  runner.runUntilIdle();
  EXPECT_EQ(at(t0, 0.17, *m).first, 0);
  EXPECT_EQ(at(t0, 0.18, *m).first, 1);
  EXPECT_EQ(at(t0, 0.54, *m).first, 3);
  EXPECT_EQ(at(t0, 1.04, *m).first, 4);
  EXPECT_FALSE(m->showsCursor()) << "the text ends with a space";
  EXPECT_FALSE(m->isKeyStep());
  EXPECT_EQ(at(t0, 1.64, *m).first, 5);
  EXPECT_TRUE(m->showsCursor());
  EXPECT_EQ(at(t0, 2.43, *m).second, false);
  EXPECT_EQ(at(t0, 2.44, *m), std::make_pair(5, true));
  // Hint shown 2.0 s, then the loop restarts at step 0 with the hint hidden.
  EXPECT_EQ(at(t0, 4.43, *m), std::make_pair(5, true));
  EXPECT_EQ(at(t0, 4.44, *m), std::make_pair(0, false));
  // Later passes start 0.3 s after the restart; the hint then stays 1.7 s.
  EXPECT_EQ(at(t0, 4.44 + 0.47, *m).first, 0);
  EXPECT_EQ(at(t0, 4.44 + 0.48, *m).first, 1);
  EXPECT_EQ(at(t0, 4.44 + 2.73, *m).second, false);
  EXPECT_EQ(at(t0, 4.44 + 2.74, *m).second, true);
  EXPECT_EQ(at(t0, 8.87, *m).second, true);
  EXPECT_EQ(at(t0, 8.88, *m), std::make_pair(0, false));
}

TEST_F(TypingDemoTest, TheKeyBadgeLightsExactlyWhileAStepAsksForTheKeys) {
  const double t0 = clock.uptime();
  auto m = play(FeatureDemo::cycleLanguage);
  std::vector<bool> lit;
  for (double t : {0.0, 0.49, 0.5, 1.09, 1.1, 1.9}) {
    at(t0, t, *m);
    lit.push_back(m->isKeyStep());
  }
  EXPECT_EQ(lit, (std::vector<bool>{false, false, true, true, false, false}));
  EXPECT_TRUE(m->showHint());
}

TEST_F(TypingDemoTest, TheCursorBlinksEveryHalfSecond) {
  const double t0 = clock.uptime();
  auto m = play(FeatureDemo::undoRedo);
  bool first = m->cursorVisible();
  at(t0, 0.5, *m);
  EXPECT_NE(m->cursorVisible(), first);
  at(t0, 1.0, *m);
  EXPECT_EQ(m->cursorVisible(), first);
}

TEST_F(TypingDemoTest, AStoppedRunChangesNothingAndAQuickRestartIsNotFedByTheOldSteps) {
  const double t0 = clock.uptime();
  auto m = play(FeatureDemo::undoRedo);
  at(t0, 0.6, *m);
  EXPECT_EQ(m->currentStep(), 1);
  m->stop();
  int before = changes;
  at(t0, 10.0, *m);
  EXPECT_EQ(changes, before) << "no step, hint or cursor after stop";
  EXPECT_EQ(m->currentStep(), 1);

  // Stop at 0.3 s and start again at once: the old run's step 1 (due at
  // 0.5 s) must not appear at 0.5 s of the old timetable.
  const double t1 = clock.uptime();
  auto n = play(FeatureDemo::undoRedo);
  at(t1, 0.3, *n);
  n->stop();
  n->start();
  EXPECT_EQ(n->currentStep(), 0);
  EXPECT_FALSE(n->showHint());
  at(t1, 0.79, *n);
  EXPECT_EQ(n->currentStep(), 0) << "the old run's step fired into the new one";
  at(t1, 0.8, *n);
  EXPECT_EQ(n->currentStep(), 1);
  // Starting while running restarts cleanly too, and releasing the model
  // leaves nothing behind that could run.
  n->start();
  EXPECT_EQ(n->currentStep(), 0);
  n.reset();
  m.reset();
  runner.advance(20);
}

}  // namespace
}  // namespace tessa
