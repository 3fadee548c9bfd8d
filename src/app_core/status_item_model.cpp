#include "app_core/status_item_model.h"

#include "base/endpoints.h"
#include "engine/engine_accessibility.h"
#include "engine/engine_notifications.h"
#include "engine/engine_settings.h"
#include "engine/engine_status.h"
#include "l10n/localization.h"
#include "platform/platform.h"

namespace tessa {

StatusItemState StatusItemState::of(const EngineSettings& settings, const EngineStatus& status,
                                    const EngineAccessibility& accessibility, const Platform& platform) {
  StatusItemState s;
  s.isPaused = status.isPaused.get();
  s.isAccessibilityGranted = accessibility.isGranted.get();
  if (!s.isAccessibilityGranted) s.accessibilityProblemKey = accessibility.problemKey();
  s.isEventTapDead = status.isEventTapDead.get();
  s.isEmergencyTornDown = status.isEmergencyTornDown();
  s.isSecureInputActive = status.isSecureInputActive.get();
  s.isCapsLockOn = status.isCapsLockOn.get();
  s.hasIgnoredWord = status.hasIgnoredWord();
  s.isHapticFeedbackEnabled = settings.isHapticFeedbackEnabled.get();
  s.hapticIntensityConfirm = status.hapticIntensityConfirm();
  s.hasHapticDevice = platform.haptics && platform.haptics->hasActuator();
  s.appLanguage = settings.appLanguage.get();
  s.proWording = settings.appCopywritingLevel.get() == CopywritingLevel::pro;
  s.version = AppInfo::versionString();
  if (const auto* events = platform.events; events && !events->filtersEveryKey())
    s.keysHeldByOthers = events->keysHeldByOthers();
  s.switcherHeldByOthers = tessa::switcherHeldByOthers(settings.switcherKey.get(), platform.events);
  return s;
}

std::string localizedText(const StatusItemState& state, const std::string& key) {
  return LocalizedTable::shared().localized(key, state.appLanguage, state.proWording);
}

// ------------------------------------------------------------------ icon

const char* statusColorName(StatusColor color) {
  switch (color) {
    case StatusColor::pausedGray:
      return "pausedGray";
    case StatusColor::systemOrange:
      return "systemOrange";
    case StatusColor::systemYellow:
      return "systemYellow";
    case StatusColor::systemGreen:
      return "systemGreen";
    case StatusColor::label:
      break;
  }
  return "label";
}

StatusIconInputs StatusIconInputs::of(const StatusItemState& state) {
  StatusIconInputs in;
  in.capsLockOn = state.isCapsLockOn;
  in.secureInputActive = state.isSecureInputActive;
  in.ignoredIndicator = state.hasIgnoredWord;
  in.logoBadge = false;
  in.accessibilityMissing = !state.isAccessibilityGranted;
  in.keysPartial = !state.keysHeldByOthers.empty() || !state.switcherHeldByOthers.empty();
  return in;
}

StatusIconSpec statusIcon(const StatusItemState& state, const StatusIconInputs& inputs) {
  StatusIconSpec spec;
  if (state.isPaused) {
    spec.symbol = "pause.circle.fill";
    spec.color = StatusColor::pausedGray;
  } else if (inputs.accessibilityMissing) {
    spec.symbol = "exclamationmark.triangle.fill";
    spec.color = StatusColor::systemOrange;
  } else if (state.isEventTapDead) {
    spec.symbol = "bolt.slash.fill";
    spec.color = StatusColor::systemOrange;
  } else if (inputs.secureInputActive) {
    spec.symbol = "lock.fill";
    spec.color = StatusColor::systemYellow;
  } else if (inputs.keysPartial) {
    spec.symbol = "exclamationmark.triangle.fill";
    spec.color = StatusColor::systemYellow;
  } else {
    spec.symbol = "keyboard.fill";
    spec.color = StatusColor::label;
  }
  spec.capsLockBar = inputs.capsLockOn;
  spec.ignoredBar = inputs.ignoredIndicator;
  spec.logoBadge = inputs.logoBadge;
  return spec;
}

StatusIconLayout StatusIconSpec::layout(double w, double h) const {
  constexpr double kInset = 2.0, kBarHeight = 2.5, kBarY = 0.25, kLogoSize = 16.0, kLogoOffset = 14.0;
  StatusIconLayout out;
  out.width = w;
  out.height = h + lift();
  out.symbol = {0, lift(), w, h};
  const double b = w - 2 * kInset;
  if (capsLockBar && ignoredBar) {
    // Caps Lock on the left half, the ignored word on the right.
    out.bars.push_back({{kInset, kBarY, b / 2, kBarHeight}, 1.25, StatusColor::systemGreen});
    out.bars.push_back({{kInset + b / 2, kBarY, b / 2, kBarHeight}, 1.25, StatusColor::systemOrange});
  } else if (capsLockBar) {
    out.bars.push_back({{kInset, kBarY, b, kBarHeight}, 1.25, StatusColor::systemGreen});
  } else if (ignoredBar) {
    out.bars.push_back({{kInset, kBarY, b, kBarHeight}, 1.25, StatusColor::systemOrange});
  }
  if (logoBadge) out.logo = StatusRect{out.width - kLogoOffset, out.height - kLogoOffset, kLogoSize, kLogoSize};
  return out;
}

// --------------------------------------------------------------- tooltip

namespace {
// The switcher key as Linux desktops label their keys; displayName is the
// log's, which keeps the other platform's modifier names.
std::string_view switcherKeyLabel(SwitcherKey key) {
  switch (key) {
    case SwitcherKey::optionSpace: return "Alt+Space";
    case SwitcherKey::controlSpace: return "Ctrl+Space";
    case SwitcherKey::commandSpace: return "Super+Space";
    default: return displayName(key);
  }
}
}  // namespace

std::string switcherHeldByOthers(SwitcherKey key, const EventSystem* events) {
  if (!events) return {};
  uint16_t code = keycode::space;
  uint64_t mods = 0;
  switch (key) {
    case SwitcherKey::capslock: code = keycode::capsLock; break;
    case SwitcherKey::grave: code = keycode::grave; break;
    case SwitcherKey::optionSpace: mods = flags::option; break;
    case SwitcherKey::controlSpace: mods = flags::control; break;
    case SwitcherKey::commandSpace: mods = flags::command; break;
  }
  return events->comboHeldByOthers(code, mods) ? std::string(switcherKeyLabel(key)) : std::string();
}

std::string switcherTakenWarning(const EngineSettings& settings, const EventSystem* events) {
  std::string held = switcherHeldByOthers(settings.switcherKey.get(), events);
  return held.empty() ? held : formatLocalized(settings.localized("settings_switcher_taken"), {held});
}

std::string joinedKeyNames(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) out += (out.empty() ? "" : ", ") + n;
  return out;
}

std::string statusTooltip(const StatusItemState& state, bool accessibilityMissing) {
  if (!state.keysUnavailableReason.empty())
    return formatLocalized(localizedText(state, "tray_tooltip_no_keys"), {state.keysUnavailableReason});
  if (accessibilityMissing && !state.accessibilityProblemKey.empty())
    return formatLocalized(localizedText(state, "tray_tooltip_ax_unavailable"),
                           {localizedText(state, state.accessibilityProblemKey)});
  if (accessibilityMissing) return localizedText(state, "tray_tooltip_ax_lost");
  if (state.isEmergencyTornDown) return localizedText(state, "tray_tooltip_torn_down");
  if (state.isEventTapDead) return localizedText(state, "tray_tooltip_tap_dead");
  if (!state.switcherHeldByOthers.empty())
    return formatLocalized(localizedText(state, "tray_tooltip_switcher_taken"), {state.switcherHeldByOthers});
  if (!state.keysHeldByOthers.empty())
    return formatLocalized(localizedText(state, "tray_tooltip_keys_partial"), {joinedKeyNames(state.keysHeldByOthers)});
  return formatLocalized(localizedText(state, "tray_tooltip_version"), {state.version});
}

// ----------------------------------------------------------------- click

const char* statusClickActionName(StatusClickAction action) {
  switch (action) {
    case StatusClickAction::openMenu:
      return "openMenu";
    case StatusClickAction::restartTap:
      return "restartTap";
    case StatusClickAction::openDashboard:
      break;
  }
  return "openDashboard";
}

StatusClickAction statusClickAction(const StatusClick& click, bool isEmergencyTornDown) {
  constexpr uint64_t kControl = 0x40000;
  if (click.kind == StatusClickKind::rightMouseUp) return StatusClickAction::openMenu;
  if (click.kind != StatusClickKind::none && (click.modifierFlags & kControl)) return StatusClickAction::openMenu;
  return isEmergencyTornDown ? StatusClickAction::restartTap : StatusClickAction::openDashboard;
}

// --------------------------------------------------------- notifications

namespace {
std::optional<bool> userInfoBool(const Notification& n, const char* key) {
  if (!n.userInfo.is_object()) return std::nullopt;
  auto it = n.userInfo.find(key);
  if (it == n.userInfo.end() || !it->is_boolean()) return std::nullopt;
  return it->get<bool>();
}
}  // namespace

std::optional<StatusRefresh> statusRefreshFor(const Notification& n) {
  StatusRefresh r;
  if (n.name == notification::capsLockStateChanged) {
    auto on = userInfoBool(n, "isEnabled");
    if (!on) return std::nullopt;
    r.image = true;
    r.capsLockOn = on;
  } else if (n.name == notification::secureInputStateChanged) {
    r.image = true;
  } else if (n.name == notification::ignoredWordStateChanged) {
    auto ignored = userInfoBool(n, "isIgnored");
    if (!ignored) return std::nullopt;
    r.image = true;
    r.ignoredIndicator = ignored;
  } else if (n.name == notification::axAvailabilityChanged) {
    if (!userInfoBool(n, "isAvailable")) return std::nullopt;
    r.image = r.tooltip = true;
  } else if (n.name == notification::accessibilityStateChanged || n.name == notification::appPauseStateChanged) {
    r.image = r.tooltip = true;
  } else {
    // "AppLanguageChanged" among them: the menu is rebuilt at each opening.
    return std::nullopt;
  }
  return r;
}

const std::vector<std::string>& statusItemNotificationNames() {
  static const std::vector<std::string> names{
      notification::appLanguageChanged,       notification::capsLockStateChanged,
      notification::secureInputStateChanged,  notification::ignoredWordStateChanged,
      notification::axAvailabilityChanged,    notification::accessibilityStateChanged,
      notification::appPauseStateChanged};
  return names;
}

}  // namespace tessa
