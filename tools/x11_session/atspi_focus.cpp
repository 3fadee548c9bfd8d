// tessavinor-atspi-focus PID SECONDS [TEXT]: a plain AT-SPI client that
// prints "FOCUSED <role>" once application PID shows an editable element
// with the focus (holding TEXT, when given), asking again until SECONDS have
// passed (exit status 1 then).
#include <atspi/atspi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

namespace {
AtspiAccessible* focusedEditableIn(AtspiAccessible* a, int depth) {
  if (!a || depth > 60) return nullptr;
  if (AtspiStateSet* set = atspi_accessible_get_state_set(a)) {
    const bool hit = atspi_state_set_contains(set, ATSPI_STATE_FOCUSED) &&
                     atspi_state_set_contains(set, ATSPI_STATE_EDITABLE);
    g_object_unref(set);
    if (hit) return static_cast<AtspiAccessible*>(g_object_ref(a));
  }
  const int n = atspi_accessible_get_child_count(a, nullptr);
  for (int i = 0; i < n; ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(a, i, nullptr);
    AtspiAccessible* found = focusedEditableIn(child, depth + 1);
    if (child) g_object_unref(child);
    if (found) return found;
  }
  return nullptr;
}
}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) return 2;
  const guint pid = static_cast<guint>(std::atoi(argv[1]));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(std::atof(argv[2]));
  if (atspi_init() > 1) return 1;
  atspi_set_timeout(1000, -1);
  while (std::chrono::steady_clock::now() < deadline) {
    AtspiAccessible* desktop = atspi_get_desktop(0);
    const int apps = desktop ? atspi_accessible_get_child_count(desktop, nullptr) : 0;
    for (int i = 0; i < apps; ++i) {
      AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
      AtspiAccessible* found =
          app && atspi_accessible_get_process_id(app, nullptr) == pid ? focusedEditableIn(app, 0) : nullptr;
      if (app) g_object_unref(app);
      if (found && argc == 4) {
        AtspiText* text = atspi_accessible_get_text_iface(found);
        gchar* held = text ? atspi_text_get_text(text, 0, -1, nullptr) : nullptr;
        // A browser's editable element keeps a blank that ends its text as
        // a no-break space.
        std::string shown = held ? held : "";
        for (auto at = shown.find("\xC2\xA0"); at != std::string::npos; at = shown.find("\xC2\xA0"))
          shown.replace(at, 2, " ");
        if (!held || shown != argv[3]) {
          g_object_unref(found);
          found = nullptr;
        }
        g_free(held);
        if (text) g_object_unref(text);
      }
      if (found) {
        gchar* role = atspi_accessible_get_role_name(found, nullptr);
        std::printf("FOCUSED %s\n", role ? role : "?");
        std::fflush(stdout);
        return 0;
      }
    }
    if (desktop) g_object_unref(desktop);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return 1;
}
