// The screen saver and display power of a private Xvfb, driven with xset.
#include "platform/x11/x11_screen_state.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "x11/support/unavailable.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using xsession::XSession;

class X11ScreenStateTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    session = XSession::start(&why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    if (std::system("command -v xset >/dev/null 2>&1") != 0) TESSA_X11_UNAVAILABLE("xset is not installed");
  }
  // xset waits for the server before it exits, so the next reading sees it.
  void xset(const std::string& args) {
    std::string command = "xset -display " + session->displayName() + " " + args;
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
  }
  std::unique_ptr<X11ScreenState> open(bool watchSaver) {
    return X11ScreenState::open(
        session->displayName().c_str(), watchSaver, [this](WorkspaceEvent e) { events.push_back(e); },
        [this](const std::string& line) { logs.push_back(line); });
  }

  std::unique_ptr<XSession> session;
  std::vector<WorkspaceEvent> events;
  std::vector<std::string> logs;
};

TEST_F(X11ScreenStateTest, SaverComingOnAndOffIsALockAndAnUnlockEachReportedOnce) {
  auto state = open(true);
  for (const auto& line : logs) EXPECT_EQ(line.find("screen saver"), std::string::npos) << line;
  state->poll();
  EXPECT_TRUE(events.empty());  // the first reading is the starting point
  xset("s activate");
  state->poll();
  state->poll();
  xset("s reset");
  state->poll();
  EXPECT_EQ(events, (std::vector<WorkspaceEvent>{WorkspaceEvent::screenLocked, WorkspaceEvent::screenUnlocked}));
}

TEST_F(X11ScreenStateTest, MonitorsPoweredDownAreADisplaySleepAndBackAWake) {
  auto state = open(false);
  if (!state->read().displayAsleep) {
    // Debian's Xvfb is built without DPMS: that is said once, and the source
    // stays quiet.
    ASSERT_EQ(logs, (std::vector<std::string>{
                        "Display sleep: the X server has no DPMS - display power will not be noticed"}));
    state->poll();
    state->poll();
    EXPECT_TRUE(events.empty());
    GTEST_SKIP() << "this X server has no DPMS to drive";
  }
  xset("+dpms");
  state->poll();
  xset("dpms force off");
  state->poll();
  xset("dpms force on");
  state->poll();
  // The saver is someone else's here: forcing the monitors off does not
  // count as a lock.
  EXPECT_EQ(events, (std::vector<WorkspaceEvent>{WorkspaceEvent::screensDidSleep, WorkspaceEvent::screensDidWake}));
}

TEST_F(X11ScreenStateTest, NoServerIsLoggedOnceAndNeverReports) {
  std::vector<std::string> lines;
  auto state = X11ScreenState::open(
      ":65500", true, [this](WorkspaceEvent e) { events.push_back(e); },
      [&lines](const std::string& line) { lines.push_back(line); });
  state->poll();
  state->poll();
  EXPECT_TRUE(events.empty());
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find("no X server"), std::string::npos);
}

}  // namespace
}  // namespace tessa
