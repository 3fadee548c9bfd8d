// The focus moving, as the programs themselves announce it: each program
// with an accessibility bridge sends object:state-changed:focused when one
// of its elements gains or loses the focus. Only that event is asked for
// (by name, through the registry), so a busy program's other events never
// reach us; the engine looks at the focused field when it arrives instead
// of every second.
#include <atspi/atspi.h>
#include <unistd.h>

#include "platform/x11/atspi_accessibility.h"

namespace tessa {

namespace {
constexpr const char* kFocusEvent = "object:state-changed:focused";
}  // namespace

Subscription AtspiAccessibility::observeFocus(std::function<void()> callback) {
  Subscription subscription = focusWatchers_.add(std::move(callback));
  focusWanted_ = true;
  postToWorker([this] { listenForFocus(); });
  return subscription;
}

void AtspiAccessibility::listenForFocus() {
  if (focusListener_ || !focusWanted_.load() || !busUp()) return;
  focusListener_ = atspi_event_listener_new(&AtspiAccessibility::onFocusEvent, this, nullptr);
  GError* error = nullptr;
  if (!atspi_event_listener_register(focusListener_, kFocusEvent, &error)) {
    g_object_unref(focusListener_);
    focusListener_ = nullptr;
  }
  if (error) g_error_free(error);
}

void AtspiAccessibility::stopListeningForFocus() {
  if (!focusListener_) return;
  atspi_event_listener_deregister(focusListener_, kFocusEvent, nullptr);
  g_object_unref(focusListener_);
  focusListener_ = nullptr;
}

void AtspiAccessibility::onFocusEvent(AtspiEvent* event, void* data) {
  auto* self = static_cast<AtspiAccessibility*>(data);
  // The element gaining the focus is the one the next look finds: one
  // question instead of a walk. Our own windows are never the one (they
  // answer on the main thread, which may be waiting for that look).
  if (event->detail1 && event->source &&
      static_cast<int64_t>(atspi_accessible_get_process_id(event->source, nullptr)) != getpid()) {
    if (self->lastFocused_) g_object_unref(self->lastFocused_);
    self->lastFocused_ = static_cast<AtspiAccessible*>(g_object_ref(event->source));
  }
  self->focusWatchers_.notify();
  g_boxed_free(ATSPI_TYPE_EVENT, event);
}

}  // namespace tessa
