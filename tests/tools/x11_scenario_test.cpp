#include "x11_scenario.h"

#include <gtest/gtest.h>

#include "platform/events.h"

namespace tessa::ctl {
namespace {

using json = nlohmann::json;

Scenario scenario(const std::string& text) { return parseScenario(json::parse(text)); }

TEST(X11Scenario, SourcesBecomeXkbLayoutsAndUnknownOrTwiceTheSameAreRefused) {
  EXPECT_EQ(xkbLayoutForSource("com.apple.keylayout.ABC")->layout, "us");
  EXPECT_EQ(xkbLayoutForSource("com.apple.keylayout.Thai")->layout, "th");
  EXPECT_EQ(xkbLayoutForSource("com.apple.keylayout.Lao")->layout, "la");
  auto dvorak = xkbLayoutForSource("xkb:us:dvorak");
  ASSERT_TRUE(dvorak);
  EXPECT_EQ(dvorak->layout, "us");
  EXPECT_EQ(dvorak->variant, "dvorak");
  EXPECT_FALSE(xkbLayoutForSource("com.apple.keylayout.Klingon"));
  EXPECT_FALSE(xkbLayoutForSource("xkb:"));
  EXPECT_FALSE(xkbLayoutForSource("xkb::x"));

  EXPECT_EQ(x11Refusal(scenario(R"({"desktop": {"inputSources": ["com.apple.keylayout.ABC", "xkb:th"]}})")), "");
  EXPECT_NE(x11Refusal(scenario(R"({"desktop": {"inputSources": ["com.apple.keylayout.Klingon"],
                                                "currentInputSource": "com.apple.keylayout.Klingon"}})"))
                .find("\"com.apple.keylayout.Klingon\" has no XKB layout"),
            std::string::npos);
  // ABC and US are both the server's "us": one group cannot be two sources.
  EXPECT_NE(x11Refusal(scenario(R"({"desktop": {"inputSources": ["com.apple.keylayout.ABC", "com.apple.keylayout.US"]}})"))
                .find("same XKB layout"),
            std::string::npos);
}

TEST(X11Scenario, StepsWithoutAnX11CounterpartAreRefusedByStep) {
  EXPECT_NE(x11Refusal(scenario(R"({"steps": [{"at": 1, "type": "a"}, {"at": 2, "event": "activate:com.x.Y"}]})"))
                .find("step 2: \"activate\" cannot run on X11"),
            std::string::npos);
  for (const char* ev : {"sleep", "wake", "lock", "unlock", "secure:on", "secure:off"}) {
    auto sc = scenario(std::string(R"({"steps": [{"at": 1, "event": ")") + ev + "\"}]}");
    EXPECT_NE(x11Refusal(sc).find("step 1"), std::string::npos) << ev;
    EXPECT_THROW(x11Timeline(sc), ScenarioError) << ev;
  }
  EXPECT_NE(x11Refusal(scenario(R"({"steps": [{"at": 1, "press": "fn+f19"}]})")).find("no Fn key"), std::string::npos);
  EXPECT_NE(x11Refusal(scenario(R"({"desktop": {"accessibilityTrusted": false}})")).find("trust"), std::string::npos);
  // What the server can do is not refused.
  EXPECT_EQ(x11Refusal(scenario(R"({"steps": [{"at": 1, "event": "click"}, {"at": 1.5, "event": "fieldText:x"},
                                              {"at": 2, "event": "quit"}]})")),
            "");
}

TEST(X11Scenario, TheTimelineTypesEachKeyWithItsShiftAndChordsNestTheirModifiers) {
  auto actions = x11Timeline(scenario(R"({"steps": [
      {"at": 1, "type": "aB", "gapMs": 40},
      {"at": 0.5, "press": "ctrl+shift+x"},
      {"at": 2, "down": "capslock"}, {"at": 2.1, "up": "capslock"},
      {"at": 3, "event": "fieldText:hello"}]})"));
  using K = XAction::Kind;
  struct Want {
    K kind;
    double at;
    uint16_t key;
  };
  const std::vector<Want> want = {
      // The chord comes first: it is due first, though listed later.
      {K::keyDown, 0.5, keycode::control}, {K::keyDown, 0.5, keycode::shift}, {K::keyDown, 0.5, keycode::x},
      {K::keyUp, 0.5, keycode::x},         {K::keyUp, 0.5, keycode::shift},   {K::keyUp, 0.5, keycode::control},
      // Each typed key goes up half a gap after it went down.
      {K::keyDown, 1.0, keycode::a},       {K::keyUp, 1.02, keycode::a},
      {K::keyDown, 1.04, keycode::shift},  {K::keyDown, 1.04, keycode::b},    {K::keyUp, 1.06, keycode::b},
      {K::keyUp, 1.06, keycode::shift},
      {K::keyDown, 2.0, keycode::capsLock}, {K::keyUp, 2.1, keycode::capsLock},
      {K::fieldText, 3.0, 0}};
  ASSERT_EQ(actions.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(actions[i].kind, want[i].kind) << i;
    EXPECT_NEAR(actions[i].at, want[i].at, 1e-9) << i;
    EXPECT_EQ(actions[i].keyCode, want[i].key) << i;
  }
  EXPECT_EQ(actions.back().text, "hello");
}

}  // namespace
}  // namespace tessa::ctl
