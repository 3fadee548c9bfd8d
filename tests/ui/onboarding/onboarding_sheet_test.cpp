#include "ui/dashboard/onboarding_sheet.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "reliability/telemetry_manager.h"
#include "engine/reporting.h"
#include "support/engine_fixture.h"
#include "support/screenshots.h"
#include "support/settle.h"
#include "ui/dashboard/content_view.h"
#include "ui/onboarding/onboarding_pages.h"
#include "ui/onboarding/onboarding_widgets.h"

namespace tessa {
namespace {

using test::allTextDrawsWithoutBoxes;
using test::writeScreenshot;

class OnboardingSheetTest : public ::testing::Test {
 protected:
  OnboardingSheetTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
  }
  ~OnboardingSheetTest() override {
    sheet.reset();
    view.reset();
    settle();
    engine->stopTapDeadManThread();
    engine.reset();
    fx.engine.reset();
  }
  static void settle() { test::settle(); }
  OnboardingSheet& open(const std::string& language) {
    engine->appLanguage.set(language);
    sheet = std::make_unique<OnboardingSheet>(engine->settings(), engine->accessibility(), engine->context(),
                                              engine->reports(), nullptr, &telemetry);
    sheet->open();
    settle();
    return *sheet;
  }
  // The dashboard with its sheet up, as a first launch shows it.
  OnboardingSheet& openOverDashboard(const std::string& language) {
    engine->appLanguage.set(language);
    engine->hasCompletedOnboarding.set(false);
    DashboardServices services;
    services.telemetry = &telemetry;
    view = std::make_unique<ContentView>(engine->views(), fx.notifications, nullptr, std::move(services));
    view->show();
    settle();
    auto* shown = qobject_cast<OnboardingSheet*>(view->onboardingSheet());
    EXPECT_NE(shown, nullptr);
    return *shown;
  }
  template <class W = QWidget>
  W* find(QWidget& root, const QString& name) {
    return root.findChild<W*>(name);
  }
  static QString pageName(OnboardingSheet& s) { return s.page() ? s.page()->objectName() : QString(); }
  void click(QWidget& root, const QString& name) {
    auto* button = find<QAbstractButton>(root, name);
    ASSERT_NE(button, nullptr) << name.toStdString();
    ASSERT_TRUE(button->isVisible()) << name.toStdString();
    button->click();
    settle();
  }
  static std::vector<int> dotWidths(OnboardingSheet& s) {
    std::vector<int> out;
    for (int i = 0; i < OnboardingModel::kDotCount; ++i) out.push_back(OnboardingModel::dot(i, s.dots()->step()).width);
    return out;
  }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  TelemetryManager telemetry{"https://telemetry.test/api/telemetry/ingest"};
  std::unique_ptr<OnboardingSheet> sheet;
  std::unique_ptr<ContentView> view;
};

// Level, permission with the poll, switcher key, start at login, consent:
// the whole first run through the widgets, on the manual clock.
TEST_F(OnboardingSheetTest, TheFirstRunWalksEveryPageAndTheLastAnswerCompletesOnboarding) {
  desk.setTrusted(false);
  fx.runner.runUntilIdle();
  OnboardingSheet& s = openOverDashboard("en");
  EXPECT_EQ(s.windowModality(), Qt::WindowModal);
  EXPECT_EQ(s.width(), 520);
  EXPECT_EQ(pageName(s), "onboarding.page.level");
  EXPECT_EQ(dotWidths(s), (std::vector<int>{18, 6, 6, 6, 6}));

  click(s, "onboarding.level.layman");
  EXPECT_EQ(engine->appCopywritingLevel.get(), CopywritingLevel::layman);
  ASSERT_EQ(pageName(s), "onboarding.page.permission");
  EXPECT_NE(find(s, "onboarding.permission.grant"), nullptr);
  EXPECT_EQ(find(s, "onboarding.permission.continue"), nullptr);

  click(s, "onboarding.permission.grant");
  EXPECT_NE(desk.workspace().openedURLs().back().find("Privacy_Accessibility"), std::string::npos);
  EXPECT_EQ(pageName(s), "onboarding.page.permission") << "the grant button keeps the page";
  fx.runner.advance(2.0);
  EXPECT_EQ(pageName(s), "onboarding.page.permission");
  desk.setTrusted(true);  // the user switches the permission on in the settings
  fx.runner.advance(1.0);
  settle();
  ASSERT_EQ(pageName(s), "onboarding.page.switcher") << "moved on by the poll, without a click";
  EXPECT_EQ(dotWidths(s), (std::vector<int>{6, 6, 18, 6, 6}));

  click(s, "onboarding.switcher.card1");
  EXPECT_EQ(engine->switcherKey.get(), SwitcherKey::grave);
  ASSERT_EQ(pageName(s), "onboarding.page.startup");

  click(s, "onboarding.startup.enable");
  EXPECT_TRUE(desk.loginItems().enabled());
  EXPECT_TRUE(fx.defaults->boolForKey("hasPromptedAutoStart"));
  ASSERT_EQ(pageName(s), "onboarding.page.telemetry");
  EXPECT_FALSE(engine->hasCompletedOnboarding.get());

  click(s, "onboarding.telemetry.agree");
  EXPECT_TRUE(engine->isShareUsageTimeEnabled.get());
  EXPECT_TRUE(engine->hasSeenShareInvitation.get());
  EXPECT_TRUE(fx.defaults->boolForKey("hasCompletedOnboarding"));
  EXPECT_EQ(view->onboardingSheet(), nullptr) << "the sheet closed itself";
  EXPECT_FALSE(view->model().showOnboarding());
}

TEST_F(OnboardingSheetTest, ClosingTheSheetAnotherWayLeavesOnboardingDueAndAReplayStartsAtTheFirstPage) {
  OnboardingSheet& s = openOverDashboard("en");
  click(s, "onboarding.level.pro");
  s.reject();
  settle();
  EXPECT_FALSE(engine->hasCompletedOnboarding.get());
  fx.notifications.post("ReplayOnboarding");
  settle();
  auto* again = qobject_cast<OnboardingSheet*>(view->onboardingSheet());
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(pageName(*again), "onboarding.page.level");
  EXPECT_EQ(again->model().step(), 0);
}

TEST_F(OnboardingSheetTest, ThePermissionPageOffersTheRepairOnlyBehindItsConfirmation) {
  desk.setTrusted(false);
  fx.runner.runUntilIdle();
  OnboardingSheet& s = open("en");
  int repairs = 0;
  s.setRepairAction([&repairs] { ++repairs; });
  s.model().setStep(1);
  settle();
  for (const char* name : {"onboarding.permission.grant", "onboarding.permission.troubleshoot",
                           "onboarding.permission.bullet", "onboarding.permission.skip"})
    EXPECT_NE(find(s, name), nullptr) << name;
  EXPECT_EQ(find(s, "onboarding.permission.granted"), nullptr);

  click(s, "onboarding.permission.troubleshoot");
  QMessageBox* alert = s.repairAlert();
  ASSERT_NE(alert, nullptr);
  EXPECT_TRUE(alert->isVisible());
  EXPECT_EQ(alert->text(), "Restart Tessavinor?");
  click(*alert, "onboarding.repairAlert.cancel");
  EXPECT_EQ(s.repairAlert(), nullptr);
  EXPECT_EQ(repairs, 0);
  EXPECT_EQ(pageName(s), "onboarding.page.permission");

  click(s, "onboarding.permission.troubleshoot");
  ASSERT_NE(s.repairAlert(), nullptr);
  click(*s.repairAlert(), "onboarding.repairAlert.reset");
  EXPECT_EQ(repairs, 1);
  EXPECT_EQ(pageName(s), "onboarding.page.permission");

  click(s, "onboarding.permission.skip");
  EXPECT_EQ(pageName(s), "onboarding.page.switcher");
  EXPECT_FALSE(engine->isAccessibilityGranted.get());
}

// On a desktop whose grant is its own switch, the grant button asks first;
// a no changes nothing, a yes turns it on and the poll moves on.
TEST_F(OnboardingSheetTest, OnADesktopSwitchTheGrantButtonAsksBeforeTurningItOn) {
  desk.accessibility().setPromptTurnsTrustOn(true);
  desk.setTrusted(false);
  fx.runner.runUntilIdle();
  for (const char* language : {"en", "th"}) {
    OnboardingSheet& s = open(language);
    s.model().setStep(1);
    settle();
    click(s, "onboarding.permission.grant");
    QMessageBox* question = s.consentQuestion();
    ASSERT_NE(question, nullptr);
    EXPECT_TRUE(question->isVisible());
    EXPECT_EQ(question->windowModality(), Qt::WindowModal);
    EXPECT_EQ(question->text().toStdString(), s.model().consent().title());
    // Not every program open needs a restart: only those it will name.
    if (std::string(language) == "en") {
      EXPECT_TRUE(question->informativeText().endsWith(
          "Some programs that are already open may need a restart before their text can be read. Tessavinor will name "
          "any that does."));
    }
    EXPECT_TRUE(allTextDrawsWithoutBoxes(*question));
    writeScreenshot(*question, QStringLiteral("onboarding_accessibility_consent_%1").arg(language));
    click(*question, "accessibilityConsentCancel");
    EXPECT_EQ(s.consentQuestion(), nullptr);
    EXPECT_FALSE(desk.accessibility().trusted());
    EXPECT_EQ(pageName(s), "onboarding.page.permission");
    sheet.reset();
    settle();
  }
  OnboardingSheet& s = open("en");
  s.model().setStep(1);
  settle();
  click(s, "onboarding.permission.grant");
  ASSERT_NE(s.consentQuestion(), nullptr);
  click(*s.consentQuestion(), "accessibilityConsentConfirm");
  EXPECT_TRUE(desk.accessibility().trusted());
  fx.runner.advance(1.0);
  settle();
  EXPECT_EQ(pageName(s), "onboarding.page.switcher");
}

TEST_F(OnboardingSheetTest, AGrantedPermissionShowsTheGreenLineAndContinue) {
  desk.setTrusted(true);
  fx.runner.runUntilIdle();
  OnboardingSheet& s = open("en");
  s.model().setStep(1);
  settle();
  ASSERT_NE(find<QLabel>(s, "onboarding.permission.granted"), nullptr);
  EXPECT_EQ(find<QLabel>(s, "onboarding.permission.granted")->text(), "Accessibility permission granted");
  EXPECT_EQ(find(s, "onboarding.permission.grant"), nullptr);
  EXPECT_EQ(find(s, "onboarding.permission.skip"), nullptr);
  click(s, "onboarding.permission.continue");
  EXPECT_EQ(pageName(s), "onboarding.page.switcher");
}

TEST_F(OnboardingSheetTest, TheSwitcherPageOutlinesTheCurrentKeyAndWarnsAboutSpotlight) {
  OnboardingSheet& s = open("en");
  s.model().setStep(2);
  settle();
  for (int raw = 0; raw < 5; ++raw) {
    auto* card = find<CardButton>(s, QStringLiteral("onboarding.switcher.card%1").arg(raw));
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(card->isOutlined(), raw == 0) << raw;
  }
  EXPECT_EQ(find(s, "onboarding.switcher.warning"), nullptr);

  engine->switcherKey.set(SwitcherKey::commandSpace);
  s.model().setStep(0);
  s.model().setStep(2);  // shown again, as on a replay
  settle();
  EXPECT_TRUE(find<CardButton>(s, "onboarding.switcher.card4")->isOutlined());
  ASSERT_NE(find(s, "onboarding.switcher.warning"), nullptr);
  EXPECT_EQ(find<QLabel>(s, "warningTitle")->text(), "Spotlight ยังใช้ Command + Space อยู่");

  desk.events().setComboHeldByOthers(keycode::space, flags::option);  // the window manager's: the page stays
  click(s, "onboarding.switcher.card2");
  EXPECT_TRUE(find<CardButton>(s, "onboarding.switcher.card2")->isOutlined());
  EXPECT_NE(find(s, "onboarding.switcher.takenWarning"), nullptr);
}

TEST_F(OnboardingSheetTest, DeclineAndTheInspectorLeaveTheAnswersAsGiven) {
  OnboardingSheet& s = open("en");
  s.model().setStep(4);
  settle();
  auto answers = [this] {
    return std::vector<bool>{engine->isShareUsageTimeEnabled.get(), fx.defaults->boolForKey("hasSeenShareInvitation"),
                             fx.defaults->boolForKey("hasPromptedTelemetrySharing"),
                             fx.defaults->boolForKey("hasCompletedOnboarding")};
  };
  auto before = answers();
  EXPECT_FALSE(before[3]);
  click(s, "onboarding.telemetry.inspect");
  QDialog* inspector = s.payloadInspector();
  ASSERT_NE(inspector, nullptr);
  EXPECT_TRUE(inspector->isVisible());
  EXPECT_EQ(inspector->windowModality(), Qt::WindowModal);
  auto* payload = find<QLabel>(*inspector, "inspector.payload");
  ASSERT_NE(payload, nullptr);
  EXPECT_EQ(payload->text().toStdString(), telemetry.payloadPreview(telemetryEnvironment(*engine)));
  click(*inspector, "inspector.close");
  EXPECT_EQ(s.payloadInspector(), nullptr);
  EXPECT_EQ(answers(), before);
  EXPECT_EQ(pageName(s), "onboarding.page.telemetry");

  click(s, "onboarding.telemetry.decline");
  EXPECT_EQ(s.result(), QDialog::Accepted);
  EXPECT_FALSE(s.isVisible());
  EXPECT_FALSE(engine->isShareUsageTimeEnabled.get());
  EXPECT_TRUE(fx.defaults->boolForKey("hasSeenShareInvitation"));
  EXPECT_TRUE(fx.defaults->boolForKey("hasPromptedTelemetrySharing"));
  EXPECT_TRUE(fx.defaults->boolForKey("hasCompletedOnboarding"));
}

TEST_F(OnboardingSheetTest, AnyOtherStepShowsTheCheatSheetWhoseButtonFinishes) {
  OnboardingSheet& s = open("lo");
  for (int step : {5, -3, 99}) {
    s.model().setStep(step);
    settle();
    EXPECT_EQ(pageName(s), "onboarding.page.hotkey") << step;
  }
  s.model().setStep(5);
  settle();
  EXPECT_EQ(dotWidths(s), (std::vector<int>(5, 6)));
  EXPECT_EQ(find<QLabel>(s, "onboarding.sandbox.raw0")->text(), "s;bkyd-e");
  EXPECT_EQ(find<QLabel>(s, "onboarding.sandbox.target0")->text(), "→ ສະບາຍດີ");
  EXPECT_EQ(find<QLabel>(s, "onboarding.hotkey.text0")->text(), "Cycle Word Language");
  EXPECT_NE(find(s, "onboarding.hotkey.hint"), nullptr);
  EXPECT_NE(find(s, "onboarding.hotkey.text3"), nullptr);
  EXPECT_EQ(find(s, "onboarding.hotkey.text4"), nullptr) << "no row for hot keys that do not exist";
  EXPECT_EQ(find(s, "onboarding.hotkey.badge3"), nullptr);
  auto* field = find<QLineEdit>(s, "onboarding.sandbox.field");
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->accessibleName(), field->placeholderText());
  QTest::keyClicks(field, "l;ylfu");
  EXPECT_EQ(s.model().sandboxText(), "l;ylfu");

  click(s, "onboarding.hotkey.finish");
  EXPECT_TRUE(engine->hasCompletedOnboarding.get());
  EXPECT_FALSE(s.isVisible());
}

// The sheet and the dashboard opened as two overlapping windows, each with
// its own controls, and the switcher cards took no keyboard focus.
TEST_F(OnboardingSheetTest, TheSheetSitsCentredOverItsWindowWithOneCloseAndTabReachesEveryControl) {
  OnboardingSheet& s = openOverDashboard("en");
  QWidget* window = view->window();
  // Under a window manager the frames and places arrive as its answers do.
  (void)QTest::qWaitFor([&] { return std::abs(s.frameGeometry().center().x() - window->frameGeometry().center().x()) <= 2; },
                  5000);
  QPoint sheetCentre = s.frameGeometry().center();
  auto rect = [](const QRect& r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
           std::to_string(r.height());
  };
  EXPECT_LE(std::abs(sheetCentre.x() - window->frameGeometry().center().x()), 2)
      << "sheet " << rect(s.frameGeometry()) << " window " << rect(window->frameGeometry());
  EXPECT_TRUE(window->frameGeometry().contains(s.geometry().topLeft()) ||
              s.height() > window->height()) << "hangs from its window";
  Qt::WindowFlags flags = s.windowFlags();
  EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMinimizeButtonHint);
  EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);

  test::writeWholeScreen("screen_onboarding_over_dashboard_en");
  s.model().setStep(2);
  settle();
  s.activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(&s));
  std::vector<QAbstractButton*> buttons;
  for (auto* b : s.page()->findChildren<QAbstractButton*>())
    if (b->isVisibleTo(&s) && b->isEnabled()) buttons.push_back(b);
  ASSERT_GE(buttons.size(), 5u);
  std::set<QWidget*> reached;
  buttons.front()->setFocus(Qt::TabFocusReason);
  for (int i = 0; i < 40; ++i) {
    if (QWidget* f = QApplication::focusWidget()) reached.insert(f);
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &s, Qt::Key_Tab);
  }
  for (auto* b : buttons) EXPECT_TRUE(reached.count(b)) << b->objectName().toStdString();

  // The focused card is drawn differently from the same card without focus.
  auto* card = find<CardButton>(s, "onboarding.switcher.card2");
  ASSERT_NE(card, nullptr);
  card->setFocus(Qt::TabFocusReason);
  settle();
  ASSERT_TRUE(card->hasFocus());
  QImage focused = card->grab().toImage();
  buttons.front() == card ? buttons.back()->setFocus() : buttons.front()->setFocus();
  settle();
  EXPECT_NE(card->grab().toImage(), focused) << "no visible focus ring";
  card->setFocus(Qt::TabFocusReason);
  settle();
  writeScreenshot(s, "onboarding_switcher_focus_en");
  engine->appLanguage.set("th");
  settle();
  test::writeWholeScreen("screen_onboarding_over_dashboard_th");
}

TEST_F(OnboardingSheetTest, KeyCapsAndFeatureRowsKeepTheirShape) {
  HotkeyPill none({});
  EXPECT_TRUE(none.findChildren<QLabel*>().isEmpty());
  EXPECT_EQ(none.maximumSize(), QSize(0, 0)) << "no keys take no room";
  HotkeyPill three({"⌃", "⇧", "1-3"});
  auto caps = three.findChildren<QLabel*>("hotkeyCapText");
  ASSERT_EQ(caps.size(), 3);
  EXPECT_EQ(caps[2]->text(), "1-3");

  QWidget holder;
  holder.setFixedWidth(200);
  auto* layout = new QVBoxLayout(&holder);
  std::string text = "A long point that has to wrap onto further lines rather than be cut off at the edge of its box";
  auto* row = new FeatureRow("lock.fill", text, Qt::blue, &holder);
  layout->addWidget(row);
  holder.show();
  settle();
  EXPECT_EQ(row->textLabel()->text().toStdString(), text) << "never shortened";
  int oneLine = row->textLabel()->fontMetrics().height();
  EXPECT_GT(row->textLabel()->height(), 2 * oneLine) << "wrapped onto further lines";
  EXPECT_LT(row->iconLabel()->mapTo(row, QPoint(0, 0)).y(), oneLine) << "the symbol stays by the first line";
}

// Every page in English and Thai (and the cheat sheet in Lao) for people to
// look at; each must draw all of its text.
TEST_F(OnboardingSheetTest, ScreenshotsOfEveryPage) {
  desk.setTrusted(false);
  desk.events().setComboHeldByOthers(keycode::space, flags::option);  // the switcher page warns
  engine->switcherKey.set(SwitcherKey::optionSpace);
  fx.runner.runUntilIdle();
  for (const std::string language : {"en", "th", "lo"}) {
    OnboardingSheet& s = open(language);
    for (int step : {0, 1, 2, 3, 4, 5}) {
      if (language == "lo" && step != 5) continue;
      s.model().setStep(step);
      settle();
      EXPECT_TRUE(allTextDrawsWithoutBoxes(s)) << language << " step " << step;
      QString title;
      for (auto* label : s.page()->findChildren<QLabel*>())
        if (label->objectName().endsWith(".title") || label->objectName().endsWith("readyTitle")) title = label->text();
      if (step != 1) {
        EXPECT_FALSE(title.isEmpty()) << language << " step " << step;
      }
      writeScreenshot(s, QStringLiteral("onboarding_%1_%2").arg(QString::fromStdString(language),
                                                                 QString::fromStdString(
                                                                     onboardingPageObjectName(s.model().page()))
                                                                     .section('.', 2)));
    }
    sheet.reset();
    settle();
  }
  // The Thai texts really are Thai.
  OnboardingSheet& th = open("th");
  th.model().setStep(4);
  settle();
  EXPECT_EQ(find<QLabel>(th, "onboarding.telemetry.title")->text(), "รวมพลังคืนเวลาสู่ชุมชน (Community Impact)");
  EXPECT_EQ(find<QPushButton>(th, "onboarding.telemetry.decline")->text(), "ไม่แชร์สถิติ");
  engine->appLanguage.set("vi");
  th.model().setStep(0);
  th.model().setStep(4);
  settle();
  EXPECT_EQ(find<QLabel>(th, "onboarding.telemetry.title")->text(), "Community Time Restored");
}

}  // namespace
}  // namespace tessa
