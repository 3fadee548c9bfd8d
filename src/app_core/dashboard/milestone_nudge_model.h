#pragma once
// The milestone card's texts and answers. Join and decline end the nudge for
// good; remind later asks again after at least 150 more corrections.
#include <cstdint>
#include <string>

namespace tessa {

struct EngineSettings;
struct EngineStats;
struct HudNotices;

struct MilestoneNudgeModel {
  struct Texts {
    std::string title, subtitle, join, remind, decline, inspect;
  };
  static Texts texts(const EngineSettings& settings, const EngineStats& stats);
  // Keystrokes saved at 200 a minute, at least half a minute, one decimal.
  static std::string minutesSaved(int64_t totalKeystrokesSaved);
  // The corrections the subtitle names: at least one.
  static int64_t correctionsShown(int64_t totalCorrections);
  // The corrections count at which a reminded nudge comes back.
  static int64_t remindThreshold(int64_t totalCorrections);

  static void join(const EngineSettings& settings, const EngineStats& stats, const HudNotices& hud);
  static void remindLater(const EngineSettings& settings, const EngineStats& stats);
  static void decline(const EngineSettings& settings, const EngineStats& stats);
};

}  // namespace tessa
