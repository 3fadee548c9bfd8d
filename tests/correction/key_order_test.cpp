// The whole road from the keyboard to the field: keys typed while the
// switcher key is down, while the switch completes, while held keys are being
// replayed and while a conversion retypes a word all land in the order they
// were typed, each in the layout it was meant for.
#include <gtest/gtest.h>

#include "correction/flow_fixture.h"

namespace tessa::test {
namespace {

class KeyOrderTest : public FlowTest {
 protected:
  KeyOrderTest() {
    engine->createEventTap();
    engine->applyModeSettings();  // Caps Lock becomes F19, hot key 61 Fn+F19
    run();
  }
  std::string thai(const std::string& usKeys) {
    std::string out;
    for (char c : usKeys) out += engine->englishToThaiMap().at(std::string(1, c));
    return out;
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
  EXPECT_EQ(engine->statsKeystrokesDropped.get(), 0);
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
  EXPECT_GE(engine->statsLayoutSwitchTimeout.get(), 1);
  EXPECT_FALSE(engine->switcher.isTogglingF19);
}

}  // namespace
}  // namespace tessa::test
