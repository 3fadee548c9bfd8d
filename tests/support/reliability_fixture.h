#pragma once
// An engine on the simulated desktop, with helpers to read the stability
// journal and the diagnostic log.
#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"

namespace tessa::test {

class ReliabilityFixture {
 public:
  ReliabilityFixture() : desktop(f.clock, f.runner) {
    desktop.setTrusted(true);
    f.platform = desktop.platform();
  }
  // The engine goes before the desktop it runs on.
  ~ReliabilityFixture() {
    engine.reset();
    f.engine.reset();
  }

  std::shared_ptr<KeyboardEngine> start() {
    engine = f.start();
    f.runner.runUntilIdle();
    return engine;
  }

  TapId keyboardTap() {
    std::lock_guard lock(engine->tap.safetyLock);
    return engine->tap.eventTap;
  }

  // Every journal line written so far (runs the disk queue first).
  std::vector<nlohmann::json> journal() {
    f.runner.runUntilIdle();
    std::vector<nlohmann::json> out;
    std::ifstream in(engine->stabilityLogURL());
    for (std::string line; std::getline(in, line);) out.push_back(nlohmann::json::parse(line));
    return out;
  }
  std::vector<nlohmann::json> journalOf(const std::string& kind) {
    std::vector<nlohmann::json> out;
    for (auto& j : journal())
      if (j["kind"] == kind) out.push_back(j);
    return out;
  }

  bool logged(const std::string& needle) const {
    for (const auto& line : engine->diagnosticLogs())
      if (line.find(needle) != std::string::npos) return true;
    return false;
  }

  EngineFixture f;
  SimDesktop desktop;
  std::shared_ptr<KeyboardEngine> engine;
};

}  // namespace tessa::test
