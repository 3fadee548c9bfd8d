// The desktop's accessibility switch on a private bus, as a fresh account
// has it (off): start-up leaves it off, the setup page's grant turns it on
// once the user agrees, and a program already open by then is named and
// told to restart, after which its words convert.
#include <gtest/gtest.h>

#include "app_core/dashboard/setup_status_model.h"
#include "engine/keyboard_engine.h"
#include "hud/unified_menu_panel.h"
#include "platform/events.h"
#include "x11/support/unavailable.h"
#include "x11_session/x11_application.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using xsession::TestField;
using xsession::X11Application;
using xsession::XSession;

class AccessibilityConsentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    session = XSession::start(&why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    ASSERT_TRUE(session->setLayouts({"us", "th"}));
    session->resetKeyboardState();
    if (!session->startAccessibilityBus(&why)) TESSA_X11_UNAVAILABLE(why);
    // The bus is the process's own; each case runs in a process of its own.
    ASSERT_EQ(session->accessibilityOn(), std::optional<bool>(false)) << "a fresh account";
  }

  // The field first, focused, then the application on the fresh account.
  void launchWith(TestField::Sharing sharing, const std::string& text) {
    std::string why;
    field = TestField::start(*session, TestField::Kind::line, text, &why, sharing);
    ASSERT_TRUE(field) << why;
    xsession::X11ApplicationOptions options;
    options.accessibilityOn = false;
    app = X11Application::launch(*session, options, &why);
    ASSERT_TRUE(app) << why;
    engine = &app->engine();
    engine->appLanguage.set("en");
  }

  // The setup page's grant, answered yes.
  void grantOnTheSetupPage() {
    SetupStatusModel page(engine->settings(), engine->accessibility(), engine->context());
    page.grantAccess();
    ASSERT_TRUE(page.consent().isAsking());
    EXPECT_EQ(session->accessibilityOn(), std::optional<bool>(false)) << "turned on before the user agreed";
    page.consent().confirm();
    ASSERT_TRUE(app->waitForTap(5.0)) << app->diagnostics();
    EXPECT_EQ(session->accessibilityOn(), std::optional<bool>(true));
  }

  bool fieldShows(const std::string& text) {
    return app->main().pumpUntil(
        [&] {
          auto s = field->state();
          last = s ? s->text : "<no state>";
          return s && s->text == text;
        },
        5.0);
  }
  void convert() {
    session->pressKey(keycode::control, true);
    session->tapKey(keycode::x, true);
    session->pressKey(keycode::control, false);
  }
  // Pumps until the HUD has shown `message` (after what it showed before).
  bool hudShows(const std::string& message) {
    return app->main().pumpUntil(
        [&] {
          for (const auto& notice : app->hud()->shownNotices())
            if (notice.content.value("message", "") == message) return true;
          return false;
        },
        5.0);
  }

  std::unique_ptr<XSession> session;
  std::unique_ptr<TestField> field;
  std::unique_ptr<X11Application> app;
  KeyboardEngine* engine = nullptr;
  std::string last;
};

TEST_F(AccessibilityConsentTest, AFreshAccountsStartLeavesTheSwitchOffUntilTheUserGrantsIt) {
  launchWith(TestField::Sharing::always, "");
  if (HasFatalFailure()) return;
  app->play({}, 1.5);  // the permission poll runs meanwhile
  EXPECT_EQ(session->accessibilityOn(), std::optional<bool>(false));
  EXPECT_FALSE(engine->isAccessibilityGranted.get());
  EXPECT_EQ(engine->tap.eventTap, 0u);
  SetupStatusModel page(engine->settings(), engine->accessibility(), engine->context());
  EXPECT_NE(page.description().find("The desktop's accessibility is off"), std::string::npos);

  grantOnTheSetupPage();
  if (HasFatalFailure()) return;
  EXPECT_TRUE(engine->isAccessibilityGranted.get());
  ASSERT_TRUE(session->typeUsKeys("a"));
  EXPECT_TRUE(fieldShows("a")) << last << "\n" << app->diagnostics();
}

// A Qt program started before the switch went on, without Qt's always-on
// accessibility variables (as a user's program starts), shares no text.
TEST_F(AccessibilityConsentTest, AProgramOpenBeforeTheGrantIsNamedAndConvertsOnceRestarted) {
  launchWith(TestField::Sharing::asTheSwitchSaidAtStart, "l;ylfu");
  if (HasFatalFailure()) return;
  grantOnTheSetupPage();
  if (HasFatalFailure()) return;
  auto front = engine->platform().workspace->frontmostApplication();
  ASSERT_TRUE(front && front->pid == field->pid());
  ASSERT_FALSE(front->name.empty());
  EXPECT_EQ(engine->platform().accessibility->isApplicationRegistered(field->pid()), std::optional<bool>(false));

  convert();
  EXPECT_TRUE(hudShows("Restart " + front->name + " once")) << app->diagnostics();
  EXPECT_EQ(field->state()->text, "l;ylfu");
  SetupStatusModel page(engine->settings(), engine->accessibility(), engine->context());
  EXPECT_NE(page.restartNotice().find(front->name), std::string::npos) << page.restartNotice();

  // Restarted, as a user would: it shares its text now.
  field.reset();
  std::string why;
  field = TestField::start(*session, TestField::Kind::line, "l;ylfu", &why, TestField::Sharing::asTheSwitchSaidAtStart);
  ASSERT_TRUE(field) << why;
  ASSERT_TRUE(app->main().pumpUntil(
      [&] {
        auto now = engine->platform().workspace->frontmostApplication();
        return now && now->pid == field->pid() && page.restartNotice().empty() &&
               engine->platform().accessibility->isApplicationRegistered(field->pid()) == true;
      },
      5.0))
      << page.restartNotice();
  convert();
  EXPECT_TRUE(fieldShows("สวัสดี")) << last << "\n" << app->diagnostics();
}

}  // namespace
}  // namespace tessa
