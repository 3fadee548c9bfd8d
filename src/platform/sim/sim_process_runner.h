#pragma once
// Simulated child processes. Every run is recorded with its arguments. The
// desktop's own tools are fakes: `/usr/bin/hidutil` (the HID key mapping,
// which the simulated keyboard obeys) and the settings-activation tool; any
// other path fails to launch unless a test registers a handler for it.
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/hidutil_mapping.h"
#include "platform/sim/sim_context.h"
#include "platform/process_runner.h"

namespace tessa {

class SimProcessRunner final : public ProcessRunner {
 public:
  static constexpr const char* kActivateSettingsPath =
      "/System/Library/PrivateFrameworks/SystemAdministration.framework/Resources/activateSettings";

  using Handler = std::function<ProcessResult(const std::vector<std::string>& arguments)>;

  struct Behavior {
    bool launchFails = false;
    std::string launchError;       // the error's description when launching fails
    std::optional<int> exitStatus;  // overrides the tool's own
    bool hangs = false;             // runs until the time-out, which passes on the clock
  };

  struct Run {
    std::string path;
    std::vector<std::string> arguments;
    bool launched = false;
    bool timedOut = false;
    int exitStatus = -1;
    double at = 0;  // uptime when started
  };

  explicit SimProcessRunner(const SimContext& ctx);

  ProcessResult run(const std::string& path, const std::vector<std::string>& arguments,
                    double timeoutSeconds) override;

  void registerTool(const std::string& path, Handler handler);
  void setBehavior(const std::string& path, Behavior behavior);
  void clearBehavior(const std::string& path);

  std::vector<Run> runs() const;
  void clearRuns();
  int runCount(const std::string& path) const;
  // Successful runs of the settings-activation tool with "-u".
  int activateSettingsCount() const;
  HidutilMapping& hidutil() { return hidutil_; }
  const HidutilMapping& hidutil() const { return hidutil_; }

 private:
  const SimContext& ctx_;
  mutable std::recursive_mutex mutex_;
  std::map<std::string, Handler> tools_;
  std::map<std::string, Behavior> behaviors_;
  std::vector<Run> runs_;
  HidutilMapping hidutil_;
  int activateSettings_ = 0;
};

}  // namespace tessa
