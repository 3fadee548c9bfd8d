#include "engine/language_switcher.h"

#include <gtest/gtest.h>

#include "support/key_road_fixture.h"

namespace tessa {
namespace {

using test::KeyRoadFixture;

constexpr const char* kABC = "com.apple.keylayout.ABC";
constexpr const char* kThai = "com.apple.keylayout.Thai";
constexpr const char* kLao = "com.apple.keylayout.Lao";

TEST(LanguageSwitcher, CyclesTheSelectableSourcesInOrderAndWraps) {
  KeyRoadFixture f;
  f.desktop.setEnabledSources({kABC, kThai, kLao});
  f.desktop.setCurrentSource(kThai);
  auto e = f.startEngine();
  EXPECT_EQ(e->languageSwitcher().nextInputSourceID(), kLao);
  f.desktop.setCurrentSource(kLao);
  EXPECT_EQ(e->languageSwitcher().nextInputSourceID(), kABC);
}

TEST(LanguageSwitcher, FiltersPalettesAndForeignCategoriesButKeepsInputMethods) {
  KeyRoadFixture f;
  InputSourceInfo emoji;
  emoji.id = "com.apple.CharacterPaletteIM";
  emoji.category = "TISCategoryPaletteInputSource";
  InputSourceInfo im;
  im.id = "com.example.inputmethod.Pinyin";
  im.category = "TISCategoryInputMethod";
  InputSourceInfo other;
  other.id = "com.example.Other";
  other.category = "TISCategoryInkInputSource";
  InputSourceInfo notCapable;
  notCapable.id = "com.example.keylayout.Locked";
  notCapable.selectCapable = false;
  for (const auto& s : {emoji, im, other, notCapable}) f.desktop.inputSources().registerSource(s, nullptr);
  f.desktop.setEnabledSources({kABC, emoji.id, im.id, other.id, notCapable.id, kThai});
  auto e = f.startEngine();
  std::vector<std::string> ids;
  for (const auto& s : e->languageSwitcher().selectableKeyboardSources()) ids.push_back(s.id);
  EXPECT_EQ(ids, (std::vector<std::string>{kABC, im.id, kThai}));

  // The current source is filtered out: no next source, and the direct road
  // says why.
  f.desktop.setCurrentSource(emoji.id);
  EXPECT_FALSE(e->languageSwitcher().nextInputSourceID());
  e->languageSwitcher().toggle();
  EXPECT_TRUE(f.logged("Error: Current source not found in list"));
}

TEST(LanguageSwitcher, ASingleSourceTakesTheDirectRoadAndNeverCompletes) {
  KeyRoadFixture f;
  f.desktop.setEnabledSources({kABC});
  auto e = f.startEngine();
  bool completed = false;
  e->languageSwitcher().toggle([&](bool) { completed = true; });
  EXPECT_TRUE(f.logged("Error: Selectable input sources count is 1"));
  EXPECT_FALSE(completed);
  EXPECT_TRUE(f.desktop.postedEvents().empty());
  EXPECT_NE(e->lastEventLog.get().find("\n↳ Error: Selectable input sources count is 1"), std::string::npos);
}

TEST(LanguageSwitcher, ToggleRequestsTheSwitchWithTaggedFnF19AndAnswersAtOnce) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  std::optional<bool> english;
  e->languageSwitcher().toggle([&](bool isEnglish) { english = isEnglish; });
  ASSERT_TRUE(english.has_value()) << "the completion does not wait for the switch";
  EXPECT_FALSE(*english) << "the next source is Thai";
  const auto& posted = f.desktop.postedEvents();
  ASSERT_GE(posted.size(), 2u);
  EXPECT_EQ(posted[0].type, EventType::keyDown);
  EXPECT_EQ(posted[1].type, EventType::keyUp);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(posted[i].keyCode, 80);
    EXPECT_EQ(posted[i].flags, flags::fn);
    EXPECT_TRUE(posted[i].isTagged());
  }
}

TEST(LanguageSwitcher, WithoutTheSystemChangeFlagNothingIsPostedOrSelected) {
  KeyRoadFixture f;
  f.platform.hasBundleIdentifier = false;
  auto e = f.startEngine();
  e->switcher.isTogglingF19 = true;
  bool completed = false;
  e->languageSwitcher().toggle([&](bool) { completed = true; });
  EXPECT_TRUE(completed);
  EXPECT_TRUE(f.desktop.postedEvents().empty());
  EXPECT_FALSE(e->switcher.isTogglingF19) << "no confirmation will ever end this request";

  // The direct road answers success without touching the machine.
  bool named = false;
  e->languageSwitcher().switchToInputSource(kABC, [&](bool) { named = true; });
  EXPECT_TRUE(named);
  EXPECT_TRUE(f.logged("Success: Layout changed to ID com.apple.keylayout.ABC"));
  f.advance(1.0);
  EXPECT_EQ(f.desktop.currentSource(), kABC);
  EXPECT_TRUE(f.desktop.inputSources().switches().empty());
}

TEST(LanguageSwitcher, ANamedSourceThatIsNotNextIsSelectedDirectlyFromTheUnfilteredList) {
  KeyRoadFixture f;
  // Left out of the cycle by its name, but a keyboard layout all the same.
  InputSourceInfo locked;
  locked.id = "com.example.keylayout.Inkwell";
  f.desktop.inputSources().registerSource(locked, nullptr);
  f.desktop.setEnabledSources({kABC, kThai, kLao, locked.id});
  auto e = f.startEngine();
  std::optional<bool> english;
  e->languageSwitcher().switchToInputSource(kLao, [&](bool en) { english = en; });
  EXPECT_TRUE(f.logged("Success: Layout changed to ID com.apple.keylayout.Lao"));
  EXPECT_EQ(english, false);
  EXPECT_TRUE(f.desktop.postedEvents().empty()) << "no hot key for a source that is not next";
  e->languageSwitcher().switchToInputSource(locked.id);
  EXPECT_TRUE(f.logged("Success: Layout changed to ID com.example.keylayout.Inkwell"));
  e->languageSwitcher().switchToInputSource("com.example.Missing");
  EXPECT_TRUE(f.logged("Error: Target input source ID com.example.Missing not found"));
}

TEST(LanguageSwitcher, TheFallbackSelectsDirectlyOrSaysWhyNot) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  EXPECT_TRUE(e->languageSwitcher().selectDirectlyAfterHotKeyFailure(kThai));
  EXPECT_TRUE(f.logged("Fallback: HotKey 61 did not switch the layout - selected com.apple.keylayout.Thai directly"));
  EXPECT_FALSE(e->languageSwitcher().selectDirectlyAfterHotKeyFailure(kLao));
  EXPECT_TRUE(f.logged("Fallback: input source com.apple.keylayout.Lao not found - layout unchanged"));
  f.desktop.inputSources().setSelectFailure(-50);
  EXPECT_FALSE(e->languageSwitcher().selectDirectlyAfterHotKeyFailure(kThai));
  EXPECT_TRUE(f.logged("Fallback: TISSelectInputSource(com.apple.keylayout.Thai) failed with code -50"));
}

TEST(LanguageSwitcher, EnglishIdentifiersAndTheTargetFallback) {
  EXPECT_TRUE(KeyboardEngine::isEnglishInputSourceID("com.apple.keylayout.ABC"));
  EXPECT_TRUE(KeyboardEngine::isEnglishInputSourceID("com.apple.keylayout.US"));
  EXPECT_TRUE(KeyboardEngine::isEnglishInputSourceID("en"));
  EXPECT_TRUE(KeyboardEngine::isEnglishInputSourceID("en-GB"));
  EXPECT_TRUE(KeyboardEngine::isEnglishInputSourceID("en_US"));
  EXPECT_FALSE(KeyboardEngine::isEnglishInputSourceID("com.apple.keylayout.Thai"));
  EXPECT_FALSE(KeyboardEngine::isEnglishInputSourceID("com.apple.keylayout.Russian")) << "'us' in lower case";

  KeyRoadFixture f;
  f.desktop.setEnabledSources({kABC});
  auto e = f.startEngine();
  e->setCachedLanguage(true);
  EXPECT_EQ(e->targetInputSourceID(), kThai);
  e->setCachedLanguage(false);
  EXPECT_EQ(e->inputSource.cachedLanguage, kThai);
  EXPECT_EQ(e->targetInputSourceID(), kABC);
  e->inputSource.cachedNextInputSourceID = kLao;
  EXPECT_EQ(e->targetInputSourceID(), kLao);
  f.desktop.setSourceListReadable(false);
  EXPECT_EQ(e->currentInputSourceIDOrDefault(), kABC);
}

// The whole road on the simulated desktop: the settings queue rebinds hot
// key 61, the switcher posts Fn+F19 and the system switches by itself.
TEST(LanguageSwitcher, TheHotKeyRoadSwitchesOnceTheSystemKeyboardIsSetUp) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->applyModeSettings();
  f.settle();
  ASSERT_TRUE(f.desktop.nextSourceHotKey().has_value());
  e->languageSwitcher().toggle();
  f.advance(0.5);
  EXPECT_EQ(f.desktop.currentSource(), kThai);
  EXPECT_EQ(f.desktop.hotKeyActivations(), 1);
  EXPECT_FALSE(f.logged("Fallback:")) << "the hot key did the switch";
}

TEST(LanguageSwitcher, WhenTheHotKeyDoesNothingTheFallbackSelectsTheSource) {
  KeyRoadFixture f;
  f.desktop.setNextSourceHotKeyWorks(false);
  auto e = f.startEngine();
  e->applyModeSettings();
  f.settle();
  e->languageSwitcher().toggle();
  f.advance(0.5);
  EXPECT_EQ(f.desktop.currentSource(), kThai);
  EXPECT_TRUE(f.logged("Fallback: HotKey 61 did not switch the layout - selected com.apple.keylayout.Thai directly"));
}

}  // namespace
}  // namespace tessa
