#pragma once
// The quick-paste panel's window as its controller sees it.
#include <optional>
#include <utility>

namespace tessa {

// The window that shows the panel.
class QuickPastePanelView {
 public:
  virtual ~QuickPastePanelView() = default;
  // Places the panel's lower-left corner at (x, y) in window-system
  // coordinates (y upwards), raises it and gives it the keyboard focus.
  virtual void showAt(double x, double y) = 0;
  virtual void orderOut() = 0;
  virtual bool isVisible() const = 0;
  // The pointer in window-system coordinates, when the toolkit knows it
  // better than the event system.
  virtual std::optional<std::pair<double, double>> pointerLocation() const { return std::nullopt; }
  // The manager's list state or the hover changed: draw again.
  virtual void refresh() {}
};

}  // namespace tessa
