// Conversion, undo and redo in a web browser's fields (an <input>, a
// <textarea>, a contenteditable element), each on its first try, with the
// field focused before the application starts and after, under openbox and
// with no window manager. One browser start per case: the application is
// started again instead, for each field that has the focus before it starts.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "platform/events.h"
#include "x11/support/unavailable.h"
#include "x11_session/browser_page.h"
#include "x11_session/x11_application.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using xsession::Browser;
using xsession::BrowserPage;
using xsession::WindowManager;
using xsession::X11Application;
using xsession::XSession;
using Field = BrowserPage::Field;

constexpr const char* kLatin = "l;ylfu";
constexpr const char* kThai = "สวัสดี";  // the same keys in the second group

class BrowserFieldTest : public ::testing::TestWithParam<std::tuple<Browser, WindowManager>> {
 protected:
  void SetUp() override {
    std::string why;
    if (!BrowserPage::program(browser())) {
      // A developer's machine may lack a browser; CI installs both.
      TESSA_X11_UNAVAILABLE(std::string(xsession::browserName(browser())) +
                            " is not installed (scripts/install-deps installs it)");
    }
    xsession::XSessionOptions options;
    options.windowManager = std::get<1>(GetParam());
    session = XSession::start(options, &why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    ASSERT_TRUE(session->setLayouts({"us", "th"}));
    session->resetKeyboardState();
    if (!session->startAccessibilityBus(&why)) TESSA_X11_UNAVAILABLE(why);
    // The user's grant, before the browser starts, as on a desktop where it
    // was given once.
    ASSERT_TRUE(session->turnAccessibilityOn(&why)) << why;
    page = BrowserPage::start(*session, browser(), Field::input, &why);
    ASSERT_TRUE(page) << why;
  }
  void TearDown() override { app.reset(); }
  Browser browser() const { return std::get<0>(GetParam()); }

  void launch() {
    session->resetKeyboardState();
    std::string why;
    app = X11Application::launch(*session, {}, &why);
    ASSERT_TRUE(app) << why;
  }
  xsession::PumpedMainQueue& main() { return app->main(); }
  std::string log() { return app ? app->diagnostics() : std::string(); }
  int count(const std::string& line) {
    int n = 0;
    const std::string s = log();
    for (auto at = s.find(line); at != std::string::npos; at = s.find(line, at + 1)) ++n;
    return n;
  }
  int conversions() { return count("cycleCurrentWordLanguage: converted"); }
  bool shows(Field f, const std::string& text) {
    return page->waitFor([&] { return page->text(f) == text; }, 5.0, [&] { main().pump(); });
  }
  // Tab, with Shift when `back`, until the page says `f` has the focus.
  void focus(Field f, bool back, int presses = 1) {
    for (int i = 0; i < presses; ++i) session->tapKey(keycode::tab, back);
    ASSERT_TRUE(page->waitFor([&] { return page->focused() == f; }, 5.0, [&] { if (app) main().pump(); }));
  }
  // Control+Shift+`key`, held as a user holds it, until `f` shows `expected`.
  bool chordShows(Field f, uint16_t key, const std::string& expected) {
    session->pressKey(keycode::control, true);
    session->pressKey(keycode::shift, true);
    session->pressKey(key, true);
    const bool shown = shows(f, expected);
    session->pressKey(key, false);
    session->pressKey(keycode::shift, false);
    session->pressKey(keycode::control, false);
    return shown;
  }

  // The word typed in the wrong layout in the field (emptied as it took the
  // focus), converted, undone and redone, each on the first press.
  void convertUndoRedo(Field f) {
    const std::string name = BrowserPage::fieldName(f);
    const std::string typed = kLatin, converted = kThai;
    const int conversionsBefore = conversions(), refused = count("- nothing changed");
    ASSERT_TRUE(session->typeUsKeys(kLatin));
    ASSERT_TRUE(shows(f, typed)) << name << ": " << page->text(f) << "\n" << log();
    // A user's pause after typing: Firefox's accessible copy of the page
    // follows the page a moment behind.
    ASSERT_TRUE(page->waitForAccessibleFocus(5.0, typed)) << name;
    EXPECT_TRUE(chordShows(f, keycode::x, converted)) << name << " convert: " << page->text(f) << "\n" << log();
    ASSERT_TRUE(main().pumpUntil([&] { return conversions() > conversionsBefore; })) << name << "\n" << log();
    ASSERT_TRUE(app->waitForSwitchLanded(1, *session)) << log();
    EXPECT_TRUE(chordShows(f, keycode::z, typed)) << name << " undo: " << page->text(f) << "\n" << log();
    ASSERT_TRUE(app->waitForSwitchLanded(0, *session)) << log();
    EXPECT_TRUE(chordShows(f, keycode::z, converted)) << name << " redo: " << page->text(f) << "\n" << log();
    ASSERT_TRUE(app->waitForSwitchLanded(1, *session)) << log();
    // Undone again, which leaves the first layout on for the next field.
    EXPECT_TRUE(chordShows(f, keycode::z, typed)) << name << " undo again: " << page->text(f) << "\n" << log();
    ASSERT_TRUE(app->waitForSwitchLanded(0, *session)) << log();
    // Each on the first press: the key held repeats, and a press refused
    // before one that worked would go unseen.
    EXPECT_EQ(count("- nothing changed"), refused) << name << "\n" << log();
  }

  std::unique_ptr<XSession> session;
  std::unique_ptr<BrowserPage> page;
  std::unique_ptr<X11Application> app;
};

TEST_P(BrowserFieldTest, EachFieldConvertsUndoesAndRedoesWhetherFocusedBeforeOrAfterTheStart) {
  // Focused before the application starts (the page's autofocus, then Tab
  // with the application not running).
  for (Field f : {Field::input, Field::textarea, Field::editable}) {
    SCOPED_TRACE(std::string("focused before the start: ") + BrowserPage::fieldName(f));
    if (f != Field::input) {
      ASSERT_NO_FATAL_FAILURE(focus(f, false));
      ASSERT_TRUE(page->waitForAccessibleFocus(10.0));
    }
    ASSERT_NO_FATAL_FAILURE(launch());
    ASSERT_NO_FATAL_FAILURE(convertUndoRedo(f));
    app.reset();
  }
  // Focused while it runs (Shift+Tab back, or Tab on), each field in an
  // application of its own.
  for (auto [f, back, presses] : {std::tuple{Field::textarea, true, 1}, std::tuple{Field::input, true, 1},
                                  std::tuple{Field::editable, false, 2}}) {
    SCOPED_TRACE(std::string("focused after the start: ") + BrowserPage::fieldName(f));
    ASSERT_NO_FATAL_FAILURE(launch());
    ASSERT_NO_FATAL_FAILURE(focus(f, back, presses));
    ASSERT_NO_FATAL_FAILURE(convertUndoRedo(f));
    app.reset();
  }
}

// An English word typed on the Thai layout whose first keys type marks that
// sit on the space before it (h: "\u0E49", e: "\u0E33"), after other text:
// the text before it is exact through the conversion, its undo and its redo.
TEST_P(BrowserFieldTest, AWordOpeningWithMarksLeavesTheTextBeforeItExact) {
  if (std::get<1>(GetParam()) == WindowManager::none) GTEST_SKIP() << "no window manager plays a part in it";
  const std::string before = "good morning ", thaiHello = "\u0E49\u0E33\u0E2A\u0E2A\u0E19";
  ASSERT_NO_FATAL_FAILURE(launch());
  for (Field f : {Field::input, Field::editable}) {
    SCOPED_TRACE(BrowserPage::fieldName(f));
    if (f != Field::input) ASSERT_NO_FATAL_FAILURE(focus(f, false, 2));
    ASSERT_TRUE(session->typeUsKeys(before));
    session->lockGroup(1);
    ASSERT_TRUE(app->waitForSwitchLanded(1, *session)) << log();
    ASSERT_TRUE(session->typeUsKeys("hello"));
    ASSERT_TRUE(shows(f, before + thaiHello)) << page->text(f) << "\n" << log();
    ASSERT_TRUE(page->waitForAccessibleFocus(5.0, before + thaiHello));
    EXPECT_TRUE(chordShows(f, keycode::x, before + "hello")) << page->text(f) << "\n" << log();
    ASSERT_TRUE(app->waitForSwitchLanded(0, *session)) << log();
    EXPECT_TRUE(chordShows(f, keycode::z, before + thaiHello)) << page->text(f) << "\n" << log();
    ASSERT_TRUE(app->waitForSwitchLanded(1, *session)) << log();
    EXPECT_TRUE(chordShows(f, keycode::z, before + "hello")) << page->text(f) << "\n" << log();
    ASSERT_TRUE(app->waitForSwitchLanded(0, *session)) << log();
    EXPECT_EQ(count("may be gone"), 0) << log();
  }
}

INSTANTIATE_TEST_SUITE_P(Browsers, BrowserFieldTest,
                         ::testing::Combine(::testing::Values(Browser::firefox, Browser::chromium),
                                            ::testing::Values(WindowManager::openbox, WindowManager::none)),
                         [](const auto& info) {
                           return std::string(xsession::browserName(std::get<0>(info.param))) +
                                  (std::get<1>(info.param) == WindowManager::none ? "WithoutWindowManager"
                                                                                  : "UnderOpenbox");
                         });

}  // namespace
}  // namespace tessa
