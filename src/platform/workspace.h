#pragma once
// The running applications, their activation, sleep and wake, URLs, the
// operating-system version.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/observable.h"

namespace tessa {

struct RunningApplication {
  std::string bundleID;  // empty when it has none
  int64_t pid = 0;
  std::string name;
  bool operator==(const RunningApplication&) const = default;
};

// How a running program shares its text with assistive tools, told by what
// it has loaded.
enum class TextSharing {
  unknown,  // cannot be told (not ours to look at, ended, or no such desktop)
  toolkit,  // it carries an accessibility toolkit (GTK, Qt, the AT-SPI bridge)
  never,    // it carries none: no restart makes it share
  // A browser engine that builds its accessibility tree only when started
  // with kBrowserAccessibilitySwitch, and was started without it.
  browserWithoutSwitch,
};

// What makes a browser engine (Chromium and the programs built on it) share
// its text: a switch on its command line.
inline constexpr const char* kBrowserAccessibilitySwitch = "--force-renderer-accessibility";

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
  // False for an address that names something this system does not have
  // (another platform's settings pane), so a button to it is not shown.
  virtual bool canOpenURL(const std::string& url) const { return true; }
  // Brings a running application forward; false when it could not be.
  virtual bool activateApplication(const RunningApplication& app) { return false; }
  // When the program `pid` started, in seconds since 1970; none when that
  // cannot be told (or it has ended).
  virtual std::optional<double> launchTime(int64_t pid) const { return std::nullopt; }
  // How the program `pid` shares its text.
  virtual TextSharing textSharing(int64_t pid) const { return TextSharing::unknown; }
  // "major.minor.patch", the patch always present ("14.5.0").
  virtual std::string operatingSystemVersion() const = 0;
  virtual std::string bundleIdentifier() const = 0;  // ours; empty without a bundle
};

}  // namespace tessa
