#pragma once
// The system log on Linux: syslog (which journald collects), with the
// category in the message; console lines also go to standard error.
#include <mutex>
#include <string>

#include "base/system_log.h"

namespace tessa {

class SyslogSystemLog final : public SystemLog {
 public:
  SyslogSystemLog();
  ~SyslogSystemLog() override;
  void write(const std::string& subsystem, const std::string& category, LogLevel level, const std::string& message,
             bool isPrivate) override;
  void console(const std::string& line) override;

  // Private texts are redacted unless TESSAVINOR_LOG_PRIVATE is set, as the
  // platform's log hides private arguments unless asked.
  static std::string redacted(const std::string& message, bool isPrivate, bool showPrivate);

 private:
  std::mutex mutex_;
  bool showPrivate_ = false;
};

}  // namespace tessa
