// The narrow views the engine hands to the windows: its settings cells, its
// counters and its HUD notices, each without the rest of the engine.
#include "engine/engine_settings.h"
#include "engine/engine_stats.h"
#include "engine/hud_notice_sink.h"
#include "engine/hud_notices.h"
#include "engine/keyboard_engine.h"

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

EngineSettings settingsOf(KeyboardEngine& engine) { return engine.settings(); }
EngineStats statisticsOf(KeyboardEngine& engine) { return engine.statistics(); }
HudNotices hudNoticesOf(KeyboardEngine& engine) { return engine.hudNotices(); }

}  // namespace tessa
