#include "app_core/dashboard/share_invitation_model.h"

#include "engine/keyboard_engine.h"
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

void ShareInvitationModel::accept(KeyboardEngine& engine) {
  engine.hasSeenShareInvitation.set(true);
  engine.isShareUsageTimeEnabled.set(true);
  engine.defaults().setBool(kHasPromptedTelemetrySharingKey, true);
  engine.showRevertedNotice(engine.localized("about_share_hud_on"), thanksSubMessage(engine.appLanguage.get()));
}

void ShareInvitationModel::decline(KeyboardEngine& engine) {
  engine.hasSeenShareInvitation.set(true);
  engine.isShareUsageTimeEnabled.set(false);
  engine.defaults().setBool(kHasPromptedTelemetrySharingKey, true);
}

}  // namespace tessa
