// The narrow views of the engine the windows take: they are the engine's own
// cells (a write through either side is the same write), and notices asked
// for through a view kept past the engine do nothing.
#include <gtest/gtest.h>

#include "app_core/dashboard/dashboard_fixture.h"
#include "engine/engine_settings.h"
#include "engine/engine_stats.h"
#include "engine/hud_notice_sink.h"

namespace tessa {
namespace {

class EngineSeamsTest : public ::testing::Test, protected test::DashboardFixture {};

TEST_F(EngineSeamsTest, SettingsAndStatisticsAreTheEnginesOwnCells) {
  EngineSettings settings = engine->settings();
  EngineStats stats = engine->statistics();
  int announced = 0;
  Subscription changes = settings.subscribeWillChange([&] { ++announced; });

  settings.switcherKey.set(SwitcherKey::grave);
  EXPECT_EQ(engine->switcherKey.get(), SwitcherKey::grave);
  EXPECT_GT(announced, 0);
  int before = announced;
  engine->totalCorrections.set(41);
  EXPECT_EQ(stats.totalCorrections.get(), 41);
  EXPECT_GT(announced, before) << "every write of the engine is announced, counters included";
  stats.showMilestoneNudge.set(true);
  EXPECT_TRUE(engine->showMilestoneNudge.get());

  settings.appLanguage.set("th");
  EXPECT_EQ(settings.localized("about_community_title"), "สถิติชุมชน");
  EXPECT_EQ(&settings.defaults, &engine->defaults());

  changes.reset();
  before = announced;
  settings.isHapticFeedbackEnabled.set(false);
  EXPECT_EQ(announced, before) << "nothing after the subscription is dropped";
}

TEST_F(EngineSeamsTest, NoticesGoToTheEnginesPanel) {
  HudNotices hud = engine->hudNotices();
  EXPECT_EQ(hud.panel(), panel.get());
  hud.showReverted("Saved", "second line");
  hud.showStatus("Working", "", "gear", HudColor::blue, std::nullopt);
  auto shown = notices();
  ASSERT_GE(shown.size(), 1u);
  EXPECT_EQ(shown.front(), (std::pair<std::string, std::string>{"Saved", "second line"}));
}

TEST(EngineSeams, NoticesKeptPastTheEngineDoNothing) {
  test::EngineFixture fx;
  SimDesktop desk(fx.clock, fx.runner);
  fx.platform = desk.platform();
  auto engine = fx.start();
  fx.runner.runUntilIdle();
  HudNotices hud = engine->hudNotices();
  engine.reset();
  fx.engine.reset();
  EXPECT_EQ(hud.panel(), nullptr);
  hud.showReverted("late", "");
  hud.showStatus("late", "", "gear", HudColor::blue, 1.0);
  hud.show(DisplayState::status("late", "", "gear", HudColor::blue), 3, true, false, false);
  hud.dismissStatus(0.1);
  fx.runner.runUntilIdle();
}

}  // namespace
}  // namespace tessa
