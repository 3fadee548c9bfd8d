#pragma once
// A system log that keeps every line it is given, for tests to read back.
#include <string>
#include <vector>

#include "base/system_log.h"

namespace tessa::test {

class RecordingSystemLog final : public SystemLog {
 public:
  struct Line {
    std::string category;
    LogLevel level;
    std::string message;
  };
  void write(const std::string&, const std::string& category, LogLevel level, const std::string& message,
             bool) override {
    lines.push_back({category, level, message});
  }
  void console(const std::string& line) override { consoleLines.push_back(line); }
  // Whether any line (of `category`, when given) contains `needle`.
  bool contains(const std::string& needle, const std::string& category = "") const {
    for (const auto& l : lines)
      if ((category.empty() || l.category == category) && l.message.find(needle) != std::string::npos) return true;
    return false;
  }
  std::vector<Line> lines;
  std::vector<std::string> consoleLines;
};

}  // namespace tessa::test
