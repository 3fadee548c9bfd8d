#pragma once
// The whole application on a private X session: the real engine, started as
// the application starts it (through the AppDelegate), behind the X11 back
// ends, receiving what XTest types and changing a real Qt field. The main
// queue runs on the real clock and is pumped by its owner's thread, so the
// owner decides when the engine's work runs and can wait on markers.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/clock.h"
#include "base/task_runner.h"

namespace tessa {
class AppDelegate;
class HeadlessShell;
class KeyboardEngine;
class LinuxDesktop;
class NotificationCenter;
class UnifiedMenuPanel;
class UserDefaults;
class X11Desktop;
}  // namespace tessa

namespace tessa::xsession {

class XSession;

// The application's main queue on the real clock, run only when its owner
// pumps it, on the owner's thread.
class PumpedMainQueue final : public TaskRunner {
 public:
  TaskHandle postDelayed(double delaySeconds, Task task) override;
  bool runsTasksOnCurrentThread() const override { return std::this_thread::get_id() == owner_; }
  void runSync(Task task) override;

  // Runs everything due now, including what that work posts for now.
  void pump();
  // Pumps until `done` holds; false when the deadline passes first.
  bool pumpUntil(const std::function<bool()>& done, double timeoutSeconds = 5.0);
  // Runs on every turn of pumpUntil(), before the due tasks: the toolkit's
  // own event processing, for a caller that also hosts Qt objects.
  void setEachTurn(std::function<void()> work) { eachTurn_ = std::move(work); }
  // Sleeps until the next task falls due, a task is posted, or `maxSeconds`
  // pass, whichever is first: the back end's threads post the answers the
  // engine waits for, and a fixed nap would delay each by up to its length.
  void waitForWork(double maxSeconds);
  SystemClock& clock() { return clock_; }
  const SystemClock& clock() const { return clock_; }

 private:
  struct Item {
    Task task;
    std::shared_ptr<std::atomic<bool>> cancelled;
  };
  SystemClock clock_;
  std::thread::id owner_ = std::this_thread::get_id();
  std::mutex mutex_;
  std::condition_variable posted_;
  std::map<std::pair<double, uint64_t>, Item> items_;
  uint64_t next_ = 0;
  std::function<void()> eachTurn_;
};

struct X11ApplicationOptions {
  // Written to the preferences before the engine starts.
  nlohmann::json defaults = nlohmann::json::object();
  // The HUD panel, for the notices it shows.
  bool withHud = true;
  // How long a grabbed press may wait for the engine before it passes.
  double handlerBudgetSeconds = 1.0;
  // The user turned the desktop's accessibility on before this start, as
  // their grant does (the session's switch is turned on first). False: a
  // fresh account, where no tap starts until the user grants access, so
  // launch does not wait for one.
  bool accessibilityOn = true;
};

// Launch after the focused window is up: the engine reads the focus at start.
// The program's files live in a temporary home of its own for its lifetime.
class X11Application {
 public:
  // Null, with the reason in `why`, when the back ends do not come up, the
  // accessibility switch cannot be turned on, or the engine's tap is not
  // ready in time.
  static std::unique_ptr<X11Application> launch(const XSession& session, X11ApplicationOptions options,
                                                std::string* why = nullptr);
  ~X11Application();
  X11Application(const X11Application&) = delete;
  X11Application& operator=(const X11Application&) = delete;

  PumpedMainQueue& main() { return main_; }
  double uptime() const { return main_.clock().uptime(); }
  // When the application's start-up began.
  double launchedAt() const { return launchedAt_; }
  KeyboardEngine& engine() const { return *engine_; }
  X11Desktop& x11() const { return *x11_; }
  AppDelegate& delegate() const { return *delegate_; }
  UserDefaults& defaults() const { return *defaults_; }
  // Null without a HUD.
  UnifiedMenuPanel* hud() const;

  // Runs each action at its time, in seconds from now, pumping the main queue
  // between them, and goes on pumping until `until` seconds from now.
  struct Timed {
    double at = 0;
    std::function<void()> action;
  };
  void play(const std::vector<Timed>& timeline, double until);

  // A switch is being held, held keys wait, or they are being replayed.
  bool holding() const;
  // Pumps until no hold is open and the locked group is `group`.
  bool waitForSwitchLanded(uint32_t group, const XSession& session, double timeoutSeconds = 5.0);
  // Pumps until the engine's keyboard tap holds the keyboard (and, with Caps
  // Lock as the switcher, its remap has reached the tap).
  bool waitForTap(double timeoutSeconds);

  // The application's quit, in its order: the delegate's shut-down, then the
  // back end puts the server back. Once only.
  void quit();
  bool hasQuit() const { return quit_; }

  // What the X11 back end logged.
  std::vector<std::string> backendLog() const;
  // The engine's diagnostic log and the back end's, for a failure message.
  std::string diagnostics() const;

 private:
  X11Application() = default;
  struct Home;

  std::unique_ptr<Home> home_;
  PumpedMainQueue main_;
  std::unique_ptr<X11Desktop> x11_;
  std::unique_ptr<LinuxDesktop> desktop_;
  std::shared_ptr<SerialQueue> settings_, disk_, background_, persist_;
  std::unique_ptr<UserDefaults> defaults_;
  std::unique_ptr<NotificationCenter> notifications_;
  std::unique_ptr<HeadlessShell> shell_;
  std::shared_ptr<AppDelegate> delegate_;
  std::shared_ptr<KeyboardEngine> engine_;
  double launchedAt_ = 0;
  bool quit_ = false;
  mutable std::mutex logMutex_;
  std::vector<std::string> logs_;
};

}  // namespace tessa::xsession
