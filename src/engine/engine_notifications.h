#pragma once
// The names of the notifications the engine posts on its notification
// center, for the windows that listen without including the engine.

namespace tessa {

// [design] the notification names.
namespace notification {
inline constexpr const char* appPauseStateChanged = "AppPauseStateChanged";
inline constexpr const char* capsLockStateChanged = "CapsLockStateChanged";
inline constexpr const char* axAvailabilityChanged = "AXAvailabilityChanged";
inline constexpr const char* ignoredWordStateChanged = "IgnoredWordStateChanged";
inline constexpr const char* appLanguageChanged = "AppLanguageChanged";
inline constexpr const char* accessibilityStateChanged = "AccessibilityStateChanged";
inline constexpr const char* secureInputStateChanged = "SecureInputStateChanged";
}  // namespace notification

}  // namespace tessa
