#include "engine/haptic_feedback.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"

namespace tessa::test {
namespace {

using Calls = std::vector<std::string>;

class HapticFeedbackTest : public ::testing::Test {
 protected:
  HapticFeedbackTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
  }
  ~HapticFeedbackTest() override {
    engine.reset();
    fx.engine.reset();
  }
  const Calls& calls() { return desk.haptics().calls(); }

  EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
};

TEST(HapticPulseTest, StrengthsMapToPatternAndActuation) {
  EXPECT_EQ(hapticPulseForStrength(0), (HapticPulse{HapticPattern::generic, 6}));
  EXPECT_EQ(hapticPulseForStrength(2), (HapticPulse{HapticPattern::levelChange, 2}));
  EXPECT_EQ(hapticPulseForStrength(1), (HapticPulse{HapticPattern::alignment, 1}));
  EXPECT_EQ(hapticPulseForStrength(7), (HapticPulse{HapticPattern::alignment, 1}));
  EXPECT_EQ(hapticPulseForStrength(-1), std::nullopt) << "off plays nothing";
}

TEST_F(HapticFeedbackTest, EachPulsePlaysThePatternAndActuatesInTheBackground) {
  struct Case {
    std::optional<int64_t> stored;
    Calls expected;
  };
  const Case cases[] = {
      {std::nullopt, {"perform levelChange", "actuate 2 0"}},  // unset reads as medium
      {0, {"perform generic", "actuate 6 0"}},
      {1, {"perform alignment", "actuate 1 0"}},
      {2, {"perform levelChange", "actuate 2 0"}},
      {-1, {}},
  };
  for (const auto& c : cases) {
    if (c.stored) fx.defaults->setInteger("hapticIntensityConfirm", *c.stored);
    size_t before = calls().size();
    engine->performHaptic(false);
    // The performer plays at once; the actuators wait for the background queue.
    if (!c.expected.empty()) {
      ASSERT_EQ(calls().size(), before + 1);
      EXPECT_EQ(calls().back(), c.expected[0]);
    }
    fx.runner.runUntilIdle();
    EXPECT_EQ(Calls(calls().begin() + before, calls().end()), c.expected) << (c.stored ? *c.stored : 99);
  }
}

TEST_F(HapticFeedbackTest, TheAlertPulseReadsItsOwnStrengthAndNeverRepeats) {
  fx.defaults->setInteger("hapticIntensityConfirm", 1);
  fx.defaults->setInteger("hapticIntensityAlert", 0);
  engine->performSystemHaptic();
  fx.runner.advance(1.0);
  EXPECT_EQ(calls(), (Calls{"perform generic", "actuate 6 0"}));

  fx.defaults->setInteger("hapticIntensityAlert", -1);
  engine->performSystemHaptic();
  fx.runner.advance(1.0);
  EXPECT_EQ(calls().size(), 2u) << "the alert strength off silences it whatever the confirm strength";
}

TEST_F(HapticFeedbackTest, ARepeatedPulsePlaysTwiceAfterTheDelayWithoutReadingTheStrengthAgain) {
  fx.defaults->setInteger("hapticIntensityConfirm", 0);
  engine->performHaptic(true);
  fx.runner.runUntilIdle();
  EXPECT_EQ(calls(), (Calls{"perform generic", "actuate 6 0"}));
  fx.defaults->setInteger("hapticIntensityConfirm", 2);
  fx.runner.advance(0.099);
  EXPECT_EQ(calls().size(), 2u);
  fx.runner.advance(0.001);
  EXPECT_EQ(calls(), (Calls{"perform generic", "actuate 6 0", "perform generic", "actuate 6 0"}));

  // A stored delay is honoured; a stored 0 means the default.
  fx.defaults->setDouble("hapticFeedbackDelay", 0.3);
  engine->performHaptic(true);
  fx.runner.advance(0.29);
  EXPECT_EQ(calls().size(), 6u);
  fx.runner.advance(0.01);
  EXPECT_EQ(calls().size(), 8u);
  fx.defaults->setDouble("hapticFeedbackDelay", 0);
  engine->performHaptic(true);
  fx.runner.advance(0.1);
  EXPECT_EQ(calls().size(), 12u);
}

TEST_F(HapticFeedbackTest, TheSecondPulseIsDroppedWithTheEngine) {
  engine->performHaptic(true);
  fx.runner.runUntilIdle();
  engine.reset();
  fx.engine.reset();
  fx.runner.advance(1.0);
  EXPECT_EQ(calls().size(), 2u);
}

TEST(HapticFeedbackWithoutActuatorsTest, APlatformWithoutHapticsPlaysNothingAndLogsNothing) {
  EngineFixture fx;
  auto engine = fx.start();
  fx.runner.runUntilIdle();
  size_t logged = engine->diagnosticLogs().size();
  engine->performHaptic(true);
  engine->performSystemHaptic();
  fx.runner.advance(1.0);
  EXPECT_EQ(engine->diagnosticLogs().size(), logged);
}

}  // namespace
}  // namespace tessa::test
