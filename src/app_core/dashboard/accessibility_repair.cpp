#include "app_core/dashboard/accessibility_repair.h"

#include <spawn.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "base/clock.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "reliability/launch_environment_guard.h"

extern char** environ;

namespace tessa {

std::optional<std::string> PosixProcessLauncher::launchDetached(const std::string& path,
                                                                const std::vector<std::string>& arguments) {
  std::vector<std::string> args;
  args.push_back(path);
  args.insert(args.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, path.c_str(), nullptr, &attr, argv.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) return std::string(std::strerror(rc));
  return std::nullopt;
}

AccessibilityRepair::AccessibilityRepair(EngineAccessibility accessibility, EngineContext context,
                                         UserDefaults& defaults, HudNotices hud, ProcessLauncher& launcher,
                                         std::string executable, std::function<void()> quit)
    : accessibility_(std::move(accessibility)),
      context_(std::move(context)),
      defaults_(defaults),
      hud_(std::move(hud)),
      launcher_(launcher),
      executable_(std::move(executable)),
      quit_(std::move(quit)) {}

AccessibilityRepair::~AccessibilityRepair() {
  if (context_.owner.expired()) return;
  if (accessibility_.repairHandler) accessibility_.repairHandler = nullptr;
}

void AccessibilityRepair::install() {
  accessibility_.repairHandler = [this](bool automatic, bool userConfirmed) { repair(automatic, userConfirmed); };
}

std::string AccessibilityRepair::currentExecutable() {
  std::error_code ec;
  auto path = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : path.string();
}

AccessibilityRepair::Outcome AccessibilityRepair::repair(bool automatic, bool userConfirmed) {
  auto& d = defaults_;
  std::string form = automatic ? "automatic" : (userConfirmed ? "manual" : "unconfirmed");
  context_.log("AX repair requested (" + form + ")");

  // A translocated or disk-image copy cannot happen here: the program runs
  // from where it was installed.
  int64_t attempts = d.integerForKey("ax.repairAttempts");
  if (attempts >= kMaxAttempts) {
    context_.log("AX repair refused: " + std::to_string(attempts) +
                " repairs in a row without a verified grant - nothing reset or relaunched");
    return Outcome::refusedAttemptCap;
  }

  // Linux keeps no per-program Accessibility record to reset; what is left
  // of the repair is the fresh start, which reads the grant anew.
  context_.log("AX repair: this system keeps no per-application Accessibility record to reset - relaunching only");

  // The successor reads these at start-up (resumePendingAXRepair), so they
  // are on disk before it starts.
  double previousLastAt = d.doubleForKey("ax.repairLastAt");
  d.setBool("ax.repairPending", true);
  d.setInteger("ax.repairAttempts", attempts + 1);
  d.setDouble("ax.repairLastAt", context_.clock.wallTime());
  d.synchronize();

  std::optional<std::string> error;
  if (executable_.empty())
    error = "the program's own path is unknown";
  else
    error = launcher_.launchDetached(executable_, {LaunchEnvironmentGuard::kRelaunchArgument});
  if (error) {
    d.remove("ax.repairPending");
    d.setInteger("ax.repairAttempts", attempts);
    d.setDouble("ax.repairLastAt", previousLastAt);
    d.synchronize();
    context_.log(kSpawnFailedLine + *error);
    return Outcome::helperNotStarted;
  }

  hud_.showStatus(kHudTitle, kHudMessage, kHudSymbol, HudColor::white, std::nullopt);
  std::weak_ptr<int> alive = alive_;
  context_.main.postDelayed(kQuitDelay, [this, alive] {
    if (alive.lock() && quit_) quit_();
  });
  return Outcome::relaunching;
}

bool waitForInstanceLockRelease(const std::filesystem::path& lockPath, int64_t pid, double seconds,
                                double pollSeconds, const std::function<void(double)>& sleep) {
  for (double waited = 0;; waited += pollSeconds) {
    InstanceLock probe;
    auto status = probe.tryAcquire(lockPath, pid);
    if (status != InstanceLock::Status::heldElsewhere) return true;
    if (waited >= seconds) return false;
    sleep(pollSeconds);
  }
}

}  // namespace tessa
