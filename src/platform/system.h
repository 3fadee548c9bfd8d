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

// A HID call's status code (an IOReturn); 0 is success.
using HidStatus = int32_t;

// What setting the Caps Lock modifier lock came to.
enum class CapsLockSetResult {
  noService,  // the HID system service could not be found
  failed,     // found, but the connection or the set call failed
  done,
};

// One keyboard or keypad matched for the Caps Lock light, as opened.
struct HidKeyboard {
  std::string product = "?";
  int64_t usagePage = -1;
  int64_t usage = -1;
  std::string transport = "?";
  bool builtIn = false;
  HidStatus openStatus = 0;  // 0: opened and now held
  int lightElements = 0;     // Caps Lock light elements found (held keyboards only)
};

// A read of a light element's value.
struct HidValueRead {
  HidStatus status = 0;
  std::optional<int64_t> value;  // none when the read failed
};

class Hid {
 public:
  virtual ~Hid() = default;
  // The Caps Lock modifier-lock state; none when it cannot be read.
  virtual std::optional<bool> capsLockState() = 0;
  virtual CapsLockSetResult setCapsLockState(bool on) = 0;
  // Matches keyboards and keypads and tries to open each one; those that
  // open are held until closeKeyboards(). None when the device list could
  // not be copied. Held keyboards are addressed below by their position
  // among the held ones, in this list's order.
  virtual std::optional<std::vector<HidKeyboard>> openKeyboards() = 0;
  // Writes 1 (on) or 0 (off) to a held keyboard's light element.
  virtual HidStatus setLightElement(size_t keyboard, size_t element, bool on) = 0;
  // For a held keyboard without a light element: the two-byte output
  // report {0, 2 or 0}, report ID 0.
  virtual HidStatus sendLightReport(size_t keyboard, bool on) = 0;
  virtual HidValueRead readLightElement(size_t keyboard, size_t element) = 0;
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
