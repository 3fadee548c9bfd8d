#include <gtest/gtest.h>

#include "base/crypto.h"
#include "dictionaries/dictionary_integrity.h"
#include "engine/word_test_support.h"
#include "platform/keychain_query.h"

namespace tessa::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* kService = DictionaryIntegrity::kService;

const std::string kRussianAff = "SET UTF-8\nSFX A Y 1\nSFX A 0 ы .\n";
const std::string kRussianDic = "2\nмир/A\nДом/A\n";

std::string hashOf(const std::string& bytes) { return DictionaryIntegrity::sha256Hex(crypto::sha256(bytes)); }

class LocalDictionariesTest : public ::testing::Test, public WordEngineFixture {
 protected:
  void SetUp() override {
    {
      std::lock_guard lock(DictionaryIntegrity::lock());
      DictionaryIntegrity::memoryHashes().clear();
    }
    engine = startEngine();
  }
  // Switches to `language` and lets the background load and its publication
  // run.
  void switchTo(const std::string& language) {
    engine->loadLocalWordlists(language);
    runner.runUntilIdle();
  }
  bool logged(const std::string& text) const { return systemLog.contains(text); }
  int countLogged(const std::string& text) const {
    int n = 0;
    for (const auto& l : systemLog.lines)
      if (l.message.find(text) != std::string::npos) ++n;
    return n;
  }
  std::vector<std::string> words(const std::string& language) {
    std::vector<std::string> out;
    if (auto set = engine->localDictionary(language))
      for (auto w : *set) out.emplace_back(w);
    std::sort(out.begin(), out.end());
    return out;
  }
  std::string storedHash(const std::string& account) {
    auto item = keychain.item(kService, account);
    return item ? std::string(item->begin(), item->end()) : std::string();
  }
};

TEST_F(LocalDictionariesTest, ADictionaryInTheSpellingFolderIsReadInPlaceHashedExpandedAndPublishedOnce) {
  writeBytes(spellingFolder() / "ru_RU.dic", kRussianDic);
  writeBytes(spellingFolder() / "ru_RU.aff", kRussianAff);

  engine->loadLocalWordlists("ru");
  // The file work waits for the background queue; nothing is published yet.
  EXPECT_EQ(engine->localDictionary("ru"), nullptr);
  EXPECT_FALSE(logged("Found local wordlist"));
  runner.runUntilIdle();

  EXPECT_TRUE(logged("Found local wordlist ru_RU.dic for 'ru', loading"));
  EXPECT_TRUE(logged("Affix-expanded ru_RU: 4 forms from .aff+.dic"));
  EXPECT_TRUE(logged("Loaded local dictionary for ru with 4 words from ru_RU.dic"));
  EXPECT_EQ(words("ru"), (std::vector<std::string>{"дом", "домы", "мир", "миры"}));
  EXPECT_TRUE(engine->isLocalOtherDictionaryLoaded.get());
  EXPECT_EQ(engine->localOtherDictionaryWordCount.get(), 4);
  EXPECT_TRUE(engine->canCheckWords("ru"));

  // The user's spelling folder is left exactly as it was.
  EXPECT_EQ(readBytes(spellingFolder() / "ru_RU.dic"), kRussianDic);
  EXPECT_EQ(readBytes(spellingFolder() / "ru_RU.aff"), kRussianAff);
  EXPECT_FALSE(fs::exists(dictionariesFolder() / "ru_RU.dic"));

  // Trusted on first use: the word list's hash is recorded, without any
  // authentication prompt and readable after the first unlock.
  EXPECT_EQ(storedHash("ru_RU.dic"), hashOf(kRussianDic));
  auto query = keychain.lastQuery();
  EXPECT_EQ(query[keychain::kUseAuthenticationUI], keychain::kUseAuthenticationUIFail);
  EXPECT_EQ(query[keychain::kAttrAccessible], keychain::kAccessibleAfterFirstUnlock);

  // Switching to Russian again does nothing.
  const size_t pending = runner.pendingCount();
  engine->loadLocalWordlists("ru");
  EXPECT_EQ(runner.pendingCount(), pending);
  runner.runUntilIdle();
  EXPECT_EQ(countLogged("Found local wordlist"), 1);
}

TEST_F(LocalDictionariesTest, AWordListNamedAfterTheLanguageCodeIsFoundToo) {
  writeBytes(spellingFolder() / "ru.dic", "1\nслово\n");
  switchTo("ru");
  EXPECT_TRUE(logged("Found local wordlist ru.dic for 'ru', loading"));
  EXPECT_EQ(words("ru"), std::vector<std::string>{"слово"});
  // A language of the script table without a row of its own.
  writeBytes(dictionariesFolder() / "ky.dic", "сөз\n");
  switchTo("ky");
  EXPECT_EQ(words("ky"), std::vector<std::string>{"сөз"});
}

TEST_F(LocalDictionariesTest, TheDictionariesFolderComesBeforeTheSpellingFolder) {
  writeBytes(spellingFolder() / "el_GR.dic", "1\nάλφα\n");
  writeBytes(dictionariesFolder() / "el_GR.dic", "1\nβήτα\n");
  switchTo("el");
  EXPECT_EQ(words("el"), std::vector<std::string>{"βήτα"});
}

TEST_F(LocalDictionariesTest, AWordListChangedAfterItWasFirstSeenIsRefusedAtTheNextLaunch) {
  writeBytes(spellingFolder() / "ru_RU.dic", kRussianDic);
  switchTo("ru");
  ASSERT_FALSE(words("ru").empty());

  writeBytes(spellingFolder() / "ru_RU.dic", kRussianDic + "чужое\n");
  engine.reset();
  engine = startEngine();  // the next launch, same keychain
  switchTo("ru");
  EXPECT_TRUE(logged("Wordlist at " + (spellingFolder() / "ru_RU.dic").string() +
                     " does not match what was installed - refusing to load it. Download it again."));
  // An empty set is published, so the language stays without a dictionary.
  ASSERT_NE(engine->localDictionary("ru"), nullptr);
  EXPECT_TRUE(engine->localDictionary("ru")->empty());
  EXPECT_FALSE(engine->isLocalOtherDictionaryLoaded.get());
  EXPECT_EQ(engine->localOtherDictionaryWordCount.get(), 0);
  EXPECT_EQ(storedHash("ru_RU.dic"), hashOf(kRussianDic));  // the first-seen hash stays
  // Only the spell checker can now judge Russian.
  engine->availableSpellingLanguages.set({"ru_RU"});
  spell.accepts = [](const std::string&, const std::string&) { return false; };
  spell.checks = 0;
  EXPECT_TRUE(engine->canCheckWords("ru"));
  EXPECT_EQ(spell.checks, 1);
}

TEST_F(LocalDictionariesTest, AKeychainThatCannotAnswerRefusesTheLoadForThisRunAndStoresNothing) {
  writeBytes(spellingFolder() / "ru_RU.dic", kRussianDic);
  keychain.forceStatus(kService, "ru_RU.dic", KeychainStatus::interactionNotAllowed);
  switchTo("ru");
  EXPECT_TRUE(logged("could not be checked because the keychain did not answer"));
  EXPECT_EQ(engine->localDictionary("ru"), nullptr);
  EXPECT_EQ(keychain.itemCount(), 0u);
  EXPECT_FALSE(logged("Loaded local dictionary"));

  // The next switch tries again.
  keychain.clearForcedStatus(kService, "ru_RU.dic");
  switchTo("ru");
  EXPECT_EQ(words("ru").size(), 2u);
  EXPECT_EQ(storedHash("ru_RU.dic"), hashOf(kRussianDic));
}

TEST_F(LocalDictionariesTest, AKeychainErrorNeverReTrustsAChangedFile) {
  writeBytes(spellingFolder() / "ru_RU.dic", kRussianDic);
  switchTo("ru");
  engine.reset();
  engine = startEngine();
  writeBytes(spellingFolder() / "ru_RU.dic", "1\nподмена\n");
  keychain.forceStatus(kService, "ru_RU.dic", KeychainStatus::otherError);
  switchTo("ru");
  EXPECT_EQ(engine->localDictionary("ru"), nullptr);
  keychain.clearForcedStatus(kService, "ru_RU.dic");
  EXPECT_EQ(storedHash("ru_RU.dic"), hashOf(kRussianDic));
  switchTo("ru");
  EXPECT_TRUE(engine->localDictionary("ru")->empty());  // refused as a mismatch
}

TEST_F(LocalDictionariesTest, WithoutABundleIdentifierHashesStayInMemory) {
  platform.hasBundleIdentifier = false;
  engine.reset();
  engine = startEngine();
  writeBytes(spellingFolder() / "he_IL.dic", "1\nשלום\n");
  switchTo("he");
  EXPECT_EQ(words("he"), std::vector<std::string>{"שלום"});
  EXPECT_EQ(keychain.itemCount(), 0u);
  EXPECT_TRUE(keychain.lastQuery().empty());
  {
    std::lock_guard lock(DictionaryIntegrity::lock());
    EXPECT_EQ(DictionaryIntegrity::memoryHashes()["he_IL.dic"], hashOf("1\nשלום\n"));
  }
  // The memory store guards the file as the keychain would, for this process.
  writeBytes(spellingFolder() / "he_IL.dic", "1\nאחר\n");
  EXPECT_EQ(DictionaryIntegrity::verify(engine->platform(), spellingFolder() / "he_IL.dic", false),
            DictionaryIntegrity::Verdict::mismatch);
}

TEST_F(LocalDictionariesTest, EnglishThaiLaoAndLanguagesWithoutAScriptLoadNothing) {
  for (const char* lang : {"en", "th", "lo", "ja", "de"}) {
    writeBytes(spellingFolder() / (std::string(lang) + ".dic"), "1\nword\n");
    const size_t pending = runner.pendingCount();
    engine->loadLocalWordlists(lang);
    EXPECT_EQ(runner.pendingCount(), pending) << lang;
    runner.runUntilIdle();
    EXPECT_EQ(engine->localDictionary(lang), nullptr) << lang;
  }
  writeBytes(spellingFolder() / "th_TH.dic", "1\nคำ\n");
  writeBytes(spellingFolder() / "lo_LA.dic", "1\nຄຳ\n");
  switchTo("th");
  switchTo("lo");
  EXPECT_FALSE(logged("wordlist"));
  EXPECT_FALSE(logged("dictionary"));
}

TEST_F(LocalDictionariesTest, NothingFoundLogsNothingAndTheNextSwitchLooksAgain) {
  switchTo("uk");
  EXPECT_EQ(engine->localDictionary("uk"), nullptr);
  EXPECT_FALSE(logged("uk"));
  writeBytes(dictionariesFolder() / "uk_UA.dic", "1\nслово\n");
  switchTo("uk");
  EXPECT_EQ(words("uk"), std::vector<std::string>{"слово"});
}

TEST_F(LocalDictionariesTest, ASecondSwitchWhileLoadingDoesNotStartASecondLoad) {
  writeBytes(spellingFolder() / "bg_BG.dic", "1\nдума\n");
  engine->loadLocalWordlists("bg");
  engine->loadLocalWordlists("bg");
  runner.runUntilIdle();
  EXPECT_EQ(countLogged("Found local wordlist bg_BG.dic"), 1);
  EXPECT_EQ(words("bg"), std::vector<std::string>{"дума"});
}

TEST_F(LocalDictionariesTest, AnEngineGoneBeforeTheBackgroundRunsLoadsNothing) {
  writeBytes(spellingFolder() / "bg_BG.dic", "1\nдума\n");
  engine->loadLocalWordlists("bg");
  engine.reset();
  runner.runUntilIdle();
  EXPECT_FALSE(logged("Found local wordlist"));
  EXPECT_EQ(keychain.itemCount(), 0u);
}

TEST_F(LocalDictionariesTest, StemsAreTheTextBeforeFlagsAndWhiteSpaceLowerCased) {
  writeBytes(dictionariesFolder() / "mk_MK.dic", "3\nЗбор/AB po:noun\n\n  Куќа\tst:куќа\nград/\n/XY\n");
  auto set = engine->loadHunspellDictionary("mk_MK");
  ASSERT_TRUE(set.has_value());
  std::vector<std::string> got(set->begin(), set->end());
  EXPECT_EQ(got, (std::vector<std::string>{"збор", "куќа", "град"}));

  // A first line of letters is a word; signed numbers are counts.
  writeBytes(dictionariesFolder() / "sr.dic", "Реч\nдруга\n");
  writeBytes(dictionariesFolder() / "tg_TG.dic", "+2\nкалима\n");
  writeBytes(dictionariesFolder() / "kk_KZ.dic", "99999999999999999999\nсөз\n");
  EXPECT_EQ(engine->loadHunspellDictionary("sr")->size(), 2u);
  EXPECT_EQ(engine->loadHunspellDictionary("tg_TG")->size(), 1u);
  // Too large for a count: a word line.
  EXPECT_EQ(engine->loadHunspellDictionary("kk_KZ")->size(), 2u);
  // A count with a comment after it is still the count.
  writeBytes(dictionariesFolder() / "hy_AM.dic", "2 # Armenian words\nբառ\nտուն\n");
  auto counted = engine->loadHunspellDictionary("hy_AM");
  ASSERT_TRUE(counted.has_value());
  EXPECT_EQ(std::vector<std::string>(counted->begin(), counted->end()), (std::vector<std::string>{"բառ", "տուն"}));
  EXPECT_TRUE(engine->loadHunspellDictionary("absent")->empty());
}

TEST_F(LocalDictionariesTest, StemsOnlyListsEndLinesAsTheAffixReaderDoes) {
  // One list per line end: a list changed after it was first seen is refused.
  for (const std::string lineEnd : {"\r", "\r\n", "\n"}) {
    SCOPED_TRACE(testing::PrintToString(lineEnd));
    const std::string name = "el_" + std::to_string(lineEnd.size()) + std::to_string(lineEnd.back());
    writeBytes(dictionariesFolder() / (name + ".dic"), "2" + lineEnd + "Λέξη" + lineEnd + "σπίτι/A" + lineEnd);
    auto set = engine->loadHunspellDictionary(name);
    ASSERT_TRUE(set.has_value());
    std::vector<std::string> got(set->begin(), set->end());
    EXPECT_EQ(got, (std::vector<std::string>{"λέξη", "σπίτι"}));
  }
}

TEST_F(LocalDictionariesTest, AnAffixFileTheExpanderRefusesFallsBackToStems) {
  writeBytes(dictionariesFolder() / "mn_MN.dic", "2\nүг/AaBb\nном/Cc\n");
  writeBytes(dictionariesFolder() / "mn_MN.aff", "SET UTF-8\nFLAG long\nSFX Aa Y 1\nSFX Aa 0 ууд .\n");
  auto set = engine->loadHunspellDictionary("mn_MN");
  ASSERT_TRUE(set.has_value());
  EXPECT_EQ(set->size(), 2u);
  EXPECT_TRUE(set->contains("үг"));
  EXPECT_TRUE(logged("Affix expansion returned empty for mn_MN, falling back to stem-only"));
}

TEST_F(LocalDictionariesTest, AWordListThatIsNotUtf8IsDecodedByItsAffixFileOrAsLatin1) {
  // "мир" in KOI8-R.
  const std::string koi8 = "1\n\xCD\xC9\xD2\n";
  writeBytes(dictionariesFolder() / "ru_RU.dic", koi8);
  writeBytes(dictionariesFolder() / "ru_RU.aff", "# Russian\n\nSET KOI8-R\n");
  EXPECT_EQ(KeyboardEngine::readHunspellDictionaryText(dictionariesFolder() / "ru_RU.dic"), "1\nмир\n");
  // Blanks after SET are not part of the name.
  writeBytes(dictionariesFolder() / "ru_RU.aff", "SET  KOI8-R\r\n");
  EXPECT_EQ(KeyboardEngine::readHunspellDictionaryText(dictionariesFolder() / "ru_RU.dic"), "1\nмир\n");
  writeBytes(dictionariesFolder() / "ru_RU.aff", "TRY abc\n");
  EXPECT_EQ(KeyboardEngine::readHunspellDictionaryText(dictionariesFolder() / "ru_RU.dic"), "1\nÍÉÒ\n");
  fs::remove(dictionariesFolder() / "ru_RU.aff");
  EXPECT_EQ(KeyboardEngine::readHunspellDictionaryText(dictionariesFolder() / "ru_RU.dic"), "1\nÍÉÒ\n");
  // A byte-order mark is not part of the count line.
  writeBytes(dictionariesFolder() / "ru_RU.dic", "\xEF\xBB\xBF" "1\nмир\n");
  EXPECT_EQ(KeyboardEngine::readHunspellDictionaryText(dictionariesFolder() / "ru_RU.dic"), "1\nмир\n");
  EXPECT_FALSE(KeyboardEngine::readHunspellDictionaryText(dictionariesFolder() / "none.dic").has_value());
}

// ------------------------------------------------------ integrity store

TEST(DictionaryIntegrityTest, HashTextIsLowerCaseHexOfSha256) {
  EXPECT_EQ(DictionaryIntegrity::sha256Hex(crypto::sha256(std::string("abc"))),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  auto q = DictionaryIntegrity::baseQuery("x.dic");
  EXPECT_EQ(q[keychain::kClass], keychain::kClassGenericPassword);
  EXPECT_EQ(q[keychain::kAttrService], "Ovrelan.Tessavinor.dictionaryHash");
  EXPECT_EQ(q[keychain::kAttrAccount], "x.dic");
}

class IntegrityTest : public ::testing::Test {
 protected:
  IntegrityTest() {
    platform.keychain = &keychain;
    file = home.path() / "pack" / "tessavinor_medical.txt";
    writeBytes(file, "one\n");
  }
  TempHome home;
  MemoryKeychain keychain;
  Platform platform;
  fs::path file;
};

TEST_F(IntegrityTest, TrustOnFirstUseThenMatchOrMismatch) {
  using V = DictionaryIntegrity::Verdict;
  EXPECT_EQ(DictionaryIntegrity::verify(platform, file, /*requireStoredHash=*/true), V::missingHash);
  EXPECT_EQ(keychain.itemCount(), 0u);
  EXPECT_EQ(DictionaryIntegrity::verify(platform, file, false), V::trusted);
  EXPECT_EQ(DictionaryIntegrity::verify(platform, file, true), V::trusted);
  // A file of the same name elsewhere shares the item.
  writeBytes(home.path() / "other" / "tessavinor_medical.txt", "two\n");
  EXPECT_EQ(DictionaryIntegrity::verify(platform, home.path() / "other" / "tessavinor_medical.txt", false),
            V::mismatch);
  EXPECT_EQ(DictionaryIntegrity::verify(platform, home.path() / "missing.dic", false), V::unreadable);
}

TEST_F(IntegrityTest, StoringAHashReplacesTheRecordedOne) {
  EXPECT_TRUE(DictionaryIntegrity::storeHash(platform, file));
  writeBytes(file, "re-downloaded\n");
  EXPECT_EQ(DictionaryIntegrity::verify(platform, file, true), DictionaryIntegrity::Verdict::mismatch);
  EXPECT_TRUE(DictionaryIntegrity::storeHash(platform, file));
  EXPECT_EQ(DictionaryIntegrity::verify(platform, file, true), DictionaryIntegrity::Verdict::trusted);
  EXPECT_EQ(keychain.itemCount(), 1u);
  EXPECT_FALSE(DictionaryIntegrity::storeHash(platform, home.path() / "missing"));
}

TEST_F(IntegrityTest, AFailedUpdateIsNotFollowedByAnAdd) {
  keychain.forceStatus(kService, "tessavinor_medical.txt", KeychainStatus::interactionNotAllowed);
  EXPECT_EQ(DictionaryIntegrity::saveHash(platform, "abc", "tessavinor_medical.txt"),
            KeychainStatus::interactionNotAllowed);
  keychain.clearForcedStatus(kService, "tessavinor_medical.txt");
  EXPECT_EQ(keychain.itemCount(), 0u);
}

TEST_F(IntegrityTest, StoredDataThatIsNotTextNeverMatchesAndIsNeverFirstUse) {
  keychain.add(kService, "tessavinor_medical.txt", {0xFF, 0xFE});
  EXPECT_EQ(DictionaryIntegrity::verify(platform, file, false), DictionaryIntegrity::Verdict::mismatch);
  EXPECT_EQ(keychain.item(kService, "tessavinor_medical.txt"), (std::vector<uint8_t>{0xFF, 0xFE}));
}

TEST_F(IntegrityTest, NoKeychainIsAKeychainThatCannotAnswer) {
  platform.keychain = nullptr;
  EXPECT_EQ(DictionaryIntegrity::verify(platform, file, false),
            DictionaryIntegrity::Verdict::keychainUnavailable);
}

}  // namespace
}  // namespace tessa::test
