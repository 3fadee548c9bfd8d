#include "scenario.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "platform/events.h"
#include "platform/keyboard_tables.h"

namespace tessa::ctl {

namespace {

using json = nlohmann::json;

const std::map<std::string, uint64_t>& modifierNames() {
  static const std::map<std::string, uint64_t> m{{"ctrl", flags::control},   {"control", flags::control},
                                                 {"shift", flags::shift},    {"option", flags::option},
                                                 {"alt", flags::option},     {"command", flags::command},
                                                 {"cmd", flags::command},    {"fn", flags::fn}};
  return m;
}

const std::map<std::string, uint16_t>& keyNames() {
  static const std::map<std::string, uint16_t> m{
      {"capslock", keycode::capsLock}, {"grave", keycode::grave},   {"space", keycode::space},
      {"return", keycode::returnKey},  {"enter", keycode::keypadEnter}, {"tab", keycode::tab},
      {"escape", keycode::escape},     {"delete", keycode::deleteKey}, {"left", keycode::left},
      {"right", keycode::right},       {"up", keycode::up},         {"down", keycode::down},
      {"f19", keycode::f19},           {"home", keycode::home},     {"end", keycode::end},
      {"pageup", keycode::pageUp},     {"pagedown", keycode::pageDown}};
  return m;
}

// A run simulates at most two days (enough to pass the clipboard history's
// one-day expiry): anything later is a mistake in the scenario (a value in
// milliseconds where seconds were meant) and would only spin the clock for
// nothing.
constexpr double kMaxSeconds = 172'800;

std::string where(const Step& s) { return "step " + std::to_string(s.index + 1); }

// `text` in double quotes, with quotes, backslashes and control characters
// (a NUL above all) escaped, so that a message shows all of it on one line.
std::string inQuotes(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      static const char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[c >> 4];
      out += kHex[c & 0xf];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

double number(const json& v, const std::string& what) {
  if (!v.is_number()) throw ScenarioError(what + " must be a number");
  double d = v.get<double>();
  if (!std::isfinite(d) || d < 0) throw ScenarioError(what + " must be a finite number of at least 0");
  return d;
}

double seconds(const json& v, const std::string& what) {
  double d = number(v, what);
  if (d > kMaxSeconds) throw ScenarioError(what + " must be at most 172800 seconds (two simulated days)");
  return d;
}

void onlyKeys(const json& obj, const std::set<std::string>& allowed, const std::string& what) {
  for (auto it = obj.begin(); it != obj.end(); ++it)
    if (!allowed.count(it.key())) throw ScenarioError(what + ": unknown key " + inQuotes(it.key()));
}

// A simulated image is drawn in memory whole: a side is kept to what a
// screenshot has.
constexpr double kMaxImageSide = 4096;

void parseCopy(const json& c, Step& step) {
  if (!c.is_object()) throw ScenarioError("\"copy\" must be an object");
  onlyKeys(c, {"text", "image", "files", "color", "markers", "from"}, "copy");
  auto& copied = step.copy;
  int kinds = 0;
  if (c.contains("text")) {
    ++kinds;
    if (!c["text"].is_string()) throw ScenarioError("copy.text must be a string");
    copied.kind = CopiedContents::Kind::text;
    copied.text = c["text"].get<std::string>();
  }
  if (c.contains("image")) {
    ++kinds;
    const auto& i = c["image"];
    if (!i.is_object()) throw ScenarioError("copy.image must be an object");
    onlyKeys(i, {"width", "height", "text"}, "copy.image");
    copied.kind = CopiedContents::Kind::image;
    for (auto [key, target] : {std::pair{"width", &copied.width}, std::pair{"height", &copied.height}}) {
      if (!i.contains(key)) throw ScenarioError(std::string("copy.image.") + key + " is missing");
      double d = number(i[key], std::string("copy.image.") + key);
      if (d < 1 || d > kMaxImageSide || d != std::floor(d))
        throw ScenarioError(std::string("copy.image.") + key + " must be a whole number from 1 to 4096");
      *target = static_cast<uint32_t>(d);
    }
    if (i.contains("text")) {
      if (!i["text"].is_string()) throw ScenarioError("copy.image.text must be a string");
      copied.recognizedText = i["text"].get<std::string>();
    }
  }
  if (c.contains("files")) {
    ++kinds;
    copied.kind = CopiedContents::Kind::files;
    if (!c["files"].is_array() || c["files"].empty()) throw ScenarioError("copy.files must be a non-empty array of paths");
    for (const auto& f : c["files"]) {
      if (!f.is_string() || f.get<std::string>().rfind('/', 0) != 0)
        throw ScenarioError("copy.files must hold absolute paths");
      copied.files.push_back(f.get<std::string>());
    }
  }
  if (c.contains("color")) {
    ++kinds;
    if (!c["color"].is_string()) throw ScenarioError("copy.color must be a string \"r g b a\"");
    copied.kind = CopiedContents::Kind::color;
    copied.text = c["color"].get<std::string>();
  }
  if (kinds != 1) throw ScenarioError("a copy has exactly one of \"text\", \"image\", \"files\", \"color\"");
  if (c.contains("markers")) {
    static const std::set<std::string> known{"concealed", "transient", "autoGenerated", "passwordManager"};
    if (!c["markers"].is_array()) throw ScenarioError("copy.markers must be an array");
    for (const auto& m : c["markers"]) {
      if (!m.is_string() || !known.count(m.get<std::string>()))
        throw ScenarioError("copy.markers: unknown marker " + inQuotes(m.is_string() ? m.get<std::string>() : m.dump()));
      copied.markers.push_back(m.get<std::string>());
    }
  }
  if (c.contains("from")) {
    if (!c["from"].is_string() || c["from"].get<std::string>().empty())
      throw ScenarioError("copy.from must be a bundle identifier");
    copied.from = c["from"].get<std::string>();
  }
}

void parseHistory(const json& h, Step& step) {
  if (!h.is_string()) throw ScenarioError("\"history\" must be a string");
  std::string action = h.get<std::string>();
  if (action == "clear" || action == "toggle") {
    step.action = action;
    return;
  }
  size_t colon = action.find(':');
  std::string verb = action.substr(0, colon);
  if (colon == std::string::npos || (verb != "copy" && verb != "pin" && verb != "delete"))
    throw ScenarioError("unknown history action " + inQuotes(action) +
                        " (clear, toggle, copy:N, pin:N or delete:N)");
  std::string number = action.substr(colon + 1);
  if (number.empty() || number.size() > 3 || number.find_first_not_of("0123456789") != std::string::npos ||
      std::stoul(number) == 0)
    throw ScenarioError("history " + inQuotes(action) + ": N is an entry's place, from 1");
  step.action = verb;
  step.entry = std::stoul(number);
}

}  // namespace

KeyChord parseChord(const std::string& text) {
  if (text.empty()) throw ScenarioError("empty key");
  KeyChord chord;
  std::vector<std::string> parts;
  size_t start = 0;
  // A lone "+" is the plus key, not a separator.
  if (text == "+") {
    parts.push_back("+");
  } else {
    while (start <= text.size()) {
      size_t plus = text.find('+', start);
      if (plus == start && plus + 1 == text.size()) {  // "...++" ends in the plus key
        parts.push_back("+");
        break;
      }
      if (plus == std::string::npos) {
        parts.push_back(text.substr(start));
        break;
      }
      parts.push_back(text.substr(start, plus - start));
      start = plus + 1;
    }
  }
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    std::string m = parts[i];
    std::transform(m.begin(), m.end(), m.begin(), ::tolower);
    auto it = modifierNames().find(m);
    if (it == modifierNames().end()) throw ScenarioError("unknown modifier " + inQuotes(parts[i]) + " in " + inQuotes(text));
    chord.flags |= it->second;
  }
  std::string key = parts.back();
  std::string lower = key;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  if (auto it = keyNames().find(lower); it != keyNames().end() && key.size() > 1) {
    chord.keyCode = it->second;
    return chord;
  }
  auto k = usKeyForCharacter(key);
  if (!k) throw ScenarioError("unknown key " + inQuotes(key) + " in " + inQuotes(text));
  chord.keyCode = k->first;
  if (k->second) {
    chord.shifted = true;
    chord.flags |= flags::shift;
  }
  return chord;
}

// The quick-paste events: "pasteboard:TEXT" (another application copies
// TEXT), "quickPaste:open", "quickPaste:choose:N" (the Nth visible row, from
// 1), "quickPaste:search:TEXT" (typed into the search, then Return) and
// "quickPaste:key:CHORD" (a key pressed in the open panel; ctrl stands for
// command and option for alt there, as on the Linux keyboard).
static std::optional<std::pair<std::string, std::string>> quickPasteEvent(const std::string& ev) {
  auto after = [&](const std::string& prefix) -> std::optional<std::string> {
    if (ev.rfind(prefix, 0) != 0) return std::nullopt;
    return ev.substr(prefix.size());
  };
  if (auto text = after("pasteboard:")) return std::pair{std::string("pasteboard"), *text};
  if (ev == "quickPaste:open") return std::pair{std::string("quickPasteOpen"), std::string()};
  if (auto query = after("quickPaste:search:")) return std::pair{std::string("quickPasteSearch"), *query};
  if (auto chord = after("quickPaste:key:")) {
    parseChord(*chord);  // refuses an unknown key here, not during the run
    return std::pair{std::string("quickPasteKey"), *chord};
  }
  if (auto n = after("quickPaste:choose:")) {
    bool digits = !n->empty() && n->size() <= 3 &&
                  std::all_of(n->begin(), n->end(), [](char c) { return c >= '0' && c <= '9'; });
    if (!digits || std::stoi(*n) < 1)
      throw ScenarioError("\"quickPaste:choose:\" takes a row number from 1");
    return std::pair{std::string("quickPasteChoose"), *n};
  }
  return std::nullopt;
}

Scenario parseScenario(const json& doc) {
  if (!doc.is_object()) throw ScenarioError("a scenario is a JSON object");
  onlyKeys(doc, {"defaults", "desktop", "steps", "until"}, "scenario");
  Scenario sc;
  if (doc.contains("defaults")) {
    if (!doc["defaults"].is_object()) throw ScenarioError("\"defaults\" must be an object");
    sc.defaults = doc["defaults"];
  }
  if (doc.contains("desktop")) {
    const auto& d = doc["desktop"];
    if (!d.is_object()) throw ScenarioError("\"desktop\" must be an object");
    onlyKeys(d,
             {"inputSources", "currentInputSource", "switchLatencyMs", "accessibilityTrusted", "frontmostApp",
              "field", "nextSourceHotKeyWorks", "wallTime"},
             "desktop");
    auto& c = sc.desktop;
    if (d.contains("inputSources")) {
      if (!d["inputSources"].is_array() || d["inputSources"].empty())
        throw ScenarioError("desktop.inputSources must be a non-empty array of identifiers");
      c.inputSources.clear();
      for (const auto& s : d["inputSources"]) {
        if (!s.is_string()) throw ScenarioError("desktop.inputSources must hold strings");
        c.inputSources.push_back(s.get<std::string>());
      }
    }
    if (d.contains("currentInputSource")) {
      if (!d["currentInputSource"].is_string()) throw ScenarioError("desktop.currentInputSource must be a string");
      c.currentInputSource = d["currentInputSource"].get<std::string>();
    }
    if (std::find(c.inputSources.begin(), c.inputSources.end(), c.currentInputSource) == c.inputSources.end())
      throw ScenarioError("desktop.currentInputSource " + inQuotes(c.currentInputSource) + " is not in inputSources");
    if (d.contains("switchLatencyMs")) c.switchLatencySeconds = number(d["switchLatencyMs"], "desktop.switchLatencyMs") / 1000.0;
    if (d.contains("wallTime")) c.wallTime = number(d["wallTime"], "desktop.wallTime");
    for (auto [key, target] : {std::pair{"accessibilityTrusted", &c.accessibilityTrusted},
                               std::pair{"nextSourceHotKeyWorks", &c.nextSourceHotKeyWorks}}) {
      if (!d.contains(key)) continue;
      if (!d[key].is_boolean()) throw ScenarioError(std::string("desktop.") + key + " must be true or false");
      *target = d[key].get<bool>();
    }
    if (d.contains("frontmostApp")) {
      if (!d["frontmostApp"].is_string() || d["frontmostApp"].get<std::string>().empty())
        throw ScenarioError("desktop.frontmostApp must be a bundle identifier");
      c.frontmostApp = d["frontmostApp"].get<std::string>();
    }
    if (d.contains("field")) {
      const auto& f = d["field"];
      if (!f.is_object()) throw ScenarioError("desktop.field must be an object");
      onlyKeys(f, {"text", "secure", "deletionUnit"}, "desktop.field");
      if (f.contains("text")) {
        if (!f["text"].is_string()) throw ScenarioError("desktop.field.text must be a string");
        c.fieldText = f["text"].get<std::string>();
      }
      if (f.contains("secure")) {
        if (!f["secure"].is_boolean()) throw ScenarioError("desktop.field.secure must be true or false");
        c.fieldSecure = f["secure"].get<bool>();
      }
      if (f.contains("deletionUnit")) {
        if (!f["deletionUnit"].is_string() ||
            (f["deletionUnit"] != "codePoint" && f["deletionUnit"] != "grapheme" &&
             f["deletionUnit"] != "markWithBase"))
          throw ScenarioError(
              "desktop.field.deletionUnit must be \"codePoint\", \"grapheme\" or \"markWithBase\"");
        c.deletionUnit = f["deletionUnit"].get<std::string>();
      }
    }
  }
  if (doc.contains("steps")) {
    if (!doc["steps"].is_array()) throw ScenarioError("\"steps\" must be an array");
    size_t i = 0;
    for (const auto& s : doc["steps"]) {
      Step step;
      step.index = i++;
      if (!s.is_object()) throw ScenarioError(where(step) + ": a step is an object");
      onlyKeys(s, {"at", "type", "gapMs", "press", "down", "up", "event", "copy", "history"}, where(step));
      if (!s.contains("at")) throw ScenarioError(where(step) + ": \"at\" (seconds) is missing");
      try {
        step.at = seconds(s["at"], "\"at\"");
        int kinds = 0;
        if (s.contains("type")) {
          ++kinds;
          step.kind = Step::Kind::type;
          if (!s["type"].is_string()) throw ScenarioError("\"type\" must be a string");
          step.text = s["type"].get<std::string>();
          size_t characters = 0;
          for (size_t p = 0; p < step.text.size(); ++characters) {
            size_t len = 1;
            unsigned char c = static_cast<unsigned char>(step.text[p]);
            if (c >= 0xF0) len = 4; else if (c >= 0xE0) len = 3; else if (c >= 0xC0) len = 2;
            std::string ch = step.text.substr(p, len);
            if (ch != "\n" && ch != "\t" && !usKeyForCharacter(ch))
              throw ScenarioError(inQuotes(ch) + " cannot be typed on a US keyboard");
            p += len;
          }
          if (s.contains("gapMs")) step.gapSeconds = number(s["gapMs"], "\"gapMs\"") / 1000.0;
          if (step.at + static_cast<double>(characters) * step.gapSeconds > kMaxSeconds)
            throw ScenarioError("the typing would end past 172800 seconds (two simulated days)");
        } else if (s.contains("gapMs")) {
          throw ScenarioError("\"gapMs\" belongs to a \"type\" step");
        }
        for (auto [key, kind] : {std::pair{"press", Step::Kind::press}, std::pair{"down", Step::Kind::down},
                                 std::pair{"up", Step::Kind::up}}) {
          if (!s.contains(key)) continue;
          ++kinds;
          step.kind = kind;
          if (!s[key].is_string()) throw ScenarioError(std::string("\"") + key + "\" must be a key name");
          step.chord = parseChord(s[key].get<std::string>());
          step.text = s[key].get<std::string>();
        }
        if (s.contains("event")) {
          ++kinds;
          step.kind = Step::Kind::event;
          if (!s["event"].is_string()) throw ScenarioError("\"event\" must be a string");
          std::string ev = s["event"].get<std::string>();
          static const std::set<std::string> plain{"sleep", "wake",      "lock",       "unlock",
                                                   "click", "secure:on", "secure:off", "quit"};
          if (ev.rfind("activate:", 0) == 0 && ev.size() > 9) {
            step.text = "activate";
            step.argument = ev.substr(9);
          } else if (ev.rfind("fieldText:", 0) == 0) {
            // The application changes its own text (an autocompletion, another
            // process): the screen no longer shows what the engine read.
            step.text = "fieldText";
            step.argument = ev.substr(10);
          } else if (auto quick = quickPasteEvent(ev)) {
            step.text = quick->first;
            step.argument = quick->second;
          } else if (plain.count(ev)) {
            step.text = ev;
          } else {
            throw ScenarioError("unknown event " + inQuotes(ev));
          }
        }
        if (s.contains("copy")) {
          ++kinds;
          step.kind = Step::Kind::copy;
          parseCopy(s["copy"], step);
        }
        if (s.contains("history")) {
          ++kinds;
          step.kind = Step::Kind::history;
          parseHistory(s["history"], step);
        }
        if (kinds != 1)
          throw ScenarioError(
              "a step has exactly one of \"type\", \"press\", \"down\", \"up\", \"event\", \"copy\", "
              "\"history\"");
      } catch (const ScenarioError& e) {
        throw ScenarioError(where(step) + ": " + e.what());
      }
      sc.steps.push_back(std::move(step));
    }
  }
  if (doc.contains("until")) sc.until = seconds(doc["until"], "\"until\"");
  for (const auto& s : sc.steps)
    if (s.at > sc.until) sc.until = s.at;
  return sc;
}

}  // namespace tessa::ctl
