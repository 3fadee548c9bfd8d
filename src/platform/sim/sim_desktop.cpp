#include "platform/sim/sim_desktop.h"

#include <fmt/format.h>

#include <algorithm>
#include <stdexcept>

#include "base/unicode.h"
#include "platform/keyboard_tables.h"

namespace tessa {

namespace {

uint64_t modifierFlagFor(uint16_t keyCode) {
  switch (keyCode) {
    case keycode::command:
    case 54:  // right Command
      return flags::command;
    case keycode::shift:
    case keycode::rightShift:
      return flags::shift;
    case keycode::option:
    case keycode::rightOption:
      return flags::option;
    case keycode::control:
    case keycode::rightControl:
      return flags::control;
    case keycode::function:
      return flags::fn;
    default:
      return 0;
  }
}

bool isModifierKey(uint16_t keyCode) { return modifierFlagFor(keyCode) != 0; }

// Function and navigation keys carry the secondary-Fn flag on this platform,
// and the arrows the numeric-pad flag too; that is why the system records F19
// in a hot key as Fn+F19.
uint64_t keyClassFlags(uint16_t keyCode) {
  switch (keyCode) {
    case keycode::left:
    case keycode::right:
    case keycode::up:
    case keycode::down:
      return flags::fn | flags::numericPad;
    case keycode::f19:
    case keycode::home:
    case keycode::end:
    case keycode::pageUp:
    case keycode::pageDown:
    case keycode::forwardDelete:
      return flags::fn;
    default:
      return 0;
  }
}

// The modifiers a symbolic hot key compares.
constexpr uint64_t kHotKeyModifiers = flags::shift | flags::control | flags::option | flags::command | flags::fn;

std::optional<uint16_t> namedKey(const std::string& name) {
  static const std::pair<const char*, uint16_t> kNames[] = {
      {"capslock", keycode::capsLock}, {"grave", keycode::grave},       {"space", keycode::space},
      {"return", keycode::returnKey},  {"enter", keycode::returnKey},   {"tab", keycode::tab},
      {"escape", keycode::escape},     {"esc", keycode::escape},        {"delete", keycode::deleteKey},
      {"backspace", keycode::deleteKey}, {"forwarddelete", keycode::forwardDelete}, {"left", keycode::left},
      {"right", keycode::right},       {"up", keycode::up},             {"down", keycode::down},
      {"home", keycode::home},         {"end", keycode::end},           {"pageup", keycode::pageUp},
      {"pagedown", keycode::pageDown}, {"f19", keycode::f19},           {"keypadenter", keycode::keypadEnter},
  };
  for (const auto& [n, code] : kNames)
    if (name == n) return code;
  return std::nullopt;
}

std::optional<uint16_t> namedModifier(const std::string& name) {
  static const std::pair<const char*, uint16_t> kNames[] = {
      {"ctrl", keycode::control},   {"control", keycode::control},       {"shift", keycode::shift},
      {"option", keycode::option},  {"opt", keycode::option},            {"alt", keycode::option},
      {"command", keycode::command}, {"cmd", keycode::command},          {"fn", keycode::function},
      {"rightshift", keycode::rightShift}, {"rightoption", keycode::rightOption},
      {"rightcontrol", keycode::rightControl}, {"rightcommand", 54},
  };
  for (const auto& [n, code] : kNames)
    if (name == n) return code;
  return std::nullopt;
}

std::vector<std::string> utf8Characters(const std::string& s) {
  std::vector<std::string> out;
  for (char32_t c : codePoints(s)) out.push_back(fromCodePoint(c));
  return out;
}

// A key's name as a scenario would write it: a named key or modifier, else
// its US character, else "#code".
std::string keyName(uint16_t keyCode) {
  static const std::map<uint16_t, std::string> kNames = [] {
    std::map<uint16_t, std::string> m;
    for (const char* n : {"capslock", "grave", "space", "return", "tab", "escape", "delete", "forwarddelete", "left",
                          "right", "up", "down", "home", "end", "pageup", "pagedown", "f19", "keypadenter"})
      m.emplace(*namedKey(n), n);
    for (const char* n : {"ctrl", "shift", "option", "command", "fn", "rightshift", "rightoption", "rightcontrol",
                          "rightcommand"})
      m.emplace(*namedModifier(n), n);
    return m;
  }();
  if (auto it = kNames.find(keyCode); it != kNames.end()) return it->second;
  if (const UsKey* k = usKeyForCode(keyCode)) return std::string(k->plain);
  return "#" + std::to_string(keyCode);
}

// The text a key typed, quoted, with control characters escaped so that a
// transcript line stays one readable line.
std::string quotedText(const std::string& text) {
  std::string out = "'";
  for (unsigned char c : text) {
    if (c == '\\' || c == '\'') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7f) {
      out += fmt::format("\\x{:02x}", c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "'";
}

}  // namespace

std::string eventTypeName(EventType type) {
  switch (type) {
    case EventType::null:
      return "null";
    case EventType::leftMouseDown:
      return "leftMouseDown";
    case EventType::leftMouseUp:
      return "leftMouseUp";
    case EventType::rightMouseDown:
      return "rightMouseDown";
    case EventType::rightMouseUp:
      return "rightMouseUp";
    case EventType::keyDown:
      return "keyDown";
    case EventType::keyUp:
      return "keyUp";
    case EventType::flagsChanged:
      return "flagsChanged";
    case EventType::otherMouseDown:
      return "otherMouseDown";
    case EventType::tapDisabledByTimeout:
      return "tapDisabledByTimeout";
    case EventType::tapDisabledByUserInput:
      return "tapDisabledByUserInput";
  }
  return std::to_string(static_cast<uint32_t>(type));
}

SimDesktop::SimDesktop(ManualClock& clock, ManualTaskRunner& main)
    : ctx_(clock, main),
      events_(ctx_),
      sources_(ctx_),
      workspace_(ctx_),
      accessibility_(ctx_, workspace_),
      processes_(ctx_),
      http_(ctx_) {
  events_.setOwnPid(kOwnPid);
  events_.setSink([this](const Event& e) { systemReceive(e); });
  events_.setTrustedProvider([this] { return accessibility_.trusted(); });
  events_.setHardwareFlagsProvider([this] { return heldFlags(); });
  events_.setPostedTextFiller([this](Event& e) {
    if (auto layout = sources_.currentLayout()) {
      uint32_t dead = 0;
      e.unicode = layout->translate(e.keyCode, e.flags, dead);
    }
  });
  sources_.setSecureInputProvider([this] {
    if (secureForced_) return true;
    const SimApplication* front = workspace_.frontmost();
    return secureFieldsTurnItOn_ && front && front->hasFocusedField && front->field.secure();
  });

  screens_.setScreens({ScreenInfo{Rect{0, 0, 1440, 900}, Rect{0, 0, 1440, 875}}});
  workspace_.setOwnBundleIdentifier(kOwnBundleID);
  SimApplication& own = workspace_.launch(kOwnBundleID, "Tessavinor", kOwnPid);
  own.hasFocusedField = false;
  workspace_.launch(kDefaultAppBundleID, "TextEdit");
  workspace_.activate(kDefaultAppBundleID);
}

SimDesktop::~SimDesktop() = default;

Platform SimDesktop::platform() {
  Platform p;
  p.events = &events_;
  p.inputSources = &sources_;
  p.accessibility = &accessibility_;
  p.hid = &hid_;
  p.workspace = &workspace_;
  p.preferences = &preferences_;
  p.processes = &processes_;
  p.systemLog = &log_;
  p.haptics = &haptics_;
  p.keychain = &keychain_;
  p.http = &http_;
  p.spellChecker = spellChecker_;
  p.screens = &screens_;
  p.loginItems = &loginItems_;
  p.pasteboard = &pasteboard_;
  p.textRecognizer = &textRecognizer_;
  p.hasBundleIdentifier = hasBundleIdentifier_;
  if (privateSymbols_) {
    p.privateSymbols.setSymbolicHotKeyEnabled = [this](int hotKey, bool enabled) {
      privateCalls_.push_back(fmt::format("setSymbolicHotKeyEnabled {} {}", hotKey, enabled));
    };
    p.privateSymbols.setTextInputGlobalProperty = [this](const std::string& property, bool value) {
      privateCalls_.push_back(fmt::format("setTextInputGlobalProperty {} {}", property, value));
    };
  }
  return p;
}

// ---------------------------------------------------------------- keyboard

uint64_t SimDesktop::heldFlags() const {
  uint64_t f = 0;
  for (uint16_t k : heldModifiers_) f |= modifierFlagFor(k);
  if (hid_.capsLock()) f |= flags::capsLock;
  return f;
}

void SimDesktop::keyDown(uint16_t keyCode, uint64_t extraFlags) { physicalDown(keyCode, extraFlags); }
void SimDesktop::keyUp(uint16_t keyCode, uint64_t extraFlags) { physicalUp(keyCode, extraFlags); }

void SimDesktop::tapKey(uint16_t keyCode, uint64_t extraFlags) {
  physicalDown(keyCode, extraFlags);
  physicalUp(keyCode, extraFlags);
}

void SimDesktop::physicalDown(uint16_t keyCode, uint64_t extraFlags) {
  // The HID layer's key mapping applies before anything sees the key.
  uint16_t key = processes_.hidutil().remap(keyCode);
  pressedAs_[keyCode] = key;
  if (isModifierKey(key)) {
    heldModifiers_.insert(key);
    emitFlagsChanged(key, extraFlags);
  } else if (key == keycode::capsLock) {
    hid_.toggleCapsLock();
    emitFlagsChanged(key, extraFlags);
  } else {
    emitKey(EventType::keyDown, key, extraFlags);
  }
}

void SimDesktop::physicalUp(uint16_t keyCode, uint64_t extraFlags) {
  uint16_t key = processes_.hidutil().remap(keyCode);
  if (auto it = pressedAs_.find(keyCode); it != pressedAs_.end()) {
    key = it->second;
    pressedAs_.erase(it);
  }
  if (isModifierKey(key)) {
    if (auto it = heldModifiers_.find(key); it != heldModifiers_.end()) heldModifiers_.erase(it);
    emitFlagsChanged(key, extraFlags);
  } else if (key == keycode::capsLock) {
    // The lock toggles on the press; the release says nothing.
  } else {
    emitKey(EventType::keyUp, key, extraFlags);
  }
}

void SimDesktop::emitKey(EventType type, uint16_t keyCode, uint64_t extraFlags) {
  Event e;
  e.type = type;
  e.keyCode = keyCode;
  e.flags = heldFlags() | extraFlags | keyClassFlags(keyCode);
  e.timestamp = ctx_.now();
  e.sourceState = EventSourceState::hidSystem;
  if (auto layout = sources_.currentLayout()) {
    if (type == EventType::keyDown) {
      e.unicode = layout->translate(keyCode, e.flags, deadKeyState_);
    } else {
      uint32_t scratch = 0;
      e.unicode = layout->translate(keyCode, e.flags, scratch);
    }
  }
  events_.deliverHardware(e);
}

void SimDesktop::emitFlagsChanged(uint16_t keyCode, uint64_t extraFlags) {
  Event e;
  e.type = EventType::flagsChanged;
  e.keyCode = keyCode;
  e.flags = heldFlags() | extraFlags;
  e.timestamp = ctx_.now();
  e.sourceState = EventSourceState::hidSystem;
  events_.deliverHardware(e);
}

double SimDesktop::typeText(const std::string& usText, double gapSeconds, double startAt) {
  struct Stroke {
    uint16_t key;
    bool shift;
  };
  std::vector<Stroke> strokes;
  for (const auto& ch : utf8Characters(usText)) {
    if (ch == "\n") {
      strokes.push_back({keycode::returnKey, false});
    } else if (ch == "\t") {
      strokes.push_back({keycode::tab, false});
    } else if (auto k = usKeyForCharacter(ch)) {
      strokes.push_back({k->first, k->second});
    } else {
      throw std::invalid_argument("no US key types \"" + ch + "\"");
    }
  }
  double t = startAt;
  for (const auto& s : strokes) {
    double up = t + gapSeconds / 2;
    if (s.shift) ctx_.post(t, [this] { physicalDown(keycode::shift, 0); });
    ctx_.post(t, [this, k = s.key] { physicalDown(k, 0); });
    ctx_.post(up, [this, k = s.key] { physicalUp(k, 0); });
    if (s.shift) ctx_.post(up, [this] { physicalUp(keycode::shift, 0); });
    t += gapSeconds;
  }
  return strokes.empty() ? startAt : t - gapSeconds / 2;
}

void SimDesktop::press(const std::string& chord, double startAt) {
  // "+" separates the parts; a "+" where a part should start is the key itself.
  std::vector<std::string> tokens;
  std::string current;
  for (char c : chord) {
    if (c == '+' && !current.empty()) {
      tokens.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) tokens.push_back(current);
  if (tokens.empty()) throw std::invalid_argument("empty chord");

  std::vector<uint16_t> modifiers;
  uint16_t key = 0;
  for (size_t i = 0; i < tokens.size(); ++i) {
    const std::string& t = tokens[i];
    std::string lower = t;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
    auto modifier = namedModifier(lower);
    if (i + 1 < tokens.size()) {
      if (!modifier) throw std::invalid_argument("unknown modifier \"" + t + "\" in \"" + chord + "\"");
      modifiers.push_back(*modifier);
    } else if (modifier) {
      key = *modifier;  // a lone modifier is pressed and released
    } else if (auto named = namedKey(lower)) {
      key = *named;
    } else if (auto typed = usKeyForCharacter(t)) {
      key = typed->first;
      if (typed->second && std::find(modifiers.begin(), modifiers.end(), keycode::shift) == modifiers.end())
        modifiers.push_back(keycode::shift);
    } else {
      throw std::invalid_argument("unknown key \"" + t + "\" in \"" + chord + "\"");
    }
  }
  scheduleChord(std::move(modifiers), key, startAt);
}

void SimDesktop::pressKey(uint16_t keyCode, uint64_t modifierFlags, double startAt) {
  std::vector<uint16_t> modifiers;
  for (auto [flag, key] : {std::pair{flags::control, keycode::control}, std::pair{flags::option, keycode::option},
                           std::pair{flags::shift, keycode::shift}, std::pair{flags::command, keycode::command},
                           std::pair{flags::fn, keycode::function}})
    if (modifierFlags & flag) modifiers.push_back(key);
  scheduleChord(std::move(modifiers), keyCode, startAt);
}

void SimDesktop::scheduleChord(std::vector<uint16_t> modifiers, uint16_t key, double startAt) {
  ctx_.post(startAt, [this, modifiers = std::move(modifiers), key] {
    for (uint16_t m : modifiers) physicalDown(m, 0);
    physicalDown(key, 0);
    physicalUp(key, 0);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) physicalUp(*it, 0);
  });
}

void SimDesktop::click(double x, double y) {
  events_.setMouseLocation(x, y);
  for (EventType type : {EventType::leftMouseDown, EventType::leftMouseUp}) {
    Event e;
    e.type = type;
    e.flags = heldFlags();
    e.x = x;
    e.y = y;
    e.timestamp = ctx_.now();
    events_.deliverHardware(e);
  }
}

// ---------------------------------------------------------------- system

std::optional<std::pair<uint16_t, uint64_t>> SimDesktop::nextSourceHotKey() const {
  auto all = preferences_.storedValue(kSymbolicHotKeysDomain, kSymbolicHotKeysKey);
  if (!all || !all->is_object()) return std::nullopt;
  auto entry = all->find("61");
  if (entry == all->end() || !entry->is_object()) return std::nullopt;
  auto enabled = entry->find("enabled");
  bool on = enabled != entry->end() && ((enabled->is_boolean() && enabled->get<bool>()) ||
                                        (enabled->is_number() && enabled->get<double>() != 0));
  if (!on) return std::nullopt;
  auto value = entry->find("value");
  if (value == entry->end() || !value->is_object()) return std::nullopt;
  auto params = value->find("parameters");
  if (params == value->end() || !params->is_array() || params->size() < 3) return std::nullopt;
  if (!(*params)[1].is_number() || !(*params)[2].is_number()) return std::nullopt;
  return std::make_pair(static_cast<uint16_t>((*params)[1].get<int64_t>()),
                        static_cast<uint64_t>((*params)[2].get<int64_t>()));
}

void SimDesktop::systemReceive(const Event& event) {
  if (event.isKey() && hotKeyWorks_) {
    if (auto hk = nextSourceHotKey();
        hk && event.keyCode == hk->first && (event.flags & kHotKeyModifiers) == (hk->second & kHotKeyModifiers)) {
      // The system keeps its hot keys: the application never sees them.
      if (event.type == EventType::keyDown && !event.autorepeat) {
        ++hotKeyActivations_;
        sources_.selectNext();
      }
      return;
    }
  }
  if (event.type == EventType::leftMouseDown || event.type == EventType::leftMouseUp ||
      event.type == EventType::rightMouseDown || event.type == EventType::rightMouseUp ||
      event.type == EventType::otherMouseDown)
    return;  // clicks land on the screen, not in the field's text
  appEvents_.push_back(event);
  if (SimApplication* front = workspace_.frontmost()) front->received.push_back(event);
  if (SimTextField* field = focusedField()) field->apply(event);
  // Our process is never the frontmost application here, so every key-down
  // that reaches an application reaches another one.
  if (event.type == EventType::keyDown) events_.notifyGlobalKeyDown(event);
}

SimTextField* SimDesktop::focusedField() {
  SimApplication* front = workspace_.frontmost();
  return front && front->hasFocusedField ? &front->field : nullptr;
}

// ---------------------------------------------------------------- transcript

nlohmann::json SimDesktop::describeEvent(const Event& e) {
  return nlohmann::json{{"type", eventTypeName(e.type)},
                        {"keyCode", e.keyCode},
                        {"flags", fmt::format("0x{:x}", e.flags)},
                        {"unicode", e.unicode},
                        {"tagged", e.isTagged()}};
}

std::string SimDesktop::describeDelivered(const Event& e) {
  if (e.type == EventType::flagsChanged) {
    if (e.keyCode == keycode::capsLock) return e.flags & flags::capsLock ? "capslock on" : "capslock off";
    uint64_t own = modifierFlagFor(e.keyCode);
    // A flags change without a modifier key (one that resets the flags) says
    // only what the flags became.
    if (!own) return fmt::format("flags {:#x}", e.flags);
    return fmt::format("{} {}", e.flags & own ? "down" : "up", keyName(e.keyCode));
  }
  if (!e.isKey()) return eventTypeName(e.type);
  std::string line = e.type == EventType::keyUp ? "up " : e.autorepeat ? "repeat " : "down ";
  for (auto [flag, name] : {std::pair{flags::control, "ctrl+"}, std::pair{flags::option, "option+"},
                            std::pair{flags::shift, "shift+"}, std::pair{flags::command, "command+"}})
    if (e.flags & flag) line += name;
  line += keyName(e.keyCode);
  if (!e.unicode.empty()) line += " " + quotedText(e.unicode);
  return line;
}

std::vector<std::string> SimDesktop::heldKeyNames() const {
  std::vector<std::string> names;
  for (const auto& [physical, delivered] : pressedAs_) names.push_back(keyName(physical));
  return names;
}

nlohmann::json SimDesktop::transcript() const {
  nlohmann::json t;
  const SimApplication* front = workspace_.frontmost();
  bool hasField = front && front->hasFocusedField;
  t["text"] = hasField ? front->field.text() : std::string();
  t["caret"] = hasField ? front->field.caret() : 0;
  t["inputSource"] = sources_.currentId();
  nlohmann::json posted = nlohmann::json::array();
  for (const auto& e : events_.posted()) posted.push_back(describeEvent(e));
  t["posted"] = std::move(posted);
  nlohmann::json delivered = nlohmann::json::object();
  for (const auto& app : workspace_.runningApplications()) {
    const SimApplication* a = workspace_.app(app.bundleID);
    if (!a || a->received.empty()) continue;
    nlohmann::json lines = nlohmann::json::array();
    for (const auto& e : a->received) lines.push_back(describeDelivered(e));
    delivered[app.bundleID] = std::move(lines);
  }
  t["delivered"] = std::move(delivered);
  if (auto held = heldKeyNames(); !held.empty()) t["heldKeys"] = held;
  nlohmann::json children = nlohmann::json::array();
  for (const auto& r : processes_.runs()) children.push_back({{"path", r.path}, {"arguments", r.arguments}});
  t["children"] = std::move(children);
  return t;
}

}  // namespace tessa
