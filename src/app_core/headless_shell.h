#pragma once
// The window system of a run without one (`tessavinorctl simulate`): the
// status item exists and records what it was asked to draw, the dashboard
// window is a record of its opening, and terminating ends nothing by itself.
#include <string>
#include <vector>

#include "app_core/app_delegate.h"

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

  StatusItemView* makeStatusItemView() override { return &statusView_; }
  std::unique_ptr<DashboardWindow> makeDashboardWindow(const std::string& title, double width, double height,
                                                       std::function<void()> onClose) override;
  void terminate() override { terminateRequested_ = true; }

  const StatusView& statusView() const { return statusView_; }
  int dashboardWindowsMade() const { return dashboardWindowsMade_; }
  bool terminateRequested() const { return terminateRequested_; }

 private:
  StatusView statusView_;
  int dashboardWindowsMade_ = 0;
  bool terminateRequested_ = false;
};

}  // namespace tessa
