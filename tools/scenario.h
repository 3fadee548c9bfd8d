#pragma once
// A scenario for `tessavinorctl simulate`: the starting defaults and desktop,
// and timed steps of typing, key presses and desktop events.
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tessa::ctl {

struct ScenarioError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct KeyChord {
  uint16_t keyCode = 0;
  uint64_t flags = 0;  // the modifiers held
  bool shifted = false;
};

struct Step {
  enum class Kind { type, press, down, up, event };
  Kind kind = Kind::type;
  double at = 0;
  std::string text;      // type: the text as typed on a US keyboard; event: the event name
  double gapSeconds = 0.03;
  KeyChord chord;        // press, down, up
  std::string argument;  // event: the bundle identifier of "activate:", the text of "fieldText:"
  size_t index = 0;      // position in the scenario, for messages
};

struct DesktopConfig {
  std::vector<std::string> inputSources{"com.apple.keylayout.ABC", "com.apple.keylayout.Thai"};
  std::string currentInputSource = "com.apple.keylayout.ABC";
  double switchLatencySeconds = 0.04;
  bool accessibilityTrusted = true;
  bool nextSourceHotKeyWorks = true;
  std::string frontmostApp = "com.apple.TextEdit";
  std::string fieldText;
  bool fieldSecure = false;
  std::string deletionUnit = "codePoint";  // or "grapheme"
  double wallTime = 1'767'603'600.0;       // 2026-01-05 09:00:00 UTC, a Monday
};

struct Scenario {
  nlohmann::json defaults = nlohmann::json::object();
  DesktopConfig desktop;
  std::vector<Step> steps;
  double until = 1.0;
};

// Parses and checks a whole scenario; throws ScenarioError naming the step
// or key at fault.
Scenario parseScenario(const nlohmann::json& doc);
// "ctrl+shift+x", "capslock", "a", "A" → key code and modifier flags.
KeyChord parseChord(const std::string& text);

}  // namespace tessa::ctl
