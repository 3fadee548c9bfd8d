// The focus moving, as the programs themselves announce it: each program
// with an accessibility bridge sends object:state-changed:focused when one
// of its elements gains or loses the focus. The listener is registered once
// the bus is up (AtspiAccessibility::busUp, with focusEvent); the engine's
// focus watchers are told of each event, so it looks at the focused field
// when one arrives instead of every second.
#include "platform/x11/atspi_accessibility.h"

namespace tessa {

Subscription AtspiAccessibility::observeFocus(std::function<void()> callback) {
  Subscription subscription = focusWatchers_.add(std::move(callback));
  postToWorker([this] { busUp(); });
  return subscription;
}

}  // namespace tessa
