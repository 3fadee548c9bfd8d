// tessavinor-clipowner: another X client that copies, for the clipboard
// tests. `tessavinor-clipowner clipboard|primary TEXT [TYPE=VALUE ...]` takes
// the selection with TEXT (as UTF8_STRING, STRING and text/plain) and each
// extra type with its value, prints READY once it owns it, answers requests
// until standard input closes, and prints LOST when another client takes it.
// Plain Xlib: nothing of Qt's on this side.
//
// TESSAVINOR_CLIPOWNER_MODE makes it misbehave as owners in the wild do:
//   silent        never answers a request
//   slow          answers every request, each 0.8 s late
//   targets-only  answers TARGETS and no request for data
//   trickle       sends the data incrementally, a few bytes every half
//                 second, and never ends
//   huge          announces an incremental transfer of 300 MiB and sends a
//                 piece each time the requestor asks for one
//   background    goes to the background once it owns the selection, as
//                 xclip does: the process that connected ends, a child
//                 carries the connection on and reports "READY <its pid>"
// Every request is reported as "REQUEST <target>", and "SENT <bytes>" (the
// pieces' bytes so far) follows each piece of an incremental transfer.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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

  const char* modeVar = std::getenv("TESSAVINOR_CLIPOWNER_MODE");
  const std::string mode = modeVar ? modeVar : "";
  Atom incr = XInternAtom(d, "INCR", False);
  // The incremental transfer under way, if any.
  struct Transfer {
    Window requestor = None;
    Atom property = None;
    Atom type = None;
    bool waitingForDelete = false;
    double nextPieceAt = -1;  // trickle: when the next piece goes
  } transfer;
  unsigned long long sent = 0;
  auto now = [] {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  };
  auto sendPiece = [&](size_t bytes) {
    std::string piece(bytes, 'x');
    XChangeProperty(d, transfer.requestor, transfer.property, transfer.type, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(piece.data()), static_cast<int>(piece.size()));
    XFlush(d);
    sent += bytes;
    std::printf("SENT %llu\n", sent);
    std::fflush(stdout);
  };

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
  if (mode == "background") {
    const pid_t connector = getpid();
    if (fork() != 0) _exit(0);
    while (getppid() == connector) usleep(1000);
    std::printf("READY %d\n", static_cast<int>(getpid()));
  } else {
    std::printf("READY\n");
  }
  std::fflush(stdout);

  // Answers one request, as a well-behaved owner would (or, for "trickle"
  // and "huge", with an incremental transfer).
  auto answer = [&](const XSelectionRequestEvent& request) {
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
    } else if ((mode == "trickle" || mode == "huge") && request.property != None) {
      // An incremental transfer: the announced size first; the pieces
      // follow as the requestor deletes the property.
      long announced = mode == "huge" ? 300L << 20 : 1L << 20;
      transfer = Transfer{request.requestor, request.property, request.target, true, -1};
      XSelectInput(d, request.requestor, PropertyChangeMask);
      XChangeProperty(d, request.requestor, request.property, incr, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(&announced), 1);
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
  };
  // "slow": requests waiting for their answer, with the time each goes.
  std::vector<std::pair<double, XSelectionRequestEvent>> delayed;

  pollfd fds[2] = {{ConnectionNumber(d), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
  for (;;) {
    while (XPending(d)) {
      XNextEvent(d, &event);
      if (event.type == SelectionClear) {
        std::printf("LOST\n");
        std::fflush(stdout);
        continue;
      }
      if (event.type == PropertyNotify && event.xproperty.window == transfer.requestor &&
          event.xproperty.atom == transfer.property && event.xproperty.state == PropertyDelete &&
          transfer.waitingForDelete) {
        // The requestor took the last piece (or the announcement): the next.
        if (mode == "huge") sendPiece(64 * 1024);
        else transfer.nextPieceAt = now() + 0.5;
        transfer.waitingForDelete = mode == "huge";
        continue;
      }
      if (event.type != SelectionRequest) continue;
      const XSelectionRequestEvent& request = event.xselectionrequest;
      char* targetName = XGetAtomName(d, request.target);
      std::printf("REQUEST %s\n", targetName ? targetName : "?");
      std::fflush(stdout);
      if (targetName) XFree(targetName);
      if (mode == "silent") continue;
      if (mode == "targets-only" && request.target != targets) continue;
      if (mode == "slow") {
        delayed.push_back({now() + 0.8, request});
        continue;
      }
      answer(request);
    }
    int timeout = -1;
    if (!delayed.empty()) {
      double left = delayed.front().first - now();
      if (left <= 0) {
        XSelectionRequestEvent request = delayed.front().second;
        delayed.erase(delayed.begin());
        answer(request);
        continue;
      }
      timeout = static_cast<int>(left * 1000) + 1;
    }
    if (transfer.nextPieceAt >= 0) {
      double left = transfer.nextPieceAt - now();
      if (left <= 0) {
        // A trickle: a few bytes, then wait half a second after the next
        // deletion, for ever.
        sendPiece(8);
        transfer.nextPieceAt = -1;
        transfer.waitingForDelete = true;
        continue;
      }
      timeout = static_cast<int>(left * 1000) + 1;
    }
    if (::poll(fds, 2, timeout) < 0) continue;
    if (fds[1].revents & (POLLIN | POLLHUP)) {
      char buf[64];
      if (::read(STDIN_FILENO, buf, sizeof buf) <= 0) break;
    }
  }
  XCloseDisplay(d);
  return 0;
}
