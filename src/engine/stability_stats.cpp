// Per-day stability statistics: what today's tap went through, kept for the
// last 30 days in one small JSON file, written when it changed and
// synchronously at quit.
#include <algorithm>
#include <filesystem>

#include "base/files.h"
#include "engine/keyboard_engine.h"

namespace tessa {

namespace fs = std::filesystem;

namespace {
constexpr uint64_t kMaxStatsFileBytes = 1 << 20;

// Today's record, appended when it is not there yet. Caller holds the lock.
StabilityDay& dayRecord(std::vector<StabilityDay>& days, const std::string& key) {
  auto it = std::find_if(days.begin(), days.end(), [&](const StabilityDay& d) { return d.day == key; });
  if (it != days.end()) return *it;
  days.push_back(StabilityDay{key});
  trimStabilityDays(days);
  return *std::find_if(days.begin(), days.end(), [&](const StabilityDay& d) { return d.day == key; });
}
}  // namespace

std::string KeyboardEngine::stabilityDayKey() const { return stabilityDayKeyFor(clock().wallTime()); }

fs::path KeyboardEngine::stabilityStatsURL() const {
  return Paths::applicationSupport() / "tessavinor_stability_stats.json";
}

void KeyboardEngine::statsNoteStall(const std::string& dayKey, int64_t ms) {
  std::lock_guard lock(stability.lock);
  StabilityDay& day = dayRecord(stability.stabilityDays, dayKey);
  day.stallsOver200ms += 1;
  day.longestStallMs = std::max(day.longestStallMs, ms);
  stability.stabilityStatsDirty = true;
}

void KeyboardEngine::statsNoteTapDisabled(const std::string& dayKey) {
  std::lock_guard lock(stability.lock);
  dayRecord(stability.stabilityDays, dayKey).tapDisabled += 1;
  stability.stabilityStatsDirty = true;
}

void KeyboardEngine::updateTodayStabilityDay(const std::function<void(StabilityDay&)>& mutation) {
  std::string key = stabilityDayKey();
  std::lock_guard lock(stability.lock);
  mutation(dayRecord(stability.stabilityDays, key));
  stability.stabilityStatsDirty = true;
}

std::vector<StabilityDay> KeyboardEngine::stabilityDaysSnapshot() {
  std::lock_guard lock(stability.lock);
  return stability.stabilityDays;
}

void KeyboardEngine::loadStabilityStats() {
  fs::path path = stabilityStatsURL();
  std::vector<StabilityDay> loaded;
  auto keepAside = [&](const std::string& why) {
    auto aside = moveAsideCorrupt(path);
    const std::string line = "loadStabilityStats: unreadable statistics file (" + why + ") " +
                             (aside ? "moved aside to " + aside->string() : "could not be moved aside");
    log(line);
    // Also where every other file set aside is told of, not only in our own log.
    appLog().console(line);
  };
  if (auto read = readFileWithin(path, kMaxStatsFileBytes)) {
    try {
      loaded = decodeStabilityDays(*read.contents);
    } catch (const std::exception& error) {
      keepAside(error.what());
    }
  } else if (read.tooLarge) {
    keepAside(read.error);
  }
  std::lock_guard lock(stability.lock);
  // Anything counted before the file was read (a stall during launch) joins
  // the stored day.
  for (const auto& mine : stability.stabilityDays) {
    auto same = std::find_if(loaded.begin(), loaded.end(), [&](const StabilityDay& d) { return d.day == mine.day; });
    if (same != loaded.end())
      same->merge(mine);
    else
      loaded.push_back(mine);
  }
  size_t before = loaded.size();
  trimStabilityDays(loaded);
  if (loaded.size() != before) stability.stabilityStatsDirty = true;
  stability.stabilityDays = std::move(loaded);
}

void KeyboardEngine::saveStabilityStats(bool synchronously) {
  std::string data;
  {
    std::lock_guard lock(stability.lock);
    if (!stability.stabilityStatsDirty) return;
    data = encodeStabilityDays(stability.stabilityDays);
    stability.stabilityStatsDirty = false;
  }
  fs::path path = stabilityStatsURL();
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  TaskRunner* main = &mainQueue();
  auto write = [path, data, weak, main] {
    auto result = writeFileAtomically(path, data, 0600);
    if (result) return;
    // Keep the figures for the next attempt and say why this one failed.
    main->post([weak, error = result.error] {
      auto e = weak.lock();
      if (!e) return;
      {
        std::lock_guard lock(e->stability.lock);
        e->stability.stabilityStatsDirty = true;
      }
      e->log("saveStabilityStats: could not write the statistics: " + error);
    });
  };
  auto queue = diagnosticsDiskQueue();
  if (!queue) {
    write();
  } else if (synchronously) {
    queue->runSync(write);
  } else {
    queue->post(write);
  }
}

}  // namespace tessa
