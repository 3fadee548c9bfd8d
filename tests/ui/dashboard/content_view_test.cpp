#include "ui/dashboard/content_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QEnterEvent>
#include <QLabel>
#include <QPushButton>
#include <QPointer>
#include <QTest>

#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"
#include "support/screenshots.h"
#include "support/settle.h"
#include "ui/dashboard/dashboard_pages.h"
#include "ui/dashboard/sidebar_button.h"
#include "ui/system_colors.h"

namespace tessa {
namespace {

using test::allTextDrawsWithoutBoxes;
using test::writeScreenshot;

class ContentViewTest : public ::testing::Test {
 protected:
  ContentViewTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
    engine->hasCompletedOnboarding.set(true);
  }
  ~ContentViewTest() override {
    view.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    engine.reset();
    fx.engine.reset();
  }

  ContentView& open(const std::string& language = "en") {
    engine->appLanguage.set(language);
    view = std::make_unique<ContentView>(engine->views(), fx.notifications);
    view->show();
    settle();
    return *view;
  }
  static void settle() { test::settle(); }
  template <class W = QWidget>
  W* find(const QString& name) {
    return view->findChild<W*>(name);
  }
  QString text(const QString& name) {
    auto* label = find<QLabel>(name);
    return label ? label->text() : QStringLiteral("<none named %1>").arg(name);
  }
  QString pageName() const { return view->page() ? view->page()->objectName() : QString(); }
  std::vector<int> selectedRows() {
    std::vector<int> out;
    for (int tab : {0, 1, 2, 3, 7})
      if (view->row(tab)->isSelected()) out.push_back(tab);
    return out;
  }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  std::unique_ptr<ContentView> view;
};

TEST_F(ContentViewTest, SidebarShowsTheApplicationAndItsRowsInTheEnginesLanguage) {
  open("th");
  EXPECT_EQ(view->size(), QSize(680, 480));
  EXPECT_EQ(find("dashboardSidebar")->width(), 190);
  EXPECT_EQ(text("dashboardAppName"), "Tessavinor");
  EXPECT_TRUE(find<QLabel>("dashboardAppName")->font().bold());
  EXPECT_EQ(text("dashboardVersion"), "v0.1.12");
  EXPECT_FALSE(find<QLabel>("dashboardAppIcon")->pixmap().isNull());
  EXPECT_EQ(view->row(0)->title(), "ความพร้อมระบบ");
  EXPECT_EQ(view->row(1)->title(), "กระดานแดชบอร์ด");
  EXPECT_EQ(view->row(2)->title(), "ตั้งค่าคีย์บอร์ด");
  EXPECT_EQ(view->row(3)->title(), "คลังคลิปบอร์ด");
  EXPECT_EQ(view->row(3)->icon(), "doc.on.clipboard.fill");
  EXPECT_EQ(view->row(3)->shownTitle(), view->row(3)->title()) << "the clipboard row's title fits";
  EXPECT_EQ(view->row(7)->title(), "เกี่ยวกับแอป");
  EXPECT_EQ(view->row(7)->icon(), "info.circle");
  // The about row sits at the bottom, below the others.
  EXPECT_GT(view->row(7)->y(), view->row(3)->y() + 60);
  EXPECT_LE(view->row(7)->geometry().bottom(), find("dashboardRows")->height() - 16);
  EXPECT_EQ(selectedRows(), std::vector<int>{0});
  EXPECT_EQ(pageName(), "page.setupStatus");

  engine->appLanguage.set("en");
  settle();
  EXPECT_EQ(view->row(2)->title(), "Keyboard Settings") << "rows follow a change of language";
  EXPECT_EQ(find<QLabel>("setupTitle")->text(), "System Setup Status") << "so does the page";
}

TEST_F(ContentViewTest, ClickingARowShowsAFreshPageOfItsTab) {
  open();
  QPointer<QWidget> first = view->page();
  QTest::mouseClick(view->row(2), Qt::LeftButton);
  settle();
  EXPECT_EQ(pageName(), "page.keyboardSettings");
  EXPECT_EQ(selectedRows(), std::vector<int>{2});
  EXPECT_EQ(view->model().currentSection(), 2);

  QTest::mouseClick(view->row(7), Qt::LeftButton);
  settle();
  EXPECT_EQ(pageName(), "page.about");
  QTest::mouseClick(view->row(3), Qt::LeftButton);
  settle();
  EXPECT_EQ(pageName(), "page.copyCache");
  EXPECT_EQ(selectedRows(), std::vector<int>{3});
  QTest::mouseClick(view->row(0), Qt::LeftButton);
  settle();
  EXPECT_EQ(pageName(), "page.setupStatus");
  // Compared by lifetime, not address: a new page may reuse the old one's memory.
  EXPECT_TRUE(first.isNull()) << "a page is built anew each time its tab is chosen";
}

TEST_F(ContentViewTest, OpenDashboardTabSelectsByNumberAndIgnoresAnythingElse) {
  open();
  fx.notifications.post("OpenDashboardTab", 2);
  settle();
  EXPECT_EQ(pageName(), "page.keyboardSettings");
  EXPECT_EQ(selectedRows(), std::vector<int>{2});

  fx.notifications.post("OpenDashboardTab");
  fx.notifications.post("OpenDashboardTab", std::string("1"));
  settle();
  EXPECT_EQ(view->model().currentSection(), 2);

  for (int tab : {4, 8, -1}) {
    fx.notifications.post("OpenDashboardTab", tab);
    settle();
    EXPECT_EQ(pageName(), "page.setupStatus") << tab;
    EXPECT_TRUE(selectedRows().empty()) << tab;
  }
  fx.notifications.post("OpenDashboardTab", 3);
  settle();
  EXPECT_EQ(pageName(), "page.copyCache");
  fx.notifications.post("OpenDashboardTab", int64_t{1});
  settle();
  EXPECT_EQ(pageName(), "page.usage");

  view.reset();
  fx.notifications.post("OpenDashboardTab", 7);  // nobody listens any more
}

TEST_F(ContentViewTest, HoverAndSelectionColourTheRow) {
  open();
  SidebarButton* usage = view->row(1);
  SidebarButton* setup = view->row(0);
  const QColor primary = usage->palette().color(QPalette::WindowText);
  EXPECT_EQ(usage->foregroundColor(), primary);
  EXPECT_EQ(usage->backgroundColor().alpha(), 0);
  EXPECT_EQ(usage->font().weight(), QFont::Normal);

  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(usage, &enter);
  EXPECT_TRUE(usage->isHovered());
  EXPECT_EQ(usage->foregroundColor(), dashboardBlue());
  EXPECT_EQ(usage->backgroundColor(), withOpacity(primary, 0.06));
  EXPECT_EQ(usage->font().weight(), QFont::DemiBold);
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(usage, &leave);
  EXPECT_EQ(usage->foregroundColor(), primary);

  const QColor selectedBackground = withOpacity(dashboardBlue(), 0.12);
  EXPECT_EQ(setup->backgroundColor(), selectedBackground);
  QApplication::sendEvent(setup, &enter);
  EXPECT_EQ(setup->backgroundColor(), selectedBackground) << "selected wins over hovered";
  EXPECT_EQ(setup->foregroundColor(), dashboardBlue());
}

TEST_F(ContentViewTest, EveryRowTitleFitsItsRowInLaoAndVietnameseToo) {
  for (const char* language : {"lo", "vi", "zh", "ja"}) {
    open(language);
    for (int tab : {0, 1, 2, 3, 7}) {
      view->selectTab(tab);
      SidebarButton* row = view->row(tab);
      EXPECT_EQ(row->shownTitle().toStdString(), row->title().toStdString()) << language << " tab " << tab;
    }
  }
}

TEST_F(ContentViewTest, ScreenshotsOfEveryTab) {
  for (const char* language : {"th", "en"}) {
    open(language);
    for (int tab : {0, 1, 2, 3, 7}) {
      view->selectTab(tab);
      settle();
      SCOPED_TRACE(std::string(language) + " tab " + std::to_string(tab));
      EXPECT_TRUE(allTextDrawsWithoutBoxes(*view));
      for (int other : {0, 1, 2, 7}) {
        // A row's title must fit its row rather than be cut off.
        SidebarButton* row = view->row(other);
        EXPECT_EQ(row->shownTitle().toStdString(), row->title().toStdString());
      }
      writeScreenshot(*view, QStringLiteral("dashboard_%1_tab%2").arg(language).arg(tab));
    }
  }
}

// ------------------------------------------------------------- onboarding

TEST_F(ContentViewTest, AFreshInstallShowsTheOnboardingSheetOverSetupStatus) {
  engine->hasCompletedOnboarding.set(false);
  engine->appLanguage.set("th");
  view = std::make_unique<ContentView>(engine->views(), fx.notifications);
  settle();
  EXPECT_TRUE(view->model().showOnboarding());
  EXPECT_EQ(view->onboardingSheet(), nullptr) << "nothing to hang a sheet from before the window shows";

  view->show();
  settle();
  QDialog* sheet = view->onboardingSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_EQ(sheet->windowModality(), Qt::WindowModal);
  EXPECT_EQ(pageName(), "page.setupStatus");
  EXPECT_NE(sheet->findChild<QWidget*>("onboarding.page.level"), nullptr) << "the walk-through starts at its first page";

  sheet->reject();  // closed by other means than its last page
  settle();
  EXPECT_EQ(view->onboardingSheet(), nullptr);
  EXPECT_FALSE(view->model().showOnboarding());
  EXPECT_FALSE(engine->hasCompletedOnboarding.get()) << "closing the sheet does not complete onboarding";
}

TEST_F(ContentViewTest, ReplayOnboardingShowsTheSheetOnceOverTheCurrentTab) {
  open("en");
  EXPECT_EQ(view->onboardingSheet(), nullptr);
  fx.notifications.post("OpenDashboardTab", 7);
  fx.notifications.post("ReplayOnboarding");
  settle();
  QDialog* sheet = view->onboardingSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_EQ(pageName(), "page.about");

  fx.notifications.post("ReplayOnboarding");
  settle();
  EXPECT_EQ(view->onboardingSheet(), sheet) << "already shown: no second sheet";
  EXPECT_EQ(view->findChildren<QDialog*>().size(), 1);

  sheet->reject();
  settle();
  fx.notifications.post("ReplayOnboarding");
  settle();
  ASSERT_NE(view->onboardingSheet(), nullptr) << "replayed after it was closed";
  EXPECT_TRUE(view->onboardingSheet()->isVisible());
}

}  // namespace
}  // namespace tessa
