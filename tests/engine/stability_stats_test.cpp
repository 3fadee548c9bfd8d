#include <gtest/gtest.h>

#include "support/local_time.h"

#include <ctime>
#include <fstream>

#include <fmt/format.h>

#include "base/files.h"
#include "support/reliability_fixture.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;

using test::localNoon;

class StabilityTest : public ::testing::Test, public test::ReliabilityFixture {
 protected:
  void SetUp() override {
    f.clock.setWallTime(localNoon(2026, 3, 9) + 0.1234);
    start();
  }
  StabilityDay today() {
    for (const auto& d : engine->stabilityDaysSnapshot())
      if (d.day == engine->stabilityDayKey()) return d;
    return {};
  }
};

TEST(StabilityJournalLine, IsOneJsonObjectWithTimeKindFlagAndTextFields) {
  EXPECT_EQ(stabilityJournalLine(1798000000.12345, "tap.disabled",
                                 {{"type", "4294967294"}, {"n", "2"}, {"app", "com.apple.TextEdit"}}, false),
            R"({"ts":1798000000.123,"kind":"tap.disabled","critical":false,)"
            R"("fields":{"app":"com.apple.TextEdit","n":"2","type":"4294967294"}})");
  EXPECT_EQ(stabilityJournalLine(1.0, "handle.slow", {}, true), R"({"ts":1.0,"kind":"handle.slow","critical":true,"fields":{}})");
  // A bad byte in an application name does not lose the line.
  EXPECT_NO_THROW(stabilityJournalLine(1.0, "x", {{"app", std::string("a\xff")}}, false));
}

TEST_F(StabilityTest, JournalLinesGoBesideTheDiagnosticLogOnTheDiskQueue) {
  engine->recordStabilityEvent("power", {{"phase", "sleep"}}, false);
  EXPECT_EQ(engine->stabilityLogURL().parent_path(), engine->diagnosticLogURL()->parent_path());
  auto lines = journalOf("power");
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0]["fields"]["phase"], "sleep");
  EXPECT_FALSE(lines[0]["critical"].get<bool>());
  EXPECT_NEAR(lines[0]["ts"].get<double>(), f.clock.wallTime(), 0.001);
}

TEST_F(StabilityTest, SessionsAreJournalledAndCountedAsLaunches) {
  engine->beginStabilitySession("0.1");
  f.runner.advance(42);
  engine->endStabilitySession("user");
  auto starts = journalOf("session.start");
  ASSERT_EQ(starts.size(), 1u);
  EXPECT_EQ(starts[0]["fields"]["version"], "0.1");
  auto ends = journalOf("session.end");
  ASSERT_EQ(ends.size(), 1u);
  EXPECT_EQ(ends[0]["fields"]["reason"], "user");
  EXPECT_EQ(ends[0]["fields"]["seconds"], "42");
  EXPECT_EQ(today().launches, 1);
}

TEST_F(StabilityTest, TodayCountsStallsDisablesAndSleepCycles) {
  EXPECT_EQ(engine->stabilityDayKey(), "2026-03-09");
  std::string day = engine->stabilityDayKey();
  engine->statsNoteStall(day, 250);
  engine->statsNoteStall(day, 900);
  engine->statsNoteStall(day, 300);
  engine->statsNoteTapDisabled(day);
  engine->updateTodayStabilityDay([](StabilityDay& d) { d.sleepCycles += 1; });
  StabilityDay d = today();
  EXPECT_EQ(d.stallsOver200ms, 3);
  EXPECT_EQ(d.longestStallMs, 900);
  EXPECT_EQ(d.tapDisabled, 1);
  EXPECT_EQ(d.sleepCycles, 1);
  // The next day starts its own record.
  f.clock.setWallTime(localNoon(2026, 3, 10));
  engine->statsNoteTapDisabled(engine->stabilityDayKey());
  auto days = engine->stabilityDaysSnapshot();
  ASSERT_EQ(days.size(), 2u);
  EXPECT_EQ(days[1].day, "2026-03-10");
}

TEST_F(StabilityTest, SavesOnlyWhenChangedAndSynchronouslyAtQuit) {
  fs::path file = engine->stabilityStatsURL();
  engine->saveStabilityStats(true);
  EXPECT_FALSE(fs::exists(file));  // nothing changed yet

  engine->statsNoteTapDisabled(engine->stabilityDayKey());
  engine->saveStabilityStats(false);
  EXPECT_FALSE(fs::exists(file));  // queued on the disk queue
  f.runner.runUntilIdle();
  EXPECT_TRUE(fs::exists(file));

  engine->statsNoteStall(engine->stabilityDayKey(), 420);
  engine->saveStabilityStats(true);  // written before returning, no queue turn needed
  auto days = decodeStabilityDays(*readFile(file, kMaxWordFileBytes));
  ASSERT_EQ(days.size(), 1u);
  EXPECT_EQ(days[0].longestStallMs, 420);
  EXPECT_EQ(days[0].tapDisabled, 1);
}

TEST_F(StabilityTest, LoadKeepsTheNewestThirtyDaysAndMergesWhatWasCountedBeforeIt) {
  std::vector<StabilityDay> stored;
  for (int i = 1; i <= 35; ++i) {
    StabilityDay d;
    d.day = fmt::format("2026-01-{:02}", i <= 31 ? i : i - 31);
    if (i > 31) d.day = fmt::format("2026-02-{:02}", i - 31);
    d.tapDisabled = i;
    stored.push_back(d);
  }
  StabilityDay todayStored{"2026-03-09", 2, 1, 300, 0, 1};
  stored.push_back(todayStored);
  ASSERT_TRUE(writeFileAtomically(engine->stabilityStatsURL(), encodeStabilityDays(stored)));

  engine->statsNoteStall(engine->stabilityDayKey(), 800);  // before the load
  engine->loadStabilityStats();
  auto days = engine->stabilityDaysSnapshot();
  ASSERT_EQ(days.size(), 30u);
  EXPECT_EQ(days.front().day, "2026-01-07");
  EXPECT_EQ(days.back().day, "2026-03-09");
  EXPECT_EQ(days.back().stallsOver200ms, 2);
  EXPECT_EQ(days.back().longestStallMs, 800);
  EXPECT_EQ(days.back().tapDisabled, 2);
}

TEST_F(StabilityTest, AnUnreadableStatisticsFileIsMovedAsideNotOverwritten) {
  const std::string deep = R"({"version":1,"days":[],"x":)" + std::string(30000, '[') + std::string(30000, ']') + "}";
  struct Case {
    const char* name;
    std::string text;
    const char* why;
  };
  for (const auto& c : {Case{"not JSON", "{not json", "parse error"},
                        Case{"nested too deeply", deep, "nested deeper than 256 levels"},
                        Case{"over the cap", std::string((1 << 20) + 1, ' '), "over the 1 MiB limit"}}) {
    SCOPED_TRACE(c.name);
    fs::path file = engine->stabilityStatsURL();
    fs::remove(file.string() + ".corrupt");
    ASSERT_TRUE(writeFileAtomically(file, c.text));
    engine->loadStabilityStats();
    EXPECT_TRUE(engine->stabilityDaysSnapshot().empty());
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(fs::exists(file.string() + ".corrupt"));
    EXPECT_TRUE(logged("loadStabilityStats: unreadable statistics file"));
    EXPECT_TRUE(logged(c.why));
    ASSERT_FALSE(f.systemLog.consoleLines.empty());
    const std::string& line = f.systemLog.consoleLines.back();
    EXPECT_EQ(line.rfind("Tessavinor: loadStabilityStats: unreadable statistics file", 0), 0u) << line;
    EXPECT_NE(line.find("moved aside to " + file.string() + ".corrupt"), std::string::npos) << line;
    f.systemLog.consoleLines.clear();
  }
}

TEST_F(StabilityTest, LogMaintenancePrunesOnlyOurOldRotatedCopies) {
  fs::path folder = engine->stabilityLogURL().parent_path();
  fs::create_directories(folder);
  auto touch = [&](const std::string& name, double ageDays) {
    std::ofstream(folder / name) << "x";
    auto when = std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
        std::chrono::duration<double>(f.clock.wallTime() - ageDays * 86400)));
    fs::last_write_time(folder / name, std::chrono::file_clock::from_sys(when));
  };
  touch("tessavinor_diagnostic.log.old", 20);
  touch("tessavinor_stability.jsonl.old", 20);
  touch("tessavinor_diagnostic.log", 20);
  touch("tessavinor_stability.jsonl.old.keep", 20);
  touch("someone_else.old", 20);
  engine->scheduleLogMaintenance();
  f.runner.runUntilIdle();
  EXPECT_FALSE(fs::exists(folder / "tessavinor_diagnostic.log.old"));
  EXPECT_FALSE(fs::exists(folder / "tessavinor_stability.jsonl.old"));
  EXPECT_TRUE(fs::exists(folder / "tessavinor_diagnostic.log"));
  EXPECT_TRUE(fs::exists(folder / "someone_else.old"));
  EXPECT_TRUE(logged("Log maintenance: removed 2 old log file(s)"));

  touch("tessavinor_diagnostic.log.old", 3);
  engine->scheduleLogMaintenance();
  f.runner.runUntilIdle();
  EXPECT_TRUE(fs::exists(folder / "tessavinor_diagnostic.log.old"));
}

}  // namespace
}  // namespace tessa
