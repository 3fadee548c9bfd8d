#include <gtest/gtest.h>

#include "support/key_road_fixture.h"

namespace tessa {
namespace {

using test::KeyRoadFixture;

std::vector<Event> capsEvents(KeyRoadFixture& f) {
  std::vector<Event> out;
  for (const auto& e : f.desktop.postedEvents())
    if (e.keyCode == keycode::capsLock) out.push_back(e);
  return out;
}

TEST(CapsLock, SettingTheLockPostsTaggedFlagChangesSetsTheLockAndThePublishedState) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->setCapsLockState(true);
  auto posted = capsEvents(f);
  ASSERT_EQ(posted.size(), 2u) << "key down and key up";
  for (const auto& ev : posted) {
    EXPECT_EQ(ev.type, EventType::flagsChanged);
    EXPECT_EQ(ev.flags, flags::capsLock);
    EXPECT_TRUE(ev.isTagged());
    EXPECT_EQ(ev.sourceState, EventSourceState::combinedSession);
  }
  EXPECT_TRUE(f.desktop.capsLockOn());
  EXPECT_FALSE(e->isCapsLockOn.get()) << "published on a later main-queue turn";
  f.settle();
  EXPECT_TRUE(e->isCapsLockOn.get());

  // Already on: no events, but the lock and the state are still set.
  f.desktop.events().clearPosted();
  e->setCapsLockState(true);
  EXPECT_TRUE(capsEvents(f).empty());
  EXPECT_EQ(f.desktop.hid().calls().back(), "set caps on");
}

TEST(CapsLock, WithoutTheSystemChangeFlagNothingHappens) {
  KeyRoadFixture f;
  f.platform.hasBundleIdentifier = false;
  auto e = f.startEngine();
  e->setCapsLockState(true);
  f.settle();
  EXPECT_TRUE(capsEvents(f).empty());
  EXPECT_FALSE(f.desktop.capsLockOn());
  EXPECT_FALSE(e->isCapsLockOn.get());
}

TEST(CapsLock, OnlyAMissingHidServiceLeavesThePublishedStateAlone) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  f.desktop.hid().setServicePresent(false);
  e->setCapsLockState(true);
  f.settle();
  EXPECT_FALSE(e->isCapsLockOn.get());

  // The service is there but setting the lock fails: the state is still published.
  f.desktop.hid().setServicePresent(true);
  f.desktop.setCapsLockReadable(false);
  e->setCapsLockState(true);
  EXPECT_EQ(f.desktop.hid().calls().back(), "set caps on");
  f.settle();
  EXPECT_TRUE(e->isCapsLockOn.get());
}

TEST(CapsLock, TheLightFollowsThePublishedStateAndKeyboardsAreOpenedOnce) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->isCapsLockOn.set(true);
  e->isCapsLockOn.set(false);
  EXPECT_EQ(f.desktop.hid().calls(), (std::vector<std::string>{"open 1", "light on", "light off"}));
  EXPECT_TRUE(f.logged("Caps LED: opened 1/1 keyboards (held open)"));
  EXPECT_TRUE(f.logged("Caps LED: set ON - "));
}

TEST(CapsLock, TheLightLogsEachKeyboardEachWriteAndTheReadBack) {
  KeyRoadFixture f;
  auto twoLights = SimHid::plainKeyboard("Desk Board");
  twoLights.info.lightElements = 2;
  twoLights.acceptsWrites = false;  // takes the write but keeps its value
  auto noLight = SimHid::plainKeyboard("Pad");
  noLight.info.usage = 7;
  noLight.info.transport = "Bluetooth";
  noLight.info.lightElements = 0;
  noLight.reportStatus = static_cast<HidStatus>(0xE00002D8);
  auto locked = SimHid::plainKeyboard("Internal");
  locked.info.builtIn = true;
  locked.info.transport = "SPI";
  locked.info.openStatus = static_cast<HidStatus>(0xE00002C5);
  f.desktop.hid().setKeyboards({twoLights, noLight, locked});
  auto e = f.startEngine();
  e->isCapsLockOn.set(true);

  EXPECT_TRUE(
      f.logged("Caps LED: device 'Desk Board' usage=1/6 transport=USB builtIn=false open=ok ledElements=2"));
  EXPECT_TRUE(f.logged("Caps LED: device 'Pad' usage=1/7 transport=Bluetooth builtIn=false open=ok ledElements=0"));
  EXPECT_TRUE(
      f.logged("Caps LED: device 'Internal' usage=1/6 transport=SPI builtIn=true open=0xe00002c5 ledElements=0"));
  EXPECT_TRUE(f.logged("Caps LED: opened 2/3 keyboards (held open)"));
  EXPECT_TRUE(f.logged("Caps LED: set ON - Desk Board/element[0]=ok, Desk Board/element[1]=ok, "
                       "Pad/report[noElement]=0xe00002d8 | osCapsState=false"));
  EXPECT_EQ(f.desktop.hid().calls(), (std::vector<std::string>{"open 3", "light on", "light on", "report on"}));

  EXPECT_FALSE(f.logged("Caps LED: readback"));
  f.advance(0.3);
  EXPECT_TRUE(f.logged(
      "Caps LED: readback 300ms later - wrote 1, element reads 0 (get=0x00000000), osCapsState=false"));
}

TEST(CapsLock, AFailedReadBackSaysSoAndAFirstKeyboardWithoutALightIsNotReadBack) {
  KeyRoadFixture f;
  auto unreadable = SimHid::plainKeyboard();
  unreadable.readStatus = static_cast<HidStatus>(0xE0005000);
  f.desktop.hid().setKeyboards({unreadable});
  auto e = f.startEngine();
  e->isCapsLockOn.set(true);
  f.advance(0.3);
  EXPECT_TRUE(f.logged("Caps LED: readback 300ms later - wrote 1, element reads n/a (get=0xe0005000)"));

  KeyRoadFixture g;
  auto noLight = SimHid::plainKeyboard("Pad");
  noLight.info.lightElements = 0;
  g.desktop.hid().setKeyboards({noLight, SimHid::plainKeyboard()});
  auto e2 = g.startEngine();
  e2->isCapsLockOn.set(true);
  g.advance(1);
  EXPECT_TRUE(g.logged("Caps LED: set ON - Pad/report[noElement]=ok, Sim Keyboard/element[0]=ok"));
  EXPECT_FALSE(g.logged("Caps LED: readback"));
}

TEST(CapsLock, ADeviceListThatCannotBeCopiedOpensNothing) {
  KeyRoadFixture f;
  f.desktop.hid().setDeviceListAvailable(false);
  auto e = f.startEngine();
  e->isCapsLockOn.set(true);
  EXPECT_TRUE(f.logged("Caps LED: IOHIDManagerCopyDevices returned no keyboards"));
  EXPECT_TRUE(f.logged("Caps LED: no keyboards opened - LED not driven."));
  EXPECT_FALSE(f.logged("Caps LED: opened"));
}

TEST(CapsLock, WithoutAccessibilityNoKeyboardIsOpened) {
  KeyRoadFixture f;
  f.desktop.setTrusted(false);
  auto e = f.startEngine();
  e->isCapsLockOn.set(true);
  EXPECT_TRUE(f.desktop.hid().calls().empty());
  e->releaseCapsLEDKeyboards();
  EXPECT_FALSE(f.logged("Caps LED: released keyboards")) << "nothing held, nothing logged";
}

TEST(CapsLock, NoKeyboardsMeansTheLightIsNotDriven) {
  KeyRoadFixture f;
  f.desktop.hid().setKeyboardCount(0);
  auto e = f.startEngine();
  e->isCapsLockOn.set(true);
  EXPECT_TRUE(f.logged("Caps LED: no keyboards opened - LED not driven."));
}

TEST(CapsLock, ReleaseLeavesTheLightShowingTheRealLockAndClosesTheKeyboards) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->setCapsLockState(true);
  f.settle();  // publishes, which drives the light on
  e->releaseCapsLEDKeyboards();
  auto calls = f.desktop.hid().calls();
  ASSERT_GE(calls.size(), 2u);
  EXPECT_EQ(calls[calls.size() - 2], "light on") << "the lock is still on once the remap is gone";
  EXPECT_EQ(calls.back(), "close");
  EXPECT_TRUE(f.logged("Caps LED: released keyboards"));
  EXPECT_FALSE(f.desktop.hid().keyboardsOpen());
}

TEST(CapsLock, AnF19KeyUpResyncsThePublishedStateFromTheHardware) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->createEventTap();
  f.desktop.hid().toggleCapsLock();  // changed behind our back
  f.handle(EventType::keyUp, keycode::f19);
  f.advance(0.04);
  EXPECT_FALSE(e->isCapsLockOn.get());
  f.advance(0.02);
  EXPECT_TRUE(e->isCapsLockOn.get());
}

}  // namespace
}  // namespace tessa
