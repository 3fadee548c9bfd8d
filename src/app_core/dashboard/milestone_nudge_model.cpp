#include "app_core/dashboard/milestone_nudge_model.h"

#include <algorithm>
#include <cstdio>

#include "app_core/dashboard/share_invitation_model.h"
#include "engine/keyboard_engine.h"
#include "l10n/localization.h"

namespace tessa {

MilestoneNudgeModel::Texts MilestoneNudgeModel::texts(const KeyboardEngine& engine) {
  Texts t;
  t.title = engine.localized("nudge_celebration_title");
  t.subtitle = formatLocalized(engine.localized("nudge_celebration_subtitle"),
                               {minutesSaved(engine.totalKeystrokesSaved.get()),
                                std::to_string(correctionsShown(engine.totalCorrections.get()))});
  t.join = engine.localized("nudge_btn_join");
  t.remind = engine.localized("nudge_btn_remind");
  t.decline = engine.localized("nudge_btn_decline");
  t.inspect = engine.localized("nudge_inspect_link");
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

void MilestoneNudgeModel::join(KeyboardEngine& engine) {
  engine.isShareUsageTimeEnabled.set(true);
  engine.hasSeenMilestoneNudge.set(true);
  engine.showMilestoneNudge.set(false);
  engine.showRevertedNotice(engine.localized("about_share_hud_on"),
                            ShareInvitationModel::thanksSubMessage(engine.appLanguage.get()));
}

void MilestoneNudgeModel::remindLater(KeyboardEngine& engine) {
  engine.remindLaterCorrectionsThreshold.set(remindThreshold(engine.totalCorrections.get()));
  engine.showMilestoneNudge.set(false);
}

void MilestoneNudgeModel::decline(KeyboardEngine& engine) {
  engine.hasSeenMilestoneNudge.set(true);
  engine.showMilestoneNudge.set(false);
}

}  // namespace tessa
