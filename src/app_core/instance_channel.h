#pragma once
// Actions sent to the running application from outside it: `tessavinor
// --action NAME` hands NAME to the instance that holds the single-instance
// lock, through a local socket beside the lock (owner-only, in the user's
// runtime folder), so that a desktop shortcut can open the clipboard panel.
// Only the actions listed here are accepted, and only from the same user.
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/task_runner.h"

namespace tessa {

class StatusMenuActions;

class InstanceChannel {
 public:
  static constexpr const char* kActionArgument = "--action";
  // The actions a command line may send, in the order the help lists them.
  static const std::vector<std::string>& knownActions();
  static bool isKnownAction(std::string_view name);
  // Runs a known action on the application's menu actions; false for any
  // other name.
  static bool perform(StatusMenuActions& actions, std::string_view name);

  // The socket that goes with an instance lock file ("<name>.lock" ->
  // "<name>.actions", in the same folder).
  static std::filesystem::path socketPathFor(const std::filesystem::path& lockPath);

  using Handler = std::function<void(const std::string& action)>;
  // Listens at `path`, replacing what is there: only the holder of the
  // instance lock may call this. Each accepted action runs `handler` on
  // `main`. Null, with the reason in `why`, when the socket cannot be made.
  static std::unique_ptr<InstanceChannel> listen(const std::filesystem::path& path, TaskRunner& main,
                                                 Handler handler, std::string* why = nullptr);
  // Stops listening and removes the socket.
  ~InstanceChannel();
  InstanceChannel(const InstanceChannel&) = delete;
  InstanceChannel& operator=(const InstanceChannel&) = delete;

  enum class SendResult { accepted, unknownAction, notRunning, failed };
  // Hands `action` to the instance listening at `path` and waits for its
  // answer, up to the timeout; `detail` gets the reason of a failure.
  static SendResult send(const std::filesystem::path& path, const std::string& action, std::string* detail = nullptr,
                         double timeoutSeconds = 5.0);

  struct CommandOutcome {
    int exitStatus = 0;  // 0 sent, 1 no running instance (or no answer), 2 bad use
    std::string message;  // for standard error; empty when all went well
  };
  // `tessavinor --action NAME` (args without the program name); none when
  // the arguments carry no --action, and the application starts as usual.
  static std::optional<CommandOutcome> runCommand(const std::vector<std::string>& args,
                                                  const std::filesystem::path& socketPath);

 private:
  InstanceChannel() = default;
  void serve();
  // The reply to one request line.
  std::string answer(const std::string& line);

  std::filesystem::path path_;
  TaskRunner* main_ = nullptr;
  std::shared_ptr<Handler> handler_;
  int listenFd_ = -1;
  int wakeFds_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace tessa
