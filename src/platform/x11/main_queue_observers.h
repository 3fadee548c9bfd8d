#pragma once
// Observers called on the main queue. notify() may be called from any thread;
// each callback runs later on `main` unless its subscription was dropped.
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "base/observable.h"
#include "base/task_runner.h"

namespace tessa {

class MainQueueObservers {
 public:
  using Callback = std::function<void()>;
  explicit MainQueueObservers(TaskRunner& main) : main_(main) {}

  Subscription add(Callback cb) {
    auto holder = std::make_shared<Callback>(std::move(cb));
    std::lock_guard lock(mutex_);
    list_.push_back(holder);
    return Subscription(holder);
  }

  void notify() {
    std::lock_guard lock(mutex_);
    std::erase_if(list_, [](const auto& w) { return w.expired(); });
    for (auto& weak : list_)
      main_.post([weak] {
        if (auto cb = weak.lock()) (*cb)();
      });
  }

 private:
  TaskRunner& main_;
  std::mutex mutex_;
  std::vector<std::weak_ptr<Callback>> list_;
};

}  // namespace tessa
