#pragma once
// The Qt windows of the application, made when the delegate asks for them:
// the tray status item, the HUD window over the engine's panel, and the
// dashboard window.
#include <functional>
#include <memory>
#include <string>

#include "app_core/app_delegate.h"
#include "ui/qt_screens.h"

namespace tessa {

class HudWindow;
class NotificationCenter;
class UnifiedMenuPanel;
class KeyboardEngine;

class UiFactories {
 public:
  explicit UiFactories(NotificationCenter& notifications);
  ~UiFactories();

  Screens& screens() { return screens_; }
  StatusItemView* makeStatusItemView();
  void setStatusController(StatusItemController& controller);
  std::unique_ptr<DashboardWindow> makeDashboardWindow(const std::string& title, double width, double height,
                                                       std::function<void()> onClose);
  // The quick-paste panel's window over its controller.
  std::unique_ptr<QuickPastePanelView> makeQuickPastePanel(QuickPastePanelController& controller);
  void attachHud(const std::shared_ptr<UnifiedMenuPanel>& panel, KeyboardEngine& engine);

 private:
  struct Windows;
  NotificationCenter& notifications_;
  QtScreens screens_;
  std::unique_ptr<Windows> windows_;
};

}  // namespace tessa
