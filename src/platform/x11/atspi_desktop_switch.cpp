// The desktop's accessibility switch and registry: what trust means over
// AT-SPI, how the user's grant turns the switch on, and which programs share
// their text.
#include "platform/x11/atspi_desktop_switch.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <chrono>

#include "platform/x11/atspi_accessibility.h"

namespace tessa {

namespace {

// [ours] The deadlines of our questions about the switch and the registry.
// How long the switch may take to answer, and how long a caller waits for it.
constexpr int kStatusCallMs = 1000;
constexpr double kTrustDeadline = 1.5;
// How long a trust answer stands for a check without a prompt.
constexpr double kTrustFreshFor = 0.25;
// Looking a program up among the registered applications, and each question
// on the way (one hung application must not use the whole deadline up).
constexpr double kRegistryDeadline = 0.5;
constexpr int kRegistryCallMs = 100;

double monotonicNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

AtspiDesktopSwitch::Answer AtspiDesktopSwitch::read(bool& enabled) { return call(std::nullopt, enabled); }

AtspiDesktopSwitch::Answer AtspiDesktopSwitch::turnOn(bool& enabled) {
  Answer answer = call(true, enabled);
  if (answer != Answer::value) return answer;
  answer = call(std::nullopt, enabled);
  return answer == Answer::value && !enabled ? Answer::refused : answer;
}

void AtspiDesktopSwitch::close() {
  if (!bus_) return;
  dbus_connection_close(bus_);
  dbus_connection_unref(bus_);
  bus_ = nullptr;
}

AtspiDesktopSwitch::Answer AtspiDesktopSwitch::call(std::optional<bool> set, bool& value) {
  DBusError err;
  dbus_error_init(&err);
  if (bus_ && !dbus_connection_get_is_connected(bus_)) {
    dbus_connection_unref(bus_);
    bus_ = nullptr;
  }
  if (!bus_) {
    bus_ = dbus_bus_get_private(DBUS_BUS_SESSION, &err);
    if (!bus_) {
      dbus_error_free(&err);
      return Answer::noBus;
    }
    dbus_connection_set_exit_on_disconnect(bus_, FALSE);
  }
  const char* iface = "org.a11y.Status";
  const char* prop = "IsEnabled";
  DBusMessage* msg = dbus_message_new_method_call("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties",
                                                  set ? "Set" : "Get");
  if (!msg) return Answer::noLauncher;
  DBusMessageIter it, variant;
  dbus_message_iter_init_append(msg, &it);
  dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &iface);
  dbus_message_iter_append_basic(&it, DBUS_TYPE_STRING, &prop);
  if (set) {
    dbus_bool_t v = *set;
    dbus_message_iter_open_container(&it, DBUS_TYPE_VARIANT, "b", &variant);
    dbus_message_iter_append_basic(&variant, DBUS_TYPE_BOOLEAN, &v);
    dbus_message_iter_close_container(&it, &variant);
  }
  DBusMessage* reply = dbus_connection_send_with_reply_and_block(bus_, msg, kStatusCallMs, &err);
  dbus_message_unref(msg);
  Answer out = set ? Answer::refused : Answer::noLauncher;
  if (reply) {
    if (set) {
      value = *set;
      out = Answer::value;
    } else if (dbus_message_iter_init(reply, &it) && dbus_message_iter_get_arg_type(&it) == DBUS_TYPE_VARIANT) {
      dbus_message_iter_recurse(&it, &variant);
      if (dbus_message_iter_get_arg_type(&variant) == DBUS_TYPE_BOOLEAN) {
        dbus_bool_t v = FALSE;
        dbus_message_iter_get_basic(&variant, &v);
        value = v != FALSE;
        out = Answer::value;
      }
    }
    dbus_message_unref(reply);
  }
  dbus_error_free(&err);
  return out;
}

// ------------------------------------------------------------ trust

std::optional<bool> AtspiAccessibility::trustedNow(bool prompt) {
  if (!busUp()) return false;
  bool enabled = false;
  auto answer = desktopSwitch_.read(enabled);
  // Only the user's grant asks with a prompt: nothing else turns it on.
  if (answer == AtspiDesktopSwitch::Answer::value && !enabled && prompt) {
    answer = desktopSwitch_.turnOn(enabled);
    if (answer == AtspiDesktopSwitch::Answer::value && enabled) trustChanged_.notify();
  }
  switch (answer) {
    case AtspiDesktopSwitch::Answer::value:
      problem_ = AXTrustProblem::none;
      return enabled;
    case AtspiDesktopSwitch::Answer::noBus:
      problem_ = AXTrustProblem::noSessionBus;
      return false;
    case AtspiDesktopSwitch::Answer::noLauncher:
      problem_ = AXTrustProblem::noAccessibilityBus;
      return false;
    case AtspiDesktopSwitch::Answer::refused:
      problem_ = AXTrustProblem::switchRefused;
      return false;
  }
  return false;
}

bool AtspiAccessibility::isProcessTrusted(bool prompt) {
  // The key path asks too (the Caps Lock light): an answer this fresh needs
  // no trip to the bus.
  const double now = monotonicNow();
  if (!prompt && now - lastAsked_.load() < kTrustFreshFor) return lastTrusted_.load();
  // A check that cannot be answered in time keeps the last answer: a slow
  // desktop is not a revoked permission.
  auto answer = onWorker<std::optional<bool>>(kTrustDeadline, [this, prompt](double) { return trustedNow(prompt); });
  if (answer && *answer) {
    lastTrusted_ = **answer;
    lastAsked_ = now;
  }
  return lastTrusted_.load();
}

Subscription AtspiAccessibility::observeTrustListChanged(std::function<void()> callback) {
  return trustChanged_.add(std::move(callback));
}

// ---------------------------------------------------------- registry

std::optional<bool> AtspiAccessibility::isApplicationRegistered(int64_t pid) {
  if (pid <= 0) return std::nullopt;
  auto answer = onWorker<std::optional<bool>>(kRegistryDeadline, [this, pid](double deadline) -> std::optional<bool> {
    if (!busUp()) return std::nullopt;
    atspi_set_timeout(kRegistryCallMs, -1);
    AtspiAccessible* desktop = atspi_get_desktop(0);
    if (!desktop) return std::nullopt;
    const int apps = atspi_accessible_get_child_count(desktop, nullptr);
    std::optional<bool> found;
    if (apps >= 0) found = false;
    for (int i = 0; i < apps && found == false; ++i) {
      if (monotonicNow() > deadline) {
        found = std::nullopt;
        break;
      }
      AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
      if (!app) continue;
      if (static_cast<int64_t>(atspi_accessible_get_process_id(app, nullptr)) == pid) found = true;
      g_object_unref(app);
    }
    g_object_unref(desktop);
    return found;
  });
  return answer ? *answer : std::nullopt;
}

}  // namespace tessa
