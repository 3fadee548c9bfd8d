// tessavinor-fakewm: the least window manager that follows the desktop
// conventions, for the X11 tests. It maps and configures what clients ask,
// keeps _NET_CLIENT_LIST, and answers _NET_ACTIVE_WINDOW requests by giving
// the window the focus and naming it on the root. Prints READY once it manages
// the screen, and for each activation request "ACTIVATE 0x<window> <source>"
// (source 1: an application, 2: a pager or similar tool). Ends when standard
// input closes.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
bool gRefused = false;
int ignoreErrors(Display*, XErrorEvent* e) {
  // Windows come and go between a request and our answer; only the refusal
  // of the redirect at start matters.
  if (e->error_code == BadAccess) gRefused = true;
  return 0;
}
}  // namespace

int main() {
  Display* d = XOpenDisplay(nullptr);
  if (!d) return 1;
  XSetErrorHandler(ignoreErrors);
  Window root = DefaultRootWindow(d);
  XSelectInput(d, root, SubstructureRedirectMask | SubstructureNotifyMask);
  XSync(d, False);
  if (gRefused) return 1;  // another window manager runs

  Atom activeAtom = XInternAtom(d, "_NET_ACTIVE_WINDOW", False);
  Atom clientListAtom = XInternAtom(d, "_NET_CLIENT_LIST", False);
  Atom checkAtom = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
  Atom supportedAtom = XInternAtom(d, "_NET_SUPPORTED", False);
  Window check = XCreateSimpleWindow(d, root, -10, -10, 1, 1, 0, 0, 0);
  XChangeProperty(d, root, checkAtom, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&check), 1);
  XChangeProperty(d, check, checkAtom, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&check), 1);
  Atom supported[] = {activeAtom, clientListAtom, checkAtom};
  XChangeProperty(d, root, supportedAtom, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(supported),
                  3);
  std::vector<Window> clients;
  auto publishClients = [&] {
    XChangeProperty(d, root, clientListAtom, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(clients.data()), static_cast<int>(clients.size()));
  };
  auto setActive = [&](Window w) {
    XChangeProperty(d, root, activeAtom, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&w), 1);
  };
  publishClients();
  setActive(None);
  XSync(d, False);
  std::printf("READY\n");
  std::fflush(stdout);

  pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
  for (;;) {
    while (XPending(d)) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == MapRequest) {
        Window w = e.xmaprequest.window;
        XMapWindow(d, w);
        if (std::find(clients.begin(), clients.end(), w) == clients.end()) clients.push_back(w);
        publishClients();
      } else if (e.type == ConfigureRequest) {
        const XConfigureRequestEvent& r = e.xconfigurerequest;
        XWindowChanges changes{r.x, r.y, r.width, r.height, r.border_width, r.above, r.detail};
        XConfigureWindow(d, r.window, static_cast<unsigned>(r.value_mask), &changes);
      } else if (e.type == UnmapNotify || e.type == DestroyNotify) {
        Window w = e.type == UnmapNotify ? e.xunmap.window : e.xdestroywindow.window;
        clients.erase(std::remove(clients.begin(), clients.end(), w), clients.end());
        publishClients();
      } else if (e.type == ClientMessage && e.xclient.message_type == activeAtom) {
        Window w = e.xclient.window;
        std::printf("ACTIVATE 0x%lx %ld\n", w, e.xclient.data.l[0]);
        std::fflush(stdout);
        XRaiseWindow(d, w);
        XSetInputFocus(d, w, RevertToParent, CurrentTime);
        setActive(w);
        // Bottom to top, as the conventions have it.
        clients.erase(std::remove(clients.begin(), clients.end(), w), clients.end());
        clients.push_back(w);
        publishClients();
      }
      XFlush(d);
    }
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents & (POLLIN | POLLHUP)) {
      char buf[64];
      if (::read(STDIN_FILENO, buf, sizeof buf) <= 0) break;
    }
  }
  XCloseDisplay(d);
  return 0;
}
