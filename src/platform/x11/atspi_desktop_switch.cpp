// The desktop's accessibility switch and registry: what trust means over
// AT-SPI, how the user's grant turns the switch on, and which programs share
// their text.
#include "platform/x11/atspi_desktop_switch.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <chrono>
#include <string_view>

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

constexpr const char* kLauncher = "org.a11y.Bus";
constexpr const char* kLauncherPath = "/org/a11y/bus";
constexpr const char* kStatus = "org.a11y.Status";
constexpr const char* kIsEnabled = "IsEnabled";
// The switch's changes, and the launcher coming and going (a launcher that
// starts anew may start with the switch in another position).
constexpr const char* kSwitchRule =
    "type='signal',sender='org.a11y.Bus',path='/org/a11y/bus',interface='org.freedesktop.DBus.Properties',"
    "member='PropertiesChanged',arg0='org.a11y.Status'";
constexpr const char* kLauncherRule =
    "type='signal',sender='org.freedesktop.DBus',interface='org.freedesktop.DBus',member='NameOwnerChanged',"
    "arg0='org.a11y.Bus'";

DBusHandlerResult onSwitchSignal(DBusConnection*, DBusMessage* message, void* data) {
  auto& changed = *static_cast<AtspiDesktopSwitch::Changed*>(data);
  bool value = false;
  switch (AtspiDesktopSwitch::interpret(message, value)) {
    case AtspiDesktopSwitch::Signal::value:
      if (changed) changed(value);
      break;
    case AtspiDesktopSwitch::Signal::readAgain:
      if (changed) changed(std::nullopt);
      break;
    case AtspiDesktopSwitch::Signal::unrelated:
      break;
  }
  return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
}

// The first argument, when it is a string.
const char* firstString(DBusMessage* message, DBusMessageIter& it) {
  if (!dbus_message_iter_init(message, &it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_STRING) return nullptr;
  const char* text = nullptr;
  dbus_message_iter_get_basic(&it, &text);
  return text;
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
  if (watching_) dbus_connection_remove_filter(bus_, &onSwitchSignal, &changed_);
  watching_ = false;
  dbus_connection_close(bus_);
  dbus_connection_unref(bus_);
  bus_ = nullptr;
}

bool AtspiDesktopSwitch::open() {
  if (bus_ && !dbus_connection_get_is_connected(bus_)) {
    if (watching_) dbus_connection_remove_filter(bus_, &onSwitchSignal, &changed_);
    watching_ = false;
    dbus_connection_unref(bus_);
    bus_ = nullptr;
  }
  if (!bus_) {
    DBusError err;
    dbus_error_init(&err);
    bus_ = dbus_bus_get_private(DBUS_BUS_SESSION, &err);
    dbus_error_free(&err);
    if (!bus_) return false;
    dbus_connection_set_exit_on_disconnect(bus_, FALSE);
  }
  // A connection opened again is watched again.
  if (changed_ && !watching_) startWatching();
  return true;
}

bool AtspiDesktopSwitch::watch(GMainContext* context, Changed changed) {
  watchContext_ = context;
  changed_ = std::move(changed);
  return open() && watching_;
}

bool AtspiDesktopSwitch::startWatching() {
  DBusError err;
  dbus_error_init(&err);
  dbus_bus_add_match(bus_, kSwitchRule, &err);
  if (!dbus_error_is_set(&err)) dbus_bus_add_match(bus_, kLauncherRule, &err);
  const bool added = !dbus_error_is_set(&err);
  dbus_error_free(&err);
  if (!added) return false;
  dbus_connection_add_filter(bus_, &onSwitchSignal, &changed_, nullptr);
  // Its signals are read and handed on by the thread that iterates the
  // context; the calls above and below still block on the connection itself.
  atspi_dbus_connection_setup_with_g_main(bus_, watchContext_);
  watching_ = true;
  return true;
}

AtspiDesktopSwitch::Signal AtspiDesktopSwitch::interpret(DBusMessage* message, bool& value) {
  if (dbus_message_is_signal(message, DBUS_INTERFACE_LOCAL, "Disconnected")) return Signal::readAgain;
  DBusMessageIter it;
  if (dbus_message_is_signal(message, DBUS_INTERFACE_DBUS, "NameOwnerChanged")) {
    const char* name = firstString(message, it);
    return name && std::string_view(name) == kLauncher ? Signal::readAgain : Signal::unrelated;
  }
  if (!dbus_message_is_signal(message, DBUS_INTERFACE_PROPERTIES, "PropertiesChanged")) return Signal::unrelated;
  const char* path = dbus_message_get_path(message);
  const char* iface = firstString(message, it);
  if (!path || std::string_view(path) != kLauncherPath || !iface || std::string_view(iface) != kStatus)
    return Signal::unrelated;
  // The changed properties with their values, then those only named.
  if (!dbus_message_iter_next(&it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) return Signal::readAgain;
  DBusMessageIter entries;
  for (dbus_message_iter_recurse(&it, &entries); dbus_message_iter_get_arg_type(&entries) == DBUS_TYPE_DICT_ENTRY;
       dbus_message_iter_next(&entries)) {
    DBusMessageIter entry, variant;
    dbus_message_iter_recurse(&entries, &entry);
    if (dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_STRING) continue;
    const char* key = nullptr;
    dbus_message_iter_get_basic(&entry, &key);
    if (!key || std::string_view(key) != kIsEnabled || !dbus_message_iter_next(&entry) ||
        dbus_message_iter_get_arg_type(&entry) != DBUS_TYPE_VARIANT)
      continue;
    dbus_message_iter_recurse(&entry, &variant);
    if (dbus_message_iter_get_arg_type(&variant) != DBUS_TYPE_BOOLEAN) return Signal::readAgain;
    dbus_bool_t on = FALSE;
    dbus_message_iter_get_basic(&variant, &on);
    value = on != FALSE;
    return Signal::value;
  }
  if (!dbus_message_iter_next(&it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) return Signal::unrelated;
  DBusMessageIter names;
  for (dbus_message_iter_recurse(&it, &names); dbus_message_iter_get_arg_type(&names) == DBUS_TYPE_STRING;
       dbus_message_iter_next(&names)) {
    const char* name = nullptr;
    dbus_message_iter_get_basic(&names, &name);
    if (name && std::string_view(name) == kIsEnabled) return Signal::readAgain;
  }
  // Another property of the status (the screen reader's).
  return Signal::unrelated;
}

AtspiDesktopSwitch::Answer AtspiDesktopSwitch::call(std::optional<bool> set, bool& value) {
  if (!open()) return Answer::noBus;
  DBusError err;
  dbus_error_init(&err);
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
  // While the switch is watched, its last answer stands until it changes.
  if (!prompt && switchWatched_.load()) return lastTrusted_.load();
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

Subscription AtspiAccessibility::observeTrust(std::function<void()> callback) {
  Subscription subscription = trustWatchers_.add(std::move(callback));
  postToWorker([this] { watchSwitch(); });
  return subscription;
}

void AtspiAccessibility::watchSwitch() {
  if (!switchWatched_.load())
    switchWatched_ = desktopSwitch_.watch(workerContext(), [this](std::optional<bool> announced) {
      switchChanged(announced);
    });
  // The answer as it stands when the watch begins.
  switchChanged(std::nullopt);
}

void AtspiAccessibility::switchChanged(std::optional<bool> announced) {
  bool enabled = false;
  if (announced) {
    enabled = *announced;
    problem_ = AXTrustProblem::none;
  } else {
    enabled = trustedNow(false).value_or(false);
  }
  lastTrusted_ = enabled;
  lastAsked_ = monotonicNow();
  trustWatchers_.notify();
  // The accessibility bus may have come up only now (and with it the focus
  // events).
  if (enabled) busUp();
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
