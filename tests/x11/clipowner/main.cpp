// tessavinor-clipowner: another X client that copies, for the clipboard
// tests. `tessavinor-clipowner clipboard|primary TEXT [TYPE=VALUE ...]` takes
// the selection with TEXT (as UTF8_STRING, STRING and text/plain) and each
// extra type with its value, prints READY once it owns it, answers requests
// until standard input closes, and prints LOST when another client takes it.
// Plain Xlib: nothing of Qt's on this side.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: tessavinor-clipowner clipboard|primary TEXT [TYPE=VALUE ...]\n");
    return 2;
  }
  Display* d = XOpenDisplay(nullptr);
  if (!d) return 1;
  const std::string which = argv[1];
  const std::string text = argv[2];
  Atom selection = which == "primary" ? XA_PRIMARY : XInternAtom(d, "CLIPBOARD", False);
  Atom targets = XInternAtom(d, "TARGETS", False);
  Atom timestampAtom = XInternAtom(d, "TIMESTAMP", False);
  std::vector<std::pair<Atom, std::string>> offers = {{XInternAtom(d, "UTF8_STRING", False), text},
                                                       {XA_STRING, text},
                                                       {XInternAtom(d, "text/plain;charset=utf-8", False), text},
                                                       {XInternAtom(d, "text/plain", False), text}};
  for (int i = 3; i < argc; ++i) {
    std::string extra = argv[i];
    auto eq = extra.find('=');
    offers.emplace_back(XInternAtom(d, extra.substr(0, eq).c_str(), False),
                        eq == std::string::npos ? std::string() : extra.substr(eq + 1));
  }

  Window window = XCreateSimpleWindow(d, DefaultRootWindow(d), 0, 0, 1, 1, 0, 0, 0);
  // A real timestamp for the ownership, from a property change of our own.
  XSelectInput(d, window, PropertyChangeMask);
  Atom stamp = XInternAtom(d, "TESSAVINOR_CLIPOWNER_STAMP", False);
  XChangeProperty(d, window, stamp, XA_STRING, 8, PropModeReplace, nullptr, 0);
  XEvent event;
  do XNextEvent(d, &event);
  while (event.type != PropertyNotify);
  Time acquired = event.xproperty.time;
  XSetSelectionOwner(d, selection, window, acquired);
  if (XGetSelectionOwner(d, selection) != window) return 1;
  std::printf("READY\n");
  std::fflush(stdout);

  pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
  for (;;) {
    while (XPending(d)) {
      XNextEvent(d, &event);
      if (event.type == SelectionClear) {
        std::printf("LOST\n");
        std::fflush(stdout);
        continue;
      }
      if (event.type != SelectionRequest) continue;
      const XSelectionRequestEvent& request = event.xselectionrequest;
      XSelectionEvent reply{};
      reply.type = SelectionNotify;
      reply.requestor = request.requestor;
      reply.selection = request.selection;
      reply.target = request.target;
      reply.time = request.time;
      reply.property = request.property != None ? request.property : request.target;
      if (request.target == targets) {
        std::vector<Atom> list = {targets, timestampAtom};
        for (const auto& offer : offers) list.push_back(offer.first);
        XChangeProperty(d, request.requestor, reply.property, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(list.data()), static_cast<int>(list.size()));
      } else if (request.target == timestampAtom) {
        long value = static_cast<long>(acquired);
        XChangeProperty(d, request.requestor, reply.property, XA_INTEGER, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&value), 1);
      } else {
        reply.property = None;
        for (const auto& [type, value] : offers)
          if (type == request.target) {
            reply.property = request.property != None ? request.property : request.target;
            XChangeProperty(d, request.requestor, reply.property, type, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(value.data()), static_cast<int>(value.size()));
            break;
          }
      }
      XSendEvent(d, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
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
