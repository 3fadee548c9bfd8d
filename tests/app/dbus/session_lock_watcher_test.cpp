// The desktop's screen saver on a private session bus (dbus-run-session):
// this process takes the org.freedesktop.ScreenSaver name and sends
// ActiveChanged the way a desktop does.
#include "app/session_lock_watcher.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QTest>

#include <string>
#include <vector>

#include "base/clock.h"
#include "base/task_runner.h"
#include "platform/linux/linux_workspace.h"

namespace tessa {
namespace {

class SessionLockWatcherTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "no session bus";
    subscription = workspace.observe([this](WorkspaceEvent e, const std::optional<RunningApplication>&) {
      events.push_back(e);
    });
  }
  void TearDown() override { QDBusConnection::sessionBus().unregisterService("org.freedesktop.ScreenSaver"); }
  static void sendActive(bool active) {
    auto signal = QDBusMessage::createSignal("/org/freedesktop/ScreenSaver", "org.freedesktop.ScreenSaver",
                                             "ActiveChanged");
    signal << active;
    ASSERT_TRUE(QDBusConnection::sessionBus().send(signal));
  }
  // Pumps Qt until the bus has delivered `count` events and the workspace has
  // handed them on.
  bool waitForEvents(size_t count, int timeoutMs = 5000) {
    return QTest::qWaitFor(
        [&] {
          main.runUntilIdle();
          return events.size() >= count;
        },
        timeoutMs);
  }

  ManualClock clock;
  ManualTaskRunner main{clock};
  LinuxWorkspace workspace{main, "Tessavinor", {}, [](const std::string&) { return true; }};
  Subscription subscription;
  std::vector<WorkspaceEvent> events;
  std::vector<std::string> logs;
};

TEST_F(SessionLockWatcherTest, TheDesktopsScreenSaverLocksAndUnlocksOncePerChange) {
  ASSERT_TRUE(QDBusConnection::sessionBus().registerService("org.freedesktop.ScreenSaver"));
  SessionLockWatcher watcher(workspace, [this](const std::string& line) { logs.push_back(line); });
  ASSERT_TRUE(watcher.watchesDesktopScreenSaver());
  // Qt asks the bus who owns the name after connecting and drops the
  // signals that come before its answer, so the first lock is sent until it
  // is heard; a repeat changes nothing.
  for (int tries = 0; tries < 50 && events.empty(); ++tries) {
    sendActive(true);
    waitForEvents(1, 100);
  }
  sendActive(true);  // the same state again changes nothing
  sendActive(false);
  sendActive(true);
  // Signals arrive in order: had the repeat counted, the second event would
  // be a second lock.
  ASSERT_TRUE(waitForEvents(3));
  EXPECT_EQ(events, (std::vector<WorkspaceEvent>{WorkspaceEvent::screenLocked, WorkspaceEvent::screenUnlocked,
                                                 WorkspaceEvent::screenLocked}));
  for (const auto& line : logs) EXPECT_EQ(line.find("ScreenSaver"), std::string::npos) << line;
}

TEST_F(SessionLockWatcherTest, MissingSourcesAreEachLoggedOnceAndReportNothing) {
  SessionLockWatcher watcher(workspace, [this](const std::string& line) { logs.push_back(line); });
  EXPECT_FALSE(watcher.watchesDesktopScreenSaver());
  EXPECT_FALSE(watcher.watchesLogindSession()) << "a private bus has no logind";
  EXPECT_EQ(logs, (std::vector<std::string>{
                      "Screen lock: no logind session to watch - its Lock and Unlock will not be noticed",
                      "Screen lock: the desktop has no org.freedesktop.ScreenSaver - the X server's screen saver is "
                      "watched instead"}));
  main.runUntilIdle();
  EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace tessa

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
