#pragma once
// The AT-SPI thread (see atspi_accessibility.h) and the hop to it.
#include <glib.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/x11/atspi_accessibility.h"
#include "platform/x11/atspi_calls.h"

namespace tessa {

// The thread that owns the library: a GLib main context of its own, which the
// library's connections are attached to (so nothing else dispatches them),
// iterated between jobs so the library's own messages are handled too.
class AtspiAccessibility::Worker {
 public:
  Worker();
  // `last` runs on the thread before it ends.
  void stop(std::function<void()> last);
  ~Worker();
  bool current() const { return std::this_thread::get_id() == id_; }
  GMainContext* context() const { return context_; }

  // The jobs pass through a queue under a mutex of ours: GLib's own
  // hand-over does not show as one to the thread checker, ours does. The
  // idle source only wakes the thread.
  void post(std::function<void()> job);

 private:
  void runJobs();

  std::mutex mutex_;
  std::deque<std::function<void()>> jobs_;
  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  std::thread thread_;
  std::thread::id id_;
  std::atomic<bool> started_{false};
};

template <class R>
std::optional<R> AtspiAccessibility::onWorker(double seconds, std::function<R(double deadline)> f) {
  const double deadline = atspi::monotonicNow() + seconds;
  if (worker_->current()) return f(deadline);
  struct Answer {
    std::mutex mutex;
    std::condition_variable cv;
    std::optional<R> value;
  };
  auto answer = std::make_shared<Answer>();
  worker_->post([answer, deadline, f = std::move(f)] {
    // Its caller has given up: the work would only delay the next one.
    if (atspi::monotonicNow() > deadline) return;
    R r = f(deadline);
    {
      std::lock_guard lock(answer->mutex);
      answer->value = std::move(r);
    }
    answer->cv.notify_all();
  });
  std::unique_lock lock(answer->mutex);
  answer->cv.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return answer->value.has_value(); });
  return std::move(answer->value);
}

// Every public read and edit hops to the worker with its deadline; on the
// worker it runs the body below.
#define TESSA_ON_WORKER(Type, call)                                                                      \
  if (!worker_->current())                                                                               \
    return onWorker<Type>(atspi::kCallDeadline, [=, this](double) { return call; }).value_or(Type{AXError::cannotComplete, {}})

}  // namespace tessa
