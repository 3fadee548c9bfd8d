#pragma once
// What every part of the simulated desktop shares: the manual clock, the main
// queue, and a life token so that work still queued when the desktop is gone
// does nothing.
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "base/clock.h"
#include "base/observable.h"
#include "base/task_runner.h"

namespace tessa {

class SimContext {
 public:
  SimContext(ManualClock& clock, ManualTaskRunner& main) : clock_(clock), main_(main) {}
  ManualClock& clock() const { return clock_; }
  ManualTaskRunner& main() const { return main_; }
  double now() const { return clock_.uptime(); }

  // Runs `task` on the main queue after `delay` seconds, unless the desktop
  // has been destroyed by then.
  TaskHandle post(double delay, std::function<void()> task) const {
    std::weak_ptr<int> alive = life_;
    return main_.postDelayed(delay, [alive, task = std::move(task)] {
      if (alive.lock()) task();
    });
  }
  TaskHandle post(std::function<void()> task) const { return post(0.0, std::move(task)); }

 private:
  ManualClock& clock_;
  ManualTaskRunner& main_;
  std::shared_ptr<int> life_ = std::make_shared<int>(0);
};

// Observers held weakly through their Subscription; notify() calls each live
// one on the next main-queue turn, in registration order.
template <class... Args>
class SimObservers {
 public:
  using Callback = std::function<void(Args...)>;
  explicit SimObservers(const SimContext& ctx) : ctx_(ctx) {}

  Subscription add(Callback cb) {
    auto holder = std::make_shared<Callback>(std::move(cb));
    list_.push_back(holder);
    return Subscription(holder);
  }

  void notify(Args... args) {
    std::erase_if(list_, [](const auto& w) { return w.expired(); });
    for (auto& weak : list_) {
      ctx_.post([weak, args...] {
        if (auto cb = weak.lock()) (*cb)(args...);
      });
    }
  }

  size_t count() {
    std::erase_if(list_, [](const auto& w) { return w.expired(); });
    return list_.size();
  }

 private:
  const SimContext& ctx_;
  std::vector<std::weak_ptr<Callback>> list_;
};

}  // namespace tessa
