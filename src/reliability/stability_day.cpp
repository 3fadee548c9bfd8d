#include "reliability/stability_day.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <stdexcept>

#include <fmt/format.h>

#include "base/json_reading.h"

namespace tessa {

nlohmann::ordered_json StabilityDay::toJson() const {
  nlohmann::ordered_json j;
  j["day"] = day;
  j["tapDisabled"] = tapDisabled;
  j["stallsOver200ms"] = stallsOver200ms;
  j["longestStallMs"] = longestStallMs;
  j["sleepCycles"] = sleepCycles;
  j["launches"] = launches;
  return j;
}

std::optional<StabilityDay> StabilityDay::fromJson(const nlohmann::json& j) {
  if (!j.is_object()) return std::nullopt;
  auto day = j.find("day");
  if (day == j.end() || !day->is_string() || day->get<std::string>().size() != 10) return std::nullopt;
  StabilityDay d;
  d.day = day->get<std::string>();
  auto count = [&j](const char* key) -> int64_t {
    auto it = j.find(key);
    if (it == j.end()) return 0;
    // Counts only: a fraction is cut off, a value out of range counts as none.
    if (auto n = jsonInteger<int64_t>(*it)) return std::max<int64_t>(*n, 0);
    auto d = jsonFiniteNumber(*it);
    if (!d || *d < 0 || *d >= 9.2e18) return 0;
    return static_cast<int64_t>(*d);
  };
  d.tapDisabled = count("tapDisabled");
  d.stallsOver200ms = count("stallsOver200ms");
  d.longestStallMs = count("longestStallMs");
  d.sleepCycles = count("sleepCycles");
  d.launches = count("launches");
  return d;
}

void StabilityDay::merge(const StabilityDay& other) {
  tapDisabled += other.tapDisabled;
  stallsOver200ms += other.stallsOver200ms;
  longestStallMs = std::max(longestStallMs, other.longestStallMs);
  sleepCycles += other.sleepCycles;
  launches += other.launches;
}

void trimStabilityDays(std::vector<StabilityDay>& days) {
  std::stable_sort(days.begin(), days.end(),
                   [](const StabilityDay& a, const StabilityDay& b) { return a.day < b.day; });
  if (days.size() > kStabilityDaysKept) days.erase(days.begin(), days.end() - kStabilityDaysKept);
}

std::string encodeStabilityDays(const std::vector<StabilityDay>& days) {
  nlohmann::ordered_json doc;
  doc["version"] = 1;
  doc["days"] = nlohmann::ordered_json::array();
  for (const auto& d : days) doc["days"].push_back(d.toJson());
  return doc.dump(2) + "\n";
}

std::vector<StabilityDay> decodeStabilityDays(const std::string& text) {
  std::string why;
  auto parsed = parseJsonWithin(text, &why);
  if (!parsed) throw std::runtime_error(why);
  const auto& doc = *parsed;
  if (!doc.is_object() || !doc.contains("days") || !doc["days"].is_array())
    throw std::runtime_error("not a statistics file");
  std::vector<StabilityDay> days;
  for (const auto& item : doc["days"]) {
    auto d = StabilityDay::fromJson(item);
    if (!d) continue;
    auto same = std::find_if(days.begin(), days.end(), [&](const StabilityDay& x) { return x.day == d->day; });
    if (same != days.end())
      same->merge(*d);
    else
      days.push_back(*d);
  }
  return days;
}

std::string stabilityDayKeyFor(double wallTime) {
  time_t secs = static_cast<time_t>(std::floor(wallTime));
  struct tm local {};
  localtime_r(&secs, &local);
  return fmt::format("{:04}-{:02}-{:02}", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

std::string stabilityJournalLine(double wallTime, const std::string& kind,
                                 const std::map<std::string, std::string>& fields, bool critical) {
  nlohmann::ordered_json j;
  j["ts"] = std::round(wallTime * 1000.0) / 1000.0;
  j["kind"] = kind;
  j["critical"] = critical;
  j["fields"] = nlohmann::ordered_json::object();
  for (const auto& [k, v] : fields) j["fields"][k] = v;
  // Texts that are not valid UTF-8 (an application name, say) are replaced,
  // never allowed to throw away the line.
  return j.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace tessa
