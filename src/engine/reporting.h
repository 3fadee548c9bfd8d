#pragma once
// What the problem report and the usage statistics read of the engine: the
// engine's side of the narrow inputs src/reliability/ takes.
#include "reliability/stability_report.h"
#include "reliability/telemetry_manager.h"

namespace tessa {

class KeyboardEngine;

// The engine's settings, states, statistics days and journal now.
StabilityReportSource stabilityReportSource(KeyboardEngine& engine);
// The engine's HTTP client, main queue and log; answers stop with the engine.
ReportUploadEnvironment reportUploadEnvironment(KeyboardEngine& engine);
// The engine's consent, counters, defaults, clock and HTTP client now;
// answers stop with the engine.
TelemetryEnvironment telemetryEnvironment(KeyboardEngine& engine);

}  // namespace tessa
