#include "reliability/launch_environment_guard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include <fmt/format.h>

#include "base/files.h"
#include "base/app_log.h"

namespace tessa {

namespace fs = std::filesystem;

namespace {

constexpr double kMinimumPollSeconds = 0.01;

std::string lockFileName(const std::string& bundleID) {
  std::string name = bundleID.empty() ? LaunchEnvironmentGuard::kFallbackBundleID : bundleID;
  for (char& c : name) {
    bool plain = std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_';
    if (!plain) c = '_';
  }
  return name + ".lock";
}

std::string environment(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}

bool isUsableFolder(const fs::path& dir) {
  std::error_code ec;
  return !dir.empty() && dir.is_absolute() && fs::is_directory(dir, ec) && ::access(dir.c_str(), W_OK | X_OK) == 0;
}

// The fallback folders are ours to make. One in /tmp must be a real folder
// of this user, never a link or a folder someone else made for us.
bool prepareFolder(const fs::path& dir, const std::string& origin, std::string* error) {
  if (origin == "XDG_RUNTIME_DIR") return true;
  std::error_code ec;
  if (origin == "/tmp") {
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
      *error = std::strerror(errno);
      return false;
    }
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid()) {
      *error = dir.string() + " is not a folder of this user";
      return false;
    }
    return true;
  }
  fs::create_directories(dir, ec);
  if (ec) {
    *error = ec.message();
    return false;
  }
  fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace, ec);
  return true;
}

}  // namespace

// ------------------------------------------------------------ InstanceLock

InstanceLock::Status InstanceLock::tryAcquire(const fs::path& path, int64_t pid, std::string* error) {
  release();
  // Close-on-exec: a helper we start must not inherit the lock and keep it
  // after we are gone, or a relaunch would wait for the helper.
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return Status::failed;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    int err = errno;
    ::close(fd);
    if (err == EWOULDBLOCK) return Status::heldElsewhere;
    if (error) *error = std::strerror(err);
    return Status::failed;
  }
  fd_ = fd;
  path_ = path;
  std::string text = std::to_string(pid) + "\n";
  if (::ftruncate(fd, 0) == 0) {
    ssize_t written = ::pwrite(fd, text.data(), text.size(), 0);
    (void)written;  // the id only helps the message of a later instance
  }
  return Status::acquired;
}

void InstanceLock::release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

std::optional<int64_t> InstanceLock::holderPid(const fs::path& path) {
  auto text = readFile(path, 64);
  if (!text) return std::nullopt;
  char* end = nullptr;
  long long pid = std::strtoll(text->c_str(), &end, 10);
  if (end == text->c_str() || pid <= 0) return std::nullopt;
  return static_cast<int64_t>(pid);
}

// ------------------------------------------------------------ the guard

LaunchEnvironmentGuard::LaunchEnvironmentGuard(const Platform& platform, LaunchAlerts& alerts, const Clock& clock,
                                               LaunchGuardOptions options)
    : platform_(platform), alerts_(alerts), clock_(clock), options_(std::move(options)) {
  sleeper_ = [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); };
  exit_ = [](int status) {
    std::fflush(nullptr);
    std::_Exit(status);
  };
}

LaunchEnvironmentGuard::LockLocation LaunchEnvironmentGuard::instanceLockLocation(const std::string& bundleID) {
  std::string name = lockFileName(bundleID);
  fs::path runtime = environment("XDG_RUNTIME_DIR");
  if (isUsableFolder(runtime)) return {runtime / name, "XDG_RUNTIME_DIR"};
  if (std::string home = environment("TESSAVINOR_HOME"); !home.empty())
    return {fs::path(home) / "Tessavinor" / "run" / name, "TESSAVINOR_HOME"};
  return {fs::path("/tmp") / fmt::format("tessavinor-{}", ::getuid()) / name, "/tmp"};
}

void LaunchEnvironmentGuard::log(const std::string& message) const {
  AppLog(platform_.systemLog, AppLog::subsystemFor(bundleID_)).info(message);
}

void LaunchEnvironmentGuard::console(const std::string& line) const {
  AppLog(platform_.systemLog, AppLog::subsystemFor(bundleID_)).console(line);
}

bool LaunchEnvironmentGuard::runLaunchChecks(const std::string& bundleID, int64_t pid) {
  bundleID_ = bundleID.empty() ? kFallbackBundleID : bundleID;
  std::string origin = "given";
  if (options_.lockPath.empty()) {
    LockLocation location = instanceLockLocation(bundleID_);
    lockPath_ = location.path;
    origin = location.origin;
  } else {
    lockPath_ = options_.lockPath;
  }
  if (origin == "XDG_RUNTIME_DIR" || origin == "given")
    log(fmt::format("LaunchEnvironmentGuard: instance lock {} ({})", lockPath_.string(), origin));
  else
    log(fmt::format("LaunchEnvironmentGuard: XDG_RUNTIME_DIR is not usable - instance lock {} (under {})",
                    lockPath_.string(), origin));

  std::string error;
  InstanceLock::Status status = prepareFolder(lockPath_.parent_path(), origin, &error)
                                    ? lock_.tryAcquire(lockPath_, pid, &error)
                                    : InstanceLock::Status::failed;

  if (status == InstanceLock::Status::heldElsewhere && options_.isRelaunch) {
    double wait = std::max(0.0, options_.relaunchWaitSeconds);
    double poll = std::max(kMinimumPollSeconds, options_.relaunchPollSeconds);
    log(fmt::format("LaunchEnvironmentGuard: relaunched - waiting up to {} s for the previous instance to quit", wait));
    double start = clock_.uptime();
    double deadline = start + wait;
    // Whole polls: the last may end up to one poll past the deadline.
    while (status == InstanceLock::Status::heldElsewhere && clock_.uptime() < deadline) {
      sleeper_(poll);
      status = lock_.tryAcquire(lockPath_, pid, &error);
    }
    if (status == InstanceLock::Status::acquired)
      log(fmt::format("LaunchEnvironmentGuard: the previous instance quit after {:.1f} s", clock_.uptime() - start));
  }

  if (status == InstanceLock::Status::heldElsewhere) {
    std::optional<int64_t> holder = InstanceLock::holderPid(lockPath_);
    console(fmt::format("Another instance of {} is running{} - this one stops", bundleID_,
                        holder ? fmt::format(" (process {})", *holder) : std::string()));
    // The answer may come long after this returns; take copies, not the guard.
    SystemLog* sink = platform_.systemLog;
    std::string subsystem = AppLog::subsystemFor(bundleID_);
    ProcessExit exit = exit_;
    alerts_.showDuplicateInstance(DuplicateInstance{bundleID_, holder},
                                  [sink, subsystem, exit, holder](DuplicateInstanceAnswer answer) {
                                    if (answer == DuplicateInstanceAnswer::showRunningInstance) {
                                      AppLog(sink, subsystem)
                                          .console(holder ? fmt::format("The running instance is process {}", *holder)
                                                          : std::string("The running instance did not record its "
                                                                        "process id"));
                                    }
                                    if (exit) exit(0);
                                  });
    return false;
  }
  if (status == InstanceLock::Status::failed) {
    // A lock that cannot be made must not keep the only instance from starting.
    console(fmt::format("Warning - the single-instance lock {} could not be taken ({}); starting without it",
                        lockPath_.string(), error));
  }
  runEnvironmentWarnings();
  return true;
}

void LaunchEnvironmentGuard::runEnvironmentWarnings() {
  log("Launch checks: application translocation does not apply on this platform - not checked");

  InputSources* sources = platform_.inputSources;
  if (!sources) {
    log("Launch checks: no input-source service - layout count and secure input not checked");
  } else {
    if (auto list = sources->enabledSources()) {
      auto layouts = std::count_if(list->begin(), list->end(), [](const InputSourceInfo& s) {
        return s.enabled && s.selectCapable && s.isKeyboardLayout;
      });
      if (layouts < 2) {
        std::string detail = fmt::format("only {} keyboard layout(s) enabled; switching needs two", layouts);
        console("Warning - " + detail);
        alerts_.showLaunchWarning(LaunchWarning::tooFewInputSources, detail);
      } else {
        log(fmt::format("Launch checks: {} keyboard layouts enabled", layouts));
      }
    } else {
      console("Warning - the enabled keyboard layouts could not be read");
    }
    if (sources->isSecureEventInputEnabled()) {
      std::string detail = "secure keyboard entry is on in another program; typing cannot be corrected until it is off";
      console("Warning - " + detail);
      alerts_.showLaunchWarning(LaunchWarning::secureInputActive, detail);
    }
  }

  log("Launch checks: quarantine and security-software checks do not apply on this platform - not checked");
}

void LaunchEnvironmentGuard::warnStatusItemMissing(bool itemPresent) {
  if (itemPresent) return;
  console(kStatusItemMissingLine);
  alerts_.showStatusItemMissing();
}

}  // namespace tessa
