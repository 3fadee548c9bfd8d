// The application as a whole process on a real X server (its own Xvfb):
// the time from starting `tessavinor` to its status item being made, and
// its resident memory a few seconds after start, once the deferred word-list
// loading has run. Needs Xvfb; skips without it.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Xvfb {
  pid_t pid = 0;
  std::string display;
  Xvfb() {
    int fds[2];
    if (::pipe(fds) != 0) return;
    std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-noreset", "-nolisten", "tcp", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    if (::posix_spawnp(&pid, "Xvfb", &actions, nullptr, const_cast<char**>(argv), environ) != 0) pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    // The server writes its display number and a newline, perhaps in pieces.
    std::string number;
    char c = 0;
    while (pid && number.size() < 16 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(fds[0]);
    if (!number.empty() && c == '\n') display = ":" + number;
  }
  ~Xvfb() {
    if (pid) {
      ::kill(pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
  }
};

struct Launched {
  pid_t pid = 0;
  FILE* err = nullptr;
};

Launched launch(const std::string& display, const fs::path& home) {
  fs::create_directories(home / "run");
  fs::permissions(home / "run", fs::perms::owner_all);
  std::string envDisplay = "DISPLAY=" + display, envHome = "TESSAVINOR_HOME=" + home.string(),
              envRun = "XDG_RUNTIME_DIR=" + (home / "run").string(), envQpa = "QT_QPA_PLATFORM=xcb",
              envBus = "DBUS_SESSION_BUS_ADDRESS=unix:path=" + (home / "no-bus").string();
  const char* env[] = {envDisplay.c_str(), envHome.c_str(), envRun.c_str(), envQpa.c_str(), envBus.c_str(),
                       "PATH=/usr/bin:/bin", nullptr};
  int fds[2];
  if (::pipe(fds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  const char* argv[] = {TESSAVINOR_APP_BINARY, nullptr};
  Launched l;
  if (::posix_spawn(&l.pid, TESSAVINOR_APP_BINARY, &actions, nullptr, const_cast<char**>(argv),
                    const_cast<char**>(env)) != 0)
    l.pid = 0;
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  l.err = ::fdopen(fds[0], "r");
  return l;
}

bool waitForLine(FILE* err, const std::string& marker) {
  char line[4096];
  while (std::fgets(line, sizeof line, err))
    if (std::string(line).find(marker) != std::string::npos) return true;
  return false;
}

void stop(Launched& l) {
  if (l.pid) {
    ::kill(l.pid, SIGTERM);
    ::waitpid(l.pid, nullptr, 0);
  }
  if (l.err) std::fclose(l.err);
}

long residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      return value;
    }
    status.ignore(4096, '\n');
  }
  return -1;
}

Xvfb& server() {
  static Xvfb xvfb;
  return xvfb;
}

void BM_StartToStatusItem(benchmark::State& state) {
  if (server().display.empty()) {
    state.SkipWithError("no Xvfb");
    return;
  }
  fs::path home = fs::temp_directory_path() / ("tessavinor-bench-" + std::to_string(::getpid()));
  for (auto _ : state) {
    fs::remove_all(home);
    auto start = Clock::now();
    Launched l = launch(server().display, home);
    bool ok = waitForLine(l.err, "start-up step: warnStatusItemMissing");
    auto elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(elapsed);
    waitForLine(l.err, "Tessavinor: started");
    stop(l);
    if (!ok) state.SkipWithError("the status item was never made");
  }
  fs::remove_all(home);
}
BENCHMARK(BM_StartToStatusItem)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ResidentMemoryAfterStart(benchmark::State& state) {
  if (server().display.empty()) {
    state.SkipWithError("no Xvfb");
    return;
  }
  fs::path home = fs::temp_directory_path() / ("tessavinor-bench-rss-" + std::to_string(::getpid()));
  long kib = 0;
  for (auto _ : state) {
    fs::remove_all(home);
    Launched l = launch(server().display, home);
    waitForLine(l.err, "Tessavinor: started");
    // The word lists load 2 s after start; measure once that has run.
    std::this_thread::sleep_for(std::chrono::seconds(4));
    kib = residentKiB(l.pid);
    stop(l);
  }
  state.counters["rss_MiB"] = static_cast<double>(kib) / 1024.0;
  fs::remove_all(home);
}
BENCHMARK(BM_ResidentMemoryAfterStart)->Iterations(3)->Unit(benchmark::kSecond);

}  // namespace
