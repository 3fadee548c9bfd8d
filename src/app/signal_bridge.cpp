#include "app/signal_bridge.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>

namespace tessa {
namespace {

int gPipe[2] = {-1, -1};
// Set in the handler itself: a thread that finds the X server gone before
// the event loop has read the pipe still knows the quit was asked for.
std::atomic<bool> gReceived{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void handleSignal(int signal) {
  int saved = errno;
  gReceived.store(true);
  unsigned char byte = static_cast<unsigned char>(signal);
  // Nothing else is safe in a signal handler; a full pipe already carries a
  // pending quit.
  [[maybe_unused]] auto written = ::write(gPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

SignalBridge::SignalBridge(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
  if (::pipe2(gPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  notifier_ = new QSocketNotifier(gPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] {
    unsigned char byte = 0;
    while (::read(gPipe[0], &byte, 1) == 1) {
      if (onSignal_) onSignal_(byte);
    }
  });
  struct sigaction action {};
  action.sa_handler = handleSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

bool SignalBridge::received() {
  if (gReceived.load()) return true;
  // Sent but not yet handled: the thread the kernel hands it to may not have
  // run since (at logout the X server goes away at that same moment).
  sigset_t pending;
  sigemptyset(&pending);
  return ::sigpending(&pending) == 0 && (sigismember(&pending, SIGTERM) == 1 || sigismember(&pending, SIGINT) == 1);
}

SignalBridge::~SignalBridge() {
  ::signal(SIGTERM, SIG_DFL);
  ::signal(SIGINT, SIG_DFL);
}

}  // namespace tessa
