#pragma once
// Where log lines go: the system log under our subsystem and category, and
// console lines. The platform supplies it (syslog on Linux, a recorder on the
// simulated desktop); the logging in this folder only writes to it.
#include <string>

namespace tessa {

enum class LogLevel { info, notice, error };

class SystemLog {
 public:
  virtual ~SystemLog() = default;
  virtual void write(const std::string& subsystem, const std::string& category, LogLevel level,
                     const std::string& message, bool isPrivate) = 0;
  // A console line: to the system log and standard error.
  virtual void console(const std::string& line) = 0;
};

}  // namespace tessa
