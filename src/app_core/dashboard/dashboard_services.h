#pragma once
// What the dashboard's pages use of the rest of the process besides the
// engine: the clipboard history, the delegate's quick-paste action and update
// machinery, and the telemetry sender. The application fills it in once, when
// it makes the dashboard window, and the window hands it to every page; a
// page never looks these up on its own. An empty field means the process has
// none (a test, a headless run): the page then offers nothing that needs it.
#include <functional>

#include "app_core/dashboard/about_model.h"

namespace tessa {

class CopyCacheManager;
class TelemetryManager;

struct DashboardServices {
  // The clipboard page's manager.
  CopyCacheManager* copyCache = nullptr;
  // Opens the quick-paste panel; the panel is the delegate's.
  std::function<void()> openQuickPaste;
  // The about page's update button and automatic-update switch.
  AboutModel::UpdaterLookup updater;
  // The sender whose payload the inspector shows.
  TelemetryManager* telemetry = nullptr;
};

}  // namespace tessa
