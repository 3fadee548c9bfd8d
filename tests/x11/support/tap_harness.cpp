#include "x11/support/tap_harness.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <X11/Xlib-xcb.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "platform/linux/xkb_layout.h"

extern char** environ;

namespace tessa::test {

namespace {
double now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "x11 test session: %s\n", why.c_str());
  std::abort();
}

}  // namespace

XvfbServer& XvfbServer::shared() {
  static XvfbServer server;
  return server;
}

XvfbServer::XvfbServer() {
  // The same private server every X test uses: Xvfb on a display of its own
  // (-displayfd, -noreset), here with the us and th layouts.
  std::string why;
  session_ = xsession::XSession::start(&why);
  if (!session_) fail("Xvfb: " + why);
  if (!session_->setLayouts({"us", "th"})) fail("setxkbmap failed");
  display_ = session_->displayName();
}

XvfbServer::~XvfbServer() = default;

void XvfbServer::resetKeyboardState() { session_->resetKeyboardState(); }

// ------------------------------------------------------------ runner

TaskHandle PumpedRunner::postDelayed(double, Task task) {
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  std::lock_guard lock(mutex_);
  tasks_.emplace_back(std::move(task), cancelled);
  return TaskHandle(cancelled);
}

void PumpedRunner::runPending() {
  for (;;) {
    std::vector<std::pair<Task, std::shared_ptr<std::atomic<bool>>>> batch;
    {
      std::lock_guard lock(mutex_);
      batch.swap(tasks_);
    }
    if (batch.empty()) return;
    for (auto& [task, cancelled] : batch)
      if (!cancelled->load()) task();
  }
}

// ------------------------------------------------------------ window

struct KeyLogWindow::Xkb {
  xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
  xkb_keymap* keymap = nullptr;
  xkb_state* state = nullptr;
  int eventBase = 0;
  ~Xkb() {
    if (state) xkb_state_unref(state);
    if (keymap) xkb_keymap_unref(keymap);
    xkb_context_unref(context);
  }
};

KeyLogWindow::KeyLogWindow(const std::string& display, unsigned long parent) : xkb_(std::make_unique<Xkb>()) {
  d_ = XOpenDisplay(display.c_str());
  if (!d_) fail("window: cannot open " + display);
  int opcode = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
  if (!XkbQueryExtension(d_, &opcode, &xkb_->eventBase, &error, &major, &minor)) fail("window: no XKB");
  // The keymap changes reach the window as events, in order with its keys.
  XkbSelectEvents(d_, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                  XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
  xkb_x11_setup_xkb_extension(XGetXCBConnection(d_), XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                              XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr);
  loadKeymap();
  Window root = parent ? parent : DefaultRootWindow(d_);
  window_ = XCreateSimpleWindow(d_, root, 10, 10, 200, 50, 0, 0, 0);
  XSelectInput(d_, window_, KeyPressMask | StructureNotifyMask);
  // It answers the window manager's ping, as Qt and GTK windows do.
  Atom ping = XInternAtom(d_, "_NET_WM_PING", False);
  XSetWMProtocols(d_, window_, &ping, 1);
  XMapWindow(d_, window_);
  for (;;) {
    XEvent e;
    XNextEvent(d_, &e);
    if (e.type == MapNotify) break;
  }
  XSetInputFocus(d_, window_, RevertToParent, CurrentTime);
  XSync(d_, False);
}

KeyLogWindow::~KeyLogWindow() {
  if (d_) XCloseDisplay(d_);
}

// The keymap as the server has it now, as a toolkit fetches it when told of
// a change.
void KeyLogWindow::loadKeymap() {
  xcb_connection_t* c = XGetXCBConnection(d_);
  xkb_keymap* keymap = xkb_x11_keymap_new_from_device(xkb_->context, c, xkb_x11_get_core_keyboard_device_id(c),
                                                      XKB_KEYMAP_COMPILE_NO_FLAGS);
  if (!keymap) fail("window: cannot read the keymap");
  if (xkb_->state) xkb_state_unref(xkb_->state);
  if (xkb_->keymap) xkb_keymap_unref(xkb_->keymap);
  xkb_->keymap = keymap;
  xkb_->state = xkb_state_new(keymap);
}

void KeyLogWindow::pump() {
  while (XPending(d_) > 0) {
    XEvent e;
    XNextEvent(d_, &e);
    if (e.type == xkb_->eventBase) {
      loadKeymap();
      continue;
    }
    if (e.type == ClientMessage && static_cast<Atom>(e.xclient.data.l[0]) == XInternAtom(d_, "_NET_WM_PING", False)) {
      e.xclient.window = DefaultRootWindow(d_);
      XSendEvent(d_, e.xclient.window, False, SubstructureNotifyMask | SubstructureRedirectMask, &e);
      XFlush(d_);
      continue;
    }
    if (e.type != KeyPress) continue;
    const unsigned state = e.xkey.state;
    xkb_state_update_mask(xkb_->state, state & 0xff, 0, 0, 0, 0, (state >> 13) & 3);
    char buf[16] = {};
    int n = xkb_state_key_get_utf8(xkb_->state, e.xkey.keycode, buf, sizeof buf);
    if (n > 0 && static_cast<unsigned char>(buf[0]) >= 0x20 && buf[0] != 0x7f) text_ += buf;
    if (secondsPerKey_ > 0) {
      const double until = now() + secondsPerKey_;
      while (now() < until) {
      }
      return;
    }
  }
}

// -------------------------------------------------------------- user

XTestUser::XTestUser(const std::string& display) {
  d_ = XOpenDisplay(display.c_str());
  if (!d_) fail("user: cannot open " + display);
}

XTestUser::~XTestUser() {
  if (d_) XCloseDisplay(d_);
}

void XTestUser::down(uint16_t keyCode) {
  auto evdev = XkbKeyLayout::evdevCodeForKeyCode(keyCode);
  if (!evdev) fail("no X key for " + std::to_string(keyCode));
  XTestFakeKeyEvent(d_, *evdev + 8, True, CurrentTime);
  XFlush(d_);
}

void XTestUser::up(uint16_t keyCode) {
  auto evdev = XkbKeyLayout::evdevCodeForKeyCode(keyCode);
  if (!evdev) fail("no X key for " + std::to_string(keyCode));
  XTestFakeKeyEvent(d_, *evdev + 8, False, CurrentTime);
  XFlush(d_);
}

bool waitFor(const std::function<bool()>& done, double seconds, PumpedRunner* runner, KeyLogWindow* window) {
  const double deadline = now() + seconds;
  for (;;) {
    if (runner) runner->runPending();
    if (window) window->pump();
    if (done()) return true;
    if (now() > deadline) return false;
    poll(nullptr, 0, 1);  // yield between looks; the deadline bounds the wait
  }
}

}  // namespace tessa::test
