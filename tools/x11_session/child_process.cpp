#include "x11_session/child_process.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
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
  // Also from this side, so that the group exists even if the destructor
  // runs before the child has made it (the child's own call may then fail).
  setpgid(pid, pid);
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
  endGroup();
  if (out_ >= 0) close(out_);
  if (extra_ >= 0) close(extra_);
}

void ChildProcess::endGroup() {
  if (pid_ <= 0) return;
  // SIGCONT after SIGTERM: a stopped member holds SIGTERM until resumed.
  auto signalGroup = [this](int sig) { ::kill(-pid_, sig); };
  signalGroup(SIGTERM);
  signalGroup(SIGCONT);
  if (!reaped_ && !wait(2.0)) {
    signalGroup(SIGKILL);
    waitpid(pid_, nullptr, 0);
    reaped_ = true;
  }
  // Members that outlive the program are not our children: watched until
  // the group is empty. (The number cannot be handed to a new process while
  // any member holds it as its group.)
  if (!waitUntil([this] { return ::kill(-pid_, 0) != 0; }, 2.0, 0.005)) signalGroup(SIGKILL);
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

namespace {
volatile sig_atomic_t gReapedCommand = 0;

void passSignalOn(int sig) {
  if (gReapedCommand > 0) ::kill(static_cast<pid_t>(gReapedCommand), sig);
}

// Every process below `root`, parents before their children.
std::vector<pid_t> descendantsOf(pid_t root) {
  std::multimap<pid_t, pid_t> children;
  if (DIR* proc = opendir("/proc")) {
    while (dirent* entry = readdir(proc)) {
      char* end = nullptr;
      const long pid = std::strtol(entry->d_name, &end, 10);
      if (pid <= 0 || *end) continue;
      std::ifstream stat(std::string("/proc/") + entry->d_name + "/stat");
      std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
      // "pid (name) state ppid ...": the name may hold spaces and parentheses.
      const auto close = text.rfind(')');
      char state = 0;
      long ppid = 0;
      if (close != std::string::npos && std::sscanf(text.c_str() + close + 1, " %c %ld", &state, &ppid) == 2)
        children.emplace(static_cast<pid_t>(ppid), static_cast<pid_t>(pid));
    }
    closedir(proc);
  }
  std::vector<pid_t> out;
  std::vector<pid_t> parents{root};
  for (size_t i = 0; i < parents.size(); ++i) {
    auto [from, to] = children.equal_range(parents[i]);
    for (auto it = from; it != to; ++it) {
      out.push_back(it->second);
      parents.push_back(it->second);
    }
  }
  return out;
}

std::string describe(pid_t pid) {
  std::ifstream cmdline("/proc/" + std::to_string(pid) + "/cmdline");
  std::string args((std::istreambuf_iterator<char>(cmdline)), std::istreambuf_iterator<char>());
  while (!args.empty() && args.back() == '\0') args.pop_back();
  for (char& c : args)
    if (c == '\0') c = ' ';
  return std::to_string(pid) + " " + (args.empty() ? "(no command line)" : args);
}

// Reaps every child that has ended; false once there is none left at all.
bool reapEnded() {
  for (;;) {
    const pid_t r = waitpid(-1, nullptr, WNOHANG);
    if (r > 0) continue;
    if (r < 0 && errno == EINTR) continue;
    return !(r < 0 && errno == ECHILD);
  }
}
}  // namespace

int runAndReap(const std::vector<std::string>& argv, double graceSeconds, std::vector<std::string>* leftBehind) {
  if (argv.empty()) return 127;
  prctl(PR_SET_CHILD_SUBREAPER, 1);
  struct sigaction pass {};
  pass.sa_handler = passSignalOn;
  sigemptyset(&pass.sa_mask);
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &pass, nullptr);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t command = fork();
  if (command < 0) return 127;
  if (command == 0) {
    execvp(args[0], args.data());
    _exit(127);
  }
  gReapedCommand = command;
  int status = 0;
  for (;;) {
    const pid_t r = waitpid(-1, &status, 0);
    if (r == command) break;
    if (r < 0 && errno != EINTR) break;  // cannot happen while the command runs
  }
  gReapedCommand = 0;
  const int result = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 127;

  // Whatever the command's processes were still ending (a bus that lost its
  // last client) ends by itself within the grace period.
  if (!waitUntil([] { return !reapEnded(); }, graceSeconds, 0.01)) {
    std::set<pid_t> signalled;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    // All are named before any is ended (one that is ending has no command
    // line left); each is sent SIGTERM once, then SIGKILL past the deadline.
    // Whatever starts meanwhile is ended in turn.
    while (reapEnded()) {
      const bool late = std::chrono::steady_clock::now() > deadline;
      const auto running = descendantsOf(getpid());
      for (pid_t pid : running)
        if (!signalled.count(pid) && leftBehind) leftBehind->push_back(describe(pid));
      for (pid_t pid : running) {
        if (signalled.insert(pid).second) {
          ::kill(pid, SIGTERM);
          ::kill(pid, SIGCONT);
        } else if (late) {
          ::kill(pid, SIGKILL);
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  return result;
}

}  // namespace tessa::xsession
