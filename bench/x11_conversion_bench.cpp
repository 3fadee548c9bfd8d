// One word conversion on a real X server, as the engine performs it: read the
// focused Qt field over AT-SPI, delete the word with XTest BackSpaces, switch
// the XKB group, retype the word's keys, and read until the field shows the
// converted word. Runs its own Xvfb; run it inside dbus-run-session.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>

#include "base/task_runner.h"
#include "platform/events.h"
#include "platform/x11/atspi_accessibility.h"
#include "platform/x11/x11_event_system.h"
#include "platform/x11/x11_input_sources.h"
#include "x11_bench_support.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using xsession::TestField;
using xsession::waitUntil;
using xsession::XSession;

const std::vector<uint16_t> kWordKeys = {keycode::l, keycode::semicolon, keycode::y,
                                         keycode::l, keycode::f,         keycode::u};

void BM_X11WordConversion(benchmark::State& state) {
  auto session = bench::startX11Session(state);
  if (!session) return;
  std::string why;
  SerialQueue main{"main"};
  X11InputSources sources(main, session->displayName());
  AtspiAccessibility ax(main);
  auto field = TestField::start(*session, TestField::Kind::line, "hello l;ylfu", &why);
  if (!field || !sources.ok()) {
    state.SkipWithError(why.empty() ? "no input sources" : why.c_str());
    return;
  }
  auto focused = bench::focusedField(ax, state);
  if (!focused) return;
  const AXElement e = *focused;

  for (auto _ : state) {
    // Read.
    auto text = ax.value(e);
    auto range = ax.selectedTextRange(e);
    if (!text.ok() || !range.ok() || *text.value != "hello l;ylfu") {
      state.SkipWithError("unexpected field contents");
      break;
    }
    // Delete, switch, retype.
    for (size_t i = 0; i < kWordKeys.size(); ++i) session->tapKey(keycode::deleteKey);
    sources.select("xkb:th");
    waitUntil([&] { return session->lockedGroup() == 1; }, 2.0, 0.0002);
    for (uint16_t k : kWordKeys) session->tapKey(k);
    // Verify.
    if (!waitUntil([&] { return ax.value(e).value == std::optional<std::string>("hello สวัสดี"); }, 3.0, 0.0002)) {
      state.SkipWithError("the converted word never showed");
      break;
    }

    state.PauseTiming();
    session->lockGroup(0);
    ax.deleteText(e, TextRange{6, 6});
    ax.insertText(e, 6, "l;ylfu");
    ax.setCaret(e, 12);
    waitUntil([&] { return ax.value(e).value == std::optional<std::string>("hello l;ylfu"); }, 3.0, 0.0002);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_X11WordConversion)->Unit(benchmark::kMillisecond)->Iterations(30)->UseRealTime();

// The retyped word as the engine posts it, each key carrying its text, with
// the first group still locked: every character goes through a borrowed key
// code (the worst case; a key the locked layout types goes by its code).
void BM_X11PostedThaiWordAsText(benchmark::State& state) {
  auto session = bench::startX11Session(state);
  if (!session) return;
  std::string why;
  SerialQueue main{"main"};
  AtspiAccessibility ax(main);
  X11EventSystemOptions options;
  options.log = [](const std::string& l) { std::fprintf(stderr, "%s\n", l.c_str()); };
  auto events = X11EventSystem::create(session->displayName(), main, options, &why);
  auto field = TestField::start(*session, TestField::Kind::line, "", &why);
  if (!events || !field) {
    state.SkipWithError(why.c_str());
    return;
  }
  auto focused = bench::focusedField(ax, state);
  if (!focused) return;
  const AXElement e = *focused;
  const std::vector<std::pair<uint16_t, std::string>> keys = {
      {keycode::l, "ส"}, {keycode::a, "วั"}, {keycode::l, "ส"}, {keycode::f, "ด"}, {keycode::u, "ี"}};
  for (auto _ : state) {
    for (const auto& [code, text] : keys) {
      Event k;
      k.type = EventType::keyDown;
      k.keyCode = code;
      k.unicode = text;
      k.sourceUserData = kSyntheticEventTag;
      events->post(TapLocation::hid, k);
      k.type = EventType::keyUp;
      events->post(TapLocation::hid, k);
    }
    if (!waitUntil([&] { return ax.value(e).value == std::optional<std::string>("สวัสดี"); }, 3.0, 0.0002)) {
      static std::string shown;
      shown = "the word never showed: '" + ax.value(e).value.value_or("<none>") + "'";
      state.SkipWithError(shown.c_str());
      break;
    }
    state.PauseTiming();
    ax.deleteText(e, TextRange{0, 6});
    waitUntil([&] { return ax.value(e).value == std::optional<std::string>(""); }, 3.0, 0.0002);
    state.ResumeTiming();
  }
}
BENCHMARK(BM_X11PostedThaiWordAsText)->Unit(benchmark::kMillisecond)->Iterations(30)->UseRealTime();

}  // namespace
}  // namespace tessa
