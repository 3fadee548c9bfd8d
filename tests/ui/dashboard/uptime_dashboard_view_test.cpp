#include "ui/dashboard/pages/uptime_dashboard_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGraphicsBlurEffect>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include "app_core/dashboard/typing_demo_model.h"
#include "app_core/dashboard/uptime_dashboard_model.h"
#include "base/endpoints.h"
#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"
#include "support/screenshots.h"
#include "support/settle.h"
#include "ui/dashboard/content_view.h"
#include "ui/dashboard/widgets/community_stats_widget.h"
#include "ui/dashboard/widgets/milestone_nudge_card.h"
#include "ui/dashboard/widgets/share_invitation_sheet.h"
#include "ui/dashboard/widgets/symbol_label.h"
#include "ui/dashboard/widgets/typing_demo_view.h"

namespace tessa {
namespace {

using test::allTextDrawsWithoutBoxes;
using test::writeScreenshot;

constexpr const char* kTotals = R"({"contributors": 1284, "total_usage_hours": 5120.46, "total_corrections": 918273})";

class UsagePageTest : public ::testing::Test {
 protected:
  UsagePageTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
    engine->hasCompletedOnboarding.set(true);
    engine->hasSeenShareInvitation.set(true);
    engine->totalUsageTime.set(3661);
    desk.http().setHandler([](const HttpRequest& r) {
      HttpResponse a;
      a.status = r.url == Endpoints::telemetryPublic() ? 200 : 404;
      a.body = kTotals;
      return a;
    });
  }
  ~UsagePageTest() override {
    view.reset();
    settle();
    engine.reset();
    fx.engine.reset();
  }
  // The dashboard on the usage tab, as the sidebar row opens it.
  UptimeDashboardView& open(const std::string& language = "en") {
    engine->appLanguage.set(language);
    view = std::make_unique<ContentView>(engine->views(), fx.notifications);
    view->show();
    view->selectTab(1);
    settle();
    auto* page = qobject_cast<UptimeDashboardView*>(view->page());
    EXPECT_NE(page, nullptr);
    return *page;
  }
  void advance(double seconds) {
    fx.runner.advance(seconds);
    settle();
  }
  static void settle() { test::settle(); }
  template <class W = QWidget>
  W* find(const QString& name) {
    return view->findChild<W*>(name);
  }
  QString text(const QString& name) {
    if (auto* s = find<SymbolLabel>(name)) return s->text();
    if (auto* b = find<QPushButton>(name)) return b->text();
    auto* label = find<QLabel>(name);
    return label ? label->text() : QStringLiteral("<none named %1>").arg(name);
  }
  bool shown(const QString& name) {
    auto* w = find(name);
    return w && w->isVisible();
  }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  std::unique_ptr<ContentView> view;
};

TEST_F(UsagePageTest, ShowsTheSessionAndTotalInTheEnginesLanguageAndCountsSeconds) {
  auto& page = open("th");
  EXPECT_EQ(page.objectName(), "page.usage");
  EXPECT_EQ(text("usageTitle"), "กระดานแดชบอร์ด");
  EXPECT_EQ(text("usageSubtitle"), "ติดตามเวลาการใช้งาน Tessavinor");
  EXPECT_EQ(text("usageSessionCardCaption"), "เซสชันนี้");
  EXPECT_EQ(text("usageTotalCardCaption"), "ยอดสะสมทุกเซสชัน");
  EXPECT_EQ(text("usageSessionCardTime"), "00:00:00");
  EXPECT_EQ(text("usageTotalCardTime"), "01:01:01");
  EXPECT_FALSE(shown("milestoneNudgeCard"));
  advance(2.0);
  EXPECT_EQ(text("usageSessionCardTime"), "00:00:02");

  engine->appLanguage.set("en");
  advance(0);
  EXPECT_EQ(text("usageTitle"), "Dashboard");
  EXPECT_EQ(text("communityTitle"), "Community Stats");

  // Another tab and back: a new page, counting from zero.
  view->selectTab(2);
  view->selectTab(1);
  settle();
  EXPECT_EQ(text("usageSessionCardTime"), "00:00:00");
}

TEST_F(UsagePageTest, TheCommunityBoxFollowsSharingThroughItsButtons) {
  open();
  // Never shared: blurred placeholders and the join button.
  EXPECT_EQ(text("communityValue1"), "——");
  EXPECT_NE(find("communityValue1")->graphicsEffect(), nullptr);
  EXPECT_EQ(text("communityCaption1"), "Users sharing stats");
  ASSERT_TRUE(shown("communityJoin"));

  QTest::mouseClick(find<QPushButton>("communityJoin"), Qt::LeftButton);
  settle();
  advance(0.01);
  EXPECT_TRUE(engine->isShareUsageTimeEnabled.get());
  EXPECT_TRUE(fx.defaults->boolForKey(kWasEverSharingKey));
  EXPECT_EQ(text("communityPendingHeadline"), "✅ Thanks for joining us!") << "pending until the totals arrive";
  advance(0.2);
  EXPECT_EQ(text("communityValue0"), "5120.5");
  EXPECT_EQ(text("communityValue1"), "1284");
  EXPECT_EQ(text("communityValue2"), "918273");
  EXPECT_EQ(find("communityValue1")->graphicsEffect(), nullptr);
  EXPECT_EQ(text("communityLiveConfirmation"), "✅ Your data is included");

  QTest::mouseClick(find<QPushButton>("communityStopSharing"), Qt::LeftButton);
  advance(0.01);
  EXPECT_FALSE(engine->isShareUsageTimeEnabled.get());
  EXPECT_EQ(text("communityOptOutNote"), "You've stopped sharing stats.");
  EXPECT_EQ(text("communityValue0"), "——");
  QTest::mouseClick(find<QPushButton>("communityShareAgain"), Qt::LeftButton);
  advance(0.01);
  EXPECT_EQ(text("communityValue0"), "5120.5") << "the earlier totals show at once";
}

TEST_F(UsagePageTest, TheInvitationOpensSixTenthsAfterThePageAndItsAnswersClose) {
  engine->hasSeenShareInvitation.set(false);
  auto& page = open("th");
  advance(0.5);
  EXPECT_EQ(page.invitationSheet(), nullptr);
  advance(0.1);
  ASSERT_NE(page.invitationSheet(), nullptr);
  ShareInvitationSheet* sheet = page.invitationSheet();
  EXPECT_TRUE(sheet->isVisible());
  EXPECT_EQ(sheet->width(), 380);
  EXPECT_EQ(sheet->findChild<QPushButton*>("invitationAccept")->text(), "ร่วมแชร์สถิติการใช้งาน");
  EXPECT_TRUE(allTextDrawsWithoutBoxes(*sheet));
  writeScreenshot(*sheet, "share_invitation_th");

  QTest::mouseClick(sheet->findChild<QPushButton*>("invitationDecline"), Qt::LeftButton);
  settle();
  EXPECT_EQ(page.invitationSheet(), nullptr);
  EXPECT_TRUE(engine->hasSeenShareInvitation.get());
  EXPECT_FALSE(engine->isShareUsageTimeEnabled.get());
  view->selectTab(0);
  view->selectTab(1);
  advance(1.0);
  auto* again = qobject_cast<UptimeDashboardView*>(view->page());
  EXPECT_EQ(again->invitationSheet(), nullptr) << "answered: not asked again";
}

TEST_F(UsagePageTest, AcceptingTheInvitationSharesAndFetches) {
  engine->hasSeenShareInvitation.set(false);
  auto& page = open("lo");
  advance(0.6);
  ShareInvitationSheet* sheet = page.invitationSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->findChild<QLabel*>("invitationTitle")->text(), "Anonymous Usage Statistics");
  writeScreenshot(*sheet, "share_invitation_en");
  QTest::mouseClick(sheet->findChild<QPushButton*>("invitationAccept"), Qt::LeftButton);
  advance(0.2);
  EXPECT_EQ(page.invitationSheet(), nullptr);
  EXPECT_TRUE(engine->isShareUsageTimeEnabled.get());
  EXPECT_EQ(text("communityValue1"), "1284");
}

TEST_F(UsagePageTest, TheMilestoneCardShowsWhileRaisedAndEachAnswerRemovesIt) {
  engine->totalKeystrokesSaved.set(12345);
  engine->totalCorrections.set(120);
  engine->showMilestoneNudge.set(true);
  open();
  ASSERT_TRUE(shown("milestoneNudgeCard"));
  EXPECT_EQ(text("nudgeTitle"), "Milestone Reached! 🎉");
  EXPECT_EQ(text("nudgeSubtitle").toStdString(),
            "You have saved 61.7 mins of typing time (120 words corrected). Would you like to contribute these "
            "numbers to the community dashboard?");
  auto* card = find<MilestoneNudgeCard>("milestoneNudgeCard");
  int inspected = 0;
  QObject::connect(card, &MilestoneNudgeCard::inspectRequested, [&] { ++inspected; });
  QTest::mouseClick(find<QPushButton>("nudgeInspect"), Qt::LeftButton);
  EXPECT_EQ(inspected, 1);
  EXPECT_TRUE(card->showInspector());
  EXPECT_TRUE(shown("milestoneNudgeCard")) << "inspecting keeps the card";

  QTest::mouseClick(find<QPushButton>("nudgeRemind"), Qt::LeftButton);
  advance(0.01);
  EXPECT_FALSE(shown("milestoneNudgeCard"));
  EXPECT_EQ(engine->remindLaterCorrectionsThreshold.get(), 270);
  engine->showMilestoneNudge.set(true);
  advance(0.01);
  ASSERT_TRUE(shown("milestoneNudgeCard"));
  QTest::mouseClick(find<QPushButton>("nudgeJoin"), Qt::LeftButton);
  advance(0.2);
  EXPECT_FALSE(shown("milestoneNudgeCard"));
  EXPECT_TRUE(engine->isShareUsageTimeEnabled.get());
  EXPECT_EQ(text("communityValue1"), "1284");
}

TEST_F(UsagePageTest, ScreenshotsOfThePageInEveryState) {
  for (const char* language : {"th", "en"}) {
    SCOPED_TRACE(language);
    engine->isShareUsageTimeEnabled.set(false);
    fx.defaults->remove(kWasEverSharingKey);
    engine->totalKeystrokesSaved.set(4200);
    engine->totalCorrections.set(64);
    engine->showMilestoneNudge.set(true);
    auto& page = open(language);
    advance(5);
    auto shoot = [&](const QString& state) {
      // The whole page, not only what the window shows of it.
      QWidget* content = page.widget();
      content->resize(page.viewport()->width(), content->sizeHint().height());
      EXPECT_TRUE(allTextDrawsWithoutBoxes(*content));
      for (auto* label : content->findChildren<QLabel*>())
        if (label->isVisible() && !label->wordWrap() && !label->text().isEmpty()) {
          EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width())
              << label->objectName().toStdString() << " is cut off";
        }
      writeScreenshot(*content, QStringLiteral("usage_%1_%2").arg(language, state));
    };
    shoot("preview_nudge");
    engine->showMilestoneNudge.set(false);
    QTest::mouseClick(find<QPushButton>("communityJoin"), Qt::LeftButton);
    advance(0.01);
    shoot("pending");
    advance(0.2);
    shoot("live");
    QTest::mouseClick(find<QPushButton>("communityStopSharing"), Qt::LeftButton);
    advance(0.01);
    shoot("opt_out");
    writeScreenshot(*view, QStringLiteral("dashboard_usage_%1").arg(language));
  }
}

TEST_F(UsagePageTest, FeatureDemoCardsPlayWhileShownAndStopWhenHidden) {
  QWidget host;
  auto* layout = new QVBoxLayout(&host);
  std::vector<TypingDemoView*> cards;
  for (FeatureDemo demo : allFeatureDemos()) {
    cards.push_back(new TypingDemoView(demo, fx.runner, &host));
    layout->addWidget(cards.back());
  }
  host.show();
  settle();
  for (auto* card : cards) EXPECT_TRUE(card->model().isRunning());
  EXPECT_EQ(cards[1]->accessibleName(), "แอนิเมชันจำลอง: กด Ctrl+Shift+Z เพื่อย้อนกลับจาก user เป็น uหำพ");
  advance(0.7);  // the hot-key demonstrations are at their key step
  EXPECT_TRUE(cards[1]->model().isKeyStep());
  writeScreenshot(host, "feature_demos_key_step");
  advance(1.5);
  EXPECT_TRUE(cards[1]->model().showHint());
  writeScreenshot(host, "feature_demos_hint");
  // The circled x of the last hint is drawn as a symbol, the rest as text.
  for (FeatureDemo demo : allFeatureDemos())
    EXPECT_TRUE(test::drawsWithoutBoxes(QString::fromStdString(FeatureDemoInfo::hint(demo)).remove(QChar(0x24E7)),
                                        cards[0]->font(), "hint"));
  for (FeatureDemo demo : allFeatureDemos())
    for (const auto& step : FeatureDemoInfo::scriptLines(demo))
      EXPECT_TRUE(test::drawsWithoutBoxes(QString::fromStdString(step.text + step.caption), cards[0]->font(), "step"));
  host.hide();
  settle();
  for (auto* card : cards) EXPECT_FALSE(card->model().isRunning());
}

}  // namespace
}  // namespace tessa
