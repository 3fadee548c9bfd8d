#pragma once
// Every narrow view of one engine side by side, for the code that builds a
// window out of pages (the dashboard) and hands each page the views it uses.
// A page, sheet or model never takes this whole set. Handed out by
// `KeyboardEngine::views()`; it lives no longer than the engine, except
// through `context.owner`.
#include "engine/engine_accessibility.h"
#include "engine/engine_context.h"
#include "engine/engine_settings.h"
#include "engine/engine_stats.h"
#include "engine/hud_notice_sink.h"
#include "engine/reporting.h"

namespace tessa {

struct EngineViews {
  EngineSettings settings;
  EngineStats stats;
  HudNotices hud;
  EngineContext context;
  EngineAccessibility accessibility;
  EngineReports reports;
};

}  // namespace tessa
