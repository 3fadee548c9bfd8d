#pragma once
// A scenario on a real X server: what of it the server can play, the XKB
// layouts that stand for its input sources, and its steps as the timed key
// presses and releases XTest makes. Nothing here talks to a server.
#include <optional>
#include <string>
#include <vector>

#include "scenario.h"

namespace tessa::ctl {

struct XkbLayoutName {
  std::string layout, variant;
};

// The XKB layout an input source stands for: "xkb:th" names it; the other
// platform's English, Thai and Lao layouts are "us", "th" and "la". None for
// a source the server has no layout for.
std::optional<XkbLayoutName> xkbLayoutForSource(const std::string& id);

// Why the scenario cannot run on an X server: the first input source, setting
// or step with no X11 counterpart, named as its error messages name it. Empty
// when the whole scenario can run.
std::string x11Refusal(const Scenario& scenario);

// Settings of the simulated desktop the server cannot reproduce but which do
// not stop a run (the switch latency, the field's deletion unit), one line
// each, for a note on standard error.
std::vector<std::string> x11Approximations(const Scenario& scenario);

// One moment of a scenario on the server, at `at` seconds from its start.
struct XAction {
  enum class Kind { keyDown, keyUp, fieldText, click, quit };
  Kind kind = Kind::keyDown;
  double at = 0;
  uint16_t keyCode = 0;  // keyDown, keyUp
  std::string text;      // fieldText
  size_t step = 0;       // the step it comes from
};

// Every step as actions in time order (ties keep the steps' order): typed
// text presses each key at its time and releases it half a gap later, with
// Shift around a shifted key; a chord presses its modifiers, the key, and
// releases them in reverse; `down` and `up` hold and release the modifiers
// with the key. Throws ScenarioError for a step x11Refusal() would refuse.
std::vector<XAction> x11Timeline(const Scenario& scenario);

}  // namespace tessa::ctl
