// What the filtering keyboard grab adds to a plain key on an X server (a
// private Xvfb): the time from the XTest press to the focused window's
// KeyPress, with no tap and through the tap (whose answer comes from the main
// queue, pumped here as the application's would be). The counters give the
// median and 99th percentile of one iteration in milliseconds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "platform/x11/x11_event_system.h"
#include "x11/support/tap_harness.h"

namespace tessa {
namespace {

double nowMs() {
  using namespace std::chrono;
  return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void report(benchmark::State& state, std::vector<double>& samples) {
  if (samples.empty()) return;
  std::sort(samples.begin(), samples.end());
  state.counters["median_ms"] = samples[samples.size() / 2];
  state.counters["p99_ms"] = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
}

void plainKey(benchmark::State& state, bool throughTap) {
  auto& server = test::XvfbServer::shared();
  server.resetKeyboardState();
  test::PumpedRunner main;
  std::unique_ptr<X11EventSystem> events;
  if (throughTap) {
    events = X11EventSystem::create(server.display(), main, {});
    TapId tap = events->createTap(TapLocation::hid, true, TapOptions::defaultTap,
                                  eventMaskBit(EventType::keyDown) | eventMaskBit(EventType::keyUp),
                                  [](TapId, EventType, const Event& e) { return std::optional<Event>(e); });
    events->addTapToRunLoop(tap);
    events->enableTap(tap, true);
  }
  test::KeyLogWindow window(server.display());
  test::XTestUser user(server.display());
  std::vector<double> samples;
  for (auto _ : state) {
    const size_t before = window.text().size();
    const double start = nowMs();
    user.down(keycode::a);
    while (window.text().size() == before) {
      main.runPending();
      window.pump();
    }
    samples.push_back(nowMs() - start);
    user.up(keycode::a);
  }
  report(state, samples);
}

void BM_PlainKeyWithoutTap(benchmark::State& state) { plainKey(state, false); }
void BM_PlainKeyThroughFilteringGrab(benchmark::State& state) { plainKey(state, true); }

BENCHMARK(BM_PlainKeyWithoutTap)->Iterations(500)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PlainKeyThroughFilteringGrab)->Iterations(500)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessa
