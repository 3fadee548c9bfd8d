#include "app_core/dashboard/about_model.h"

#include <gtest/gtest.h>

#include "app_core/app_delegate.h"
#include "app_core/dashboard/delegate_updater.h"
#include "base/endpoints.h"
#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "support/delegate_environment.h"
#include "support/engine_fixture.h"

namespace tessa {
namespace {

// An update machinery that keeps what it is told, or refuses like this
// system's delegate, which has no updater.
class FakeUpdater final : public AboutModel::Updater {
 public:
  bool automaticallyChecksForUpdates() const override { return automatic; }
  void setAutomaticallyChecksForUpdates(bool on) override {
    writes.push_back(on);
    if (keepsSetting) automatic = on;
  }
  void checkForUpdates() override { ++checks; }
  bool automatic = true;
  bool keepsSetting = true;
  std::vector<bool> writes;
  int checks = 0;
};

class AboutModelTest : public ::testing::Test {
 protected:
  AboutModelTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
  }
  ~AboutModelTest() override {
    model.reset();
    engine.reset();
    fx.engine.reset();
  }
  AboutModel& make(bool withDelegate) {
    model = AboutModel::create(engine->settings(), engine->context(), [this, withDelegate]() -> AboutModel::Updater* {
      return withDelegate ? &updater : nullptr;
    });
    return *model;
  }
  const std::vector<std::string>& opened() { return desk.workspace().openedURLs(); }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  std::shared_ptr<AboutModel> model;
  FakeUpdater updater;
};

TEST_F(AboutModelTest, TextsAreThaiForThaiAndEnglishForEveryOtherLanguage) {
  AboutModel& m = make(false);
  engine->appLanguage.set("th");
  EXPECT_EQ(m.text("about_desc_free"),
            "Tessavinor แก้ปัญหาสลับภาษาไม่ทัน ทุกครั้งที่กด Caps Lock หรือปุ่มสลับภาษาที่เลือกไว้ จะสลับทันที "
            "แม่นยำ ไม่ต้องกดซ้ำ ไม่ต้องเดา");
  EXPECT_EQ(m.text("about_privacy_body_free").rfind("ทุกอย่างประมวลผลในเครื่อง", 0), 0u);
  EXPECT_EQ(m.text("about_report_button"), "รายงานปัญหา…");
  EXPECT_EQ(m.creditsHeading(), "สัญญาอนุญาตคลังคำศัพท์ (Dictionary Sources & Licenses)");
  for (const char* language : {"en", "zh", "ja", "vi", "lo"}) {
    engine->appLanguage.set(language);
    EXPECT_EQ(m.text("about_privacy_body_free"),
              "Everything runs locally on this computer. Nothing you type is ever sent anywhere — by default, no "
              "data leaves your device unless you choose to share anonymous usage stats.")
        << language;
    EXPECT_EQ(m.text("about_auto_update"), "Update Automatically") << language;
    EXPECT_EQ(m.text("about_desc_free").rfind("Tessavinor fixes", 0), 0u) << language;
    EXPECT_EQ(m.creditsHeading(), "Dictionary Sources & Open Source Licenses") << language;
  }
  EXPECT_EQ(AboutModel::versionLine(), "Version " + AppInfo::versionString());
  ASSERT_EQ(AboutModel::creditLines().size(), 7u);
  EXPECT_EQ(AboutModel::creditLines()[1], "• **PyThaiNLP**: words_th.txt (CC0 1.0 Universal)");
  ASSERT_EQ(AboutModel::features().size(), 3u);
  EXPECT_STREQ(AboutModel::features()[2].symbol, "moon.zzz");
}

TEST_F(AboutModelTest, FeedbackSubjectEncodesEverythingOutsideTheUnreservedCharacters) {
  EXPECT_EQ(AboutModel::feedbackMailURL("0.1.12", "24.04"),
            "mailto:support@tessavinor.app?subject=Tessavinor%20Feedback%20%28v0.1.12%2C%20Linux%2024.04%29");
  // Characters that would end or split a query value are encoded too.
  EXPECT_EQ(AboutModel::percentEncoded("a&b=c+d?e#f/g"), "a%26b%3Dc%2Bd%3Fe%23f%2Fg");
  EXPECT_EQ(AboutModel::percentEncoded("-._~Az09"), "-._~Az09");
  EXPECT_EQ(AboutModel::percentEncoded("ไ"), "%E0%B9%84");

  AboutModel& m = make(false);
  desk.workspace().setOperatingSystemVersion("14.5.0");
  m.sendFeedbackMail();
  ASSERT_FALSE(opened().empty());
  EXPECT_EQ(opened().back(), AboutModel::feedbackMailURL(AppInfo::versionString(), "14.5.0"));
}

TEST_F(AboutModelTest, WithoutADelegateUpdatesOpenTheDownloadPageAndTheSwitchStaysOff) {
  AboutModel& m = make(false);
  m.appear();
  EXPECT_FALSE(m.isAutoUpdateEnabled());
  m.checkForUpdates();
  EXPECT_EQ(opened().back(), Endpoints::downloadPage());
  m.userSetAutoUpdate(true);
  fx.runner.runUntilIdle();
  EXPECT_TRUE(updater.writes.empty());
  m.openDownloadPage();
  EXPECT_EQ(opened().back(), Endpoints::downloadPage());
}

TEST_F(AboutModelTest, TheSwitchReachesTheDelegateOnTheNextTurnOfTheMainQueue) {
  AboutModel& m = make(true);
  m.appear();
  EXPECT_TRUE(m.isAutoUpdateEnabled());
  m.checkForUpdates();
  EXPECT_EQ(updater.checks, 1);
  EXPECT_TRUE(opened().empty() || opened().back() != Endpoints::downloadPage());

  m.userSetAutoUpdate(false);
  EXPECT_FALSE(m.isAutoUpdateEnabled());
  EXPECT_TRUE(updater.writes.empty()) << "deferred by one turn";
  fx.runner.runUntilIdle();
  EXPECT_EQ(updater.writes, std::vector<bool>{false});
  EXPECT_FALSE(updater.automatic);

  // A change made elsewhere shows at the next appear.
  updater.automatic = true;
  EXPECT_FALSE(m.isAutoUpdateEnabled());
  m.appear();
  EXPECT_TRUE(m.isAutoUpdateEnabled());
}

TEST_F(AboutModelTest, ASettingTheDelegateCannotKeepSnapsBackAndIsLogged) {
  updater.automatic = false;
  updater.keepsSetting = false;
  AboutModel& m = make(true);
  int changes = 0;
  m.onChange = [&] { ++changes; };
  m.userSetAutoUpdate(true);
  EXPECT_TRUE(m.isAutoUpdateEnabled());
  fx.runner.runUntilIdle();
  EXPECT_FALSE(m.isAutoUpdateEnabled());
  EXPECT_EQ(changes, 2);
  bool logged = false;
  for (const auto& line : engine->diagnosticLogs())
    logged |= line.find("automatic update checks are not available on this system") != std::string::npos;
  EXPECT_TRUE(logged);

  // A page rebuilt before the deferred write runs does nothing.
  m.userSetAutoUpdate(true);
  model.reset();
  fx.runner.runUntilIdle();
  EXPECT_EQ(updater.writes.size(), 1u);
}

TEST_F(AboutModelTest, WithoutAnUpdaterTheButtonOpensTheDownloadPage) {
  // No updater handed in (no application delegate): the page finds none.
  model = AboutModel::create(engine->settings(), engine->context());
  model->checkForUpdates();
  EXPECT_EQ(opened().back(), Endpoints::downloadPage());
}

// This system's application delegate has no updater: automatic checks read
// as off, a switch turned on goes back off, and the update button still
// checks the vocabulary packs instead of opening the download page.
TEST_F(AboutModelTest, WithThisSystemsDelegateAutomaticChecksStayOff) {
  struct NoWindows final : ShellHost {
    StatusItemView* makeStatusItemView() override { return nullptr; }
    std::unique_ptr<DashboardWindow> makeDashboardWindow(const std::string&, double, double,
                                                         std::function<void()>) override {
      return nullptr;
    }
    void terminate() override {}
  } shell;
  int vocabularyChecks = 0;
  AppDelegateEnvironment env = test::delegateEnvironment(fx, shell);
  env.makeEngine = [this] { return engine; };
  env.checkVocabularyUpdates = [&](auto) { ++vocabularyChecks; };
  auto delegate = AppDelegate::create(std::move(env));
  AboutModel::UpdaterLookup updater = delegateUpdater(delegate);
  ASSERT_NE(updater(), nullptr);

  model = AboutModel::create(engine->settings(), engine->context(), updater);
  model->appear();
  EXPECT_FALSE(model->isAutoUpdateEnabled());
  model->userSetAutoUpdate(true);
  fx.runner.runUntilIdle();
  EXPECT_FALSE(model->isAutoUpdateEnabled());
  model->checkForUpdates();
  EXPECT_EQ(vocabularyChecks, 1);
  EXPECT_TRUE(opened().empty());
  model.reset();
  delegate.reset();
  EXPECT_EQ(updater(), nullptr) << "the delegate is gone";
}

TEST_F(AboutModelTest, TheReportSheetFlagFollowsItsOpeningAndClosing) {
  AboutModel& m = make(false);
  EXPECT_FALSE(m.isShowingProblemReport());
  m.showProblemReport();
  EXPECT_TRUE(m.isShowingProblemReport());
  m.problemReportClosed();
  EXPECT_FALSE(m.isShowingProblemReport());
}

}  // namespace
}  // namespace tessa
