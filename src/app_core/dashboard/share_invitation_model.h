#pragma once
// The share invitation's two answers and its texts. Either answer marks the
// invitation as seen and records that the user was asked; only accepting
// switches sharing on and thanks the user in the HUD.
#include <string>
#include <vector>

namespace tessa {

class KeyboardEngine;

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

  static void accept(KeyboardEngine& engine);
  static void decline(KeyboardEngine& engine);
};

}  // namespace tessa
