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
#include <atspi/atspi.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
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

// The focused field's text over plain libatspi calls on this thread: one
// question, one round trip, no thread of ours in between.
class PlainFieldReader {
 public:
  bool find() {
    if (atspi_init() > 1) return false;
    for (int tries = 0; tries < 500 && !text_; ++tries) {
      AtspiAccessible* desktop = atspi_get_desktop(0);
      search(desktop, 0);
      g_object_unref(desktop);
      if (!text_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return text_ != nullptr;
  }
  ~PlainFieldReader() {
    if (text_) g_object_unref(text_);
  }
  std::optional<std::string> text() {
    GError* error = nullptr;
    gchar* t = atspi_text_get_text(text_, 0, -1, &error);
    if (error) g_error_free(error);
    if (!t) return std::nullopt;
    std::string out = t;
    g_free(t);
    return out;
  }

 private:
  void search(AtspiAccessible* a, int depth) {
    if (text_ || depth > 12) return;
    AtspiStateSet* states = atspi_accessible_get_state_set(a);
    const bool focused = states && atspi_state_set_contains(states, ATSPI_STATE_FOCUSED);
    if (states) g_object_unref(states);
    if (focused && (text_ = atspi_accessible_get_text_iface(a))) return;
    const int n = atspi_accessible_get_child_count(a, nullptr);
    for (int i = 0; i < n && !text_; ++i)
      if (AtspiAccessible* child = atspi_accessible_get_child_at_index(a, i, nullptr)) {
        search(child, depth + 1);
        g_object_unref(child);
      }
  }
  AtspiText* text_ = nullptr;
};

// A listener for focus events, registered for as long as it lives.
class FocusListener {
 public:
  explicit FocusListener(bool wanted) {
    if (!wanted || atspi_init() > 1) return;
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

// A private X session with the test field showing `text`; none after
// telling the benchmark why.
struct Desk {
  std::unique_ptr<XSession> session;
  std::unique_ptr<TestField> field;
};
std::optional<Desk> startDesk(benchmark::State& state, const std::string& text) {
  Desk desk{bench::startX11Session(state), nullptr};
  if (!desk.session) return std::nullopt;
  std::string why;
  desk.field = TestField::start(*desk.session, TestField::Kind::line, text, &why);
  if (!desk.field) {
    state.SkipWithError(why.c_str());
    return std::nullopt;
  }
  return desk;
}

// The field's text as a timed edit reads it (`first`: before the Deletes).
using FieldRead = std::function<std::optional<std::string>(bool first)>;

// Times the Deletes, the group switch and the word's keys posted by this
// program, until the field shows the word. With `read`, the field is read
// before the Deletes and until it shows them taken, before the word goes.
void timeEdits(benchmark::State& state, Desk& desk, const FieldRead& read) {
  const std::string& word = wordOf(state.range(0));
  const std::string start = "hello " + word, goal = "hello " + thaiOf(word);
  std::vector<double> times, reads, looksAfter;
  for (auto _ : state) {
    FieldWatch watch(*desk.field, goal);
    const double t0 = monotonic();
    if (read && read(true) != start) {
      state.SkipWithError("the field did not read as expected");
      break;
    }
    const double tRead = monotonic();
    for (size_t i = 0; i < word.size(); ++i) desk.session->tapKey(keycode::deleteKey);
    const double tDeleted = monotonic();
    bool shown = !read;
    for (int look = 0; look < 2000 && !shown; ++look) shown = read(false) == std::optional<std::string>("hello ");
    if (!shown) {
      state.SkipWithError("the Deletes never showed");
      break;
    }
    const double tSeen = monotonic();
    desk.session->lockGroup(1);
    desk.session->typeUsKeys(word);
    watch.join();
    if (!watch.shownAt()) {
      state.SkipWithError(("the edit never showed: " + watch.last()).c_str());
      break;
    }
    reads.push_back(tRead - t0);
    looksAfter.push_back(tSeen - tDeleted);
    times.push_back(watch.shownAt() - t0);
    state.SetIterationTime(times.back());
    desk.session->lockGroup(0);
    if (!desk.field->setText(start)) {
      state.SkipWithError("the field did not take its text back");
      break;
    }
  }
  state.counters["median_ms"] = 1000 * median(times);
  if (!read) return;
  state.counters["read_median_ms"] = 1000 * median(reads);
  state.counters["deletesSeen_median_ms"] = 1000 * median(looksAfter);
}

// The second argument: 1 with a listener for focus events registered, as
// the application registers one.
void BM_X11PlainEdit(benchmark::State& state) {
  auto desk = startDesk(state, "hello " + wordOf(state.range(0)));
  if (!desk) return;
  FocusListener focusListener(state.range(1) != 0);
  timeEdits(state, *desk, nullptr);
}
BENCHMARK(BM_X11PlainEdit)
    ->Args({5, 0})
    ->Args({20, 0})
    ->Args({5, 1})
    ->Args({20, 1})
    ->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

// The plain edit with the two looks at the field a careful edit cannot do
// without: its text read before the Deletes (what they will take), and read
// again until it shows them taken, before the word goes (a field that
// rewrote its text meanwhile must not get it). No engine and no grab: what
// the checks themselves cost on this desktop, the floor for the hot key.
// The second argument: 0 reads as the engine does (through our AT-SPI
// client, the focus with the text, caret and selection); 1 asks the text
// alone with plain library calls on this thread, the least a read can be;
// 2 does the same with a listener for focus events registered, as the
// application registers one (a toolkit then does more for each key).
void BM_X11CheckedEdit(benchmark::State& state) {
  auto desk = startDesk(state, "hello " + wordOf(state.range(0)));
  if (!desk) return;
  FocusListener focusListener(state.range(1) == 2);
  SerialQueue main{"main"};
  if (state.range(1) == 0) {
    AtspiAccessibility ax(main);
    auto element = bench::focusedField(ax, state);
    if (!element) return;
    timeEdits(state, *desk, [&](bool first) -> std::optional<std::string> {
      if (first) {
        auto r = ax.focusedTextState(0.3);
        return r.text.ok() ? std::optional(r.text.value->value) : std::nullopt;
      }
      auto r = ax.textStateAgain(*element);
      return r.ok() ? std::optional(r.value->value) : std::nullopt;
    });
    return;
  }
  PlainFieldReader reader;
  if (!reader.find()) {
    state.SkipWithError("the field was not found over AT-SPI");
    return;
  }
  timeEdits(state, *desk, [&](bool) { return reader.text(); });
}
BENCHMARK(BM_X11CheckedEdit)
    ->Args({5, 0})
    ->Args({20, 0})
    ->Args({5, 1})
    ->Args({20, 1})
    ->Args({5, 2})
    ->Args({20, 2})
    ->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

// The second argument: 1 holds X down until the word shows, as a person's
// key is (some 100 ms, longer than the conversion takes); 0 taps it. The
// third: 0 presses the chord's keys back to back and times it from the
// first; 1 presses Control and Shift first, as a person does well before X,
// lets the engine see them, and times it from X.
void BM_X11HotKeyConversion(benchmark::State& state) {
  const std::string& word = wordOf(state.range(0));
  const bool held = state.range(1) != 0, fromX = state.range(2) != 0;
  const std::string start = "hello " + word, goal = "hello " + thaiOf(word);
  auto desk = startDesk(state, start);
  if (!desk) return;
  auto& session = desk->session;
  auto& field = desk->field;
  std::string why;
  auto app = X11Application::launch(*session, {}, &why);
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
