// tessavinorctl simulate --desktop x11: a scenario on a real X server. A
// private Xvfb, the scenario's input sources as XKB groups, the test field
// (Qt's, or the toolkit TESSAVINOR_X11_FIELD names) focused and exposed over
// AT-SPI, and the whole application started as it
// starts, behind the X11 back ends; the steps are typed through XTest at
// their times on the real clock, and the transcript gives the fields the
// simulated desktop gives where the server has them.
#include "ctl_simulate_x11.h"

#include <algorithm>
#include <chrono>
#include <set>
#include <thread>

#include "x11_scenario.h"

#ifdef TESSAVINOR_CTL_WITH_X11
#include "engine/keyboard_engine.h"
#include "hud/unified_menu_panel.h"
#include "platform/events.h"
#include "platform/keyboard_tables.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_event_system.h"
#include "typing/typing_flow_controller.h"
#include "x11_session/x11_application.h"
#include "x11_session/x11_session.h"
#endif

namespace tessa::ctl {

using json = nlohmann::json;

#ifndef TESSAVINOR_CTL_WITH_X11

bool x11DesktopBuilt() { return false; }
std::optional<json> runScenarioOnX11(const Scenario&, std::string* why) {
  if (why) *why = "built without the X11 back end";
  return std::nullopt;
}

#else

bool x11DesktopBuilt() { return true; }

namespace {

using xsession::TestField;
using xsession::X11Application;
using xsession::XSession;

// Where a click lands: on the root window, below the test field's window.
constexpr int kClickX = 600, kClickY = 600;
// How long after its safety time-out a hold may take to replay what it held.
constexpr double kReplayAllowance = 0.25;
// The field counts as settled once it reads the same this long.
constexpr double kQuietSeconds = 0.05;

// Reads the field until it has read the same for kQuietSeconds: the keys the
// server already sent may still be on their way into the window.
std::optional<TestField::State> settledState(TestField& field, X11Application& app) {
  std::optional<TestField::State> last;
  double since = app.uptime();
  app.main().pumpUntil(
      [&] {
        auto s = field.state();
        if (!s) return false;
        if (!last || s->text != last->text || s->caret != last->caret) {
          last = s;
          since = app.uptime();
        }
        return app.uptime() - since >= kQuietSeconds;
      },
      3.0);
  return last;
}

std::string keyName(uint16_t keyCode) {
  for (const auto& [name, code] : {std::pair<const char*, uint16_t>{"capslock", keycode::capsLock},
                                   {"grave", keycode::grave}, {"space", keycode::space},
                                   {"shift", keycode::shift}, {"ctrl", keycode::control},
                                   {"option", keycode::option}, {"command", keycode::command}})
    if (code == keyCode) return name;
  for (unsigned char c = 0x21; c < 0x7f; ++c) {
    auto k = usKeyForCharacter(std::string(1, static_cast<char>(c)));
    if (k && k->first == keyCode && !k->second) return std::string(1, static_cast<char>(c));
  }
  return std::to_string(keyCode);
}

}  // namespace

std::optional<json> runScenarioOnX11(const Scenario& sc, std::string* why) {
  auto fail = [why](const std::string& reason) -> std::optional<json> {
    if (why) *why = reason;
    return std::nullopt;
  };
  std::vector<XAction> actions;
  try {
    actions = x11Timeline(sc);
  } catch (const ScenarioError& e) {
    return fail(e.what());
  }
  std::string reason;
  // A real window manager with its stock key bindings, as on a desktop;
  // TESSAVINOR_X11_WM picks another ("none", "standin").
  xsession::XSessionOptions sessionOptions;
  sessionOptions.windowManager = xsession::windowManagerFromEnvironment(xsession::WindowManager::openbox);
  auto session = XSession::start(sessionOptions, &reason);
  if (!session) return fail(reason);
  std::vector<std::string> layouts, variants;
  bool anyVariant = false;
  for (const auto& id : sc.desktop.inputSources) {
    auto name = *xkbLayoutForSource(id);
    layouts.push_back(name.layout);
    variants.push_back(name.variant);
    anyVariant = anyVariant || !name.variant.empty();
  }
  if (!session->setLayouts(layouts, anyVariant ? variants : std::vector<std::string>{}))
    return fail("setxkbmap could not load the layouts");
  session->resetKeyboardState();
  uint32_t group = 0;
  for (uint32_t i = 0; i < sc.desktop.inputSources.size(); ++i)
    if (sc.desktop.inputSources[i] == sc.desktop.currentInputSource) group = i;
  session->lockGroup(group);
  if (!session->startAccessibilityBus(&reason)) return fail(reason);
  const auto toolkit = xsession::toolkitFromEnvironment(xsession::Toolkit::qt);
  auto field = TestField::start(*session, toolkit,
                                sc.desktop.fieldSecure ? TestField::Kind::password : TestField::Kind::line,
                                sc.desktop.fieldText, &reason);
  if (!field) return fail(reason);

  xsession::X11ApplicationOptions options;
  options.defaults = sc.defaults;
  auto app = X11Application::launch(*session, options, &reason);
  if (!app) return fail(reason);

  // The scenario's clock starts once the application is ready: play() times
  // the steps from now.
  std::set<uint16_t> down;
  std::vector<X11Application::Timed> timeline;
  for (const auto& a : actions) {
    std::function<void()> act;
    switch (a.kind) {
      case XAction::Kind::keyDown:
        act = [&, key = a.keyCode] {
          if (app->hasQuit()) return;
          session->pressKey(key, true);
          down.insert(key);
        };
        break;
      case XAction::Kind::keyUp:
        act = [&, key = a.keyCode] {
          if (!down.count(key)) return;
          session->pressKey(key, false);
          down.erase(key);
        };
        break;
      case XAction::Kind::fieldText:
        act = [&, text = a.text] {
          if (!app->hasQuit()) field->setText(text);
        };
        break;
      case XAction::Kind::click:
        act = [&] {
          if (!app->hasQuit()) session->click(kClickX, kClickY);
        };
        break;
      case XAction::Kind::quit:
        act = [&] { app->quit(); };
        break;
    }
    timeline.push_back({a.at, std::move(act)});
  }
  app->play(timeline, sc.until);
  // A run that ends during a hold goes on until the hold is over, as on the
  // simulated desktop.
  if (!app->hasQuit())
    app->main().pumpUntil([&] { return !app->holding(); },
                          TypingFlowController::kSafetyTimeout + kReplayAllowance);
  app->x11().events()->flush();
  auto state = settledState(*field, *app);

  json out = json::object();
  out["text"] = state ? state->text : "";
  out["caret"] = state ? state->caret : 0;
  const uint32_t locked = session->lockedGroup();
  out["inputSource"] = locked < sc.desktop.inputSources.size() ? sc.desktop.inputSources[locked]
                                                               : "xkb:group" + std::to_string(locked + 1);
  if (!down.empty()) {
    json held = json::array();
    for (uint16_t k : down) held.push_back(keyName(k));
    out["heldKeys"] = held;
  }
  if (const auto* flow = app->engine().flow.flowController.get(); flow && flow->heldCount() > 0)
    out["heldEvents"] = flow->heldCount();
  out["notices"] = json::array();
  // Times from the start-up, as on the simulated desktop.
  if (app->hud()) out["notices"] = app->hud()->noticesTranscript(app->launchedAt());
  json log = json::array();
  for (const auto& line : app->engine().diagnosticLogs()) log.push_back(line);
  out["log"] = log;
  json backend = json::array();
  for (const auto& line : app->backendLog()) backend.push_back(line);
  out["x11Log"] = backend;

  // Keys the scenario left down go up before the server goes.
  for (uint16_t k : down) session->pressKey(k, false);
  app.reset();
  return out;
}

#endif

}  // namespace tessa::ctl
