#include "ui/dashboard/pages/about_page.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

#include "app_core/dashboard/about_model.h"
#include "app_core/dashboard/problem_report_model.h"
#include "base/endpoints.h"
#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"
#include "support/screenshots.h"
#include "support/settle.h"
#include "ui/dashboard/content_view.h"
#include "ui/sheets/problem_report_sheet.h"

namespace tessa {
namespace {

using test::allTextDrawsWithoutBoxes;
using test::writeScreenshot;

class RefusingUpdater final : public AboutModel::Updater {
 public:
  bool automaticallyChecksForUpdates() const override { return false; }
  void setAutomaticallyChecksForUpdates(bool on) override { writes.push_back(on); }
  void checkForUpdates() override { ++checks; }
  std::vector<bool> writes;
  int checks = 0;
};

class AboutPageTest : public ::testing::Test {
 protected:
  AboutPageTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
    engine->hasCompletedOnboarding.set(true);
  }
  ~AboutPageTest() override {
    view.reset();
    settle();
    engine.reset();
    fx.engine.reset();
  }
  // The about page as the dashboard shows it.
  AboutPage& openInDashboard(const std::string& language) {
    engine->appLanguage.set(language);
    view = std::make_unique<ContentView>(engine->views(), fx.notifications);
    view->show();
    view->selectTab(7);
    settle();
    auto* page = qobject_cast<AboutPage*>(view->page());
    EXPECT_NE(page, nullptr);
    return *page;
  }
  static void settle() { test::settle(); }
  template <class W = QWidget>
  W* find(const QString& name) {
    return view->findChild<W*>(name);
  }
  QString text(const QString& name) {
    if (auto* l = find<QLabel>(name)) return l->text();
    if (auto* b = find<QAbstractButton>(name)) return b->text().replace("&&", "&");
    return QStringLiteral("<none named %1>").arg(name);
  }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  std::unique_ptr<ContentView> view;
};

TEST_F(AboutPageTest, ShowsItsTextsInTheEnginesLanguageAndFollowsAChange) {
  AboutPage& page = openInDashboard("en");
  EXPECT_EQ(page.objectName(), "page.about");
  EXPECT_EQ(text("about.name"), "Tessavinor");
  EXPECT_EQ(text("about.version"), QString::fromStdString("Version " + AppInfo::versionString()));
  EXPECT_TRUE(text("about.description").startsWith("Tessavinor fixes the language-switching delay."));
  EXPECT_EQ(text("about.feature0.title"), "Reliable language switching every time");
  EXPECT_EQ(text("about.feature1.desc"), "Caps Lock, Grave Accent (Windows-style), or Alt, Ctrl or Super with Space");
  EXPECT_EQ(find("about.feature2.symbol")->property("symbol").toString(), "moon.zzz");
  EXPECT_EQ(text("about.privacyTitle"), "Privacy");
  EXPECT_TRUE(text("about.privacyBody").startsWith("Everything runs locally"));
  EXPECT_EQ(text("about.reportTitle"), "Having a problem?");
  EXPECT_EQ(text("about.reportButton"), "Report a Problem…");
  EXPECT_EQ(text("about.downloadLink"), "Website / Download");
  EXPECT_EQ(text("about.mailLink"), "support@tessavinor.app");
  EXPECT_EQ(find("about.mailLink")->toolTip(), "Contact Developer");
  EXPECT_EQ(text("about.creditsToggle"), "Dictionary Sources & Open Source Licenses");
  EXPECT_EQ(text("about.checkUpdates"), "Check for Updates");
  EXPECT_EQ(text("about.autoUpdateTitle"), "Update Automatically");
  EXPECT_FALSE(find<QCheckBox>("about.autoUpdate")->isChecked());
  EXPECT_NE(find("about.community"), nullptr) << "the dashboard hands the page its community box";

  // The credits start collapsed and hold seven lines with bold names.
  EXPECT_FALSE(find("about.credits")->isVisible());
  find<QToolButton>("about.creditsToggle")->click();
  settle();
  EXPECT_TRUE(find("about.credits")->isVisible());
  EXPECT_EQ(find("about.credits")->findChildren<QLabel*>().size(), 7);
  EXPECT_EQ(find<QLabel>("about.credit1")->text(), "• <b>PyThaiNLP</b>: words_th.txt (CC0 1.0 Universal)");
  EXPECT_TRUE(allTextDrawsWithoutBoxes(page));
  writeScreenshot(*page.widget(), "about_page_en");
  QString communityCaptionEn = text("communityCaption0");

  engine->appLanguage.set("th");
  settle();
  // The community box followed only after a restart.
  EXPECT_NE(text("communityCaption0"), communityCaptionEn);
  EXPECT_EQ(text("about.reportButton"), "รายงานปัญหา…");
  EXPECT_EQ(text("about.creditsToggle"), "สัญญาอนุญาตคลังคำศัพท์ (Dictionary Sources & Licenses)");
  EXPECT_TRUE(text("about.description").startsWith("Tessavinor แก้ปัญหาสลับภาษาไม่ทัน"));
  EXPECT_EQ(text("about.privacyTitle"), "ความเป็นส่วนตัว");
  EXPECT_TRUE(allTextDrawsWithoutBoxes(page));
  writeScreenshot(*page.widget(), "about_page_th");
  writeScreenshot(*view, "about_page_in_dashboard_th");

  engine->appLanguage.set("lo");
  settle();
  EXPECT_EQ(text("about.autoUpdateTitle"), "Update Automatically") << "no Lao texts for this page";
}

TEST_F(AboutPageTest, TheReportButtonOpensTheSheetWithoutBlockingAndClosingItClearsTheFlag) {
  AboutPage& page = openInDashboard("en");
  find<QPushButton>("about.reportButton")->click();
  settle();
  ProblemReportSheet* sheet = page.reportSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
  EXPECT_TRUE(page.model().isShowingProblemReport());
  // A second press while it shows opens no second sheet.
  page.model().showProblemReport();
  EXPECT_EQ(view->window()->findChildren<ProblemReportSheet*>().size(), 1);

  sheet->findChild<QPushButton*>("report.close")->click();
  settle();
  EXPECT_EQ(page.reportSheet(), nullptr);
  EXPECT_FALSE(page.model().isShowingProblemReport());

  // Opened again, the form starts empty.
  find<QPushButton>("about.reportButton")->click();
  settle();
  ASSERT_NE(page.reportSheet(), nullptr);
  EXPECT_EQ(page.reportSheet()->model().note(), "");
}

TEST_F(AboutPageTest, LinksAndTheUpdateButtonOpenWhatTheySay) {
  openInDashboard("en");
  find<QPushButton>("about.downloadLink")->click();
  EXPECT_EQ(desk.workspace().openedURLs().back(), Endpoints::downloadPage());
  find<QPushButton>("about.mailLink")->click();
  EXPECT_EQ(desk.workspace().openedURLs().back().rfind("mailto:support@tessavinor.app?subject=Tessavinor%20Feedback", 0),
            0u);
  EXPECT_EQ(find<QPushButton>("about.downloadLink")->cursor().shape(), Qt::PointingHandCursor);
  // No application delegate here: the update button opens the download page.
  find<QPushButton>("about.checkUpdates")->click();
  EXPECT_EQ(desk.workspace().openedURLs().back(), Endpoints::downloadPage());
}

TEST_F(AboutPageTest, AnAutomaticUpdateSwitchTheDelegateCannotKeepGoesBackOff) {
  RefusingUpdater updater;
  auto model =
      AboutModel::create(engine->settings(), engine->context(), [&]() -> AboutModel::Updater* { return &updater; });
  QWidget host;
  auto* page = new AboutPage(model, &host, {});
  host.resize(490, 480);
  page->resize(490, 480);
  host.show();
  settle();
  auto* toggle = page->findChild<QCheckBox*>("about.autoUpdate");
  toggle->click();
  EXPECT_TRUE(toggle->isChecked());
  fx.runner.runUntilIdle();
  settle();
  EXPECT_EQ(updater.writes, std::vector<bool>{true});
  EXPECT_FALSE(toggle->isChecked());
  page->findChild<QPushButton*>("about.checkUpdates")->click();
  EXPECT_EQ(updater.checks, 1);
}

TEST_F(AboutPageTest, AHandedInCommunityBoxSitsBetweenPrivacyAndTheReportEntry) {
  QWidget host;
  auto* page = new AboutPage(AboutModel::create(engine->settings(), engine->context()), &host, {}, [](QWidget* parent) {
    return new QLabel(QStringLiteral("community"), parent);
  });
  host.show();
  settle();
  QWidget* box = page->findChild<QWidget*>("about.community");
  ASSERT_NE(box, nullptr);
  QWidget* privacy = page->findChild<QWidget*>("about.privacy");
  QWidget* report = page->findChild<QWidget*>("about.report");
  EXPECT_GT(box->y(), privacy->y());
  EXPECT_LT(box->y(), report->y());
}

}  // namespace
}  // namespace tessa
