#include "base/diagnostic_log.h"

#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <ctime>

#include <fmt/format.h>

#include "base/files.h"

namespace tessa {

namespace fs = std::filesystem;

DiagnosticLog::DiagnosticLog(const Clock& clock, const AppLog& appLog, std::shared_ptr<TaskRunner> diskQueue,
                             UrlProvider url)
    : clock_(clock), appLog_(appLog), diskQueue_(std::move(diskQueue)), url_(std::move(url)) {}

std::string DiagnosticLog::timeOfDay(double wallTime) {
  double whole = std::floor(wallTime);
  time_t secs = static_cast<time_t>(whole);
  int millis = static_cast<int>((wallTime - whole) * 1000.0);
  if (millis > 999) millis = 999;
  struct tm local {};
  localtime_r(&secs, &local);
  return fmt::format("{:02}:{:02}:{:02}.{:03}", local.tm_hour, local.tm_min, local.tm_sec, millis);
}

void DiagnosticLog::log(const std::string& message) {
  std::string line = "[" + timeOfDay(clock_.wallTime()) + "] " + message;
  {
    std::lock_guard lock(diagnosticLogLock_);
    if (diagnosticLogs_.size() >= kMaxLines) diagnosticLogs_.erase(diagnosticLogs_.begin());
    diagnosticLogs_.push_back(line);
  }
  appLog_.notice(line, LogCategory::keyboard);
  if (diskQueue_) {
    // The file is chosen now: the provider belongs to the log's owner, which
    // may be gone by the time the disk queue gets to the line.
    auto file = url_ ? url_() : std::nullopt;
    diskQueue_->post([file = std::move(file), line] { appendDiagnosticLine(file, line); });
  }
}

std::vector<std::string> DiagnosticLog::lines() const {
  std::lock_guard lock(diagnosticLogLock_);
  return diagnosticLogs_;
}

void DiagnosticLog::appendDiagnosticLine(const std::optional<fs::path>& url, const std::string& line) {
  if (!url) return;
  std::error_code ec;
  fs::path folder = url->parent_path();
  if (!createPrivateFolders(folder)) return;
  auto size = fs::file_size(*url, ec);
  if (!ec && size > kRotateAboveBytes) {
    fs::path old = folder / (url->filename().string() + ".old");
    fs::remove(old, ec);
    fs::rename(*url, old, ec);
  }
  std::string data = line + "\n";
  if (fs::exists(*url, ec)) {
    int fd = ::open(url->c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) return;
    const char* p = data.data();
    size_t left = data.size();
    while (left > 0) {
      ssize_t n = ::write(fd, p, left);
      if (n <= 0) break;
      p += n;
      left -= static_cast<size_t>(n);
    }
    ::close(fd);
  } else {
    (void)writeFileAtomically(*url, data, 0600);
  }
}

}  // namespace tessa
