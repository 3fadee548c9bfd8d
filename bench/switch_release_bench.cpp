// How long keys typed during a layout switch wait: from the switcher key's
// press to the last held key reaching the application, on the simulated
// desktop with an instant switch, against the designed 25 ms release delay
// plus 3 ms per held key. The figures are simulated time (manual clock);
// the benchmark's own timing is only the cost of simulating one switch.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/files.h"
#include "bench_support.h"
#include "base/notification_center.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "typing/typing_flow_controller.h"
#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"

namespace tessa {
namespace {

using bench::BenchHome;

struct SwitchRig {
  SwitchRig() : runner(clock), desk(clock, runner), defaults(Paths::defaultsFile("com.Ovrelan.Tessavinor"), nullptr) {
    auto env = EngineEnvironment::onManualClock(desk.platform(), runner, defaults, center);
    engine = KeyboardEngine::create(env);
    engine->switcherKey.set(SwitcherKey::grave);
    // The system's next-source hot key answers Fn+F19, as the Caps Lock
    // set-up leaves it; otherwise every switch waits for the 0.2 s fallback.
    engine->setupF19SystemShortcut();
    engine->createEventTap();
    desk.setSwitchLatency(0);
    runner.advance(1.0);
  }
  ~SwitchRig() { engine.reset(); }

  // Presses the grave switcher and types `letters` right after it, before
  // the release begins; answers the simulated seconds from the press to the
  // last held event reaching the application, and how many were held.
  std::pair<double, size_t> switchAndType(const std::string& letters) {
    size_t before = desk.applicationEvents().size();
    double t0 = clock.uptime();
    desk.pressKey(keycode::grave);
    // A fast typist: every key pressed and released within the first 20 ms.
    desk.typeText(letters, 0.02 / static_cast<double>(letters.size() + 1), 0.0005);
    runner.advance(1.0);
    double last = t0;
    size_t held = 0;
    const auto& events = desk.applicationEvents();
    for (size_t i = before; i < events.size(); ++i) {
      if (!events[i].isKey() || !events[i].isTagged() || events[i].keyCode == keycode::f19) continue;
      last = std::max(last, events[i].timestamp);
      ++held;
    }
    return {last - t0, held};
  }

  BenchHome home;
  ManualClock clock;
  ManualTaskRunner runner;
  SimDesktop desk;
  UserDefaults defaults;
  NotificationCenter center;
  std::shared_ptr<KeyboardEngine> engine;
};

void BM_SwitchToLastHeldKey(benchmark::State& state) {
  SwitchRig rig;
  std::string letters(static_cast<size_t>(state.range(0)), 'k');
  double worst = 0, total = 0, designedTotal = 0;
  size_t heldTotal = 0;
  int64_t runs = 0;
  for (auto _ : state) {
    auto [seconds, held] = rig.switchAndType(letters);
    double designed = TypingFlowController::kReleaseDelay + TypingFlowController::kReplaySpacing * held;
    worst = std::max(worst, std::abs(seconds - designed));
    total += seconds;
    designedTotal += designed;
    heldTotal += held;
    ++runs;
  }
  state.counters["held_events"] = static_cast<double>(heldTotal) / static_cast<double>(runs);
  state.counters["sim_ms"] = 1000.0 * total / static_cast<double>(runs);
  state.counters["designed_ms"] = 1000.0 * designedTotal / static_cast<double>(runs);
  state.counters["worst_deviation_ms"] = 1000.0 * worst;
}
BENCHMARK(BM_SwitchToLastHeldKey)->Arg(1)->Arg(4)->Arg(8)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tessa
