#include "app_core/instance_channel.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>

#include "app_core/status_item_fakes.h"
#include "base/clock.h"
#include "support/temp_home.h"

namespace tessa::test {
namespace {

namespace fs = std::filesystem;
using Result = InstanceChannel::SendResult;

class InstanceChannelTest : public ::testing::Test {
 protected:
  TempHome home;
  fs::path socket = InstanceChannel::socketPathFor(home.path() / "com.Ovrelan.Tessavinor.lock");
  ManualClock clock;
  ManualTaskRunner main{clock};
  std::vector<std::string> received;

  std::unique_ptr<InstanceChannel> listen() {
    std::string why;
    auto channel =
        InstanceChannel::listen(socket, main, [this](const std::string& action) { received.push_back(action); }, &why);
    EXPECT_TRUE(channel) << why;
    return channel;
  }

  // A client that says exactly `request` and returns the answer line.
  std::string rawRequest(const std::string& request) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socket.c_str(), sizeof addr.sun_path - 1);
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_EQ(::write(fd, request.data(), request.size()), static_cast<ssize_t>(request.size()));
    std::string reply;
    char c;
    while (::read(fd, &c, 1) == 1 && c != '\n') reply += c;
    ::close(fd);
    return reply;
  }
};

TEST_F(InstanceChannelTest, TheSocketSitsBesideTheLockUnderTheSameName) {
  EXPECT_EQ(InstanceChannel::socketPathFor("/run/user/1000/com.Ovrelan.Tessavinor.lock"),
            fs::path("/run/user/1000/com.Ovrelan.Tessavinor.actions"));
}

TEST_F(InstanceChannelTest, AnActionSentIsRunOnTheMainQueueOfTheListeningInstance) {
  auto channel = listen();
  ASSERT_TRUE(channel);
  // Owner-only: nobody else may even connect.
  struct stat st {};
  ASSERT_EQ(::stat(socket.c_str(), &st), 0);
  EXPECT_TRUE(S_ISSOCK(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  EXPECT_EQ(InstanceChannel::send(socket, "openQuickPaste"), Result::accepted);
  EXPECT_EQ(InstanceChannel::send(socket, "clearCopyCache"), Result::accepted);
  EXPECT_TRUE(received.empty()) << "the action must wait for the main queue";
  main.runUntilIdle();
  EXPECT_EQ(received, (std::vector<std::string>{"openQuickPaste", "clearCopyCache"}));

  // Gone with the instance: a later command finds no one rather than a dead socket.
  channel.reset();
  EXPECT_FALSE(fs::exists(socket));
  EXPECT_EQ(InstanceChannel::send(socket, "openQuickPaste"), Result::notRunning);
}

TEST_F(InstanceChannelTest, TheInstanceRefusesWhatIsNotOneOfItsActions) {
  auto channel = listen();
  ASSERT_TRUE(channel);
  // Checked by the instance itself, not only by our own command line.
  EXPECT_EQ(rawRequest("ACTION quitApp\n"), "UNKNOWN");
  EXPECT_EQ(rawRequest("ACTION openQuickPaste extra\n"), "UNKNOWN");
  EXPECT_EQ(rawRequest("hello\n"), "BAD");
  EXPECT_EQ(rawRequest("ACTION toggleCopyCache\n"), "OK");
  main.runUntilIdle();
  EXPECT_EQ(received, (std::vector<std::string>{"toggleCopyCache"}));
}

TEST_F(InstanceChannelTest, IdleConnectionsDoNotKeepACommandWaitingAndCrLfLineEndsAreAccepted) {
  auto channel = listen();
  ASSERT_TRUE(channel);
  // Connections of the same user that say nothing, as many as a stuck tool
  // might leave open (and more than the channel keeps at once).
  std::vector<int> idle;
  for (int i = 0; i < 40; ++i) {
    // Not blocking: a full backlog turns a connection away rather than this test.
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socket.c_str(), sizeof addr.sun_path - 1);
    [[maybe_unused]] int connected = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
    idle.push_back(fd);
  }
  // Served at once, not after the idle ones' 2 s each: a short wait is
  // enough for an answer that does not queue behind them.
  std::string detail;
  EXPECT_EQ(InstanceChannel::send(socket, "openQuickPaste", &detail, 1.0), Result::accepted) << detail;
  EXPECT_EQ(rawRequest("ACTION toggleCopyCache\r\n"), "OK");
  for (int fd : idle) ::close(fd);
  main.runUntilIdle();
  EXPECT_EQ(received, (std::vector<std::string>{"openQuickPaste", "toggleCopyCache"}));
}

TEST_F(InstanceChannelTest, AStaleSocketIsNoInstanceAndIsReplacedByTheNextOne) {
  // Left by an instance that was killed: a socket file nobody listens on.
  {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, socket.c_str(), sizeof addr.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(fd);
  }
  ASSERT_TRUE(fs::exists(socket));
  auto outcome = InstanceChannel::runCommand({"--action", "openQuickPaste"}, socket);
  ASSERT_TRUE(outcome);
  EXPECT_EQ(outcome->exitStatus, 1);
  EXPECT_EQ(outcome->message, "tessavinor: Tessavinor is not running");

  auto channel = listen();
  ASSERT_TRUE(channel);
  EXPECT_EQ(InstanceChannel::send(socket, "openQuickPaste"), Result::accepted);
}

TEST_F(InstanceChannelTest, TheCommandLine) {
  auto channel = listen();
  ASSERT_TRUE(channel);
  // Without --action the application starts as usual.
  EXPECT_FALSE(InstanceChannel::runCommand({}, socket));
  EXPECT_FALSE(InstanceChannel::runCommand({"--relaunched"}, socket));

  auto ok = InstanceChannel::runCommand({"--action", "toggleCopyCache"}, socket);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->exitStatus, 0);
  EXPECT_EQ(ok->message, "");
  auto joined = InstanceChannel::runCommand({"--action=clearCopyCache"}, socket);
  ASSERT_TRUE(joined);
  EXPECT_EQ(joined->exitStatus, 0);

  auto unknown = InstanceChannel::runCommand({"--action", "quitApp"}, socket);
  ASSERT_TRUE(unknown);
  EXPECT_EQ(unknown->exitStatus, 2);
  EXPECT_EQ(unknown->message,
            "tessavinor: unknown action \"quitApp\" (known: openQuickPaste, toggleCopyCache, clearCopyCache)");
  auto missing = InstanceChannel::runCommand({"--action"}, socket);
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->exitStatus, 2);

  main.runUntilIdle();
  EXPECT_EQ(received, (std::vector<std::string>{"toggleCopyCache", "clearCopyCache"}));
}

TEST(InstanceChannelPerform, EachActionReachesTheDelegateAndNothingElseDoes) {
  RecordingShell shell;
  for (const auto& name : InstanceChannel::knownActions()) EXPECT_TRUE(InstanceChannel::perform(shell, name));
  EXPECT_FALSE(InstanceChannel::perform(shell, "quitApp"));
  EXPECT_FALSE(InstanceChannel::perform(shell, ""));
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"openQuickPaste", "toggleCopyCache", "clearCopyCache"}));
}

}  // namespace
}  // namespace tessa::test
