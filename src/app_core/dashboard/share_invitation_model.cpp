#include "app_core/dashboard/share_invitation_model.h"

#include "base/user_defaults.h"
#include "engine/engine_settings.h"
#include "engine/hud_notice_sink.h"

namespace tessa {

ShareInvitationModel::Texts ShareInvitationModel::texts(const std::string& language) {
  if (language == "th")
    return {"การส่งข้อมูลสถิติการใช้งานแบบไม่ระบุตัวตน",
            "การขอความยินยอมในการส่งข้อมูลสถิติการใช้งานโดยสรุป",
            {{"checkmark.shield", "การคุ้มครองความเป็นส่วนตัว: ไม่มีการบันทึก จัดเก็บ หรือส่งข้อความและปุ่มกดใดๆ"},
             {"chart.pie", "ข้อมูลสรุปเชิงปริมาณ: ส่งเฉพาะตัวเลขสถิติสะสม เช่น คำที่แก้ไขและเวลาทำงาน"},
             {"hand.raised", "สิทธิในการควบคุม: สามารถเปิดหรือปิดการตั้งค่านี้ได้ตลอดเวลา"}},
            "ร่วมแชร์สถิติการใช้งาน",
            "ไม่แชร์สถิติ"};
  return {"Anonymous Usage Statistics",
          "Consent to transmitting anonymous usage statistics",
          {{"checkmark.shield", "Privacy Protected: Keystrokes and text inputs are never collected or transmitted"},
           {"chart.pie", "Aggregate Data: Only statistical counts like corrections and uptime are sent"},
           {"hand.raised", "Full Control: You can change or revoke this setting at any time"}},
          "Share Anonymous Stats",
          "Don't Share"};
}

std::string ShareInvitationModel::thanksSubMessage(const std::string& language) {
  return language == "th" ? "สามารถเปลี่ยนแปลงได้ตลอดเวลาที่หน้าการตั้งค่า หรือเมนูเกี่ยวกับแอป"
                          : "Change anytime in Settings or About view";
}

void ShareInvitationModel::accept(const EngineSettings& settings, const HudNotices& hud) {
  settings.hasSeenShareInvitation.set(true);
  settings.isShareUsageTimeEnabled.set(true);
  settings.defaults.setBool(kHasPromptedTelemetrySharingKey, true);
  hud.showReverted(settings.localized("about_share_hud_on"), thanksSubMessage(settings.appLanguage.get()));
}

void ShareInvitationModel::decline(const EngineSettings& settings) {
  settings.hasSeenShareInvitation.set(true);
  settings.isShareUsageTimeEnabled.set(false);
  settings.defaults.setBool(kHasPromptedTelemetrySharingKey, true);
}

}  // namespace tessa
