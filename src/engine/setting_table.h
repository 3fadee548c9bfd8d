#pragma once
// Every value the engine keeps in the standard user defaults, declared once:
// key, type, the value while unset or unreadable, and the stored values
// taken. The engine's cells (keyboard_engine.h) and everything else that
// reads, writes or resets one of these keys go through the declaration here,
// never through the key spelt again.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/stored_setting.h"
#include "engine/value_types.h"

namespace tessa {

// ------------------------------------------------- codecs of engine values

// Raw values stored as integers; one outside the enum is unreadable.
template <>
struct SettingCodec<SwitcherKey> {
  static constexpr UserDefaults::Kind kind = UserDefaults::Kind::integer;
  static std::optional<SwitcherKey> decode(const UserDefaults& d, const std::string& key) {
    return switcherKeyFromRaw(d.integerForKey(key));
  }
  static UserDefaults::Value encode(SwitcherKey v) { return rawValue(v); }
};

template <>
struct SettingCodec<AppMode> {
  static constexpr UserDefaults::Kind kind = UserDefaults::Kind::integer;
  static std::optional<AppMode> decode(const UserDefaults& d, const std::string& key) {
    return appModeFromRaw(d.integerForKey(key));
  }
  static UserDefaults::Value encode(AppMode v) { return rawValue(v); }
};

// Its raw string; any other string is unreadable.
template <>
struct SettingCodec<CopywritingLevel> {
  static constexpr UserDefaults::Kind kind = UserDefaults::Kind::string;
  static std::optional<CopywritingLevel> decode(const UserDefaults& d, const std::string& key) {
    auto raw = d.stringForKey(key);
    return raw ? copywritingLevelFromRaw(*raw) : std::nullopt;
  }
  static UserDefaults::Value encode(CopywritingLevel v) { return std::string(rawValue(v)); }
};

// The profile list as data holding its strict JSON form.
template <>
struct SettingCodec<std::vector<UserProfile>> {
  static constexpr UserDefaults::Kind kind = UserDefaults::Kind::data;
  static std::optional<std::vector<UserProfile>> decode(const UserDefaults& d, const std::string& key) {
    auto data = d.dataForKey(key);
    if (!data) return std::nullopt;
    return decodeProfiles(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
  }
  static UserDefaults::Value encode(const std::vector<UserProfile>& v) {
    std::string json = encodeProfiles(v);
    return UserDefaults::Value::binary(std::vector<uint8_t>(json.begin(), json.end()));
  }
};

namespace setting {

// [design] the persisted settings.
inline const Setting<std::string> appLanguage{.key = "appLanguage", .fallback = "th"};
inline constexpr Setting<CopywritingLevel> appCopywritingLevel{.key = "appCopywritingLevel",
                                                               .fallback = CopywritingLevel::layman};
// The only mode, whatever is stored; the one key registered in the defaults.
inline constexpr Setting<AppMode> appMode{
    .key = "AppMode", .fallback = AppMode::capslockToF19, .read = SettingRead::never};
inline constexpr Setting<SwitcherKey> switcherKey{.key = "SwitcherKey", .fallback = SwitcherKey::capslock};
inline constexpr Setting<bool> isHapticFeedbackEnabled{
    .key = "isHapticFeedbackEnabled", .fallback = false, .read = SettingRead::sameKind};
// Always starts off: its key is written but not read back.
inline constexpr Setting<bool> isSmartCorrectionEnabled{
    .key = "isSmartCorrectionEnabled", .fallback = false, .read = SettingRead::never};
inline constexpr Setting<bool> useContrastiveFrequencyCheck{
    .key = "useContrastiveFrequencyCheck", .fallback = true, .read = SettingRead::sameKind};
inline constexpr Setting<bool> isFatigueNotificationEnabled{
    .key = "isFatigueNotificationEnabled", .fallback = false, .read = SettingRead::sameKind};
inline constexpr Setting<bool> isShareUsageTimeEnabled{.key = "isShareUsageTimeEnabled", .fallback = false};
inline constexpr Setting<bool> hasSeenShareInvitation{.key = "hasSeenShareInvitation", .fallback = false};
inline constexpr Setting<bool> hasCompletedOnboarding{.key = "hasCompletedOnboarding", .fallback = false};
inline constexpr Setting<bool> hasSeenMilestoneNudge{.key = "hasSeenMilestoneNudge", .fallback = false};
inline constexpr Setting<int64_t> remindLaterCorrectionsThreshold{
    .key = "remindLaterCorrectionsThreshold", .fallback = 0};
inline constexpr Setting<bool> hasShownUndoBoundaryHint{.key = "hasShownUndoBoundaryHint", .fallback = false};
inline const Setting<std::vector<std::string>> excludedBundleIDs{.key = "excludedBundleIDs", .fallback = {}};
// Read by the engine's profile loading, which keeps an unreadable list aside.
inline const Setting<std::vector<UserProfile>> profiles{.key = "profiles", .fallback = defaultProfiles()};
inline const Setting<std::string> activeProfileName{.key = "activeProfileName", .fallback = "Default"};

// [design] the persisted counters and statistics.
inline constexpr Setting<int64_t> totalKeystrokesSaved{.key = "totalKeystrokesSaved", .fallback = 0};
inline constexpr Setting<int64_t> totalUndos{.key = "totalUndos", .fallback = 0};
inline constexpr Setting<int64_t> totalCorrections{.key = "totalCorrections", .fallback = 0};
inline constexpr Setting<int64_t> totalCorrectionsTH{.key = "totalCorrectionsTH", .fallback = 0};
inline constexpr Setting<int64_t> totalCorrectionsLO{.key = "totalCorrectionsLO", .fallback = 0};
inline constexpr Setting<int64_t> totalCorrectionsEN{.key = "totalCorrectionsEN", .fallback = 0};
inline constexpr Setting<int64_t> totalWatchdogRecoveries{.key = "totalWatchdogRecoveries", .fallback = 0};
inline constexpr Setting<double> totalActiveTypingTime{.key = "totalActiveTypingTime", .fallback = 0.0};
// Written by the usage timer every tenth second, not on every change.
inline constexpr Setting<double> totalUsageTime{
    .key = "totalUsageTime", .fallback = 0.0, .write = SettingWrite::byOwner};
inline const Setting<std::map<std::string, int64_t>> appTypoCounts{.key = "appTypoCounts", .fallback = {}};
inline const Setting<std::map<std::string, int64_t>> hourlyTypoCounts{.key = "hourlyTypoCounts", .fallback = {}};
inline constexpr Setting<int64_t> prestigeLevel{.key = "prestigeLevel", .fallback = 0};
// A stored count below 1 reads as 1.
inline constexpr Setting<int64_t> dailyStreakCount{
    .key = "dailyStreakCount", .fallback = 1, .range = SettingRange::positive};
inline const Setting<std::string> lastActiveStreakDate{.key = "lastActiveStreakDate", .fallback = ""};

// [design] tuning, read at every use and written by nothing in the engine:
// a missing key, a stored 0 or a value that makes no sense as a duration
// (negative, infinite, not a number) gives the fallback.
inline constexpr Setting<double> holdThreshold{
    .key = "holdThreshold", .fallback = 0.35, .range = SettingRange::positive};
inline constexpr Setting<double> hapticFeedbackDelay{
    .key = "hapticFeedbackDelay", .fallback = 0.1, .range = SettingRange::positive};
inline constexpr Setting<double> undoTimeout{.key = "undoTimeout", .fallback = 8.0, .range = SettingRange::positive};
inline constexpr Setting<int64_t> fatigueThreshold{
    .key = "fatigueThreshold", .fallback = 20, .range = SettingRange::positive};
inline constexpr Setting<double> fatigueNotificationInterval{
    .key = "fatigueNotificationInterval", .fallback = 1800.0, .range = SettingRange::positive};
// Haptic strengths (-1 off, 1 light, 2 medium, 0 strong), written by the
// status menu and the settings page: an unset key reads as 2, the strength
// the settings page shows for it.
inline constexpr Setting<int64_t> hapticIntensityConfirm{.key = "hapticIntensityConfirm", .fallback = 2};
inline constexpr Setting<int64_t> hapticIntensityAlert{.key = "hapticIntensityAlert", .fallback = 2};

}  // namespace setting

}  // namespace tessa
