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

#include <nlohmann/json.hpp>

#include "platform/sim/sim_context.h"
#include "platform/process_runner.h"

namespace tessa {

// The HID event system's properties as `hidutil property` sees them: the
// global ones and those of the one simulated keyboard service.
class SimHidutil {
 public:
  static constexpr const char* kPath = "/usr/bin/hidutil";
  static constexpr uint64_t kCapsLockUsage = 0x700000039;
  static constexpr uint64_t kF19Usage = 0x70000006E;

  ProcessResult run(const std::vector<std::string>& arguments);

  // The key a physical key becomes under the keyboard's UserKeyMapping (the
  // key itself when unmapped).
  uint16_t remap(uint16_t keyCode) const;
  bool capsLockToF19Active() const { return remap(57) == 80; }
  // None when never set; otherwise the mapping array (possibly empty).
  std::optional<nlohmann::json> globalMapping() const;
  std::optional<nlohmann::json> keyboardMapping() const;
  // The platform's description of a mapping, as `--get` prints it.
  static std::string describeMapping(const std::optional<nlohmann::json>& mapping);
  // The keyboard service's matching properties.
  static const nlohmann::json& keyboardProperties();

 private:
  nlohmann::json global_ = nlohmann::json::object();
  nlohmann::json keyboard_ = nlohmann::json::object();
};

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
  SimHidutil& hidutil() { return hidutil_; }
  const SimHidutil& hidutil() const { return hidutil_; }

 private:
  const SimContext& ctx_;
  mutable std::recursive_mutex mutex_;
  std::map<std::string, Handler> tools_;
  std::map<std::string, Behavior> behaviors_;
  std::vector<Run> runs_;
  SimHidutil hidutil_;
  int activateSettings_ = 0;
};

}  // namespace tessa
