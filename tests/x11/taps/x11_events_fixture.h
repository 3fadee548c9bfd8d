#pragma once
// The fixture the X11 event system's tap cases share: a private server, a
// pumped main queue, and a tap that records what it is shown.
// gtest before Xlib, whose macros (Bool, None, ...) would break its headers.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include "platform/x11/x11_event_system.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "x11/support/tap_harness.h"

namespace tessa::test {

inline constexpr uint64_t kKeyMask = eventMaskBit(EventType::keyDown) | eventMaskBit(EventType::keyUp) |
                              eventMaskBit(EventType::flagsChanged);

struct X11Events : ::testing::Test {
  XvfbServer& server = XvfbServer::shared();
  PumpedRunner main;
  std::vector<std::string> logs;
  std::vector<Event> seen;  // what the tap's callback was shown, in order

  void SetUp() override { server.resetKeyboardState(); }

  std::unique_ptr<X11EventSystem> makeEvents(double budget = 1.0) {
    X11EventSystemOptions options;
    options.handlerBudgetSeconds = budget;
    options.log = [this](const std::string& line) { logs.push_back(line); };
    std::string why;
    auto events = X11EventSystem::create(server.display(), main, options, &why);
    EXPECT_TRUE(events) << why;
    return events;
  }

  // `everyKey`: the keyboard held, so that the tap decides every key (as
  // during a hold); otherwise only the keys decided, and hears the rest.
  TapId installTap(X11EventSystem& events, std::function<std::optional<Event>(const Event&)> decide,
                   bool everyKey = true) {
    events.setKeyboardHeld(everyKey);
    TapId id = events.createTap(TapLocation::hid, true, TapOptions::defaultTap, kKeyMask,
                                [this, decide](TapId, EventType type, const Event& e) -> std::optional<Event> {
                                  Event copy = e;
                                  copy.type = type;
                                  seen.push_back(copy);
                                  return decide(copy);
                                });
    events.addTapToRunLoop(id);
    events.enableTap(id, true);
    events.flush();  // grabbed before anyone types
    return id;
  }

  bool sawDown(uint16_t keyCode) const {
    return std::any_of(seen.begin(), seen.end(),
                       [&](const Event& e) { return e.type == EventType::keyDown && e.keyCode == keyCode; });
  }
  std::string describe() const {
    std::string out = "tap saw:";
    for (const auto& e : seen) out += " " + std::to_string(static_cast<uint32_t>(e.type)) + ":" + std::to_string(e.keyCode);
    return out;
  }
  bool logged(const std::string& part) const {
    return std::any_of(logs.begin(), logs.end(), [&](const auto& l) { return l.find(part) != std::string::npos; });
  }
};

}  // namespace tessa::test
