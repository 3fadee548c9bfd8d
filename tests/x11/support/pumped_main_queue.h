#pragma once
// The application's main queue on the real clock, run only when the test
// pumps it, on the test's own thread. A test that also hosts Qt objects
// gives it the toolkit's own event processing to run on every turn.
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "base/clock.h"
#include "base/task_runner.h"

namespace tessa::x11test {

class PumpedMainQueue final : public TaskRunner {
 public:
  TaskHandle postDelayed(double delaySeconds, Task task) override {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    double due = clock_.uptime() + (delaySeconds > 0 ? delaySeconds : 0.0);
    std::lock_guard lock(mutex_);
    items_.emplace(std::make_pair(due, next_++), Item{std::move(task), cancelled});
    return TaskHandle(cancelled);
  }
  bool runsTasksOnCurrentThread() const override { return std::this_thread::get_id() == owner_; }
  void runSync(Task task) override {
    if (runsTasksOnCurrentThread()) {
      task();
      return;
    }
    detail::postAndWait(*this, std::move(task));
  }

  // Runs on every turn of pumpUntil(), before the due tasks.
  void setEachTurn(std::function<void()> work) { eachTurn_ = std::move(work); }

  // Runs everything due now, including what that work posts for now.
  void pump() {
    for (;;) {
      Item item;
      {
        std::lock_guard lock(mutex_);
        if (items_.empty() || items_.begin()->first.first > clock_.uptime()) return;
        item = std::move(items_.begin()->second);
        items_.erase(items_.begin());
      }
      if (!item.cancelled->load()) item.task();
    }
  }
  // Pumps until `done` holds; false when the deadline passes first.
  bool pumpUntil(const std::function<bool()>& done, double timeoutSeconds = 5.0) {
    double deadline = clock_.uptime() + timeoutSeconds;
    for (;;) {
      if (eachTurn_) eachTurn_();
      pump();
      if (done()) return true;
      if (clock_.uptime() > deadline) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }

 private:
  struct Item {
    Task task;
    std::shared_ptr<std::atomic<bool>> cancelled;
  };
  SystemClock clock_;
  std::thread::id owner_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::map<std::pair<double, uint64_t>, Item> items_;
  uint64_t next_ = 0;
  std::function<void()> eachTurn_;
};

}  // namespace tessa::x11test
