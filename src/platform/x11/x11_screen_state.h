#pragma once
// The screen saver and the display power as the X server knows them: the
// MIT screen saver extension says whether the saver (and with it most
// lockers) covers the screen, DPMS whether the monitors are powered down.
// Each change becomes a workspace event: the saver coming on is a screen
// lock, going off an unlock; the monitors leaving "on" is a display sleep,
// coming back a display wake. A server without an extension is logged once
// and that source stays quiet.
//
// Nothing is read on a timer while nothing can change: the saver announces
// itself (ScreenSaverNotify). DPMS announces nothing here, but it powers the
// monitors down only once the server has been idle for its shortest
// time-out, so its state is read when that time can first have passed (and
// again whenever the saver changes); while the monitors are down it is read
// each second until they are back. Monitors forced down by hand (xset dpms
// force off) are seen at the next of those readings.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "platform/workspace.h"

namespace tessa {

struct X11ScreenReading {
  std::optional<bool> saverActive;    // none: no screen saver extension
  std::optional<bool> displayAsleep;  // none: no DPMS, or DPMS disabled
};

class X11ScreenState {
 public:
  using Post = std::function<void(WorkspaceEvent)>;
  using Log = std::function<void(const std::string&)>;

  // Opens its own connection to `display` (null: $DISPLAY). `watchSaver`
  // false leaves the saver to another source (the desktop's D-Bus screen
  // saver), reading the display power only.
  static std::unique_ptr<X11ScreenState> open(const char* display, bool watchSaver, Post post, Log log);
  ~X11ScreenState();

  // Reads the server's state and posts what changed since the last reading.
  // The first reading only sets the starting point.
  void poll();
  X11ScreenReading read() const;
  // Watches on a thread of its own until destroyed, reporting through the
  // post callback from that thread; poll() is then that thread's alone.
  void watch();
  // Seconds until the monitors can next have changed by themselves, from
  // DPMS's time-outs (standby, suspend, off; 0 = not used) and the server's
  // idle time: the next time-out still ahead; the shortest one when none is
  // (the user's return, which resets the idle time, is not announced); none
  // when no time-out is set. While they are down, a second.
  static std::optional<double> secondsUntilDisplayMayChange(bool asleep, const unsigned (&timeouts)[3],
                                                            double idleSeconds);

 private:
  X11ScreenState() = default;
  struct Connection;
  void run();
  std::optional<double> nextDisplayReading();
  std::unique_ptr<Connection> connection_;
  bool watchSaver_ = true;
  Post post_;
  Log log_;
  std::optional<X11ScreenReading> last_;
  std::thread thread_;
  int wake_[2] = {-1, -1};  // a pipe: a byte in it ends the thread
};

}  // namespace tessa
