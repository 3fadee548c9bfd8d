// tessavinorctl simulate: the engine on the simulated desktop under a manual
// clock, fed a scenario, printing a JSON transcript. Everything is
// deterministic: the wall clock starts at the scenario's time, local time is
// UTC, and the program's files live in a fresh temporary folder. With
// `--home DIR` they live in DIR instead and stay there, kept as on Linux: the
// symbolic hot keys and the keychain are files there too (a keychain without
// a Secret Service), so a run shows how the program meets files it left, or
// files damaged since. With `--desktop x11` the same scenario runs on a
// private X server instead (ctl_simulate_x11.cpp), re-run inside a session
// bus of its own.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>

#include <nlohmann/json.hpp>

#include "app_core/app_delegate.h"
#include "app_core/headless_shell.h"
#include "app_core/quick_paste/quick_paste_panel_controller.h"
#include "base/files.h"
#include "base/json_reading.h"
#include "base/notification_center.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "clipboard/copy_cache_manager.h"
#include "typing/typing_flow_controller.h"
#include "ctl_clipboard.h"
#include "ctl_commands.h"
#include "ctl_simulate_x11.h"
#include "engine/keyboard_engine.h"
#include "engine/hud_notices.h"
#include "hud/unified_menu_panel.h"
#include "platform/linux/hunspell_spell_checker.h"
#include "platform/linux/json_preference_domains.h"
#include "platform/linux/keychain_factory.h"
#include "platform/linux/keychain_file_store.h"
#include "platform/linux/linux_desktop.h"
#include "platform/sim/sim_desktop.h"
#include "reliability/telemetry_manager.h"
#include "scenario.h"
#ifdef TESSAVINOR_CTL_WITH_X11
#include "x11_session/child_process.h"
#endif
#include "x11_scenario.h"

namespace tessa::ctl {
namespace {

using json = nlohmann::json;
namespace fs = std::filesystem;

constexpr double kStartUptime = 1000.0;

class TempFolder {
 public:
  TempFolder() {
    char tmpl[] = "/tmp/tessavinorctl-XXXXXX";
    if (char* dir = ::mkdtemp(tmpl)) path_ = dir;
  }
  ~TempFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void configureDesktop(SimDesktop& desktop, const DesktopConfig& c) {
  desktop.setEnabledSources(c.inputSources);
  desktop.setCurrentSource(c.currentInputSource);
  desktop.setSwitchLatency(c.switchLatencySeconds);
  desktop.setTrusted(c.accessibilityTrusted);
  desktop.setNextSourceHotKeyWorks(c.nextSourceHotKeyWorks);
  if (!desktop.application(c.frontmostApp)) desktop.launchApplication(c.frontmostApp, c.frontmostApp);
  desktop.activateApplication(c.frontmostApp);
  if (auto* app = desktop.application(c.frontmostApp)) {
    app->field.setText(c.fieldText);
    app->field.setSecure(c.fieldSecure);
    app->field.setDeletionUnit(c.deletionUnit == "grapheme"       ? DeletionUnit::graphemeCluster
                               : c.deletionUnit == "markWithBase" ? DeletionUnit::markWithBase
                                                                  : DeletionUnit::codePoint);
  }
}

// The quick-paste steps: another application's copy, opening the panel as
// the delegate's action does, and choosing an entry by its row or a search.
void runQuickPasteStep(const Step& step, SimDesktop& desktop, AppDelegate& delegate) {
  if (step.text == "pasteboard") {
    desktop.pasteboard().copyText(step.argument);
    return;
  }
  QuickPastePanelController& panel = delegate.quickPaste();
  if (step.text == "quickPasteOpen") {
    delegate.openQuickPaste();
  } else if (step.text == "quickPasteChoose") {
    auto rows = panel.manager().filteredItems();
    size_t n = std::stoul(step.argument);
    if (n >= 1 && n <= rows.size()) panel.paste(rows[n - 1], false);
  } else if (step.text == "quickPasteKey") {
    KeyChord chord = parseChord(step.argument);
    uint64_t mods = chord.flags & ~flags::control;
    if (chord.flags & flags::control) mods |= flags::command;
    panel.handleKeyDown({chord.keyCode, mods});
  } else if (step.text == "quickPasteSearch") {
    panel.setSearchText(step.argument);
    if (!panel.handleKeyDown({keycode::returnKey, 0})) panel.submitSearch();
  }
}

// What the run left in the clipboard history and the panel; only for runs
// that opened the panel.
json quickPasteTranscript(const HeadlessShell& shell, AppDelegate& delegate, SimDesktop& desktop) {
  json out = json::object();
  const auto* view = shell.quickPasteView();
  out["shows"] = view ? view->shows : 0;
  out["visible"] = view && view->visible;
  json history = json::array();
  for (const auto& item : delegate.copyCache().items.get()) history.push_back(item.text);
  out["history"] = history;
  std::string pasteboard;
  auto items = desktop.pasteboard().items();
  if (!items.empty())
    if (auto it = items.front().representations.find(pasteboard_types::kText);
        it != items.front().representations.end())
      pasteboard = it->second;
  out["pasteboard"] = pasteboard;
  return out;
}

// Schedules one step on the main queue at its time.
void scheduleStep(const Step& step, SimDesktop& desktop, AppDelegate& delegate, ClipboardSteps& clipboard,
                  bool& quitting) {
  auto& runner = desktop.mainQueue();
  double delay = kStartUptime + step.at - desktop.clock().uptime();
  runner.postDelayed(delay, [&desktop, &delegate, &clipboard, &quitting, step] {
    if (quitting) return;
    switch (step.kind) {
      case Step::Kind::type:
        desktop.typeText(step.text, step.gapSeconds, 0);
        break;
      case Step::Kind::press:
        desktop.press(step.text, 0);
        break;
      case Step::Kind::down:
        desktop.keyDown(step.chord.keyCode, step.chord.flags);
        break;
      case Step::Kind::up:
        desktop.keyUp(step.chord.keyCode, step.chord.flags);
        break;
      case Step::Kind::event:
        if (step.text == "sleep") desktop.sleep();
        else if (step.text == "wake") desktop.wake();
        else if (step.text == "lock") desktop.lockScreen();
        else if (step.text == "unlock") desktop.unlockScreen();
        else if (step.text == "secure:on") desktop.setSecureEventInput(true);
        else if (step.text == "secure:off") desktop.setSecureEventInput(false);
        else if (step.text == "click") desktop.click(40, 40);  // outside every text field and panel
        else if (step.text == "pasteboard" || step.text.rfind("quickPaste", 0) == 0)
          runQuickPasteStep(step, desktop, delegate);
        else if (step.text == "activate") {
          if (!desktop.application(step.argument)) desktop.launchApplication(step.argument, step.argument);
          desktop.activateApplication(step.argument);
        } else if (step.text == "fieldText") {
          if (auto* field = desktop.focusedField()) field->setText(step.argument);
        } else if (step.text == "quit") {
          quitting = true;
          delegate.applicationWillTerminate();
        }
        break;
      case Step::Kind::copy:
        clipboard.copy(step);
        break;
      case Step::Kind::history:
        clipboard.history(step);
        break;
    }
  });
}

// How long after its safety time-out a hold may take to replay what it held.
constexpr double kReplayAllowance = 0.25;

bool holdPending(KeyboardEngine& engine) {
  const auto* flow = engine.flow.flowController.get();
  return flow && (!flow->state().isIdle() || flow->hasQueuedEvents() || flow->isReleasing());
}

// A scenario may end in the middle of a hold: the clock runs on, step by
// step, until the hold is over, at most past its safety time-out and the
// replay after it, so that the transcript shows where the held keys went.
// A run that ended idle is left exactly as it was.
void settleHolds(ManualTaskRunner& runner, KeyboardEngine& engine) {
  double deadline = runner.clock().uptime() + TypingFlowController::kSafetyTimeout + kReplayAllowance;
  while (holdPending(engine) && runner.clock().uptime() < deadline) {
    runner.advanceTo(std::min(runner.nextDueTime(), deadline));
    runner.runUntilIdle();
  }
}

// The files a Linux desktop keeps for the program besides its own: the
// symbolic hot keys and, with no Secret Service, the keychain.
struct FilesOfTheDesktop {
  std::shared_ptr<JsonPreferenceDomains> hotKeys;
  std::unique_ptr<Keychain> keychain;

  explicit FilesOfTheDesktop(SimDesktop& desktop) {
    auto console = [&desktop](const std::string& line) { desktop.systemLog().console("Tessavinor: " + line); };
    hotKeys = std::make_shared<JsonPreferenceDomains>(Paths::preferencesFolder() / LinuxDesktop::kHotKeyFileName,
                                                      console);
    const auto items = KeychainFileStore::defaultFile();
    keychain = createSystemKeychain(console, items.parent_path() / "keychain-backend", items, [](std::string* why) {
      *why = "the simulated desktop has none";
      return std::unique_ptr<Keychain>();
    });
  }
  // What the run left of them: the hot-key table, and every line the program
  // wrote to the console and the system log.
  json transcript(SimDesktop& desktop) const {
    json out = json::object();
    out["hotKeys"] = hotKeys->copyValue(SimDesktop::kSymbolicHotKeysDomain, SimDesktop::kSymbolicHotKeysKey)
                         .value_or(json::object());
    out["console"] = desktop.systemLog().consoleLines();
    json lines = json::array();
    for (const auto& line : desktop.systemLog().lines()) lines.push_back(line.category + ": " + line.message);
    out["systemLog"] = std::move(lines);
    return out;
  }
};

json runScenario(const Scenario& sc, const std::optional<fs::path>& ownHome) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  std::optional<TempFolder> temporary;
  if (!ownHome) temporary.emplace();
  const fs::path home = ownHome ? *ownHome : temporary->path();
  ::setenv("TESSAVINOR_HOME", home.c_str(), 1);

  ManualClock clock(kStartUptime, sc.desktop.wallTime);
  ManualTaskRunner runner(clock);
  SimDesktop desktop(clock, runner);
  // The spell checker is the real one over the installed dictionaries.
  HunspellSpellChecker spellChecker;
  desktop.setSpellChecker(&spellChecker);
  configureDesktop(desktop, sc.desktop);
  runner.runUntilIdle();  // the desktop settles before the application starts

  std::optional<FilesOfTheDesktop> desktopFiles;
  Platform platform = desktop.platform();
  if (ownHome) {
    desktopFiles.emplace(desktop);
    platform.preferences = desktopFiles->hotKeys.get();
    platform.keychain = desktopFiles->keychain.get();
  }
  UserDefaults defaults(Paths::defaultsFile(SimDesktop::kOwnBundleID), nullptr, [&desktop](const std::string& line) {
    desktop.systemLog().console("Tessavinor: " + line);
  });
  for (auto it = sc.defaults.begin(); it != sc.defaults.end(); ++it) defaults.set(it.key(), it.value());
  NotificationCenter notifications;

  auto env = EngineEnvironment::onManualClock(platform, runner, defaults, notifications);
  env.telemetry = &TelemetryManager::shared();

  // The application's own start-up, with a window system that only records.
  HeadlessShell shell;
  AppDelegateEnvironment app;
  app.platform = env.platform;
  app.main = &runner;
  app.clock = &clock;
  app.defaults = &defaults;
  app.notifications = &notifications;
  app.shell = &shell;
  app.makeEngine = [&env] {
    auto engine = KeyboardEngine::create(env);
    KeyboardEngine::installShared(engine);
    return engine;
  };
  app.makeHud = [](KeyboardEngine& engine) {
    auto panel = UnifiedMenuPanel::create(hudEnvironmentFor(engine));
    UnifiedMenuPanel::installShared(panel);
    return panel;
  };
  // Each run is alone on its simulated desktop: there is no other instance.
  app.runLaunchChecks = [](const std::string&, int64_t) { return true; };
  app.holdsInstanceLock = [] { return true; };
  auto delegate = AppDelegate::create(std::move(app));
  delegate->applicationDidFinishLaunching();
  auto engine = KeyboardEngine::shared();
  UnifiedMenuPanel* panel = delegate->hud();

  ClipboardSteps clipboard(desktop, *delegate);
  bool quitting = false;
  for (const auto& step : sc.steps) scheduleStep(step, desktop, *delegate, clipboard, quitting);
  runner.advanceTo(kStartUptime + sc.until);
  if (!quitting) {
    runner.runUntilIdle();
    settleHolds(runner, *engine);
  }

  json transcript = desktop.transcript();
  json out = json::object();
  out["text"] = transcript.value("text", "");
  out["caret"] = transcript.value("caret", 0);
  out["inputSource"] = transcript.value("inputSource", "");
  out["posted"] = transcript.value("posted", json::array());
  out["delivered"] = transcript.value("delivered", json::object());
  // Keys the scenario pressed and never released, and keys the engine still
  // holds: the run ended with them down, which the rest cannot show.
  if (transcript.contains("heldKeys")) out["heldKeys"] = transcript["heldKeys"];
  if (const auto* flow = engine->flow.flowController.get(); flow && flow->heldCount() > 0)
    out["heldEvents"] = flow->heldCount();
  out["notices"] = panel->noticesTranscript(kStartUptime);
  out["defaults"] = defaults.snapshot();
  json log = json::array();
  for (const auto& line : engine->diagnosticLogs()) log.push_back(line);
  out["log"] = log;
  out["children"] = transcript.value("children", json::array());
  if (shell.quickPasteView()) out["quickPaste"] = quickPasteTranscript(shell, *delegate, desktop);
  // Only runs that involve the clipboard history show it.
  if (const auto& history = delegate->copyCache();
      ClipboardSteps::usedBy(sc) || history.isEnabled.get() || !history.items.get().empty())
    out["copyCache"] = clipboard.transcript();
  if (desktopFiles) {
    defaults.synchronize();
    out["home"] = desktopFiles->transcript(desktop);
  }

  engine->stopTapDeadManThread();
  KeyboardEngine::installShared(nullptr);
  UnifiedMenuPanel::installShared(nullptr);
  delegate.reset();
  return out;
}

}  // namespace
}  // namespace tessa::ctl

namespace {

constexpr const char* kUsage = "usage: tessavinorctl simulate [--desktop sim|x11] [--home DIR] SCENARIO.json\n";

// Runs this very command again inside a session bus of its own: AT-SPI
// lives on the session bus, and a run must share neither the user's bus nor
// the user's settings (the run turns the desktop's accessibility switch on,
// which the bus launcher would otherwise write to the user's settings
// database). Everything started on that bus keeps its settings in memory.
// This process waits for it as the reaper of all it starts: dbus-run-session
// ends its bus but not what the bus started (the accessibility bus and its
// launcher), and a run that crashes leaves its X server. What the run leaves
// running is ended and named, and fails the run.
int rerunInsideSessionBus(char** argv, int argc) {
  ::setenv("TESSAVINOR_CTL_IN_SESSION_BUS", "1", 1);
  ::setenv("GSETTINGS_BACKEND", "memory", 1);
  std::error_code ec;
  std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  if (ec) self = "tessavinorctl";
  std::vector<std::string> args{"dbus-run-session", "--", self, "simulate"};
  for (int i = 1; i < argc; ++i) args.push_back(argv[i]);
#ifdef TESSAVINOR_CTL_WITH_X11
  std::vector<std::string> left;
  const int status = tessa::xsession::runAndReap(args, 5.0, &left);
  if (status == 127 && left.empty())
    std::fprintf(stderr, "tessavinorctl simulate: --desktop x11 needs dbus-run-session\n");
  for (const auto& process : left)
    std::fprintf(stderr, "tessavinorctl simulate: the run left this running; ended it: %s\n", process.c_str());
  return !left.empty() && status == 0 ? 1 : status;
#else
  return 2;
#endif
}

}  // namespace

int runSimulateCommand(int argc, char** argv) {
  using namespace tessa::ctl;
  std::string desktop = "sim";
  std::optional<std::filesystem::path> home;
  std::vector<std::string> rest;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "--desktop" && i + 1 < argc) {
      desktop = argv[++i];
    } else if (a.rfind("--desktop=", 0) == 0) {
      desktop = a.substr(10);
    } else if (a == "--home" && i + 1 < argc) {
      home = argv[++i];
    } else if (a.rfind("--home=", 0) == 0) {
      home = a.substr(7);
    } else {
      rest.push_back(a);
    }
  }
  if (rest.size() != 1 || (desktop != "sim" && desktop != "x11") || (home && (home->empty() || desktop != "sim"))) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  if (home) {
    std::string why;
    if (!tessa::createPrivateFolders(*home, &why)) {
      std::fprintf(stderr, "tessavinorctl simulate: --home: cannot make %s\n", why.c_str());
      return 2;
    }
    home = std::filesystem::absolute(*home);
  }
  std::string path = rest[0];
  auto read = tessa::readFileWithin(path, 16u << 20);
  if (read.tooLarge) {
    std::fprintf(stderr, "tessavinorctl simulate: %s\n", read.error.c_str());
    return 2;
  }
  if (!read) {
    std::fprintf(stderr, "tessavinorctl simulate: cannot read %s\n", path.c_str());
    return 2;
  }
  const std::string& text = *read.contents;
  if (tessa::jsonNestsDeeperThan(text)) {
    std::fprintf(stderr, "tessavinorctl simulate: %s is nested deeper than %zu levels\n", path.c_str(),
                 tessa::kMaxJsonDepth);
    return 2;
  }
  auto doc = tessa::parseJsonWithin(text);
  if (!doc) {
    std::fprintf(stderr, "tessavinorctl simulate: %s is not valid JSON\n", path.c_str());
    return 2;
  }
  Scenario scenario;
  try {
    scenario = parseScenario(*doc);
  } catch (const ScenarioError& e) {
    std::fprintf(stderr, "tessavinorctl simulate: %s: %s\n", path.c_str(), e.what());
    return 2;
  }
  if (desktop == "x11") {
    if (!x11DesktopBuilt()) {
      std::fprintf(stderr, "tessavinorctl simulate: --desktop x11: this build has no X11 back end\n");
      return 2;
    }
    if (auto refusal = x11Refusal(scenario); !refusal.empty()) {
      std::fprintf(stderr, "tessavinorctl simulate: %s: %s\n", path.c_str(), refusal.c_str());
      return 2;
    }
    if (!std::getenv("TESSAVINOR_CTL_IN_SESSION_BUS")) return rerunInsideSessionBus(argv, argc);
    if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
      std::fprintf(stderr, "tessavinorctl simulate: dbus-run-session gave no session bus\n");
      return 2;
    }
    for (const auto& note : x11Approximations(scenario))
      std::fprintf(stderr, "tessavinorctl simulate: note: %s\n", note.c_str());
    std::string why;
    auto transcript = runScenarioOnX11(scenario, &why);
    if (!transcript) {
      std::fprintf(stderr, "tessavinorctl simulate: %s on X11: %s\n", path.c_str(), why.c_str());
      return 1;
    }
    std::cout << transcript->dump(2) << "\n";
    return 0;
  }
  auto transcript = runScenario(scenario, home);
  // Log lines may quote what a damaged file held.
  std::cout << transcript.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << "\n";
  return 0;
}
