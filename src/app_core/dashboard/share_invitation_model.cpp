#include "app_core/dashboard/share_invitation_model.h"

#include "base/user_defaults.h"
#include "engine/engine_settings.h"
#include "engine/hud_notice_sink.h"
#include "l10n/localization.h"

namespace tessa {

ShareInvitationModel::Texts ShareInvitationModel::texts(const std::string& language) {
  auto text = [&language](std::string_view key) { return thaiOrEnglishText(key, language); };
  return {text("about_share_invite_title"),
          text("about_share_invite_subtitle"),
          {{"checkmark.shield", text("about_share_invite_privacy")},
           {"chart.pie", text("about_share_invite_aggregate")},
           {"hand.raised", text("about_share_invite_control")}},
          text("about_share_invite_accept"),
          text("about_share_invite_decline")};
}

std::string ShareInvitationModel::thanksSubMessage(const std::string& language) {
  return thaiOrEnglishText("about_share_thanks_detail", language);
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
