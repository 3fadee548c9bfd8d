#include "platform/linux/linux_workspace.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <sstream>
#include <string_view>
#include <thread>

#include "base/files.h"

extern char** environ;

namespace tessa {
namespace fs = std::filesystem;

namespace {

// The other platform's settings panes have no Linux equivalent: they are
// logged, never handed to the opener (which would show an error dialog).
bool isOtherPlatformSettingsURL(const std::string& url) {
  return url.rfind("x-apple.systempreferences:", 0) == 0 || url.rfind("x-apple-", 0) == 0;
}

bool isDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

std::string trimmed(std::string s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.pop_back();
  size_t start = 0;
  while (start < s.size() && std::isspace(static_cast<unsigned char>(s[start]))) ++start;
  return s.substr(start);
}

bool mapsAny(std::string_view maps, std::initializer_list<std::string_view> names) {
  return std::any_of(names.begin(), names.end(), [&](std::string_view n) { return maps.find(n) != maps.npos; });
}

}  // namespace

bool openWithDesktopOpener(const std::string& url) {
  pid_t pid = 0;
  const char* argv[] = {"xdg-open", url.c_str(), nullptr};
  if (::posix_spawnp(&pid, "xdg-open", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) return false;
  // Reap it off the caller's thread so no zombie is left behind.
  std::thread([pid] {
    int status = 0;
    ::waitpid(pid, &status, 0);
  }).detach();
  return true;
}

LinuxWorkspace::LinuxWorkspace(TaskRunner& main, std::string bundleIdentifier, LogFunction log, Opener opener,
                               fs::path procRoot, fs::path osRelease)
    : main_(main),
      bundleIdentifier_(std::move(bundleIdentifier)),
      log_(std::move(log)),
      opener_(opener ? std::move(opener) : Opener(openWithDesktopOpener)),
      procRoot_(std::move(procRoot)),
      osRelease_(std::move(osRelease)),
      ownPid_(::getpid()) {}

std::optional<RunningApplication> LinuxWorkspace::frontmostApplication() const {
  std::optional<RunningApplication> app;
  if (focus_) {
    app = focus_->focusedApplication();
  } else {
    std::lock_guard lock(mutex_);
    app = frontmost_;
  }
  // Our own windows are us, whatever the window system calls them: the
  // clipboard panel must not remember itself as the place to paste into.
  if (app && ownPid_ > 0 && app->pid == ownPid_) app->bundleID = bundleIdentifier_;
  return app;
}

bool LinuxWorkspace::activateApplication(const RunningApplication& app) {
  if (!focus_) return false;
  bool ok = focus_->activate(app);
  if (!ok && log_) log_("Workspace: could not bring " + (app.name.empty() ? app.bundleID : app.name) + " forward");
  return ok;
}

void LinuxWorkspace::setFrontmostApplication(std::optional<RunningApplication> app) {
  {
    std::lock_guard lock(mutex_);
    if (frontmost_ == app) return;
    frontmost_ = app;
  }
  if (app) post(WorkspaceEvent::didActivateApplication, app);
}

std::vector<RunningApplication> LinuxWorkspace::runningApplications() const {
  std::vector<RunningApplication> apps;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(procRoot_, ec)) {
    std::string name = entry.path().filename().string();
    if (!isDigits(name)) continue;
    // Kernel threads have an empty command line; they are not applications.
    auto cmdline = readFile(entry.path() / "cmdline", 64 * 1024);
    if (!cmdline || cmdline->empty()) continue;
    auto comm = readFile(entry.path() / "comm", 256);
    RunningApplication app;
    app.pid = std::stoll(name);
    std::string executable = cmdline->substr(0, cmdline->find('\0'));
    app.bundleID = fs::path(executable).filename().string();
    app.name = comm ? trimmed(*comm) : app.bundleID;
    apps.push_back(std::move(app));
  }
  std::sort(apps.begin(), apps.end(), [](const auto& a, const auto& b) { return a.pid < b.pid; });
  return apps;
}

TextSharing LinuxWorkspace::textSharing(int64_t pid) const {
  if (pid <= 0) return TextSharing::unknown;
  const fs::path dir = procRoot_ / std::to_string(pid);
  // A browser engine's main process maps its resource pack and ICU data
  // beside its binary (Chromium, Chrome, and every program built on them).
  constexpr uint64_t kMaxMapsBytes = 16ull << 20;  // [ours] tens of kB; a browser's a few MB
  auto maps = readFile(dir / "maps", kMaxMapsBytes);
  if (!maps || maps->empty()) return TextSharing::unknown;
  if (maps->find("/resources.pak") != maps->npos && maps->find("/icudtl.dat") != maps->npos) {
    // The browser rewrites its command line as its process title once it
    // runs: one string, its arguments joined by spaces.
    const auto cmdline = readFile(dir / "cmdline", 1 << 20);
    if (!cmdline || cmdline->empty()) return TextSharing::unknown;
    const std::string_view wanted = kBrowserAccessibilitySwitch;
    for (std::string_view rest = *cmdline; !rest.empty();) {
      const size_t end = rest.find_first_of(std::string_view("\0 ", 2));
      const std::string_view arg = rest.substr(0, end);
      if (arg.starts_with(wanted) && (arg.size() == wanted.size() || arg[wanted.size()] == '=')) return TextSharing::toolkit;
      rest = end == rest.npos ? std::string_view() : rest.substr(end + 1);
    }
    return TextSharing::browserWithoutSwitch;
  }
  // GTK 3 links the AT-SPI bridge itself, GTK 4 and Qt 5 and 6 carry their
  // own; a GTK 2 or Java program loads the bridge as a module. A program
  // with none of them (xterm and the other X Toolkit programs, Tk, SDL)
  // never shares, whatever the desktop's switch says.
  if (mapsAny(*maps, {"libatk-bridge", "libatspi.so", "libgtk-3.so", "libgtk-4.so", "libQt5Gui.so", "libQt6Gui.so",
                      "libatk-wrapper"}))
    return TextSharing::toolkit;
  return TextSharing::never;
}

std::optional<double> LinuxWorkspace::launchTime(int64_t pid) const {
  if (pid <= 0) return std::nullopt;
  // The process's start in clock ticks after boot is the 22nd field of its
  // stat line, counted after the command name (which may hold spaces and
  // parentheses, so it is skipped up to its last ')'); /proc/uptime says how
  // long ago the boot was. The boot time /proc/stat gives is whole seconds,
  // too coarse to tell a program started just before a switch from one just
  // after.
  auto stat = readFile(procRoot_ / std::to_string(pid) / "stat", 4096);
  auto uptime = readFile(procRoot_ / "uptime", 256);
  if (!stat || !uptime) return std::nullopt;
  const auto close = stat->rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::istringstream fields(stat->substr(close + 1));
  std::string startTicks;
  for (int i = 3; i <= 22; ++i)
    if (!(fields >> startTicks)) return std::nullopt;
  const long ticks = ::sysconf(_SC_CLK_TCK);
  const double ticksPerSecond = static_cast<double>(ticks > 0 ? ticks : 100);
  try {
    const double sinceBoot = std::stod(*uptime);
    const double startedAfterBoot = std::stod(startTicks) / ticksPerSecond;
    const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
    return now - (sinceBoot - startedAfterBoot);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

Subscription LinuxWorkspace::observe(
    std::function<void(WorkspaceEvent, const std::optional<RunningApplication>&)> cb) {
  auto holder = std::make_shared<Callback>(std::move(cb));
  std::lock_guard lock(mutex_);
  observers_.push_back(holder);
  return Subscription(holder);
}

void LinuxWorkspace::post(WorkspaceEvent event, const std::optional<RunningApplication>& app) {
  std::vector<std::weak_ptr<Callback>> live;
  {
    std::lock_guard lock(mutex_);
    std::erase_if(observers_, [](const auto& w) { return w.expired(); });
    live = observers_;
  }
  for (auto& weak : live) {
    main_.post([weak, event, app] {
      if (auto cb = weak.lock()) (*cb)(event, app);
    });
  }
}

bool LinuxWorkspace::canOpenURL(const std::string& url) const { return !isOtherPlatformSettingsURL(url); }

bool LinuxWorkspace::openURL(const std::string& url) {
  if (isOtherPlatformSettingsURL(url)) {
    if (log_) log_("Workspace: not opening " + url + " - that settings pane does not exist on this system");
    return false;
  }
  bool ok = opener_(url);
  if (!ok && log_) log_("Workspace: the desktop's opener could not be started for " + url);
  return ok;
}

std::string LinuxWorkspace::versionFromOsRelease(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::string value;
  while (std::getline(in, line)) {
    if (line.rfind("VERSION_ID=", 0) != 0) continue;
    value = trimmed(line.substr(11));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
  }
  std::vector<long> numbers;
  std::istringstream parts(value);
  std::string part;
  while (std::getline(parts, part, '.') && numbers.size() < 3) {
    if (!isDigits(part) || part.size() > 9) break;
    numbers.push_back(std::stol(part));
  }
  if (numbers.empty()) return "0.0.0";
  while (numbers.size() < 3) numbers.push_back(0);
  return std::to_string(numbers[0]) + "." + std::to_string(numbers[1]) + "." + std::to_string(numbers[2]);
}

std::string LinuxWorkspace::operatingSystemVersion() const {
  auto text = readFile(osRelease_, 64 * 1024);
  return versionFromOsRelease(text ? *text : "");
}

}  // namespace tessa
