#include "engine/keyboard_engine.h"

#include <gtest/gtest.h>

#include <set>

#include "support/engine_fixture.h"

namespace tessa {
namespace {

using test::EngineFixture;

std::set<std::string> storedKeys(const UserDefaults& d) {
  std::set<std::string> keys;
  auto snap = d.snapshot();
  for (auto it = snap.begin(); it != snap.end(); ++it) keys.insert(it.key());
  return keys;
}

TEST(KeyboardEngine, FirstLaunchReadsFallbacksAndWritesBackExactlyTheMarkedKeys) {
  EngineFixture f;
  auto e = f.start();
  EXPECT_EQ(e->appLanguage.get(), "th");
  EXPECT_EQ(e->switcherKey.get(), SwitcherKey::capslock);
  EXPECT_TRUE(e->useContrastiveFrequencyCheck.get());
  EXPECT_FALSE(e->isHapticFeedbackEnabled.get());
  EXPECT_EQ(e->dailyStreakCount.get(), 1);
  EXPECT_EQ(e->lastActiveStreakDate.get().size(), 10u);
  EXPECT_EQ(e->statusMessage.get(), "Initializing...");
  EXPECT_EQ(e->inputSource.cachedLanguage, "com.apple.keylayout.ABC");
  EXPECT_EQ(e->focus.cachedFrontmostBundleID, "unknown");

  std::set<std::string> expected{"isShareUsageTimeEnabled", "hasSeenShareInvitation", "hasCompletedOnboarding",
                                 "hasSeenMilestoneNudge",   "remindLaterCorrectionsThreshold",
                                 "prestigeLevel",           "dailyStreakCount",
                                 "lastActiveStreakDate",    "hasShownUndoBoundaryHint",
                                 "profiles",                "activeProfileName",
                                 "excludedBundleIDs"};
  EXPECT_EQ(storedKeys(*f.defaults), expected);
  EXPECT_EQ(f.defaults->stringForKey("activeProfileName"), "Default");
  EXPECT_FALSE(f.defaults->hasStoredValue("AppMode")) << "only registered, not written";
  EXPECT_EQ(f.defaults->integerForKey("AppMode"), 1);

  auto data = f.defaults->dataForKey("profiles");
  ASSERT_TRUE(data);
  auto list = decodeProfiles(std::string(data->begin(), data->end()));
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 3u);
  EXPECT_EQ((*list)[0], defaultProfiles()[0]);
  EXPECT_EQ((*list)[1].name, "Work");
  EXPECT_EQ((*list)[2].name, "Home");
}

TEST(KeyboardEngine, StoredOdditiesFallBack) {
  EngineFixture f;
  f.defaults->setString("useContrastiveFrequencyCheck", "no");
  f.defaults->setInteger("isHapticFeedbackEnabled", 1);  // a number, not a boolean
  f.defaults->setBool("isFatigueNotificationEnabled", true);
  f.defaults->setInteger("SwitcherKey", 7);
  f.defaults->setString("appCopywritingLevel", "Pro");
  f.defaults->setInteger("dailyStreakCount", -3);
  f.defaults->setBool("isSmartCorrectionEnabled", true);
  f.defaults->set("appTypoCounts", UserDefaults::Value{{"com.a", 3}, {"com.b", "x"}, {"com.c", 1.5}});
  f.defaults->setInteger("AppMode", 0);
  auto e = f.start();
  EXPECT_TRUE(e->useContrastiveFrequencyCheck.get());
  EXPECT_FALSE(e->isHapticFeedbackEnabled.get());
  EXPECT_TRUE(e->isFatigueNotificationEnabled.get());
  EXPECT_EQ(e->switcherKey.get(), SwitcherKey::capslock);
  EXPECT_EQ(e->appCopywritingLevel.get(), CopywritingLevel::layman);
  EXPECT_EQ(e->dailyStreakCount.get(), 1);
  EXPECT_FALSE(e->isSmartCorrectionEnabled.get()) << "always starts off";
  EXPECT_EQ(e->appTypoCounts.get(), (std::map<std::string, int64_t>{{"com.a", 3}}));
  EXPECT_EQ(e->appMode.get(), AppMode::capslockToF19);
}

TEST(KeyboardEngine, ChangedSettingsAndCountersReadBackAfterARelaunch) {
  EngineFixture f;
  {
    auto e = f.start();
    e->activeProfileName.set("Work");
    e->appLanguage.set("en");
    e->appCopywritingLevel.set(CopywritingLevel::pro);
    e->switcherKey.set(SwitcherKey::commandSpace);
    e->isHapticFeedbackEnabled.set(true);
    e->isSmartCorrectionEnabled.set(true);
    e->useContrastiveFrequencyCheck.set(false);
    e->excludedBundleIDs.set({"com.a", "com.b"});
    e->hourlyTypoCounts.set({{"2024-01-01-09", 4}});
    e->totalActiveTypingTime.set(12.5);
    e->totalUsageTime.set(30.0);  // written by the usage timer only
    f.engine.reset();
  }
  f.relaunchDefaults();
  auto e = f.start();
  EXPECT_EQ(e->appLanguage.get(), "en");
  EXPECT_EQ(e->appCopywritingLevel.get(), CopywritingLevel::pro);
  EXPECT_EQ(e->switcherKey.get(), SwitcherKey::commandSpace);
  EXPECT_TRUE(e->isHapticFeedbackEnabled.get());
  EXPECT_FALSE(e->isSmartCorrectionEnabled.get()) << "written, never read back";
  EXPECT_FALSE(e->useContrastiveFrequencyCheck.get());
  EXPECT_EQ(e->excludedBundleIDs.get(), (std::vector<std::string>{"com.a", "com.b"}));
  EXPECT_EQ(e->activeProfileName.get(), "Work");
  EXPECT_EQ(e->activeProfile()->switcherKey, rawValue(SwitcherKey::commandSpace)) << "mirrored in the profile";
  EXPECT_EQ(e->hourlyTypoCounts.get(), (std::map<std::string, int64_t>{{"2024-01-01-09", 4}}));
  EXPECT_DOUBLE_EQ(e->totalActiveTypingTime.get(), 12.5);
  EXPECT_DOUBLE_EQ(e->totalUsageTime.get(), 0.0);
}

TEST(KeyboardEngine, TuningValuesFallBackOnZeroNegativeAndNonFinite) {
  EngineFixture f;
  auto e = f.start();
  EXPECT_DOUBLE_EQ(e->holdThreshold(), 0.35);
  f.defaults->setDouble("holdThreshold", -1);
  EXPECT_DOUBLE_EQ(e->holdThreshold(), 0.35);
  f.defaults->setString("undoTimeout", "nan");
  EXPECT_DOUBLE_EQ(e->undoTimeout(), 8.0);
  f.defaults->setDouble("undoTimeout", 3);
  EXPECT_DOUBLE_EQ(e->undoTimeout(), 3.0);
  EXPECT_EQ(e->fatigueThreshold(), 20);
  EXPECT_EQ(e->hapticIntensityConfirm(), 2) << "unset reads as the strength the settings page shows";
  f.defaults->setInteger("hapticIntensityConfirm", 0);
  EXPECT_EQ(e->hapticIntensityConfirm(), 0);
  f.defaults->setInteger("hapticIntensityAlert", -1);
  EXPECT_EQ(e->hapticIntensityAlert(), -1);
}

TEST(KeyboardEngine, PublishedWriteAnnouncesEvenEqualValuesThenStoresThenActs) {
  EngineFixture f;
  auto e = f.start();
  std::vector<std::string> order;
  auto sub = e->subscribeWillChange([&] { order.push_back("will:" + std::string(e->isPaused.get() ? "1" : "0")); });
  auto n = f.notifications.addObserver(notification::appPauseStateChanged,
                                       [&](const Notification&) { order.push_back("posted"); });
  e->isPaused.set(false);  // equal to the current value
  EXPECT_EQ(order, (std::vector<std::string>{"will:0", "posted"}));
  order.clear();
  e->isPaused.set(true);
  EXPECT_EQ(order, (std::vector<std::string>{"will:0", "posted"})) << "will-change comes before the store";

  std::optional<bool> enabled;
  auto c = f.notifications.addObserver(notification::capsLockStateChanged, [&](const Notification& note) {
    enabled = note.userInfo["isEnabled"].get<bool>();
  });
  e->isCapsLockOn.set(true);
  EXPECT_EQ(enabled, true);

  int wills = 0;
  auto s2 = e->subscribeWillChange([&] { ++wills; });
  e->lastEventLog.set("a");
  e->appendToLastEventLog("b");
  EXPECT_EQ(e->lastEventLog.get(), "a\n↳ b");
  EXPECT_EQ(wills, 2);
}

TEST(KeyboardEngine, SwitcherKeyWriteUpdatesKeyThenActiveProfileThenReappliesModeSettings) {
  EngineFixture f;
  f.defaults->setString("activeProfileName", "Work");
  auto e = f.start();
  e->switcherKey.set(SwitcherKey::grave);
  EXPECT_EQ(f.defaults->integerForKey("SwitcherKey"), 1);
  auto data = f.defaults->dataForKey("profiles");
  auto list = decodeProfiles(std::string(data->begin(), data->end())).value();
  EXPECT_EQ(list[0].switcherKey, 0);
  EXPECT_EQ(list[1].name, "Work");
  EXPECT_EQ(list[1].switcherKey, 1);
  EXPECT_EQ(list[2].switcherKey, 0);
  auto logs = e->diagnosticLogs();
  ASSERT_FALSE(logs.empty());
  EXPECT_NE(logs.back().find("applyModeSettings"), std::string::npos) << "mode settings re-applied last";
}

TEST(KeyboardEngine, UnknownActiveProfileOrDuplicatesOnlyTouchTheFirstMatch) {
  EngineFixture f;
  auto dup = defaultProfiles();
  dup.push_back(dup[0]);
  std::string json = encodeProfiles(dup);
  f.defaults->setData("profiles", std::vector<uint8_t>(json.begin(), json.end()));
  auto e = f.start();
  e->isHapticFeedbackEnabled.set(true);
  EXPECT_TRUE(e->profiles.get()[0].isHapticFeedbackEnabled);
  EXPECT_FALSE(e->profiles.get()[3].isHapticFeedbackEnabled);

  e->activeProfileName.set("Nobody");
  auto before = e->profiles.get();
  e->isSmartCorrectionEnabled.set(true);
  EXPECT_TRUE(f.defaults->boolForKey("isSmartCorrectionEnabled"));
  EXPECT_EQ(e->profiles.get(), before);
}

TEST(KeyboardEngine, ProfilesMigrateOffRetiredModesWithOneLogLine) {
  EngineFixture f;
  auto list = defaultProfiles();
  list[0].appMode = 0;
  list[2].appMode = 2;
  std::string json = encodeProfiles(list);
  f.defaults->setData("profiles", std::vector<uint8_t>(json.begin(), json.end()));
  auto e = f.start();
  for (const auto& p : e->profiles.get()) EXPECT_EQ(p.appMode, 1);
  EXPECT_EQ(e->profiles.get()[0].name, "Default");
  EXPECT_EQ(e->profiles.get()[2].isProactiveSuggestionEnabled, false);
  int lines = 0;
  for (const auto& l : f.systemLog.lines)
    if (l.message == "Migrating 2 profile(s) off retired app modes") {
      ++lines;
      EXPECT_EQ(l.category, "General");
      EXPECT_EQ(l.level, LogLevel::info);
    }
  EXPECT_EQ(lines, 1);
}

TEST(KeyboardEngine, CorruptProfilesAreKeptAsideAndReplacedByTheDefaults) {
  EngineFixture f;
  std::string bad = R"([{"name":"Mine","isHapticFeedbackEnabled":true}])";  // lacks most keys
  f.defaults->setData("profiles", std::vector<uint8_t>(bad.begin(), bad.end()));
  auto e = f.start();
  EXPECT_EQ(e->profiles.get(), defaultProfiles());
  auto kept = f.defaults->dataForKey("profiles.corrupt");
  ASSERT_TRUE(kept);
  EXPECT_EQ(std::string(kept->begin(), kept->end()), bad);
}

TEST(KeyboardEngine, ProfilesWithWholeNumbersWrittenAsDecimalsAreKept) {
  EngineFixture f;
  std::string stored = R"([{"name":"Mine","isHapticFeedbackEnabled":true,"isSmartCorrectionEnabled":false,)"
                       R"("isProactiveSuggestionEnabled":true,"hapticIntensityConfirm":2.0,"hapticIntensityAlert":0.0,)"
                       R"("appMode":1.0,"switcherKey":3.0}])";
  f.defaults->setData("profiles", std::vector<uint8_t>(stored.begin(), stored.end()));
  auto e = f.start();
  ASSERT_EQ(e->profiles.get().size(), 1u);
  EXPECT_EQ(e->profiles.get()[0], (UserProfile{"Mine", true, false, true, 2, 0, 1, 3}));
  EXPECT_FALSE(f.defaults->dataForKey("profiles.corrupt"));
}

TEST(ValueTypes, ProfileIntegersMustBeWholeNumbers) {
  auto withConfirm = [](const std::string& value) {
    return decodeProfiles(R"([{"name":"A","isHapticFeedbackEnabled":true,"isSmartCorrectionEnabled":true,)"
                          R"("isProactiveSuggestionEnabled":true,"hapticIntensityConfirm":)" +
                          value + R"(,"hapticIntensityAlert":1,"appMode":1,"switcherKey":0}])");
  };
  EXPECT_EQ(withConfirm("-2.0").value()[0].hapticIntensityConfirm, -2);
  EXPECT_EQ(withConfirm("1e2").value()[0].hapticIntensityConfirm, 100);
  EXPECT_FALSE(withConfirm("1.5"));
  EXPECT_FALSE(withConfirm("1e300")) << "beyond a 64-bit integer";
  EXPECT_FALSE(withConfirm("18446744073709551615"));
  EXPECT_FALSE(withConfirm("\"1\""));
}

TEST(KeyboardEngine, SettingsNestedWithoutBoundStartWithTheDefaults) {
  const std::string deep = std::string(30000, '[') + std::string(30000, ']');
  {
    // A preferences file like that is read at every launch.
    EngineFixture f;
    const auto file = Paths::defaultsFile("com.Ovrelan.Tessavinor");
    ASSERT_TRUE(writeFileAtomically(file, R"({"appLanguage":"en","x":)" + deep + "}"));
    f.defaults = std::make_unique<UserDefaults>(file, f.persist);
    auto e = f.start();
    EXPECT_EQ(e->appLanguage.get(), "th");
    EXPECT_TRUE(std::filesystem::exists(file.string() + ".corrupt"));
  }
  {
    // Profiles are data inside the settings, so they pass that check. The
    // profile is whole; only a member nobody reads is nested that deep.
    EngineFixture f;
    std::string profiles = encodeProfiles({{"Mine", true, true, true, 1, 1, 1, 0}});
    profiles.insert(profiles.size() - 2, R"(,"x":)" + deep);
    f.defaults->setData("profiles", std::vector<uint8_t>(profiles.begin(), profiles.end()));
    auto e = f.start();
    EXPECT_EQ(e->profiles.get(), defaultProfiles());
    EXPECT_TRUE(f.defaults->dataForKey("profiles.corrupt"));
  }
}

TEST(ValueTypes, StrictDecodingAndRawValues) {
  EXPECT_FALSE(switcherKeyFromRaw(5));
  EXPECT_FALSE(appModeFromRaw(0));
  EXPECT_FALSE(copywritingLevelFromRaw("Pro"));
  EXPECT_EQ(displayName(SwitcherKey::optionSpace), "Option+Space");
  EXPECT_FALSE(decodeProfiles(R"([{"name":"A","isHapticFeedbackEnabled":1,"isSmartCorrectionEnabled":true,
    "isProactiveSuggestionEnabled":true,"hapticIntensityConfirm":1,"hapticIntensityAlert":1,"appMode":1,"switcherKey":0}])"))
      << "a number where a boolean belongs fails the list";
  EXPECT_EQ(encodeProfile(defaultProfiles()[0]).dump(),
            R"({"name":"Default","isHapticFeedbackEnabled":false,"isSmartCorrectionEnabled":true,)"
            R"("isProactiveSuggestionEnabled":true,"hapticIntensityConfirm":1,"hapticIntensityAlert":1,"appMode":1,"switcherKey":0})");
  EXPECT_EQ(encodeKeyStroke({40, true, 7}).dump(), R"({"keyCode":40,"shiftActive":true,"t":7})");
  EXPECT_FALSE(decodeKeyStroke(nlohmann::json{{"keyCode", 1}, {"shiftActive", false}}));
}

TEST(KeyboardEngine, ThaiToEnglishPrefersThePlainKey) {
  EngineFixture f;
  auto e = f.start();
  EXPECT_EQ(e->englishToThaiMap().size(), 95u);
  EXPECT_EQ(e->thaiToEnglishMap().at("ง"), "'");
  EXPECT_EQ(e->thaiToEnglishMap().at("."), "\"");
  EXPECT_EQ(e->thaiToEnglishMap().at("ฟ"), "a");
}

}  // namespace
}  // namespace tessa
