#pragma once
// The rest of the system the engine touches: HID lock state, workspace,
// other applications' preferences, child processes, the system log, haptics.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/observable.h"
#include "platform/accessibility.h"

namespace tessa {

class Hid {
 public:
  virtual ~Hid() = default;
  // The Caps Lock modifier-lock state; none when it cannot be read.
  virtual std::optional<bool> capsLockState() = 0;
  virtual bool setCapsLockState(bool on) = 0;
  // Opens the keyboards for the Caps Lock light; returns how many.
  virtual int openKeyboards() = 0;
  virtual void setCapsLockLight(bool on) = 0;
  virtual void closeKeyboards() = 0;
};

struct RunningApplication {
  std::string bundleID;  // empty when it has none
  int64_t pid = 0;
  std::string name;
  bool operator==(const RunningApplication&) const = default;
};

enum class WorkspaceEvent {
  willSleep,
  didWake,
  screensDidSleep,
  screensDidWake,
  sessionDidResignActive,
  sessionDidBecomeActive,
  screenLocked,
  screenUnlocked,
  didActivateApplication,
  didLaunchApplication,
  didTerminateApplication,
};

class Workspace {
 public:
  virtual ~Workspace() = default;
  virtual std::optional<RunningApplication> frontmostApplication() const = 0;
  virtual std::vector<RunningApplication> runningApplications() const = 0;
  virtual Subscription observe(std::function<void(WorkspaceEvent, const std::optional<RunningApplication>&)> cb) = 0;
  virtual bool openURL(const std::string& url) = 0;
  // "major.minor.patch", the patch always present ("14.5.0").
  virtual std::string operatingSystemVersion() const = 0;
  virtual std::string bundleIdentifier() const = 0;  // ours; empty without a bundle
};

// Other applications' preference domains (property-list values as JSON).
class PreferenceDomains {
 public:
  virtual ~PreferenceDomains() = default;
  virtual std::optional<nlohmann::json> copyValue(const std::string& domain, const std::string& key) = 0;
  // A null value removes the key.
  virtual void setValue(const std::string& domain, const std::string& key, const nlohmann::json& value) = 0;
  virtual bool synchronize(const std::string& domain) = 0;
};

struct ProcessResult {
  bool launched = false;
  bool timedOut = false;
  int exitStatus = -1;
  std::string output;
  std::string errorOutput;
  std::string launchError;
};

class ProcessRunner {
 public:
  virtual ~ProcessRunner() = default;
  // Runs a tool and waits for it; a tool still running after `timeoutSeconds`
  // is killed and reported as timed out.
  virtual ProcessResult run(const std::string& path, const std::vector<std::string>& arguments,
                            double timeoutSeconds) = 0;
};

enum class LogLevel { info, notice, error };

class SystemLog {
 public:
  virtual ~SystemLog() = default;
  virtual void write(const std::string& subsystem, const std::string& category, LogLevel level,
                     const std::string& message, bool isPrivate) = 0;
  // A console line: to the system log and standard error.
  virtual void console(const std::string& line) = 0;
};

class Haptics {
 public:
  virtual ~Haptics() = default;
  virtual void perform(const std::string& pattern) = 0;
  virtual bool actuate(int actuationID, float intensity) = 0;
};

// Optional private switches for keyboard behaviour; empty functions mean
// the platform has none.
struct PrivateKeyboardSymbols {
  std::function<void(int hotKey, bool enabled)> setSymbolicHotKeyEnabled;
  std::function<void(const std::string& property, bool value)> setTextInputGlobalProperty;
};

}  // namespace tessa
