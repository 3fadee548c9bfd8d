#pragma once
// The engine's counters and statistics as the windows see them: the totals
// the usage page and the milestone card show, and the nudge the counters
// raise. A page takes an EngineStats (handed out by
// `KeyboardEngine::statistics()`, referring to the engine's own cells)
// instead of the whole engine.
#include <cstdint>
#include <map>
#include <string>

#include "base/observable.h"

namespace tessa {

struct EngineStats {
  Published<int64_t>& totalKeystrokesSaved;
  Published<int64_t>& totalUndos;
  Published<int64_t>& totalCorrections;
  Published<int64_t>& totalCorrectionsTH;
  Published<int64_t>& totalCorrectionsLO;
  Published<int64_t>& totalCorrectionsEN;
  Published<int64_t>& totalWatchdogRecoveries;
  Published<double>& totalActiveTypingTime;
  Published<double>& totalUsageTime;
  Published<std::map<std::string, int64_t>>& appTypoCounts;
  Published<std::map<std::string, int64_t>>& hourlyTypoCounts;
  Published<int64_t>& prestigeLevel;
  Published<int64_t>& dailyStreakCount;
  Published<std::string>& lastActiveStreakDate;
  // Raised when the corrections reach the milestone; each answer of the card
  // lowers it.
  Published<bool>& showMilestoneNudge;
};

}  // namespace tessa
