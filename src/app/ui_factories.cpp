#include "app/ui_factories.h"

#include <QGuiApplication>

#include "engine/keyboard_engine.h"
#include "hud/unified_menu_panel.h"
#include "l10n/localization.h"
#include "ui/dashboard/dashboard_window.h"
#include "ui/hud/hud_window.h"
#include "ui/quick_paste/quick_paste_panel.h"
#include "ui/status/tray_status_view.h"

namespace tessa {

struct UiFactories::Windows {
  std::unique_ptr<TrayStatusView> tray;
  std::unique_ptr<HudWindow> hud;
};

UiFactories::UiFactories(NotificationCenter& notifications)
    : notifications_(notifications), windows_(std::make_unique<Windows>()) {}

UiFactories::~UiFactories() {
  windows_->hud.reset();
  windows_->tray.reset();
}

StatusItemView* UiFactories::makeStatusItemView() {
  if (!windows_->tray) windows_->tray = std::make_unique<TrayStatusView>();
  return windows_->tray.get();
}

void UiFactories::setStatusController(StatusItemController& controller) {
  if (windows_->tray) windows_->tray->setController(&controller);
}

std::unique_ptr<DashboardWindow> UiFactories::makeDashboardWindow(const std::string& title, double width,
                                                                 double height, std::function<void()> onClose) {
  auto engine = KeyboardEngine::shared();
  if (!engine) return nullptr;
  return std::make_unique<QtDashboardWindow>(engine, notifications_, title, width, height, std::move(onClose));
}

std::unique_ptr<QuickPastePanelView> UiFactories::makeQuickPastePanel(QuickPastePanelController& controller) {
  return std::make_unique<QuickPastePanelWindow>(controller);
}

void UiFactories::attachHud(const std::shared_ptr<UnifiedMenuPanel>& panel, KeyboardEngine& engine) {
  std::weak_ptr<KeyboardEngine> weak = engine.weak();
  HudWindow::Options options;
  options.log = &engine.appLog();
  windows_->hud = std::make_unique<HudWindow>(
      panel,
      [weak](const std::string& key) {
        auto e = weak.lock();
        return e ? e->localized(key) : LocalizedTable::shared().localized(key, "th", false);
      },
      options);
  TrayStatusView* tray = windows_->tray.get();
  windows_->hud->bindStatusButton([tray]() -> QRect { return tray ? tray->trayIcon().geometry() : QRect(); });
}

}  // namespace tessa
