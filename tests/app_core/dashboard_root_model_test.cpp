#include "app_core/dashboard_root_model.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/engine_settings.h"
#include "engine/keyboard_engine.h"
#include "support/engine_fixture.h"

namespace tessa::test {
namespace {

std::vector<std::string> titles(const std::string& language) {
  std::vector<std::string> out;
  for (const auto& row : DashboardRootModel::sidebarRows())
    out.push_back(DashboardRootModel::rowTitle(row, language, false));
  return out;
}

TEST(DashboardRootModelTest, RowsCarryTheirTabsSymbolsAndTitlesInEachLanguage) {
  const auto& rows = DashboardRootModel::sidebarRows();
  ASSERT_EQ(rows.size(), 5u);
  std::vector<int> tabs;
  std::vector<std::string> symbols;
  for (const auto& row : rows) {
    tabs.push_back(row.tab);
    symbols.push_back(row.symbol);
  }
  EXPECT_EQ(tabs, (std::vector<int>{0, 1, 2, 3, 7}));
  EXPECT_EQ(symbols, (std::vector<std::string>{"checkmark.shield", "speedometer", "keyboard", "doc.on.clipboard.fill",
                                                          "info.circle"}));

  EXPECT_EQ(titles("th"), (std::vector<std::string>{"ความพร้อมระบบ", "กระดานแดชบอร์ด", "ตั้งค่าคีย์บอร์ด", "คลังคลิปบอร์ด",
                                                        "เกี่ยวกับแอป"}));
  EXPECT_EQ(titles("en"), (std::vector<std::string>{"Setup Status", "Dashboard", "Keyboard Settings", "Copy Cache", "About"}));
  EXPECT_EQ(titles("lo"), (std::vector<std::string>{"ຄວາມພ້ອມຂອງລະບົບ", "ແດຊບອດ", "ຕັ້ງຄ່າຄີບອດ", "Copy Cache", "About"}));
  for (const char* language : {"zh", "ja", "vi", "lo"})
    EXPECT_EQ(DashboardRootModel::rowTitle(rows.back(), language, false), "About") << language;
}

TEST(DashboardRootModelTest, TitlesFollowTheEnginesLanguage) {
  EngineFixture fx;
  auto engine = fx.start();
  const auto& setup = DashboardRootModel::sidebarRows().front();
  engine->appLanguage.set("th");
  EXPECT_EQ(DashboardRootModel::rowTitle(setup, engine->settings()), "ความพร้อมระบบ");
  engine->appLanguage.set("en");
  EXPECT_EQ(DashboardRootModel::rowTitle(setup, engine->settings()), "Setup Status");
  engine.reset();
  fx.engine.reset();
}

TEST(DashboardRootModelTest, TabsWithoutARowShowSetupStatusWithNothingSelected) {
  DashboardRootModel model(true);
  EXPECT_EQ(model.currentSection(), 0);
  EXPECT_EQ(model.currentPage(), DashboardPage::setupStatus);

  EXPECT_TRUE(model.select(2));
  EXPECT_EQ(model.currentPage(), DashboardPage::keyboardSettings);
  EXPECT_FALSE(model.select(2)) << "choosing the shown tab again changes nothing";
  EXPECT_TRUE(model.select(7));
  EXPECT_EQ(model.currentPage(), DashboardPage::about);
  EXPECT_TRUE(model.select(1));
  EXPECT_EQ(model.currentPage(), DashboardPage::usage);
  EXPECT_TRUE(model.select(3));
  EXPECT_EQ(model.currentPage(), DashboardPage::copyCache);

  for (int tab : {4, 6, 8, -1}) {
    model.select(tab);
    EXPECT_EQ(model.currentPage(), DashboardPage::setupStatus) << tab;
    for (const auto& row : DashboardRootModel::sidebarRows()) EXPECT_FALSE(model.isSelected(row)) << tab;
  }
}

TEST(DashboardRootModelTest, OnlyAnIntegerObjectOpensATab) {
  DashboardRootModel model(true);
  EXPECT_FALSE(model.openTab(std::any{}));
  EXPECT_FALSE(model.openTab(std::string("2")));
  EXPECT_FALSE(model.openTab(2.0));
  EXPECT_FALSE(model.openTab("2"));
  EXPECT_EQ(model.currentSection(), 0);
  EXPECT_TRUE(model.openTab(2));
  EXPECT_EQ(model.currentSection(), 2);
  EXPECT_TRUE(model.openTab(int64_t{7}));
  EXPECT_EQ(model.currentSection(), 7);
  EXPECT_FALSE(model.openTab(int64_t{1} << 40)) << "a number no tab can have";
  EXPECT_EQ(model.currentSection(), 7);
}

TEST(DashboardRootModelTest, OnboardingShowsUntilClosedAndReplaysOnce) {
  DashboardRootModel fresh(false);
  EXPECT_TRUE(fresh.showOnboarding());
  EXPECT_FALSE(fresh.replayOnboarding()) << "already shown";
  fresh.onboardingClosed();
  EXPECT_FALSE(fresh.showOnboarding());
  EXPECT_TRUE(fresh.replayOnboarding());
  EXPECT_TRUE(fresh.showOnboarding());

  DashboardRootModel done(true);
  EXPECT_FALSE(done.showOnboarding());
}

TEST(DashboardRootModelTest, FollowsTheNotificationsWhileSubscribed) {
  NotificationCenter center;
  DashboardRootModel model(true);
  int changes = 0;
  {
    auto subscriptions = model.observe(center, [&] { ++changes; });
    center.post("OpenDashboardTab", 2);
    center.post("OpenDashboardTab", 2);
    center.post("OpenDashboardTab");
    center.post("OpenDashboardTab", std::string("7"));
    EXPECT_EQ(model.currentSection(), 2);
    EXPECT_EQ(changes, 1) << "only a change is reported";
    center.post("ReplayOnboarding");
    center.post("ReplayOnboarding");
    EXPECT_TRUE(model.showOnboarding());
    EXPECT_EQ(changes, 2);
  }
  center.post("OpenDashboardTab", 1);
  EXPECT_EQ(model.currentSection(), 2) << "no longer observed";

  // A handler handed elsewhere changes the model only when it is run there.
  std::vector<std::function<void()>> queued;
  auto subscriptions = model.observe(center, [&] { ++changes; },
                                     [&](std::function<void()> handler) { queued.push_back(std::move(handler)); });
  center.post("OpenDashboardTab", 7);
  EXPECT_EQ(model.currentSection(), 2);
  ASSERT_EQ(queued.size(), 1u);
  queued.front()();
  EXPECT_EQ(model.currentSection(), 7);
  EXPECT_EQ(changes, 3);
}

TEST(DashboardRootModelTest, VersionLine) {
  EXPECT_EQ(DashboardRootModel::versionLine(), "v0.1.12");
  std::string shortVersion = "2.3.4";
  EXPECT_EQ(DashboardRootModel::versionLine(&shortVersion), "v2.3.4");
}

}  // namespace
}  // namespace tessa::test
