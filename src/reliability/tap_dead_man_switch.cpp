#include "reliability/tap_dead_man_switch.h"

#include <pthread.h>

#include <chrono>

namespace tessa {

TapDeadManSwitch::TapDeadManSwitch(const Clock& clock, Reader reader, OnStuck onStuck, double interval,
                                   double limit)
    : clock_(clock), reader_(std::move(reader)), onStuck_(std::move(onStuck)), interval_(interval), limit_(limit) {}

TapDeadManSwitch::~TapDeadManSwitch() { stop(); }

void TapDeadManSwitch::start() {
  std::lock_guard lock(mutex_);
  if (thread_.joinable()) return;
  stopRequested_ = false;
  thread_ = std::thread([this] { run(); });
}

void TapDeadManSwitch::stop() {
  std::thread finishing;
  {
    std::lock_guard lock(mutex_);
    if (!thread_.joinable()) return;
    stopRequested_ = true;
    finishing = std::move(thread_);
  }
  wake_.notify_all();
  if (finishing.get_id() == std::this_thread::get_id())
    finishing.detach();  // asked from its own report: it ends when the report returns
  else
    finishing.join();
}

bool TapDeadManSwitch::isRunning() const {
  std::lock_guard lock(mutex_);
  return thread_.joinable() && !stopRequested_;
}

bool TapDeadManSwitch::checkOnce() {
  Snapshot s = reader_ ? reader_() : Snapshot{};
  if (s.tap == 0 || !s.inFlightStart) return false;
  double stuck = clock_.uptime() - *s.inFlightStart;
  if (stuck <= limit_) return false;
  {
    std::lock_guard lock(checkMutex_);
    if (reportedStart_ == s.inFlightStart) return false;
    reportedStart_ = s.inFlightStart;
  }
  if (onStuck_) onStuck_(s.tap, stuck);
  return true;
}

void TapDeadManSwitch::run() {
  // The system keeps 15 bytes of a thread's name; kThreadName is the full one.
  pthread_setname_np(pthread_self(), "tapDeadMan");
  auto period = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(interval_));
  std::unique_lock lock(mutex_);
  while (!stopRequested_) {
    wake_.wait_for(lock, period, [this] { return stopRequested_; });
    if (stopRequested_) break;
    lock.unlock();
    checkOnce();
    lock.lock();
  }
}

}  // namespace tessa
