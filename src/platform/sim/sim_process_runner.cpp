#include "platform/sim/sim_process_runner.h"

#include <fmt/format.h>

#include <algorithm>

namespace tessa {

namespace {

// Keyboard-page (7) HID usages of the keys a mapping may name, and their
// virtual key codes.
constexpr std::pair<uint32_t, uint16_t> kUsageToKey[] = {
    {0x04, 0},  {0x05, 11}, {0x06, 8},  {0x07, 2},  {0x08, 14}, {0x09, 3},  {0x0A, 5},  {0x0B, 4},
    {0x0C, 34}, {0x0D, 38}, {0x0E, 40}, {0x0F, 37}, {0x10, 46}, {0x11, 45}, {0x12, 31}, {0x13, 35},
    {0x14, 12}, {0x15, 15}, {0x16, 1},  {0x17, 17}, {0x18, 32}, {0x19, 9},  {0x1A, 13}, {0x1B, 7},
    {0x1C, 16}, {0x1D, 6},  {0x28, 36}, {0x29, 53}, {0x2A, 51}, {0x2B, 48}, {0x2C, 49}, {0x35, 50},
    {0x39, 57}, {0x6E, 80}, {0xE0, 59}, {0xE1, 56}, {0xE2, 58}, {0xE3, 55}, {0xE4, 62}, {0xE5, 60},
    {0xE6, 61},
};
constexpr uint64_t kKeyboardPage = 0x700000000;

std::optional<uint64_t> usageForKey(uint16_t keyCode) {
  for (const auto& [usage, vk] : kUsageToKey)
    if (vk == keyCode) return kKeyboardPage | usage;
  return std::nullopt;
}

std::optional<uint16_t> keyForUsage(uint64_t usage) {
  if ((usage & ~uint64_t{0xFFFF}) != kKeyboardPage) return std::nullopt;
  for (const auto& [u, vk] : kUsageToKey)
    if (u == (usage & 0xFFFF)) return vk;
  return std::nullopt;
}

bool dictionaryMatches(const nlohmann::json& matching, const nlohmann::json& properties) {
  if (!matching.is_object()) return false;
  for (const auto& [k, v] : matching.items()) {
    auto it = properties.find(k);
    if (it == properties.end() || *it != v) return false;
  }
  return true;
}

bool validMapping(const nlohmann::json& mapping) {
  if (!mapping.is_array()) return false;
  for (const auto& e : mapping) {
    if (!e.is_object()) return false;
    auto src = e.find("HIDKeyboardModifierMappingSrc");
    auto dst = e.find("HIDKeyboardModifierMappingDst");
    if (src == e.end() || dst == e.end() || !src->is_number_integer() || !dst->is_number_integer()) return false;
  }
  return true;
}

std::string describeScalar(const nlohmann::json& v) {
  if (v.is_string()) return v.get<std::string>();
  if (v.is_boolean()) return v.get<bool>() ? "1" : "0";
  return v.dump();
}

}  // namespace

// ---------------------------------------------------------------- hidutil

const nlohmann::json& SimHidutil::keyboardProperties() {
  static const nlohmann::json props = {
      {"PrimaryUsagePage", 1}, {"PrimaryUsage", 6},  {"Product", "Apple Internal Keyboard / Trackpad"},
      {"Transport", "SPI"},    {"Built-In", true},   {"VendorID", 1452},
      {"ProductID", 834},      {"LocationID", 0x3d0},
  };
  return props;
}

std::string SimHidutil::describeMapping(const std::optional<nlohmann::json>& mapping) {
  if (!mapping || mapping->is_null()) return "(null)";
  if (!mapping->is_array()) return describeScalar(*mapping);
  if (mapping->empty()) return "()";
  // An array of dictionaries as the platform prints it: keys sorted, each
  // dictionary indented by eight, its closing brace by four.
  std::string out = "(\n";
  bool first = true;
  for (const auto& entry : *mapping) {
    if (!first) out += ",\n";
    first = false;
    out += "        {\n";
    std::vector<std::string> keys;
    for (const auto& [k, v] : entry.items()) keys.push_back(k);
    std::sort(keys.begin(), keys.end());
    for (const auto& k : keys) out += fmt::format("        {} = {};\n", k, describeScalar(entry[k]));
    out += "    }";
  }
  out += "\n)";
  return out;
}

std::optional<nlohmann::json> SimHidutil::globalMapping() const {
  auto it = global_.find("UserKeyMapping");
  if (it == global_.end()) return std::nullopt;
  return *it;
}

std::optional<nlohmann::json> SimHidutil::keyboardMapping() const {
  auto it = keyboard_.find("UserKeyMapping");
  if (it == keyboard_.end()) return std::nullopt;
  return *it;
}

uint16_t SimHidutil::remap(uint16_t keyCode) const {
  auto mapping = keyboardMapping();
  auto usage = usageForKey(keyCode);
  if (!mapping || !usage) return keyCode;
  for (const auto& e : *mapping) {
    if (e.value("HIDKeyboardModifierMappingSrc", uint64_t{0}) != *usage) continue;
    if (auto dst = keyForUsage(e.value("HIDKeyboardModifierMappingDst", uint64_t{0}))) return *dst;
  }
  return keyCode;
}

ProcessResult SimHidutil::run(const std::vector<std::string>& args) {
  ProcessResult r;
  r.launched = true;
  auto fail = [&r](const std::string& message) {
    r.exitStatus = 1;
    r.errorOutput = message + "\n";
    return r;
  };
  if (args.empty() || args[0] != "property")
    return fail("Usage: hidutil property [--matching <json>] [--get <key>] [--set <json>]");

  std::optional<nlohmann::json> matching, set;
  std::optional<std::string> get;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "--matching" || a == "-m" || a == "--set" || a == "-s") {
      if (!hasValue) return fail("Missing value for " + a);
      nlohmann::json parsed = nlohmann::json::parse(args[++i], nullptr, false);
      if (parsed.is_discarded()) return fail("Invalid JSON for " + a + ": " + args[i]);
      if (a == "--matching" || a == "-m") {
        if (!parsed.is_object() && !parsed.is_array()) return fail("Invalid matching dictionary");
        matching = std::move(parsed);
      } else {
        if (!parsed.is_object()) return fail("Invalid property dictionary");
        set = std::move(parsed);
      }
    } else if (a == "--get" || a == "-g") {
      if (!hasValue) return fail("Missing key for --get");
      get = args[++i];
    } else {
      return fail("Unknown option " + a);
    }
  }
  if (!set && !get) return fail("Usage: hidutil property [--matching <json>] [--get <key>] [--set <json>]");

  bool keyboardMatches = true;
  if (matching) {
    keyboardMatches = false;
    if (matching->is_array()) {
      for (const auto& m : *matching) keyboardMatches = keyboardMatches || dictionaryMatches(m, keyboardProperties());
    } else {
      keyboardMatches = dictionaryMatches(*matching, keyboardProperties());
    }
  }

  if (set) {
    for (const auto& [key, value] : set->items())
      if (key == "UserKeyMapping" && !validMapping(value)) return fail("Invalid UserKeyMapping");
    for (const auto& [key, value] : set->items()) {
      if (!matching) {
        global_[key] = value;  // a global property reaches every service
        keyboard_[key] = value;
      } else if (keyboardMatches) {
        keyboard_[key] = value;
      }
      if (!matching || keyboardMatches)
        r.output += key + ":" + (key == "UserKeyMapping" ? describeMapping(value) : describeScalar(value)) + "\n";
    }
  }
  if (get) {
    const nlohmann::json& from = matching ? keyboard_ : global_;
    if (!matching || keyboardMatches) {
      auto it = from.find(*get);
      std::optional<nlohmann::json> value;
      if (it != from.end()) value = *it;
      r.output += (*get == "UserKeyMapping" ? describeMapping(value)
                                            : (value ? describeScalar(*value) : std::string("(null)"))) +
                  "\n";
    }
  }
  r.exitStatus = 0;
  return r;
}

// ---------------------------------------------------------------- runner

SimProcessRunner::SimProcessRunner(const SimContext& ctx) : ctx_(ctx) {
  registerTool(SimHidutil::kPath, [this](const std::vector<std::string>& args) { return hidutil_.run(args); });
  registerTool(kActivateSettingsPath, [this](const std::vector<std::string>& args) {
    ProcessResult r;
    r.launched = true;
    if (args.size() == 1 && args[0] == "-u") {
      ++activateSettings_;
      r.exitStatus = 0;
    } else {
      r.exitStatus = 1;
      r.errorOutput = "usage: activateSettings [-u]\n";
    }
    return r;
  });
}

ProcessResult SimProcessRunner::run(const std::string& path, const std::vector<std::string>& arguments,
                                    double timeoutSeconds) {
  std::unique_lock lock(mutex_);
  Run record{path, arguments, false, false, -1, ctx_.now()};
  Behavior behavior;
  if (auto it = behaviors_.find(path); it != behaviors_.end()) behavior = it->second;
  ProcessResult result;
  auto tool = tools_.find(path);
  if (behavior.launchFails || tool == tools_.end()) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    result.launched = false;
    result.launchError = !behavior.launchError.empty() ? behavior.launchError
                         : tool == tools_.end()      ? fmt::format("The file “{}” doesn’t exist.", name)
                                                     : fmt::format("The file “{}” couldn’t be opened.", name);
    runs_.push_back(record);
    return result;
  }
  record.launched = true;
  if (behavior.hangs) {
    // The tool never finishes: the wait lasts the whole time-out, then it is killed.
    ctx_.clock().advance(timeoutSeconds > 0 ? timeoutSeconds : 0);
    result.launched = true;
    result.timedOut = true;
    result.exitStatus = 15;
    record.timedOut = true;
    record.exitStatus = result.exitStatus;
    runs_.push_back(record);
    return result;
  }
  Handler handler = tool->second;
  runs_.push_back(record);
  size_t index = runs_.size() - 1;
  lock.unlock();
  result = handler(arguments);
  lock.lock();
  if (behavior.exitStatus) result.exitStatus = *behavior.exitStatus;
  runs_[index].exitStatus = result.exitStatus;
  return result;
}

void SimProcessRunner::registerTool(const std::string& path, Handler handler) {
  std::lock_guard lock(mutex_);
  tools_[path] = std::move(handler);
}

void SimProcessRunner::setBehavior(const std::string& path, Behavior behavior) {
  std::lock_guard lock(mutex_);
  behaviors_[path] = std::move(behavior);
}

void SimProcessRunner::clearBehavior(const std::string& path) {
  std::lock_guard lock(mutex_);
  behaviors_.erase(path);
}

std::vector<SimProcessRunner::Run> SimProcessRunner::runs() const {
  std::lock_guard lock(mutex_);
  return runs_;
}

void SimProcessRunner::clearRuns() {
  std::lock_guard lock(mutex_);
  runs_.clear();
}

int SimProcessRunner::runCount(const std::string& path) const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(runs_.begin(), runs_.end(), [&](const Run& r) { return r.path == path; }));
}

int SimProcessRunner::activateSettingsCount() const {
  std::lock_guard lock(mutex_);
  return activateSettings_;
}

}  // namespace tessa
