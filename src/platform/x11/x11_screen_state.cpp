#include "platform/x11/x11_screen_state.h"

#include <X11/Xlib.h>
#include <X11/extensions/dpms.h>
#include <X11/extensions/scrnsaver.h>

namespace tessa {

struct X11ScreenState::Connection {
  Display* display = nullptr;
  bool hasSaver = false;
  bool hasDpms = false;
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
  c.hasDpms = DPMSQueryExtension(c.display, &event, &error) && DPMSCapable(c.display);
  if (watchSaver && !c.hasSaver && state->log_)
    state->log_("Screen lock: the X server has no screen saver extension - the screen saver will not be noticed");
  if (!c.hasDpms && state->log_)
    state->log_("Display sleep: the X server has no DPMS - display power will not be noticed");
  return state;
}

X11ScreenState::~X11ScreenState() { timer_.cancel(); }

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

void X11ScreenState::start(TaskRunner& main, double interval) {
  timer_.cancel();
  poll();
  if (!connection_ || !connection_->display) return;
  if (!(watchSaver_ && connection_->hasSaver) && !connection_->hasDpms) return;
  timer_ = main.postRepeating(interval, [this] { poll(); });
}

}  // namespace tessa
