// gtest before Xlib, whose macros (Bool, None, ...) would break its headers.
#include <gtest/gtest.h>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_event_system.h"
#include "platform/x11/x11_hid.h"
#include "platform/x11/x11_key_mapping.h"
#include "x11/support/tap_harness.h"

namespace tessa {
namespace {

using test::PumpedRunner;
using test::XvfbServer;

// An independent look at the server, as another client sees it.
struct Observer {
  explicit Observer(const std::string& display) : d(XOpenDisplay(display.c_str())) {}
  ~Observer() { XCloseDisplay(d); }
  bool lockOn() {
    XkbStateRec s{};
    XkbGetState(d, XkbUseCoreKbd, &s);
    return s.locked_mods & LockMask;
  }
  bool lightOn() {
    Bool on = False;
    int index = -1;
    XkbGetNamedIndicator(d, XInternAtom(d, "Caps Lock", False), &index, &on, nullptr, nullptr);
    return on;
  }
  void setLock(bool on) {
    XkbLockModifiers(d, XkbUseCoreKbd, LockMask, on ? LockMask : 0);
    XSync(d, False);
  }
  // Whether a client could take the whole keyboard's passive grab now, in
  // the XInput2 form the tap uses (it does not collide with core grabs).
  bool canGrabEveryKey() {
    int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler([](Display*, XErrorEvent*) {
      refused = true;
      return 0;
    });
    refused = false;
    int major = 2, minor = 0;
    XIQueryVersion(d, &major, &minor);
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_KeyPress);
    XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
    XIGrabModifiers mods{static_cast<int>(XIAnyModifier), 0};
    const int keyboard = 3;  // the virtual core keyboard
    if (XIGrabKeycode(d, keyboard, XIAnyKeycode, DefaultRootWindow(d), XIGrabModeAsync, XIGrabModeAsync, False, &mask,
                      1, &mods) != 0)
      refused = true;
    XSync(d, False);
    XIUngrabKeycode(d, keyboard, XIAnyKeycode, DefaultRootWindow(d), 1, &mods);
    XSync(d, False);
    XSetErrorHandler(previous);
    return !refused;
  }
  static inline bool refused = false;
  Display* d;
};

struct X11HidTest : ::testing::Test {
  XvfbServer& server = XvfbServer::shared();
  void SetUp() override { server.resetKeyboardState(); }
};

TEST_F(X11HidTest, TheLockAndItsLightAreSetAndReadAndTheLightCanBeDrivenAlone) {
  auto hid = X11Hid::create(server.display());
  ASSERT_TRUE(hid);
  Observer look(server.display());
  EXPECT_EQ(hid->capsLockState(), false);
  EXPECT_EQ(hid->setCapsLockState(true), CapsLockSetResult::done);
  EXPECT_EQ(hid->capsLockState(), true);
  EXPECT_TRUE(look.lockOn());
  EXPECT_TRUE(look.lightOn()) << "the light follows the lock by default";

  auto keyboards = hid->openKeyboards();
  ASSERT_TRUE(keyboards);
  ASSERT_EQ(keyboards->size(), 1u);
  EXPECT_EQ(keyboards->front().openStatus, 0);
  EXPECT_EQ(keyboards->front().lightElements, 1);

  hid->setCapsLockState(false);
  EXPECT_EQ(hid->setLightElement(0, 0, true), 0);
  EXPECT_FALSE(look.lockOn());
  EXPECT_TRUE(look.lightOn()) << "while held, the light is ours alone";
  EXPECT_EQ(hid->readLightElement(0, 0).value, 1);
  EXPECT_EQ(hid->setLightElement(0, 0, false), 0);
  EXPECT_EQ(hid->readLightElement(0, 0).value, 0);
  EXPECT_NE(hid->setLightElement(0, 1, true), 0) << "there is one light element";

  hid->closeKeyboards();
  look.setLock(true);
  EXPECT_TRUE(look.lightOn()) << "closed, the light follows the lock again";
  hid->restore();
  EXPECT_FALSE(look.lockOn()) << "the lock is put back as it was before we first set it";
}

TEST_F(X11HidTest, QuitReleasesTheGrabsAndPutsBackTheLockAndTheLightsMap) {
  PumpedRunner main;
  std::vector<std::string> logs;
  auto desktop = X11Desktop::open(main, {{"DISPLAY", server.display()}},
                                  [&](const std::string& l) { logs.push_back(l); });
  ASSERT_TRUE(desktop->available()) << desktop->reason();
  ASSERT_TRUE(desktop->hid());
  auto options = desktop->options();
  EXPECT_EQ(options.events, desktop->events());
  EXPECT_EQ(options.hid, desktop->hid());
  EXPECT_EQ(options.inputSources, desktop->inputSources());
  EXPECT_EQ(options.accessibility, desktop->accessibility());

  auto& events = *desktop->events();
  TapId tap = events.createTap(TapLocation::hid, true, TapOptions::defaultTap, eventMaskBit(EventType::keyDown),
                               [](TapId, EventType, const Event& e) { return std::optional<Event>(e); });
  events.addTapToRunLoop(tap);
  events.setKeyboardHeld(true);  // as during a hold: every key grabbed
  events.enableTap(tap, true);
  events.flush();
  Observer look(server.display());
  EXPECT_FALSE(look.canGrabEveryKey()) << "the tap holds the keyboard's grab";
  desktop->hid()->setCapsLockState(true);
  desktop->hid()->openKeyboards();
  desktop->hid()->setLightElement(0, 0, false);

  desktop->restore();
  EXPECT_TRUE(look.canGrabEveryKey());
  EXPECT_FALSE(look.lockOn());
  look.setLock(true);
  EXPECT_TRUE(look.lightOn()) << "the indicator follows the lock again";
}

TEST_F(X11HidTest, TheKeyMappingToolTurnsCapsLockAsF19OnAndOffAndOtherToolsRunForReal) {
  PumpedRunner main;
  auto desktop = X11Desktop::open(main, {{"DISPLAY", server.display()}}, nullptr);
  ASSERT_TRUE(desktop->available()) << desktop->reason();
  ProcessRunner& tools = *desktop->options().processes;
  EXPECT_EQ(&tools, desktop->processes());
  const std::string matching = R"({"PrimaryUsagePage":1,"PrimaryUsage":6})";
  const std::string toF19 =
      R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771129,"HIDKeyboardModifierMappingDst":30064771182}]})";
  auto set = tools.run("/usr/bin/hidutil", {"property", "--matching", matching, "--set", toF19}, 5);
  EXPECT_TRUE(set.launched);
  EXPECT_EQ(set.exitStatus, 0);
  EXPECT_TRUE(desktop->events()->capsLockAsF19());
  auto read = tools.run("/usr/bin/hidutil", {"property", "--get", "UserKeyMapping"}, 5);
  EXPECT_EQ(read.exitStatus, 0);
  tools.run("/usr/bin/hidutil", {"property", "--matching", matching, "--set", R"({"UserKeyMapping":[]})"}, 5);
  EXPECT_FALSE(desktop->events()->capsLockAsF19());

  // The settings-activation tool has no X11 form: it fails, and says so.
  auto activate = tools.run(
      "/System/Library/PrivateFrameworks/SystemAdministration.framework/Resources/activateSettings", {"-u"}, 5);
  EXPECT_FALSE(activate.launched && activate.exitStatus == 0);
  auto real = tools.run("/bin/true", {}, 5);
  EXPECT_TRUE(real.launched);
  EXPECT_EQ(real.exitStatus, 0);
}

TEST(X11DesktopChoice, WaylandNoDisplayAndAMissingServerEachStartNoTapAndSayWhy) {
  EXPECT_NE(X11Desktop::unsuitableSessionReason({{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":0"}}).find("Wayland"),
            std::string::npos)
      << "Xwayland's DISPLAY does not make a Wayland session an X11 one";
  EXPECT_NE(X11Desktop::unsuitableSessionReason({}).find("DISPLAY is not set"), std::string::npos);
  EXPECT_EQ(X11Desktop::unsuitableSessionReason({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}}), "");

  PumpedRunner main;
  std::vector<std::string> logs;
  auto desktop = X11Desktop::open(main, {{"DISPLAY", ":4093"}}, [&](const std::string& l) { logs.push_back(l); });
  EXPECT_FALSE(desktop->available());
  EXPECT_NE(desktop->reason().find("cannot open the X display"), std::string::npos) << desktop->reason();
  EXPECT_EQ(desktop->options().events, nullptr);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(logs[0].find("X11 back end not started"), std::string::npos);
}

}  // namespace
}  // namespace tessa
