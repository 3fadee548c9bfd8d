// Allocations the accessibility, D-Bus and X libraries keep for the life of
// the process are not leaks of ours. Read by LeakSanitizer when the tests are
// built with it; unused otherwise.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libatspi\n"
         "leak:libglib\n"
         "leak:libgobject\n"
         "leak:libgio\n"
         "leak:libdbus\n"
         "leak:libX11\n"
         "leak:libxcb\n"
         "leak:libxkbcommon\n";
}
