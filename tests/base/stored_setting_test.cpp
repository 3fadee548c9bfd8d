#include "base/stored_setting.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

namespace tessa {
namespace {

class Owner final : public ObservableObject {};

TEST(Setting, EachReadModeTakesOnlyWhatItShould) {
  UserDefaults d;
  const Setting<bool> typed{.key = "typed", .fallback = true};
  const Setting<bool> sameKind{.key = "same", .fallback = true, .read = SettingRead::sameKind};
  const Setting<bool> never{.key = "never", .fallback = false, .read = SettingRead::never};

  EXPECT_TRUE(typed.readFrom(d)) << "a missing key gives the fallback, not the typed reader's false";
  d.setString("typed", "NO");
  EXPECT_FALSE(typed.readFrom(d)) << "the typed reader converts strings";

  d.setString("same", "no");
  EXPECT_TRUE(sameKind.readFrom(d)) << "a string is not a boolean";
  d.setInteger("same", 0);
  EXPECT_TRUE(sameKind.readFrom(d)) << "nor is a number";
  d.setBool("same", false);
  EXPECT_FALSE(sameKind.readFrom(d));

  d.setBool("never", true);
  EXPECT_FALSE(never.readFrom(d));
  EXPECT_FALSE(never.storedValue(d));

  // A registered value is what the defaults hold for an unset key.
  UserDefaults registered;
  registered.registerDefaults({typed.registration()});
  registered.registerDefaults({{"same", false}});
  EXPECT_TRUE(typed.readFrom(registered));
  EXPECT_FALSE(sameKind.readFrom(registered));
  EXPECT_FALSE(registered.hasStoredValue("typed"));
}

TEST(Setting, PositiveRangeRejectsZeroNegativeAndNonFinite) {
  UserDefaults d;
  const Setting<double> seconds{.key = "s", .fallback = 0.35, .range = SettingRange::positive};
  const Setting<int64_t> count{.key = "n", .fallback = 1, .range = SettingRange::positive};

  for (double bad : {0.0, -2.0, std::numeric_limits<double>::infinity()}) {
    d.setDouble("s", bad);
    EXPECT_DOUBLE_EQ(seconds.readFrom(d), 0.35) << bad;
  }
  d.setString("s", "nan");
  EXPECT_DOUBLE_EQ(seconds.readFrom(d), 0.35);
  d.setString("s", "0.5");
  EXPECT_DOUBLE_EQ(seconds.readFrom(d), 0.5);

  d.setInteger("n", -3);
  EXPECT_EQ(count.readFrom(d), 1);
  d.setInteger("n", 4);
  EXPECT_EQ(count.readFrom(d), 4);
}

TEST(Setting, ListsAndCountsKeepOnlyWhatTheyCanHold) {
  UserDefaults d;
  const Setting<std::vector<std::string>> ids{.key = "ids", .fallback = {"x"}};
  const Setting<std::map<std::string, int64_t>> counts{.key = "counts", .fallback = {}};

  d.set("ids", UserDefaults::Value::array({"a", 1}));
  EXPECT_EQ(ids.readFrom(d), (std::vector<std::string>{"x"})) << "a list with a number in it is unreadable";
  ids.writeTo(d, {"a", "b"});
  EXPECT_EQ(ids.readFrom(d), (std::vector<std::string>{"a", "b"}));

  d.set("counts", UserDefaults::Value{{"a", 3}, {"b", "x"}, {"c", 1.5}, {"d", 18446744073709551615ull}});
  EXPECT_EQ(counts.readFrom(d), (std::map<std::string, int64_t>{{"a", 3}}));
  counts.writeTo(d, {{"p", 1}, {"q", -2}});
  EXPECT_EQ(d.kind("counts"), UserDefaults::Kind::dictionary);
  EXPECT_EQ(counts.readFrom(d), (std::map<std::string, int64_t>{{"p", 1}, {"q", -2}}));
}

TEST(StoredSetting, EveryWriteAnnouncesThenWritesTheKeyThenRunsItsAction) {
  UserDefaults d;
  Owner owner;
  const Setting<int64_t> level{.key = "level", .fallback = 3};
  std::vector<std::string> order;
  StoredSetting<int64_t> cell(owner, &d, level, [&](const int64_t& v) {
    order.push_back("action " + std::to_string(v) + " stored " + std::to_string(d.integerForKey("level")));
  });
  auto sub = owner.subscribeWillChange([&] { order.push_back("will " + std::to_string(cell.get())); });

  EXPECT_EQ(cell.get(), 3) << "a cell starts at its fallback";
  cell.set(5);
  cell.set(5);
  EXPECT_EQ(order, (std::vector<std::string>{"will 3", "action 5 stored 5", "will 5", "action 5 stored 5"}));

  order.clear();
  cell.reset();
  EXPECT_EQ(order, (std::vector<std::string>{"will 5", "action 3 stored 3"}));
  EXPECT_TRUE(d.hasStoredValue("level")) << "a reset writes the fallback, it does not remove the key";
}

TEST(StoredSetting, StartsQuietlyFromTheStoredValueAndWritesBackOnlyWhenAsked) {
  UserDefaults d;
  Owner owner;
  int announced = 0;
  auto sub = owner.subscribeWillChange([&] { ++announced; });
  const Setting<std::string> name{.key = "name", .fallback = "Default"};

  StoredSetting<std::string> unset(owner, &d, name);
  EXPECT_EQ(unset.get(), "Default");
  EXPECT_EQ(announced, 0);
  EXPECT_FALSE(d.hasStoredValue("name")) << "making a cell writes nothing";

  unset.writeBack();
  EXPECT_EQ(announced, 1);
  EXPECT_EQ(d.stringForKey("name"), "Default") << "its key exists once written back";

  d.setString("name", "Work");
  StoredSetting<std::string> stored(owner, &d, name);
  EXPECT_EQ(stored.get(), "Work");
}

TEST(StoredSetting, AnOwnerWrittenSettingWritesOnlyWhenPersisted) {
  UserDefaults d;
  Owner owner;
  const Setting<double> total{.key = "total", .fallback = 0.0, .write = SettingWrite::byOwner};
  StoredSetting<double> cell(owner, &d, total);
  cell.modify([](double& v) { v += 1.0; });
  EXPECT_FALSE(d.hasStoredValue("total"));
  cell.persist();
  EXPECT_DOUBLE_EQ(d.doubleForKey("total"), 1.0);

  // Without a store the cell still works, in memory only.
  StoredSetting<double> loose(owner, nullptr, total);
  EXPECT_DOUBLE_EQ(loose.get(), 0.0);
  loose.set(2.0);
  loose.persist();
  EXPECT_DOUBLE_EQ(loose.get(), 2.0);
}

}  // namespace
}  // namespace tessa
