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
#include "support/recording_system_log.h"
#include "support/temp_home.h"

namespace tessa::test {

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
