// Programs that type for the user through XTest (a password manager's
// auto-type, a remote-desktop server) send their keys back to back, with no
// pause between them and the same key twice in a word. Whatever the engine
// did just before (a conversion's own keys, its borrowed key codes, its
// switch), each of those keys reaches the field once and in order.
#include <gtest/gtest.h>

#include <string>

#include "engine/keyboard_engine.h"
#include "platform/events.h"
#include "platform/keyboard_tables.h"
#include "platform/x11/x11_event_system.h"
#include "x11/support/unavailable.h"
#include "x11_session/x11_application.h"
#include "x11_session/x11_session.h"

// Last: its macros (None, Bool) would break the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace tessa {
namespace {

using xsession::TestField;
using xsession::X11Application;
using xsession::XSession;

// A program typing on a connection of its own: every press and release
// queued, sent in one flush at the end.
void typeAtMachineSpeed(const std::string& display, const std::string& usKeys) {
  Display* d = XOpenDisplay(display.c_str());
  ASSERT_TRUE(d);
  for (char c : usKeys) {
    auto key = usKeyForCharacter(std::string(1, c));
    ASSERT_TRUE(key && !key->second) << c;
    const unsigned x = *X11EventSystem::xKeyCodeFor(key->first);
    XTestFakeKeyEvent(d, x, True, CurrentTime);
    XTestFakeKeyEvent(d, x, False, CurrentTime);
  }
  XFlush(d);
  XSync(d, False);
  XCloseDisplay(d);
}

class MachineTypingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    xsession::XSessionOptions options;
    options.windowManager = xsession::windowManagerFromEnvironment(xsession::WindowManager::openbox);
    session = XSession::start(options, &why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    ASSERT_TRUE(session->setLayouts({"us", "th"}));
    session->resetKeyboardState();
    if (!session->startAccessibilityBus(&why)) TESSA_X11_UNAVAILABLE(why);
    field = TestField::start(*session, TestField::Kind::line, "", &why);
    ASSERT_TRUE(field) << why;
    app = X11Application::launch(*session, {}, &why);
    ASSERT_TRUE(app) << why;
  }

  bool fieldShows(const std::string& text, double timeoutSeconds = 5.0) {
    return app->main().pumpUntil(
        [&] {
          auto s = field->state();
          last = s ? s->text : "<no state>";
          return s && s->text == text;
        },
        timeoutSeconds);
  }
  int conversions() {
    int n = 0;
    for (const auto& line : app->engine().diagnosticLogs())
      if (line.find("cycleCurrentWordLanguage: converted") != std::string::npos) ++n;
    return n;
  }

  std::unique_ptr<XSession> session;
  std::unique_ptr<TestField> field;
  std::unique_ptr<X11Application> app;
  std::string last;
};

// Each round converts a word with Control+Shift+X, then another program
// types three words and a half in the layout the conversion switched to.
TEST_F(MachineTypingTest, KeysTypedAtMachineSpeedRightAfterAConversionArriveOnceAndInOrder) {
  const std::string burst = "l;ylful;ylful;ylful;";
  const std::string thai = "สวัสดีสวัสดีสวัสดีสว";  // the burst's keys in the Thai layout
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(field->setText("l;ylfu"));
    session->lockGroup(0);
    ASSERT_TRUE(app->waitForSwitchLanded(0, *session)) << app->diagnostics();
    const int before = conversions();
    session->pressKey(keycode::control, true);
    session->tapKey(keycode::x, true);
    session->pressKey(keycode::control, false);
    ASSERT_TRUE(fieldShows("สวัสดี")) << "round " << round << ": " << last << "\n" << app->diagnostics();
    ASSERT_TRUE(app->main().pumpUntil(
        [&] { return conversions() == before + 1 && !app->engine().isSimulatingTyping(); }, 5.0))
        << app->diagnostics();
    ASSERT_TRUE(app->waitForSwitchLanded(1, *session)) << app->diagnostics();
    typeAtMachineSpeed(session->displayName(), burst);
    EXPECT_TRUE(fieldShows("สวัสดี" + thai)) << "round " << round << ": " << last << "\n" << app->diagnostics();
  }
}

}  // namespace
}  // namespace tessa
