#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "base/unicode.h"
#include "dictionaries/word_lists.h"
#include "engine/hud_notices.h"
#include "hud/unified_menu_panel.h"
#include "engine/word_test_support.h"

namespace tessa::test {
namespace {

namespace fs = std::filesystem;

// ------------------------------------------------------------ word files

TEST(WordFileText, TrimsLowerCasesSkipsCommentsAndKeepsFirstAppearanceOrder) {
  EXPECT_EQ(parseWordFileText("  Hello \nhello\n# comment\n\n\tWorld\r"),
            (std::vector<std::string>{"hello", "world"}));
  // Every line break the platform knows separates lines; NBSP and other
  // spacing characters are trimmed.
  EXPECT_EQ(parseWordFileText("one\r\ntwo\vthree\fFOUR\u0085five\u2028six\u2029\u00A0seven\u3000"),
            (std::vector<std::string>{"one", "two", "three", "four", "five", "six", "seven"}));
  // Full lower-casing, not just ASCII; Thai passes unchanged.
  EXPECT_EQ(parseWordFileText("ÄRGER\nΣΟΦΙΑ\nПривет\nขอบคุณ"),
            (std::vector<std::string>{"ärger", "σοφια", "привет", "ขอบคุณ"}));
  // A "#" after leading space is still a comment; inside a word it is not.
  EXPECT_EQ(parseWordFileText("   # note\nc#\n"), (std::vector<std::string>{"c#"}));
  EXPECT_TRUE(parseWordFileText("").empty());
}

class WordSetsTest : public ::testing::Test, public WordEngineFixture {
 protected:
  void SetUp() override { engine = startEngine(); }
  fs::path spelling() const { return spellingFolder(); }
  fs::path dictionaries() const { return dictionariesFolder(); }
};

TEST_F(WordSetsTest, WordFileSearchOrderReadsOnlyTheFirstExistingCandidate) {
  writeBytes(dictionaries() / "list.txt", "fromDictionaries\n");
  EXPECT_EQ(engine->loadWordFile("list.txt"), std::vector<std::string>{"fromdictionaries"});
  writeBytes(spelling() / "list.txt", "fromSpelling\n");
  EXPECT_EQ(engine->loadWordFile("list.txt"), std::vector<std::string>{"fromspelling"});
  // A first candidate that is not UTF-8 gives nothing; the later ones are
  // not consulted.
  writeBytes(spelling() / "list.txt", "bad\xFF\xFEtext\n");
  EXPECT_TRUE(engine->loadWordFile("list.txt").empty());
  EXPECT_TRUE(engine->loadWordFile("missing.txt").empty());
  EXPECT_FALSE(fs::exists(spelling() / "missing.txt"));
}

TEST_F(WordSetsTest, ShippedResourceIsTheLastCandidate) {
  TempHome resourceHome;  // any empty folder will do as a resource folder
  fs::path resources = resourceHome.path() / "res";
  ResourceFolderOverride override(resources.string());
  writeBytes(resources / "tessavinor_extra.txt", "Shipped\n");
  writeBytes(resources / "noext.txt", "implied\n");
  EXPECT_EQ(engine->loadWordFile("tessavinor_extra.txt"), std::vector<std::string>{"shipped"});
  // A name without an extension looks for a ".txt" resource.
  EXPECT_EQ(engine->loadWordFile("noext"), std::vector<std::string>{"implied"});
  writeBytes(dictionaries() / "tessavinor_extra.txt", "mine\n");
  EXPECT_EQ(engine->loadWordFile("tessavinor_extra.txt"), std::vector<std::string>{"mine"});
}

TEST_F(WordSetsTest, ShippedListsAreLookedForBesideTheProgramThePrefixAndTheDataDirsAndAMissingOneIsLogged) {
  {
    // Without an override: beside the program first, the data dirs in their
    // order (relative entries ignored), the source tree last.
    const char* old = std::getenv("TESSAVINOR_RESOURCES");
    std::string saved = old ? old : "";
    ::unsetenv("TESSAVINOR_RESOURCES");
    const char* oldXdg = std::getenv("XDG_DATA_DIRS");
    std::string savedXdg = oldXdg ? oldXdg : "";
    ::setenv("XDG_DATA_DIRS", "/opt/a:relative:/opt/b/", 1);
    auto candidates = bundleResourceCandidates();
    if (old) ::setenv("TESSAVINOR_RESOURCES", saved.c_str(), 1);
    if (oldXdg) ::setenv("XDG_DATA_DIRS", savedXdg.c_str(), 1); else ::unsetenv("XDG_DATA_DIRS");
    ASSERT_GE(candidates.size(), 4u);
    EXPECT_EQ(candidates[0].filename(), "data");
    auto a = std::find(candidates.begin(), candidates.end(), fs::path("/opt/a/tessavinor"));
    auto b = std::find(candidates.begin(), candidates.end(), fs::path("/opt/b/tessavinor"));
    EXPECT_TRUE(a != candidates.end() && b != candidates.end() && a < b);
    EXPECT_EQ(candidates.back(), fs::path(TESSAVINOR_SOURCE_DIR) / "data");
  }
  TempHome resourceHome;
  ResourceFolderOverride override((resourceHome.path() / "empty").string());
  engine->commonThaiWords();
  bool logged = false;
  for (const auto& line : engine->diagnosticLogs())
    if (line.find("Word list tessavinor_common_th.txt was not found among the shipped resources") != std::string::npos)
      logged = true;
  EXPECT_TRUE(logged);
}

TEST_F(WordSetsTest, BuiltInTablesHaveTheirSizesAndScriptsTheirProbes) {
  EXPECT_EQ(KeyboardEngine::builtInProgrammingWords().size(), 59u);
  EXPECT_EQ(KeyboardEngine::builtInCommonEnglishWords().size(), 133u);
  EXPECT_TRUE(KeyboardEngine::builtInCommonThaiWords().empty());
  EXPECT_TRUE(KeyboardEngine::builtInProgrammingWords().contains("xcode"));
  EXPECT_TRUE(KeyboardEngine::builtInCommonEnglishWords().contains("ggwp"));
  EXPECT_EQ(KeyboardEngine::packFileName("medical"), "tessavinor_medical.txt");

  const auto& sets = KeyboardEngine::scriptCharacterSets();
  EXPECT_EQ(sets.size(), 14u);
  EXPECT_TRUE(sets.at("ky").contains(U'ф'));
  EXPECT_TRUE(sets.at("ru").contains(0xA640));
  EXPECT_FALSE(sets.at("ru").contains(U'φ'));
  EXPECT_TRUE(sets.at("el").contains(0x1F00));
  EXPECT_TRUE(sets.at("yi").contains(0xFB1D));
  EXPECT_TRUE(sets.at("lo").contains(0x0E82));
  EXPECT_FALSE(sets.at("lo").contains(0x0E01));  // Thai is not Lao
  EXPECT_EQ(sets.count("th"), 0u);
  EXPECT_EQ(KeyboardEngine::spellCheckProbeWords().at("he"), "ש");
  EXPECT_EQ(KeyboardEngine::spellCheckProbeWords().at("mn"), "ф");
}

// --------------------------------------------------------- ignored words

TEST_F(WordSetsTest, IgnoredWordsAreTheBuiltInsAndTheFileBuiltOnce) {
  writeBytes(spelling() / kWhitelistFileName, "MyWord\n");
  auto set = engine->developerWhitelist();
  EXPECT_TRUE(set->contains("myword"));
  EXPECT_TRUE(set->contains("github"));
  // Kept for the life of the process: a later change of the file is not read.
  writeBytes(spelling() / kWhitelistFileName, "other\n");
  EXPECT_EQ(engine->developerWhitelist(), set);
  // Until the vocabulary packs ask for a rebuild.
  engine->rebuildDeveloperWhitelist();
  EXPECT_TRUE(engine->developerWhitelist()->contains("other"));
  EXPECT_FALSE(engine->developerWhitelist()->contains("myword"));
}

TEST_F(WordSetsTest, ASetBuiltWhileTheWordsChangedIsReturnedButNotStored) {
  writeBytes(spelling() / kWhitelistFileName, "before\n");
  // A word added while the set is being built from the old file.
  engine->wordSets.duringUnlockedBuild = [this] {
    engine->wordSets.duringUnlockedBuild = nullptr;
    std::lock_guard lock(engine->wordSets.lock);
    engine->wordSets.developerWhitelistGeneration += 1;
  };
  auto stale = engine->developerWhitelist();
  EXPECT_TRUE(stale->contains("before"));
  {
    std::lock_guard lock(engine->wordSets.lock);
    EXPECT_EQ(engine->wordSets.developerWhitelist, nullptr);
  }
  // A writer that stored a set meanwhile wins over the one being built.
  auto stored = std::make_shared<const WordSet>(WordSet{"stored"});
  engine->wordSets.duringUnlockedBuild = [this, stored] {
    engine->wordSets.duringUnlockedBuild = nullptr;
    engine->storeDeveloperWhitelist(stored);
  };
  {
    std::lock_guard lock(engine->wordSets.lock);
    engine->wordSets.developerWhitelist = nullptr;
  }
  EXPECT_EQ(engine->developerWhitelist(), stored);
  // Without interference the built set is stored.
  engine->rebuildDeveloperWhitelist();
  auto fresh = engine->developerWhitelist();
  EXPECT_EQ(engine->developerWhitelist(), fresh);
}

TEST_F(WordSetsTest, AddingAWordAppendsItsTrimmedLowerCaseFormOnce) {
  writeBytes(spelling() / kWhitelistFileName, "first");  // no final line break
  EXPECT_TRUE(engine->addToWhitelist("  Hello\n"));
  EXPECT_EQ(readBytes(spelling() / kWhitelistFileName), "first\nhello\n");
  EXPECT_TRUE(engine->developerWhitelist()->contains("hello"));
  EXPECT_FALSE(engine->addToWhitelist("HELLO"));
  EXPECT_FALSE(engine->addToWhitelist(" \t\n"));
  EXPECT_FALSE(engine->addToWhitelist("github"));  // a built-in word is present already
  EXPECT_EQ(readBytes(spelling() / kWhitelistFileName), "first\nhello\n");
  // The next launch reads it back.
  EXPECT_TRUE(engine->buildDeveloperWhitelist()->contains("hello"));
}

TEST_F(WordSetsTest, AddingBumpsTheGenerationEvenWithNoSetCached) {
  int64_t before;
  {
    std::lock_guard lock(engine->wordSets.lock);
    before = engine->wordSets.developerWhitelistGeneration;
  }
  EXPECT_TRUE(engine->addToWhitelist("word"));
  std::lock_guard lock(engine->wordSets.lock);
  EXPECT_EQ(engine->wordSets.developerWhitelistGeneration, before + 1);
}

TEST_F(WordSetsTest, AddingCreatesAMissingSpellingFolder) {
  ASSERT_FALSE(fs::exists(spelling()));
  EXPECT_TRUE(engine->addToWhitelist("Neu"));
  EXPECT_EQ(readBytes(spelling() / kWhitelistFileName), "neu\n");
}

TEST_F(WordSetsTest, AFileThatIsNotUtf8IsKeptWholeAndTheWordAppended) {
  const std::string old = "caf\xE9\nna\xEFve";  // Latin-1, no final line break
  writeBytes(spelling() / kWhitelistFileName, old);
  EXPECT_TRUE(engine->addToWhitelist("added"));
  EXPECT_EQ(readBytes(spelling() / kWhitelistFileName), old + "\nadded\n");
}

TEST_F(WordSetsTest, AFailedWriteIsAFailureAndRemembersNothing) {
  // The spelling folder cannot be made: a plain file stands in its way.
  writeBytes(spelling(), "not a folder");
  EXPECT_FALSE(engine->addToWhitelist("lost"));
  EXPECT_FALSE(engine->developerWhitelist()->contains("lost"));
  bool logged = false;
  for (const auto& line : engine->diagnosticLogs())
    if (line.find("addToWhitelist: could not write") != std::string::npos) logged = true;
  EXPECT_TRUE(logged);
}

TEST_F(WordSetsTest, AWhitelistPathThatCannotBeReadOrAppendedIsAFailure) {
  fs::create_directories(spelling() / kWhitelistFileName);  // a folder where the file should be
  EXPECT_FALSE(engine->addToWhitelist("word"));
  EXPECT_TRUE(fs::is_directory(spelling() / kWhitelistFileName));
}

// --------------------------------------------------------- common words

TEST_F(WordSetsTest, CommonListsComeFromTheirFilesAndTheBuiltIns) {
  writeBytes(spelling() / kCommonThaiFileName, "สวัสดี\n");
  writeBytes(dictionaries() / kCommonEnglishFileName, "Keyboard\n");
  EXPECT_TRUE(engine->commonThaiWords()->contains("สวัสดี"));
  EXPECT_EQ(engine->commonThaiWords()->size(), 1u);
  auto english = engine->loadCommonEnglishWords();
  EXPECT_TRUE(english->contains("keyboard"));
  EXPECT_TRUE(english->contains("because"));
  EXPECT_EQ(english->size(), 134u);
  // Never rebuilt: the generations stay at 0.
  std::lock_guard lock(engine->wordSets.lock);
  EXPECT_EQ(engine->wordSets.commonThaiWordsGeneration, 0);
  EXPECT_EQ(engine->wordSets.commonEnglishWordsGeneration, 0);
}

TEST_F(WordSetsTest, WithoutFilesTheCommonListsAreTheBuiltIns) {
  EXPECT_TRUE(engine->commonThaiWords()->empty());
  EXPECT_EQ(engine->loadCommonEnglishWords()->size(), 133u);
}

TEST(ShippedWordLists, AreFoundAsResourcesAndStayCommon) {
  WordEngineFixture f(/*withShippedResources=*/true);
  auto engine = f.startEngine();
  auto thai = engine->commonThaiWords();
  auto english = engine->loadCommonEnglishWords();
  for (const char* w : {"ขอบคุณ", "ครับ", "ไม่", "น้ำ", "วันจันทร์", "คอมพิวเตอร์"}) EXPECT_TRUE(thai->contains(w)) << w;
  for (const char* w : {"house", "because", "don't", "colour", "color", "english"})
    EXPECT_TRUE(english->contains(w)) << w;
  // Common words only: a dictionary-sized list would make wrong-layout text
  // look like words.
  EXPECT_GT(thai->size(), 1000u);
  EXPECT_LT(thai->size(), 5000u);
  EXPECT_GT(english->size(), 2000u);
  EXPECT_LT(english->size(), 10000u);
  EXPECT_FALSE(english->contains("zygote"));
  for (auto w : *thai) {
    // Stored in the written order (tone mark before sara am), as typed
    // words are normalised to.
    EXPECT_EQ(KeyboardEngine::normalizeThaiSaraAm(std::string(w)), w);
  }
  for (auto w : *english) EXPECT_EQ(lowercased(w), w);
}

// ----------------------------------------------------- local dictionaries

TEST_F(WordSetsTest, ThaiEnglishAndLaoLocalSetsStayEmpty) {
  EXPECT_TRUE(engine->localThaiDictionary()->empty());
  EXPECT_FALSE(engine->hasLocalThaiDictionary());
  EXPECT_FALSE(engine->isLocalThaiDictionaryLoaded.get());
  EXPECT_EQ(engine->localDictionary("ru"), nullptr);
  engine->setLocalDictionary("ru", std::make_shared<const WordSet>(WordSet{"мир"}));
  ASSERT_NE(engine->localDictionary("ru"), nullptr);
  EXPECT_TRUE(engine->localDictionary("ru")->contains("мир"));
}

// ------------------------------------------------------------ word checks

TEST_F(WordSetsTest, CanCheckWordsFollowsScriptsLocalDictionariesAndTheSpellChecker) {
  EXPECT_TRUE(engine->canCheckWords("en"));
  EXPECT_TRUE(engine->canCheckWords("th"));
  EXPECT_FALSE(engine->canCheckWords("ja"));  // no script row
  // No dictionary, and a spell checker that does not offer Russian.
  EXPECT_FALSE(engine->canCheckWords("ru"));
  // An empty local set does not count.
  engine->setLocalDictionary("uk", std::make_shared<const WordSet>());
  EXPECT_FALSE(engine->canCheckWords("uk"));
  engine->setLocalDictionary("bg", std::make_shared<const WordSet>(WordSet{"дума"}));
  EXPECT_TRUE(engine->canCheckWords("bg"));
}

// Loading the Thai dictionary is the slowest part of making the engine: its
// probe is asked on the background queue, and the answer lands on the main
// queue.
TEST(WordSetsStart, TheThaiSpellingProbeIsAskedOffTheStartPath) {
  WordEngineFixture f;
  f.spell.languages = {"en_US", "th_TH"};
  f.spell.accepts = [](const std::string&, const std::string& language) { return language != "th"; };
  auto e = f.start();
  EXPECT_EQ(f.spell.checks, 0);
  EXPECT_FALSE(e->isThaiSpellCheckerAvailable.get());
  EXPECT_EQ(e->availableSpellingLanguages.get(), f.spell.languages);
  f.runner.runUntilIdle();
  EXPECT_EQ(f.spell.checks, 1);
  EXPECT_TRUE(e->isThaiSpellCheckerAvailable.get());
}

TEST_F(WordSetsTest, SpellCheckerProbeAsksOncePerLanguageWithSixProbeLetters) {
  spell.checks = 0;
  EXPECT_TRUE(engine->spellCheckerDiscriminates("en"));
  EXPECT_EQ(spell.checks, 0);
  engine->isThaiSpellCheckerAvailable.set(true);
  EXPECT_TRUE(engine->spellCheckerDiscriminates("th"));
  engine->isThaiSpellCheckerAvailable.set(false);
  EXPECT_FALSE(engine->spellCheckerDiscriminates("th"));

  engine->availableSpellingLanguages.set({"en_US", "ru_RU", "el"});
  std::vector<std::string> asked;
  spell.accepts = [&](const std::string& text, const std::string& lang) {
    asked.push_back(text + "@" + lang);
    return lang == "el";  // the Greek checker takes anything
  };
  EXPECT_TRUE(engine->spellCheckerDiscriminates("ru"));
  EXPECT_TRUE(engine->spellCheckerDiscriminates("ru"));  // cached
  EXPECT_FALSE(engine->spellCheckerDiscriminates("el"));
  EXPECT_FALSE(engine->spellCheckerDiscriminates("he"));  // not offered: not asked
  EXPECT_EQ(asked, (std::vector<std::string>{"фффффф@ru", "φφφφφφ@el"}));
  EXPECT_TRUE(engine->canCheckWords("ru"));
  EXPECT_FALSE(engine->canCheckWords("el"));
}

TEST_F(WordSetsTest, OffTheMainThreadTheSpellCheckerIsNotAskedAndNothingIsCached) {
  engine->availableSpellingLanguages.set({"ru"});
  spell.accepts = [](const std::string&, const std::string&) { return false; };
  spell.checks = 0;
  bool accepted = true, discriminates = true;
  std::thread([&] {
    accepted = engine->systemSpellCheckerAccepts("слово", "ru");
    discriminates = engine->spellCheckerDiscriminates("ru");
  }).join();
  EXPECT_FALSE(accepted);
  EXPECT_FALSE(discriminates);
  EXPECT_EQ(spell.checks, 0);
  // On the main thread the probe runs and its answer is kept.
  EXPECT_TRUE(engine->spellCheckerDiscriminates("ru"));
  EXPECT_EQ(spell.checks, 1);
}

TEST_F(WordSetsTest, SystemSpellCheckerAcceptsTextWithNoMisspelledRange) {
  spell.accepts = [](const std::string& text, const std::string&) { return text == "good"; };
  EXPECT_TRUE(engine->systemSpellCheckerAccepts("good", "en"));
  EXPECT_FALSE(engine->systemSpellCheckerAccepts("baad", "en"));
}

TEST(SaraAm, ToneMarkAfterSaraAmMovesBeforeIt) {
  // น + sara am + mai tho  ->  น + mai tho + sara am
  EXPECT_EQ(KeyboardEngine::normalizeThaiSaraAm("น\u0E33\u0E49"), "น\u0E49\u0E33");
  EXPECT_EQ(KeyboardEngine::normalizeThaiSaraAm("น้ำ"), "น้ำ");
  EXPECT_EQ(KeyboardEngine::normalizeThaiSaraAm("กา"), "กา");
  EXPECT_EQ(KeyboardEngine::normalizeThaiSaraAm("ทำ"), "ทำ");
  // Every tone mark, every occurrence; a trailing sara am stays.
  EXPECT_EQ(KeyboardEngine::normalizeThaiSaraAm("ก\u0E33\u0E48ข\u0E33\u0E4Bค\u0E33"), "ก\u0E48\u0E33ข\u0E4B\u0E33ค\u0E33");
  // Other marks after sara am are left alone.
  EXPECT_EQ(KeyboardEngine::normalizeThaiSaraAm("ก\u0E33\u0E4C"), "ก\u0E33\u0E4C");
  EXPECT_EQ(KeyboardEngine::normalizeThaiSaraAm(""), "");
}

// ---------------------------------------------------------- rejections

class RejectionTest : public WordSetsTest {
 protected:
  void SetUp() override {
    WordSetsTest::SetUp();
    panel = UnifiedMenuPanel::create(hudEnvironmentFor(*engine));
    engine->hud.panel = panel.get();
  }
  void TearDown() override { engine->hud.panel = nullptr; }
  void undo(const std::string& word) {
    engine->flow.pendingRejection = word;
    engine->commitPendingRejection();
    runner.runUntilIdle();
  }
  std::shared_ptr<UnifiedMenuPanel> panel;
};

TEST_F(RejectionTest, TheSecondUndoOfAWordRemembersItWithAGreenNotice) {
  undo("Hello");
  EXPECT_FALSE(engine->developerWhitelist()->contains("hello"));
  EXPECT_TRUE(panel->shownNotices().empty());
  EXPECT_FALSE(engine->flow.pendingRejection.has_value());

  undo("hello");  // counted by its lower-case form
  EXPECT_TRUE(engine->developerWhitelist()->contains("hello"));
  ASSERT_EQ(panel->shownNotices().size(), 1u);
  const auto& notice = panel->shownNotices().front();
  EXPECT_EQ(notice.priority, 3);
  EXPECT_EQ(notice.anchor, HudAnchor::caret);
  const auto* status = panel->state().displayState.get().as<DisplayState::Status>();
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->message, "จำคำ «hello» แล้ว");
  EXPECT_EQ(status->subMessage, "จะไม่แปลงคำนี้อีก (ลบได้ที่ ⓧ ในคลังคำศัพท์)");
  EXPECT_EQ(status->icon, "book.fill");
  EXPECT_EQ(status->messageColor, HudColor::green);

  undo("Hello");  // already remembered: nothing more
  EXPECT_EQ(panel->shownNotices().size(), 1u);
  EXPECT_EQ(engine->flow.undoCountsForWord["hello"], 3);
}

TEST_F(RejectionTest, NothingPendingDoesNothing) {
  engine->commitPendingRejection();
  EXPECT_TRUE(engine->flow.undoCountsForWord.empty());
}

TEST_F(RejectionTest, AWordThatCannotBeWrittenIsNotAnnouncedAsRemembered) {
  writeBytes(spelling(), "not a folder");
  undo("word");
  undo("word");
  EXPECT_TRUE(panel->shownNotices().empty());
}

TEST_F(RejectionTest, ClosingTheUndoWindowCommitsAndEmptiesTheStacks) {
  engine->conversion.recordConversion({});
  engine->conversion.recordConversion({});
  engine->conversion.recordUndone(true, {});
  engine->flow.undoCountsForWord["word"] = 1;
  engine->flow.pendingRejection = "word";

  engine->setIsUndoPossible(false);  // false -> false: nothing
  EXPECT_TRUE(engine->flow.pendingRejection.has_value());
  engine->setIsUndoPossible(true);  // false -> true: nothing
  EXPECT_EQ(engine->conversion.undoStack().size(), 1u);

  engine->setIsUndoPossible(false);
  runner.runUntilIdle();
  EXPECT_FALSE(engine->conversion.isUndoPossible());
  EXPECT_FALSE(engine->flow.pendingRejection.has_value());
  EXPECT_TRUE(engine->developerWhitelist()->contains("word"));
  EXPECT_TRUE(engine->conversion.undoStack().empty());
  EXPECT_TRUE(engine->conversion.redoStack().empty());
  EXPECT_EQ(panel->shownNotices().size(), 1u);
}

TEST_F(WordSetsTest, WithoutAPanelTheWordIsStillRemembered) {
  engine->flow.undoCountsForWord["solo"] = 1;
  engine->flow.pendingRejection = "solo";
  engine->commitPendingRejection();
  EXPECT_TRUE(engine->developerWhitelist()->contains("solo"));
}

}  // namespace
}  // namespace tessa::test
