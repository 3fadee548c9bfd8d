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

class LinuxWorkspace final : public Workspace {
 public:
  using Opener = std::function<bool(const std::string& url)>;
  using LogFunction = std::function<void(const std::string&)>;

  // `procRoot` and `osRelease` are injectable for tests; `opener` defaults to
  // running xdg-open.
  LinuxWorkspace(TaskRunner& main, std::string bundleIdentifier, LogFunction log, Opener opener = {},
                 std::filesystem::path procRoot = "/proc", std::filesystem::path osRelease = "/etc/os-release");

  std::optional<RunningApplication> frontmostApplication() const override;
  std::vector<RunningApplication> runningApplications() const override;
  Subscription observe(std::function<void(WorkspaceEvent, const std::optional<RunningApplication>&)> cb) override;
  bool openURL(const std::string& url) override;
  std::string operatingSystemVersion() const override;
  std::string bundleIdentifier() const override { return bundleIdentifier_; }

  // Delivers an event to every observer on the next main-queue turn.
  void post(WorkspaceEvent event, const std::optional<RunningApplication>& app = std::nullopt);
  // The X11 back end tells which application has the focus.
  void setFrontmostApplication(std::optional<RunningApplication> app);

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
};

// Runs `xdg-open URL` detached; false when it could not be started.
bool openWithDesktopOpener(const std::string& url);

}  // namespace tessa
