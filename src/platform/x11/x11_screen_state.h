#pragma once
// The screen saver and the display power as the X server knows them: the
// MIT screen saver extension says whether the saver (and with it most
// lockers) covers the screen, DPMS whether the monitors are powered down.
// Neither tells of a change by itself on every server, so the state is read
// once a second and each change becomes a workspace event: the saver coming
// on is a screen lock, going off an unlock; the monitors leaving "on" is a
// display sleep, coming back a display wake. A server without an extension
// is logged once and that source stays quiet.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/task_runner.h"
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
  // Polls every `interval` seconds on `main` until destroyed.
  void start(TaskRunner& main, double interval = 1.0);

 private:
  X11ScreenState() = default;
  struct Connection;
  std::unique_ptr<Connection> connection_;
  bool watchSaver_ = true;
  Post post_;
  Log log_;
  std::optional<X11ScreenReading> last_;
  TaskHandle timer_;
};

}  // namespace tessa
