#include "ui/dashboard/dashboard_pages.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app_core/dashboard/community_share_state.h"
#include "platform/platform.h"
#include "ui/dashboard/pages/about_page.h"
#include "ui/dashboard/pages/copy_cache_settings_page.h"
#include "ui/dashboard/pages/keyboard_settings_page.h"
#include "ui/dashboard/pages/setup_status_page.h"
#include "ui/dashboard/pages/uptime_dashboard_view.h"
#include "ui/dashboard/widgets/community_stats_widget.h"
#include "ui/sheets/telemetry_inspector_sheet.h"

namespace tessa {

const char* dashboardPageObjectName(DashboardPage page) {
  switch (page) {
    case DashboardPage::setupStatus: return "page.setupStatus";
    case DashboardPage::usage: return "page.usage";
    case DashboardPage::keyboardSettings: return "page.keyboardSettings";
    case DashboardPage::copyCache: return "page.copyCache";
    case DashboardPage::about: return "page.about";
  }
  return "page.setupStatus";
}

QWidget* makeDashboardPage(DashboardPage page, const EngineViews& engine, QWidget* parent,
                           const DashboardServices& services) {
  QWidget* widget = nullptr;
  switch (page) {
    case DashboardPage::usage: {
      auto* usage = new UptimeDashboardView(engine.settings, engine.stats, engine.hud, engine.context, parent);
      // The milestone card's "inspect" opens the payload inspector over the page.
      TelemetryManager* telemetry = services.telemetry;
      QObject::connect(usage, &UptimeDashboardView::payloadInspectorRequested, usage, [usage, engine, telemetry] {
        if (!telemetry) return;
        auto* inspector =
            new TelemetryInspectorSheet(engine.settings, engine.context, engine.reports, usage->window(), *telemetry);
        inspector->setAttribute(Qt::WA_DeleteOnClose);
        inspector->open();
      });
      widget = usage;
      break;
    }
    case DashboardPage::about:
      // The about page shows the community box without public totals.
      widget = new AboutPage(
          AboutModel::create(engine.settings, engine.context, services.updater), parent,
          [engine](QWidget* over) { return new ProblemReportSheet(engine.reports, engine.context, over); },
          [engine](QWidget* boxParent) -> QWidget* {
            auto state = communityShareState(engine.settings.isShareUsageTimeEnabled.get(), std::nullopt,
                                             engine.settings.defaults);
            return new CommunityStatsWidget(engine.settings, engine.hud, state, boxParent);
          });
      break;
    case DashboardPage::setupStatus:
      widget = new SetupStatusPage(engine.settings, engine.accessibility, engine.context, parent);
      break;
    case DashboardPage::copyCache: {
      CopyCacheSettingsEnvironment env;
      env.manager = services.copyCache;
      env.main = &engine.context.main;
      // The panel is the delegate's: the page only asks for it.
      env.openQuickPaste = [open = services.openQuickPaste] {
        if (open) open();
      };
      env.log = engine.context.log;
      env.language = [settings = engine.settings] { return settings.appLanguage.get(); };
      widget = new CopyCacheSettingsPage(std::move(env), parent);
      break;
    }
    case DashboardPage::keyboardSettings: {
      LoginItemAccess login;
      if (LoginItems* items = engine.context.platform.loginItems) {
        login.isEnabled = [items] { return items->status() == LoginItems::Registration::enabled; };
        login.setEnabled = [items](bool enabled) {
          return !(enabled ? items->registerMainApp() : items->unregisterMainApp()).has_value();
        };
      }
      widget =
          new KeyboardSettingsPage(engine.settings, engine.accessibility, engine.context, engine.hud, login, parent);
      break;
    }
  }
  if (!widget) widget = new SetupStatusPage(engine.settings, engine.accessibility, engine.context, parent);
  widget->setObjectName(dashboardPageObjectName(page));
  return widget;
}

}  // namespace tessa
