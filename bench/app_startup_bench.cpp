// The application as a whole process on a real X server (its own Xvfb):
// the time from starting `tessavinor` to its status item being made, and
// its memory a few seconds after start, once the deferred word-list loading
// has run. Beside it in each round, the same for a bare Qt tray program
// (tessavinor-bare-tray), its baseline. And its end at logout: SIGTERM, the X
// server and the session bus going away at one moment, to the process's end
// (a dbus-daemon of its own each round, the accessibility switch on). Needs
// Xvfb (and dbus-daemon for the end); skips without them.
//
// TESSAVINOR_BENCH_APP names another build of the application to measure
// (an older one, for a before-and-after in the same run).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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

Xvfb& server() {
  static Xvfb xvfb;
  return xvfb;
}

struct Launched {
  pid_t pid = 0;
  FILE* err = nullptr;
};

std::string application() {
  const char* other = std::getenv("TESSAVINOR_BENCH_APP");
  return other && *other ? other : TESSAVINOR_APP_BINARY;
}

// A session bus of its own with the accessibility switch on, as the user's
// grant turns it, in a process group with all it starts (the accessibility
// bus); its programs get folders of their own. No `address` when none runs.
struct SessionBus {
  pid_t pid = 0;
  std::string address;
  SessionBus(const fs::path& home, const std::string& display) {
    std::vector<std::string> env{"PATH=/usr/bin:/bin", "HOME=" + home.string(), "DISPLAY=" + display,
                                 "GSETTINGS_BACKEND=memory"};
    for (const char* name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME"}) {
      const fs::path folder = home / (std::string("bus-") + name);
      fs::create_directories(folder);
      fs::permissions(folder, fs::perms::owner_all);
      env.push_back(std::string(name) + "=" + folder.string());
    }
    std::vector<const char*> envp;
    for (const auto& e : env) envp.push_back(e.c_str());
    envp.push_back(nullptr);
    // Says "on" once the bus answers with the switch on; the bus runs on.
    const std::string listen = "unix:path=" + (home / "bus").string();
    const char* script =
        "dbus-daemon --session --nofork --address=\"$0\" --print-address=1 | { read -r _ && dbus-send "
        "--bus=\"$0\" --print-reply --dest=org.a11y.Bus /org/a11y/bus org.freedesktop.DBus.Properties.Set "
        "string:org.a11y.Status string:IsEnabled variant:boolean:true >/dev/null && echo on; cat >/dev/null; }";
    const char* argv[] = {"/bin/sh", "-c", script, listen.c_str(), nullptr};
    int fds[2];
    if (::pipe(fds) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
    if (::posix_spawn(&pid, argv[0], &actions, &attributes, const_cast<char**>(argv),
                      const_cast<char**>(envp.data())) != 0)
      pid = 0;
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(fds[1]);
    FILE* out = ::fdopen(fds[0], "r");
    char line[16] = {};
    if (pid && std::fgets(line, sizeof line, out) && std::string(line) == "on\n") address = listen;
    std::fclose(out);
  }
  ~SessionBus() {
    if (pid) {
      ::kill(-pid, SIGTERM);
      ::waitpid(pid, nullptr, 0);
    }
  }
};

Launched launch(const std::string& display, const fs::path& home, const std::string& program,
                const std::string& busAddress = "") {
  fs::create_directories(home / "run");
  fs::permissions(home / "run", fs::perms::owner_all);
  std::string envDisplay = "DISPLAY=" + display, envHome = "TESSAVINOR_HOME=" + home.string(),
              envRun = "XDG_RUNTIME_DIR=" + (home / "run").string(), envQpa = "QT_QPA_PLATFORM=xcb",
              envBus = "DBUS_SESSION_BUS_ADDRESS=" +
                       (busAddress.empty() ? "unix:path=" + (home / "no-bus").string() : busAddress);
  const char* env[] = {envDisplay.c_str(), envHome.c_str(), envRun.c_str(), envQpa.c_str(), envBus.c_str(),
                       "PATH=/usr/bin:/bin", nullptr};
  int fds[2];
  if (::pipe(fds) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  const char* argv[] = {program.c_str(), nullptr};
  Launched l;
  if (::posix_spawn(&l.pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv), const_cast<char**>(env)) !=
      0)
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

// The sum of the values of `keys` in a /proc file of `pid` (kB).
long procKiB(pid_t pid, const char* file, std::initializer_list<const char*> keys) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/" + file);
  std::string key;
  long total = 0;
  while (in >> key) {
    for (const char* wanted : keys) {
      if (key == wanted) {
        long value = 0;
        in >> value;
        total += value;
      }
    }
    in.ignore(4096, '\n');
  }
  return total;
}
long residentKiB(pid_t pid) { return procKiB(pid, "status", {"VmRSS:"}); }
// Pages this process alone holds: what starting it costs the machine.
long privateKiB(pid_t pid) { return procKiB(pid, "smaps_rollup", {"Private_Clean:", "Private_Dirty:"}); }

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

// Milliseconds from starting `program` to `readyLine`, or none.
std::optional<double> millisecondsToLine(const fs::path& home, const std::string& program,
                                         const std::string& readyLine, const std::string& lastLine) {
  fs::remove_all(home);
  auto start = Clock::now();
  Launched l = launch(server().display, home, program);
  bool ok = waitForLine(l.err, readyLine);
  auto elapsed = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  if (!lastLine.empty()) waitForLine(l.err, lastLine);
  stop(l);
  if (!ok) return std::nullopt;
  return elapsed;
}


void BM_StartToStatusItem(benchmark::State& state) {
  if (server().display.empty()) {
    state.SkipWithError("no Xvfb");
    return;
  }
  fs::path home = fs::temp_directory_path() / ("tessavinor-bench-" + std::to_string(::getpid()));
  std::vector<double> app, bare;
  for (auto _ : state) {
    // One of each in every round, so that both see the same machine.
    auto b = millisecondsToLine(home, TESSAVINOR_BARE_TRAY_BINARY, "tray icon ready", "");
    auto a = millisecondsToLine(home, application(), "start-up step: warnStatusItemMissing", "Tessavinor: started");
    if (!a || !b) {
      state.SkipWithError("the status item was never made");
      break;
    }
    app.push_back(*a);
    bare.push_back(*b);
    state.SetIterationTime(*a / 1000.0);
  }
  fs::remove_all(home);
  state.counters["app_ms"] = median(app);
  state.counters["bare_tray_ms"] = median(bare);
  state.counters["ratio"] = median(bare) > 0 ? median(app) / median(bare) : 0.0;
}
BENCHMARK(BM_StartToStatusItem)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(15);

void BM_MemoryAfterStart(benchmark::State& state) {
  if (server().display.empty()) {
    state.SkipWithError("no Xvfb");
    return;
  }
  fs::path home = fs::temp_directory_path() / ("tessavinor-bench-rss-" + std::to_string(::getpid()));
  std::vector<double> appRss, appPrivate, barePrivate;
  auto measure = [&](const std::string& program, const std::string& readyLine, std::vector<double>* rss,
                     std::vector<double>& priv) {
    fs::remove_all(home);
    Launched l = launch(server().display, home, program);
    waitForLine(l.err, readyLine);
    // The word lists load 2 s after start; measure once that has run.
    std::this_thread::sleep_for(std::chrono::seconds(4));
    if (rss) rss->push_back(static_cast<double>(residentKiB(l.pid)) / 1024.0);
    priv.push_back(static_cast<double>(privateKiB(l.pid)) / 1024.0);
    stop(l);
  };
  for (auto _ : state) {
    measure(TESSAVINOR_BARE_TRAY_BINARY, "tray icon ready", nullptr, barePrivate);
    measure(application(), "Tessavinor: started", &appRss, appPrivate);
  }
  state.counters["rss_MiB"] = median(appRss);
  state.counters["private_MiB"] = median(appPrivate);
  state.counters["bare_tray_private_MiB"] = median(barePrivate);
  fs::remove_all(home);
}
BENCHMARK(BM_MemoryAfterStart)->Iterations(3)->Unit(benchmark::kSecond);

// The README's promise: the end at logout within a second. The program runs
// a few seconds first, as a session in use would (onboarding done, the
// clipboard history on, the word lists loaded).
void BM_EndAtLogout(benchmark::State& state) {
  fs::path home = fs::temp_directory_path() / ("tessavinor-bench-logout-" + std::to_string(::getpid()));
  std::vector<double> ends;
  for (auto _ : state) {
    fs::remove_all(home);
    fs::create_directories(home / "Preferences");
    std::ofstream(home / "Preferences" / "com.Ovrelan.Tessavinor.json")
        << R"({"hasCompletedOnboarding": true, "isCopyCacheEnabled": true})";
    Xvfb xvfb;  // a server of its own: the logout takes it away
    SessionBus bus(home, xvfb.display);
    if (xvfb.display.empty() || bus.address.empty()) {
      state.SkipWithError("no Xvfb, or no session bus with an accessibility switch");
      break;
    }
    Launched l = launch(xvfb.display, home, application(), bus.address);
    if (!waitForLine(l.err, "Tessavinor: started")) {
      stop(l);
      state.SkipWithError("the program did not start");
      break;
    }
    std::this_thread::sleep_for(std::chrono::seconds(3));
    const auto start = Clock::now();
    for (pid_t pid : {l.pid, xvfb.pid, -bus.pid}) ::kill(pid, SIGTERM);
    ::waitpid(l.pid, nullptr, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    l.pid = 0;
    stop(l);
    ends.push_back(ms);
    state.SetIterationTime(ms / 1000.0);
  }
  fs::remove_all(home);
  state.counters["median_ms"] = median(ends);
  state.counters["max_ms"] = ends.empty() ? 0.0 : *std::max_element(ends.begin(), ends.end());
}
BENCHMARK(BM_EndAtLogout)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace
