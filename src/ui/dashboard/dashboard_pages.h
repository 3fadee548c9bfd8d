#pragma once
// The pages the dashboard's detail area shows, one per tab. A page is made
// afresh each time its tab is chosen and owned by the detail area; each gets
// only the views of the engine it uses.
#include <QWidget>

#include "app_core/dashboard/dashboard_services.h"
#include "app_core/dashboard_root_model.h"
#include "engine/engine_views.h"

namespace tessa {

// The object name of `page`'s widget: "page.setupStatus", "page.usage", …
const char* dashboardPageObjectName(DashboardPage page);

QWidget* makeDashboardPage(DashboardPage page, const EngineViews& engine, QWidget* parent,
                           const DashboardServices& services = {});

}  // namespace tessa
