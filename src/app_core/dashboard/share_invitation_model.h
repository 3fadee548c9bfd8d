#pragma once
// The share invitation's two answers and its texts. Either answer marks the
// invitation as seen and records that the user was asked; only accepting
// switches sharing on and thanks the user in the HUD.
#include <string>
#include <vector>

namespace tessa {

struct EngineSettings;
struct HudNotices;

struct ShareInvitationModel {
  // Written by the sheet and the onboarding's consent page; nothing reads it.
  static constexpr const char* kHasPromptedTelemetrySharingKey = "hasPromptedTelemetrySharing";

  struct Point {
    std::string symbol, text;
  };
  struct Texts {
    std::string title, subtitle;
    std::vector<Point> points;
    std::string accept, decline;
  };
  // Thai for "th", English for every other language.
  static Texts texts(const std::string& language);
  static std::string thanksSubMessage(const std::string& language);

  static void accept(const EngineSettings& settings, const HudNotices& hud);
  static void decline(const EngineSettings& settings);
};

}  // namespace tessa
