#pragma once
// An engine on the simulated desktop, for the typing flow and correction
// tests: ABC and Thai enabled, ABC current, TextEdit frontmost with an empty
// field.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/keyboard_engine.h"
#include "platform/keyboard_tables.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"
#include "typing/typing_flow_controller.h"

namespace tessa::test {

inline constexpr const char* kABC = "com.apple.keylayout.ABC";
inline constexpr const char* kThai = "com.apple.keylayout.Thai";

class FlowTest : public ::testing::Test {
 protected:
  FlowTest() : FlowTest([](Platform&) {}) {}
  // `wrap` may put its own services between the engine and the desktop.
  explicit FlowTest(const std::function<void(Platform&)>& wrap) : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    wrap(fx.platform);
    engine = fx.start();
    fx.runner.runUntilIdle();
  }
  ~FlowTest() override {
    engine.reset();
    fx.engine.reset();
  }

  TypingFlowController& flow() { return *engine->flow.flowController; }
  SimTextField& field() { return *desk.focusedField(); }
  double now() const { return fx.clock.uptime(); }
  void run() { fx.runner.runUntilIdle(); }
  void advance(double seconds) { fx.runner.advance(seconds); }

  // A key-down as the keyboard delivers it while ABC is current.
  static Event usKey(const std::string& character, EventType type = EventType::keyDown) {
    auto k = usKeyForCharacter(character);
    EXPECT_TRUE(k.has_value()) << character;
    Event e;
    e.type = type;
    e.keyCode = k ? k->first : 0;
    e.flags = k && k->second ? flags::shift : 0;
    e.unicode = character;
    return e;
  }

  // What the US keys type on the Thai layout: thai("dbo") is "กิน".
  std::string thai(const std::string& usKeys) {
    std::string out;
    for (char c : usKeys) out += engine->englishToThaiMap().at(std::string(1, c));
    return out;
  }
  // The focused field shows `text`, with `source` current.
  void startWith(const std::string& text, const char* source) {
    desk.setCurrentSource(source);
    field().setText(text);
  }
  // Every key-down the application received after index `from`, as text.
  std::string typedSince(size_t from = 0) const {
    std::string out;
    const auto& events = desk.applicationEvents();
    for (size_t i = from; i < events.size(); ++i)
      if (events[i].type == EventType::keyDown) out += events[i].unicode;
    return out;
  }
  // Uptimes at which posted key-downs were posted (their time stamps).
  std::vector<double> postedKeyDownTimes() const {
    std::vector<double> out;
    for (const auto& e : desk.postedEvents())
      if (e.type == EventType::keyDown && e.keyCode != keycode::f19) out.push_back(e.timestamp);
    return out;
  }
  bool logged(const std::string& needle) const {
    auto lines = engine->diagnosticLogs();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(needle) != std::string::npos; });
  }
  // Switches the simulated system (the user's or the system's own doing).
  void selectSource(const std::string& id) { ASSERT_EQ(desk.inputSources().select(id), 0); }

  EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
};

}  // namespace tessa::test
