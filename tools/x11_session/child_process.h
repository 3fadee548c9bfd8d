#pragma once
// A child process for the X11 tests: its standard output read line by line
// with a deadline, its standard input written a line at a time. The
// destructor ends it (SIGTERM, then SIGKILL past a deadline) and reaps it.
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
  ChildProcess() = default;
  static std::optional<std::string> readLineFrom(int fd, std::string& buffer, double timeoutSeconds);

  pid_t pid_ = -1;
  int in_ = -1, out_ = -1, extra_ = -1;
  std::string outBuffer_, extraBuffer_;
  bool reaped_ = false;
};

// Waits for `condition` to hold, trying again every `interval` seconds until
// the deadline; true when it held.
bool waitUntil(const std::function<bool()>& condition, double timeoutSeconds, double interval = 0.002);

}  // namespace tessa::xsession
