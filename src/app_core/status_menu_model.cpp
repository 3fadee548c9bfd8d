#include "app_core/status_menu_model.h"

#include "engine/engine_controls.h"
#include "engine/engine_settings.h"
#include "l10n/localization.h"

namespace tessa {

std::string_view statusMenuActionName(StatusMenuAction action) {
  using A = StatusMenuAction;
  switch (action) {
    case A::none: return "";
    case A::restartAfterEmergencyTeardown: return "restartAfterEmergencyTeardown";
    case A::resumeEngine: return "resumeEngine";
    case A::pauseEngine1h: return "pauseEngine1h";
    case A::pauseEngineDay: return "pauseEngineDay";
    case A::replayOnboarding: return "replayOnboarding";
    case A::toggleHapticFeedback: return "toggleHapticFeedback";
    case A::setHapticIntensityToLight: return "setHapticIntensityToLight";
    case A::setHapticIntensityToMedium: return "setHapticIntensityToMedium";
    case A::setHapticIntensityToStrong: return "setHapticIntensityToStrong";
    case A::setLanguageToTh: return "setLanguageToTh";
    case A::setLanguageToEn: return "setLanguageToEn";
    case A::setLanguageToLo: return "setLanguageToLo";
    case A::setLanguageToVi: return "setLanguageToVi";
    case A::openDashboard: return "openDashboard";
    case A::checkForUpdates: return "checkForUpdates";
    case A::quitApp: return "quitApp";
    case A::toggleSmartCorrection: return "toggleSmartCorrection";
    case A::toggleContrastiveCheck: return "toggleContrastiveCheck";
    case A::toggleFatigueNotification: return "toggleFatigueNotification";
    case A::toggleCopyCache: return "toggleCopyCache";
    case A::clearCopyCache: return "clearCopyCache";
    case A::openQuickPaste: return "openQuickPaste";
  }
  return "";
}

namespace {

StatusMenuItem item(std::string title, StatusMenuAction action, std::string key = "") {
  StatusMenuItem i;
  i.title = std::move(title);
  i.action = action;
  i.keyEquivalent = std::move(key);
  return i;
}

StatusMenuItem label(std::string title) {
  StatusMenuItem i = item(std::move(title), StatusMenuAction::none);
  i.enabled = false;
  return i;
}

StatusMenuItem parent(std::string title, std::vector<StatusMenuItem> submenu) {
  StatusMenuItem i = item(std::move(title), StatusMenuAction::none);
  i.submenu = std::move(submenu);
  return i;
}

// Strengths as stored: 1 light, 2 medium, 0 strong.
std::vector<StatusMenuItem> hapticSubmenu(const StatusItemState& s) {
  std::vector<StatusMenuItem> m;
  // Without a device the stored choices stay visible but cannot be changed,
  // so a computer that gets one later uses them.
  if (!s.hasHapticDevice) m.push_back(label(localizedText(s, "menu_haptic_unavailable")));
  auto enabled = item(localizedText(s, "tray_haptic_enabled"), StatusMenuAction::toggleHapticFeedback);
  enabled.checked = s.isHapticFeedbackEnabled;
  enabled.enabled = s.hasHapticDevice;
  m.push_back(std::move(enabled));
  m.push_back(StatusMenuItem::separator());
  struct Strength {
    const char* key;
    StatusMenuAction action;
    int64_t value;
  };
  for (const Strength& st : {Strength{"tray_haptic_light", StatusMenuAction::setHapticIntensityToLight, 1},
                             Strength{"tray_haptic_medium", StatusMenuAction::setHapticIntensityToMedium, 2},
                             Strength{"tray_haptic_strong", StatusMenuAction::setHapticIntensityToStrong, 0}}) {
    auto i = item(localizedText(s, st.key), st.action);
    // The stored strength stays visible while haptics are off.
    i.checked = s.hapticIntensityConfirm == st.value;
    i.enabled = s.isHapticFeedbackEnabled && s.hasHapticDevice;
    m.push_back(std::move(i));
  }
  return m;
}

std::vector<StatusMenuItem> languageSubmenu(const StatusItemState& s) {
  struct Language {
    StatusMenuAction action;
    const char* code;
  };
  std::vector<StatusMenuItem> m;
  for (const Language& l : {Language{StatusMenuAction::setLanguageToTh, "th"},
                            Language{StatusMenuAction::setLanguageToEn, "en"},
                            Language{StatusMenuAction::setLanguageToLo, "lo"},
                            Language{StatusMenuAction::setLanguageToVi, "vi"}}) {
    auto i = item(languageMenuName(l.code), l.action);
    i.checked = s.appLanguage == l.code;
    m.push_back(std::move(i));
  }
  return m;
}

}  // namespace

std::string languageMenuTitle(const std::string& appLanguage) {
  return languageMenuHeading(appLanguage);
}

std::vector<StatusMenuItem> buildStatusMenu(const StatusItemState& s) {
  using A = StatusMenuAction;
  std::vector<StatusMenuItem> m;
  if (s.isEmergencyTornDown) {
    m.push_back(item(localizedText(s, "tray_restart_tap"), A::restartAfterEmergencyTeardown));
    m.push_back(StatusMenuItem::separator());
  }
  if (s.isPaused) {
    m.push_back(item(localizedText(s, "tray_resume"), A::resumeEngine));
  } else {
    m.push_back(item(localizedText(s, "tray_pause_hour"), A::pauseEngine1h));
    m.push_back(item(localizedText(s, "tray_pause_day"), A::pauseEngineDay));
  }
  m.push_back(StatusMenuItem::separator());
  m.push_back(item(localizedText(s, "tray_replay_onboarding"), A::replayOnboarding));
  m.push_back(StatusMenuItem::separator());
  m.push_back(label(localizedText(s, s.isAccessibilityGranted ? "status_active" : "status_required")));
  m.push_back(label("Tessavinor v" + s.version + " (Remapper)"));
  m.push_back(parent(localizedText(s, "menu_haptic"), hapticSubmenu(s)));
  m.push_back(StatusMenuItem::separator());
  m.push_back(parent(languageMenuTitle(s.appLanguage), languageSubmenu(s)));
  m.push_back(StatusMenuItem::separator());
  m.push_back(item(localizedText(s, "menu_dashboard"), A::openDashboard, "d"));
  m.push_back(item(localizedText(s, "tray_check_updates"), A::checkForUpdates));
  m.push_back(StatusMenuItem::separator());
  m.push_back(item(localizedText(s, "menu_quit"), A::quitApp, "q"));
  return m;
}

namespace {
void setHapticStrength(const EngineControls& controls, int64_t value) {
  controls.setHapticStrength(value);
  // A sample of the new strength, when haptics are on.
  controls.playHapticSample();
}

void negate(Published<bool>& flag) { flag.set(!flag.get()); }
}  // namespace

void performStatusMenuAction(const EngineSettings& settings, const EngineControls& controls,
                             StatusMenuAction action, StatusMenuActions& shell) {
  using A = StatusMenuAction;
  switch (action) {
    case A::none:
      return;
    case A::restartAfterEmergencyTeardown:
      controls.restartTap();
      return;
    case A::resumeEngine:
      controls.resume();
      return;
    case A::pauseEngine1h:
      controls.pause(1.0, false);
      return;
    case A::pauseEngineDay:
      controls.pause(0, true);
      return;
    case A::toggleHapticFeedback:
      negate(settings.isHapticFeedbackEnabled);
      controls.playHapticSample();
      return;
    case A::setHapticIntensityToLight:
      setHapticStrength(controls, 1);
      return;
    case A::setHapticIntensityToMedium:
      setHapticStrength(controls, 2);
      return;
    case A::setHapticIntensityToStrong:
      setHapticStrength(controls, 0);
      return;
    case A::setLanguageToTh:
      settings.appLanguage.set("th");
      return;
    case A::setLanguageToEn:
      settings.appLanguage.set("en");
      return;
    case A::setLanguageToLo:
      settings.appLanguage.set("lo");
      return;
    case A::setLanguageToVi:
      settings.appLanguage.set("vi");
      return;
    case A::toggleSmartCorrection:
      negate(settings.isSmartCorrectionEnabled);
      return;
    case A::toggleContrastiveCheck:
      negate(settings.useContrastiveFrequencyCheck);
      return;
    case A::toggleFatigueNotification:
      negate(settings.isFatigueNotificationEnabled);
      return;
    case A::replayOnboarding:
      shell.replayOnboarding();
      return;
    case A::openDashboard:
      shell.openDashboard();
      return;
    case A::checkForUpdates:
      shell.checkForUpdates();
      return;
    case A::quitApp:
      shell.quitApp();
      return;
    case A::toggleCopyCache:
      shell.toggleCopyCache();
      return;
    case A::clearCopyCache:
      shell.clearCopyCache();
      return;
    case A::openQuickPaste:
      shell.openQuickPaste();
      return;
  }
}

}  // namespace tessa
