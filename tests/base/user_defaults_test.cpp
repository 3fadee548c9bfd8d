#include "base/user_defaults.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "base/files.h"
#include "base/task_runner.h"
#include "support/temp_home.h"

namespace tessa {
namespace {

TEST(UserDefaults, TellsMissingFromWrongTypeAndReadsLikeThePlatform) {
  UserDefaults d;
  EXPECT_EQ(d.kind("x"), UserDefaults::Kind::missing);
  d.setString("useContrastiveFrequencyCheck", "no");
  EXPECT_EQ(d.kind("useContrastiveFrequencyCheck"), UserDefaults::Kind::string);
  d.setInteger("SwitcherKey", 7);
  EXPECT_EQ(d.integerForKey("SwitcherKey"), 7);
  d.setString("n", "42");
  EXPECT_EQ(d.integerForKey("n"), 42);
  EXPECT_EQ(d.integerForKey("missing"), 0);
  // Out of an integer's range reads as no number, never as a wrapped one.
  d.set("huge", UserDefaults::Value(18446744073709551615ull));
  EXPECT_EQ(d.integerForKey("huge"), 0);
  d.set("far", UserDefaults::Value(1e300));
  EXPECT_EQ(d.integerForKey("far"), 0);
  d.setDouble("holdThreshold", 0.5);
  EXPECT_DOUBLE_EQ(d.doubleForKey("holdThreshold"), 0.5);
  d.set("arr", UserDefaults::Value::array({"a", 1}));
  EXPECT_FALSE(d.stringArrayForKey("arr").has_value()) << "a mixed array is not a string array";
  d.set("dict", UserDefaults::Value{{"a", 1}});
  EXPECT_TRUE(d.dictionaryForKey("dict").has_value());
  EXPECT_FALSE(d.arrayForKey("dict").has_value());
  d.registerDefaults({{"AppMode", 1}});
  EXPECT_EQ(d.integerForKey("AppMode"), 1);
  EXPECT_FALSE(d.hasStoredValue("AppMode"));
}

TEST(UserDefaults, PersistsAtomicallyIncludingDataAndReloads) {
  test::TempHome home;
  auto file = Paths::defaultsFile("com.test");
  {
    UserDefaults d(file, nullptr);
    d.setData("profiles", {0x7b, 0x00, 0xff});
    d.setBool("flag", true);
    EXPECT_TRUE(d.synchronize());
  }
  UserDefaults again(file, nullptr);
  EXPECT_EQ(again.dataForKey("profiles"), (std::vector<uint8_t>{0x7b, 0x00, 0xff}));
  EXPECT_TRUE(again.boolForKey("flag"));
  EXPECT_EQ(again.kind("profiles"), UserDefaults::Kind::data);
}

TEST(UserDefaults, CoalescesWritesOnItsQueue) {
  test::TempHome home;
  ManualClock clock;
  ManualTaskRunner runner(clock);
  auto queue = runner.createSequence("settings");
  auto file = Paths::defaultsFile("com.test");
  UserDefaults d(file, queue);
  d.setInteger("a", 1);
  d.setInteger("b", 2);
  EXPECT_EQ(runner.pendingCount(), 1u) << "one write covers both changes";
  EXPECT_FALSE(std::filesystem::exists(file));
  runner.runUntilIdle();
  UserDefaults reread(file, nullptr);
  EXPECT_EQ(reread.integerForKey("b"), 2);
}

// The application's quit: the settings go while their queue may still be
// writing them. The write under way finishes first; none starts after.
TEST(UserDefaults, GoingAwayWaitsForTheWriteUnderWayOnItsQueue) {
  test::TempHome home;
  const auto file = home.path() / "prefs.json";
  const std::string big(1 << 20, 'x');  // long enough a write to be caught in it
  for (int i = 0; i < 100; ++i) {
    auto queue = std::make_shared<SerialQueue>("test.defaults");
    {
      UserDefaults d(file, queue);
      d.set("big", UserDefaults::Value(big + std::to_string(i)));
    }
    queue->shutdown();
  }
  // A write either happened whole or not at all.
  if (std::filesystem::exists(file))
    EXPECT_EQ(UserDefaults(file, nullptr).stringForKey("big").value_or("").substr(0, big.size()), big);
}

TEST(UserDefaults, CorruptFileIsKeptAsideAndLogged) {
  test::TempHome home;
  auto file = Paths::defaultsFile("com.test");
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << "{ not json";
  std::vector<std::string> logs;
  UserDefaults d(file, nullptr, [&](const std::string& l) { logs.push_back(l); });
  EXPECT_EQ(d.kind("anything"), UserDefaults::Kind::missing);
  auto aside = file;
  aside += ".corrupt";
  ASSERT_TRUE(std::filesystem::exists(aside));
  EXPECT_EQ(readFile(aside, kMaxSettingsFileBytes).value(), "{ not json");
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(logs[0].find(".corrupt"), std::string::npos);
}

TEST(UserDefaults, ANumberBeyondADoubleIsACorruptFileNotAnAbortAtEveryStart) {
  test::TempHome home;
  auto file = Paths::defaultsFile("com.test");
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << R"({"hapticIntensityConfirm": 1e999})";
  std::vector<std::string> logs;
  UserDefaults d(file, nullptr, [&](const std::string& l) { logs.push_back(l); });
  EXPECT_EQ(d.kind("hapticIntensityConfirm"), UserDefaults::Kind::missing);
  auto aside = file;
  aside += ".corrupt";
  EXPECT_TRUE(std::filesystem::exists(aside));
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(logs[0].find(".corrupt"), std::string::npos);
}

}  // namespace
}  // namespace tessa
