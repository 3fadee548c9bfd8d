#pragma once
// The end of the process when its ordered quit cannot run: the X server went
// away. Qt's X11 back end then calls exit(1) from inside the event loop, and
// Xlib calls it on any thread that used a broken connection; exit() runs the
// static destructors while the other threads (the keyboard tap, the
// accessibility worker, the queues) still run, which crashed the program at
// every logout. Instead one thread (the main thread, unless it is held up)
// writes what the program keeps, says why in the log, and ends the process
// within a second; any other thread that gets here waits for that end.
#include <chrono>
#include <functional>
#include <string>

namespace tessa {

struct SuddenEndHooks {
  // Writes what the program keeps, from any thread, by `deadline`: the steps
  // of the ordered quit that need no X server. `quitAsked` as below.
  std::function<void(bool quitAsked, std::chrono::steady_clock::time_point deadline)> save;
  // Whether the X server is gone (decides the line an exit() is logged with).
  std::function<bool()> serverGone;
  // Whether the user's session asked the program to quit (SIGTERM, SIGINT):
  // the end is then the one asked for, with status 0; otherwise 1.
  std::function<bool()> quitAsked;
  std::function<void(const std::string&)> log;
};

class SuddenEnd {
 public:
  // [ours] How long a thread that found the server gone waits for the main
  // thread to end the program, and how long the whole end may wait from
  // then for writes already due: within the second the README promises,
  // with room for the process's own end on a loaded machine. Writes to
  // files take milliseconds; a queue held in a call to the server that is
  // gone never finishes, however long it is given.
  static constexpr auto kMainThreadGrace = std::chrono::milliseconds(250);
  static constexpr auto kEndBudget = std::chrono::milliseconds(600);

  // From now on an exit() (from Qt, from a library) ends the process here.
  static void arm(SuddenEndHooks hooks);
  // The program is tearing itself down in order: nothing left to save, and
  // the log may be gone (lines go to standard error).
  static void stopSaving();
  // Torn down: an exit() from here on is the ordinary end of main().
  static void disarm();
  [[noreturn]] static void now(const std::string& why);
};

}  // namespace tessa
