#include "engine/reporting.h"

#include "engine/keyboard_engine.h"

namespace tessa {

namespace {

std::string_view switcherKeyName(SwitcherKey key) {
  switch (key) {
    case SwitcherKey::capslock: return "capslock";
    case SwitcherKey::grave: return "grave";
    case SwitcherKey::optionSpace: return "optionSpace";
    case SwitcherKey::controlSpace: return "controlSpace";
    case SwitcherKey::commandSpace: return "commandSpace";
  }
  return "capslock";
}

std::string operatingSystemVersion(const Platform& platform) {
  return platform.workspace ? platform.workspace->operatingSystemVersion() : std::string();
}

}  // namespace

StabilityReportSource stabilityReportSource(KeyboardEngine& engine) {
  StabilityReportSource s;
  s.switcherKey = std::string(switcherKeyName(engine.switcherKey.get()));
  s.appMode = rawValue(engine.appMode.get());
  s.hapticEnabled = engine.isHapticFeedbackEnabled.get();
  s.smartCorrectionEnabled = engine.isSmartCorrectionEnabled.get();
  s.appLanguage = engine.appLanguage.get();
  s.copywritingLevel = std::string(rawValue(engine.appCopywritingLevel.get()));
  s.accessibilityGranted = engine.isAccessibilityGranted.get();
  s.tapAlive = !engine.isEventTapDead.get();
  s.paused = engine.isPaused.get();
  s.osVersion = operatingSystemVersion(engine.platform());
  s.keyboardLayout = engine.currentInputSourceIDOrDefault();
  s.now = engine.clock().wallTime();
  s.days = engine.stabilityDaysSnapshot();
  s.journal = engine.stabilityLogURL();
  return s;
}

ReportUploadEnvironment reportUploadEnvironment(KeyboardEngine& engine) {
  ReportUploadEnvironment env;
  env.http = engine.platform().http;
  env.mainQueue = &engine.mainQueue();
  env.log = [&engine](const std::string& line) { engine.log(line); };
  env.owner = engine.weak();
  return env;
}

TelemetryEnvironment telemetryEnvironment(KeyboardEngine& engine) {
  TelemetryEnvironment env;
  env.consent = engine.isShareUsageTimeEnabled.get();
  env.defaults = &engine.defaults();
  env.clock = &engine.clock();
  env.http = engine.platform().http;
  env.uptime = engine.uptime();
  env.osVersion = operatingSystemVersion(engine.platform());
  TelemetryCounters& c = env.counters;
  c.usageSeconds = engine.totalUsageTime.get();
  c.activeTypingSeconds = engine.totalActiveTypingTime.get();
  c.corrections = engine.totalCorrections.get();
  c.correctionsTH = engine.totalCorrectionsTH.get();
  c.correctionsEN = engine.totalCorrectionsEN.get();
  c.correctionsLO = engine.totalCorrectionsLO.get();
  c.keystrokesSaved = engine.totalKeystrokesSaved.get();
  c.undos = engine.totalUndos.get();
  c.watchdogRecoveries = engine.totalWatchdogRecoveries.get();
  c.streakDays = engine.dailyStreakCount.get();
  c.inputStalls = engine.counters.inputStallCount.get();
  c.keystrokesDropped = engine.counters.keystrokesDropped.get();
  env.log = [&engine](const std::string& line) { engine.log(line); };
  env.owner = engine.weak();
  return env;
}

}  // namespace tessa
