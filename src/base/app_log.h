#pragma once
// The system-log facility: two named loggers, "General" and "Keyboard",
// under our subsystem, plus console lines prefixed "Tessavinor: ".
#include <string>

#include "base/system_log.h"

namespace tessa {

enum class LogCategory { general, keyboard };

class AppLog {
 public:
  // `subsystem` is our bundle identifier, or "Ovrelan.Tessavinor" without one.
  AppLog(SystemLog* sink, std::string subsystem);
  static std::string subsystemFor(const std::string& bundleIdentifier) {
    return bundleIdentifier.empty() ? "Ovrelan.Tessavinor" : bundleIdentifier;
  }
  void info(const std::string& message, LogCategory category = LogCategory::general) const;
  void error(const std::string& message, LogCategory category = LogCategory::general) const;
  // Default level, private: only the diagnostic log uses it.
  void notice(const std::string& message, LogCategory category = LogCategory::keyboard) const;
  // "Tessavinor: " + line, to the system log and standard error.
  void console(const std::string& line) const;
  const std::string& subsystem() const { return subsystem_; }

 private:
  static const char* name(LogCategory c) { return c == LogCategory::general ? "General" : "Keyboard"; }
  SystemLog* sink_;
  std::string subsystem_;
};

}  // namespace tessa
