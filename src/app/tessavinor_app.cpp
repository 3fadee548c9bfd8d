#include "app/tessavinor_app.h"

#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <thread>

#include "app/logind_sleep_watcher.h"
#include "app/session_lock_watcher.h"
#include "app/qt_launch_alerts.h"
#include "app/qt_main_runner.h"
#include "app/qt_shell.h"
#include "app/signal_bridge.h"
#include "app/sudden_end.h"
#include "app/ui_factories.h"
#include "app_core/app_delegate.h"
#include "app_core/dashboard/accessibility_repair.h"
#include "app_core/instance_channel.h"
#include "base/clock.h"
#include "base/files.h"
#include "base/notification_center.h"
#include "base/user_defaults.h"
#include "engine/vocabulary_packs.h"
#include "engine/hud_notices.h"
#include "engine/keyboard_engine.h"
#include "engine/setting_table.h"
#include "hud/unified_menu_panel.h"
#include "platform/linux/linux_desktop.h"
#include "platform/linux/linux_workspace.h"
#ifdef TESSAVINOR_HAVE_X11
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>

#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_event_system.h"
#include "platform/x11/x11_screen_state.h"
#include "platform/x11/x11_server_loss.h"
#endif
#include "reliability/launch_environment_guard.h"
#include "reliability/telemetry_manager.h"
#include "ui/qt_pasteboard.h"

namespace tessa {

namespace {

// Waits until the work already on `queue` is done, or until `deadline`.
void waitForQueue(TaskRunner& queue, std::chrono::steady_clock::time_point deadline) {
  auto done = std::make_shared<std::promise<void>>();
  auto finished = done->get_future();
  queue.post([done] { done->set_value(); });
  finished.wait_until(deadline);
}

}  // namespace

struct TessavinorApp::Parts {
  Parts(int& argc, char** argv) : app(argc, argv) {}
  QApplication app;
  SystemClock clock;
  std::unique_ptr<QtMainRunner> main;
#ifdef TESSAVINOR_HAVE_X11
  std::unique_ptr<X11Desktop> x11;  // outlives the desktop that hands out its back ends
#endif
  std::string keysUnavailableReason;
  std::unique_ptr<QtPasteboard> pasteboard;  // outlives the desktop that hands it out
  std::unique_ptr<LinuxDesktop> desktop;
  std::shared_ptr<SerialQueue> settingsQueue, diagnosticsDisk, background, persist;
  std::unique_ptr<UserDefaults> defaults;
  NotificationCenter notifications;
  std::unique_ptr<QtLaunchAlerts> alerts;
  std::unique_ptr<LaunchEnvironmentGuard> guard;
  std::unique_ptr<UiFactories> ui;
  std::unique_ptr<QtShell> shell;
  std::shared_ptr<AppDelegate> delegate;
  std::unique_ptr<SignalBridge> signalBridge;
  std::unique_ptr<LogindSleepWatcher> sleepWatcher;
  std::unique_ptr<SessionLockWatcher> lockWatcher;
#ifdef TESSAVINOR_HAVE_X11
  std::unique_ptr<X11ScreenState> screenState;
#endif
  PosixProcessLauncher launcher;
  std::unique_ptr<AccessibilityRepair> repair;
  std::unique_ptr<InstanceChannel> actions;  // `tessavinor --action NAME` from outside
  bool isRelaunch = false;
};

TessavinorApp::TessavinorApp(int& argc, char** argv) : parts_(std::make_unique<Parts>(argc, argv)) {
  auto& p = *parts_;
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], LaunchEnvironmentGuard::kRelaunchArgument) == 0) p.isRelaunch = true;
  QApplication::setApplicationName("Tessavinor");
  QApplication::setDesktopFileName("tessavinor");
  // A status-item application: closing the dashboard does not end it.
  p.app.setQuitOnLastWindowClosed(false);

  p.main = std::make_unique<QtMainRunner>();
  LinuxDesktopOptions desktopOptions;
#ifdef TESSAVINOR_HAVE_X11
  // The keyboard back end for this session; without one, no tap is started
  // and the log and the tooltip say why.
  p.x11 = X11Desktop::open(*p.main, X11Desktop::processEnvironment(),
                           [&p](const std::string& line) {
                             if (p.desktop) p.desktop->systemLog().console("Tessavinor: " + line);
                             else std::fprintf(stderr, "Tessavinor: %s\n", line.c_str());
                           });
  desktopOptions = p.x11->options(desktopOptions);
  p.keysUnavailableReason = p.x11->reason();
  // After the QApplication: Qt sets a handler of its own that exits.
  onX11ServerLoss([] { SuddenEnd::now("the X server went away"); });
#else
  p.keysUnavailableReason = "built without the X11 back end";
#endif
  // The clipboard through Qt, in clipboard mode only (never the selection).
  p.pasteboard = std::make_unique<QtPasteboard>();
  desktopOptions.pasteboard = p.pasteboard.get();
  p.desktop = std::make_unique<LinuxDesktop>(*p.main, desktopOptions);
#ifdef TESSAVINOR_HAVE_X11
  // The X11 back end is the desktop's keyboard handling here: it honours the
  // next-source hot key the engine binds, so a switch needs no fall-back.
  p.x11->honourHotKeys(p.desktop->hotKeyStore());
#endif
  p.settingsQueue = std::make_shared<SerialQueue>("com.Ovrelan.Tessavinor.settingsQueue");
  p.diagnosticsDisk = std::make_shared<SerialQueue>("com.Tessavinor.diagnosticsDiskQueue");
  p.background = std::make_shared<SerialQueue>("background");
  p.persist = std::make_shared<SerialQueue>("com.Ovrelan.Tessavinor.defaults");
  auto bundleID = p.desktop->workspace().bundleIdentifier();
  if (p.isRelaunch) {
    // The previous process is still saving its settings on its way out.
    waitForInstanceLockRelease(LaunchEnvironmentGuard::instanceLockLocation(bundleID).path, ::getpid(), 10.0, 0.1,
                               [](double s) { std::this_thread::sleep_for(std::chrono::duration<double>(s)); });
  }
  p.defaults = std::make_unique<UserDefaults>(Paths::defaultsFile(bundleID), p.persist,
                                              [&p](const std::string& line) {
                                                p.desktop->systemLog().console("Tessavinor: " + line);
                                              });

  p.ui = std::make_unique<UiFactories>(p.notifications);
  p.desktop->setScreens(&p.ui->screens());
  Platform platform = p.desktop->platform();
  for (const auto& area : p.desktop->unavailableAreas())
    platform.systemLog->console("Tessavinor: " + area + " - no back end on this desktop; reported as unavailable");

  p.alerts = std::make_unique<QtLaunchAlerts>(
      [&p] { return p.defaults ? setting::appLanguage.readFrom(*p.defaults) : setting::appLanguage.fallback; });
  LaunchGuardOptions guardOptions;
  guardOptions.isRelaunch = p.isRelaunch;
  p.guard = std::make_unique<LaunchEnvironmentGuard>(platform, *p.alerts, p.clock, guardOptions);
  p.shell = std::make_unique<QtShell>(
      [&p] { return p.ui->makeStatusItemView(); },
      [&p](StatusItemController& controller) {
        controller.setKeysUnavailableReason(p.keysUnavailableReason);
        p.ui->setStatusController(controller);
      },
      [&p](const std::string& title, double w, double h, std::function<void()> onClose) {
        return p.ui->makeDashboardWindow(title, w, h, std::move(onClose));
      });
  p.shell->setQuickPasteFactory(
      [&p](QuickPastePanelController& controller) { return p.ui->makeQuickPastePanel(controller); });

  EngineEnvironment env;
  env.platform = platform;
  env.runtime.clock = &p.clock;
  env.runtime.main = p.main.get();
  env.runtime.settingsQueue = p.settingsQueue;
  env.runtime.diagnosticsDisk = p.diagnosticsDisk;
  env.runtime.background = p.background;
  env.defaults = p.defaults.get();
  env.notifications = &p.notifications;
  env.telemetry = &TelemetryManager::shared();

  AppDelegateEnvironment app;
  app.platform = platform;
  app.main = p.main.get();
  app.clock = &p.clock;
  app.defaults = p.defaults.get();
  app.notifications = &p.notifications;
  app.shell = p.shell.get();
  app.pid = ::getpid();
  app.makeEngine = [env, &p] {
    auto engine = KeyboardEngine::create(env);
    KeyboardEngine::installShared(engine);
    p.repair = std::make_unique<AccessibilityRepair>(engine->accessibility(), engine->context(), engine->defaults(),
                                                     engine->hudNotices(), p.launcher,
                                                     AccessibilityRepair::currentExecutable(),
                                                     [&p] { p.delegate->quitApp(); });
    p.repair->install();
    return engine;
  };
  app.makeHud = [&p](KeyboardEngine& engine) {
    auto panel = UnifiedMenuPanel::create(hudEnvironmentFor(engine));
    UnifiedMenuPanel::installShared(panel);
    p.ui->attachHud(panel, engine);
    return panel;
  };
  app.runLaunchChecks = [&p](const std::string& bundle, int64_t pid) { return p.guard->runLaunchChecks(bundle, pid); };
  app.holdsInstanceLock = [&p] { return p.guard->holdsInstanceLock(); };
  app.warnStatusItemMissing = [&p](bool present) { p.guard->warnStatusItemMissing(present); };
  app.checkVocabularyUpdates = [](std::function<void(const std::string&)> done) {
    auto store = sharedVocabularyStore(KeyboardEngine::shared());
    if (!store) return;
    std::weak_ptr<VocabularyStore> weak = store;
    store->checkForUpdates(std::nullopt, [weak, done] {
      if (auto s = weak.lock(); s && done) done(s->updateStatus.get());
    });
  };
  p.delegate = AppDelegate::create(std::move(app));

  p.signalBridge = std::make_unique<SignalBridge>([&p](int) { p.shell->terminate(); });
  SuddenEndHooks hooks;
  hooks.save = [&p](bool quitAsked, std::chrono::steady_clock::time_point deadline) {
    // A SIGTERM with it: the session ended (a logout); without: the server died.
    p.delegate->applicationWillTerminateWithoutServer(quitAsked ? "logout" : "x_server_lost");
    p.defaults->synchronize();
    // The writes already due (the hot keys put back, the history's vault,
    // the journal and the log) finish, within the end's deadline: a queue
    // may be held in a call to the server that is gone, and the one this
    // thread runs gets nothing more done by waiting.
    for (auto* queue : {p.settingsQueue.get(), p.persist.get(), p.background.get(), p.diagnosticsDisk.get()})
      if (!queue->runsTasksOnCurrentThread()) waitForQueue(*queue, deadline);
  };
  hooks.serverGone = [] {
#ifdef TESSAVINOR_HAVE_X11
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 && x11->connection() && xcb_connection_has_error(x11->connection()) != 0;
#else
    return false;
#endif
  };
  hooks.quitAsked = [] { return SignalBridge::received(); };
  hooks.log = [&p](const std::string& line) { p.desktop->systemLog().console(line); };
  SuddenEnd::arm(std::move(hooks));
  QObject::connect(&p.app, &QCoreApplication::aboutToQuit, [&p] {
    p.delegate->applicationWillTerminate();
#ifdef TESSAVINOR_HAVE_X11
    // Whatever the engine left behind on the server goes back: grabs, the
    // lock state, the Caps Lock light's indicator map.
    p.x11->restore();
#endif
  });
  QObject::connect(&p.app, &QGuiApplication::applicationStateChanged, [&p](Qt::ApplicationState state) {
    if (state == Qt::ApplicationActive) p.delegate->applicationDidBecomeActive();
  });
}

TessavinorApp::~TessavinorApp() {
  // From here on the ordered teardown saves; a sudden end only ends.
  SuddenEnd::stopSaving();
  auto& p = *parts_;
  p.actions.reset();
#ifdef TESSAVINOR_HAVE_X11
  p.screenState.reset();
#endif
  p.lockWatcher.reset();
  if (auto engine = KeyboardEngine::shared()) engine->stopTapDeadManThread();
  p.ui.reset();
  p.repair.reset();
  p.delegate.reset();
  KeyboardEngine::installShared(nullptr);
  UnifiedMenuPanel::installShared(nullptr);
  p.persist->shutdown();
  p.diagnosticsDisk->shutdown();
  p.settingsQueue->shutdown();
  p.background->shutdown();
  parts_.reset();
  SuddenEnd::disarm();
}

int TessavinorApp::run() {
  auto& p = *parts_;
  // Start-up runs inside the event loop, so that its delayed steps and a
  // duplicate instance's alert have a loop to run in.
  QTimer::singleShot(0, &p.app, [&p] {
    if (!p.delegate->applicationDidFinishLaunching()) return;  // the duplicate alert ends the process
    p.sleepWatcher = std::make_unique<LogindSleepWatcher>(
        p.desktop->workspace(), *p.main, [&p](const std::string& line) {
          p.desktop->systemLog().console("Tessavinor: " + line);
        });
    auto log = [&p](const std::string& line) { p.desktop->systemLog().console("Tessavinor: " + line); };
    p.lockWatcher = std::make_unique<SessionLockWatcher>(p.desktop->workspace(), log);
#ifdef TESSAVINOR_HAVE_X11
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
      LinuxWorkspace* workspace = &p.desktop->workspace();
      p.screenState = X11ScreenState::open(
          nullptr, !p.lockWatcher->watchesDesktopScreenSaver(),
          [workspace](WorkspaceEvent event) { workspace->post(event); }, log);
      p.screenState->watch();
    }
#endif
    // Only the holder of the instance lock answers actions sent from outside.
    if (p.guard->holdsInstanceLock()) {
      std::string why;
      p.actions = InstanceChannel::listen(
          InstanceChannel::socketPathFor(p.guard->lockPath()), *p.main,
          [&p](const std::string& action) {
            p.desktop->systemLog().console("Tessavinor: action " + action + " from the command line");
            InstanceChannel::perform(*p.delegate, action);
          },
          &why);
      if (!p.actions) p.desktop->systemLog().console("Tessavinor: actions from the command line are off: " + why);
    } else {
      p.desktop->systemLog().console(
          "Tessavinor: actions from the command line are off: this instance holds no single-instance lock");
    }
    p.desktop->systemLog().console("Tessavinor: started");
  });
  int status = p.app.exec();
  p.desktop->systemLog().console("Tessavinor: quit");
  return status;
}

}  // namespace tessa
