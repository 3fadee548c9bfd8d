#include "x11_scenario.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "platform/events.h"
#include "platform/keyboard_tables.h"

namespace tessa::ctl {

namespace {

// The other platform's layouts a scenario may name, by what follows
// "com.apple.keylayout.".
const std::map<std::string, XkbLayoutName>& knownLayouts() {
  static const std::map<std::string, XkbLayoutName> m{{"ABC", {"us", ""}},
                                                      {"US", {"us", ""}},
                                                      {"Thai", {"th", ""}},
                                                      {"Thai-PattaChote", {"th", "pat"}},
                                                      {"Lao", {"la", ""}}};
  return m;
}

// Events the server has no counterpart for, and why.
const std::map<std::string, std::string>& refusedEvents() {
  static const std::map<std::string, std::string> m{
      {"sleep", "system sleep comes from logind, which a private X server does not have"},
      {"wake", "system sleep comes from logind, which a private X server does not have"},
      {"lock", "the screen lock belongs to the desktop session, which a private X server does not run"},
      {"unlock", "the screen lock belongs to the desktop session, which a private X server does not run"},
      {"activate", "switching applications needs a second application, and the X11 runs start only the test field"},
      {"secure:on", "secure keyboard entry has no X11 counterpart"},
      {"secure:off", "secure keyboard entry has no X11 counterpart"},
      {"pasteboard", "it writes the simulated pasteboard; on an X server the clipboard has tests of its own"},
      {"quickPasteOpen", "the quick-paste panel is driven on the simulated desktop; on an X server the clipboard has "
                         "tests of its own"},
      {"quickPasteChoose", "the quick-paste panel is driven on the simulated desktop"},
      {"quickPasteKey", "the quick-paste panel is driven on the simulated desktop"},
      {"quickPasteSearch", "the quick-paste panel is driven on the simulated desktop"}};
  return m;
}

std::string stepName(const Step& s) { return "step " + std::to_string(s.index + 1); }

std::vector<uint16_t> modifierKeys(uint64_t modifierFlags) {
  std::vector<uint16_t> keys;
  for (auto [flag, key] : {std::pair{flags::control, keycode::control}, std::pair{flags::option, keycode::option},
                           std::pair{flags::shift, keycode::shift}, std::pair{flags::command, keycode::command}})
    if (modifierFlags & flag) keys.push_back(key);
  return keys;
}

}  // namespace

std::optional<XkbLayoutName> xkbLayoutForSource(const std::string& id) {
  if (id.rfind("xkb:", 0) == 0 && id.size() > 4) {
    std::string rest = id.substr(4);
    auto colon = rest.find(':');
    if (colon == std::string::npos) return XkbLayoutName{rest, ""};
    if (colon == 0) return std::nullopt;
    return XkbLayoutName{rest.substr(0, colon), rest.substr(colon + 1)};
  }
  static const std::string kPrefix = "com.apple.keylayout.";
  if (id.rfind(kPrefix, 0) != 0) return std::nullopt;
  auto it = knownLayouts().find(id.substr(kPrefix.size()));
  if (it == knownLayouts().end()) return std::nullopt;
  return it->second;
}

std::string x11Refusal(const Scenario& sc) {
  std::set<std::pair<std::string, std::string>> seen;
  for (const auto& id : sc.desktop.inputSources) {
    auto layout = xkbLayoutForSource(id);
    if (!layout) return "desktop.inputSources: \"" + id + "\" has no XKB layout on an X server";
    // Two sources of one layout would be one group twice: the run could not
    // tell them apart.
    if (!seen.insert({layout->layout, layout->variant}).second)
      return "desktop.inputSources: \"" + id + "\" is the same XKB layout as an earlier source";
  }
  if (sc.desktop.inputSources.size() > 4) return "desktop.inputSources: an X keyboard has at most 4 groups";
  if (!sc.desktop.accessibilityTrusted)
    return "desktop.accessibilityTrusted: AT-SPI has no trust switch, so it cannot be false on an X server";
  for (const auto& step : sc.steps) {
    if (step.kind == Step::Kind::copy || step.kind == Step::Kind::history)
      return stepName(step) +
             ": the clipboard steps act on the simulated pasteboard; on an X server the clipboard has tests of "
             "its own";
    if (step.kind == Step::Kind::event) {
      if (auto it = refusedEvents().find(step.text); it != refusedEvents().end())
        return stepName(step) + ": \"" + step.text + "\" cannot run on X11: " + it->second;
    } else if (step.kind != Step::Kind::type && (step.chord.flags & flags::fn)) {
      return stepName(step) + ": \"" + step.text + "\" cannot run on X11: an X keyboard has no Fn key";
    }
  }
  return {};
}

std::vector<std::string> x11Approximations(const Scenario& sc) {
  std::vector<std::string> out;
  const DesktopConfig defaults;
  if (std::abs(sc.desktop.switchLatencySeconds - defaults.switchLatencySeconds) > 1e-9)
    out.push_back("desktop.switchLatencyMs: the server switches groups in its own time");
  if (sc.desktop.deletionUnit != defaults.deletionUnit)
    out.push_back("desktop.field.deletionUnit: the test field deletes as its toolkit does");
  return out;
}

std::vector<XAction> x11Timeline(const Scenario& sc) {
  if (auto why = x11Refusal(sc); !why.empty()) throw ScenarioError(why);
  std::vector<XAction> actions;
  auto key = [&](XAction::Kind kind, double at, uint16_t code, size_t step) {
    XAction a;
    a.kind = kind;
    a.at = at;
    a.keyCode = code;
    a.step = step;
    actions.push_back(a);
  };
  for (const auto& step : sc.steps) {
    const size_t i = step.index;
    switch (step.kind) {
      case Step::Kind::type: {
        double t = step.at;
        size_t p = 0;
        while (p < step.text.size()) {
          size_t len = 1;
          while (p + len < step.text.size() && (static_cast<unsigned char>(step.text[p + len]) & 0xc0) == 0x80) ++len;
          std::string ch = step.text.substr(p, len);
          p += len;
          std::optional<std::pair<uint16_t, bool>> k;
          if (ch == "\n") k = std::pair{keycode::returnKey, false};
          else if (ch == "\t") k = std::pair{keycode::tab, false};
          else k = usKeyForCharacter(ch);
          if (!k) throw ScenarioError(stepName(step) + ": no US key types \"" + ch + "\"");
          const double up = t + step.gapSeconds / 2;
          if (k->second) key(XAction::Kind::keyDown, t, keycode::shift, i);
          key(XAction::Kind::keyDown, t, k->first, i);
          key(XAction::Kind::keyUp, up, k->first, i);
          if (k->second) key(XAction::Kind::keyUp, up, keycode::shift, i);
          t += step.gapSeconds;
        }
        break;
      }
      case Step::Kind::press: {
        auto mods = modifierKeys(step.chord.flags);
        for (uint16_t m : mods) key(XAction::Kind::keyDown, step.at, m, i);
        key(XAction::Kind::keyDown, step.at, step.chord.keyCode, i);
        key(XAction::Kind::keyUp, step.at, step.chord.keyCode, i);
        for (auto it = mods.rbegin(); it != mods.rend(); ++it) key(XAction::Kind::keyUp, step.at, *it, i);
        break;
      }
      case Step::Kind::down:
        for (uint16_t m : modifierKeys(step.chord.flags)) key(XAction::Kind::keyDown, step.at, m, i);
        key(XAction::Kind::keyDown, step.at, step.chord.keyCode, i);
        break;
      case Step::Kind::up: {
        key(XAction::Kind::keyUp, step.at, step.chord.keyCode, i);
        auto mods = modifierKeys(step.chord.flags);
        for (auto it = mods.rbegin(); it != mods.rend(); ++it) key(XAction::Kind::keyUp, step.at, *it, i);
        break;
      }
      case Step::Kind::event: {
        XAction a;
        a.at = step.at;
        a.step = i;
        if (step.text == "fieldText") {
          a.kind = XAction::Kind::fieldText;
          a.text = step.argument;
        } else if (step.text == "click") {
          a.kind = XAction::Kind::click;
        } else if (step.text == "quit") {
          a.kind = XAction::Kind::quit;
        } else {
          throw ScenarioError(stepName(step) + ": \"" + step.text + "\" cannot run on X11");
        }
        actions.push_back(a);
        break;
      }
      case Step::Kind::copy:
      case Step::Kind::history:
        throw ScenarioError(stepName(step) + ": cannot run on X11");
    }
  }
  std::stable_sort(actions.begin(), actions.end(), [](const XAction& a, const XAction& b) { return a.at < b.at; });
  return actions;
}

}  // namespace tessa::ctl
