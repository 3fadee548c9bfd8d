// The screen saver and display power of a private Xvfb, driven with xset.
#include "platform/x11/x11_screen_state.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <mutex>
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
        session->displayName().c_str(), watchSaver,
        [this](WorkspaceEvent e) {
          std::lock_guard lock(mutex);
          events.push_back(e);
        },
        [this](const std::string& line) { logs.push_back(line); });
  }
  // The events reported so far (a watching state reports from its thread).
  std::vector<WorkspaceEvent> reported() {
    std::lock_guard lock(mutex);
    return events;
  }
  bool waitForEvents(size_t count) {
    return xsession::waitUntil([&] { return reported().size() >= count; }, 5.0);
  }

  std::unique_ptr<XSession> session;
  std::mutex mutex;
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

// Watching, nothing is read on a timer: the server announces the saver.
TEST_F(X11ScreenStateTest, AWatchedSaverIsReportedAsTheServerAnnouncesIt) {
  auto state = open(true);
  state->watch();
  xset("s activate");
  ASSERT_TRUE(waitForEvents(1));
  xset("s reset");
  ASSERT_TRUE(waitForEvents(2));
  EXPECT_EQ(reported(), (std::vector<WorkspaceEvent>{WorkspaceEvent::screenLocked, WorkspaceEvent::screenUnlocked}));
}

TEST(X11ScreenStateTiming, TheMonitorsAreReadWhenTheirShortestTimeOutCanFirstHavePassed) {
  const unsigned none[3] = {0, 0, 0};
  const unsigned set[3] = {600, 0, 300};
  // Down: read each second until they are back.
  EXPECT_EQ(X11ScreenState::secondsUntilDisplayMayChange(true, none, 0), std::optional<double>(1.0));
  // No time-out: they never go down by themselves.
  EXPECT_EQ(X11ScreenState::secondsUntilDisplayMayChange(false, none, 50), std::nullopt);
  // The next time-out still ahead, less the time already idle, never sooner
  // than a second...
  EXPECT_EQ(X11ScreenState::secondsUntilDisplayMayChange(false, set, 100), std::optional<double>(200.0));
  EXPECT_EQ(X11ScreenState::secondsUntilDisplayMayChange(false, set, 299.5), std::optional<double>(1.0));
  EXPECT_EQ(X11ScreenState::secondsUntilDisplayMayChange(false, set, 450), std::optional<double>(150.0));
  // ...and past all of them with the monitors on, a whole shortest time-out:
  // never each second while nothing changes.
  EXPECT_EQ(X11ScreenState::secondsUntilDisplayMayChange(false, set, 900), std::optional<double>(300.0));
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
