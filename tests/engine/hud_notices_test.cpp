// The engine's status and switch-confirmation notices on its HUD panel.
#include "engine/hud_notices.h"

#include <gtest/gtest.h>

#include "hud/unified_menu_panel.h"
#include "l10n/localization.h"
#include "support/engine_fixture.h"

namespace tessa {
namespace {

using K = DisplayState::Kind;

TEST(StatusHud, ShowsAStatusLineAtPriorityThreeBelowTheStatusItem) {
  test::EngineFixture f;
  auto engine = f.start();
  auto panel = UnifiedMenuPanel::create(hudEnvironmentFor(*engine));
  engine->hud.panel = panel.get();
  showStatusHUD(*engine, "สลับภาษาสำเร็จ", "เปลี่ยนเป็นภาษาไทย", "keyboard", HudColor::white);
  ASSERT_FALSE(f.systemLog.consoleLines.empty());
  EXPECT_EQ(f.systemLog.consoleLines.back(),
            "Tessavinor: showStatusHUD called with message: สลับภาษาสำเร็จ, subMessage: เปลี่ยนเป็นภาษาไทย");
  EXPECT_FALSE(panel->isVisible());  // handed over on the main queue
  f.runner.runUntilIdle();
  ASSERT_EQ(panel->shownNotices().size(), 1u);
  EXPECT_EQ(panel->activePriority(), 3);
  EXPECT_EQ(panel->shownNotices()[0].anchor, HudAnchor::statusItem);
  showStatusHUD(*engine, "wait", "", "hourglass", HudColor::white, 2.0);
  f.runner.advance(1.0);
  EXPECT_EQ(panel->state().displayState.get().kind(), K::statusProgress);
  engine->hud.panel = nullptr;
}

TEST(StatusHud, TheSwitchConfirmationFollowsTheChosenFeedbackStyle) {
  test::EngineFixture f;
  auto engine = f.start();
  auto panel = UnifiedMenuPanel::create(hudEnvironmentFor(*engine));
  engine->hud.panel = panel.get();
  auto lastContent = [&] { return panel->shownNotices().back().content; };
  auto showAndSettle = [&](const std::string& text, const std::string& previous, int64_t score) {
    showLanguageSwitchFeedback(*engine, text, previous, "ไทย", score, 8.0);
    f.runner.advance(10.0);
  };

  engine->defaults().set("correctionFeedbackStyle", "off");
  showAndSettle("สวัสดี", "l;ylfu", 3);
  EXPECT_TRUE(panel->shownNotices().empty());

  engine->defaults().set("correctionFeedbackStyle", "hud");
  showAndSettle("สวัสดี", "l;ylfu", 3);
  ASSERT_EQ(panel->shownNotices().size(), 1u);
  EXPECT_EQ(lastContent()["kind"], "status");
  EXPECT_EQ(lastContent()["message"], "สลับภาษาสำเร็จ");
  EXPECT_EQ(lastContent()["subMessage"], "เปลี่ยนเป็นภาษาไทย");

  // Unset and unknown styles both give the compact confirmation.
  engine->defaults().remove("correctionFeedbackStyle");
  showAndSettle("สวัสดี", "l;ylfu", 3);
  ASSERT_EQ(panel->shownNotices().size(), 2u);
  EXPECT_EQ(lastContent()["kind"], "confirmedForward");
  EXPECT_EQ(lastContent()["correctedWord"], "สวัสดี");
  EXPECT_EQ(lastContent()["origWord"], "l;ylfu");
  EXPECT_EQ(panel->shownNotices().back().priority, 2);

  // A whole sentence is shortened and its second line counts the changes.
  engine->defaults().set("correctionFeedbackStyle", "bubbles");
  showAndSettle("abcdefghijklmnopqrstu", "abcdefghijklmnopqrsXY", 7);
  ASSERT_EQ(panel->shownNotices().size(), 3u);
  EXPECT_EQ(lastContent()["correctedWord"], middleTruncated("abcdefghijklmnopqrstu", 14));
  EXPECT_EQ(lastContent()["origWord"], "แก้ 2 จุดในประโยค");
  engine->hud.panel = nullptr;
}

}  // namespace
}  // namespace tessa
