#pragma once
// The window system as the application delegate sees it, on Qt: the tray
// status item, the dashboard window, and the end of the event loop.
#include <functional>
#include <memory>

#include "app_core/app_delegate.h"

namespace tessa {

class QtShell final : public ShellHost {
 public:
  using StatusViewFactory = std::function<StatusItemView*()>;
  using ControllerSink = std::function<void(StatusItemController&)>;
  using DashboardFactory = std::function<std::unique_ptr<DashboardWindow>(
      const std::string& title, double width, double height, std::function<void()> onClose)>;

  using QuickPasteFactory = std::function<std::unique_ptr<QuickPastePanelView>(QuickPastePanelController&)>;

  QtShell(StatusViewFactory statusView, ControllerSink controllerSink, DashboardFactory dashboard);
  void setQuickPasteFactory(QuickPasteFactory factory) { quickPaste_ = std::move(factory); }

  StatusItemView* makeStatusItemView() override { return statusView_ ? statusView_() : nullptr; }
  void statusItemCreated(StatusItemController& controller) override {
    if (controllerSink_) controllerSink_(controller);
  }
  // A tray icon cannot be highlighted here: the wake flash shows nothing.
  void setStatusButtonHighlighted(bool) override {}
  void activateApplication() override {}
  std::unique_ptr<DashboardWindow> makeDashboardWindow(const std::string& title, double width, double height,
                                                       std::function<void()> onClose) override {
    return dashboard_ ? dashboard_(title, width, height, std::move(onClose)) : nullptr;
  }
  std::unique_ptr<QuickPastePanelView> makeQuickPastePanel(QuickPastePanelController& controller) override {
    return quickPaste_ ? quickPaste_(controller) : nullptr;
  }
  // Leaves the event loop on its next turn; the delegate's shut-down runs
  // as the loop ends.
  void terminate() override;

 private:
  StatusViewFactory statusView_;
  DashboardFactory dashboard_;
  ControllerSink controllerSink_;
  QuickPasteFactory quickPaste_;
};

}  // namespace tessa
