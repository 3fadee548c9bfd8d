#include "app_core/dashboard/community_stats_model.h"

#include "engine/engine_settings.h"
#include "engine/hud_notice_sink.h"

namespace tessa {

CommunityStatsModel::Texts CommunityStatsModel::texts(const EngineSettings& settings) {
  Texts t;
  t.title = settings.localized("about_community_title");
  t.description = settings.localized("about_community_desc");
  t.timeSaved = settings.localized("about_community_time_saved");
  t.users = settings.localized("about_community_users");
  t.corrections = settings.localized("about_community_corrections");
  t.shareToggle = settings.localized("about_share_toggle");
  if (settings.appLanguage.get() == "th") {
    t.pendingHeadline = "✅ ขอบคุณที่ร่วมเดินทางไปด้วยกันครับ!";
    t.pendingBody = "ระบบกำลังรวบรวมเวลาสะสมจากเพื่อนสมาชิก...\nตัวเลขสถิติจะปรากฏขึ้นเมื่อชุมชนของเราใหญ่พอครับ";
    t.liveConfirmation = "✅ ข้อมูลของคุณถูกนับรวมแล้ว";
    t.optOutNote = "คุณปิดการแชร์ข้อมูลสถิติแล้วครับ";
    t.shareAgain = "เปิดแชร์สถิติอีกครั้ง";
    t.stopSharing = "ยกเลิกการแชร์";
  } else {
    t.pendingHeadline = "✅ Thanks for joining us!";
    t.pendingBody = "We are gathering stats from community members...\nStats will appear when we have enough data.";
    t.liveConfirmation = "✅ Your data is included";
    t.optOutNote = "You've stopped sharing stats.";
    t.shareAgain = "Share Stats Again";
    t.stopSharing = "Stop Sharing";
  }
  return t;
}

std::string CommunityStatsModel::thanksSubMessage(const std::string& language) {
  return language == "th" ? "ปิดเมื่อไหร่ก็ได้ที่หน้านี้ หรือเมนูเกี่ยวกับแอป" : "Turn off anytime on this page or the About view";
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
