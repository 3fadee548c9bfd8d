#include "platform/x11/atspi_library_bus.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>
#include <dlfcn.h>

#include <atomic>
#include <mutex>

namespace {

std::atomic<GMainContext*> gChosen{nullptr};
std::atomic<bool> gSeen{false};

using SetUp = void (*)(DBusConnection*, GMainContext*);

SetUp librarySetUp() {
  static const SetUp real = reinterpret_cast<SetUp>(dlsym(RTLD_NEXT, "atspi_dbus_connection_setup_with_g_main"));
  return real;
}

}  // namespace

// Stands in for the library's own function of this name, which the library
// calls (through its symbol table) whenever it sets a connection up: the
// global default context it asks for becomes the worker's.
extern "C" void atspi_dbus_connection_setup_with_g_main(DBusConnection* connection, GMainContext* context) {
  gSeen = true;
  GMainContext* chosen = gChosen.load();
  if (chosen && (context == nullptr || context == g_main_context_default())) context = chosen;
  if (SetUp real = librarySetUp()) real(connection, context);
}

namespace tessa {

void keepLibraryOn(GMainContext* context) { gChosen = context; }

bool libraryFollowsOurContext() { return gSeen.load(); }

void quietenLibraryBus() {
  static std::once_flag once;
  std::call_once(once, [] {
    DBusConnection* bus = atspi_get_a11y_bus();
    if (!bus) return;
    // The library's cache rules, as it adds them at initialisation.
    static const char* const kCacheRules[] = {
        "type='signal',interface='org.a11y.atspi.Cache',member='AddAccessible'",
        "type='signal',interface='org.a11y.atspi.Cache',member='RemoveAccessible'",
        "type='signal',interface='org.a11y.atspi.Event.Object',member='ChildrenChanged'",
        "type='signal',interface='org.a11y.atspi.Event.Object',member='PropertyChange'",
        "type='signal',interface='org.a11y.atspi.Event.Object',member='StateChanged'",
    };
    // No reply is awaited: a rule the bus does not hold is no harm.
    for (const char* rule : kCacheRules) dbus_bus_remove_match(bus, rule, nullptr);
    dbus_connection_flush(bus);
  });
}

}  // namespace tessa
