#pragma once
// Named notifications between components, delivered synchronously on the
// posting thread to the observers registered for the name.
#include <any>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/observable.h"

namespace tessa {

struct Notification {
  std::string name;
  std::any object;
  nlohmann::json userInfo;
};

class NotificationCenter {
 public:
  using Callback = std::function<void(const Notification&)>;
  Subscription addObserver(const std::string& name, Callback cb) {
    auto holder = std::make_shared<Callback>(std::move(cb));
    std::lock_guard lock(mutex_);
    observers_[name].push_back(holder);
    return Subscription(holder);
  }
  void post(const std::string& name, std::any object = {}, nlohmann::json userInfo = nlohmann::json::object()) {
    Notification n{name, std::move(object), std::move(userInfo)};
    std::vector<std::shared_ptr<Callback>> live;
    {
      std::lock_guard lock(mutex_);
      auto it = observers_.find(name);
      if (it != observers_.end()) {
        std::erase_if(it->second, [](const auto& w) { return w.expired(); });
        for (auto& w : it->second)
          if (auto s = w.lock()) live.push_back(std::move(s));
      }
      posted_.push_back(name);
      if (posted_.size() > 1000) posted_.erase(posted_.begin(), posted_.begin() + 500);
    }
    for (auto& s : live) (*s)(n);
  }
  // The names posted so far (bounded); for transcripts and tests.
  std::vector<std::string> postedNames() const {
    std::lock_guard lock(mutex_);
    return posted_;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::vector<std::weak_ptr<Callback>>> observers_;
  std::vector<std::string> posted_;
};

}  // namespace tessa
