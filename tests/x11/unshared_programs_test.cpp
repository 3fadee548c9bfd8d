// Programs of the user's that keep their text to themselves, each started
// once as a user starts it, under openbox: Chromium without the switch that
// makes it share is named with that switch, xterm (no accessibility toolkit)
// is named and never told to restart, and at a terminal's shell prompt the
// word before the cursor converts or is refused, the prompt never deleted.
#include <gtest/gtest.h>

#include <fstream>

#include "app_core/dashboard/setup_status_model.h"
#include "engine/keyboard_engine.h"
#include "hud/unified_menu_panel.h"
#include "platform/events.h"
#include "x11/support/unavailable.h"
#include "x11/support/user_program.h"
#include "x11_session/x11_application.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using test::UserProgram;
using xsession::X11Application;
using xsession::XSession;

class UnsharedProgramsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    xsession::XSessionOptions options;
    options.windowManager = xsession::WindowManager::openbox;
    session = XSession::start(options, &why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    ASSERT_TRUE(session->setLayouts({"us", "th"}));
    session->resetKeyboardState();
    if (!session->startAccessibilityBus(&why)) TESSA_X11_UNAVAILABLE(why);
  }

  // The program first (a user's own, started as the user starts it), then
  // the application; with `switchOnFirst` the desktop's switch was on before
  // either started, else the user grants access on the setup page once both
  // run.
  void start(const std::string& name, const UserProgram::Command& command, bool switchOnFirst,
             const std::vector<std::pair<std::string, std::string>>& env = {}) {
    std::string why;
    if (!UserProgram::installed(name)) {
      TESSA_X11_UNAVAILABLE(name + " is not installed (scripts/install-deps)");
    }
    if (switchOnFirst) {
      ASSERT_TRUE(session->turnAccessibilityOn(&why)) << why;
    }
    program = UserProgram::start(*session, command, &why, env);
    ASSERT_TRUE(program) << why;
    xsession::X11ApplicationOptions options;
    options.accessibilityOn = switchOnFirst;
    app = X11Application::launch(*session, options, &why);
    ASSERT_TRUE(app) << why;
    engine = &app->engine();
    engine->appLanguage.set("en");
    if (!switchOnFirst) {
      SetupStatusModel page(engine->settings(), engine->accessibility(), engine->context());
      page.grantAccess();
      page.consent().confirm();
      ASSERT_TRUE(app->waitForTap(10.0)) << app->diagnostics();
    }
    // Its window comes up and takes the focus (a browser takes its time).
    ASSERT_TRUE(app->main().pumpUntil(
        [&] {
          auto front = engine->platform().workspace->frontmostApplication();
          return front && front->pid == program->pid();
        },
        30.0))
        << name << " never had the focus\n" << app->diagnostics();
  }

  std::string frontName() { return engine->platform().workspace->frontmostApplication()->name; }
  void convert() {
    session->pressKey(keycode::control, true);
    session->tapKey(keycode::x, true);
    session->pressKey(keycode::control, false);
  }
  // The HUD's titles, from the `from`th on.
  std::vector<std::string> titles(size_t from = 0) {
    std::vector<std::string> out;
    const auto& shown = app->hud()->shownNotices();
    for (size_t i = from; i < shown.size(); ++i) out.push_back(shown[i].content.value("message", ""));
    return out;
  }
  bool hudShows(const std::string& title, double seconds = 5.0) {
    return app->main().pumpUntil(
        [&] {
          for (const auto& t : titles())
            if (t == title) return true;
          return false;
        },
        seconds);
  }
  // The first line of the focused text, as AT-SPI reads it.
  std::optional<std::string> focusedLine() {
    auto read = engine->platform().accessibility->focusedTextState(1.0);
    if (!read.text.ok()) return std::nullopt;
    const std::string& all = read.text.value->value;
    return all.substr(0, all.find('\n'));
  }

  std::unique_ptr<XSession> session;
  std::unique_ptr<UserProgram> program;
  std::unique_ptr<X11Application> app;
  KeyboardEngine* engine = nullptr;
};

// As a user starts it, Chromium shows its windows over AT-SPI, never their
// text; the desktop's switch, on before it started, does not change that.
TEST_F(UnsharedProgramsTest, ChromiumWithoutItsSwitchIsNamedWithTheSwitchThatMakesItShare) {
  start(
      "chromium",
      [](const std::string& home) {
        std::ofstream(home + "/page.html") << "<!doctype html><title>page</title><input autofocus value=\"l;ylfu\">";
        return test::chromiumCommand(home, "file://" + home + "/page.html");
      },
      true);
  if (HasFatalFailure() || IsSkipped()) return;
  EXPECT_EQ(engine->platform().workspace->textSharing(program->pid()), TextSharing::browserWithoutSwitch);
  const std::string title = "Restart " + frontName() + " with --force-renderer-accessibility";
  convert();
  EXPECT_TRUE(hudShows(title)) << testing::PrintToString(titles()) << "\n" << app->diagnostics();
  EXPECT_EQ(frontName(), "Chromium");
  SetupStatusModel page(engine->settings(), engine->accessibility(), engine->context());
  EXPECT_NE(page.restartNotice().find("Chromium shares its text only when started with --force-renderer-accessibility"),
            std::string::npos)
      << page.restartNotice();
}

// xterm carries no accessibility toolkit: open before the switch went on or
// restarted after, it shares nothing, so a restart is never asked for.
TEST_F(UnsharedProgramsTest, XtermIsNamedAndNeverToldToRestart) {
  start("xterm", [](const std::string&) { return std::vector<std::string>{"xterm"}; }, false);
  if (HasFatalFailure() || IsSkipped()) return;
  const size_t before = titles().size();
  convert();
  EXPECT_TRUE(hudShows("XTerm does not share its text")) << testing::PrintToString(titles()) << "\n"
                                                         << app->diagnostics();
  for (const auto& title : titles(before)) EXPECT_EQ(title.find("Restart"), std::string::npos) << title;
  SetupStatusModel page(engine->settings(), engine->accessibility(), engine->context());
  EXPECT_EQ(page.restartNotice(), "");
}

// VTE shares the terminal's text: the word typed at the prompt is the word
// before the cursor. It converts, or the refusal leaves the line as it was;
// the prompt is never deleted.
TEST_F(UnsharedProgramsTest, AtATerminalPromptTheWordConvertsAndThePromptStays) {
  start(
      "xfce4-terminal",
      [](const std::string&) {
        return std::vector<std::string>{"xfce4-terminal", "--disable-server", "--command",
                                        "bash --norc --noprofile"};
      },
      true, {{"PS1", "tessa$ "}});
  if (HasFatalFailure() || IsSkipped()) return;
  ASSERT_TRUE(app->main().pumpUntil([&] { return focusedLine() == std::optional<std::string>("tessa$ "); }, 10.0))
      << focusedLine().value_or("<unread>");
  ASSERT_TRUE(session->typeUsKeys("l;ylfu"));
  ASSERT_TRUE(app->main().pumpUntil([&] { return focusedLine() == std::optional<std::string>("tessa$ l;ylfu"); }, 5.0))
      << focusedLine().value_or("<unread>");
  const size_t before = titles().size();
  convert();
  std::string line;
  const bool converted = app->main().pumpUntil(
      [&] {
        line = focusedLine().value_or(line);
        return line == "tessa$ สวัสดี";
      },
      5.0);
  if (!converted) {
    EXPECT_EQ(line, "tessa$ l;ylfu") << "refused, yet the line changed";
    EXPECT_GT(titles().size(), before) << "neither converted nor refused";
    return;
  }
  // Undone: the word as typed, after the prompt.
  session->pressKey(keycode::control, true);
  session->tapKey(keycode::z, true);
  session->pressKey(keycode::control, false);
  EXPECT_TRUE(app->main().pumpUntil(
      [&] {
        line = focusedLine().value_or(line);
        return line == "tessa$ l;ylfu";
      },
      5.0))
      << line;
}

}  // namespace
}  // namespace tessa
