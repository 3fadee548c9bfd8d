#pragma once
// What the problem report and the usage statistics read of the engine: the
// engine's side of the narrow inputs src/reliability/ takes.
#include <functional>

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

// The three above as the problem-report sheet and the payload inspector take
// them, without the engine: each call reads the engine at that moment.
// Handed out by `KeyboardEngine::reports()`; it lives no longer than the engine.
struct EngineReports {
  std::function<StabilityReportSource()> stabilityReport;
  std::function<ReportUploadEnvironment()> uploadEnvironment;
  std::function<TelemetryEnvironment()> telemetry;
};

}  // namespace tessa
