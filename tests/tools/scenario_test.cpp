#include "scenario.h"

#include <gtest/gtest.h>

#include "platform/events.h"

namespace tessa::ctl {
namespace {

using json = nlohmann::json;

std::string errorOf(const std::string& text) {
  try {
    parseScenario(json::parse(text));
  } catch (const ScenarioError& e) {
    return e.what();
  }
  return "";
}

TEST(Scenario, ParsesEveryStepKindAndTheDesktop) {
  auto sc = parseScenario(json::parse(R"({
    "defaults": {"SwitcherKey": 1},
    "desktop": {"inputSources": ["com.apple.keylayout.ABC", "com.apple.keylayout.Thai"],
                "currentInputSource": "com.apple.keylayout.Thai", "switchLatencyMs": 0,
                "accessibilityTrusted": false, "frontmostApp": "com.example.App",
                "field": {"text": "abc", "secure": true, "deletionUnit": "grapheme"}},
    "steps": [{"at": 0.5, "type": "Hi!", "gapMs": 20},
              {"at": 1, "press": "ctrl+shift+x"},
              {"at": 1.5, "down": "capslock"}, {"at": 1.6, "up": "capslock"},
              {"at": 2, "event": "activate:com.apple.Safari"}, {"at": 2.5, "event": "secure:on"}],
    "until": 2})"));
  EXPECT_EQ(sc.desktop.currentInputSource, "com.apple.keylayout.Thai");
  EXPECT_DOUBLE_EQ(sc.desktop.switchLatencySeconds, 0);
  EXPECT_FALSE(sc.desktop.accessibilityTrusted);
  EXPECT_TRUE(sc.desktop.fieldSecure);
  EXPECT_EQ(sc.desktop.deletionUnit, "grapheme");
  ASSERT_EQ(sc.steps.size(), 6u);
  EXPECT_DOUBLE_EQ(sc.steps[0].gapSeconds, 0.02);
  EXPECT_EQ(sc.steps[1].chord.keyCode, keycode::x);
  EXPECT_EQ(sc.steps[1].chord.flags, flags::control | flags::shift);
  EXPECT_EQ(sc.steps[2].chord.keyCode, keycode::capsLock);
  EXPECT_EQ(sc.steps[4].argument, "com.apple.Safari");
  EXPECT_DOUBLE_EQ(sc.until, 2.5) << "the run lasts at least until the last step";
}

TEST(Scenario, ChordsByCharacterAndName) {
  EXPECT_EQ(parseChord("A").flags, flags::shift);
  EXPECT_EQ(parseChord("option+space").keyCode, keycode::space);
  EXPECT_EQ(parseChord("ctrl+option+command+p").flags, flags::control | flags::option | flags::command);
  EXPECT_EQ(parseChord("fn+f19").keyCode, keycode::f19);
  EXPECT_EQ(parseChord("grave").keyCode, keycode::grave);
  EXPECT_EQ(parseChord("`").keyCode, keycode::grave);
  EXPECT_EQ(parseChord("+").keyCode, keycode::equal);
  EXPECT_EQ(parseChord("shift++").keyCode, keycode::equal);
}

TEST(Scenario, ErrorsNameTheStepOrKey) {
  EXPECT_EQ(errorOf(R"({"steps": [{"at": 1, "type": "a"}, {"at": 2, "press": "hyper+x"}]})"),
            "step 2: unknown modifier \"hyper\" in \"hyper+x\"");
  EXPECT_EQ(errorOf(R"({"steps": [{"at": 1, "typ": "a"}]})"), "step 1: unknown key \"typ\"");
  EXPECT_EQ(errorOf(R"({"steps": [{"type": "a"}]})"), "step 1: \"at\" (seconds) is missing");
  EXPECT_EQ(errorOf(R"({"steps": [{"at": 1, "type": "a", "press": "b"}]})"),
            "step 1: a step has exactly one of \"type\", \"press\", \"down\", \"up\", \"event\", \"copy\", "
            "\"history\"");
  EXPECT_EQ(errorOf(R"({"steps": [{"at": 1, "event": "reboot"}]})"), "step 1: unknown event \"reboot\"");
  EXPECT_EQ(errorOf(R"({"steps": [{"at": -1, "type": "a"}]})"),
            "step 1: \"at\" must be a finite number of at least 0");
  EXPECT_EQ(errorOf(R"({"steps": [{"at": 1, "type": "สวัสดี"}]})"),
            "step 1: \"ส\" cannot be typed on a US keyboard");
  EXPECT_EQ(errorOf(R"({"desktop": {"colour": "red"}})"), "desktop: unknown key \"colour\"");
  EXPECT_EQ(errorOf(R"({"desktop": {"currentInputSource": "com.apple.keylayout.Lao"}})"),
            "desktop.currentInputSource \"com.apple.keylayout.Lao\" is not in inputSources");
  EXPECT_EQ(errorOf(R"({"extra": 1})"), "scenario: unknown key \"extra\"");
  EXPECT_EQ(errorOf(R"([1])"), "a scenario is a JSON object");
}

TEST(Scenario, ARunCoversAtMostTwoDays) {
  EXPECT_DOUBLE_EQ(parseScenario(json::parse(R"({"steps": [{"at": 172800, "press": "a"}], "until": 172800})")).until,
                   172800);
  EXPECT_EQ(errorOf(R"({"steps": [{"at": 1, "type": "a"}, {"at": 172800.5, "press": "a"}]})"),
            "step 2: \"at\" must be at most 172800 seconds (two simulated days)");
  EXPECT_EQ(errorOf(R"({"until": 1e9})"), "\"until\" must be at most 172800 seconds (two simulated days)");
  // A typing step may start in time and still run on for days.
  EXPECT_EQ(errorOf(R"({"steps": [{"at": 172799, "type": "abc", "gapMs": 1000}]})"),
            "step 1: the typing would end past 172800 seconds (two simulated days)");
  EXPECT_EQ(errorOf(R"({"steps": [{"at": 0, "type": "a", "gapMs": 1e300}]})"),
            "step 1: the typing would end past 172800 seconds (two simulated days)");
}

TEST(Scenario, CopiesAndHistoryActions) {
  auto sc = parseScenario(json::parse(R"({"steps": [
    {"at": 1, "copy": {"text": "hi", "from": "com.apple.Safari", "markers": ["passwordManager", "concealed"]}},
    {"at": 2, "copy": {"image": {"width": 64, "height": 32, "text": "ภาษาไทย"}}},
    {"at": 3, "copy": {"files": ["/tmp/a.txt", "/tmp/b c.pdf"]}},
    {"at": 4, "copy": {"color": "1 0.5 0 1"}},
    {"at": 5, "history": "pin:2"}, {"at": 6, "history": "clear"}]})"));
  ASSERT_EQ(sc.steps.size(), 6u);
  EXPECT_EQ(sc.steps[0].kind, Step::Kind::copy);
  EXPECT_EQ(sc.steps[0].copy.from, "com.apple.Safari");
  EXPECT_EQ(sc.steps[0].copy.markers, (std::vector<std::string>{"passwordManager", "concealed"}));
  EXPECT_EQ(sc.steps[1].copy.kind, CopiedContents::Kind::image);
  EXPECT_EQ(sc.steps[1].copy.width, 64u);
  EXPECT_EQ(sc.steps[1].copy.recognizedText, "ภาษาไทย");
  EXPECT_EQ(sc.steps[2].copy.files.size(), 2u);
  EXPECT_EQ(sc.steps[3].copy.kind, CopiedContents::Kind::color);
  EXPECT_EQ(sc.steps[4].kind, Step::Kind::history);
  EXPECT_EQ(sc.steps[4].action, "pin");
  EXPECT_EQ(sc.steps[4].entry, 2u);
  EXPECT_EQ(sc.steps[5].action, "clear");

  auto copyError = [](const std::string& copy) { return errorOf(R"({"steps": [{"at": 1, "copy": )" + copy + "}]}"); };
  EXPECT_EQ(copyError(R"({"text": "a", "color": "1 0 0"})"),
            "step 1: a copy has exactly one of \"text\", \"image\", \"files\", \"color\"");
  EXPECT_EQ(copyError(R"({"markers": ["concealed"]})"),
            "step 1: a copy has exactly one of \"text\", \"image\", \"files\", \"color\"");
  EXPECT_EQ(copyError(R"({"text": "a", "markers": ["secret"]})"), "step 1: copy.markers: unknown marker \"secret\"");
  EXPECT_EQ(copyError(R"({"image": {"width": 0, "height": 10}})"),
            "step 1: copy.image.width must be a whole number from 1 to 4096");
  EXPECT_EQ(copyError(R"({"image": {"width": 10.5, "height": 10}})"),
            "step 1: copy.image.width must be a whole number from 1 to 4096");
  EXPECT_EQ(copyError(R"({"image": {"width": 10}})"), "step 1: copy.image.height is missing");
  EXPECT_EQ(copyError(R"({"files": ["relative.txt"]})"), "step 1: copy.files must hold absolute paths");
  EXPECT_EQ(copyError(R"({"text": "a", "from": ""})"), "step 1: copy.from must be a bundle identifier");
  EXPECT_EQ(copyError(R"({"txt": "a"})"), "step 1: copy: unknown key \"txt\"");
  for (const char* bad : {"pin", "pin:", "pin:0", "pin:x", "pin:9999", "paste:1", "open"})
    EXPECT_NE(errorOf(std::string(R"({"steps": [{"at": 1, "history": ")") + bad + "\"}]}").find("step 1: "),
              std::string::npos)
        << bad;
}

TEST(Scenario, ControlCharactersInMessagesAreEscaped) {
  // A NUL would end the message where it is printed; quotes and backslashes
  // would make it ambiguous.
  std::string nul = errorOf("{\"steps\": [{\"at\": 1, \"type\": \"ab\\u0000c\"}]}");
  EXPECT_EQ(nul, "step 1: \"\\u0000\" cannot be typed on a US keyboard");
  EXPECT_EQ(nul.find('\0'), std::string::npos);
  EXPECT_EQ(errorOf(R"({"steps": [{"at": 1, "press": "ctrl+\u0001"}]})"),
            "step 1: unknown key \"\\u0001\" in \"ctrl+\\u0001\"");
  EXPECT_EQ(errorOf(R"({"steps": [{"at": 1, "event": "say \"hi\"\\\n"}]})"),
            R"(step 1: unknown event "say \"hi\"\\\u000a")");
  EXPECT_EQ(errorOf(R"({"desktop": {"a\u0000b": 1}})"), R"(desktop: unknown key "a\u0000b")");
}

}  // namespace
}  // namespace tessa::ctl
