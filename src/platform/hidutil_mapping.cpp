#include "platform/hidutil_mapping.h"

#include <fmt/format.h>

#include <algorithm>

#include "base/json_reading.h"

namespace tessa {

namespace {

// [design] Keyboard-page (7) HID usages of the keys a mapping may name, and
// their virtual key codes.
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

// [design] the built-in keyboard the engine's matching dictionary names.
const nlohmann::json& HidutilMapping::keyboardProperties() {
  static const nlohmann::json props = {
      {"PrimaryUsagePage", 1}, {"PrimaryUsage", 6},  {"Product", "Apple Internal Keyboard / Trackpad"},
      {"Transport", "SPI"},    {"Built-In", true},   {"VendorID", 1452},
      {"ProductID", 834},      {"LocationID", 0x3d0},
  };
  return props;
}

std::string HidutilMapping::describeMapping(const std::optional<nlohmann::json>& mapping) {
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

std::optional<nlohmann::json> HidutilMapping::globalMapping() const {
  auto it = global_.find("UserKeyMapping");
  if (it == global_.end()) return std::nullopt;
  return *it;
}

std::optional<nlohmann::json> HidutilMapping::keyboardMapping() const {
  auto it = keyboard_.find("UserKeyMapping");
  if (it == keyboard_.end()) return std::nullopt;
  return *it;
}

uint16_t HidutilMapping::remap(uint16_t keyCode) const {
  auto mapping = keyboardMapping();
  auto usage = usageForKey(keyCode);
  if (!mapping || !usage) return keyCode;
  for (const auto& e : *mapping) {
    if (e.value("HIDKeyboardModifierMappingSrc", uint64_t{0}) != *usage) continue;
    if (auto dst = keyForUsage(e.value("HIDKeyboardModifierMappingDst", uint64_t{0}))) return *dst;
  }
  return keyCode;
}

ProcessResult HidutilMapping::run(const std::vector<std::string>& args) {
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
      std::optional<nlohmann::json> read = parseJsonWithin(args[++i]);
      if (!read) return fail("Invalid JSON for " + a + ": " + args[i]);
      nlohmann::json parsed = std::move(*read);
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

}  // namespace tessa
