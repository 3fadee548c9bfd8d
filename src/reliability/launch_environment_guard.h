#pragma once
// The checks that run at start-up before anything touches the machine: one
// instance per user (an exclusive lock held for the life of the process), and
// warnings about the environment the application starts in. Nothing here
// draws: alerts go through LaunchAlerts, which the application implements
// with message boxes and tests record.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "base/clock.h"
#include "platform/platform.h"

namespace tessa {

// A lock on one file with flock(): it belongs to the open file, so a second
// open of the same file conflicts even inside one process, and the kernel
// lets go of it when the process ends, however it ends.
class InstanceLock {
 public:
  enum class Status { acquired, heldElsewhere, failed };

  InstanceLock() = default;
  ~InstanceLock() { release(); }
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  // Opens (creating, owner-only) and locks `path` without waiting; on
  // success writes `pid` into the file for a later instance to name. `error`
  // gets the reason of a failure.
  Status tryAcquire(const std::filesystem::path& path, int64_t pid, std::string* error = nullptr);
  bool isHeld() const { return fd_ >= 0; }
  // Unlocks and closes. The file stays: removing it would let a waiting
  // instance lock a file nobody else opens any more.
  void release();
  const std::filesystem::path& path() const { return path_; }

  // The process id the holder wrote, when the file names one.
  static std::optional<int64_t> holderPid(const std::filesystem::path& path);

 private:
  int fd_ = -1;
  std::filesystem::path path_;
};

enum class LaunchWarning {
  tooFewInputSources,  // fewer than two keyboard layouts: nothing to switch between
  secureInputActive,   // another program holds secure keyboard entry
};

struct DuplicateInstance {
  std::string bundleID;
  std::optional<int64_t> runningPid;  // the instance that holds the lock
};

enum class DuplicateInstanceAnswer {
  quit,
  // The user wants to find the running one first; there is no one process
  // viewer on this platform, so its process id is written to the console.
  showRunningInstance,
};

class LaunchAlerts {
 public:
  virtual ~LaunchAlerts() = default;
  // Must not block: the answer comes back through `answered`, and either
  // answer ends this process.
  virtual void showDuplicateInstance(const DuplicateInstance& info,
                                     std::function<void(DuplicateInstanceAnswer)> answered) = 0;
  virtual void showLaunchWarning(LaunchWarning warning, const std::string& detail) = 0;
  virtual void showStatusItemMissing() = 0;
};

struct LaunchGuardOptions {
  // The lock file; empty: instanceLockLocation() decides.
  std::filesystem::path lockPath;
  // Started by our own relaunch (the command line carries kRelaunchArgument):
  // the old process may still be quitting, so wait for it to let go.
  bool isRelaunch = false;
  double relaunchWaitSeconds = 10.0;
  double relaunchPollSeconds = 0.1;
};

class LaunchEnvironmentGuard {
 public:
  static constexpr const char* kRelaunchArgument = "--relaunched";
  static constexpr const char* kFallbackBundleID = "Ovrelan.Tessavinor";
  static constexpr const char* kStatusItemMissingLine =
      "Warning - Failed to create or render NSStatusItem button in menu bar.";

  // Blocks the calling thread for `seconds`; must move `clock` along (the
  // real sleep does; a test's advances its manual clock).
  using Sleeper = std::function<void(double seconds)>;
  // Ends the process at once with a status.
  using ProcessExit = std::function<void(int status)>;

  LaunchEnvironmentGuard(const Platform& platform, LaunchAlerts& alerts, const Clock& clock,
                         LaunchGuardOptions options = {});

  // The real ones: sleep_for, and an exit that skips atexit handlers, static
  // destructors and the application's quit path, so that a duplicate cannot
  // undo the running instance's keyboard settings on its way out.
  void setSleeper(Sleeper sleeper) { sleeper_ = std::move(sleeper); }
  void setProcessExit(ProcessExit exit) { exit_ = std::move(exit); }

  // False when another instance holds the lock: the duplicate alert is shown
  // and the caller must stop launching (its answer ends the process).
  // Otherwise runs the environment warnings and answers true. A relaunch
  // first waits, blocking, about relaunchWaitSeconds on the clock (whole
  // polls of relaunchPollSeconds). A lock that cannot be made at all is logged and
  // does not stop the launch.
  bool runLaunchChecks(const std::string& bundleID, int64_t pid);

  // Whether this process holds the instance lock: the quit path runs its
  // shut-down steps only then.
  bool holdsInstanceLock() const { return lock_.isHeld(); }
  const std::filesystem::path& lockPath() const { return lockPath_; }

  // When the status item or its button is missing: the console line and the
  // menu-bar alert. Nothing otherwise.
  void warnStatusItemMissing(bool itemPresent);

  struct LockLocation {
    std::filesystem::path path;
    std::string origin;  // "XDG_RUNTIME_DIR", "TESSAVINOR_HOME" or "/tmp"
  };
  // $XDG_RUNTIME_DIR/<bundle id>.lock when that folder is usable; else
  // $TESSAVINOR_HOME/Tessavinor/run/, else /tmp/tessavinor-<uid>/.
  static LockLocation instanceLockLocation(const std::string& bundleID);

 private:
  void runEnvironmentWarnings();
  void log(const std::string& message) const;
  void console(const std::string& line) const;

  Platform platform_;
  LaunchAlerts& alerts_;
  const Clock& clock_;
  LaunchGuardOptions options_;
  Sleeper sleeper_;
  ProcessExit exit_;
  std::string bundleID_ = kFallbackBundleID;
  std::filesystem::path lockPath_;
  InstanceLock lock_;
};

}  // namespace tessa
