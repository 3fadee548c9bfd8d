#include "engine/accessibility_text.h"

#include <algorithm>

#include "base/unicode.h"
#include "engine/keyboard_engine.h"
#include "typing/text_units.h"

namespace tessa {

namespace {
// The editing actions run on the main queue, never inside the tap callback,
// so they can afford the longer time-out an application deserves (the
// application element's messaging time-out of the text-access probe).
constexpr double kTextReadTimeout = 0.3;  // [design]
// Short: the handler asks for the focus when a switcher press begins.
constexpr double kFocusTimeout = 0.05;  // [ours]

// [design] the read statistics' thresholds, 50 and 100 ms.
void countRead(EngineCounters& counters, double ms) {
  counters.axReadCount.modify([](int64_t& v) { v += 1; });
  if (ms > 50) counters.axReadOver50ms.modify([](int64_t& v) { v += 1; });
  if (ms > 100) counters.axReadOver100ms.modify([](int64_t& v) { v += 1; });
  if (ms > counters.axReadMaxMs.get()) counters.axReadMaxMs.set(ms);
}

void countRead(KeyboardEngine& e, double startedAt) { countRead(e.counters, (e.uptime() - startedAt) * 1000.0); }

// What the engine makes of a field's text state.
FocusedTextRead textReadOf(const AXElement& element, const AXResult<AXTextState>& state) {
  FocusedTextRead out;
  if (state.ok() && state.value->secure) {
    out.problem = FocusedTextProblem::secureField;
    return out;
  }
  if (!state.ok()) return out;
  FocusedText text{element, toUtf16(state.value->value), state.value->selection};
  auto n = static_cast<int64_t>(text.text.size());
  if (text.selection.location < 0 || text.selection.length < 0 || text.selection.location + text.selection.length > n)
    return out;
  out.text = std::move(text);
  return out;
}
}  // namespace

FocusedTextRead readFocusedText(KeyboardEngine& engine) {
  FocusedTextRead out;
  Accessibility* ax = engine.platform().accessibility;
  if (!ax) {
    out.problem = FocusedTextProblem::noAccess;
    return out;
  }
  double started = engine.uptime();
  auto read = ax->focusedTextState(kTextReadTimeout);
  countRead(engine, started);
  if (!read.element.ok()) {
    out.problem = read.element.error == AXError::apiDisabled ? FocusedTextProblem::noAccess
                                                             : FocusedTextProblem::noFocusedField;
    return out;
  }
  return textReadOf(*read.element.value, read.text);
}

FocusedTextRead readFieldText(KeyboardEngine& engine, const AXElement& element) {
  Accessibility* ax = engine.platform().accessibility;
  if (!ax) return FocusedTextRead{std::nullopt, FocusedTextProblem::noAccess};
  const double started = engine.uptime();
  auto state = ax->textStateAgain(element);
  countRead(engine, started);
  return textReadOf(element, state);
}

std::optional<AXElement> KeyboardEngine::focusedElement() {
  if (!platform().accessibility) return std::nullopt;
  auto r = platform().accessibility->focusedElement(kFocusTimeout);
  return r.ok() ? r.value : std::nullopt;
}

AXTextAccess KeyboardEngine::frontmostAppTextAccess() {
  Accessibility* ax = platform().accessibility;
  if (!ax) return AXTextAccess::unavailable;
  std::optional<RunningApplication> app;
  if (platform().workspace) app = platform().workspace->frontmostApplication();
  auto element = app ? ax->focusedElementOfApplication(app->pid, kTextReadTimeout) : ax->focusedElement(kTextReadTimeout);
  if (!element.ok()) return element.error == AXError::noValue ? AXTextAccess::dormant : AXTextAccess::unavailable;
  if (ax->selectedTextRange(*element.value).ok() || ax->selectedText(*element.value).ok() ||
      ax->value(*element.value).ok())
    return AXTextAccess::available;
  return AXTextAccess::unavailable;
}

void KeyboardEngine::probeFocusedAppAXAvailability(int attemptsLeft) {
  AXTextAccess access = frontmostAppTextAccess();
  // A dormant application has not made its focused element yet; it usually
  // has a moment later.
  if (access == AXTextAccess::dormant && attemptsLeft >= 2) {
    afterOnMainWeak(0.1, [attemptsLeft](KeyboardEngine& e) {  // [design]
      e.probeFocusedAppAXAvailability(attemptsLeft - 1);
    });
    return;
  }
  axTextAccessInFocusedApp.set(access);
  setAXAvailableInFocusedApp(access == AXTextAccess::available);
}

}  // namespace tessa
