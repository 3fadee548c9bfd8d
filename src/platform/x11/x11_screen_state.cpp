#include "platform/x11/x11_screen_state.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

namespace tessa {

struct X11ScreenState::Connection {
  Display* display = nullptr;
  bool hasSaver = false;
  bool hasDpms = false;
  int saverEventBase = 0;
  ~Connection() {
    if (display) XCloseDisplay(display);
  }
};

std::unique_ptr<X11ScreenState> X11ScreenState::open(const char* displayName, bool watchSaver, Post post, Log log) {
  std::unique_ptr<X11ScreenState> state(new X11ScreenState());
  state->post_ = std::move(post);
  state->log_ = std::move(log);
  state->watchSaver_ = watchSaver;
  state->connection_ = std::make_unique<Connection>();
  Connection& c = *state->connection_;
  c.display = XOpenDisplay(displayName);
  if (!c.display) {
    if (state->log_)
      state->log_("Screen lock and display sleep: no X server - the screen saver and display power will not be noticed");
    return state;
  }
  int event = 0, error = 0;
  c.hasSaver = XScreenSaverQueryExtension(c.display, &event, &error);
  c.saverEventBase = event;
  c.hasDpms = DPMSQueryExtension(c.display, &event, &error) && DPMSCapable(c.display);
  if (watchSaver && !c.hasSaver && state->log_)
    state->log_("Screen lock: the X server has no screen saver extension - the screen saver will not be noticed");
  if (!c.hasDpms && state->log_)
    state->log_("Display sleep: the X server has no DPMS - display power will not be noticed");
  return state;
}

X11ScreenState::~X11ScreenState() {
  if (thread_.joinable()) {
    const char stop = 1;
    (void)!::write(wake_[1], &stop, 1);
    thread_.join();
  }
  for (int fd : wake_)
    if (fd >= 0) ::close(fd);
}

X11ScreenReading X11ScreenState::read() const {
  X11ScreenReading r;
  if (!connection_ || !connection_->display) return r;
  Display* d = connection_->display;
  if (watchSaver_ && connection_->hasSaver) {
    if (XScreenSaverInfo* info = XScreenSaverAllocInfo()) {
      if (XScreenSaverQueryInfo(d, DefaultRootWindow(d), info)) r.saverActive = info->state == ScreenSaverOn;
      XFree(info);
    }
  }
  if (connection_->hasDpms) {
    CARD16 level = DPMSModeOn;
    BOOL enabled = False;
    // With DPMS switched off the monitors never power down by it; a level
    // forced while disabled is not reported either.
    if (DPMSInfo(d, &level, &enabled)) r.displayAsleep = enabled && level != DPMSModeOn;
  }
  return r;
}

void X11ScreenState::poll() {
  X11ScreenReading now = read();
  if (last_ && post_) {
    if (now.saverActive && last_->saverActive && *now.saverActive != *last_->saverActive)
      post_(*now.saverActive ? WorkspaceEvent::screenLocked : WorkspaceEvent::screenUnlocked);
    if (now.displayAsleep && last_->displayAsleep && *now.displayAsleep != *last_->displayAsleep)
      post_(*now.displayAsleep ? WorkspaceEvent::screensDidSleep : WorkspaceEvent::screensDidWake);
  }
  last_ = now;
}

void X11ScreenState::watch() {
  poll();  // the starting point
  if (thread_.joinable() || !connection_ || !connection_->display) return;
  const bool saver = watchSaver_ && connection_->hasSaver;
  if (!saver && !connection_->hasDpms) return;
  if (::pipe2(wake_, O_CLOEXEC) != 0) return;
  Display* d = connection_->display;
  // Also when the saver is someone else's to report: its coming on is a
  // moment to read the monitors' power again.
  if (connection_->hasSaver) XScreenSaverSelectInput(d, DefaultRootWindow(d), ScreenSaverNotifyMask);
  XFlush(d);
  thread_ = std::thread([this] { run(); });
}

std::optional<double> X11ScreenState::secondsUntilDisplayMayChange(bool asleep, const unsigned (&timeouts)[3],
                                                                   double idleSeconds) {
  if (asleep) return 1.0;
  std::optional<double> shortest, nextReachable;
  for (unsigned t : timeouts) {
    if (t == 0) continue;
    if (!shortest || t < *shortest) shortest = t;
    if (t > idleSeconds && (!nextReachable || t < *nextReachable)) nextReachable = t;
  }
  if (!shortest) return std::nullopt;
  if (nextReachable) return std::max(1.0, *nextReachable - idleSeconds);
  // Idle past every time-out with the monitors still on (power management
  // off, or held off by a player): nothing changes until the user is back,
  // which is not announced, so look again after the shortest time-out.
  return *shortest;
}

std::optional<double> X11ScreenState::nextDisplayReading() {
  Connection& c = *connection_;
  if (!c.hasDpms) return std::nullopt;
  // Without the saver extension there is no idle time to go by.
  if (!c.hasSaver) return 1.0;
  CARD16 standby = 0, suspend = 0, off = 0;
  DPMSGetTimeouts(c.display, &standby, &suspend, &off);
  double idle = 0;
  if (XScreenSaverInfo* info = XScreenSaverAllocInfo()) {
    if (XScreenSaverQueryInfo(c.display, DefaultRootWindow(c.display), info)) idle = info->idle / 1000.0;
    XFree(info);
  }
  const unsigned timeouts[3] = {standby, suspend, off};
  return secondsUntilDisplayMayChange(last_ && last_->displayAsleep.value_or(false), timeouts, idle);
}

void X11ScreenState::run() {
  Display* d = connection_->display;
  const int saverNotify = connection_->saverEventBase + ScreenSaverNotify;
  for (;;) {
    const std::optional<double> wait = nextDisplayReading();
    bool saverChanged = false;
    while (XPending(d) > 0) {
      XEvent event;
      XNextEvent(d, &event);
      if (connection_->hasSaver && event.type == saverNotify) saverChanged = true;
    }
    if (saverChanged) {
      poll();
      continue;
    }
    pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {wake_[0], POLLIN, 0}};
    const int timeoutMs = wait ? static_cast<int>(std::ceil(*wait * 1000.0)) : -1;
    const int ready = ::poll(fds, 2, timeoutMs);
    if (ready < 0 && errno != EINTR) return;
    if (fds[1].revents) return;
    if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return;
    if (ready == 0) poll();  // the monitors' time has come; events are read above
  }
}

}  // namespace tessa
