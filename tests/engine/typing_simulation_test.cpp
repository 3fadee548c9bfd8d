#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>

#include "typing/typing_flow_controller.h"
#include "support/delaying_events.h"
#include "support/key_road_fixture.h"

namespace tessa {
namespace {

using test::DelayingEvents;

using test::KeyRoadFixture;

// The simulated event system plus a global key-down monitor a test can fire,
// as the window system would for keys typed into other applications.
class MonitoredEvents final : public test::ForwardingEvents {
 public:
  using ForwardingEvents::ForwardingEvents;
  Subscription addGlobalKeyDownMonitor(std::function<void(const Event&)> handler) override {
    auto holder = std::make_shared<std::function<void(const Event&)>>(std::move(handler));
    monitors_.push_back(holder);
    ++installed;
    return Subscription(holder);
  }
  // Delivers a key down to the live monitors; false when there is none.
  bool fire(uint16_t keyCode, uint64_t flags) {
    Event e;
    e.type = EventType::keyDown;
    e.keyCode = keyCode;
    e.flags = flags;
    bool any = false;
    for (auto& w : monitors_)
      if (auto h = w.lock()) {
        (*h)(e);
        any = true;
      }
    return any;
  }
  int installed = 0;

 private:
  std::vector<std::weak_ptr<std::function<void(const Event&)>>> monitors_;
};

struct PauseFixture : KeyRoadFixture {
  PauseFixture() : monitored(desktop.events()) { platform.events = &monitored; }
  MonitoredEvents monitored;
};

// Runs with the process's local time zone set to `tz`.
class TimeZone {
 public:
  explicit TimeZone(const char* tz) {
    if (const char* old = std::getenv("TZ")) old_ = old;
    setenv("TZ", tz, 1);
    tzset();
  }
  ~TimeZone() {
    if (old_)
      setenv("TZ", old_->c_str(), 1);
    else
      unsetenv("TZ");
    tzset();
  }

 private:
  std::optional<std::string> old_;
};

double utc(int y, int mo, int d, int h, int mi, int s) {
  std::tm t{};
  t.tm_year = y - 1900;
  t.tm_mon = mo - 1;
  t.tm_mday = d;
  t.tm_hour = h;
  t.tm_min = mi;
  t.tm_sec = s;
  return static_cast<double>(timegm(&t));
}

// ------------------------------------------------------------ simulation

TEST(TypingSimulation, KeysTypedDuringNestedSimulationsAreReplayedOnceInOrder3msApart) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  e->beginTypingSimulation();
  e->beginTypingSimulation();
  f.desktop.typeText("ab", 0.02);
  f.advance(0.1);
  e->endTypingSimulation();
  f.settle();
  EXPECT_EQ(f.desktop.focusedField()->text(), "") << "the inner end replays nothing";
  f.desktop.events().clearPosted();
  e->endTypingSimulation();
  f.settle();
  EXPECT_TRUE(f.systemLog.contains("Releasing 4 user keystrokes buffered during simulation", "Keyboard"));
  f.advance(0.05);
  EXPECT_EQ(f.desktop.focusedField()->text(), "ab");
  // Keystrokes 3 ms apart, each released with its press: the user had let
  // go of both keys already.
  std::vector<double> times;
  for (const auto& ev : f.desktop.postedEvents())
    if (!ev.isTagged()) times.push_back(ev.timestamp);
  ASSERT_EQ(times.size(), 4u);
  EXPECT_EQ(times[1], times[0]);
  EXPECT_NEAR(times[2] - times[0], 0.003, 1e-9);
  EXPECT_EQ(times[3], times[2]);
  EXPECT_FALSE(e->isSimulatingTyping());
}

TEST(TypingSimulation, AnUnbalancedEndChangesNothing) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->endTypingSimulation();
  f.settle();
  EXPECT_FALSE(e->isSimulatingTyping());
  std::lock_guard lock(e->typingSimulation.lock);
  EXPECT_EQ(e->typingSimulation.simulationCount, 0);
  EXPECT_FALSE(e->typingSimulation.lastSimulationStartTime.has_value());
}

TEST(TypingSimulation, AStuckSimulationIsResetAndTheCurrentKeyLandsAfterTheHeldOnes) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  e->beginTypingSimulation();  // never ended
  f.desktop.typeText("ab", 0.02);
  f.advance(2.1);
  f.desktop.typeText("c", 0.02);
  f.advance(0.2);
  EXPECT_TRUE(f.systemLog.contains("simulationCount leak detected (1). Force resetting.", "Keyboard"));
  EXPECT_FALSE(e->isSimulatingTyping());
  EXPECT_EQ(f.desktop.focusedField()->text(), "abc");
}

// An edit waiting for a busy application to take its keys says so: keys are
// held behind it past the usual limit, until its wait runs out; an earlier
// wait gives a later simulation no grace.
TEST(TypingSimulation, ASimulationAnEditWaitsOnIsNotTakenForStuckUntilTheWaitRunsOut) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  auto typeAfter = [&](double wait, const char* text) {
    f.advance(wait);
    f.desktop.typeText(text, 0.02);
    f.advance(0.1);
    return f.desktop.focusedField()->text();
  };
  e->beginTypingSimulation();
  e->extendTypingSimulation(3.5);
  EXPECT_EQ(typeAfter(2.5, "a"), "") << "held behind the edit";
  EXPECT_EQ(typeAfter(1.0, "b"), "ab") << "the wait is over: the usual rule again";

  e->beginTypingSimulation();
  e->extendTypingSimulation(10.0);
  e->endTypingSimulation();
  e->beginTypingSimulation();  // never ends
  EXPECT_EQ(typeAfter(2.1, "c"), "abc");
}

TEST(TypingSimulation, AKeyTypedWhileTheReplayDrainsLandsAfterIt) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  e->beginTypingSimulation();
  f.desktop.typeText("abcd", 0.01);
  f.advance(0.1);
  e->endTypingSimulation();
  f.settle();  // the replay has begun: the first key is out
  f.desktop.typeText("z", 0.001);
  f.advance(0.2);
  EXPECT_EQ(f.desktop.focusedField()->text(), "abcdz");
}

// A window system that stamps posted events with its own time, as an X
// server does, instead of handing back the poster's time stamp.
class RestampingEvents final : public test::ForwardingEvents {
 public:
  using ForwardingEvents::ForwardingEvents;
  void post(TapLocation l, const Event& e) override {
    Event restamped = e;
    restamped.timestamp = e.timestamp + 0.0004;
    inner_.post(l, restamped);
  }
};

TEST(TypingSimulation, ReplayedKeysAreKnownWhenTheSystemRestampsThemAndAKeyTypedMeanwhileStillCounts) {
  KeyRoadFixture f;
  RestampingEvents restamping(f.desktop.events());
  f.platform.events = &restamping;
  auto e = f.startEngine();
  e->createEventTap();
  e->beginTypingSimulation();
  f.desktop.typeText("abcd", 0.01);
  f.advance(0.1);
  e->endTypingSimulation();
  f.settle();
  f.desktop.typeText("a", 0.001);  // same key as one in flight: still the user's, after the replay
  f.advance(0.5);
  EXPECT_EQ(f.desktop.focusedField()->text(), "abcda");
}

// "ab" typed during a simulation and replayed as it ends, through a window
// system that holds posted keys back, as an X server does behind a grab.
struct HeldBackReplay : ::testing::Test {
  KeyRoadFixture f;
  DelayingEvents delaying{f.desktop.events()};
  std::shared_ptr<KeyboardEngine> e;

  void SetUp() override {
    f.platform.events = &delaying;
    e = f.startEngine();
    e->createEventTap();
    e->beginTypingSimulation();
    delaying.holding = false;
    f.desktop.typeText("ab", 0.01);
    f.advance(0.1);
    delaying.holding = true;
    e->endTypingSimulation();
  }
  // After the held-back keys are let go: "abc", and the window saw c's
  // press before its release.
  void expectCAfterTheReplayPressedThenReleased() {
    delaying.letGo();
    f.advance(0.5);
    EXPECT_EQ(f.desktop.focusedField()->text(), "abc");
    std::vector<EventType> c;
    for (const auto& ev : f.desktop.applicationEvents())
      if (ev.keyCode == keycode::c) c.push_back(ev.type);
    EXPECT_EQ(c, (std::vector<EventType>{EventType::keyDown, EventType::keyUp}));
  }
};

TEST_F(HeldBackReplay, AKeyPressedWhileTheReplaysLastKeysAreOnTheirWayLandsAfterThem) {
  f.advance(0.05);  // the replay posted every key; none has come back yet
  ASSERT_FALSE(e->typingSimulation.isReplaying);
  ASSERT_GE(delaying.heldCount(), 2u);
  // Held a while: its release comes once the replay has ended, and still
  // follows its press, which went out again behind the replayed keys.
  f.desktop.typeText("c", 0.2);
  f.advance(0.15);
  expectCAfterTheReplayPressedThenReleased();
}

// The user's press of a key whose replayed press is still on its way looks
// the same as ours coming back; taken for it, it would land ahead of the
// replay, and ours, back later, would go out again behind it.
TEST_F(HeldBackReplay, AUsersPressOfAReplayedKeyStillOnItsWayIsNotTakenForOurs) {
  f.advance(0.05);
  ASSERT_GE(delaying.heldCount(), 2u);
  f.desktop.typeText("b", 0.01);
  f.advance(0.05);
  delaying.letGo();
  f.advance(0.5);
  EXPECT_EQ(f.desktop.focusedField()->text(), "abb");
}

// A key pressed while the replay still drains joins its tail; released after
// the replay has ended, its release still follows its press out again,
// instead of overtaking it and leaving the key down for the window system.
TEST_F(HeldBackReplay, AKeyThatJoinedTheReplaysTailIsReleasedAfterItsPressWhenTheReplayHasEnded) {
  f.advance(0.001);
  ASSERT_TRUE(e->typingSimulation.isReplaying);
  f.desktop.typeText("c", 0.2);
  f.advance(0.1);
  ASSERT_FALSE(e->typingSimulation.isReplaying);
  f.advance(0.15);  // released now, with the replay over and its keys on their way
  expectCAfterTheReplayPressedThenReleased();
}

// The same with the held keys of a switch: they go out as the new layout
// lands, and a key the user presses while they are on their way follows them.
TEST(TypingSimulation, AKeyPressedWhileASwitchsHeldKeysAreOnTheirWayLandsAfterThem) {
  KeyRoadFixture f;
  DelayingEvents delaying(f.desktop.events());
  delaying.holding = false;
  f.platform.events = &delaying;
  auto e = f.startEngine();
  e->createEventTap();
  e->applyModeSettings();
  f.settle();
  ASSERT_TRUE(f.desktop.capsLockRemappedToF19());
  f.desktop.setSwitchLatency(0.05);
  f.desktop.press("capslock");
  f.desktop.typeText("ab", 0.005, 0.01);
  f.advance(0.02);
  delaying.holding = true;  // from here on posted keys wait
  auto letGoOfAll = [&] {
    return e->flow.flowController->state().kind == TypingFlowState::Kind::idle && delaying.heldCount() >= 4;
  };
  for (int i = 0; i < 200 && !letGoOfAll(); ++i) f.advance(0.005);
  ASSERT_TRUE(letGoOfAll()) << "the switch let its held keys go";
  f.desktop.typeText("k", 0.001);
  f.advance(0.05);
  delaying.letGo();
  f.advance(1.0);
  EXPECT_EQ(f.desktop.currentSource(), "com.apple.keylayout.Thai");
  EXPECT_EQ(f.desktop.focusedField()->text(), "ฟิา");
}

TEST(TypingSimulation, ASimulationThatNeverEndsCannotHoldTheReplayForGood) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  e->beginTypingSimulation();
  f.desktop.typeText("ab", 0.01);
  f.advance(0.1);
  e->endTypingSimulation();
  f.settle();                  // the replay has begun
  e->beginTypingSimulation();  // and is held by a simulation that never ends
  f.advance(2.5);
  f.desktop.typeText("c", 0.01);
  f.advance(0.2);
  EXPECT_TRUE(f.systemLog.contains("simulationCount leak detected (1). Force resetting.", "Keyboard"));
  EXPECT_EQ(f.desktop.focusedField()->text(), "abc");
}

// A chord typed while the replay drains joins its tail and is ours in its
// turn, never posted: on X11 our posted keys go around the grab, and it
// would reach the application as a shortcut of its own (Control+Shift+Z is
// its redo).
TEST(TypingSimulation, AChordTypedWhileTheReplayDrainsActsOnlyAfterIt) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  e->beginTypingSimulation();
  f.desktop.typeText("ab", 0.01);
  f.advance(0.1);
  e->endTypingSimulation();
  f.settle();
  f.desktop.events().clearPosted();
  for (uint16_t key : {keycode::control, keycode::shift, keycode::x}) f.desktop.keyDown(key);
  f.advance(0.2);
  std::vector<uint16_t> order;
  for (const auto& ev : f.desktop.postedEvents())
    if (!ev.isTagged() && ev.type == EventType::keyDown) order.push_back(ev.keyCode);
  EXPECT_EQ(order, std::vector<uint16_t>{keycode::b});
  EXPECT_TRUE(f.logged("converted a 2-character word")) << "the chord acted once b had landed";
  EXPECT_TRUE(e->isSmartCorrectionEnabled.get());
  // Released after the replay it joined has drained, it holds nothing.
  f.desktop.keyUp(keycode::x);
  f.advance(0.05);
  for (uint16_t key : {keycode::shift, keycode::control}) f.desktop.keyUp(key);
  f.advance(0.5);
  EXPECT_FALSE(e->holdsKeys());
}

// The key-up of a hot-key chord comes after its key-down was swallowed, at
// once or while the edit the chord started is typing. The application never
// saw the key go down, so it never sees it go up: not passed, not held with
// the user's keys and replayed after the edit (on X11 that replayed release
// landed on a key the server had let go of, and cost the next chord).
TEST(TypingSimulation, TheKeyUpOfAHotKeyChordIsNeitherPassedNorReplayed) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  auto chordKeyReachedTheApplication = [&](uint16_t code) {
    return std::any_of(f.desktop.applicationEvents().begin(), f.desktop.applicationEvents().end(),
                       [&](const Event& ev) { return ev.keyCode == code; });
  };
  f.desktop.press("ctrl+shift+z");
  f.advance(0.1);
  EXPECT_FALSE(chordKeyReachedTheApplication(keycode::z)) << "released at once";

  f.desktop.keyDown(keycode::control);
  f.desktop.keyDown(keycode::shift);
  f.desktop.keyDown(keycode::x);
  f.settle();
  e->beginTypingSimulation();  // the edit the chord started is typing
  f.desktop.keyUp(keycode::x);
  f.desktop.keyUp(keycode::shift);
  f.desktop.keyUp(keycode::control);
  f.settle();
  e->endTypingSimulation();
  f.desktop.typeText("b", 0.01);
  f.advance(0.5);
  EXPECT_FALSE(chordKeyReachedTheApplication(keycode::x)) << "released while the edit typed";
  EXPECT_TRUE(chordKeyReachedTheApplication(keycode::b)) << "keys after it still arrive";
  EXPECT_EQ(f.desktop.focusedField()->text(), "b");
}

// ------------------------------------------------------------------ pause

TEST(Pause, PausingDisablesTheTapsShowsTheNoticeAndResumesOnTime) {
  PauseFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  e->pause(2.0, false);
  EXPECT_TRUE(e->isPaused.get());
  EXPECT_TRUE(f.logged("Engine pause() requested for 2.0 hours"));
  EXPECT_FALSE(f.desktop.events().isTapEnabled(e->tap.eventTap));
  EXPECT_FALSE(f.desktop.events().isTapEnabled(e->tap.mouseTap));
  EXPECT_NE(e->tap.eventTap, 0u) << "kept, only disabled";
  f.settle();
  EXPECT_TRUE(f.showedNotice("Tessavinor ถูกระงับการทำงาน")) << "no suffix for 2 hours";
  auto names = f.notifications.postedNames();
  EXPECT_NE(std::find(names.begin(), names.end(), notification::appPauseStateChanged), names.end());

  f.advance(2 * 3600 - 1);
  EXPECT_TRUE(e->isPaused.get());
  f.advance(2);
  EXPECT_FALSE(e->isPaused.get());
  EXPECT_TRUE(f.logged("pauseTimer fired after 2.0 hours — resuming engine"));
  EXPECT_TRUE(f.desktop.events().isTapEnabled(e->tap.eventTap));
}

TEST(Pause, OneHourSaysSoInTheNotice) {
  PauseFixture f;
  auto e = f.startEngine();
  e->togglePause();
  f.settle();
  EXPECT_TRUE(f.showedNotice("Tessavinor ถูกระงับการทำงาน (1 ชั่วโมง)"));
  e->togglePause();
  EXPECT_FALSE(e->isPaused.get());
}

TEST(Pause, ThePauseHotKeyResumesThroughTheGlobalMonitorWhileTheTapsAreOff) {
  PauseFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  e->pause(1.0, false);
  e->pause(3.0, false);  // replaces the timer, keeps the monitor
  EXPECT_EQ(f.monitored.installed, 1);
  EXPECT_TRUE(f.monitored.fire(keycode::p, flags::control | flags::option));
  f.settle();
  EXPECT_TRUE(e->isPaused.get()) << "Command missing";
  f.monitored.fire(keycode::p, flags::control | flags::option | flags::command);
  EXPECT_TRUE(e->isPaused.get()) << "resumes on the main queue";
  f.settle();
  EXPECT_FALSE(e->isPaused.get());
  EXPECT_FALSE(f.monitored.fire(keycode::p, flags::control | flags::option | flags::command))
      << "the monitor is removed on resume";
  f.advance(3 * 3600);
  EXPECT_EQ(f.loggedCount("pauseTimer fired"), 0) << "the replaced timers never fire";
}

TEST(Pause, ResumeWhenNotPausedStillRebuildsTheTapAndShowsTheNotice) {
  PauseFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  TapId before = e->tap.eventTap;
  e->resume();
  EXPECT_TRUE(f.logged("Engine resume() called (isPaused was false)"));
  EXPECT_NE(e->tap.eventTap, before);
  f.settle();
  EXPECT_TRUE(f.showedNotice(e->localized("hud_tap_recovered")));
}

TEST(Pause, AfterAnEmergencyTeardownResumeLeavesTheTapAlone) {
  PauseFixture f;
  auto e = f.startEngine();
  e->recovery.isEmergencyTornDown = true;
  e->pause(1.0, false);
  e->resume();
  EXPECT_EQ(e->tap.eventTap, 0u);
  EXPECT_FALSE(e->isPaused.get());
}

TEST(Pause, NonsenseHoursAreRefused) {
  PauseFixture f;
  auto e = f.startEngine();
  e->pause(0, false);
  e->pause(std::numeric_limits<double>::infinity(), false);
  EXPECT_FALSE(e->isPaused.get());
}

TEST(Pause, UntilTomorrowWaitsAtLeastAMinute) {
  TimeZone tz("UTC");
  PauseFixture f;
  f.clock.setWallTime(utc(2025, 5, 1, 23, 59, 30));
  auto e = f.startEngine();
  e->pause(0, true);
  EXPECT_TRUE(f.logged("Engine pause() requested for until tomorrow"));
  f.settle();
  EXPECT_TRUE(f.showedNotice("Tessavinor ถูกระงับการทำงาน (จนกว่าจะพรุ่งนี้)"));
  f.advance(59);
  EXPECT_TRUE(e->isPaused.get()) << "not a 30-second timer";
  f.advance(2);
  EXPECT_FALSE(e->isPaused.get());
  EXPECT_TRUE(f.logged("pauseTimer fired at midnight - resuming engine"));
}

TEST(Pause, UntilTomorrowEndsAtTheCalendarsMidnightOnADaylightSavingDay) {
  // 9 March 2025 in New York has 23 hours: 00:30 EST to the next midnight is
  // 22.5 hours, not the 23.5 that start of day + 86,400 s would give.
  TimeZone tz("America/New_York");
  PauseFixture f;
  f.clock.setWallTime(utc(2025, 3, 9, 5, 30, 0));  // 00:30 EST
  auto e = f.startEngine();
  e->pause(0, true);
  f.advance(22.5 * 3600 - 1);
  EXPECT_TRUE(e->isPaused.get());
  f.advance(2);
  EXPECT_FALSE(e->isPaused.get());
}

TEST(Pause, TheUnsupportedApplicationNoticeIsRateLimited) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->showUnsupportedAppNotice();
  f.settle();
  EXPECT_TRUE(f.showedNotice("TextEdit ไม่รองรับการแก้คำ"));
  f.advance(29);
  e->showUnsupportedAppNotice();
  f.settle();
  auto notices = f.noticeMessages();
  EXPECT_EQ(std::count(notices.begin(), notices.end(), "TextEdit ไม่รองรับการแก้คำ"), 1);
}

TEST(Pause, AccessibilityAvailabilityIsAnnouncedOnlyWhenItChanges) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  int posts = 0;
  auto sub = f.notifications.addObserver(notification::axAvailabilityChanged, [&](const Notification& n) {
    ++posts;
    EXPECT_EQ(n.userInfo["isAvailable"], true);
  });
  e->setAXAvailableInFocusedApp(true);
  e->setAXAvailableInFocusedApp(true);
  EXPECT_EQ(posts, 1);
}

}  // namespace
}  // namespace tessa
