#include "base/app_log.h"

#include <cstdio>

namespace tessa {

AppLog::AppLog(SystemLog* sink, std::string subsystem) : sink_(sink), subsystem_(std::move(subsystem)) {}

void AppLog::info(const std::string& message, LogCategory category) const {
  if (sink_) sink_->write(subsystem_, name(category), LogLevel::info, message, false);
}

void AppLog::error(const std::string& message, LogCategory category) const {
  if (sink_) sink_->write(subsystem_, name(category), LogLevel::error, message, false);
}

void AppLog::notice(const std::string& message, LogCategory category) const {
  if (sink_) sink_->write(subsystem_, name(category), LogLevel::notice, message, true);
}

void AppLog::console(const std::string& line) const {
  std::string text = "Tessavinor: " + line;
  if (sink_)
    sink_->console(text);
  else
    std::fprintf(stderr, "%s\n", text.c_str());
}

}  // namespace tessa
