// Nothing a test starts outlives it: a child process ends with what it
// started, even what ignores SIGTERM, and the test runner's reaper ends what
// a command orphaned, whether the command passed or crashed.
#include "x11_session/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <string>

namespace tessa::xsession {
namespace {

// Gone, or a zombie waiting for its reaper.
bool ended(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  return ::kill(pid, 0) != 0 || (close != std::string::npos && text.substr(close + 2, 1) == "Z");
}

// Starts `script` under sh; the script prints the process id of what it
// started, which is returned with the running child.
std::pair<std::unique_ptr<ChildProcess>, pid_t> startPrinting(std::vector<std::string> argv) {
  auto child = ChildProcess::start(argv);
  if (!child) return {nullptr, 0};
  auto line = child->readLine(10.0);
  return {std::move(child), line ? static_cast<pid_t>(std::stol(*line)) : 0};
}

TEST(ChildProcessLifetime, WhatTheChildStartedEndsWithIt) {
  // A shell waiting on a program of its own, and one in which both ignore
  // SIGTERM (ended with SIGKILL past the deadline).
  for (const char* script : {"sleep 1000 & echo $!; wait", "trap '' TERM; sleep 1000 & echo $!; wait"}) {
    auto [child, started] = startPrinting({"sh", "-c", script});
    ASSERT_TRUE(child && started > 0) << script;
    const pid_t shell = child->pid();
    child.reset();
    EXPECT_TRUE(ended(shell)) << script;
    EXPECT_TRUE(waitUntil([pid = started] { return ended(pid); }, 5.0)) << script << ": " << started << " still runs";
  }
}

TEST(ChildProcessLifetime, TheReaperEndsWhatACommandOrphanedAndFailsACommandThatPassed) {
  // The orphan has left the command's process group and session: only being
  // re-parented to the reaper ties it to the run. Its status: the command's,
  // but a pass that left something running fails.
  struct Case {
    const char* script;
    int status;
  };
  for (const Case& c : {Case{"(setsid sleep 1000 & echo $!); exit 0", 1},
                        Case{"(setsid sleep 1000 & echo $!); exit 3", 3},
                        Case{"(setsid sleep 1000 & echo $!); kill -SEGV $$", 128 + SIGSEGV},
                        Case{"exit 0", 0}}) {
    const bool orphans = std::string(c.script).find("sleep") != std::string::npos;
    auto child = ChildProcess::start({TESSAVINOR_RUN_REAPED_PATH, "--grace", "0.2", "sh", "-c", c.script});
    ASSERT_TRUE(child) << c.script;
    pid_t orphan = 0;
    if (orphans) {
      auto line = child->readLine(10.0);
      ASSERT_TRUE(line) << c.script;
      orphan = static_cast<pid_t>(std::stol(*line));
    }
    EXPECT_EQ(child->wait(20.0), c.status) << c.script;
    if (orphans) {
      EXPECT_TRUE(ended(orphan)) << c.script << ": " << orphan << " still runs";
    }
  }
}

}  // namespace
}  // namespace tessa::xsession
