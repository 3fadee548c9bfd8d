#include <gtest/gtest.h>

#include "support/key_road_fixture.h"

namespace tessa {
namespace {

using test::KeyRoadFixture;

// The simulated input sources, except that the secure-input check (which the
// handler makes for every event) takes as long as a test says.
class SlowSecureCheck final : public InputSources {
 public:
  SlowSecureCheck(InputSources& inner, ManualClock& clock) : inner_(inner), clock_(clock) {}
  std::optional<std::vector<InputSourceInfo>> enabledSources() const override { return inner_.enabledSources(); }
  std::optional<InputSourceInfo> currentKeyboardSource() const override { return inner_.currentKeyboardSource(); }
  int32_t select(const std::string& id) override { return inner_.select(id); }
  std::shared_ptr<const KeyLayout> layoutFor(const std::string& id) const override { return inner_.layoutFor(id); }
  Subscription observeSelectedSourceChanged(std::function<void()> cb) override {
    return inner_.observeSelectedSourceChanged(std::move(cb));
  }
  Subscription observeEnabledSourcesChanged(std::function<void()> cb) override {
    return inner_.observeEnabledSourcesChanged(std::move(cb));
  }
  bool isSecureEventInputEnabled() const override {
    clock_.advance(delay);
    return inner_.isSecureEventInputEnabled();
  }
  double delay = 0;

 private:
  InputSources& inner_;
  ManualClock& clock_;
};

struct SlowFixture : KeyRoadFixture {
  SlowFixture() : slow(desktop.inputSources(), clock) { platform.inputSources = &slow; }
  // One plain letter through the timing wrapper, taking `ms` milliseconds.
  void letter(double ms) {
    slow.delay = (ms + 0.0001) / 1000.0;  // clear of rounding at the thresholds
    Event e = key(EventType::keyDown, keycode::a, 0, "a");
    engine->handle(engine->tap.eventTap, e.type, e);
    slow.delay = 0;
  }
  SlowSecureCheck slow;
};

TEST(EventTaps, WithoutAccessibilityNoTapIsCreated) {
  KeyRoadFixture f;
  f.desktop.setTrusted(false);
  auto e = f.startEngine();
  e->createEventTap();
  EXPECT_EQ(e->tap.eventTap, 0u);
  EXPECT_EQ(e->tap.mouseTap, 0u);
  EXPECT_TRUE(f.desktop.events().tapIds().empty());
  EXPECT_TRUE(f.systemLog.contains(
      "Accessibility not granted — skipping CGEvent.tapCreate to avoid Input Monitoring prompt", "Keyboard"));
}

TEST(EventTaps, CreatesBothTapsAndDestroysThemInOrder) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  ASSERT_NE(e->tap.eventTap, 0u);
  ASSERT_NE(e->tap.mouseTap, 0u);
  auto keyboard = f.desktop.events().tapInfo(e->tap.eventTap).value();
  EXPECT_EQ(keyboard.mask, 0x1C00u);
  EXPECT_EQ(keyboard.options, TapOptions::defaultTap);
  EXPECT_TRUE(keyboard.enabled && keyboard.attached);
  auto mouse = f.desktop.events().tapInfo(e->tap.mouseTap).value();
  EXPECT_EQ(mouse.mask, 0x200000Au);
  EXPECT_EQ(mouse.options, TapOptions::listenOnly);
  EXPECT_EQ(e->watchdogTapState.tapReference, e->tap.eventTap);
  f.settle();
  EXPECT_EQ(e->statusMessage.get(), "Event Tap active. Mode: Option 2");
  EXPECT_TRUE(f.systemLog.contains("Event Tap active. Mode: Option 2", "Keyboard"));

  e->destroyEventTap();
  EXPECT_EQ(e->tap.eventTap, 0u);
  EXPECT_EQ(e->tap.mouseTap, 0u);
  EXPECT_TRUE(f.desktop.events().tapIds().empty());
  EXPECT_TRUE(f.systemLog.contains("Event tap destroyed.", "Keyboard"));
}

TEST(EventTaps, ATapThatCanOnlyListenToOrdinaryKeysIsReported) {
  KeyRoadFixture f;
  f.desktop.events().setFiltersEveryKey(false);
  f.desktop.events().setKeysHeldByOthers({"q", "w"});
  auto e = f.startEngine();
  e->createEventTap();
  ASSERT_NE(e->tap.eventTap, 0u);
  EXPECT_TRUE(f.systemLog.contains("Event Tap can only listen to some typing keys (another program holds q, w): "
                                   "typed during a switch they cannot be held",
                                   "Keyboard"));
}

TEST(EventTaps, DestroyingWithoutATapLogsNothingButClearsTheWatchdogReference) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->watchdogTapState.tapReference = 77;
  e->destroyEventTap();
  EXPECT_EQ(e->watchdogTapState.tapReference, 0u);
  EXPECT_FALSE(f.systemLog.contains("Event tap destroyed."));
}

TEST(EventTaps, CreatedWhilePausedTheTapsStayDisabled) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->isPaused.set(true);
  e->createEventTap();
  EXPECT_FALSE(f.desktop.events().isTapEnabled(e->tap.eventTap));
  EXPECT_FALSE(f.desktop.events().isTapEnabled(e->tap.mouseTap));
}

TEST(EventTaps, AFailedCreationIsReportedAndRecorded) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  f.desktop.setTapCreationAllowed(false);
  e->createEventTap();
  EXPECT_EQ(e->tap.eventTap, 0u);
  EXPECT_TRUE(f.systemLog.contains("ERROR: Cannot create Event Tap. Check Accessibility Permissions.", "Keyboard"));
  f.settle();
  EXPECT_EQ(e->statusMessage.get(), "ERROR: Cannot create Event Tap. Check Accessibility Permissions.");
}

TEST(EventTaps, TypedKeysReachTheApplicationThroughTheTap) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  f.desktop.typeText("hi");
  f.advance(1.0);
  EXPECT_EQ(f.desktop.focusedField()->text(), "hi");
  EXPECT_GT(e->tap.lastEventTapHeartbeat, 1000.0);
}

TEST(EventTaps, SlowCallbacksAreLoggedCountedAndWarnedOncePerRun) {
  SlowFixture f;
  auto e = f.startEngine();
  e->createEventTap();

  f.letter(99);
  EXPECT_FALSE(f.logged("handle() slow:"));
  f.letter(100);
  EXPECT_TRUE(f.logged("handle() slow: 100ms (type: 10, app: com.apple.TextEdit) - tap is killed by the OS around 1000ms"));
  f.letter(200);
  f.settle();
  EXPECT_TRUE(f.logged("handle() slow: 200ms"));
  EXPECT_EQ(e->counters.inputStallCount.get(), 0) << "200 ms is not a stall";
  EXPECT_FALSE(e->tap.isInLatencyYellowZone);

  f.letter(201);
  f.settle();
  EXPECT_EQ(e->counters.inputStallCount.get(), 1);
  EXPECT_TRUE(e->tap.isInLatencyYellowZone);
  EXPECT_TRUE(
      f.systemLog.contains("Latency budget warning: 201ms (budget: 1000ms, app: com.apple.TextEdit)", "Keyboard"));

  f.letter(250);
  f.settle();
  EXPECT_EQ(e->counters.inputStallCount.get(), 2);
  EXPECT_TRUE(e->tap.isInLatencyYellowZone) << "a second slow callback keeps the zone";
  EXPECT_FALSE(f.systemLog.contains("Latency budget warning: 250ms")) << "one warning per run";

  f.letter(150);
  EXPECT_FALSE(e->tap.isInLatencyYellowZone);
}

TEST(EventTaps, TheLongestCallbackIsKeptEvenWhenAShorterOneIsMeasuredMeanwhile) {
  SlowFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  f.letter(300);
  f.letter(150);  // measured before the first update has run
  f.settle();
  EXPECT_EQ(e->counters.maxHandleDurationMs.get(), 300);
}

TEST(EventTaps, RapidRepeatIsWithinTwoSeconds) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  e->isAccessibilityGranted.set(true);
  f.handle(EventType::tapDisabledByTimeout, 0);
  EXPECT_TRUE(f.logged("rapidRepeat: false)"));
  f.advance(2.0);
  f.handle(EventType::tapDisabledByTimeout, 0);
  EXPECT_TRUE(f.logged("rapidRepeat: true)"));
  f.advance(2.1);
  f.handle(EventType::tapDisabledByUserInput, 0);
  EXPECT_TRUE(f.logged("Event tap disabled (4294967295)"));
  EXPECT_EQ(f.loggedCount("rapidRepeat: true)"), 1);
  EXPECT_NE(e->tap.eventTap, 0u) << "trusted: the recovery ladder decides, no teardown";
}

TEST(EventTaps, TrustLostWithSystemSettingsFrontmostTearsDownAtOnce) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  f.desktop.launchApplication("com.apple.systempreferences", "System Settings");
  f.desktop.activateApplication("com.apple.systempreferences");
  e->isAccessibilityGranted.set(true);
  f.desktop.accessibility().setTrusted(false);
  f.handle(EventType::tapDisabledByTimeout, 0);
  EXPECT_EQ(e->tap.eventTap, 0u);
  EXPECT_FALSE(e->isAccessibilityGranted.get());
  EXPECT_TRUE(f.systemLog.contains(
      "Event tap disabled with AX trust lost (rapid=false) — tearing down immediately to release HID chain.",
      "Keyboard"));
}

TEST(EventTaps, ATrustedProcessIsNeverTornDownBecauseThePublishedFlagLags) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  ASSERT_FALSE(e->isAccessibilityGranted.get()) << "not published yet";
  f.handle(EventType::tapDisabledByTimeout, 0);
  EXPECT_NE(e->tap.eventTap, 0u);
  EXPECT_TRUE(e->isAccessibilityGranted.get());
  EXPECT_FALSE(f.systemLog.contains("AX trust lost"));
}

TEST(EventTaps, UntrustedAndUngrantedTearsDown) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  f.desktop.accessibility().setTrusted(false);
  f.handle(EventType::tapDisabledByTimeout, 0);
  EXPECT_EQ(e->tap.eventTap, 0u);
  EXPECT_TRUE(f.systemLog.contains("Event tap disabled (4294967294) and AX trust lost — tearing down.", "Keyboard"));
}

TEST(EventTaps, TheMouseTapsOwnOutageOnlyReEnablesTheMouseTap) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  f.desktop.events().disableTap(e->tap.mouseTap);
  f.settle();
  EXPECT_TRUE(f.desktop.events().isTapEnabled(e->tap.mouseTap));
  EXPECT_FALSE(f.logged("Event tap disabled")) << "never reaches the key path";
}

TEST(EventTaps, OnlyKeyboardEventsCountAsTheKeyboardTapsHeartbeat) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  double before = e->tap.lastEventTapHeartbeat;
  e->isEventTapDead.set(true);
  f.advance(5);
  f.desktop.click(700, 400);
  f.settle();
  EXPECT_EQ(e->tap.lastEventTapHeartbeat, before);
  EXPECT_TRUE(e->isEventTapDead.get()) << "a click says nothing about the keyboard tap";
  f.desktop.tapKey(keycode::a);
  f.settle();
  EXPECT_GT(e->tap.lastEventTapHeartbeat, before);
  EXPECT_FALSE(e->isEventTapDead.get());
  f.settle();
  EXPECT_TRUE(f.showedNotice(e->localized("hud_tap_recovered")));
}

}  // namespace
}  // namespace tessa
