#pragma once
// The workspace on a Linux desktop: the running programs read from /proc,
// the operating-system version from /etc/os-release, web addresses opened
// with the desktop's opener. Sleep and wake, screen lock and application
// activation come from whoever watches for them (the session bus, the X11
// back end) through post().
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/task_runner.h"
#include "platform/workspace.h"

namespace tessa {

// Which application has the focus, and bringing one forward: the window
// system's part of the workspace (the X11 back end's; none on Wayland, where
// no client may ask or do either).
class ApplicationFocus {
 public:
  virtual ~ApplicationFocus() = default;
  virtual std::optional<RunningApplication> focusedApplication() = 0;
  // False when the application has no window or it did not take the focus.
  virtual bool activate(const RunningApplication& app) = 0;
};

class LinuxWorkspace final : public Workspace {
 public:
  using Opener = std::function<bool(const std::string& url)>;
  using LogFunction = std::function<void(const std::string&)>;

  // `procRoot` and `osRelease` are injectable for tests; `opener` defaults to
  // running xdg-open.
  LinuxWorkspace(TaskRunner& main, std::string bundleIdentifier, LogFunction log, Opener opener = {},
                 std::filesystem::path procRoot = "/proc", std::filesystem::path osRelease = "/etc/os-release");

  // The focused application as the window system tells it, when there is a
  // focus back end; otherwise the last one set with setFrontmostApplication().
  // Our own windows answer with our bundle identifier.
  std::optional<RunningApplication> frontmostApplication() const override;
  std::vector<RunningApplication> runningApplications() const override;
  // From the process's entry under /proc.
  std::optional<double> launchTime(int64_t pid) const override;
  // From the libraries and data files it has mapped (its maps entry) and
  // its command line.
  TextSharing textSharing(int64_t pid) const override;
  Subscription observe(std::function<void(WorkspaceEvent, const std::optional<RunningApplication>&)> cb) override;
  bool openURL(const std::string& url) override;
  bool canOpenURL(const std::string& url) const override;
  // Through the focus back end; false without one.
  bool activateApplication(const RunningApplication& app) override;
  std::string operatingSystemVersion() const override;
  std::string bundleIdentifier() const override { return bundleIdentifier_; }

  // Delivers an event to every observer on the next main-queue turn.
  void post(WorkspaceEvent event, const std::optional<RunningApplication>& app = std::nullopt);
  // The X11 back end tells which application has the focus.
  void setFrontmostApplication(std::optional<RunningApplication> app);
  // The window system's focus, asked and set; null for none. Not owned.
  void setApplicationFocus(ApplicationFocus* focus) { focus_ = focus; }
  // Our own process, whose windows are reported under our bundle identifier.
  void setOwnPid(int64_t pid) { ownPid_ = pid; }

  // "VERSION_ID" of an os-release text padded to three numbers ("12" →
  // "12.0.0", "24.04" → "24.4.0"); "0.0.0" when there is none.
  static std::string versionFromOsRelease(const std::string& osReleaseText);

 private:
  using Callback = std::function<void(WorkspaceEvent, const std::optional<RunningApplication>&)>;
  TaskRunner& main_;
  std::string bundleIdentifier_;
  LogFunction log_;
  Opener opener_;
  std::filesystem::path procRoot_;
  std::filesystem::path osRelease_;
  mutable std::mutex mutex_;
  std::vector<std::weak_ptr<Callback>> observers_;
  std::optional<RunningApplication> frontmost_;
  ApplicationFocus* focus_ = nullptr;
  int64_t ownPid_ = 0;
};

// Runs `xdg-open URL` detached; false when it could not be started.
bool openWithDesktopOpener(const std::string& url);

}  // namespace tessa
