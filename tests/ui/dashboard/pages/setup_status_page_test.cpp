#include "ui/dashboard/pages/setup_status_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"
#include "support/screenshots.h"
#include "support/settle.h"
#include "ui/dashboard/dashboard_pages.h"

namespace tessa {
namespace {

using test::allTextDrawsWithoutBoxes;
using test::writeScreenshot;

class SetupStatusPageTest : public ::testing::Test {
 protected:
  SetupStatusPageTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
    engine->permission.repairHandler = [this](bool automatic, bool confirmed) {
      repairs.emplace_back(automatic, confirmed);
    };
  }
  ~SetupStatusPageTest() override {
    delete page;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    engine.reset();
    fx.engine.reset();
  }

  SetupStatusPage& open(bool granted, const std::string& language = "en") {
    engine->appLanguage.set(language);
    engine->isAccessibilityGranted.set(granted);
    QWidget* built = makeDashboardPage(DashboardPage::setupStatus, engine->views(), nullptr);
    page = qobject_cast<SetupStatusPage*>(built);
    EXPECT_NE(page, nullptr);
    EXPECT_EQ(built->objectName(), "page.setupStatus");
    page->resize(490, 480);
    page->show();
    settle();
    return *page;
  }
  static void settle() { test::settle(); }
  template <class W = QWidget>
  W* find(const QString& name) {
    return page->findChild<W*>(name);
  }
  bool shows(const QString& name) {
    auto* w = find(name);
    return w && w->isVisibleTo(page);
  }
  QString symbol() { return find("accessibilitySymbol")->property("symbol").toString(); }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  SetupStatusPage* page = nullptr;
  std::vector<std::pair<bool, bool>> repairs;
};

TEST_F(SetupStatusPageTest, TheCardFollowsThePermissionLive) {
  open(true);
  EXPECT_EQ(find<QLabel>("setupTitle")->text(), "System Setup Status");
  EXPECT_EQ(find<QLabel>("accessibilityTitle")->text(), "1. Accessibility Permission");
  EXPECT_EQ(symbol(), "checkmark.circle.fill");
  EXPECT_EQ(find<QLabel>("accessibilityDescription")->text(), "Permission granted. Keyboard tap is active.");
  EXPECT_FALSE(shows("accessibilityActions"));

  engine->isAccessibilityGranted.set(false);  // revoked while the page shows
  settle();
  EXPECT_EQ(symbol(), "xmark.circle.fill");
  EXPECT_EQ(find<QLabel>("accessibilityDescription")->text(), "Required to monitor and correct keyboard inputs.");
  EXPECT_TRUE(shows("grantAccessButton"));
  EXPECT_TRUE(shows("repairLink"));
  EXPECT_EQ(find<QPushButton>("repairLink")->text(), "Enabled but not working? Repair");
  EXPECT_TRUE(find<QPushButton>("repairLink")->toolTip().startsWith("ใช้เมื่อเปิด Accessibility ของเดสก์ท็อป"));

  engine->appCopywritingLevel.set(CopywritingLevel::pro);
  settle();
  EXPECT_EQ(find<QLabel>("accessibilityDescription")->text(), "Grant Accessibility so the event tap can run.");
}

TEST_F(SetupStatusPageTest, GrantAccessOpensThePrivacySettings) {
  desk.setTrusted(false);
  open(false);
  find<QPushButton>("grantAccessButton")->click();
  fx.runner.runUntilIdle();
  settle();
  EXPECT_EQ(desk.workspace().openedURLs().back(),
            "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
  EXPECT_EQ(symbol(), "xmark.circle.fill");
}

TEST_F(SetupStatusPageTest, TheRepairRunsOnlyAfterItsConfirmation) {
  open(false, "th");
  find<QPushButton>("repairLink")->click();
  settle();
  QMessageBox* box = page->repairConfirmation();
  ASSERT_NE(box, nullptr);
  EXPECT_TRUE(box->isVisible());
  EXPECT_EQ(box->windowModality(), Qt::WindowModal);
  // Nothing is reset here: the program only starts again.
  EXPECT_EQ(box->text(), "เริ่ม Tessavinor ใหม่?");
  EXPECT_TRUE(page->model().showRepairConfirmation());
  auto* cancel = box->findChild<QPushButton*>("repairCancelButton");
  ASSERT_TRUE(cancel);
  EXPECT_EQ(cancel->text(), "ยกเลิก");
  EXPECT_TRUE(allTextDrawsWithoutBoxes(*box));
  writeScreenshot(*box, "setup_status_repair_confirmation_th");
  cancel->click();
  settle();
  EXPECT_EQ(page->repairConfirmation(), nullptr);
  EXPECT_FALSE(page->model().showRepairConfirmation());
  EXPECT_TRUE(repairs.empty());

  find<QPushButton>("repairLink")->click();
  settle();
  ASSERT_NE(page->repairConfirmation(), nullptr);
  auto* confirm = page->repairConfirmation()->findChild<QPushButton*>("repairConfirmButton");
  EXPECT_EQ(confirm->text(), "เริ่มใหม่");
  confirm->click();
  settle();
  EXPECT_EQ(repairs, (std::vector<std::pair<bool, bool>>{{false, true}}));
  EXPECT_FALSE(page->model().showRepairConfirmation());
}

TEST_F(SetupStatusPageTest, APageClosedWithItsConfirmationOpenLeavesNothingBehind) {
  open(false);
  find<QPushButton>("repairLink")->click();
  settle();
  delete page;
  page = nullptr;
  settle();
  EXPECT_TRUE(repairs.empty());
}

// On a desktop whose grant is its own switch: the question first, window-
// modal; only its yes turns the switch on and the card green.
TEST_F(SetupStatusPageTest, OnADesktopSwitchTheGrantAsksFirst) {
  desk.accessibility().setPromptTurnsTrustOn(true);
  desk.setTrusted(false);
  for (const char* language : {"th", "en"}) {
    delete page;
    open(false, language);
    engine->requestAccessibility(false);  // as start-up does: the switch is seen off
    fx.runner.runUntilIdle();
    settle();
    EXPECT_TRUE(allTextDrawsWithoutBoxes(*page));
    writeScreenshot(*page, QStringLiteral("setup_status_%1_switch_off").arg(language));
    find<QPushButton>("grantAccessButton")->click();
    settle();
    QMessageBox* question = page->consentQuestion();
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(question->isVisible());
    EXPECT_EQ(question->windowModality(), Qt::WindowModal);
    EXPECT_TRUE(allTextDrawsWithoutBoxes(*question));
    writeScreenshot(*question, QStringLiteral("setup_status_accessibility_consent_%1").arg(language));
    question->findChild<QPushButton*>("accessibilityConsentCancel")->click();
    settle();
    EXPECT_EQ(page->consentQuestion(), nullptr);
    EXPECT_FALSE(desk.accessibility().trusted());
  }
  find<QPushButton>("grantAccessButton")->click();
  settle();
  ASSERT_NE(page->consentQuestion(), nullptr);
  page->consentQuestion()->findChild<QPushButton*>("accessibilityConsentConfirm")->click();
  fx.runner.runUntilIdle();
  settle();
  EXPECT_TRUE(desk.accessibility().trusted());
  EXPECT_EQ(symbol(), "checkmark.circle.fill");

  // A page closed with the question open turns nothing on.
  desk.setTrusted(false);
  find<QPushButton>("grantAccessButton")->click();
  settle();
  ASSERT_NE(page->consentQuestion(), nullptr);
  delete page;
  page = nullptr;
  settle();
  EXPECT_FALSE(desk.accessibility().trusted());
}

TEST_F(SetupStatusPageTest, AProgramToRestartIsNamedUnderTheCard) {
  auto& editor = desk.launchApplication("org.example.Editor", "Editor");
  for (const char* language : {"th", "en"}) {
    delete page;
    open(true, language);
    EXPECT_FALSE(shows("restartNotice"));
    engine->programToRestart.set(KeyboardEngine::ProgramToRestart{editor.info, editor.launchedAt});
    settle();
    ASSERT_TRUE(shows("restartNotice"));
    EXPECT_TRUE(find<QLabel>("restartNotice")->text().startsWith("Editor "));
    EXPECT_TRUE(allTextDrawsWithoutBoxes(*page));
    writeScreenshot(*page, QStringLiteral("setup_status_%1_restart_program").arg(language));
    engine->programToRestart.set(std::nullopt);
  }
}

TEST_F(SetupStatusPageTest, ScreenshotsInThaiAndEnglish) {
  for (const char* language : {"th", "en"}) {
    for (bool granted : {true, false}) {
      SCOPED_TRACE(std::string(language) + (granted ? " granted" : " missing"));
      delete page;
      open(granted, language);
      EXPECT_TRUE(allTextDrawsWithoutBoxes(*page));
      writeScreenshot(*page, QStringLiteral("setup_status_%1_%2").arg(language, granted ? "granted" : "missing"));
    }
  }
}

}  // namespace
}  // namespace tessa
