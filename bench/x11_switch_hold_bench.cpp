// A Caps Lock switch with keys typed straight after it, through the whole
// application on its own Xvfb: from the switcher's press to the last held key
// showing in the Qt field in the new layout, for 2, 8 and 16 held keys.
//
// On X11 the "next source" hot key cannot be set, so every switch waits the
// engine's fallback before it selects the layout itself; the time from the
// switch's confirmation to the last key is what the engine designs (its
// release delay, then one replay spacing per key), and `overDesign_ms` is how
// far the real server and field are behind that. Run it inside
// dbus-run-session.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "correction/typing_flow_controller.h"
#include "engine/keyboard_engine.h"
#include "platform/events.h"
#include "platform/input_sources.h"
#include "platform/keyboard_tables.h"
#include "platform/x11/x11_desktop.h"
#include "x11_session/x11_application.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using xsession::TestField;
using xsession::X11Application;
using xsession::XSession;

// Keys that give one character of their own in both layouts.
const std::string kKeys = "asdfgklqwertiop";

void BM_X11SwitchToLastHeldKey(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
    state.SkipWithError("no session bus: run inside dbus-run-session");
    return;
  }
  std::string why;
  auto session = XSession::start(&why);
  if (!session || !session->setLayouts({"us", "th"}) || !session->startAccessibilityBus(&why)) {
    state.SkipWithError(why.empty() ? "setxkbmap failed" : why.c_str());
    return;
  }
  session->resetKeyboardState();
  auto field = TestField::start(*session, TestField::Kind::line, "", &why);
  std::unique_ptr<X11Application> app;
  if (field) app = X11Application::launch(*session, {}, &why);
  if (!app) {
    state.SkipWithError(why.c_str());
    return;
  }
  auto* sources = app->x11().inputSources();
  std::shared_ptr<const KeyLayout> layouts[2] = {sources->layoutFor("xkb:us"), sources->layoutFor("xkb:th")};
  std::vector<uint16_t> keys;
  std::string text[2];
  for (int i = 0; i < count; ++i) {
    uint16_t key = usKeyForCharacter(std::string(1, kKeys[i % kKeys.size()]))->first;
    keys.push_back(key);
    for (int g = 0; g < 2; ++g) {
      uint32_t dead = 0;
      text[g] += layouts[g]->translate(key, 0, dead);
    }
  }
  const double designed = TypingFlowController::kReleaseDelay + count * TypingFlowController::kReplaySpacing;

  uint32_t group = 0;
  double total = 0, afterConfirm = 0, over = 0, worstOver = 0;
  int64_t rounds = 0;
  for (auto _ : state) {
    const uint32_t target = 1 - group;
    field->setText("");
    const double start = app->uptime();
    session->tapKey(keycode::capsLock);
    for (uint16_t k : keys) session->tapKey(k);
    // The field is read on a thread of its own, so that its round trips do
    // not hold up the main queue, which replays the held keys.
    std::atomic<double> delivered{0};
    std::atomic<bool> stop{false};
    std::string shown;
    std::thread reader([&] {
      while (!stop && delivered == 0) {
        shown = field->state().value_or(TestField::State{}).text;
        if (shown == text[target]) delivered = app->uptime();
        else std::this_thread::sleep_for(std::chrono::microseconds(200));
      }
    });
    double confirmed = 0;
    bool ok = app->main().pumpUntil([&] {
      const auto* flow = app->engine().flow.flowController.get();
      if (!confirmed && flow && flow->isReleasing()) confirmed = app->uptime();
      return delivered != 0;
    });
    stop = true;
    reader.join();
    const double end = delivered;
    if (!ok || !confirmed) {
      state.SkipWithError(("the held keys never showed in the new layout: \"" + shown + "\"").c_str());
      break;
    }
    state.SetIterationTime(end - start);
    total += end - start;
    afterConfirm += end - confirmed;
    over += end - confirmed - designed;
    worstOver = std::max(worstOver, end - confirmed - designed);
    ++rounds;
    if (!app->waitForSwitchLanded(target, *session)) {
      state.SkipWithError("the switch did not land");
      break;
    }
    group = target;
  }
  if (rounds) {
    state.counters["pressToLast_ms"] = 1000 * total / rounds;
    state.counters["confirmToLast_ms"] = 1000 * afterConfirm / rounds;
    state.counters["designed_ms"] = 1000 * designed;
    state.counters["overDesign_ms"] = 1000 * over / rounds;
    state.counters["worstOverDesign_ms"] = 1000 * worstOver;
  }
}
BENCHMARK(BM_X11SwitchToLastHeldKey)->Arg(2)->Arg(8)->Arg(16)->Iterations(20)->UseManualTime()->Unit(
    benchmark::kMillisecond);

}  // namespace
}  // namespace tessa
