#pragma once
// What the X11 benchmarks share: a private X session with the US and Thai
// layouts and an accessibility bus, and the focused field over AT-SPI.
// Each answers null after telling the benchmark why it skips.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/x11/atspi_accessibility.h"
#include "x11_session/x11_session.h"

namespace tessa::bench {

// `xkbOptions`: setxkbmap's -option, e.g. the server's own group toggle.
inline std::unique_ptr<xsession::XSession> startX11Session(benchmark::State& state,
                                                           const std::vector<std::string>& layouts = {"us", "th"},
                                                           const std::string& xkbOptions = "") {
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
    state.SkipWithError("no session bus: run inside dbus-run-session");
    return nullptr;
  }
  static std::string why;
  why.clear();
  // Under a real window manager with its stock bindings, as on a desktop
  // (TESSAVINOR_X11_WM picks another).
  xsession::XSessionOptions options;
  options.windowManager = xsession::windowManagerFromEnvironment(xsession::WindowManager::openbox);
  auto session = xsession::XSession::start(options, &why);
  if (!session || !session->setLayouts(layouts, {}, xkbOptions) || !session->startAccessibilityBus(&why)) {
    state.SkipWithError(why.empty() ? "setxkbmap failed" : why.c_str());
    return nullptr;
  }
  session->resetKeyboardState();
  return session;
}

inline std::optional<AXElement> focusedField(AtspiAccessibility& ax, benchmark::State& state) {
  AXResult<AXElement> element;
  xsession::waitUntil([&] { return (element = ax.focusedElement(0.5)).ok(); }, 5.0, 0.01);
  if (!element.ok()) {
    state.SkipWithError("the test field never had the focus over AT-SPI");
    return std::nullopt;
  }
  return *element.value;
}

}  // namespace tessa::bench
