#include "app_core/dashboard/milestone_nudge_model.h"

#include <algorithm>
#include <cstdio>

#include "app_core/dashboard/share_invitation_model.h"
#include "engine/engine_settings.h"
#include "engine/engine_stats.h"
#include "engine/hud_notice_sink.h"
#include "l10n/localization.h"

namespace tessa {

MilestoneNudgeModel::Texts MilestoneNudgeModel::texts(const EngineSettings& settings, const EngineStats& stats) {
  Texts t;
  t.title = settings.localized("nudge_celebration_title");
  t.subtitle = formatLocalized(settings.localized("nudge_celebration_subtitle"),
                               {minutesSaved(stats.totalKeystrokesSaved.get()),
                                std::to_string(correctionsShown(stats.totalCorrections.get()))});
  t.join = settings.localized("nudge_btn_join");
  t.remind = settings.localized("nudge_btn_remind");
  t.decline = settings.localized("nudge_btn_decline");
  t.inspect = settings.localized("nudge_inspect_link");
  return t;
}

std::string MilestoneNudgeModel::minutesSaved(int64_t totalKeystrokesSaved) {
  double minutes = std::max(0.5, double(totalKeystrokesSaved) / 200.0);
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.1f", minutes);
  return buffer;
}

int64_t MilestoneNudgeModel::correctionsShown(int64_t totalCorrections) { return std::max<int64_t>(1, totalCorrections); }

int64_t MilestoneNudgeModel::remindThreshold(int64_t totalCorrections) {
  return std::max<int64_t>(totalCorrections + 150, 200);
}

void MilestoneNudgeModel::join(const EngineSettings& settings, const EngineStats& stats, const HudNotices& hud) {
  settings.isShareUsageTimeEnabled.set(true);
  settings.hasSeenMilestoneNudge.set(true);
  stats.showMilestoneNudge.set(false);
  hud.showReverted(settings.localized("about_share_hud_on"),
                   ShareInvitationModel::thanksSubMessage(settings.appLanguage.get()));
}

void MilestoneNudgeModel::remindLater(const EngineSettings& settings, const EngineStats& stats) {
  settings.remindLaterCorrectionsThreshold.set(remindThreshold(stats.totalCorrections.get()));
  stats.showMilestoneNudge.set(false);
}

void MilestoneNudgeModel::decline(const EngineSettings& settings, const EngineStats& stats) {
  settings.hasSeenMilestoneNudge.set(true);
  stats.showMilestoneNudge.set(false);
}

}  // namespace tessa
