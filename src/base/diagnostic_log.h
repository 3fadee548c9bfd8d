#pragma once
// The engine's diagnostic log: lines stamped with the time of day to the
// millisecond, kept in a bounded in-memory list, sent to the system log and
// appended to a file on the diagnostics disk queue. The file moves to a
// ".old" copy once it has grown past 2 MiB.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/task_runner.h"
#include "base/app_log.h"

namespace tessa {

class DiagnosticLog {
 public:
  static constexpr size_t kMaxLines = 500;
  static constexpr uint64_t kRotateAboveBytes = 2'097'152;
  using UrlProvider = std::function<std::optional<std::filesystem::path>()>;

  DiagnosticLog(const Clock& clock, const AppLog& appLog, std::shared_ptr<TaskRunner> diskQueue, UrlProvider url);

  // Callable from any thread; the file write happens later on the disk queue.
  void log(const std::string& message);
  std::vector<std::string> lines() const;
  // "HH:mm:ss.SSS" of a wall time, in local time.
  static std::string timeOfDay(double wallTime);
  // Runs on the disk queue only: rotation check, then one append.
  static void appendDiagnosticLine(const std::optional<std::filesystem::path>& url, const std::string& line);

 private:
  const Clock& clock_;
  const AppLog& appLog_;
  std::shared_ptr<TaskRunner> diskQueue_;
  UrlProvider url_;
  mutable std::mutex diagnosticLogLock_;
  std::vector<std::string> diagnosticLogs_;
};

}  // namespace tessa
