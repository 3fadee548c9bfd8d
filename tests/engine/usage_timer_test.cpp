#include <gtest/gtest.h>

#include "support/local_time.h"

#include <ctime>

#include "support/engine_fixture.h"

namespace tessa {
namespace {

using test::EngineFixture;

using test::localNoon;

struct StreakCase {
  const char* last;
  int todayY, todayM, todayD;
  int64_t stored;
  int64_t expected;
};

TEST(DailyStreak, ForgivesAWeekendOnlyWhenUseResumesSaturdaySundayOrMonday) {
  const StreakCase cases[] = {
      {"2026-12-06", 2026, 12, 7, 4, 5},  // yesterday
      {"2026-12-04", 2026, 12, 7, 4, 5},  // three days, today Monday
      {"2026-12-06", 2026, 12, 9, 4, 1},  // three days, today Wednesday
      {"2026-12-03", 2026, 12, 7, 4, 1},  // four days
      {"2026-12-09", 2026, 12, 7, 4, 1},  // in the future
      {"yesterday", 2026, 12, 7, 4, 1},   // unparseable
      {"2026-12-07", 2026, 12, 7, 4, 4},  // same day: unchanged
  };
  for (const auto& c : cases) {
    EngineFixture f;
    f.clock.setWallTime(localNoon(c.todayY, c.todayM, c.todayD));
    f.defaults->setString("lastActiveStreakDate", c.last);
    f.defaults->setInteger("dailyStreakCount", c.stored);
    auto e = f.start();
    EXPECT_EQ(e->dailyStreakCount.get(), c.expected) << c.last;
    EXPECT_EQ(e->lastActiveStreakDate.get(), "2026-12-0" + std::to_string(c.todayD));
  }
}

TEST(HourlyTypos, CountsWithinTheHourAndResetsAfter) {
  EngineFixture f;
  f.clock.setWallTime(localNoon(2026, 12, 7));
  auto e = f.start();
  e->recordTypoInCurrentHour();
  e->recordTypoInCurrentHour();
  EXPECT_EQ(e->typoCountInCurrentHour(), 2);
  f.clock.setWallTime(localNoon(2026, 12, 7) + 3600);
  EXPECT_EQ(e->typoCountInCurrentHour(), 0);
  e->recordTypoInCurrentHour();
  EXPECT_EQ(e->typoCountInCurrentHour(), 1);
}

TEST(UsageTimer, TicksCountActiveTypingAndPersistEveryTenthSecond) {
  EngineFixture f;
  auto e = f.start();
  e->startUsageTimer();
  e->focus.lastPhysicalKeyEventTime = f.clock.uptime() + 1.0 - 1.5;  // 1.5 s before the first tick
  f.runner.advance(1.0);
  EXPECT_DOUBLE_EQ(e->totalUsageTime.get(), 1.0);
  EXPECT_DOUBLE_EQ(e->totalActiveTypingTime.get(), 1.0);
  e->focus.lastPhysicalKeyEventTime = f.clock.uptime() - 2.0;  // 3 s before the next tick
  f.runner.advance(1.0);
  EXPECT_DOUBLE_EQ(e->totalActiveTypingTime.get(), 1.0);
  EXPECT_FALSE(f.defaults->hasStoredValue("totalUsageTime"));
  f.runner.advance(8.0);
  EXPECT_DOUBLE_EQ(f.defaults->doubleForKey("totalUsageTime"), 10.0);
  f.runner.advance(5.0);
  EXPECT_DOUBLE_EQ(f.defaults->doubleForKey("totalUsageTime"), 10.0);
}

TEST(UsageTimer, MilestoneNudgeWaitsForEnoughBenefit) {
  EngineFixture f;
  f.defaults->setBool("hasSeenShareInvitation", true);
  f.defaults->setDouble("totalUsageTime", 3598);
  auto e = f.start();
  e->usageTimerTick();
  f.runner.runUntilIdle();
  EXPECT_FALSE(e->showMilestoneNudge.get());
  e->usageTimerTick();
  f.runner.runUntilIdle();
  EXPECT_TRUE(e->showMilestoneNudge.get());

  EngineFixture g;
  g.defaults->setBool("hasSeenShareInvitation", true);
  g.defaults->setInteger("remindLaterCorrectionsThreshold", 120);
  g.defaults->setDouble("totalUsageTime", 99999);
  g.defaults->setInteger("totalCorrections", 119);
  auto e2 = g.start();
  e2->usageTimerTick();
  g.runner.runUntilIdle();
  EXPECT_FALSE(e2->showMilestoneNudge.get());
  e2->totalCorrections.set(120);
  e2->usageTimerTick();
  g.runner.runUntilIdle();
  EXPECT_TRUE(e2->showMilestoneNudge.get());
}

}  // namespace
}  // namespace tessa
