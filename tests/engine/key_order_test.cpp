// The whole road from the keyboard to the field: keys typed while the
// switcher key is down, while the switch completes, while held keys are being
// replayed and while a conversion retypes a word all land in the order they
// were typed, each in the layout it was meant for.
#include <gtest/gtest.h>

#include <random>

#include "engine/flow_fixture.h"

namespace tessa::test {
namespace {

class KeyOrderTest : public FlowTest {
 protected:
  KeyOrderTest() {
    engine->createEventTap();
    engine->applyModeSettings();  // Caps Lock becomes F19, hot key 61 Fn+F19
    run();
  }
};

TEST_F(KeyOrderTest, KeysAroundAnF19SwitchLandInOrderInTheNewLayout) {
  ASSERT_TRUE(desk.capsLockRemappedToF19());
  desk.setSwitchLatency(0.03);
  desk.keyDown(keycode::capsLock);      // F19 down: keys are held from here
  desk.typeText("do", 0.02, 0.01);      // typed while F19 is down
  fx.runner.advance(0.08);
  desk.keyUp(keycode::capsLock);        // a short press: switch
  desk.typeText("kl", 0.004, 0.001);    // typed while the switch completes and replays
  advance(1.0);
  EXPECT_EQ(desk.currentSource(), kThai);
  EXPECT_EQ(field().text(), thai("dokl"));
  EXPECT_TRUE(flow().state().isIdle());
  EXPECT_EQ(engine->counters.keystrokesDropped.get(), 0);
}

TEST_F(KeyOrderTest, KeysTypedDuringAConversionFollowTheConvertedWord) {
  desk.setSwitchLatency(0.05);
  field().setText("x dbo");
  desk.press("ctrl+shift+x");
  desk.typeText(" k", 0.003, 0.002);  // typed while the word is being retyped
  advance(1.0);
  EXPECT_EQ(desk.currentSource(), kThai);
  // The word became Thai, and what was typed after the hot key followed it,
  // in the layout the conversion switched to.
  EXPECT_EQ(field().text(), "x " + thai("dbo") + " " + thai("k"));
}

TEST_F(KeyOrderTest, ATimedOutSwitchStillDeliversEveryKeyInOrder) {
  desk.setNextSourceHotKeyWorks(false);
  desk.inputSources().setSelectFailure(-50);  // the fallback cannot select either
  desk.press("capslock");
  desk.typeText("hello", 0.01, 0.005);
  advance(2.0);
  EXPECT_EQ(desk.currentSource(), kABC);
  EXPECT_EQ(field().text(), "hello");
  EXPECT_GE(engine->counters.layoutSwitchTimeout.get(), 1);
  EXPECT_FALSE(engine->switcher.isTogglingF19);
}

// Two Caps Lock taps close together on a slow system, at random times on a
// 1/64 s grid (exact in binary, so that a tap can arrive in the very turn in
// which a switch lands). Whatever the second tap does - ignored while the
// first switch is still confirming, or switching again before, just as or
// after the first has landed - the keys held for the first switch come out
// in the first switch's layout.
TEST_F(KeyOrderTest, KeysHeldForASwitchKeepItsLayoutWhateverTheNextTapDoes) {
  constexpr double kTick = 1.0 / 64;
  std::mt19937 rng(20261207);
  auto ticks = [&](int lo, int hi) { return lo + static_cast<int>(rng() % static_cast<unsigned>(hi - lo + 1)); };
  auto letters = [&](int n) {
    static const std::string keys = "dfhjkl;";
    std::string out;
    for (int i = 0; i < n; ++i) out += keys[rng() % keys.size()];
    return out;
  };
  for (int round = 0; round < 300; ++round) {
    // Each round starts from ABC with nothing under way.
    desk.setSwitchLatency(0);
    if (desk.currentSource() != kABC) selectSource(kABC);
    advance(2.0);
    ASSERT_TRUE(flow().state().isIdle());
    field().setText("");

    const double latency = ticks(0, 25) * kTick;     // 0-391 ms
    const double firstUp = ticks(3, 9) * kTick;      // a short press
    const double secondDown = ticks(13, 32) * kTick;  // 203-500 ms after the first
    const double secondUp = secondDown + ticks(1, 4) * kTick;
    const std::string during = letters(ticks(1, 3));  // typed while Caps Lock is down
    const std::string after = letters(ticks(0, 2));   // typed before the second tap
    desk.setSwitchLatency(latency);
    desk.keyDown(keycode::capsLock);
    desk.typeText(during, (firstUp - kTick) / during.size(), kTick / 2);
    fx.runner.postDelayed(firstUp, [&] { desk.keyUp(keycode::capsLock); });
    if (!after.empty()) desk.typeText(after, (secondDown - firstUp - 2 * kTick) / after.size(), firstUp + kTick);
    fx.runner.postDelayed(secondDown, [&] { desk.keyDown(keycode::capsLock); });
    fx.runner.postDelayed(secondUp, [&] { desk.keyUp(keycode::capsLock); });
    advance(2.0);

    EXPECT_EQ(field().text(), thai(during + after))
        << "round " << round << ": latency " << latency * 1000 << " ms, first up at " << firstUp * 1000
        << " ms, second tap " << secondDown * 1000 << "-" << secondUp * 1000 << " ms";
  }
}

}  // namespace
}  // namespace tessa::test
