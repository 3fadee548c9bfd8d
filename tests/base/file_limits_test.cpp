// Inputs that must not take the program down: files without end and JSON
// nested without bound.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/json_reading.h"
#include "base/user_defaults.h"
#include "support/temp_home.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;

std::string nested(size_t depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(CappedRead, RefusesPastTheCapNamingTheFileAndTheCap) {
  // No size to go by: the reader must stop at the cap on its own.
  auto endless = readFileWithin("/dev/zero", 1 << 20);
  EXPECT_FALSE(endless);
  EXPECT_TRUE(endless.tooLarge);
  EXPECT_EQ(endless.error, "/dev/zero: too large, over the 1 MiB limit for this kind of file");

  test::TempHome home;
  const fs::path file = home.path() / "list.txt";
  ASSERT_TRUE(writeFileAtomically(file, std::string(1000, 'a')));
  EXPECT_EQ(readFileWithin(file, 1000).contents, std::string(1000, 'a')) << "exactly the cap is allowed";
  auto over = readFileWithin(file, 999);
  EXPECT_TRUE(over.tooLarge);
  EXPECT_NE(over.error.find("999 bytes"), std::string::npos) << over.error;

  auto missing = readFileWithin(home.path() / "none", 1000);
  EXPECT_FALSE(missing);
  EXPECT_FALSE(missing.tooLarge);
  EXPECT_NE(missing.error.find("none"), std::string::npos);
}

TEST(JsonDepth, CountsOnlyBracketsOutsideStrings) {
  EXPECT_FALSE(jsonNestsDeeperThan(nested(kMaxJsonDepth)));
  EXPECT_TRUE(jsonNestsDeeperThan(nested(kMaxJsonDepth + 1)));
  EXPECT_FALSE(jsonNestsDeeperThan(R"([{"a": "[[[[{{{{", "b\"[[[[": [1]}])", 3));
  EXPECT_TRUE(jsonNestsDeeperThan(R"([{"a\\": [[1]]}])", 3)) << "an escaped backslash ends no string";

  std::string why;
  EXPECT_FALSE(parseJsonWithin(nested(30000), &why));
  EXPECT_NE(why.find("nested deeper than 256 levels"), std::string::npos) << why;
  EXPECT_FALSE(parseJsonWithin("{ not json", &why));
  EXPECT_TRUE(parseJsonWithin(nested(kMaxJsonDepth)));

  EXPECT_FALSE(jsonValueNestsDeeperThan(nlohmann::json::parse(nested(kMaxJsonDepth))));
  EXPECT_TRUE(jsonValueNestsDeeperThan(nlohmann::json::parse(R"({"a": [1, {"b": [[2]]}]})"), 4));
}

class DefaultsFileTest : public ::testing::Test {
 protected:
  UserDefaults open() {
    return UserDefaults(file, nullptr, [this](const std::string& l) { logs.push_back(l); });
  }
  fs::path aside() const { return fs::path(file.string() + ".corrupt"); }

  test::TempHome home;
  fs::path file = Paths::defaultsFile("com.test");
  std::vector<std::string> logs;
};

TEST_F(DefaultsFileTest, ADeeplyNestedFileIsKeptAsideLikeAnUnparsableOne) {
  const std::string deep = R"({"appLanguage": "en", "x": )" + nested(30000) + "}";
  ASSERT_TRUE(writeFileAtomically(file, deep));
  {
    UserDefaults d = open();
    EXPECT_EQ(d.kind("appLanguage"), UserDefaults::Kind::missing);
    d.setString("appLanguage", "th");
    EXPECT_TRUE(d.synchronize());
  }
  EXPECT_EQ(readFile(aside(), kMaxSettingsFileBytes), deep);
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(logs[0].find("nested deeper than 256 levels"), std::string::npos) << logs[0];
  EXPECT_EQ(open().stringForKey("appLanguage"), "th");
}

TEST_F(DefaultsFileTest, AFileOverTheCapIsKeptAsideNotOverwritten) {
  ASSERT_TRUE(writeFileAtomically(file, std::string(kMaxSettingsFileBytes + 1, ' ')));
  UserDefaults d = open();
  EXPECT_TRUE(fs::exists(aside()));
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(logs[0].find("over the 4 MiB limit"), std::string::npos) << logs[0];
}

TEST_F(DefaultsFileTest, AValueNestedTooDeeplyIsNotStored) {
  UserDefaults d = open();
  d.set("x", nlohmann::json::parse(nested(kMaxJsonDepth + 1)));
  EXPECT_EQ(d.kind("x"), UserDefaults::Kind::missing);
  EXPECT_FALSE(fs::exists(file));
  ASSERT_EQ(logs.size(), 1u);
  d.set("x", nlohmann::json::parse(nested(kMaxJsonDepth)));
  EXPECT_EQ(d.kind("x"), UserDefaults::Kind::array);
}

}  // namespace
}  // namespace tessa
