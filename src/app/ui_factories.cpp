#include "app/ui_factories.h"

#include <QGuiApplication>
#include <QObject>
#include <QTimer>

#include "app_core/app_delegate.h"
#include "app_core/dashboard/dashboard_services.h"
#include "app_core/dashboard/delegate_updater.h"
#include "clipboard/copy_cache_manager.h"
#include "engine/keyboard_engine.h"
#include "hud/unified_menu_panel.h"
#include "l10n/localization.h"
#include "reliability/telemetry_manager.h"
#include "ui/dashboard/dashboard_window.h"
#include "ui/hud/hud_window.h"
#include "ui/quick_paste/quick_paste_panel.h"
#include "ui/status/tray_status_view.h"

namespace tessa {

struct UiFactories::Windows {
  std::unique_ptr<TrayStatusView> tray;
  std::unique_ptr<HudWindow> hud;
  QObject pending;  // work for a later turn ends with the windows
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
  // The process's one of each, handed to the pages here rather than looked
  // up by them.
  DashboardServices services;
  services.copyCache = CopyCacheManager::shared();
  services.telemetry = &TelemetryManager::shared();
  std::weak_ptr<AppDelegate> delegate;
  if (AppDelegate* d = AppDelegate::shared()) delegate = d->weak_from_this();
  services.openQuickPaste = [delegate] {
    if (auto d = delegate.lock()) d->openQuickPaste();
  };
  services.updater = delegateUpdater(delegate);
  return std::make_unique<QtDashboardWindow>(engine->views(), notifications_, title, width, height, std::move(onClose),
                                             std::move(services));
}

std::unique_ptr<QuickPastePanelView> UiFactories::makeQuickPastePanel(QuickPastePanelController& controller) {
  return std::make_unique<QuickPastePanelWindow>(controller);
}

void UiFactories::attachHud(const std::shared_ptr<UnifiedMenuPanel>& panel, KeyboardEngine& engine) {
  // The window is made on the main queue's next turn, once the start is
  // done: nothing shows in it while starting, and making its view would hold
  // back the status item. It mirrors the panel as it stands when made.
  std::weak_ptr<KeyboardEngine> weak = engine.weak();
  std::weak_ptr<UnifiedMenuPanel> weakPanel = panel;
  QTimer::singleShot(0, &windows_->pending, [this, weak, weakPanel] {
    auto panel = weakPanel.lock();
    auto engine = weak.lock();
    if (!panel || !engine) return;
    HudWindow::Options options;
    options.log = &engine->appLog();
    windows_->hud = std::make_unique<HudWindow>(
        panel,
        [weak](const std::string& key) {
          auto e = weak.lock();
          return e ? e->localized(key) : LocalizedTable::shared().localized(key, "th", false);
        },
        options);
    TrayStatusView* tray = windows_->tray.get();
    windows_->hud->bindStatusButton([tray]() -> QRect { return tray ? tray->trayIcon().geometry() : QRect(); });
  });
}

}  // namespace tessa
