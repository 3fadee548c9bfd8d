#pragma once
// The per-day stability statistics and the stability journal's line format.
// The statistics keep the last 30 days; the journal is one JSON object per
// line beside the diagnostic log.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tessa {

struct StabilityDay {
  std::string day;               // "yyyy-MM-dd", local time
  int64_t tapDisabled = 0;       // tap-disabled events the system sent
  int64_t stallsOver200ms = 0;   // tap callbacks that took over 200 ms
  int64_t longestStallMs = 0;
  int64_t sleepCycles = 0;
  int64_t launches = 0;          // stability sessions begun

  bool operator==(const StabilityDay&) const = default;
  nlohmann::ordered_json toJson() const;
  // None when `j` is not a day record; missing counters read as 0.
  static std::optional<StabilityDay> fromJson(const nlohmann::json& j);
  // Adds another record of the same day (counts add, the longest stall wins).
  void merge(const StabilityDay& other);
};

inline constexpr size_t kStabilityDaysKept = 30;

// Sorts by day and keeps the newest 30.
void trimStabilityDays(std::vector<StabilityDay>& days);
// The file form: {"version": 1, "days": [...]}; and back (throws
// nlohmann::json::exception or std::runtime_error when it is not that form).
std::string encodeStabilityDays(const std::vector<StabilityDay>& days);
std::vector<StabilityDay> decodeStabilityDays(const std::string& text);

// "yyyy-MM-dd" of a wall time (seconds since 1970) in the local time zone,
// with ASCII digits whatever the user's locale.
std::string stabilityDayKeyFor(double wallTime);

// One journal line (no newline): {"ts": seconds since 1970 to the
// millisecond, "kind", "critical", "fields": {field: text}}.
std::string stabilityJournalLine(double wallTime, const std::string& kind,
                                 const std::map<std::string, std::string>& fields, bool critical);

}  // namespace tessa
