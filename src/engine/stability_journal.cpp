// The stability journal: one JSON line per event that matters for the tap's
// health, on the diagnostics disk queue beside the diagnostic log, and the
// session records that bracket each run.
#include <cmath>
#include <filesystem>
#include <system_error>

#include <fmt/format.h>

#include "base/files.h"
#include "engine/keyboard_engine.h"

namespace tessa {

namespace fs = std::filesystem;

namespace {
// Rotated log copies older than this are removed at launch.
constexpr double kOldLogCopyMaxAgeSeconds = 14 * 86400.0;
}  // namespace

fs::path KeyboardEngine::stabilityLogURL() const {
  auto diagnostic = diagnosticLogURL();
  fs::path folder = diagnostic ? diagnostic->parent_path() : Paths::applicationSupport();
  return folder / "tessavinor_stability.jsonl";
}

void KeyboardEngine::recordStabilityEvent(const std::string& kind, const std::map<std::string, std::string>& fields,
                                          bool flagged) {
  std::string line = stabilityJournalLine(clock().wallTime(), kind, fields, flagged);
  auto queue = diagnosticsDiskQueue();
  if (!queue) return;
  std::optional<fs::path> url = stabilityLogURL();
  // Same rotation as the diagnostic log: past 2 MiB the file becomes ".old".
  queue->post([url, line] { DiagnosticLog::appendDiagnosticLine(url, line); });
}

void KeyboardEngine::beginStabilitySession(const std::string& version) {
  stability.sessionStartedAt = uptime();
  recordStabilityEvent("session.start", {{"version", version}}, false);
  updateTodayStabilityDay([](StabilityDay& day) { day.launches += 1; });
  log("Stability session started (version " + version + ")");
}

void KeyboardEngine::endStabilitySession(const std::string& reason) {
  std::map<std::string, std::string> fields{{"reason", reason}};
  if (stability.sessionStartedAt)
    fields["seconds"] = std::to_string(std::llround(uptime() - *stability.sessionStartedAt));
  stability.sessionStartedAt.reset();
  recordStabilityEvent("session.end", fields, false);
  log("Stability session ended (" + reason + ")");
}

void KeyboardEngine::scheduleLogMaintenance() {
  auto queue = diagnosticsDiskQueue();
  if (!queue) return;
  fs::path folder = stabilityLogURL().parent_path();
  double now = clock().wallTime();
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  TaskRunner* main = &mainQueue();
  queue->post([folder, now, weak, main] {
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) return;
    int removed = 0;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
      const auto& path = entry.path();
      std::string name = path.filename().string();
      bool ours = name.rfind("tessavinor_", 0) == 0;
      bool oldCopy = name.size() > 4 && name.compare(name.size() - 4, 4, ".old") == 0;
      if (!ours || !oldCopy || !entry.is_regular_file(ec)) continue;
      auto written = fs::last_write_time(path, ec);
      if (ec) continue;
      auto sys = std::chrono::file_clock::to_sys(written);
      double writtenAt = std::chrono::duration<double>(sys.time_since_epoch()).count();
      if (now - writtenAt > kOldLogCopyMaxAgeSeconds && fs::remove(path, ec)) ++removed;
    }
    if (removed > 0) {
      main->post([weak, removed] {
        if (auto e = weak.lock()) e->log(fmt::format("Log maintenance: removed {} old log file(s)", removed));
      });
    }
  });
}

}  // namespace tessa
