#pragma once
// The displays, in window-system coordinates: origin at the bottom-left
// corner of the primary screen, y growing upwards.
#include <optional>
#include <vector>

#include "platform/accessibility.h"

namespace tessa {

struct ScreenInfo {
  Rect frame;         // the whole display
  Rect visibleFrame;  // without the menu bar and the dock
  bool operator==(const ScreenInfo&) const = default;
};

class Screens {
 public:
  virtual ~Screens() = default;
  // Every display in the platform's order; the first is the primary screen
  // (the one with the menu bar, whose frame starts at the origin).
  virtual std::vector<ScreenInfo> all() const = 0;
  // The screen with the keyboard focus; none when there is no display.
  virtual std::optional<ScreenInfo> main() const = 0;
};

// A fixed arrangement of displays, for headless runs and tests.
class FixedScreens final : public Screens {
 public:
  FixedScreens() = default;
  explicit FixedScreens(std::vector<ScreenInfo> screens) : screens_(std::move(screens)) {}
  std::vector<ScreenInfo> all() const override { return screens_; }
  std::optional<ScreenInfo> main() const override {
    if (mainIndex_ < screens_.size()) return screens_[mainIndex_];
    return std::nullopt;
  }
  void setScreens(std::vector<ScreenInfo> screens) { screens_ = std::move(screens); }
  void setMainIndex(size_t index) { mainIndex_ = index; }

 private:
  std::vector<ScreenInfo> screens_;
  size_t mainIndex_ = 0;
};

}  // namespace tessa
