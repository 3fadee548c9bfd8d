#pragma once
// An engine on the simulated desktop with a HUD panel, for the dashboard's
// models: the notices they ask for are read back from the panel.
#include <memory>
#include <string>

#include "engine/hud_notices.h"
#include "engine/keyboard_engine.h"
#include "hud/unified_menu_panel.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"

namespace tessa::test {

class DashboardFixture {
 public:
  DashboardFixture() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    engine->appLanguage.set("en");
    panel = UnifiedMenuPanel::create(hudEnvironmentFor(*engine));
    attachHudPanel(*engine, panel.get());
    fx.runner.runUntilIdle();
  }
  ~DashboardFixture() {
    attachHudPanel(*engine, nullptr);
    engine.reset();
    fx.engine.reset();
  }
  // The message and second line of every notice shown since the start.
  std::vector<std::pair<std::string, std::string>> notices() {
    fx.runner.runUntilIdle();
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& n : panel->shownNotices())
      out.emplace_back(n.content.value("message", ""), n.content.value("subMessage", ""));
    return out;
  }

  EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  std::shared_ptr<UnifiedMenuPanel> panel;
};

}  // namespace tessa::test
