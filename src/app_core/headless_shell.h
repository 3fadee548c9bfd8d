#pragma once
// The window system of a run without one (`tessavinorctl simulate`): the
// status item exists and records what it was asked to draw, the dashboard
// window is a record of its opening, and terminating ends nothing by itself.
#include <string>
#include <vector>

#include "app_core/app_delegate.h"
#include "app_core/quick_paste/quick_paste_panel_controller.h"

namespace tessa {

class HeadlessShell final : public ShellHost {
 public:
  class StatusView final : public StatusItemView {
   public:
    bool hasButton() const override { return true; }
    void setIcon(const StatusIconSpec& icon) override { lastIcon = icon; }
    void setToolTip(const std::string& text) override { lastToolTip = text; }
    StatusIconSpec lastIcon;
    std::string lastToolTip;
  };

  // The quick-paste panel as a record of where it was shown and whether it is.
  class QuickPasteView final : public QuickPastePanelView {
   public:
    void showAt(double x, double y) override {
      visible = true;
      origin = {x, y};
      ++shows;
    }
    void orderOut() override { visible = false; }
    bool isVisible() const override { return visible; }
    bool visible = false;
    std::pair<double, double> origin{0, 0};
    int shows = 0;
  };

  StatusItemView* makeStatusItemView() override { return &statusView_; }
  std::unique_ptr<QuickPastePanelView> makeQuickPastePanel(QuickPastePanelController&) override {
    auto view = std::make_unique<QuickPasteView>();
    quickPasteView_ = view.get();
    return view;
  }
  // Null before the panel was first opened.
  const QuickPasteView* quickPasteView() const { return quickPasteView_; }
  std::unique_ptr<DashboardWindow> makeDashboardWindow(const std::string& title, double width, double height,
                                                       std::function<void()> onClose) override;
  void terminate() override { terminateRequested_ = true; }

  const StatusView& statusView() const { return statusView_; }
  int dashboardWindowsMade() const { return dashboardWindowsMade_; }
  bool terminateRequested() const { return terminateRequested_; }

 private:
  StatusView statusView_;
  QuickPasteView* quickPasteView_ = nullptr;  // owned by the delegate
  int dashboardWindowsMade_ = 0;
  bool terminateRequested_ = false;
};

}  // namespace tessa
