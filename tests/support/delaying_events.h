#pragma once
#include <algorithm>
#include <vector>

#include "platform/events.h"

namespace tessa::test {

// An event system that hands every call on to another; a test overrides
// what it changes.
class ForwardingEvents : public EventSystem {
 public:
  explicit ForwardingEvents(EventSystem& inner) : inner_(inner) {}
  TapId createTap(TapLocation l, bool h, TapOptions o, uint64_t m, TapCallback cb) override {
    return inner_.createTap(l, h, o, m, std::move(cb));
  }
  void enableTap(TapId t, bool e) override { inner_.enableTap(t, e); }
  bool isTapEnabled(TapId t) const override { return inner_.isTapEnabled(t); }
  void addTapToRunLoop(TapId t) override { inner_.addTapToRunLoop(t); }
  void removeTapFromRunLoop(TapId t) override { inner_.removeTapFromRunLoop(t); }
  void invalidateTap(TapId t) override { inner_.invalidateTap(t); }
  bool isTapValid(TapId t) const override { return inner_.isTapValid(t); }
  void post(TapLocation l, const Event& e) override { inner_.post(l, e); }
  bool canPostEvents() const override { return inner_.canPostEvents(); }
  uint64_t hardwareModifierFlags() const override { return inner_.hardwareModifierFlags(); }
  std::pair<double, double> mouseLocation() const override { return inner_.mouseLocation(); }
  bool ownKeysInFlight() const override { return inner_.ownKeysInFlight(); }
  void whenOwnKeysThrough(std::function<void()> then) override { inner_.whenOwnKeysThrough(std::move(then)); }
  void setDecidedKeys(std::vector<DecidedKey> keys) override { inner_.setDecidedKeys(std::move(keys)); }
  void setKeyboardHeld(bool held) override { inner_.setKeyboardHeld(held); }

 protected:
  EventSystem& inner_;
};

// A window system that keeps posted key events back until the test lets
// them go, as an X server queues them behind a press the grab holds: a key
// the user presses meanwhile reaches the tap ahead of them. The next-source
// hot key goes at once.
class DelayingEvents final : public ForwardingEvents {
 public:
  using ForwardingEvents::ForwardingEvents;
  void post(TapLocation l, const Event& e) override {
    if (!holding || e.keyCode == keycode::f19)
      inner_.post(l, e);
    else
      held_.push_back(e);
  }
  size_t heldCount() const { return held_.size(); }
  void letGo() {
    holding = false;
    for (const auto& e : held_) inner_.post(TapLocation::hid, e);
    held_.clear();
  }
  // The first `count` held events reach the application; the rest stay.
  void letGoFirst(size_t count) {
    count = std::min(count, held_.size());
    for (size_t i = 0; i < count; ++i) inner_.post(TapLocation::hid, held_[i]);
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(count));
  }
  bool holding = true;

 private:
  std::vector<Event> held_;
};

}  // namespace tessa::test
