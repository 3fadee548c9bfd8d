// Layouts from xkeyboard-config through libxkbcommon, and the desktop typing
// with them.
#include <gtest/gtest.h>

#include "platform/linux/xkb_layout.h"
#include "platform/sim/sim_desktop.h"
#include "platform/sim/table_key_layout.h"

namespace tessa {
namespace {

std::string type(const KeyLayout& layout, std::initializer_list<std::pair<uint16_t, uint64_t>> keys) {
  uint32_t dead = 0;
  std::string out;
  for (auto [key, mods] : keys) out += layout.translate(key, mods, dead);
  return out;
}

TEST(XkbKeyLayout, LaoKeysThroughEvdevCodes) {
  auto lao = XkbKeyLayout::create("la");
  ASSERT_TRUE(lao);
  EXPECT_EQ(lao->description(), "Lao");
  EXPECT_EQ(type(*lao, {{keycode::d, 0}}), "ກ");
  EXPECT_EQ(type(*lao, {{keycode::k, 0}, {keycode::k, flags::shift}}), "າ!");
  EXPECT_EQ(type(*lao, {{keycode::space, 0}}), " ");
  EXPECT_EQ(type(*lao, {{keycode::returnKey, 0}, {keycode::left, 0}}), "");  // keys that type nothing
  EXPECT_EQ(XkbKeyLayout::create("la"), lao);  // compiled once
  EXPECT_EQ(XkbKeyLayout::create("no-such-layout"), nullptr);
}

TEST(XkbKeyLayout, LevelsCapsLockAndDeadKeys) {
  auto us = XkbKeyLayout::create("us");
  ASSERT_TRUE(us);
  EXPECT_EQ(type(*us, {{keycode::a, flags::capsLock}, {keycode::one, flags::capsLock}}), "A1");
  // Vietnamese on a US base: grave and acute are dead keys, Option is the third level.
  auto vn = XkbKeyLayout::create("vn", "us");
  ASSERT_TRUE(vn);
  uint32_t dead = 0;
  EXPECT_EQ(vn->translate(keycode::grave, 0, dead), "");
  EXPECT_NE(dead, 0u);
  EXPECT_EQ(vn->translate(keycode::a, 0, dead), "à");
  EXPECT_EQ(dead, 0u);
  EXPECT_EQ(type(*vn, {{keycode::quote, 0}, {keycode::e, 0}}), "é");
  EXPECT_EQ(type(*vn, {{keycode::quote, 0}, {keycode::one, 0}}), "'1");  // no composition: accent, then the key
  EXPECT_EQ(type(*vn, {{keycode::d, flags::option}}), "đ");
}

TEST(TableKeyLayout, UsAndThaiTables) {
  EXPECT_EQ(type(*TableKeyLayout::us(), {{keycode::a, flags::capsLock | flags::shift}, {keycode::one, flags::capsLock}}),
            "A1");
  EXPECT_EQ(type(*TableKeyLayout::thai(), {{keycode::a, 0}, {keycode::s, 0}, {keycode::k, 0}, {keycode::quote, 0},
                                           {keycode::quote, flags::shift}}),
            "ฟหาง.");
}

TEST(SimDesktopXkb, TypingWithAnXkbSource) {
  ManualClock clock;
  ManualTaskRunner runner{clock};
  SimDesktop desk{clock, runner};
  desk.setEnabledSources({"com.apple.keylayout.ABC", "com.apple.keylayout.Lao", "xkb:vn:us"});
  auto info = desk.inputSources().infoFor("xkb:vn:us");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->languages, std::vector<std::string>{"vi"});
  desk.setCurrentSource("com.apple.keylayout.Lao");
  desk.typeText("dk");
  runner.advance(1);
  EXPECT_EQ(desk.focusedField()->text(), "ກາ");
  // Dead-key state carries from one physical key to the next.
  desk.setCurrentSource("xkb:vn:us");
  desk.typeText("`a");
  runner.advance(1);
  EXPECT_EQ(desk.focusedField()->text(), "ກາà");
}

}  // namespace
}  // namespace tessa
