#include "platform/linux/json_preference_domains.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "base/files.h"
#include "engine/keyboard_engine.h"
#include "engine/system_keyboard.h"
#include "support/damaged_files.h"
#include "support/key_road_fixture.h"
#include "support/temp_home.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;
namespace sk = system_keyboard;
constexpr const char* kHotKeys = "com.apple.symbolichotkeys";
constexpr const char* kHotKeysKey = "AppleSymbolicHotKeys";

nlohmann::json fileContents(const fs::path& file) {
  auto text = readFile(file, kMaxSettingsFileBytes);
  return text ? nlohmann::json::parse(*text) : nlohmann::json();
}

TEST(JsonPreferenceDomains, StartsWithNoHotKeysBoundAndKeepsWhatIsWritten) {
  test::TempHome home;
  const fs::path file = home.path() / "Preferences" / "symbolic_hot_keys.json";
  JsonPreferenceDomains store(file);
  EXPECT_EQ(store.copyValue(kHotKeys, kHotKeysKey), nlohmann::json::object()) << "an empty table, not a missing one";
  EXPECT_FALSE(store.copyValue("com.apple.HIToolbox", "AppleGlobalTextInputProperties"));
  EXPECT_FALSE(store.nextSourceHotKeyIsFnF19());
  EXPECT_FALSE(fs::exists(file)) << "reading writes nothing";

  store.setValue(kHotKeys, kHotKeysKey, {{"61", sk::fnF19HotKeyEntry()}});
  EXPECT_TRUE(store.nextSourceHotKeyIsFnF19());
  ASSERT_TRUE(store.synchronize(kHotKeys));
  EXPECT_TRUE(sk::isEnabledFnF19Entry(fileContents(file)[kHotKeys][kHotKeysKey]["61"]));
  EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

  // Another instance reads it back; a disabled entry is not honoured.
  JsonPreferenceDomains again(file);
  EXPECT_TRUE(again.nextSourceHotKeyIsFnF19());
  auto disabled = sk::fnF19HotKeyEntry();
  disabled["enabled"] = false;
  again.setValue(kHotKeys, kHotKeysKey, {{"61", disabled}});
  EXPECT_FALSE(again.nextSourceHotKeyIsFnF19());
  // A null value removes the key.
  again.setValue(kHotKeys, kHotKeysKey, nullptr);
  EXPECT_EQ(again.copyValue(kHotKeys, kHotKeysKey), nlohmann::json::object());
}

TEST(JsonPreferenceDomains, ACorruptFileIsKeptAsideAndLoggedNotOverwritten) {
  test::TempHome home;
  const fs::path file = home.path() / "symbolic_hot_keys.json";
  {
    std::ofstream out(file);
    out << "{\"com.apple.symbolichotkeys\": {\"AppleSymbolicHotKeys\": {\"61\": ";  // cut short
  }
  std::vector<std::string> logs;
  JsonPreferenceDomains store(file, [&](const std::string& line) { logs.push_back(line); });
  EXPECT_EQ(store.copyValue(kHotKeys, kHotKeysKey), nlohmann::json::object());
  ASSERT_EQ(logs.size(), 1u);
  EXPECT_NE(logs[0].find("kept aside as"), std::string::npos) << logs[0];
  EXPECT_TRUE(fs::exists(file.string() + ".corrupt"));
  EXPECT_FALSE(fs::exists(file));
}

// Every damaged form is read through the bounded reader: kept aside with one
// line saying why, and the store works on from an empty table (a table nested
// 100,000 levels deep once crashed every start and quit).
TEST(JsonPreferenceDomains, EveryDamagedFormIsKeptAsideAndTheStoreWorksOn) {
  const std::string good = nlohmann::json{{kHotKeys, {{kHotKeysKey, {{"61", sk::fnF19HotKeyEntry()}}}}}}.dump();
  auto forms = test::damagedForms(good);
  forms.push_back({"not an object", "[1, 2]"});
  for (const auto& form : forms) {
    SCOPED_TRACE(form.name);
    test::TempHome home;
    const fs::path file = home.path() / "symbolic_hot_keys.json";
    { std::ofstream(file, std::ios::binary) << form.bytes; }
    std::vector<std::string> logs;
    JsonPreferenceDomains store(file, [&](const std::string& line) { logs.push_back(line); });
    EXPECT_FALSE(store.nextSourceHotKeyIsFnF19());
    EXPECT_EQ(store.copyValue(kHotKeys, kHotKeysKey), nlohmann::json::object());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_NE(logs[0].find("could not be read ("), std::string::npos) << logs[0];
    EXPECT_NE(logs[0].find("kept aside as " + file.string() + ".corrupt"), std::string::npos) << logs[0];
    std::ifstream aside(file.string() + ".corrupt", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(aside), {}), form.bytes) << "kept as it was";

    store.setValue(kHotKeys, kHotKeysKey, {{"61", sk::fnF19HotKeyEntry()}});
    ASSERT_TRUE(store.synchronize(kHotKeys));
    EXPECT_TRUE(JsonPreferenceDomains(file).nextSourceHotKeyIsFnF19());
    EXPECT_EQ(logs.size(), 1u);
  }
}

// The engine's own record-and-restore of entry 61, on the Linux store.
TEST(JsonPreferenceDomains, TheEngineBindsEntry61ThereAndTakesItAwayAtQuit) {
  test::TempHome home;
  const fs::path file = home.path() / "symbolic_hot_keys.json";
  JsonPreferenceDomains store(file);
  test::KeyRoadFixture f;
  f.platform.preferences = &store;
  auto e = f.startEngine();
  e->applyModeSettings();
  f.settle();
  EXPECT_TRUE(f.logged("setupF19SystemShortcut: rewrote HotKey 61 to Fn+F19 (was disabled or absent)"));
  EXPECT_TRUE(f.logged("systemShortcutOK=true"));
  EXPECT_TRUE(store.nextSourceHotKeyIsFnF19());
  EXPECT_TRUE(sk::isEnabledFnF19Entry(fileContents(file)[kHotKeys][kHotKeysKey]["61"]));
  EXPECT_TRUE(f.noticeMessages().empty()) << "nothing to ask the user";

  e->restoreSystemKeyboardForQuit();
  EXPECT_FALSE(store.nextSourceHotKeyIsFnF19());
  EXPECT_FALSE(fileContents(file)[kHotKeys][kHotKeysKey].contains("61"));
}

TEST(JsonPreferenceDomains, AStoreThatCannotBeWrittenSaysSoInsteadOfPointingAtSystemSettings) {
  test::TempHome home;
  // Its folder is a file: nothing can be written below it.
  { std::ofstream(home.path() / "blocked") << "x"; }
  JsonPreferenceDomains store(home.path() / "blocked" / "symbolic_hot_keys.json");
  test::KeyRoadFixture f;
  f.platform.preferences = &store;
  auto e = f.startEngine();
  e->appLanguage.set("en");
  e->applyModeSettings();
  f.settle();
  EXPECT_TRUE(f.logged("systemShortcutOK=false"));
  EXPECT_TRUE(f.showedNotice("The switch shortcut could not be saved"));
  EXPECT_FALSE(f.showedNotice("ตั้งค่า F19 shortcut ด้วยตัวเอง 1 ครั้ง"));
}

}  // namespace
}  // namespace tessa
