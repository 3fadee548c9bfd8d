#include "app/sudden_end.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace tessa {

namespace {

struct State {
  std::mutex mutex;
  SuddenEndHooks hooks;
  std::atomic<bool> armed{false};
  std::atomic<bool> ending{false};
  std::thread::id mainThread;
  std::mutex endingMutex;
  std::condition_variable endingStarted;
};

// Never destroyed: it is used by exit() itself.
State& state() {
  static auto* s = new State();
  return *s;
}

void onExit() {
  if (!state().armed.load()) return;
  bool gone = false;
  {
    std::lock_guard lock(state().mutex);
    gone = state().hooks.serverGone && state().hooks.serverGone();
  }
  SuddenEnd::now(gone ? "the X server went away" : "a library ended the program");
}

}  // namespace

void SuddenEnd::arm(SuddenEndHooks hooks) {
  static const bool registered = std::atexit(onExit) == 0;
  (void)registered;
  std::lock_guard lock(state().mutex);
  state().hooks = std::move(hooks);
  state().mainThread = std::this_thread::get_id();
  state().armed.store(true);
}

void SuddenEnd::stopSaving() {
  std::lock_guard lock(state().mutex);
  state().hooks.save = nullptr;
  state().hooks.log = nullptr;
}

void SuddenEnd::disarm() {
  state().armed.store(false);
  std::lock_guard lock(state().mutex);
  state().hooks = {};
}

void SuddenEnd::now(const std::string& why) {
  auto& s = state();
  const auto began = std::chrono::steady_clock::now();
  if (std::this_thread::get_id() != s.mainThread) {
    // The main thread learns of the loss at the same moment (Qt's own
    // connection breaks too) and ends the process itself, where the
    // delegate's objects live. One held up (in a call to the server that is
    // gone, or waiting for this very thread) is not waited for: this thread
    // ends the program, and the main thread stays where it is.
    std::unique_lock lock(s.endingMutex);
    s.endingStarted.wait_for(lock, kMainThreadGrace, [&] { return s.ending.load(); });
  }
  if (s.ending.exchange(true)) {
    // Another thread is saving; the process ends with it.
    for (;;) ::pause();
  }
  {
    std::lock_guard lock(s.endingMutex);
  }
  s.endingStarted.notify_all();
  // Held to the end: the hooks cannot be taken away meanwhile.
  std::lock_guard lock(s.mutex);
  const bool asked = s.hooks.quitAsked && s.hooks.quitAsked();
  const std::string line = "Tessavinor: " + why + " - saving and quitting";
  if (s.hooks.log) s.hooks.log(line);
  else std::fprintf(stderr, "%s\n", line.c_str());
  if (s.hooks.save) s.hooks.save(asked, began + kEndBudget);
  if (s.hooks.log) s.hooks.log("Tessavinor: quit");
  std::fflush(nullptr);
  // A SIGTERM sent with the loss may have been handled only meanwhile.
  ::_exit(asked || (s.hooks.quitAsked && s.hooks.quitAsked()) ? 0 : 1);
}

}  // namespace tessa

// exit() itself, for every caller in the process (Qt's X11 back end and Xlib
// call it from their libraries; the executable exports it, see
// CMakeLists.txt): once armed, the program ends here before exit() runs any
// destructor. An atexit handler alone came too late: exit() runs the
// handlers last registered first, and a function-local static first used
// after arm() (by a worker thread, as the program starts) was destroyed while
// that thread still read it.
extern "C" [[noreturn]] void exit(int status) noexcept {
  tessa::onExit();
  using Exit = void (*)(int);
  static const auto libcExit = reinterpret_cast<Exit>(dlsym(RTLD_NEXT, "exit"));
  libcExit(status);
  __builtin_unreachable();
}
