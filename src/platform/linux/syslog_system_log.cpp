#include "platform/linux/syslog_system_log.h"

#include <syslog.h>

#include <cstdio>
#include <cstdlib>

namespace tessa {

SyslogSystemLog::SyslogSystemLog() {
  const char* p = std::getenv("TESSAVINOR_LOG_PRIVATE");
  showPrivate_ = p && *p && std::string(p) != "0";
  ::openlog("tessavinor", LOG_PID | LOG_NDELAY, LOG_USER);
}

SyslogSystemLog::~SyslogSystemLog() { ::closelog(); }

std::string SyslogSystemLog::redacted(const std::string& message, bool isPrivate, bool showPrivate) {
  return (isPrivate && !showPrivate) ? std::string("<private>") : message;
}

void SyslogSystemLog::write(const std::string& subsystem, const std::string& category, LogLevel level,
                            const std::string& message, bool isPrivate) {
  int priority = level == LogLevel::error ? LOG_ERR : level == LogLevel::notice ? LOG_NOTICE : LOG_INFO;
  std::string text = redacted(message, isPrivate, showPrivate_);
  std::lock_guard lock(mutex_);
  ::syslog(priority, "[%s:%s] %s", subsystem.c_str(), category.c_str(), text.c_str());
}

void SyslogSystemLog::console(const std::string& line) {
  std::lock_guard lock(mutex_);
  ::syslog(LOG_NOTICE, "%s", line.c_str());
  std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace tessa
