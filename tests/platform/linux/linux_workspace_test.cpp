#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <tuple>

#include "base/clock.h"
#include "base/task_runner.h"
#include "platform/linux/linux_process_runner.h"
#include "platform/linux/linux_workspace.h"
#include "support/temp_home.h"

namespace tessa::test {
namespace {

namespace fs = std::filesystem;

TEST(LinuxWorkspace, TheOperatingSystemVersionIsVersionIdPaddedToThreeNumbers) {
  EXPECT_EQ(LinuxWorkspace::versionFromOsRelease("NAME=\"Debian\"\nVERSION_ID=\"12\"\n"), "12.0.0");
  EXPECT_EQ(LinuxWorkspace::versionFromOsRelease("VERSION_ID=24.04\n"), "24.4.0");
  EXPECT_EQ(LinuxWorkspace::versionFromOsRelease("VERSION_ID='3.19.1'\n"), "3.19.1");
  EXPECT_EQ(LinuxWorkspace::versionFromOsRelease("VERSION_ID=\"1.2.3.4\"\n"), "1.2.3");
  // Rolling releases carry none; a garbled value is not half read.
  EXPECT_EQ(LinuxWorkspace::versionFromOsRelease("NAME=Arch\n"), "0.0.0");
  EXPECT_EQ(LinuxWorkspace::versionFromOsRelease("VERSION_ID=\"rolling\"\n"), "0.0.0");
  EXPECT_EQ(LinuxWorkspace::versionFromOsRelease("VERSION_ID=\"99999999999999999999\"\n"), "0.0.0");
}

class LinuxWorkspaceTest : public ::testing::Test {
 protected:
  void writeProc(int pid, const std::string& cmdline, const std::string& comm) {
    fs::create_directories(proc / std::to_string(pid));
    std::ofstream(proc / std::to_string(pid) / "cmdline") << cmdline;
    std::ofstream(proc / std::to_string(pid) / "comm") << comm;
  }
  std::unique_ptr<LinuxWorkspace> make() {
    return std::make_unique<LinuxWorkspace>(
        runner, "com.Ovrelan.Tessavinor", [this](const std::string& l) { logLines.push_back(l); },
        [this](const std::string& url) {
          opened.push_back(url);
          return true;
        },
        proc, home.path() / "os-release");
  }
  TempHome home;
  fs::path proc = home.path() / "proc";
  ManualClock clock{0, 0};
  ManualTaskRunner runner{clock};
  std::vector<std::string> logLines, opened;
};

TEST_F(LinuxWorkspaceTest, RunningApplicationsComeFromProcWithoutKernelThreads) {
  writeProc(42, std::string("/usr/bin/alfred-launcher\0--daemon\0", 34), "Alfred-launcher\n");
  writeProc(7, "", "kworker/0:1\n");
  writeProc(9, std::string("/opt/editor/editor\0", 19), "editor\n");
  fs::create_directories(proc / "self");
  auto apps = make()->runningApplications();
  ASSERT_EQ(apps.size(), 2u);
  EXPECT_EQ(apps[0], (RunningApplication{"editor", 9, "editor"}));
  EXPECT_EQ(apps[1], (RunningApplication{"alfred-launcher", 42, "Alfred-launcher"}));
}

// A process's start: its ticks after boot against how long ago the boot
// was, read past a command name that holds spaces and parentheses.
TEST_F(LinuxWorkspaceTest, AProgramsStartIsReadFromItsStatLine) {
  const double ticks = static_cast<double>(::sysconf(_SC_CLK_TCK));
  fs::create_directories(proc / "77");
  std::ofstream(proc / "77" / "stat") << "77 (my (odd) editor) S 1 77 77 0 -1 4194560 2 0 0 0 0 0 0 0 20 0 1 0 "
                                      << static_cast<long>(900 * ticks) << " 1000 100 18446744073709551615\n";
  std::ofstream(proc / "uptime") << "1000.50 3990.00\n";
  fs::create_directories(proc / "78");
  std::ofstream(proc / "78" / "stat") << "78 (cut short) S 1 78\n";
  auto ws = make();
  const double now = std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
  auto started = ws->launchTime(77);
  ASSERT_TRUE(started);
  EXPECT_NEAR(now - *started, 100.5, 0.5);  // started 900 s after a boot 1000.5 s ago
  EXPECT_EQ(ws->launchTime(78), std::nullopt);
  EXPECT_EQ(ws->launchTime(79), std::nullopt) << "gone";
}

// Whether a program can share its text, told by what it maps: a toolkit
// with an accessibility bridge, none (xterm), or a browser engine with or
// without its switch (a Qt program with a web view is none).
TEST_F(LinuxWorkspaceTest, HowAProgramSharesItsTextIsToldByWhatItMaps) {
  using namespace std::string_literals;
  const std::string engine = "/o/resources.pak\n/o/icudtl.dat\n/lib/libatk-bridge-2.0.so.0\n";
  const std::vector<std::tuple<std::string, std::string, TextSharing>> programs{
      {"/usr/bin/xterm\n/lib/libXaw7.so.7\n/lib/libXt.so.6\n", "xterm", TextSharing::never},
      {"/lib/libgtk-3.so.0.2406.32\n/lib/libatk-bridge-2.0.so.0\n", "mousepad", TextSharing::toolkit},
      {"/lib/libQt6Gui.so.6.4.2\n", "qterminal", TextSharing::toolkit},
      {engine, "/o/chromium\0--enable-features=X\0https://example.org/\0"s, TextSharing::browserWithoutSwitch},
      {engine, "/o/chromium\0--force-renderer-accessibility\0"s, TextSharing::toolkit},
      {engine, "/o/code\0--force-renderer-accessibility=complete"s, TextSharing::toolkit},
      // Running, the browser's command line is its title: one string.
      {engine, "/o/chromium --no-first-run --force-renderer-accessibility --no-sandbox"s, TextSharing::toolkit},
      {engine, "/o/chromium --force-renderer-accessibility-off --no-sandbox"s, TextSharing::browserWithoutSwitch},
      {"/q/qtwebengine_resources.pak\n/q/icudtl.dat\n/lib/libQt6Gui.so.6\n", "browser", TextSharing::toolkit},
      {"", "zombie", TextSharing::unknown}};
  for (size_t pid = 1; pid <= programs.size(); ++pid) {
    writeProc(pid, std::get<1>(programs[pid - 1]), "prog\n");
    std::ofstream(proc / std::to_string(pid) / "maps") << std::get<0>(programs[pid - 1]);
  }
  auto ws = make();
  for (size_t pid = 1; pid <= programs.size(); ++pid)
    EXPECT_EQ(ws->textSharing(pid), std::get<2>(programs[pid - 1])) << std::get<1>(programs[pid - 1]);
  EXPECT_EQ(ws->textSharing(99), TextSharing::unknown) << "gone";
}

TEST_F(LinuxWorkspaceTest, OtherPlatformSettingsPanesAreLoggedNotOpened) {
  auto ws = make();
  EXPECT_FALSE(ws->openURL("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility"));
  EXPECT_TRUE(ws->openURL("https://example.org/help"));
  EXPECT_EQ(opened, std::vector<std::string>{"https://example.org/help"});
  ASSERT_EQ(logLines.size(), 1u);
  EXPECT_NE(logLines[0].find("does not exist on this system"), std::string::npos);
}

TEST_F(LinuxWorkspaceTest, EventsReachLiveObserversOnTheMainQueue) {
  auto ws = make();
  std::vector<WorkspaceEvent> seen;
  auto keep = ws->observe([&](WorkspaceEvent e, const auto&) { seen.push_back(e); });
  {
    auto dropped = ws->observe([&](WorkspaceEvent, const auto&) { ADD_FAILURE() << "a dropped observer ran"; });
  }
  ws->post(WorkspaceEvent::willSleep);
  EXPECT_TRUE(seen.empty());
  runner.runUntilIdle();
  EXPECT_EQ(seen, std::vector<WorkspaceEvent>{WorkspaceEvent::willSleep});
  ws->setFrontmostApplication(RunningApplication{"editor", 9, "editor"});
  ws->setFrontmostApplication(RunningApplication{"editor", 9, "editor"});  // unchanged: no second event
  runner.runUntilIdle();
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(ws->frontmostApplication()->pid, 9);
}

// The window system's answers, scripted.
class ScriptedFocus final : public ApplicationFocus {
 public:
  std::optional<RunningApplication> focused;
  bool activates = true;
  std::vector<RunningApplication> activated;
  std::optional<RunningApplication> focusedApplication() override { return focused; }
  bool activate(const RunningApplication& app) override {
    activated.push_back(app);
    return activates;
  }
};

TEST_F(LinuxWorkspaceTest, TheFocusBackEndAnswersForTheFrontmostApplicationAndBringsOneForward) {
  auto ws = make();
  // Without one nothing can be brought forward.
  EXPECT_FALSE(ws->activateApplication(RunningApplication{"gedit", 12, "gedit"}));

  ScriptedFocus focus;
  ws->setApplicationFocus(&focus);
  ws->setOwnPid(500);
  focus.focused = RunningApplication{"Gedit", 12, "Gedit"};
  EXPECT_EQ(ws->frontmostApplication(), (RunningApplication{"Gedit", 12, "Gedit"}));
  // Our own window is us, whatever its class says: the clipboard panel never
  // takes itself for the application to paste into.
  focus.focused = RunningApplication{"tessavinor", 500, "tessavinor"};
  EXPECT_EQ(ws->frontmostApplication()->bundleID, ws->bundleIdentifier());
  focus.focused.reset();
  EXPECT_FALSE(ws->frontmostApplication());

  EXPECT_TRUE(ws->activateApplication(RunningApplication{"Gedit", 12, "Gedit"}));
  focus.activates = false;
  logLines.clear();
  EXPECT_FALSE(ws->activateApplication(RunningApplication{"Gedit", 12, "Gedit"}));
  EXPECT_EQ(focus.activated.size(), 2u);
  EXPECT_EQ(logLines, std::vector<std::string>{"Workspace: could not bring Gedit forward"});
}

TEST(LinuxProcessRunner, ReportsOutputExitStatusLaunchFailureAndKillsAToolPastItsTimeOut) {
  LinuxProcessRunner runner;
  auto ok = runner.run("/bin/sh", {"-c", "echo out; echo err >&2; exit 3"}, 10);
  EXPECT_TRUE(ok.launched);
  EXPECT_FALSE(ok.timedOut);
  EXPECT_EQ(ok.exitStatus, 3);
  EXPECT_EQ(ok.output, "out\n");
  EXPECT_EQ(ok.errorOutput, "err\n");

  auto missing = runner.run("/nonexistent/hidutil", {"property"}, 1);
  EXPECT_FALSE(missing.launched);
  EXPECT_NE(missing.launchError.find("/nonexistent/hidutil"), std::string::npos);

  // A tool that closes its output but never exits is still killed, with
  // what it started (the sleep was left running for 30 s).
  const std::string pidFile = ::testing::TempDir() + "/stuck-tool-child.pid";
  auto stuck = runner.run("/bin/sh", {"-c", "exec >&- 2>&-; sleep 30 & echo $! >" + pidFile + "; wait"}, 0.3);
  EXPECT_TRUE(stuck.launched);
  EXPECT_TRUE(stuck.timedOut);
  std::ifstream pidIn(pidFile);
  int child = 0;
  ASSERT_TRUE(pidIn >> child);
  auto childRuns = [child] {
    std::ifstream childStat("/proc/" + std::to_string(child) + "/stat");
    std::string pidField, name, state;
    return childStat >> pidField >> name >> state && state != "Z";
  };
  // SIGKILL lands a moment after it is sent.
  for (int i = 0; i < 100 && childRuns(); ++i) ::usleep(10000);
  EXPECT_FALSE(childRuns()) << "the tool's child still runs";
}

}  // namespace
}  // namespace tessa::test
