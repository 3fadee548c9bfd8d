#pragma once
// An engine on a manual clock with a temporary home, for tests that need
// the whole KeyboardEngine but no particular desktop.
#include <memory>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/notification_center.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "engine/keyboard_engine.h"
#include "support/temp_home.h"

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

class EngineFixture {
 public:
  // Settings files are written on a queue of the manual runner, as the
  // application writes them off the main thread; synchronize() writes now.
  EngineFixture() : runner(clock), disk(runner.createSequence("diagnostics")), persist(runner.createSequence("persist")) {
    defaults = std::make_unique<UserDefaults>(Paths::defaultsFile("com.Ovrelan.Tessavinor"), persist);
  }
  // Reopens the defaults from disk, as a relaunch does.
  void relaunchDefaults() {
    defaults->synchronize();
    defaults = std::make_unique<UserDefaults>(Paths::defaultsFile("com.Ovrelan.Tessavinor"), persist);
  }
  EngineEnvironment environment() {
    Platform withLog = platform;
    withLog.systemLog = &systemLog;
    auto env = EngineEnvironment::onManualClock(withLog, runner, *defaults, notifications);
    env.runtime.diagnosticsDisk = disk;  // the tests' handle on the disk queue
    env.telemetry = telemetry;
    return env;
  }
  std::shared_ptr<KeyboardEngine> start() {
    engine = KeyboardEngine::create(environment());
    return engine;
  }

  TempHome home;
  ManualClock clock;
  ManualTaskRunner runner;
  std::shared_ptr<TaskRunner> disk;
  std::shared_ptr<TaskRunner> persist;
  std::unique_ptr<UserDefaults> defaults;
  NotificationCenter notifications;
  RecordingSystemLog systemLog;
  Platform platform;
  TelemetryManager* telemetry = nullptr;  // the usage timer's sender; none sends nothing
  std::shared_ptr<KeyboardEngine> engine;
};

}  // namespace tessa::test
