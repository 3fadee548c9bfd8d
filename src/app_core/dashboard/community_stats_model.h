#pragma once
// The community statistics box without any toolkit: its texts in the
// engine's language, the three values its row shows for a state, and its
// three buttons, which write the sharing settings and thank or confirm in
// the HUD. It keeps no state; the page hands it the state to show.
#include <array>
#include <string>

#include "app_core/dashboard/community_share_state.h"

namespace tessa {

struct EngineSettings;
struct HudNotices;

struct CommunityStatsModel {
  struct Texts {
    std::string title, description, timeSaved, users, corrections, shareToggle;
    std::string pendingHeadline, pendingBody, liveConfirmation, optOutNote, shareAgain, stopSharing;
  };
  static Texts texts(const EngineSettings& settings);
  // The second line of the thank-you notice.
  static std::string thanksSubMessage(const std::string& language);

  // Hours, users and corrections for a live state; the blurred placeholder
  // "——" for every other state.
  static std::array<std::string, 3> cellValues(const CommunityShareState& state);
  static bool showsPlaceholder(const CommunityShareState& state);

  // Sharing on and the invitation answered, then the thank-you notice.
  static void join(const EngineSettings& settings, const HudNotices& hud);
  // Sharing on, then the same notice; the invitation is left as it was.
  static void shareAgain(const EngineSettings& settings, const HudNotices& hud);
  // Sharing off, then the notice saying so, without a second line.
  static void stopSharing(const EngineSettings& settings, const HudNotices& hud);
};

}  // namespace tessa
