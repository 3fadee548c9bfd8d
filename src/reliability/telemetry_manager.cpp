#include "reliability/telemetry_manager.h"

#include "engine/keyboard_engine.h"

namespace tessa {

TelemetryManager& TelemetryManager::shared() {
  static TelemetryManager manager;
  return manager;
}

void TelemetryManager::sendIfDue(KeyboardEngine& engine) {
  if (!engine.isShareUsageTimeEnabled.get()) return;
  if (reportedSkip_.exchange(true)) return;
  engine.log("TelemetryManager.sendIfDue: the usage-statistics sender is not built yet - skipped");
}

}  // namespace tessa
