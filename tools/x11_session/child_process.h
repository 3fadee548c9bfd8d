#pragma once
// A child process for the X11 tests: its standard output read line by line
// with a deadline, its standard input written a line at a time. It leads a
// process group of its own, and the destructor ends that whole group
// (SIGTERM, then SIGKILL past a deadline): whatever the program started
// (the accessibility bus launcher's own bus and registry, a window manager's
// helpers) ends with it. It reaps the program.
#include <sys/types.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessa::xsession {

class ChildProcess {
 public:
  struct Options {
    std::vector<std::pair<std::string, std::string>> env;  // added to ours
    // A descriptor number the child may write to (Xvfb's -displayfd): its
    // lines come out of readExtraLine().
    int extraFd = -1;
    bool quietStderr = true;
  };
  // Null when the program cannot be started.
  static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv, const Options& options);
  static std::unique_ptr<ChildProcess> start(const std::vector<std::string>& argv) { return start(argv, Options{}); }
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The next line of output without its newline; none at the deadline or at
  // the end of the output.
  std::optional<std::string> readLine(double timeoutSeconds);
  std::optional<std::string> readExtraLine(double timeoutSeconds);
  // Reads lines until one starts with `prefix`; returns it.
  std::optional<std::string> waitForLine(const std::string& prefix, double timeoutSeconds);
  bool writeLine(const std::string& line);
  // Waits for the child to end by itself; its exit status, or none.
  std::optional<int> wait(double timeoutSeconds);
  pid_t pid() const { return pid_; }

 private:
  void endGroup();
  ChildProcess() = default;
  static std::optional<std::string> readLineFrom(int fd, std::string& buffer, double timeoutSeconds);

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, extra_ = -1;
  std::string outBuffer_, extraBuffer_;
  bool reaped_ = false;
};

// Runs `argv` to its end as the reaper of everything it starts: a process
// its descendants leave behind is re-parented to this one instead of init,
// so none can outlive the run unseen. Once the command has ended, its
// descendants get `graceSeconds` to end by themselves; any still running are
// then ended (SIGTERM, then SIGKILL) and described ("pid args") in
// `leftBehind`. SIGTERM, SIGINT and SIGHUP sent to this process go on to the
// command. Returns the command's exit status, 128 + its signal, or 127 when
// it cannot be started.
int runAndReap(const std::vector<std::string>& argv, double graceSeconds, std::vector<std::string>* leftBehind);

// Waits for `condition` to hold, trying again every `interval` seconds until
// the deadline; true when it held.
bool waitUntil(const std::function<bool()>& condition, double timeoutSeconds, double interval = 0.002);

}  // namespace tessa::xsession
