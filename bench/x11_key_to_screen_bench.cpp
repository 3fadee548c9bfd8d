// A key pressed, to its character in a focused field (Qt, GTK 3) on a
// private Xvfb: with nothing else running, with only an accessibility
// listener (a program registered for the focus events, as an assistive tool
// is), and with the whole application. Each is timed from the XTest press
// to the moment the field says its text took the character; the counters
// give the median and 99th percentile in milliseconds.
//
// Run it inside dbus-run-session.
#include <atspi/atspi.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/events.h"
#include "x11_bench_support.h"
#include "x11_session/x11_application.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using xsession::TestField;
using xsession::Toolkit;
using xsession::X11Application;

enum class Beside { nothing, listener, application };

double monotonic() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Registered for the programs' focus events while it lives; it never asks
// anything, so all it costs them is the events they send.
class FocusListener {
 public:
  FocusListener() {
    if (atspi_init() > 1) return;
    listener_ = atspi_event_listener_new([](AtspiEvent* e, void*) { g_boxed_free(ATSPI_TYPE_EVENT, e); }, nullptr, nullptr);
    atspi_event_listener_register(listener_, kEvent, nullptr);
  }
  ~FocusListener() {
    if (!listener_) return;
    atspi_event_listener_deregister(listener_, kEvent, nullptr);
    g_object_unref(listener_);
  }

 private:
  static constexpr const char* kEvent = "object:state-changed:focused";
  AtspiEventListener* listener_ = nullptr;
};

void report(benchmark::State& state, std::vector<double>& samples) {
  if (samples.empty()) return;
  std::sort(samples.begin(), samples.end());
  state.counters["median_ms"] = samples[samples.size() / 2];
  state.counters["p99_ms"] = samples[std::min(samples.size() - 1, samples.size() * 99 / 100)];
}

void keyToScreen(benchmark::State& state, Toolkit toolkit, Beside beside) {
  if (!TestField::built(toolkit)) {
    state.SkipWithError("this build has no field of that toolkit");
    return;
  }
  auto session = bench::startX11Session(state);
  if (!session) return;
  std::string why;
  // A desktop whose accessibility switch is on, as it is where the
  // application runs.
  if (!session->turnAccessibilityOn(&why)) {
    state.SkipWithError(why.c_str());
    return;
  }
  auto field = TestField::start(*session, toolkit, TestField::Kind::line, "", &why,
                                TestField::Sharing::asTheSwitchSaidAtStart);
  if (!field) {
    state.SkipWithError(why.c_str());
    return;
  }
  std::unique_ptr<FocusListener> listener;
  std::unique_ptr<X11Application> app;
  if (beside == Beside::listener) listener = std::make_unique<FocusListener>();
  if (beside == Beside::application && !(app = X11Application::launch(*session, {}, &why))) {
    state.SkipWithError(why.c_str());
    return;
  }
  // Letters no shortcut of anyone's takes, typed as a word.
  const std::string letters = "qwertyuiop";
  const uint16_t codes[] = {keycode::q, keycode::w, keycode::e, keycode::r, keycode::t,
                            keycode::y, keycode::u, keycode::i, keycode::o, keycode::p};
  std::string text;
  std::vector<double> samples;
  size_t n = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (text.size() >= 40) {
      field->setText("");
      text.clear();
    }
    const size_t k = n++ % letters.size();
    text += letters[k];
    field->announceWhenShown(text);
    std::atomic<double> shown{0};
    std::thread watch([&] { shown = field->shownAt(5.0).value_or(-1); });
    state.ResumeTiming();
    const double start = monotonic();
    session->pressKey(codes[k], true);
    // The application's main queue runs here, woken by its work as its own
    // event loop would be (spinning would take a core from the field).
    while (shown == 0) {
      if (app) {
        app->main().pump();
        app->main().waitForWork(0.0002);
      } else {
        std::this_thread::sleep_for(std::chrono::microseconds(50));
      }
    }
    watch.join();
    state.PauseTiming();
    session->pressKey(codes[k], false);
    if (shown < 0) {
      state.SkipWithError(("the field never showed " + text).c_str());
      break;
    }
    samples.push_back((shown - start) * 1000.0);
    // A typist's pace: the key's release and its aftermath land before the
    // next press.
    const double until = monotonic() + 0.03;
    while (monotonic() < until) {
      if (app) {
        app->main().pump();
        app->main().waitForWork(0.001);
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    }
    state.ResumeTiming();
  }
  report(state, samples);
}

void BM_QtFieldNothingElse(benchmark::State& s) { keyToScreen(s, Toolkit::qt, Beside::nothing); }
void BM_QtFieldAccessibilityListener(benchmark::State& s) { keyToScreen(s, Toolkit::qt, Beside::listener); }
void BM_QtFieldTessavinor(benchmark::State& s) { keyToScreen(s, Toolkit::qt, Beside::application); }
void BM_Gtk3FieldNothingElse(benchmark::State& s) { keyToScreen(s, Toolkit::gtk3, Beside::nothing); }
void BM_Gtk3FieldAccessibilityListener(benchmark::State& s) { keyToScreen(s, Toolkit::gtk3, Beside::listener); }
void BM_Gtk3FieldTessavinor(benchmark::State& s) { keyToScreen(s, Toolkit::gtk3, Beside::application); }

BENCHMARK(BM_QtFieldNothingElse)->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtFieldAccessibilityListener)->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QtFieldTessavinor)->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gtk3FieldNothingElse)->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gtk3FieldAccessibilityListener)->Iterations(300)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Gtk3FieldTessavinor)->Iterations(300)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessa
