#include "app_core/dashboard/community_stats_model.h"

#include "engine/engine_settings.h"
#include "engine/hud_notice_sink.h"
#include "l10n/localization.h"

namespace tessa {

CommunityStatsModel::Texts CommunityStatsModel::texts(const EngineSettings& settings) {
  Texts t;
  t.title = settings.localized("about_community_title");
  t.description = settings.localized("about_community_desc");
  t.timeSaved = settings.localized("about_community_time_saved");
  t.users = settings.localized("about_community_users");
  t.corrections = settings.localized("about_community_corrections");
  t.shareToggle = settings.localized("about_share_toggle");
  const std::string language = settings.appLanguage.get();
  t.pendingHeadline = thaiOrEnglishText("about_community_pending_headline", language);
  t.pendingBody = thaiOrEnglishText("about_community_pending_body", language);
  t.liveConfirmation = thaiOrEnglishText("about_community_live_confirmation", language);
  t.optOutNote = thaiOrEnglishText("about_community_opt_out_note", language);
  t.shareAgain = thaiOrEnglishText("about_community_share_again", language);
  t.stopSharing = thaiOrEnglishText("about_community_stop_sharing", language);
  return t;
}

std::string CommunityStatsModel::thanksSubMessage(const std::string& language) {
  return thaiOrEnglishText("about_community_thanks_detail", language);
}

bool CommunityStatsModel::showsPlaceholder(const CommunityShareState& state) {
  return state.kind == CommunityShareState::Kind::preview || state.kind == CommunityShareState::Kind::optOut;
}

std::array<std::string, 3> CommunityStatsModel::cellValues(const CommunityShareState& state) {
  if (state.kind == CommunityShareState::Kind::live && state.totals)
    return {state.totals->hours, std::to_string(state.totals->users), state.totals->sessions};
  return {"——", "——", "——"};
}

void CommunityStatsModel::join(const EngineSettings& settings, const HudNotices& hud) {
  settings.isShareUsageTimeEnabled.set(true);
  settings.hasSeenShareInvitation.set(true);
  hud.showReverted(settings.localized("about_share_hud_on"), thanksSubMessage(settings.appLanguage.get()));
}

void CommunityStatsModel::shareAgain(const EngineSettings& settings, const HudNotices& hud) {
  settings.isShareUsageTimeEnabled.set(true);
  hud.showReverted(settings.localized("about_share_hud_on"), thanksSubMessage(settings.appLanguage.get()));
}

void CommunityStatsModel::stopSharing(const EngineSettings& settings, const HudNotices& hud) {
  settings.isShareUsageTimeEnabled.set(false);
  hud.showReverted(settings.localized("about_share_hud_off"), "");
}

}  // namespace tessa
