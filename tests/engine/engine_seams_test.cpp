// The narrow views the engine hands to the windows: each reference is bound
// to the engine's cell of the same name (the views are filled by position,
// where two cells of one type can trade places unnoticed), each reading
// reads this engine now, and a view kept past the engine does nothing.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/engine_controls.h"
#include "engine/engine_status.h"
#include "engine/engine_views.h"
#include "engine/keyboard_engine.h"
#include "support/engine_fixture.h"

namespace tessa {
namespace {

using test::EngineFixture;

TEST(EngineSeams, EveryCellOfEveryViewIsTheEnginesCellOfThatName) {
  EngineFixture f;
  auto e = f.start();
  const EngineViews v = e->views();

  const EngineSettings& s = v.settings;
  EXPECT_EQ(&s.appLanguage, &e->appLanguage);
  EXPECT_EQ(&s.appCopywritingLevel, &e->appCopywritingLevel);
  EXPECT_EQ(&s.appMode, &e->appMode);
  EXPECT_EQ(&s.switcherKey, &e->switcherKey);
  EXPECT_EQ(&s.isHapticFeedbackEnabled, &e->isHapticFeedbackEnabled);
  EXPECT_EQ(&s.isSmartCorrectionEnabled, &e->isSmartCorrectionEnabled);
  EXPECT_EQ(&s.useContrastiveFrequencyCheck, &e->useContrastiveFrequencyCheck);
  EXPECT_EQ(&s.isFatigueNotificationEnabled, &e->isFatigueNotificationEnabled);
  EXPECT_EQ(&s.isShareUsageTimeEnabled, &e->isShareUsageTimeEnabled);
  EXPECT_EQ(&s.hasSeenShareInvitation, &e->hasSeenShareInvitation);
  EXPECT_EQ(&s.hasCompletedOnboarding, &e->hasCompletedOnboarding);
  EXPECT_EQ(&s.hasSeenMilestoneNudge, &e->hasSeenMilestoneNudge);
  EXPECT_EQ(&s.remindLaterCorrectionsThreshold, &e->remindLaterCorrectionsThreshold);
  EXPECT_EQ(&s.hasShownUndoBoundaryHint, &e->hasShownUndoBoundaryHint);
  EXPECT_EQ(&s.excludedBundleIDs, &e->excludedBundleIDs);
  EXPECT_EQ(&s.profiles, &e->profiles);
  EXPECT_EQ(&s.activeProfileName, &e->activeProfileName);
  EXPECT_EQ(&s.defaults, &e->defaults());
  EXPECT_EQ(&s.notifications, &e->notifications());

  const EngineStats& t = v.stats;
  EXPECT_EQ(&t.totalKeystrokesSaved, &e->totalKeystrokesSaved);
  EXPECT_EQ(&t.totalUndos, &e->totalUndos);
  EXPECT_EQ(&t.totalCorrections, &e->totalCorrections);
  EXPECT_EQ(&t.totalCorrectionsTH, &e->totalCorrectionsTH);
  EXPECT_EQ(&t.totalCorrectionsLO, &e->totalCorrectionsLO);
  EXPECT_EQ(&t.totalCorrectionsEN, &e->totalCorrectionsEN);
  EXPECT_EQ(&t.totalWatchdogRecoveries, &e->totalWatchdogRecoveries);
  EXPECT_EQ(&t.totalActiveTypingTime, &e->totalActiveTypingTime);
  EXPECT_EQ(&t.totalUsageTime, &e->totalUsageTime);
  EXPECT_EQ(&t.appTypoCounts, &e->appTypoCounts);
  EXPECT_EQ(&t.hourlyTypoCounts, &e->hourlyTypoCounts);
  EXPECT_EQ(&t.prestigeLevel, &e->prestigeLevel);
  EXPECT_EQ(&t.dailyStreakCount, &e->dailyStreakCount);
  EXPECT_EQ(&t.lastActiveStreakDate, &e->lastActiveStreakDate);
  EXPECT_EQ(&t.showMilestoneNudge, &e->showMilestoneNudge);

  const EngineStatus status = e->status();
  EXPECT_EQ(&status.isPaused, &e->isPaused);
  EXPECT_EQ(&status.isEventTapDead, &e->isEventTapDead);
  EXPECT_EQ(&status.isSecureInputActive, &e->isSecureInputActive);
  EXPECT_EQ(&status.isCapsLockOn, &e->isCapsLockOn);
  EXPECT_EQ(&status.isAXAvailableInFocusedApp, &e->isAXAvailableInFocusedApp);
  EXPECT_EQ(&status.correctionsFired, &e->counters.correctionFired);
  EXPECT_EQ(&status.onLiveBufferChanged, &e->flow.onLiveBufferChanged);

  const EngineAccessibility& a = v.accessibility;
  EXPECT_EQ(&a.isGranted, &e->isAccessibilityGranted);
  EXPECT_EQ(&a.programToRestart, &e->programToRestart);
  EXPECT_EQ(&a.repairHandler, &e->permission.repairHandler);

  EXPECT_EQ(&v.context.platform, &e->platform());
  EXPECT_EQ(&v.context.main, &e->mainQueue());
  EXPECT_EQ(&v.context.clock, &e->clock());
  EXPECT_EQ(v.context.owner.lock(), e);
}

TEST(EngineSeams, ReadingsAndCallsGoToTheEngineAsItIsNow) {
  EngineFixture f;
  auto e = f.start();
  const EngineStatus status = e->status();
  const EngineAccessibility accessibility = e->accessibility();
  const EngineContext context = e->context();

  EXPECT_FALSE(status.isEmergencyTornDown());
  e->recovery.isEmergencyTornDown = true;
  EXPECT_TRUE(status.isEmergencyTornDown());
  EXPECT_FALSE(status.hasIgnoredWord());
  e->setLastUndoneWord("teh");
  EXPECT_TRUE(status.hasIgnoredWord());
  e->defaults().setInteger("hapticIntensityConfirm", 0);
  EXPECT_EQ(status.hapticIntensityConfirm(), e->hapticIntensityConfirm());
  EXPECT_EQ(accessibility.problemKey(), e->accessibilityProblemKey());

  // The repair goes through the handler the engine holds now.
  std::vector<std::pair<bool, bool>> repairs;
  accessibility.repairHandler = [&](bool automatic, bool confirmed) { repairs.emplace_back(automatic, confirmed); };
  accessibility.repair(true, false);
  EXPECT_EQ(repairs, (std::vector<std::pair<bool, bool>>{{true, false}}));

  context.log("a line from a page");
  auto lines = e->diagnosticLogs();
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& l) { return l.find("a line from a page") != std::string::npos; }),
            lines.end());
  context.console("a console line");
  ASSERT_FALSE(f.systemLog.consoleLines.empty());
  EXPECT_NE(f.systemLog.consoleLines.back().find("a console line"), std::string::npos);
}

TEST(EngineSeams, ViewsKeptPastTheEngineDoNothing) {
  EngineFixture f;
  auto e = f.start();
  f.runner.runUntilIdle();
  const EngineViews v = e->views();
  const EngineControls controls = e->controls();
  const size_t consoleLines = f.systemLog.consoleLines.size();
  e.reset();
  f.engine.reset();

  ASSERT_TRUE(v.context.owner.expired());
  v.context.log("after the engine");
  v.context.console("after the engine");
  v.accessibility.request(false);
  v.accessibility.openSettings();
  v.accessibility.repair(false, true);
  controls.pause(1.0, false);
  controls.resume();
  controls.restartTap();
  controls.setHapticStrength(0);
  controls.playHapticSample();
  v.hud.dismissStatus(0);
  EXPECT_EQ(v.hud.panel(), nullptr);
  f.runner.runUntilIdle();
  EXPECT_EQ(f.systemLog.consoleLines.size(), consoleLines);
  EXPECT_FALSE(f.defaults->hasStoredValue("hapticIntensityConfirm"));
}

}  // namespace
}  // namespace tessa
