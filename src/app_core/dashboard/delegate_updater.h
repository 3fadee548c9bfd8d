#pragma once
// The application delegate as the about page's updater: the page asks it for
// the automatic-update switch and the update check while the delegate lives,
// and finds none once it is gone.
#include <memory>

#include "app_core/dashboard/about_model.h"

namespace tessa {

class AppDelegate;

AboutModel::UpdaterLookup delegateUpdater(std::weak_ptr<AppDelegate> delegate);

}  // namespace tessa
