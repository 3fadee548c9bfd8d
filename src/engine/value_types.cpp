#include "engine/value_types.h"

#include <cmath>
#include <iterator>
#include <limits>

namespace tessa {

nlohmann::ordered_json encodeKeyStroke(const KeyStroke& k) {
  nlohmann::ordered_json j;
  j["keyCode"] = k.keyCode;
  j["shiftActive"] = k.shiftActive;
  j["t"] = k.t;
  return j;
}

std::optional<KeyStroke> decodeKeyStroke(const nlohmann::json& j) {
  if (!j.is_object()) return std::nullopt;
  auto kc = j.find("keyCode");
  auto sh = j.find("shiftActive");
  auto t = j.find("t");
  if (kc == j.end() || sh == j.end() || t == j.end()) return std::nullopt;
  if (!kc->is_number_unsigned() && !(kc->is_number_integer() && kc->get<int64_t>() >= 0)) return std::nullopt;
  if (!sh->is_boolean()) return std::nullopt;
  if (!t->is_number_unsigned() && !(t->is_number_integer() && t->get<int64_t>() >= 0)) return std::nullopt;
  uint64_t code = kc->get<uint64_t>(), stamp = t->get<uint64_t>();
  if (code > 0xFFFF || stamp > 0xFFFFFFFFull) return std::nullopt;
  return KeyStroke{static_cast<uint16_t>(code), sh->get<bool>(), static_cast<uint32_t>(stamp)};
}

std::optional<SwitcherKey> switcherKeyFromRaw(int64_t raw) {
  if (raw < 0 || raw > 4) return std::nullopt;
  return static_cast<SwitcherKey>(raw);
}

std::string_view displayName(SwitcherKey key) {
  switch (key) {
    case SwitcherKey::capslock: return "Caps Lock";
    case SwitcherKey::grave: return "Grave";
    case SwitcherKey::optionSpace: return "Option+Space";
    case SwitcherKey::controlSpace: return "Control+Space";
    case SwitcherKey::commandSpace: return "Command+Space";
  }
  return "Caps Lock";
}

std::optional<AppMode> appModeFromRaw(int64_t raw) {
  if (raw == 1) return AppMode::capslockToF19;
  return std::nullopt;
}

std::optional<CopywritingLevel> copywritingLevelFromRaw(std::string_view raw) {
  if (raw == "layman") return CopywritingLevel::layman;
  if (raw == "pro") return CopywritingLevel::pro;
  return std::nullopt;
}

std::string_view rawValue(CopywritingLevel level) { return level == CopywritingLevel::pro ? "pro" : "layman"; }

std::string_view rawValue(AXTextAccess a) {
  switch (a) {
    case AXTextAccess::available: return "available";
    case AXTextAccess::dormant: return "dormant";
    case AXTextAccess::unavailable: return "unavailable";
  }
  return "available";
}

int64_t& fieldRef(UserProfile& p, ProfileIntegerField f) {
  switch (f) {
    case ProfileIntegerField::hapticIntensityConfirm: return p.hapticIntensityConfirm;
    case ProfileIntegerField::hapticIntensityAlert: return p.hapticIntensityAlert;
    case ProfileIntegerField::appMode: return p.appMode;
    case ProfileIntegerField::switcherKey: return p.switcherKey;
  }
  return p.appMode;
}

bool& fieldRef(UserProfile& p, ProfileBoolField f) {
  switch (f) {
    case ProfileBoolField::isHapticFeedbackEnabled: return p.isHapticFeedbackEnabled;
    case ProfileBoolField::isSmartCorrectionEnabled: return p.isSmartCorrectionEnabled;
    case ProfileBoolField::isProactiveSuggestionEnabled: return p.isProactiveSuggestionEnabled;
  }
  return p.isHapticFeedbackEnabled;
}

nlohmann::ordered_json encodeProfile(const UserProfile& p) {
  nlohmann::ordered_json j;
  j["name"] = p.name;
  j["isHapticFeedbackEnabled"] = p.isHapticFeedbackEnabled;
  j["isSmartCorrectionEnabled"] = p.isSmartCorrectionEnabled;
  j["isProactiveSuggestionEnabled"] = p.isProactiveSuggestionEnabled;
  j["hapticIntensityConfirm"] = p.hapticIntensityConfirm;
  j["hapticIntensityAlert"] = p.hapticIntensityAlert;
  j["appMode"] = p.appMode;
  j["switcherKey"] = p.switcherKey;
  return j;
}

std::string encodeProfiles(const std::vector<UserProfile>& profiles) {
  nlohmann::ordered_json arr = nlohmann::ordered_json::array();
  for (const auto& p : profiles) arr.push_back(encodeProfile(p));
  return arr.dump();
}

namespace {
// Integers, and numbers with no fractional part: property-list and JSON
// writers may store a whole number as 1.0, and it means the same thing.
std::optional<int64_t> wholeNumber(const nlohmann::json& v) {
  if (v.is_number_unsigned()) {
    uint64_t u = v.get<uint64_t>();
    if (u > static_cast<uint64_t>(std::numeric_limits<int64_t>::max())) return std::nullopt;
    return static_cast<int64_t>(u);
  }
  if (v.is_number_integer()) return v.get<int64_t>();
  if (v.is_number_float()) {
    double d = v.get<double>();
    // 2^63 itself is out of range; every double below it converts exactly.
    if (!std::isfinite(d) || d != std::trunc(d) || d < -9223372036854775808.0 || d >= 9223372036854775808.0)
      return std::nullopt;
    return static_cast<int64_t>(d);
  }
  return std::nullopt;
}
}  // namespace

std::optional<std::vector<UserProfile>> decodeProfiles(std::string_view json) {
  auto doc = nlohmann::json::parse(json, nullptr, false);
  if (doc.is_discarded() || !doc.is_array()) return std::nullopt;
  std::vector<UserProfile> out;
  for (const auto& o : doc) {
    if (!o.is_object()) return std::nullopt;
    static constexpr const char* kBools[] = {"isHapticFeedbackEnabled", "isSmartCorrectionEnabled",
                                             "isProactiveSuggestionEnabled"};
    static constexpr const char* kInts[] = {"hapticIntensityConfirm", "hapticIntensityAlert", "appMode",
                                            "switcherKey"};
    if (!o.contains("name") || !o["name"].is_string()) return std::nullopt;
    for (auto k : kBools)
      if (!o.contains(k) || !o[k].is_boolean()) return std::nullopt;
    int64_t ints[std::size(kInts)];
    for (size_t i = 0; i < std::size(kInts); ++i) {
      auto it = o.find(kInts[i]);
      auto n = it == o.end() ? std::nullopt : wholeNumber(*it);
      if (!n) return std::nullopt;
      ints[i] = *n;
    }
    UserProfile p;
    p.name = o["name"].get<std::string>();
    p.isHapticFeedbackEnabled = o["isHapticFeedbackEnabled"].get<bool>();
    p.isSmartCorrectionEnabled = o["isSmartCorrectionEnabled"].get<bool>();
    p.isProactiveSuggestionEnabled = o["isProactiveSuggestionEnabled"].get<bool>();
    p.hapticIntensityConfirm = ints[0];
    p.hapticIntensityAlert = ints[1];
    p.appMode = ints[2];
    p.switcherKey = ints[3];
    out.push_back(std::move(p));
  }
  return out;
}

std::vector<UserProfile> defaultProfiles() {
  return {
      {"Default", false, true, true, 1, 1, 1, 0},
      {"Work", true, true, true, 0, 0, 1, 0},
      {"Home", false, true, false, 1, 1, 1, 0},
  };
}

}  // namespace tessa
