#include "reliability/launch_environment_guard.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/sim/sim_desktop.h"
#include "support/recording_system_log.h"
#include "support/temp_home.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;

class RecordingAlerts final : public LaunchAlerts {
 public:
  void showDuplicateInstance(const DuplicateInstance& info,
                             std::function<void(DuplicateInstanceAnswer)> answered) override {
    duplicates.push_back(info);
    answer = std::move(answered);
  }
  void showLaunchWarning(LaunchWarning warning, const std::string&) override { warnings.push_back(warning); }
  void showStatusItemMissing() override { ++statusItemMissing; }

  std::vector<DuplicateInstance> duplicates;
  std::function<void(DuplicateInstanceAnswer)> answer;
  std::vector<LaunchWarning> warnings;
  int statusItemMissing = 0;
};

// Holds a lock from another process: the child locks with bare system calls
// (nothing else is safe after fork in a threaded test), reports, and keeps
// the lock until told to quit.
class LockingChild {
 public:
  explicit LockingChild(const fs::path& path) {
    int ready[2], go[2];
    if (::pipe(ready) != 0 || ::pipe(go) != 0) return;
    std::fflush(nullptr);  // no buffered test output twice
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(go[1]);
      int fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
      char ok = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? '1' : '0';
      if (ok == '1') {
        char digits[24];
        int n = 0;
        for (long v = ::getpid(); v > 0; v /= 10) digits[n++] = static_cast<char>('0' + v % 10);
        char text[24];
        for (int i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
        if (::ftruncate(fd, 0) != 0 || ::write(fd, text, n) != n) ok = '0';
      }
      if (::write(ready[1], &ok, 1) != 1) ::_exit(1);
      char c;
      while (::read(go[0], &c, 1) < 0) {
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(go[0]);
    quit_ = go[1];
    char ok = '0';
    if (::read(ready[0], &ok, 1) != 1) ok = '0';
    ::close(ready[0]);
    locked_ = ok == '1';
  }
  ~LockingChild() { quit(); }
  bool locked() const { return locked_; }
  pid_t pid() const { return pid_; }
  // Ends the child and waits for it: its lock is gone afterwards.
  void quit() {
    if (quit_ >= 0) ::close(quit_);
    quit_ = -1;
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
  int quit_ = -1;
  bool locked_ = false;
};

class LaunchGuardTest : public ::testing::Test {
 protected:
  LaunchGuardTest() : runner(clock), desktop(clock, runner) {
    platform = desktop.platform();
    platform.systemLog = &log;
    lockPath = home.path() / "instance.lock";
  }

  std::unique_ptr<LaunchEnvironmentGuard> makeGuard(LaunchGuardOptions options = {}) {
    if (options.lockPath.empty()) options.lockPath = lockPath;
    auto g = std::make_unique<LaunchEnvironmentGuard>(platform, alerts, clock, options);
    g->setSleeper([this](double seconds) {
      clock.advance(seconds);
      slept += seconds;
      if (onSleep) onSleep();
    });
    g->setProcessExit([this](int status) { exits.push_back(status); });
    return g;
  }
  bool console(const std::string& needle) const {
    return std::any_of(log.consoleLines.begin(), log.consoleLines.end(),
                       [&](const std::string& l) { return l.find(needle) != std::string::npos; });
  }

  test::TempHome home;
  ManualClock clock;
  ManualTaskRunner runner;
  SimDesktop desktop;
  test::RecordingSystemLog log;
  Platform platform;
  RecordingAlerts alerts;
  fs::path lockPath;
  double slept = 0;
  std::function<void()> onSleep;
  std::vector<int> exits;
};

TEST(InstanceLock, ASecondOpenConflictsEvenInOneProcessAndTheHolderIsNamed) {
  test::TempHome home;
  fs::path path = home.path() / "x.lock";
  InstanceLock first, second;
  ASSERT_EQ(first.tryAcquire(path, 111), InstanceLock::Status::acquired);
  EXPECT_EQ(second.tryAcquire(path, 222), InstanceLock::Status::heldElsewhere);
  EXPECT_FALSE(second.isHeld());
  EXPECT_EQ(InstanceLock::holderPid(path), 111);

  first.release();
  EXPECT_EQ(second.tryAcquire(path, 222), InstanceLock::Status::acquired);
  EXPECT_EQ(InstanceLock::holderPid(path), 222);

  std::string error;
  InstanceLock third;
  EXPECT_EQ(third.tryAcquire(home.path() / "missing" / "x.lock", 1, &error), InstanceLock::Status::failed);
  EXPECT_FALSE(error.empty());
}

TEST_F(LaunchGuardTest, ASecondInstanceIsRefusedAndEndsWithoutGoingFurther) {
  LockingChild running(lockPath);
  ASSERT_TRUE(running.locked());

  auto duplicate = makeGuard();
  EXPECT_FALSE(duplicate->runLaunchChecks("com.Ovrelan.Tessavinor", 999));
  EXPECT_FALSE(duplicate->holdsInstanceLock());
  EXPECT_EQ(slept, 0);  // not a relaunch: no waiting
  ASSERT_EQ(alerts.duplicates.size(), 1u);
  EXPECT_EQ(alerts.duplicates[0].bundleID, "com.Ovrelan.Tessavinor");
  EXPECT_EQ(alerts.duplicates[0].runningPid, running.pid());
  EXPECT_TRUE(console("Another instance of com.Ovrelan.Tessavinor is running"));
  // Stopped before the environment checks; the process ends only on the answer.
  EXPECT_FALSE(log.contains("translocation"));
  EXPECT_TRUE(alerts.warnings.empty());
  EXPECT_TRUE(exits.empty());

  alerts.answer(DuplicateInstanceAnswer::showRunningInstance);
  EXPECT_TRUE(console("The running instance is process " + std::to_string(running.pid())));
  EXPECT_EQ(exits, std::vector<int>{0});

  running.quit();
  auto next = makeGuard();
  EXPECT_TRUE(next->runLaunchChecks("com.Ovrelan.Tessavinor", 1000));
  EXPECT_TRUE(next->holdsInstanceLock());
  EXPECT_EQ(InstanceLock::holderPid(lockPath), 1000);
}

int gAtExitPipe = -1;
void reportAtExit() {
  char c = 'x';
  if (::write(gAtExitPipe, &c, 1) != 1) return;
}

// The duplicate's real exit skips every exit handler, and so the quit path
// that would undo the running instance's keyboard settings.
TEST_F(LaunchGuardTest, TheDuplicateEndsWithoutRunningExitHandlers) {
  InstanceLock running;
  ASSERT_EQ(running.tryAcquire(lockPath, ::getpid()), InstanceLock::Status::acquired);
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  std::fflush(nullptr);
  pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    gAtExitPipe = fds[1];
    std::atexit(reportAtExit);
    LaunchGuardOptions options;
    options.lockPath = lockPath;
    LaunchEnvironmentGuard duplicate(platform, alerts, clock, options);
    if (!duplicate.runLaunchChecks("com.Ovrelan.Tessavinor", ::getpid()) && alerts.answer)
      alerts.answer(DuplicateInstanceAnswer::quit);
    ::_exit(3);  // reached only when the guard let the duplicate go on
  }
  ::close(fds[1]);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  char c;
  EXPECT_EQ(::read(fds[0], &c, 1), 0);  // no exit handler wrote
  ::close(fds[0]);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(LaunchGuardTest, ARelaunchWaitsForThePreviousInstanceThenStarts) {
  InstanceLock previous;
  ASSERT_EQ(previous.tryAcquire(lockPath, 111), InstanceLock::Status::acquired);
  onSleep = [&] {
    if (slept >= 2.95) previous.release();
  };
  LaunchGuardOptions options;
  options.isRelaunch = true;
  auto relaunched = makeGuard(options);
  EXPECT_TRUE(relaunched->runLaunchChecks("com.Ovrelan.Tessavinor", 222));
  EXPECT_TRUE(relaunched->holdsInstanceLock());
  EXPECT_NEAR(slept, 3.0, options.relaunchPollSeconds);
  EXPECT_TRUE(alerts.duplicates.empty());
  EXPECT_TRUE(log.contains("the previous instance quit after 3.0 s"));
}

TEST_F(LaunchGuardTest, ARelaunchGivesUpAfterTheWaitAndIsADuplicate) {
  LockingChild running(lockPath);
  ASSERT_TRUE(running.locked());
  LaunchGuardOptions options;
  options.isRelaunch = true;
  options.relaunchWaitSeconds = 10.0;
  auto relaunched = makeGuard(options);
  EXPECT_FALSE(relaunched->runLaunchChecks("com.Ovrelan.Tessavinor", 222));
  EXPECT_GE(slept, 10.0 - 1e-6);
  EXPECT_LE(slept, 10.0 + options.relaunchPollSeconds + 1e-6);
  EXPECT_EQ(alerts.duplicates.size(), 1u);
  alerts.answer(DuplicateInstanceAnswer::quit);
  EXPECT_EQ(exits, std::vector<int>{0});
}

TEST_F(LaunchGuardTest, EnvironmentWarningsForLayoutsAndSecureInputTheRestLogged) {
  auto g = makeGuard();
  EXPECT_TRUE(g->runLaunchChecks("com.Ovrelan.Tessavinor", 1));
  EXPECT_TRUE(alerts.warnings.empty());  // two layouts, no secure input
  EXPECT_TRUE(log.contains("application translocation does not apply"));
  EXPECT_TRUE(log.contains("quarantine and security-software checks do not apply"));
  g.reset();

  desktop.setEnabledSources({"com.apple.keylayout.Thai"});
  desktop.setSecureEventInput(true);
  g = makeGuard();
  EXPECT_TRUE(g->runLaunchChecks("com.Ovrelan.Tessavinor", 1));
  EXPECT_EQ(alerts.warnings,
            (std::vector<LaunchWarning>{LaunchWarning::tooFewInputSources, LaunchWarning::secureInputActive}));
  EXPECT_TRUE(console("Warning - only 1 keyboard layout(s) enabled"));
  EXPECT_TRUE(console("Warning - secure keyboard entry is on"));
  g.reset();

  alerts.warnings.clear();
  desktop.setSecureEventInput(false);
  desktop.setSourceListReadable(false);
  g = makeGuard();
  EXPECT_TRUE(g->runLaunchChecks("com.Ovrelan.Tessavinor", 1));
  EXPECT_TRUE(alerts.warnings.empty());
  EXPECT_TRUE(console("Warning - the enabled keyboard layouts could not be read"));
}

TEST_F(LaunchGuardTest, ALockThatCannotBeMadeDoesNotStopTheOnlyInstance) {
  LaunchGuardOptions options;
  std::ofstream(home.path() / "a-file") << "not a folder";
  options.lockPath = home.path() / "a-file" / "instance.lock";
  auto g = makeGuard(options);
  EXPECT_TRUE(g->runLaunchChecks("com.Ovrelan.Tessavinor", 1));
  EXPECT_FALSE(g->holdsInstanceLock());
  EXPECT_TRUE(console("could not be taken"));
  EXPECT_TRUE(log.contains("translocation"));
}

TEST_F(LaunchGuardTest, MissingStatusItemWritesTheConsoleLineAndAlerts) {
  auto g = makeGuard();
  g->warnStatusItemMissing(true);
  EXPECT_TRUE(log.consoleLines.empty());
  EXPECT_EQ(alerts.statusItemMissing, 0);
  g->warnStatusItemMissing(false);
  EXPECT_EQ(log.consoleLines,
            std::vector<std::string>{"Tessavinor: Warning - Failed to create or render NSStatusItem button in menu bar."});
  EXPECT_EQ(alerts.statusItemMissing, 1);
}

TEST_F(LaunchGuardTest, LockLivesInTheRuntimeFolderElseAFolderOfOurOwn) {
  std::string savedRuntime = std::getenv("XDG_RUNTIME_DIR") ? std::getenv("XDG_RUNTIME_DIR") : "";
  fs::path runtime = home.path() / "runtime";
  fs::create_directories(runtime);

  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  auto at = LaunchEnvironmentGuard::instanceLockLocation("com.Ovrelan.Tessavinor");
  EXPECT_EQ(at.path, runtime / "com.Ovrelan.Tessavinor.lock");
  EXPECT_EQ(at.origin, "XDG_RUNTIME_DIR");
  EXPECT_EQ(LaunchEnvironmentGuard::instanceLockLocation("../evil").path, runtime / ".._evil.lock");
  EXPECT_EQ(LaunchEnvironmentGuard::instanceLockLocation("").path, runtime / "Ovrelan.Tessavinor.lock");

  // A runtime folder that does not exist: our own folder under the home,
  // made on first use, and the log says so.
  ::setenv("XDG_RUNTIME_DIR", (home.path() / "gone").c_str(), 1);
  at = LaunchEnvironmentGuard::instanceLockLocation("com.Ovrelan.Tessavinor");
  EXPECT_EQ(at.path, home.path() / "Tessavinor" / "run" / "com.Ovrelan.Tessavinor.lock");
  auto g = std::make_unique<LaunchEnvironmentGuard>(platform, alerts, clock);
  EXPECT_TRUE(g->runLaunchChecks("com.Ovrelan.Tessavinor", 5));
  EXPECT_TRUE(g->holdsInstanceLock());
  EXPECT_EQ(g->lockPath(), at.path);
  EXPECT_TRUE(log.contains("XDG_RUNTIME_DIR is not usable"));
  g.reset();

  if (savedRuntime.empty())
    ::unsetenv("XDG_RUNTIME_DIR");
  else
    ::setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
}

}  // namespace
}  // namespace tessa
