#include "app_core/dashboard/setup_status_model.h"

#include "app_core/status_item_model.h"
#include "l10n/localization.h"
#include "platform/platform.h"

namespace tessa {

bool SetupStatusModel::isGranted() const { return accessibility_.isGranted.get(); }

std::vector<std::string> SetupStatusModel::keysHeldByOthers() const {
  const auto* events = context_.platform.events;
  if (!events || events->filtersEveryKey()) return {};
  return events->keysHeldByOthers();
}

bool SetupStatusModel::isPartial() const {
  return !keysHeldByOthers().empty() || !switcherHeldByOthers().empty();
}

std::string SetupStatusModel::statusSymbol() const {
  if (!isGranted()) return "xmark.circle.fill";
  return isPartial() ? "exclamationmark.triangle.fill" : "checkmark.circle.fill";
}

HudColor SetupStatusModel::statusColor() const { return isGranted() && !isPartial() ? HudColor::green : HudColor::orange; }

std::string SetupStatusModel::description() const {
  if (!isGranted()) {
    // When the desktop could not even be asked, say what is missing instead.
    if (auto key = accessibility_.problemKey(); !key.empty()) return text(key);
    return text("setup_accessibility_desc_err");
  }
  // Granted, yet the keyboard tap cannot hold every key: say which, and what
  // that means for keys typed during a switch.
  if (auto switcher = switcherHeldByOthers(); !switcher.empty())
    return formatLocalized(text("setup_switcher_taken_desc"), {switcher});
  if (auto keys = keysHeldByOthers(); !keys.empty())
    return formatLocalized(text("setup_keys_partial_desc"), {joinedKeyNames(keys)});
  return text("setup_accessibility_desc_ok");
}

void SetupStatusModel::grantAccess() { consent_.request(); }

std::string SetupStatusModel::restartNotice() const {
  const auto& program = accessibility_.programToRestart.get();
  if (!program || !accessibility_.isStillRunning(*program)) return {};
  return formatLocalized(text(program->withBrowserSwitch ? "a11y_restart_with_switch" : "a11y_restart_program"),
                         {program->app.name});
}

void SetupStatusModel::confirmRepair() {
  showRepairConfirmation_ = false;
  accessibility_.repair(false, true);
}

std::string SetupStatusModel::switcherHeldByOthers() const {
  return tessa::switcherHeldByOthers(settings_.switcherKey.get(), context_.platform.events);
}

std::string SetupStatusModel::text(const std::string& key) const { return settings_.localized(key); }

Subscription SetupStatusModel::subscribeChanges(std::function<void()> callback) {
  return settings_.subscribeWillChange(std::move(callback));
}

}  // namespace tessa
