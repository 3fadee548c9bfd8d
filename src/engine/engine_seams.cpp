// The narrow views the engine hands to the windows: its settings cells, its
// counters, its HUD notices, what it runs on, its Accessibility trust, its
// run-time state and controls for the tray, and its reports, each without
// the rest of the engine.
#include <type_traits>

#include "engine/engine_context.h"
#include "engine/engine_controls.h"
#include "engine/engine_status.h"
#include "engine/engine_views.h"
#include "engine/hud_notices.h"
#include "engine/keyboard_engine.h"
#include "engine/reporting.h"

namespace tessa {

EngineSettings KeyboardEngine::settings() {
  return EngineSettings{
      appLanguage,
      appCopywritingLevel,
      appMode,
      switcherKey,
      isHapticFeedbackEnabled,
      isSmartCorrectionEnabled,
      useContrastiveFrequencyCheck,
      isFatigueNotificationEnabled,
      isShareUsageTimeEnabled,
      hasSeenShareInvitation,
      hasCompletedOnboarding,
      hasSeenMilestoneNudge,
      remindLaterCorrectionsThreshold,
      hasShownUndoBoundaryHint,
      excludedBundleIDs,
      profiles,
      activeProfileName,
      defaults(),
      notifications(),
      [this](const std::string& key) { return localized(key); },
      [this](std::function<void()> callback) { return subscribeWillChange(std::move(callback)); },
  };
}

EngineStats KeyboardEngine::statistics() {
  return EngineStats{
      totalKeystrokesSaved, totalUndos,         totalCorrections,   totalCorrectionsTH,
      totalCorrectionsLO,   totalCorrectionsEN, totalWatchdogRecoveries, totalActiveTypingTime,
      totalUsageTime,       appTypoCounts,      hourlyTypoCounts,   prestigeLevel,
      dailyStreakCount,     lastActiveStreakDate, showMilestoneNudge,
  };
}

HudNotices KeyboardEngine::hudNotices() {
  // Weak, so a notice asked for after the engine is gone does nothing.
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  HudNotices notices;
  notices.showReverted = [weak](const std::string& message, const std::string& subMessage) {
    if (auto engine = weak.lock()) engine->showRevertedNotice(message, subMessage);
  };
  notices.showStatus = [weak](const std::string& message, const std::string& subMessage, const std::string& icon,
                              HudColor color, std::optional<double> duration) {
    if (auto engine = weak.lock()) showStatusHUD(*engine, message, subMessage, icon, color, duration);
  };
  notices.show = [weak](DisplayState state, int priority, bool belowStatusButton, bool topCenter, bool persistent) {
    if (auto engine = weak.lock())
      showHUDNotice(*engine, std::move(state), priority, belowStatusButton, topCenter, persistent);
  };
  notices.dismissStatus = [weak](double duration) {
    if (auto engine = weak.lock()) dismissStatusHUD(*engine, duration);
  };
  notices.panel = [weak]() -> UnifiedMenuPanel* {
    auto engine = weak.lock();
    return engine ? hudPanelFor(*engine) : nullptr;
  };
  return notices;
}

namespace {

// `action` on the engine while it lives; nothing once it is gone.
template <class... Args>
std::function<void(Args...)> whileAlive(std::weak_ptr<KeyboardEngine> weak,
                                        std::type_identity_t<void (*)(KeyboardEngine&, Args...)> action) {
  return [weak, action](Args... args) {
    if (auto engine = weak.lock()) action(*engine, args...);
  };
}

}  // namespace

EngineContext KeyboardEngine::context() {
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  return EngineContext{
      env_.platform,
      mainQueue(),
      clock(),
      whileAlive<const std::string&>(weak, [](KeyboardEngine& e, const std::string& line) { e.log(line); }),
      whileAlive<const std::string&>(weak,
                                     [](KeyboardEngine& e, const std::string& line) { e.appLog().console(line); }),
      weak,
  };
}

EngineAccessibility KeyboardEngine::accessibility() {
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  return EngineAccessibility{
      isAccessibilityGranted,
      programToRestart,
      [this](const ProgramToRestart& program) { return isStillRunning(program); },
      [this] { return accessibilityProblemKey(); },
      whileAlive<bool>(weak, [](KeyboardEngine& e, bool prompt) { e.requestAccessibility(prompt); }),
      whileAlive<>(weak, [](KeyboardEngine& e) { e.openAccessibilitySettings(); }),
      whileAlive<bool, bool>(weak, [](KeyboardEngine& e, bool automatic, bool userConfirmed) {
        e.repairAccessibilityGrant(automatic, userConfirmed);
      }),
      permission.repairHandler,
  };
}

EngineStatus KeyboardEngine::status() {
  return EngineStatus{
      isPaused,
      isEventTapDead,
      isSecureInputActive,
      isCapsLockOn,
      isAXAvailableInFocusedApp,
      counters.correctionFired,
      [this] { return recovery.isEmergencyTornDown; },
      [this] { return flow.lastUndoneWord.has_value(); },
      [this] { return hapticIntensityConfirm(); },
      [this] { return capsLockState(); },
      [this] { return frontmostAppTextAccess(); },
      flow.onLiveBufferChanged,
  };
}

EngineControls KeyboardEngine::controls() {
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  return EngineControls{
      whileAlive<double, bool>(weak, [](KeyboardEngine& e, double hours, bool untilTomorrow) {
        e.pause(hours, untilTomorrow);
      }),
      whileAlive<>(weak, [](KeyboardEngine& e) { e.resume(); }),
      whileAlive<>(weak, [](KeyboardEngine& e) { e.userRestartTap(); }),
      whileAlive<int64_t>(weak,
                          [](KeyboardEngine& e, int64_t strength) {
                            e.persistProfileInteger(ProfileIntegerField::hapticIntensityConfirm,
                                                    setting::hapticIntensityConfirm, strength);
                            e.persistProfileInteger(ProfileIntegerField::hapticIntensityAlert,
                                                    setting::hapticIntensityAlert, strength);
                          }),
      whileAlive<>(weak, [](KeyboardEngine& e) { e.playCorrectionHaptic(false); }),
  };
}

EngineReports KeyboardEngine::reports() {
  return EngineReports{
      [this] { return stabilityReportSource(*this); },
      [this] { return reportUploadEnvironment(*this); },
      [this] { return telemetryEnvironment(*this); },
  };
}

EngineViews KeyboardEngine::views() {
  return EngineViews{settings(), statistics(), hudNotices(), context(), accessibility(), reports()};
}

}  // namespace tessa
