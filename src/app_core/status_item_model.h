#pragma once
// What the tray item shows and does, as plain data: the icon (symbol,
// colour, the Caps Lock and ignored-word bars), the tooltip, what a click
// does, and which notifications redraw what. The shell draws these; nothing
// here knows a toolkit.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/notification_center.h"
#include "engine/value_types.h"

namespace tessa {

class EventSystem;
struct EngineAccessibility;
struct EngineSettings;
struct EngineStatus;
struct Platform;

// The engine state the tray item and its menu are built from, read on the
// main thread at each refresh or opening.
struct StatusItemState {
  bool isPaused = false;
  bool isAccessibilityGranted = false;
  bool isEventTapDead = false;
  bool isEmergencyTornDown = false;
  bool isSecureInputActive = false;
  bool isCapsLockOn = false;
  bool hasIgnoredWord = false;  // a correction was undone and its word is being left alone
  bool isHapticFeedbackEnabled = false;
  int64_t hapticIntensityConfirm = 2;
  bool hasHapticDevice = true;  // false: the haptic choices are shown but cannot be changed
  std::string appLanguage = "th";
  bool proWording = false;  // the technical wording level
  std::string version;
  // Why this desktop gives the engine no keys at all (a Wayland session, no
  // X server); empty when it does.
  std::string keysUnavailableReason;
  // Without Accessibility: the text key saying what is missing for it (no
  // session bus, no accessibility bus) and what to do; empty when unknown.
  std::string accessibilityProblemKey;
  // Typing keys another program holds, which the tap can only hear; empty
  // when every key is the tap's.
  std::vector<std::string> keysHeldByOthers;
  // The switcher key's name when another program holds it as it is pressed
  // (it then never reaches the tap); empty otherwise.
  std::string switcherHeldByOthers;

  static StatusItemState of(const EngineSettings& settings, const EngineStatus& status,
                             const EngineAccessibility& accessibility, const Platform& platform);
};

// The switcher key's name when another program holds it; empty when the tap
// gets it, or without an event system.
std::string switcherHeldByOthers(SwitcherKey key, const EventSystem* events);

// What the pages that choose the switcher key say while another program
// holds the chosen one, naming it, in the settings' language; empty while
// the key is free or nothing can tell.
std::string switcherTakenWarning(const EngineSettings& settings, const EventSystem* events);

// "a, b, c": key names as the tooltip and the setup page list them.
std::string joinedKeyNames(const std::vector<std::string>& names);

// Looks up `key` in the interface language and wording level of `state`.
std::string localizedText(const StatusItemState& state, const std::string& key);

// ------------------------------------------------------------------ icon

// Colours the icon is drawn in. pausedGray is a fixed grey (white 0.55,
// opaque); the others follow the desktop theme.
enum class StatusColor { pausedGray, systemOrange, systemYellow, systemGreen, label };
const char* statusColorName(StatusColor color);

struct StatusIconInputs {
  bool capsLockOn = false;
  bool secureInputActive = false;
  bool ignoredIndicator = false;
  bool logoBadge = false;  // no refresh asks for it
  bool accessibilityMissing = false;
  bool keysPartial = false;

  static StatusIconInputs of(const StatusItemState& state);
  bool operator==(const StatusIconInputs&) const = default;
};

// Rectangles in points, y upwards from the icon's bottom edge.
struct StatusRect {
  double x = 0, y = 0, width = 0, height = 0;
  bool operator==(const StatusRect&) const = default;
};

struct StatusBar {
  StatusRect rect;
  double cornerRadius = 1.25;
  StatusColor color = StatusColor::systemGreen;
  bool operator==(const StatusBar&) const = default;
};

struct StatusIconLayout {
  double width = 0, height = 0;
  StatusRect symbol;
  std::vector<StatusBar> bars;
  std::optional<StatusRect> logo;
};

struct StatusIconSpec {
  static constexpr double kPointSize = 19.0;
  static constexpr const char* kAccessibilityDescription = "Tessavinor";

  std::string symbol;  // "pause.circle.fill", "exclamationmark.triangle.fill", …
  StatusColor color = StatusColor::label;
  bool capsLockBar = false;
  bool ignoredBar = false;
  bool logoBadge = false;

  // The symbol is lifted to make room for the bars below it.
  double lift() const { return (capsLockBar || ignoredBar) ? 3.0 : 0.0; }
  // Where everything goes for a symbol image of `symbolWidth` by
  // `symbolHeight` points. The icon is in colour, never a template image.
  StatusIconLayout layout(double symbolWidth, double symbolHeight) const;
  bool operator==(const StatusIconSpec&) const = default;
};

// The first state that holds wins: paused, Accessibility missing, tap dead,
// secure input, else the plain keyboard.
StatusIconSpec statusIcon(const StatusItemState& state, const StatusIconInputs& inputs);
inline StatusIconSpec statusIcon(const StatusItemState& state) {
  return statusIcon(state, StatusIconInputs::of(state));
}

// --------------------------------------------------------------- tooltip

// No keys on this desktop, else Accessibility missing, else torn down, else
// tap dead, else the version.
std::string statusTooltip(const StatusItemState& state, bool accessibilityMissing);
inline std::string statusTooltip(const StatusItemState& state) {
  return statusTooltip(state, !state.isAccessibilityGranted);
}

// ----------------------------------------------------------------- click

enum class StatusClickKind { none, leftMouseUp, rightMouseUp, otherMouseUp };

struct StatusClick {
  StatusClickKind kind = StatusClickKind::none;
  uint64_t modifierFlags = 0;  // Control is 0x40000
};

enum class StatusClickAction { openMenu, restartTap, openDashboard };
const char* statusClickActionName(StatusClickAction action);

// A right click or a Control-click opens the menu; any other click restarts
// a torn-down tap, or else opens the dashboard.
StatusClickAction statusClickAction(const StatusClick& click, bool isEmergencyTornDown);

// --------------------------------------------------------- notifications

// What one notification redraws. An override replaces the engine's value of
// that icon input for this drawing only.
struct StatusRefresh {
  bool image = false;
  bool tooltip = false;
  std::optional<bool> capsLockOn;
  std::optional<bool> ignoredIndicator;
  bool operator==(const StatusRefresh&) const = default;
};

// None for a notification the item does not redraw on, and for one that
// lacks the boolean its handler needs ("isEnabled", "isIgnored",
// "isAvailable").
std::optional<StatusRefresh> statusRefreshFor(const Notification& notification);

// The notifications the tray item observes, in the order they are registered.
const std::vector<std::string>& statusItemNotificationNames();

}  // namespace tessa
