#include "app_core/dashboard/setup_status_model.h"

#include "engine/keyboard_engine.h"

namespace tessa {

bool SetupStatusModel::isGranted() const { return engine_.isAccessibilityGranted.get(); }

std::string SetupStatusModel::statusSymbol() const {
  return isGranted() ? "checkmark.circle.fill" : "xmark.circle.fill";
}

HudColor SetupStatusModel::statusColor() const { return isGranted() ? HudColor::green : HudColor::orange; }

std::string SetupStatusModel::description() const {
  if (isGranted()) return text("setup_accessibility_desc_ok");
  // When the desktop could not even be asked, say what is missing instead.
  if (auto key = engine_.accessibilityProblemKey(); !key.empty()) return text(key);
  return text("setup_accessibility_desc_err");
}

void SetupStatusModel::grantAccess() { engine_.openAccessibilitySettings(); }

void SetupStatusModel::confirmRepair() {
  showRepairConfirmation_ = false;
  engine_.repairAccessibilityGrant(false, true);
}

std::string SetupStatusModel::text(const std::string& key) const { return engine_.localized(key); }

}  // namespace tessa
