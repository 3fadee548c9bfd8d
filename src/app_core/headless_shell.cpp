#include "app_core/headless_shell.h"

namespace tessa {
namespace {

class HeadlessWindow final : public DashboardWindow {
 public:
  void makeKeyAndOrderFront() override {}
  void orderFrontRegardless() override {}
  bool isVisible() const override { return true; }
};

}  // namespace

std::unique_ptr<DashboardWindow> HeadlessShell::makeDashboardWindow(const std::string&, double, double,
                                                                    std::function<void()>) {
  ++dashboardWindowsMade_;
  return std::make_unique<HeadlessWindow>();
}

}  // namespace tessa
