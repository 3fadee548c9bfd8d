#include "x11/support/tap_harness.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
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

KeyLogWindow::KeyLogWindow(const std::string& display, unsigned long parent) {
  d_ = XOpenDisplay(display.c_str());
  if (!d_) fail("window: cannot open " + display);
  Window root = parent ? parent : DefaultRootWindow(d_);
  window_ = XCreateSimpleWindow(d_, root, 10, 10, 200, 50, 0, 0, 0);
  XSelectInput(d_, window_, KeyPressMask | StructureNotifyMask);
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

void KeyLogWindow::pump() {
  while (XPending(d_) > 0) {
    XEvent e;
    XNextEvent(d_, &e);
    if (e.type != KeyPress) continue;
    KeySym sym = NoSymbol;
    unsigned int consumed = 0;
    if (!XkbLookupKeySym(d_, static_cast<KeyCode>(e.xkey.keycode), e.xkey.state, &consumed, &sym)) continue;
    char buf[16] = {};
    int n = xkb_keysym_to_utf8(static_cast<xkb_keysym_t>(sym), buf, sizeof buf);
    if (n > 1 && static_cast<unsigned char>(buf[0]) >= 0x20) text_ += buf;
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
