#include "x11_session/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace tessa::xsession {

namespace {
using Clock = std::chrono::steady_clock;

Clock::time_point deadlineIn(double seconds) {
  return Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

double secondsLeft(Clock::time_point deadline) {
  return std::chrono::duration<double>(deadline - Clock::now()).count();
}
}  // namespace

bool waitUntil(const std::function<bool()>& condition, double timeoutSeconds, double interval) {
  const auto deadline = deadlineIn(timeoutSeconds);
  for (;;) {
    if (condition()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::duration<double>(interval));
  }
}

std::unique_ptr<ChildProcess> ChildProcess::start(const std::vector<std::string>& argv, const Options& options) {
  int in[2], out[2], extra[2] = {-1, -1};
  if (pipe2(in, O_CLOEXEC) != 0) return nullptr;
  if (pipe2(out, O_CLOEXEC) != 0) return nullptr;
  if (options.extraFd >= 0 && pipe2(extra, O_CLOEXEC) != 0) return nullptr;
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  // The environment is made before fork(): between fork() and exec() the
  // child may only make async-signal-safe calls, and this process has threads.
  std::vector<std::string> envStrings;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    bool replaced = false;
    for (const auto& [k, v] : options.env) replaced = replaced || entry.rfind(k + "=", 0) == 0;
    if (!replaced) envStrings.push_back(std::move(entry));
  }
  for (const auto& [k, v] : options.env) envStrings.push_back(k + "=" + v);
  std::vector<char*> envp;
  for (auto& e : envStrings) envp.push_back(e.data());
  envp.push_back(nullptr);
  const int null = options.quietStderr ? open("/dev/null", O_WRONLY | O_CLOEXEC) : -1;
  pid_t pid = fork();
  if (pid < 0) return nullptr;
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    if (null >= 0) dup2(null, 2);
    if (extra[1] == options.extraFd)
      fcntl(extra[1], F_SETFD, 0);  // already in place: only keep it open across exec
    else if (extra[1] >= 0)
      dup2(extra[1], options.extraFd);
    setpgid(0, 0);
    execvpe(args[0], args.data(), envp.data());
    _exit(127);
  }
  if (null >= 0) close(null);
  close(in[0]);
  close(out[1]);
  if (extra[1] >= 0) close(extra[1]);
  std::unique_ptr<ChildProcess> child(new ChildProcess());
  child->pid_ = pid;
  child->in_ = in[1];
  child->out_ = out[0];
  child->extra_ = extra[0];
  return child;
}

ChildProcess::~ChildProcess() {
  if (in_ >= 0) close(in_);
  if (!reaped_ && pid_ > 0) {
    kill(pid_, SIGTERM);
    if (!wait(2.0)) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  if (out_ >= 0) close(out_);
  if (extra_ >= 0) close(extra_);
}

std::optional<std::string> ChildProcess::readLineFrom(int fd, std::string& buffer, double timeoutSeconds) {
  const auto deadline = deadlineIn(timeoutSeconds);
  for (;;) {
    if (auto nl = buffer.find('\n'); nl != std::string::npos) {
      std::string line = buffer.substr(0, nl);
      buffer.erase(0, nl + 1);
      return line;
    }
    if (fd < 0) return std::nullopt;
    const double left = secondsLeft(deadline);
    if (left <= 0) return std::nullopt;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left * 1000) + 1) <= 0) continue;
    char chunk[4096];
    ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    buffer.append(chunk, static_cast<size_t>(n));
  }
}

std::optional<std::string> ChildProcess::readLine(double timeoutSeconds) {
  return readLineFrom(out_, outBuffer_, timeoutSeconds);
}

std::optional<std::string> ChildProcess::readExtraLine(double timeoutSeconds) {
  return readLineFrom(extra_, extraBuffer_, timeoutSeconds);
}

std::optional<std::string> ChildProcess::waitForLine(const std::string& prefix, double timeoutSeconds) {
  const auto deadline = deadlineIn(timeoutSeconds);
  for (;;) {
    const double left = secondsLeft(deadline);
    if (left <= 0) return std::nullopt;
    auto line = readLine(left);
    if (!line) return std::nullopt;
    if (line->rfind(prefix, 0) == 0) return line;
  }
}

bool ChildProcess::writeLine(const std::string& line) {
  std::string data = line + "\n";
  return ::write(in_, data.data(), data.size()) == static_cast<ssize_t>(data.size());
}

std::optional<int> ChildProcess::wait(double timeoutSeconds) {
  if (reaped_) return std::nullopt;
  int status = 0;
  std::optional<int> result;
  waitUntil(
      [&] {
        pid_t r = waitpid(pid_, &status, WNOHANG);
        if (r == pid_) {
          reaped_ = true;
          result = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
          return true;
        }
        return r < 0;
      },
      timeoutSeconds, 0.005);
  return result;
}

}  // namespace tessa::xsession
