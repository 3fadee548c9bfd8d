// exit() from a library while the program is armed: it ends in SuddenEnd
// before exit() destroys anything, even a static first made after arm().
#include <dlfcn.h>

#include <cstdio>

#include "app/sudden_end.h"

struct Noisy {
  ~Noisy() { std::fputs("a static was destroyed\n", stderr); }
};

int main() {
  tessa::SuddenEnd::arm({[](bool, auto) { std::fputs("saved\n", stderr); }, {}, [] { return true; }, {}});
  static Noisy lateStatic;  // its destructor is registered after arm()'s handler
  reinterpret_cast<void (*)(int)>(dlsym(RTLD_DEFAULT, "exit"))(1);
}
