// The whole application on a real X server: the real engine, started as the
// application starts it, behind the X11 back end, receiving keys typed
// through XTest and changing a real Qt field. The main queue runs on the real
// clock, pumped in the test's thread; every wait has a deadline and ends on a
// marker (the field's text, the server's state).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app_core/app_delegate.h"
#include "app_core/headless_shell.h"
#include "base/clock.h"
#include "base/files.h"
#include "base/notification_center.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "correction/typing_flow_controller.h"
#include "engine/keyboard_engine.h"
#include "platform/events.h"
#include "platform/linux/linux_desktop.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_event_system.h"
#include "support/temp_home.h"
#include "x11/support/pumped_main_queue.h"
#include "x11/support/unavailable.h"
#include "x11/support/x11_session.h"

// Xlib last: its macros (None, Bool, Status) would break the headers above.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>

namespace tessa {
namespace {

using x11test::PumpedMainQueue;
using x11test::TestField;
using x11test::XSession;

class KeystrokeRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    session = XSession::start(&why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    ASSERT_TRUE(session->setLayouts({"us", "th"}));
    session->resetKeyboardState();
    if (!session->startAccessibilityBus(&why)) TESSA_X11_UNAVAILABLE(why);
  }

  void TearDown() override {
    quit();
    if (auto engine = KeyboardEngine::shared()) engine->stopTapDeadManThread();
    KeyboardEngine::installShared(nullptr);
    delegate.reset();
    for (auto* q : {persist.get(), disk.get(), settings.get(), background.get()})
      if (q) q->shutdown();
    desktop.reset();
    x11.reset();
  }

  // The field first, focused, then the application, started as it starts.
  void launchWith(TestField::Kind kind, const std::string& text = "") {
    std::string why;
    field = TestField::start(*session, kind, text, &why);
    ASSERT_TRUE(field) << why;

    x11 = X11Desktop::open(main, {{"DISPLAY", session->displayName()}}, [this](const std::string& line) {
      std::lock_guard lock(logMutex);
      logs.push_back(line);
    });
    ASSERT_TRUE(x11->available()) << x11->reason();
    desktop = std::make_unique<LinuxDesktop>(main, x11->options());
    settings = std::make_shared<SerialQueue>("settings");
    disk = std::make_shared<SerialQueue>("diagnostics");
    background = std::make_shared<SerialQueue>("background");
    persist = std::make_shared<SerialQueue>("persist");
    defaults = std::make_unique<UserDefaults>(Paths::defaultsFile("com.Ovrelan.Tessavinor"), persist);

    EngineEnvironment env;
    env.platform = desktop->platform();
    env.runtime.clock = &clock;
    env.runtime.main = &main;
    env.runtime.settingsQueue = settings;
    env.runtime.diagnosticsDisk = disk;
    env.runtime.background = background;
    env.defaults = defaults.get();
    env.notifications = &notifications;

    AppDelegateEnvironment app;
    app.platform = env.platform;
    app.main = &main;
    app.clock = &clock;
    app.defaults = defaults.get();
    app.notifications = &notifications;
    app.shell = &shell;
    app.makeEngine = [env] {
      auto engine = KeyboardEngine::create(env);
      KeyboardEngine::installShared(engine);
      return engine;
    };
    app.runLaunchChecks = [](const std::string&, int64_t) { return true; };
    delegate = AppDelegate::create(std::move(app));
    ASSERT_TRUE(delegate->applicationDidFinishLaunching());
    engine = KeyboardEngine::shared();
    ASSERT_TRUE(engine);
    // Ready once the switcher key's remap has reached the tap.
    ASSERT_TRUE(main.pumpUntil([&] { return x11->events()->capsLockAsF19(); })) << engineLog();
  }

  // The application's quit, in its order: the delegate's shut-down, then the
  // back end puts the server back.
  void quit() {
    if (quitDone || !delegate) return;
    quitDone = true;
    delegate->applicationWillTerminate();
    x11->restore();
  }

  bool fieldShows(const std::string& text, double timeoutSeconds = 5.0) {
    return main.pumpUntil(
        [&] {
          auto s = field->state();
          last = s ? s->text : "<no state>";
          return s && s->text == text;
        },
        timeoutSeconds);
  }

  bool lockOn() {
    XkbStateRec s{};
    XkbGetState(session->display(), XkbUseCoreKbd, &s);
    return s.locked_mods & LockMask;
  }

  std::string engineLog() {
    std::string out;
    if (engine)
      for (const auto& l : engine->diagnosticLogs()) out += l + "\n";
    std::lock_guard lock(logMutex);
    for (const auto& l : logs) out += "x11: " + l + "\n";
    return out;
  }

  test::TempHome home;
  SystemClock clock;
  PumpedMainQueue main;
  std::unique_ptr<XSession> session;
  std::unique_ptr<TestField> field;
  std::unique_ptr<X11Desktop> x11;
  std::unique_ptr<LinuxDesktop> desktop;
  std::shared_ptr<SerialQueue> settings, disk, background, persist;
  std::unique_ptr<UserDefaults> defaults;
  NotificationCenter notifications;
  HeadlessShell shell;
  std::shared_ptr<AppDelegate> delegate;
  std::shared_ptr<KeyboardEngine> engine;
  bool quitDone = false;
  std::mutex logMutex;
  std::vector<std::string> logs;
  std::string last;
};

TEST_F(KeystrokeRoadTest, KeysTypedDuringACapsLockSwitchArriveInTheNewLayoutInOrder) {
  launchWith(TestField::Kind::line);
  if (HasFatalFailure()) return;
  // Once a switch has landed, the next tap is the user's, not key chatter.
  auto switchLanded = [&](uint32_t group) {
    return main.pumpUntil([&] {
      auto* flow = engine->flow.flowController.get();
      return session->lockedGroup() == group && !engine->switcher.isTogglingF19 && flow && flow->state().isIdle() &&
             !flow->hasQueuedEvents() && !flow->isReleasing();
    });
  };

  ASSERT_TRUE(session->typeUsKeys("a"));
  ASSERT_TRUE(fieldShows("a")) << last << "\n" << engineLog();

  // The tap and the next key at once: the key is held through the switch.
  ASSERT_TRUE(session->tapKey(keycode::capsLock));
  ASSERT_TRUE(session->typeUsKeys("n"));
  EXPECT_TRUE(fieldShows("aื")) << last << "\n" << engineLog();
  ASSERT_TRUE(switchLanded(1));
  EXPECT_FALSE(lockOn()) << "the switcher key leaves the lock alone";

  // A burst straight after the tap back, and one after the next tap.
  ASSERT_TRUE(session->tapKey(keycode::capsLock));
  ASSERT_TRUE(session->typeUsKeys("ok"));
  ASSERT_TRUE(switchLanded(0));
  ASSERT_TRUE(session->tapKey(keycode::capsLock));
  ASSERT_TRUE(session->typeUsKeys("l;ylfu"));
  EXPECT_TRUE(fieldShows("aืokสวัสดี")) << last << "\n" << engineLog();
  EXPECT_TRUE(switchLanded(1));
}

TEST_F(KeystrokeRoadTest, APasswordFieldGetsItsKeysUntouched) {
  launchWith(TestField::Kind::password);
  if (HasFatalFailure()) return;

  ASSERT_TRUE(session->typeUsKeys("Pa55;word"));
  EXPECT_TRUE(fieldShows("Pa55;word")) << last << "\n" << engineLog();
}

TEST_F(KeystrokeRoadTest, QuitPutsCapsLockBackAsAPlainLockKey) {
  launchWith(TestField::Kind::line);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(session->typeUsKeys("a"));
  ASSERT_TRUE(fieldShows("a")) << last << "\n" << engineLog();

  quit();
  EXPECT_FALSE(x11->events()->capsLockAsF19()) << engineLog();
  ASSERT_TRUE(session->tapKey(keycode::capsLock));
  EXPECT_TRUE(main.pumpUntil([&] { return lockOn(); })) << "Caps Lock locks again";
  EXPECT_EQ(session->lockedGroup(), 0u) << "and switches nothing";
  ASSERT_TRUE(session->typeUsKeys("b"));
  EXPECT_TRUE(fieldShows("aB")) << last;
  session->tapKey(keycode::capsLock);
}

// The retyped word carries text the layouts have no single key for (a
// consonant with its vowel mark), and its first keys may be posted before
// the switch to the second group has landed: it must still read as typed.
TEST_F(KeystrokeRoadTest, AWordTypedInTheWrongLayoutIsConvertedAndTheConversionUndone) {
  launchWith(TestField::Kind::line);
  if (HasFatalFailure()) return;

  ASSERT_TRUE(session->typeUsKeys("l;ylfu"));
  ASSERT_TRUE(fieldShows("l;ylfu")) << last << "\n" << engineLog();

  auto chord = [&](uint16_t key) {
    session->pressKey(keycode::control, true);
    session->tapKey(key, true);
    session->pressKey(keycode::control, false);
  };
  chord(keycode::x);
  EXPECT_TRUE(fieldShows("สวัสดี")) << last << "\n" << engineLog();
  // Undo applies to a conversion the engine has checked on screen.
  ASSERT_TRUE(main.pumpUntil([&] { return engineLog().find("cycleCurrentWordLanguage: converted") != std::string::npos; },
                             5.0))
      << engineLog();
  chord(keycode::z);
  EXPECT_TRUE(fieldShows("l;ylfu")) << last << "\n" << engineLog();
}

// The filtering tap alone, passing every key: a key pressed in the second
// group reaches the field in that group, as it does with no tap at all (a
// core passive grab replays it in the first group).
TEST_F(KeystrokeRoadTest, APassedKeyTypesInTheServersGroup) {
  std::string why;
  field = TestField::start(*session, TestField::Kind::line, "", &why);
  ASSERT_TRUE(field) << why;
  x11 = X11Desktop::open(main, {{"DISPLAY", session->displayName()}}, nullptr);
  ASSERT_TRUE(x11->available()) << x11->reason();
  auto& events = *x11->events();
  TapId tap = events.createTap(TapLocation::hid, true, TapOptions::defaultTap, eventMaskBit(EventType::keyDown),
                               [](TapId, EventType, const Event& e) { return std::optional<Event>(e); });
  events.addTapToRunLoop(tap);
  events.enableTap(tap, true);
  events.flush();

  session->lockGroup(1);
  ASSERT_TRUE(session->typeUsKeys("n"));
  EXPECT_TRUE(fieldShows("ื")) << last;
}

}  // namespace
}  // namespace tessa
