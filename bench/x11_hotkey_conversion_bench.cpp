// A word converted through the hot key (Control+Shift+X) by the whole
// application on its own Xvfb, beside a plain edit of the same field: the
// same deletions, the group switch and the same keys posted through XTest
// by this program, with no engine running, and that edit again with the
// field read before the Deletes and after them, as the hot key reads it.
// All are timed from the first key posted (or the first read) to the moment
// the field announces the converted word.
// Words of 5 and 20 letters, typed in the US group, become Thai.
//
// Run it inside dbus-run-session.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <thread>
#include <vector>

#include "base/task_runner.h"
#include "engine/keyboard_engine.h"
#include "platform/events.h"
#include "platform/input_sources.h"
#include "platform/keyboard_tables.h"
#include "platform/x11/atspi_accessibility.h"
#include "platform/x11/x11_desktop.h"
#include "x11_bench_support.h"
#include "x11_session/x11_application.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using xsession::TestField;
using xsession::X11Application;
using xsession::XSession;

const std::string kFive = "l;ylf";                  // สวัสด
const std::string kTwenty = "l;ylful;ylful;ylfull";  // สวัสดีสวัสดีสวัสดีสส

const std::string& wordOf(int64_t letters) { return letters == 5 ? kFive : kTwenty; }

std::string thaiOf(const std::string& keys) {
  static const std::map<char, std::string> th = {{'l', "ส"}, {';', "ว"}, {'y', "ั"}, {'f', "ด"}, {'u', "ี"}};
  std::string out;
  for (char c : keys) out += th.at(c);
  return out;
}

// Waits, on a thread of its own, for the field to say it shows `text`: the
// field announces the moment itself, so the watch puts no load on it (asking
// it over and over would slow its handling of the very keys being timed).
class FieldWatch {
 public:
  FieldWatch(TestField& field, const std::string& text) : field_(field) {
    if (field.announceWhenShown(text))
      thread_ = std::thread([this] { shown_ = field_.shownAt(5.0).value_or(0); });
  }
  ~FieldWatch() { join(); }
  // The steady clock's seconds when it first showed; 0 until then, or never.
  double shownAt() const { return shown_; }
  void join() {
    if (thread_.joinable()) thread_.join();
  }
  // What the field shows now, for a report of a watch that ran out.
  std::string last() {
    join();
    return field_.state().value_or(TestField::State{}).text;
  }

 private:
  TestField& field_;
  std::atomic<double> shown_{0};
  std::thread thread_;
};

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

double monotonic() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void BM_X11PlainEdit(benchmark::State& state) {
  const std::string& word = wordOf(state.range(0));
  const std::string start = "hello " + word, goal = "hello " + thaiOf(word);
  auto session = bench::startX11Session(state);
  if (!session) return;
  std::string why;
  auto field = TestField::start(*session, TestField::Kind::line, start, &why);
  if (!field) {
    state.SkipWithError(why.c_str());
    return;
  }
  std::vector<double> times;
  for (auto _ : state) {
    FieldWatch watch(*field, goal);
    const double t0 = monotonic();
    for (size_t i = 0; i < word.size(); ++i) session->tapKey(keycode::deleteKey);
    session->lockGroup(1);
    session->typeUsKeys(word);
    watch.join();
    if (!watch.shownAt()) {
      state.SkipWithError(("the edit never showed: " + watch.last()).c_str());
      break;
    }
    times.push_back(watch.shownAt() - t0);
    state.SetIterationTime(times.back());
    session->lockGroup(0);
    if (!field->setText(start)) {
      state.SkipWithError("the field did not take its text back");
      break;
    }
  }
  state.counters["median_ms"] = 1000 * median(times);
}
BENCHMARK(BM_X11PlainEdit)->Arg(5)->Arg(20)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

// The plain edit with the two looks at the field a careful edit cannot do
// without: its text read before the Deletes (what they will take), and read
// again until it shows them taken, before the word goes (a field that
// rewrote its text meanwhile must not get it). No engine and no grab: what
// the checks themselves cost on this desktop, the floor for the hot key.
void BM_X11CheckedEdit(benchmark::State& state) {
  const std::string& word = wordOf(state.range(0));
  const std::string start = "hello " + word, goal = "hello " + thaiOf(word);
  auto session = bench::startX11Session(state);
  if (!session) return;
  std::string why;
  auto field = TestField::start(*session, TestField::Kind::line, start, &why);
  if (!field) {
    state.SkipWithError(why.c_str());
    return;
  }
  SerialQueue main{"main"};
  AtspiAccessibility ax(main);
  if (!bench::focusedField(ax, state)) return;
  std::vector<double> times, reads, looksAfter;
  for (auto _ : state) {
    FieldWatch watch(*field, goal);
    const double t0 = monotonic();
    auto read = ax.focusedTextState(0.3);
    if (!read.text.ok() || read.text.value->value != start) {
      state.SkipWithError("the field did not read as expected");
      break;
    }
    const double tRead = monotonic();
    for (size_t i = 0; i < word.size(); ++i) session->tapKey(keycode::deleteKey);
    const double tDel = monotonic();
    bool deleted = false;
    for (int look = 0; look < 2000 && !deleted; ++look) {
      auto again = ax.textStateAgain(*read.element.value);
      deleted = again.ok() && again.value->value == "hello ";
    }
    if (!deleted) {
      state.SkipWithError("the Deletes never showed");
      break;
    }
    const double tSeen = monotonic();
    session->lockGroup(1);
    session->typeUsKeys(word);
    watch.join();
    if (!watch.shownAt()) {
      state.SkipWithError(("the edit never showed: " + watch.last()).c_str());
      break;
    }
    reads.push_back(tRead - t0);
    looksAfter.push_back(tSeen - tDel);
    times.push_back(watch.shownAt() - t0);
    state.SetIterationTime(times.back());
    session->lockGroup(0);
    if (!field->setText(start)) {
      state.SkipWithError("the field did not take its text back");
      break;
    }
  }
  state.counters["median_ms"] = 1000 * median(times);
  state.counters["read_median_ms"] = 1000 * median(reads);
  state.counters["deletesSeen_median_ms"] = 1000 * median(looksAfter);
}
BENCHMARK(BM_X11CheckedEdit)->Arg(5)->Arg(20)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

// The second argument: 1 holds X down until the word shows, as a person's
// key is (some 100 ms, longer than the conversion takes); 0 taps it. The
// third: 0 presses the chord's keys back to back and times it from the
// first; 1 presses Control and Shift first, as a person does well before X,
// lets the engine see them, and times it from X.
void BM_X11HotKeyConversion(benchmark::State& state) {
  const std::string& word = wordOf(state.range(0));
  const bool held = state.range(1) != 0, fromX = state.range(2) != 0;
  const std::string start = "hello " + word, goal = "hello " + thaiOf(word);
  auto session = bench::startX11Session(state);
  if (!session) return;
  std::string why;
  auto field = TestField::start(*session, TestField::Kind::line, start, &why);
  std::unique_ptr<X11Application> app;
  if (field) app = X11Application::launch(*session, {}, &why);
  if (!app) {
    state.SkipWithError(why.c_str());
    return;
  }
  auto& engine = app->engine();
  std::vector<double> times, idle;
  for (auto _ : state) {
    FieldWatch watch(*field, goal);
    double t0 = monotonic(), appT0 = app->uptime();
    session->pressKey(keycode::control, true);
    if (fromX) {
      session->pressKey(keycode::shift, true);
      if (!app->main().pumpUntil([&] { return engine.switcher.lastPressedKeyCode == keycode::shift; }, 5.0)) {
        state.SkipWithError("the engine never saw Shift");
        break;
      }
      t0 = monotonic();
      appT0 = app->uptime();
    }
    if (held || fromX) {
      if (!fromX) session->pressKey(keycode::shift, true);
      session->pressKey(keycode::x, true);
      if (!held) session->pressKey(keycode::x, false);
    } else {
      session->tapKey(keycode::x, true);
    }
    const bool ok = app->main().pumpUntil([&] { return watch.shownAt() != 0; }, 5.0);
    if (held) session->pressKey(keycode::x, false);
    if (held || fromX) session->pressKey(keycode::shift, false);
    session->pressKey(keycode::control, false);
    if (!ok) {
      std::fprintf(stderr, "%s\n", app->diagnostics().c_str());
      state.SkipWithError(("the conversion never showed: " + watch.last()).c_str());
      break;
    }
    times.push_back(watch.shownAt() - t0);
    state.SetIterationTime(times.back());
    // Until the engine is done with it (its last check of the field).
    app->main().pumpUntil([&] { return !engine.isSimulatingTyping() && !app->holding(); }, 5.0);
    idle.push_back(app->uptime() - appT0);
    if (!field->setText(start)) {
      state.SkipWithError("the field did not take its text back");
      break;
    }
    session->lockGroup(0);
    if (!app->waitForSwitchLanded(0, *session)) {
      state.SkipWithError("the group did not go back");
      break;
    }
  }
  state.counters["median_ms"] = 1000 * median(times);
  state.counters["engineDone_median_ms"] = 1000 * median(idle);
}
BENCHMARK(BM_X11HotKeyConversion)
    ->Args({5, 0, 0})
    ->Args({20, 0, 0})
    ->Args({5, 1, 0})
    ->Args({20, 1, 0})
    ->Args({5, 1, 1})
    ->Args({20, 1, 1})
    ->Iterations(30)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessa
