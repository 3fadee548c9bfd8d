#include "app_core/dashboard/setup_status_model.h"

#include <gtest/gtest.h>

#include "app_core/status_item_model.h"
#include "app_core/status_item_of_engine.h"
#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"

namespace tessa {
namespace {

class SetupStatusModelTest : public ::testing::Test {
 protected:
  SetupStatusModelTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
    engine->appLanguage.set("en");
    engine->permission.repairHandler = [this](bool automatic, bool confirmed) {
      repairs.emplace_back(automatic, confirmed);
    };
  }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  std::vector<std::pair<bool, bool>> repairs;
};

TEST_F(SetupStatusModelTest, APartialKeyboardTapIsNotReportedAsWorkingFully) {
  SetupStatusModel model(engine->settings(), engine->accessibility(), engine->context());
  engine->isAccessibilityGranted.set(true);
  desk.events().setFiltersEveryKey(false);
  desk.events().setKeysHeldByOthers({"q", "Caps_Lock"});
  EXPECT_EQ(model.statusSymbol(), "exclamationmark.triangle.fill");
  EXPECT_EQ(model.statusColor(), HudColor::orange);
  EXPECT_EQ(model.description(),
            "Permission granted, but another program holds the keys q, Caps_Lock. Typed during a language switch, they "
            "arrive at once in the layout before it; every other key is held and switched.");
  engine->appLanguage.set("th");
  EXPECT_NE(model.description().find("โปรแกรมอื่นยึดปุ่ม q, Caps_Lock"), std::string::npos);
  // Without the permission that is what the card is about.
  engine->isAccessibilityGranted.set(false);
  EXPECT_EQ(model.statusSymbol(), "xmark.circle.fill");
}

TEST_F(SetupStatusModelTest, ASwitcherKeyAnotherProgramKeepsIsNamedOnlyWhenItIsTheChosenOne) {
  SetupStatusModel model(engine->settings(), engine->accessibility(), engine->context());
  engine->isAccessibilityGranted.set(true);
  // A window manager keeps Alt+Space for its window menu.
  desk.events().setComboHeldByOthers(keycode::space, flags::option);
  engine->switcherKey.set(SwitcherKey::grave);
  EXPECT_EQ(model.statusSymbol(), "checkmark.circle.fill") << "not the user's switcher: nothing to say";
  engine->switcherKey.set(SwitcherKey::optionSpace);
  EXPECT_EQ(model.statusSymbol(), "exclamationmark.triangle.fill");
  EXPECT_EQ(model.statusColor(), HudColor::orange);
  EXPECT_EQ(model.description(),
            "Permission granted, but another program keeps Alt+Space for itself, so it does not switch the "
            "language here. Choose another switcher key in the keyboard settings.");
  EXPECT_EQ(statusTooltip(test::statusItemStateOf(*engine)),
            "⚠️ Another program keeps Alt+Space for itself: it does not switch the language here — choose another "
            "switcher key");
  engine->appLanguage.set("th");
  EXPECT_EQ(statusTooltip(test::statusItemStateOf(*engine)),
            "⚠️ โปรแกรมอื่นใช้ Alt+Space อยู่: กดแล้วจะไม่สลับภาษา — เลือกปุ่มสลับภาษาอื่นแทน");
}

TEST_F(SetupStatusModelTest, TheCardFollowsTheGrantAtEitherWordingLevel) {
  SetupStatusModel model(engine->settings(), engine->accessibility(), engine->context());
  engine->isAccessibilityGranted.set(true);
  EXPECT_EQ(model.statusSymbol(), "checkmark.circle.fill");
  EXPECT_EQ(model.statusColor(), HudColor::green);
  EXPECT_EQ(model.description(), "Permission granted. Keyboard tap is active.");
  EXPECT_FALSE(model.showsActions());
  engine->appCopywritingLevel.set(CopywritingLevel::pro);
  EXPECT_EQ(model.description(), "Accessibility (AT-SPI) granted. Event tap is running.");

  engine->isAccessibilityGranted.set(false);
  EXPECT_EQ(model.statusSymbol(), "xmark.circle.fill");
  EXPECT_EQ(model.statusColor(), HudColor::orange);
  EXPECT_EQ(model.description(), "Grant Accessibility so the event tap can run.");
  EXPECT_TRUE(model.showsActions());
  engine->appCopywritingLevel.set(CopywritingLevel::layman);
  EXPECT_EQ(model.description(), "Required to monitor and correct keyboard inputs.");
}

TEST_F(SetupStatusModelTest, GrantAccessOpensThePrivacySettingsAndRereadsWithoutPrompting) {
  desk.setTrusted(false);
  engine->isAccessibilityGranted.set(false);
  SetupStatusModel model(engine->settings(), engine->accessibility(), engine->context());
  model.grantAccess();
  fx.runner.runUntilIdle();
  EXPECT_EQ(desk.workspace().openedURLs().back(),
            "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
  EXPECT_FALSE(model.isGranted()) << "still orange until the permission is really there";
  desk.setTrusted(true);
  engine->requestAccessibility(false);
  fx.runner.runUntilIdle();
  EXPECT_TRUE(model.isGranted());
}

// Where the desktop's own switch grants the permission (X11), the button
// first says what turning it on does; only the user's yes turns it on (with
// a log line), and no settings page is opened either way.
TEST_F(SetupStatusModelTest, OnADesktopSwitchTheGrantAsksFirstAndOnlyAYesTurnsItOn) {
  desk.setTrusted(false);
  desk.accessibility().setPromptTurnsTrustOn(true);
  engine->requestAccessibility(false);
  fx.runner.runUntilIdle();
  const size_t urls = desk.workspace().openedURLs().size();
  SetupStatusModel model(engine->settings(), engine->accessibility(), engine->context());
  EXPECT_EQ(model.description(),
            "The desktop's accessibility is off, so Tessavinor cannot hold the keys typed during a language switch or "
            "read the word to convert. Grant Access turns it on.");

  model.grantAccess();
  fx.runner.runUntilIdle();
  EXPECT_TRUE(model.consent().isAsking());
  EXPECT_FALSE(desk.accessibility().trusted()) << "asked, not yet answered";
  model.consent().cancel();
  fx.runner.runUntilIdle();
  EXPECT_FALSE(model.consent().isAsking());
  EXPECT_FALSE(desk.accessibility().trusted());
  EXPECT_FALSE(model.isGranted());

  model.grantAccess();
  model.consent().confirm();
  fx.runner.runUntilIdle();
  EXPECT_TRUE(model.isGranted());
  EXPECT_TRUE(desk.accessibility().trusted());
  EXPECT_EQ(desk.workspace().openedURLs().size(), urls);
  int said = 0;
  for (const auto& line : engine->diagnosticLogs())
    if (line.find("turned the desktop's accessibility on (org.a11y.Status IsEnabled) at the user's request") !=
        std::string::npos)
      ++said;
  EXPECT_EQ(said, 1);
}

// A program the engine could not read because it was open before the
// switch went on is named while that very process runs.
TEST_F(SetupStatusModelTest, ThePageSaysToRestartAProgramOnlyWhileItRuns) {
  SetupStatusModel model(engine->settings(), engine->accessibility(), engine->context());
  EXPECT_EQ(model.restartNotice(), "");
  auto& editor = desk.launchApplication("org.example.Editor", "Editor");
  engine->programToRestart.set(KeyboardEngine::ProgramToRestart{editor.info, editor.launchedAt});
  EXPECT_EQ(model.restartNotice(),
            "Editor was already open when accessibility went on, so its text cannot be read yet: restart it once to "
            "convert words there.");
  engine->appLanguage.set("th");
  EXPECT_EQ(model.restartNotice().rfind("Editor เปิดอยู่ก่อนเปิดการเข้าถึง", 0), 0u) << model.restartNotice();
  desk.terminateApplication("org.example.Editor");
  EXPECT_EQ(model.restartNotice(), "");
}

TEST_F(SetupStatusModelTest, WhenTheSwitchIsOutOfReachTheCardSaysWhatIsMissing) {
  desk.setTrusted(false);
  desk.accessibility().setPromptTurnsTrustOn(true);
  desk.accessibility().setTrustProblem(AXTrustProblem::noAccessibilityBus);
  engine->isAccessibilityGranted.set(false);
  SetupStatusModel model(engine->settings(), engine->accessibility(), engine->context());
  model.grantAccess();
  model.consent().confirm();
  fx.runner.runUntilIdle();
  EXPECT_FALSE(model.isGranted());
  EXPECT_NE(model.description().find("at-spi2-core"), std::string::npos) << model.description();
  bool logged = false;
  for (const auto& line : engine->diagnosticLogs())
    logged = logged || line.find("install at-spi2-core") != std::string::npos;
  EXPECT_TRUE(logged);
  desk.accessibility().setTrustProblem(AXTrustProblem::noSessionBus);
  EXPECT_NE(model.description().find("dbus-run-session"), std::string::npos) << model.description();
}

TEST_F(SetupStatusModelTest, OnlyAConfirmedRepairReachesTheEngine) {
  SetupStatusModel model(engine->settings(), engine->accessibility(), engine->context());
  model.requestRepair();
  EXPECT_TRUE(model.showRepairConfirmation());
  model.cancelRepair();
  EXPECT_FALSE(model.showRepairConfirmation());
  EXPECT_TRUE(repairs.empty());

  model.requestRepair();
  model.confirmRepair();
  EXPECT_FALSE(model.showRepairConfirmation());
  EXPECT_EQ(repairs, (std::vector<std::pair<bool, bool>>{{false, true}})) << "the user-confirmed manual form";
}

}  // namespace
}  // namespace tessa
