#include "platform/x11/atspi_accessibility.h"

#include <atspi/atspi.h>

#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>

#include "platform/x11/atspi_calls.h"
#include "platform/x11/atspi_worker.h"
#include "platform/x11/atspi_library_bus.h"

namespace tessa {

using namespace atspi;

namespace {
constexpr const char* kFocusEvent = "object:state-changed:focused";
}  // namespace

AtspiAccessibility::AtspiAccessibility(TaskRunner& main, ApplicationFocus* inputFocus)
    : main_(main), inputFocus_(inputFocus), trustChanged_(main), worker_(std::make_unique<Worker>()) {}

AtspiAccessibility::~AtspiAccessibility() {
  worker_->stop([this] {
    forgetAll();
    desktopSwitch_.close();
  });
}

void AtspiAccessibility::forgetAll() {
  if (focusListener_) {
    atspi_event_listener_deregister(focusListener_, kFocusEvent, nullptr);
    g_object_unref(focusListener_);
    focusListener_ = nullptr;
  }
  for (auto& [id, a] : elements_) g_object_unref(a);
  elements_.clear();
  readWhole_.clear();
  setLastFocused(nullptr);
}

void AtspiAccessibility::setLastFocused(AtspiAccessible* a) {
  if (a) g_object_ref(a);
  if (lastFocused_) g_object_unref(lastFocused_);
  lastFocused_ = a;
  focusKnown_ = a != nullptr;
}

bool AtspiAccessibility::busUp() {
  if (initialised_) return true;
  // Without a session bus the library would fall back to spawning one.
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
    problem_ = AXTrustProblem::noSessionBus;
    return false;
  }
  bool enabled = false;
  const auto answer = desktopSwitch_.read(enabled);
  if (answer != AtspiDesktopSwitch::Answer::value) {
    problem_ = answer == AtspiDesktopSwitch::Answer::noBus ? AXTrustProblem::noSessionBus
                                                           : AXTrustProblem::noAccessibilityBus;
    return false;
  }
  // Every connection the library sets up belongs to this thread's own
  // context, so that nothing but this thread ever dispatches it
  // (atspi_library_bus.h). Where the library cannot be steered so, its bus
  // connection (and the direct ones it knows of) are moved over after
  // initialising.
  keepLibraryOn(worker_->context());
  const int r = atspi_init();
  initialised_ = r == 0 || r == 1;
  if (!initialised_) return false;
  atspi_set_main_context(worker_->context());
  quietenLibraryBus();
  // Applications send the events someone listens for: these name the field
  // that takes the focus, which a keyboard grab later hides, and tell the
  // engine's focus watchers to look again. Only this event is asked for (by
  // name, through the registry), so a busy program's other events never
  // reach us.
  focusListener_ = atspi_event_listener_new(&AtspiAccessibility::focusEvent, this, nullptr);
  if (!atspi_event_listener_register(focusListener_, kFocusEvent, nullptr)) {
    g_object_unref(focusListener_);
    focusListener_ = nullptr;
  }
  return true;
}

// The same object on the same connection is the same element.
uint64_t AtspiAccessibility::elementId(AtspiAccessible* a) {
  const char* bus = a->parent.app ? a->parent.app->bus_name : "";
  const char* path = a->parent.path ? a->parent.path : "";
  return std::hash<std::string>{}(std::string(bus ? bus : "") + "\n" + path) | 1;
}

AXElement AtspiAccessibility::remember(AtspiAccessible* a) {
  const uint64_t id = elementId(a);
  if (elements_.size() > 64) {
    for (auto& [key, old] : elements_) g_object_unref(old);
    elements_.clear();
    readWhole_.clear();
  }
  if (auto it = elements_.find(id); it != elements_.end()) {
    g_object_unref(it->second);
    it->second = a;
  } else {
    elements_.emplace(id, a);
  }
  return AXElement{id, static_cast<int64_t>(atspi_accessible_get_process_id(a, nullptr))};
}

AtspiAccessible* AtspiAccessibility::lookup(const AXElement& e, AXError& error) const {
  auto it = elements_.find(e.id);
  if (it == elements_.end() || hasState(it->second, ATSPI_STATE_DEFUNCT)) {
    error = AXError::invalidElement;
    return nullptr;
  }
  error = AXError::success;
  return it->second;
}
}  // namespace tessa
