#pragma once
// The machine's own keyboard settings that the Caps Lock switcher needs while
// the program runs: Caps Lock remapped to F19 at the HID layer, the system's
// next-input-source hot key (61) rebound to Fn+F19, and per-document input
// sources off. The KeyboardEngine operations live in system_keyboard.cpp; this
// header holds the constants and the read-only hot key 64 check.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/value_types.h"
#include "platform/preference_domains.h"

namespace tessa {

namespace system_keyboard {
// [design] the tools, preference domains and defaults keys of the system's
// keyboard settings.
inline constexpr const char* kHidutilPath = "/usr/bin/hidutil";
inline constexpr const char* kActivateSettingsPath =
    "/System/Library/PrivateFrameworks/SystemAdministration.framework/Resources/activateSettings";
inline constexpr const char* kSymbolicHotKeysDomain = "com.apple.symbolichotkeys";
inline constexpr const char* kSymbolicHotKeysKey = "AppleSymbolicHotKeys";
inline constexpr const char* kHIToolboxDomain = "com.apple.HIToolbox";
inline constexpr const char* kOriginalHotKey61Key = "originalHotkey61";
// Entry 61 did not exist before we wrote ours; quit removes ours again.
inline constexpr const char* kOriginalHotKey61AbsentKey = "originalHotkey61WasAbsent";  // [ours]
inline constexpr const char* kHintShownKey = "f19ManualShortcutHintShown";
inline constexpr const char* kSkipPerDocKey = "debugSkipPerDocDisable";

// A child tool still running after this long is killed and counts as failed.
inline constexpr double kToolTimeoutSeconds = 5.0;  // [ours]

// [design] Caps Lock (page 7, 0x39) to F19 (page 7, 0x6E).
inline constexpr const char* kMappingJSON =
    R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771129,"HIDKeyboardModifierMappingDst":30064771182}]})";
inline constexpr const char* kEmptyMappingJSON = R"({"UserKeyMapping":[]})";
inline constexpr const char* kKeyboardMatchingJSON = R"({"PrimaryUsagePage":1,"PrimaryUsage":6})";

const std::vector<std::string>& setGlobalArguments();
const std::vector<std::string>& setKeyboardsArguments();
const std::vector<std::string>& clearGlobalArguments();
const std::vector<std::string>& clearKeyboardsArguments();
const std::vector<std::string>& readBackArguments();

// The entry we write for hot key 61: Fn+F19, enabled.
nlohmann::json fnF19HotKeyEntry();
// Whether an entry is enabled and bound to Fn+F19.
bool isEnabledFnF19Entry(const nlohmann::json& entry);
// Whether an entry's key is F19 (enabled or not): one of ours.
bool holdsF19(const nlohmann::json& entry);
// The read-back answer for `hidutil property --get UserKeyMapping` output.
std::string summarizeMappingOutput(const std::string& output);
}  // namespace system_keyboard

// The read-only look at symbolic hot key 64 (Spotlight, Command+Space).
struct SymbolicHotKeys {
  // True when hot key 64 is plain Command+Space and enabled, or when it
  // cannot be read (a conflict is assumed).
  static bool isHotKey64CommandSpace(PreferenceDomains* preferences);
  // Only the Command+Space switcher can conflict with it.
  static bool commandSpaceConflicts(SwitcherKey key, PreferenceDomains* preferences);
  // Whether the system keeps a shortcut store, and with it a search shortcut
  // that may sit on Command+Space. Not where there is no store, nor where the
  // hot keys are a file of ours (Linux): nothing there has such a search.
  static bool systemKeepsSearchShortcut(PreferenceDomains* preferences);
};

}  // namespace tessa
