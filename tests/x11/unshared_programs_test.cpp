// Programs of the user's, each started once as a user starts it (a home of
// its own) under openbox: Chromium without its switch is named with it, xterm
// is never told to restart, and a terminal's prompt survives a conversion.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app_core/dashboard/setup_status_model.h"
#include "engine/keyboard_engine.h"
#include "hud/unified_menu_panel.h"
#include "platform/events.h"
#include "x11/support/unavailable.h"
#include "x11_session/x11_application.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

class UnsharedProgramsTest : public ::testing::Test {
 public:
  void SetUp() override {
    session = xsession::XSession::start({xsession::WindowManager::openbox}, &why);
    if (!session || !session->startAccessibilityBus(&why)) {
      TESSA_X11_UNAVAILABLE(why);
    }
    ASSERT_TRUE(session->setLayouts({"us", "th"}));
  }
  void TearDown() override {
    program.reset();
    std::filesystem::remove_all(home);
  }
  // The program, then the application; the desktop's switch goes on before
  // both (`switchOnFirst`) or by the user's grant once both run.
  void start(std::vector<std::string> argv, bool switchOnFirst,
             std::vector<std::pair<std::string, std::string>> env = {}) {
    if (!std::filesystem::exists("/usr/bin/" + argv[0])) {
      TESSA_X11_UNAVAILABLE(argv[0] + " is not installed (scripts/install-deps)");
    }
    if (switchOnFirst) {
      ASSERT_TRUE(session->turnAccessibilityOn(&why));
    }
    std::filesystem::create_directories(home);
    env.insert(env.end(), {{"DISPLAY", session->displayName()}, {"HOME", home}, {"XDG_CONFIG_HOME", home + "/config"},
                           {"XDG_CACHE_HOME", home + "/cache"}, {"XDG_DATA_HOME", home + "/data"}});
    program = xsession::ChildProcess::start(argv, {env});
    ASSERT_TRUE(program);
    app = xsession::X11Application::launch(*session, {.accessibilityOn = switchOnFirst}, &why);
    ASSERT_TRUE(app) << why;
    engine = &app->engine();
    engine->appLanguage.set("en");
    if (!switchOnFirst) {
      page().grantAccess();
      page().consent().confirm();
      ASSERT_TRUE(app->waitForTap(10.0)) << app->diagnostics();
    }
    ASSERT_TRUE(app->main().pumpUntil(
        [&] {
          auto front = engine->platform().workspace->frontmostApplication();
          return front && front->pid == program->pid();
        },
        30.0))
        << argv[0] << " never had the focus";
  }
  SetupStatusModel& page() {
    if (!page_) page_.emplace(engine->settings(), engine->accessibility(), engine->context());
    return *page_;
  }
  void press(uint16_t key) {
    session->pressKey(keycode::control, true);
    session->tapKey(key, true);
    session->pressKey(keycode::control, false);
  }
  // Pumps until `read` gives `want`; what it gave last.
  std::string waitFor(std::string (UnsharedProgramsTest::*read)(), const std::string& want) {
    std::string last;
    app->main().pumpUntil([&] { return (last = (this->*read)()) == want; });
    return last;
  }
  std::string hudTitle() {
    const auto& shown = app->hud()->shownNotices();
    return shown.empty() ? "" : shown.back().content.value("message", "");
  }
  std::string firstLine() {
    auto read = engine->platform().accessibility->focusedTextState(1.0);
    return read.text.ok() ? read.text.value->value.substr(0, read.text.value->value.find('\n')) : "<unread>";
  }

  std::string why, home = std::filesystem::temp_directory_path() / ("tessavinor-home-" + std::to_string(::getpid()));
  std::unique_ptr<xsession::XSession> session;
  std::unique_ptr<xsession::ChildProcess> program;
  std::unique_ptr<xsession::X11Application> app;
  KeyboardEngine* engine = nullptr;
  std::optional<SetupStatusModel> page_;
};

// Its windows are on the accessibility bus, their text is not, though the
// desktop's switch was on before it started.
TEST_F(UnsharedProgramsTest, ChromiumWithoutItsSwitchIsNamedWithIt) {
  std::filesystem::create_directories(home);  // before the program: its page goes there
  std::ofstream(home + "/page.html") << "<title>page</title><input autofocus value=\"l;ylfu\">";
  start({"chromium", "--no-sandbox", "--user-data-dir=" + home + "/profile", "--no-first-run", "--disable-gpu",
         "--disable-background-networking", "--disable-component-update", "--disable-sync", home + "/page.html"},
        true);
  if (HasFatalFailure() || IsSkipped()) return;
  press(keycode::x);
  const std::string told = "Restart Chromium with --force-renderer-accessibility";
  EXPECT_EQ(waitFor(&UnsharedProgramsTest::hudTitle, told), told);
  EXPECT_EQ(page().restartNotice().rfind("Chromium shares its text only when started with --force-renderer-", 0), 0u)
      << page().restartNotice();
}

// It carries no accessibility toolkit: restarted, it would share no more.
TEST_F(UnsharedProgramsTest, XtermOpenBeforeTheSwitchIsNeverToldToRestart) {
  start({"xterm"}, false);
  if (HasFatalFailure() || IsSkipped()) return;
  press(keycode::x);
  EXPECT_EQ(waitFor(&UnsharedProgramsTest::hudTitle, "XTerm does not share its text"), "XTerm does not share its text");
  EXPECT_EQ(page().restartNotice(), "");
}

// VTE shares the terminal's text: the word at a shell prompt converts and
// undoes, and the prompt stays.
TEST_F(UnsharedProgramsTest, AWordAtATerminalPromptConvertsAndThePromptStays) {
  start({"xfce4-terminal", "--disable-server", "--command", "bash --norc --noprofile"}, true, {{"PS1", "tessa$ "}});
  if (HasFatalFailure() || IsSkipped()) return;
  const auto line = &UnsharedProgramsTest::firstLine;
  ASSERT_EQ(waitFor(line, "tessa$ "), "tessa$ ");
  ASSERT_TRUE(session->typeUsKeys("l;ylfu"));
  ASSERT_EQ(waitFor(line, "tessa$ l;ylfu"), "tessa$ l;ylfu");
  press(keycode::x);
  EXPECT_EQ(waitFor(line, "tessa$ สวัสดี"), "tessa$ สวัสดี") << hudTitle();
  press(keycode::z);
  EXPECT_EQ(waitFor(line, "tessa$ l;ylfu"), "tessa$ l;ylfu");

  // A word on the Thai layout opening with marks, which sit on the space
  // before it (the line editor deletes a mark with the character it sits
  // on): the text before it stays exact through the conversion, undo, redo.
  ASSERT_TRUE(app->main().pumpUntil([&] { return !app->engine().holdsKeys(); }));
  for (int i = 0; i < 6; ++i) session->tapKey(keycode::deleteKey);
  ASSERT_TRUE(session->typeUsKeys("echo "));
  ASSERT_EQ(waitFor(line, "tessa$ echo "), "tessa$ echo ");
  session->lockGroup(1);
  ASSERT_TRUE(app->waitForSwitchLanded(1, *session)) << app->diagnostics();
  const std::string thaiHello = "tessa$ echo \u0E49\u0E33\u0E2A\u0E2A\u0E19";
  ASSERT_TRUE(session->typeUsKeys("hello"));
  ASSERT_EQ(waitFor(line, thaiHello), thaiHello);
  for (auto [key, shown] : {std::pair{keycode::x, std::string("tessa$ echo hello")}, std::pair{keycode::z, thaiHello},
                            std::pair{keycode::z, std::string("tessa$ echo hello")}}) {
    press(key);
    EXPECT_EQ(waitFor(line, shown), shown) << hudTitle() << "\n" << app->diagnostics();
  }
}

}  // namespace
}  // namespace tessa
