#pragma once
// An engine on the simulated desktop, for the key road's tests: the taps,
// the handler, the switcher, the system keyboard settings and the observers
// all run against SimDesktop under the manual clock.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/keyboard_engine.h"
#include "engine/hud_notices.h"
#include "hud/unified_menu_panel.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"

namespace tessa::test {

class KeyRoadFixture : public EngineFixture {
 public:
  KeyRoadFixture() : desktop(clock, runner) { platform = desktop.platform(); }
  ~KeyRoadFixture() {
    panel.reset();
    engine.reset();
  }

  std::shared_ptr<KeyboardEngine> startEngine(bool withHud = true) {
    start();
    if (withHud) {
      panel = UnifiedMenuPanel::create(hudEnvironmentFor(*engine));
      attachHudPanel(*engine, panel.get());
    }
    return engine;
  }

  // Runs everything due now (main queue and the serial queues).
  void settle() { runner.runUntilIdle(); }
  void advance(double seconds) { runner.advance(seconds); }

  bool logged(const std::string& needle) const {
    auto lines = engine->diagnosticLogs();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(needle) != std::string::npos; });
  }
  int loggedCount(const std::string& needle) const {
    auto lines = engine->diagnosticLogs();
    return static_cast<int>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
      return l.find(needle) != std::string::npos;
    }));
  }
  // The messages of the notices the HUD has put on screen, in order.
  std::vector<std::string> noticeMessages() const {
    std::vector<std::string> out;
    if (!panel) return out;
    for (const auto& n : panel->shownNotices())
      out.push_back(n.content.contains("message") ? n.content["message"].get<std::string>() : std::string());
    return out;
  }
  bool showedNotice(const std::string& message) const {
    auto all = noticeMessages();
    return std::find(all.begin(), all.end(), message) != all.end();
  }

  // A key event as the keyboard would deliver it (straight to the handler).
  static Event key(EventType type, uint16_t keyCode, uint64_t flags = 0, std::string unicode = "") {
    Event e;
    e.type = type;
    e.keyCode = keyCode;
    e.flags = flags;
    e.unicode = std::move(unicode);
    return e;
  }
  std::optional<Event> handle(EventType type, uint16_t keyCode, uint64_t flags = 0, std::string unicode = "") {
    Event e = key(type, keyCode, flags, std::move(unicode));
    e.timestamp = clock.uptime();
    return engine->handleInner(engine->tap.eventTap, type, e);
  }

  SimDesktop desktop;
  std::shared_ptr<UnifiedMenuPanel> panel;
};

}  // namespace tessa::test
