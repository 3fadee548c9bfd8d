#include "platform/x11/x11_server_loss.h"

#include <X11/Xlib.h>
#include <unistd.h>

namespace tessa {

namespace {

std::function<void()>& lostHandler() {
  // Never destroyed: a connection can break while the process is ending.
  static auto* handler = new std::function<void()>();
  return *handler;
}

int onIOError(Display*) {
  if (auto& lost = lostHandler()) lost();
  // Returning would let Xlib call exit().
  _exit(1);
}

}  // namespace

void onX11ServerLoss(std::function<void()> lost) {
  lostHandler() = std::move(lost);
  XSetIOErrorHandler(onIOError);
}

}  // namespace tessa
