#pragma once
// A drawing surface and a shell that record what the tray item asks of them.
#include <string>
#include <vector>

#include "app_core/status_item_controller.h"
#include "app_core/status_menu_model.h"

namespace tessa::test {

class RecordingStatusView final : public StatusItemView {
 public:
  bool hasButton() const override { return button; }
  void setIcon(const StatusIconSpec& icon) override { icons.push_back(icon); }
  void setToolTip(const std::string& text) override { toolTips.push_back(text); }

  bool button = true;
  std::vector<StatusIconSpec> icons;
  std::vector<std::string> toolTips;
};

class RecordingShell final : public StatusMenuActions {
 public:
  void openDashboard() override { calls.push_back("openDashboard"); }
  void replayOnboarding() override { calls.push_back("replayOnboarding"); }
  void checkForUpdates() override { calls.push_back("checkForUpdates"); }
  void quitApp() override { calls.push_back("quitApp"); }
  void toggleCopyCache() override { calls.push_back("toggleCopyCache"); }
  void clearCopyCache() override { calls.push_back("clearCopyCache"); }
  void openQuickPaste() override { calls.push_back("openQuickPaste"); }

  std::vector<std::string> calls;
};

}  // namespace tessa::test
