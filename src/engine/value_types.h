#pragma once
// Small values shared by the engine, the views and the typing flow, and the
// user profile record with its strict JSON form.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "typing/key_stroke.h"

namespace tessa {

nlohmann::ordered_json encodeKeyStroke(const KeyStroke& k);
// All three keys are required.
std::optional<KeyStroke> decodeKeyStroke(const nlohmann::json& j);

enum class SwitcherKey : int { capslock = 0, grave = 1, optionSpace = 2, controlSpace = 3, commandSpace = 4 };
std::optional<SwitcherKey> switcherKeyFromRaw(int64_t raw);
std::string_view displayName(SwitcherKey key);
inline int rawValue(SwitcherKey key) { return static_cast<int>(key); }

// The engine's only mode; other raw values belong to retired modes.
enum class AppMode : int { capslockToF19 = 1 };
std::optional<AppMode> appModeFromRaw(int64_t raw);
inline int rawValue(AppMode m) { return static_cast<int>(m); }

enum class CopywritingLevel { layman, pro };
std::optional<CopywritingLevel> copywritingLevelFromRaw(std::string_view raw);
std::string_view rawValue(CopywritingLevel level);

enum class AXTextAccess { available, dormant, unavailable };
std::string_view rawValue(AXTextAccess a);

struct UserProfile {
  std::string name;
  bool isHapticFeedbackEnabled = false;
  bool isSmartCorrectionEnabled = false;
  bool isProactiveSuggestionEnabled = false;
  int64_t hapticIntensityConfirm = 0;
  int64_t hapticIntensityAlert = 0;
  int64_t appMode = 1;
  int64_t switcherKey = 0;

  const std::string& id() const { return name; }
  bool operator==(const UserProfile&) const = default;
};

// Fields a profile mirrors from the engine's settings.
enum class ProfileIntegerField { hapticIntensityConfirm, hapticIntensityAlert, appMode, switcherKey };
enum class ProfileBoolField { isHapticFeedbackEnabled, isSmartCorrectionEnabled, isProactiveSuggestionEnabled };
int64_t& fieldRef(UserProfile& p, ProfileIntegerField f);
bool& fieldRef(UserProfile& p, ProfileBoolField f);

nlohmann::ordered_json encodeProfile(const UserProfile& p);
std::string encodeProfiles(const std::vector<UserProfile>& profiles);
// Strict: every profile must carry all eight keys with the right types, else
// the whole list fails.
std::optional<std::vector<UserProfile>> decodeProfiles(std::string_view json);
std::vector<UserProfile> defaultProfiles();

}  // namespace tessa
