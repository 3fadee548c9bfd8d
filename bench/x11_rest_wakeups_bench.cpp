// The application at rest: how often its threads wake, all of them together,
// from the voluntary context switches /proc counts, over a fixed window with
// no input. Beside it in each round, the same for a bare Qt tray program on
// the same desktop: its own Xvfb, openbox and a tray host (trayer, where
// installed), a session bus of its own (run inside dbus-run-session), the
// desktop's accessibility switch on as a user's grant leaves it.
//
// Alone, and beside a busy accessible program: the Qt test field renaming
// itself and replacing its text every 10 ms while an assistive tool on the
// same bus listens to every object event, so that each program sends them.
//
// TESSAVINOR_BENCH_APP names another build of the application to measure
// (an older one, for a before-and-after in the same run).
#include <atspi/atspi.h>
#include <benchmark/benchmark.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "x11_session/child_process.h"
#include "x11_session/x11_session.h"

namespace {

namespace fs = std::filesystem;
using tessa::xsession::ChildProcess;
using tessa::xsession::TestField;
using tessa::xsession::waitUntil;
using tessa::xsession::XSession;

constexpr double kSettleSeconds = 3.0;
constexpr double kWindowSeconds = 10.0;
constexpr int kBusyPeriodMs = 10;

// Voluntary context switches of every thread of `pid`: each is the thread
// going to sleep, so each is one wake-up.
long wakeupsSoFar(pid_t pid) {
  long total = 0;
  std::error_code ec;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task", ec)) {
    std::ifstream status(task.path() / "status");
    std::string key;
    while (status >> key) {
      if (key == "voluntary_ctxt_switches:") {
        long n = 0;
        status >> n;
        total += n;
        break;
      }
      status.ignore(4096, '\n');
    }
  }
  return total;
}

// An assistive tool on the bus (a screen reader, say): it asks for every
// object event, so that every program sends them all.
class AssistiveListener {
 public:
  AssistiveListener() : context_(g_main_context_new()), loop_(g_main_loop_new(context_, FALSE)) {
    thread_ = std::thread([this] {
      g_main_context_push_thread_default(context_);
      const int r = atspi_init();
      if (r == 0 || r == 1) {
        atspi_set_main_context(context_);
        listener_ = atspi_event_listener_new(&ignore, nullptr, nullptr);
        listening_ = atspi_event_listener_register(listener_, "object:", nullptr);
      }
      ready_ = true;
      g_main_loop_run(loop_);
      if (listener_) {
        atspi_event_listener_deregister(listener_, "object:", nullptr);
        g_object_unref(listener_);
      }
      g_main_context_pop_thread_default(context_);
    });
    waitUntil([this] { return ready_.load(); }, 10.0, 0.01);
  }
  ~AssistiveListener() {
    g_main_context_invoke(
        context_,
        [](gpointer loop) -> gboolean {
          g_main_loop_quit(static_cast<GMainLoop*>(loop));
          return G_SOURCE_REMOVE;
        },
        loop_);
    thread_.join();
    g_main_loop_unref(loop_);
  }
  bool listening() const { return listening_; }

 private:
  static void ignore(AtspiEvent* event, void*) { g_boxed_free(ATSPI_TYPE_EVENT, event); }

  GMainContext* context_;
  GMainLoop* loop_;
  AtspiEventListener* listener_ = nullptr;
  bool listening_ = false;
  std::atomic<bool> ready_{false};
  std::thread thread_;
};

// The desktop, once per run: the server and window manager, the
// accessibility bus with its switch on, and a tray host.
struct Desktop {
  std::unique_ptr<XSession> session;
  std::unique_ptr<ChildProcess> trayHost;
  std::string why;
};

bool trayHostPresent(Display* display) {
  Atom tray = XInternAtom(display, "_NET_SYSTEM_TRAY_S0", False);
  return XGetSelectionOwner(display, tray) != None;
}

Desktop makeDesktop() {
  Desktop made;
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
    made.why = "no session bus: run inside dbus-run-session";
    return made;
  }
  tessa::xsession::XSessionOptions options;
  options.windowManager = tessa::xsession::windowManagerFromEnvironment(tessa::xsession::WindowManager::openbox);
  made.session = XSession::start(options, &made.why);
  if (made.session &&
      !(made.session->startAccessibilityBus(&made.why) && made.session->turnAccessibilityOn(&made.why)))
    made.session.reset();
  if (!made.session) return made;
  ChildProcess::Options tray;
  tray.env = {{"DISPLAY", made.session->displayName()}};
  made.trayHost = ChildProcess::start({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request"}, tray);
  Display* display = made.session->display();
  if (made.trayHost && !waitUntil([display] { return trayHostPresent(display); }, 5.0, 0.01)) made.trayHost.reset();
  return made;
}

// Ended (server, window manager, tray host) when the run ends.
Desktop* desktop(benchmark::State& state) {
  static Desktop d = makeDesktop();
  if (!d.session) {
    state.SkipWithError(d.why.c_str());
    return nullptr;
  }
  return &d;
}

// A folder of its own for everything the program keeps, removed at the end;
// the application's first-run sheet already seen, as on any day but the first.
struct ProgramHome {
  ProgramHome() {
    char tmpl[] = "/tmp/tessavinor-bench-rest-XXXXXX";
    if (char* made = ::mkdtemp(tmpl)) path = made;
    for (const char* sub : {"run", "config", "data", "cache", "home/Preferences"}) fs::create_directories(path / sub);
    fs::permissions(path / "run", fs::perms::owner_all);
    std::ofstream(path / "home/Preferences/com.Ovrelan.Tessavinor.json") << "{\"hasCompletedOnboarding\": true}\n";
  }
  ~ProgramHome() {
    std::error_code ec;
    fs::remove_all(path, ec);
  }
  fs::path path;
};

// Wake-ups a second of `program` at rest, or none when it did not start.
std::optional<double> wakeupsPerSecond(const Desktop& d, const std::string& program, const std::string& readyLine) {
  ProgramHome home;
  ChildProcess::Options options;
  options.env = {{"DISPLAY", d.session->displayName()},
                 {"QT_QPA_PLATFORM", "xcb"},
                 {"TESSAVINOR_HOME", (home.path / "home").string()},
                 {"XDG_RUNTIME_DIR", (home.path / "run").string()},
                 {"XDG_CONFIG_HOME", (home.path / "config").string()},
                 {"XDG_DATA_HOME", (home.path / "data").string()},
                 {"XDG_CACHE_HOME", (home.path / "cache").string()},
                 {"GSETTINGS_BACKEND", "memory"}};
  // Its standard error, where both write their start-up lines, is read.
  auto child = ChildProcess::start({"/bin/sh", "-c", "exec \"$0\" 2>&1", program}, options);
  if (!child || !child->waitForLine(readyLine, 20.0)) return std::nullopt;
  std::this_thread::sleep_for(std::chrono::duration<double>(kSettleSeconds));
  const long before = wakeupsSoFar(child->pid());
  std::this_thread::sleep_for(std::chrono::duration<double>(kWindowSeconds));
  const long after = wakeupsSoFar(child->pid());
  return static_cast<double>(after - before) / kWindowSeconds;
}

std::string application() {
  const char* other = std::getenv("TESSAVINOR_BENCH_APP");
  return other && *other ? other : TESSAVINOR_APP_BINARY;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

void BM_WakeupsAtRest(benchmark::State& state, bool besideBusyProgram) {
  Desktop* d = desktop(state);
  if (!d) return;
  std::unique_ptr<TestField> busy;
  std::unique_ptr<AssistiveListener> listener;
  if (besideBusyProgram) {
    std::string why;
    listener = std::make_unique<AssistiveListener>();
    busy = TestField::start(*d->session, TestField::Kind::line, "busy", &why);
    if (!listener->listening() || !busy || !busy->beBusy(kBusyPeriodMs)) {
      state.SkipWithError(busy ? "the assistive listener could not register" : why.c_str());
      return;
    }
  }
  std::vector<double> app, bare;
  for (auto _ : state) {
    // One of each in every round, so that both see the same machine.
    auto b = wakeupsPerSecond(*d, TESSAVINOR_BARE_TRAY_BINARY, "tray icon ready");
    auto a = wakeupsPerSecond(*d, application(), "Tessavinor: started");
    if (!a || !b) {
      state.SkipWithError("a program did not start");
      return;
    }
    app.push_back(*a);
    bare.push_back(*b);
    state.SetIterationTime(2 * kWindowSeconds);
  }
  state.counters["app_wakeups_per_s"] = median(app);
  state.counters["bare_tray_wakeups_per_s"] = median(bare);
  state.counters["tray_host"] = d->trayHost ? 1 : 0;
}
BENCHMARK_CAPTURE(BM_WakeupsAtRest, alone, false)->Iterations(3)->UseManualTime()->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_WakeupsAtRest, beside_busy_program, true)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
