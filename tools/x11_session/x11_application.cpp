#include "x11_session/x11_application.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>

#include "app_core/app_delegate.h"
#include "app_core/headless_shell.h"
#include "base/files.h"
#include "base/notification_center.h"
#include "base/user_defaults.h"
#include "engine/hud_notices.h"
#include "engine/keyboard_engine.h"
#include "hud/unified_menu_panel.h"
#include "platform/linux/linux_desktop.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_event_system.h"
#include "reliability/telemetry_manager.h"
#include "typing/typing_flow_controller.h"
#include "x11_session/x11_session.h"

namespace tessa::xsession {

// ------------------------------------------------------------ main queue

TaskHandle PumpedMainQueue::postDelayed(double delaySeconds, Task task) {
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  double due = clock_.uptime() + (delaySeconds > 0 ? delaySeconds : 0.0);
  {
    std::lock_guard lock(mutex_);
    items_.emplace(std::make_pair(due, next_++), Item{std::move(task), cancelled});
  }
  posted_.notify_all();
  return TaskHandle(cancelled);
}

void PumpedMainQueue::runSync(Task task) {
  if (runsTasksOnCurrentThread()) {
    task();
    return;
  }
  detail::postAndWait(*this, std::move(task));
}

void PumpedMainQueue::pump() {
  for (;;) {
    Item item;
    {
      std::lock_guard lock(mutex_);
      if (items_.empty() || items_.begin()->first.first > clock_.uptime()) return;
      item = std::move(items_.begin()->second);
      items_.erase(items_.begin());
    }
    if (!item.cancelled->load()) item.task();
  }
}

bool PumpedMainQueue::pumpUntil(const std::function<bool()>& done, double timeoutSeconds) {
  double deadline = clock_.uptime() + timeoutSeconds;
  for (;;) {
    if (eachTurn_) eachTurn_();
    pump();
    if (done()) return true;
    if (clock_.uptime() > deadline) return false;
    waitForWork(0.001);
  }
}

void PumpedMainQueue::waitForWork(double maxSeconds) {
  std::unique_lock lock(mutex_);
  const uint64_t seen = next_;
  double wait = maxSeconds;
  if (!items_.empty()) wait = std::min(wait, items_.begin()->first.first - clock_.uptime());
  if (wait <= 0) return;
  posted_.wait_for(lock, std::chrono::duration<double>(wait), [&] { return next_ != seen; });
}

// ------------------------------------------------------------ application

struct X11Application::Home {
  Home() {
    char tmpl[] = "/tmp/tessavinor-x11-XXXXXX";
    if (char* dir = ::mkdtemp(tmpl)) path = dir;
    if (const char* old = std::getenv("TESSAVINOR_HOME")) previous = old;
    ::setenv("TESSAVINOR_HOME", path.c_str(), 1);
  }
  ~Home() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
    if (previous)
      ::setenv("TESSAVINOR_HOME", previous->c_str(), 1);
    else
      ::unsetenv("TESSAVINOR_HOME");
  }
  std::filesystem::path path;
  std::optional<std::string> previous;
};

std::unique_ptr<X11Application> X11Application::launch(const XSession& session, X11ApplicationOptions options,
                                                       std::string* why) {
  auto fail = [why](const std::string& reason) {
    if (why) *why = reason;
    return nullptr;
  };
  if (options.accessibilityOn && !session.turnAccessibilityOn(why)) return nullptr;
  std::unique_ptr<X11Application> a(new X11Application());
  a->home_ = std::make_unique<Home>();
  auto* raw = a.get();
  a->x11_ = X11Desktop::open(
      a->main_, {{"DISPLAY", session.displayName()}},
      [raw](const std::string& line) {
        std::lock_guard lock(raw->logMutex_);
        raw->logs_.push_back(line);
      },
      options.handlerBudgetSeconds);
  if (!a->x11_->available()) return fail("no X11 back end: " + a->x11_->reason());
  a->desktop_ = std::make_unique<LinuxDesktop>(a->main_, a->x11_->options());
  a->x11_->honourHotKeys(a->desktop_->hotKeyStore());
  a->settings_ = std::make_shared<SerialQueue>("settings");
  a->disk_ = std::make_shared<SerialQueue>("diagnostics");
  a->background_ = std::make_shared<SerialQueue>("background");
  a->persist_ = std::make_shared<SerialQueue>("persist");
  a->defaults_ = std::make_unique<UserDefaults>(Paths::defaultsFile("com.Ovrelan.Tessavinor"), a->persist_);
  for (auto it = options.defaults.begin(); it != options.defaults.end(); ++it) a->defaults_->set(it.key(), it.value());
  a->notifications_ = std::make_unique<NotificationCenter>();
  a->shell_ = std::make_unique<HeadlessShell>();

  EngineEnvironment env;
  env.platform = a->desktop_->platform();
  env.runtime.clock = &a->main_.clock();
  env.runtime.main = &a->main_;
  env.runtime.settingsQueue = a->settings_;
  env.runtime.diagnosticsDisk = a->disk_;
  env.runtime.background = a->background_;
  env.defaults = a->defaults_.get();
  env.notifications = a->notifications_.get();
  env.telemetry = &TelemetryManager::shared();

  AppDelegateEnvironment app;
  app.platform = env.platform;
  app.main = &a->main_;
  app.clock = &a->main_.clock();
  app.defaults = a->defaults_.get();
  app.notifications = a->notifications_.get();
  app.shell = a->shell_.get();
  app.makeEngine = [env] {
    auto engine = KeyboardEngine::create(env);
    KeyboardEngine::installShared(engine);
    return engine;
  };
  if (options.withHud) {
    app.makeHud = [](KeyboardEngine& engine) {
      auto panel = UnifiedMenuPanel::create(hudEnvironmentFor(engine));
      UnifiedMenuPanel::installShared(panel);
      return panel;
    };
  }
  // A private server has no other instance of us.
  app.runLaunchChecks = [](const std::string&, int64_t) { return true; };
  a->delegate_ = AppDelegate::create(std::move(app));
  a->launchedAt_ = a->uptime();
  if (!a->delegate_->applicationDidFinishLaunching()) return fail("the application did not start");
  a->engine_ = KeyboardEngine::shared();
  if (!a->engine_) return fail("the application started no engine");

  if (options.accessibilityOn && !a->waitForTap(10.0))
    return fail("the engine's keyboard tap was not ready in time\n" + a->diagnostics());
  return a;
}

bool X11Application::waitForTap(double timeoutSeconds) {
  // Before the Caps Lock remap reaches the tap, a tap would lock.
  auto& events = *x11_->events();
  const bool capsSwitcher = engine_->switcherKey.get() == SwitcherKey::capslock;
  const bool ready = main_.pumpUntil(
      [&] {
        TapId tap = engine_->tap.eventTap;
        return tap != 0 && events.isTapValid(tap) && events.isTapEnabled(tap) &&
               (!capsSwitcher || events.capsLockAsF19());
      },
      timeoutSeconds);
  events.flush();
  return ready;
}

X11Application::~X11Application() {
  if (delegate_) quit();
  if (engine_) engine_->stopTapDeadManThread();
  KeyboardEngine::installShared(nullptr);
  UnifiedMenuPanel::installShared(nullptr);
  engine_.reset();
  delegate_.reset();
  for (auto* q : {persist_.get(), disk_.get(), settings_.get(), background_.get()})
    if (q) q->shutdown();
  desktop_.reset();
  x11_.reset();
}

UnifiedMenuPanel* X11Application::hud() const { return delegate_ ? delegate_->hud() : nullptr; }

void X11Application::play(const std::vector<Timed>& timeline, double until) {
  const double origin = uptime();
  size_t next = 0;
  for (;;) {
    const double now = uptime() - origin;
    while (next < timeline.size() && timeline[next].at <= now) timeline[next++].action();
    main_.pump();
    if (next == timeline.size() && now >= until) return;
    // Until the next action, or the engine's next task or post.
    const double wake = origin + (next < timeline.size() ? timeline[next].at : until);
    main_.waitForWork(std::clamp(wake - uptime(), 0.0, 0.001));
  }
}

bool X11Application::holding() const {
  const auto* flow = engine_->flow.flowController.get();
  return engine_->switcher.isTogglingF19 ||
         (flow && (!flow->state().isIdle() || flow->hasQueuedEvents() || flow->isReleasing()));
}

bool X11Application::waitForSwitchLanded(uint32_t group, const XSession& session, double timeoutSeconds) {
  return main_.pumpUntil([&] { return session.lockedGroup() == group && !holding(); }, timeoutSeconds);
}

void X11Application::quit() {
  if (quit_ || !delegate_) return;
  quit_ = true;
  delegate_->applicationWillTerminate();
  x11_->restore();
}

std::vector<std::string> X11Application::backendLog() const {
  std::lock_guard lock(logMutex_);
  return logs_;
}

std::string X11Application::diagnostics() const {
  std::string out;
  if (engine_)
    for (const auto& l : engine_->diagnosticLogs()) out += l + "\n";
  for (const auto& l : backendLog()) out += "x11: " + l + "\n";
  return out;
}

}  // namespace tessa::xsession
