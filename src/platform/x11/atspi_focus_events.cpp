// The focus moving, as the programs themselves announce it: each program
// with an accessibility bridge sends object:state-changed:focused when one
// of its elements gains or loses the focus. The listener is registered once
// the bus is up (AtspiAccessibility::busUp, with focusEvent); the engine's
// focus watchers are told of each event, so it looks at the focused field
// when one arrives instead of every second.
#include "platform/x11/atspi_accessibility.h"

#include "platform/x11/atspi_calls.h"

namespace tessa {

namespace {
// [ours] A look for a field focused before we started: short, so that a
// read asked meanwhile (a hot key) waits little behind it; and not again
// sooner than this after the last, where a program exposes no field.
constexpr double kLookSeconds = 0.5;
constexpr double kLookAgainAfter = 2.0;
}  // namespace

// Nothing announces a field that took the focus before we started, and our
// hot key's own grab later makes its program say it lost the focus: it is
// looked for while the user types into it, nothing grabbed.
void AtspiAccessibility::lookForFocusedField() {
  if (focusKnown_ || lookAsked_.exchange(true)) return;
  const double now = atspi::monotonicNow();
  if (now - lastLookAt_ < kLookAgainAfter) {
    lookAsked_ = false;
    return;
  }
  lastLookAt_ = now;
  postToWorker([this] {
    if (!lastFocused_ && busUp()) findFocused(0, kLookSeconds, atspi::monotonicNow() + kLookSeconds);
    lookAsked_ = false;
  });
}

Subscription AtspiAccessibility::observeFocus(std::function<void()> callback) {
  Subscription subscription = focusWatchers_.add(std::move(callback));
  postToWorker([this] { busUp(); });
  return subscription;
}

}  // namespace tessa
