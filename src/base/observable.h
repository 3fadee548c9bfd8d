#pragma once
// Observable state: an ObservableObject announces every write of one of its
// Published cells before the value is stored, whether or not it changes.
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace tessa {

// Dropping the subscription stops the callbacks.
class Subscription {
 public:
  Subscription() = default;
  explicit Subscription(std::shared_ptr<void> token) : token_(std::move(token)) {}
  void reset() { token_.reset(); }
  // Whether it holds a subscription (a service that cannot notify hands out
  // an empty one).
  explicit operator bool() const { return token_ != nullptr; }

 private:
  std::shared_ptr<void> token_;
};

class ObservableObject {
 public:
  using Callback = std::function<void()>;
  Subscription subscribeWillChange(Callback cb) {
    auto holder = std::make_shared<Callback>(std::move(cb));
    std::lock_guard lock(mutex_);
    observers_.push_back(holder);
    return Subscription(holder);
  }
  void sendWillChange() {
    std::vector<std::shared_ptr<Callback>> live;
    {
      std::lock_guard lock(mutex_);
      std::erase_if(observers_, [](const auto& w) { return w.expired(); });
      for (auto& w : observers_)
        if (auto s = w.lock()) live.push_back(std::move(s));
    }
    for (auto& s : live) (*s)();
  }

 protected:
  ObservableObject() = default;
  ~ObservableObject() = default;

 private:
  std::mutex mutex_;
  std::vector<std::weak_ptr<Callback>> observers_;
};

// One published property: write = will-change, store, then the change action
// (run on the writing thread with the new value already readable).
template <class T>
class Published {
 public:
  using Action = std::function<void(const T&)>;
  Published(ObservableObject& owner, T initial, Action action = {})
      : owner_(owner), value_(std::move(initial)), action_(std::move(action)) {}
  Published(const Published&) = delete;
  Published& operator=(const Published&) = delete;

  const T& get() const { return value_; }
  const T& operator()() const { return value_; }
  void set(T value) {
    owner_.sendWillChange();
    value_ = std::move(value);
    if (action_) action_(value_);
  }
  // Modifies in place as one write (one will-change, then the action).
  template <class F>
  void modify(F&& f) {
    owner_.sendWillChange();
    f(value_);
    if (action_) action_(value_);
  }
  // Stores without announcing or acting: only for initial loads that the
  // owner's start-up reads directly.
  void setSilently(T value) { value_ = std::move(value); }
  void setAction(Action action) { action_ = std::move(action); }

 private:
  ObservableObject& owner_;
  T value_;
  Action action_;
};

}  // namespace tessa
