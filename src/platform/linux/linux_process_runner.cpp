#include "platform/linux/linux_process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

extern char** environ;

namespace tessa {
namespace {

constexpr size_t kMaxOutputBytes = 1 << 20;  // [ours]

struct Pipe {
  int fd[2] = {-1, -1};
  bool open() { return ::pipe2(fd, O_CLOEXEC) == 0; }
  void close(int i) {
    if (fd[i] >= 0) ::close(fd[i]);
    fd[i] = -1;
  }
  ~Pipe() {
    close(0);
    close(1);
  }
};

}  // namespace

ProcessResult LinuxProcessRunner::run(const std::string& path, const std::vector<std::string>& arguments,
                                      double timeoutSeconds) {
  ProcessResult result;
  Pipe out, err;
  if (!out.open() || !err.open()) {
    result.launchError = std::string("pipe: ") + std::strerror(errno);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out.fd[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, err.fd[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(path.c_str()));
  for (const auto& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  // The tool leads a process group of its own, so that a tool that outlives
  // its time-out is ended with whatever it started (a shell's children).
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);

  pid_t pid = 0;
  int rc = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  out.close(1);
  err.close(1);
  if (rc != 0) {
    result.launchError = path + ": " + std::strerror(rc);
    return result;
  }
  result.launched = true;

  auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeoutSeconds);
  pollfd fds[2] = {{out.fd[0], POLLIN, 0}, {err.fd[0], POLLIN, 0}};
  std::string* sinks[2] = {&result.output, &result.errorOutput};
  int openCount = 2;
  while (openCount > 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      result.timedOut = true;
      break;
    }
    int n = ::poll(fds, 2, static_cast<int>(left.count()));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[4096];
      ssize_t got = ::read(fds[i].fd, buf, sizeof buf);
      if (got > 0) {
        if (sinks[i]->size() < kMaxOutputBytes) sinks[i]->append(buf, static_cast<size_t>(got));
      } else if (got == 0 || errno != EINTR) {
        fds[i].fd = -1;
        --openCount;
      }
    }
  }
  int status = 0;
  if (result.timedOut) {
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    return result;
  }
  // Output closed: wait for the exit within what is left of the time-out.
  while (true) {
    pid_t done = ::waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(-pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      result.timedOut = true;
      return result;
    }
    ::usleep(1000);
  }
  result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

}  // namespace tessa
