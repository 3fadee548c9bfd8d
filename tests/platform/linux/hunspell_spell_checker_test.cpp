#include <gtest/gtest.h>

#include "platform/linux/hunspell_spell_checker.h"
#include "support/file_bytes.h"
#include "support/temp_home.h"

namespace tessa::test {
namespace {

namespace fs = std::filesystem;

class HunspellSpellCheckerTest : public ::testing::Test {
 protected:
  HunspellSpellCheckerTest() {
    dir = home.path() / "hunspell";
    writeBytes(dir / "tt_TT.aff", "SET UTF-8\nSFX S Y 1\nSFX S 0 s .\n");
    writeBytes(dir / "tt_TT.dic", "3\nhello\nworld/S\ncafé\n");
    // A dictionary in ISO 8859-1.
    writeBytes(dir / "ll_LL.aff", "SET ISO8859-1\n");
    writeBytes(dir / "ll_LL.dic", "1\nna\xEFve\n");
    writeBytes(dir / "th_XX.aff", "SET UTF-8\n");
    writeBytes(dir / "th_XX.dic", "3\nขอบ\nคุณ\nขอบคุณ\n");
    writeBytes(dir / "orphan.dic", "1\nalone\n");  // no affix file: not a dictionary
  }
  TempHome home;
  fs::path dir;
};

TEST_F(HunspellSpellCheckerTest, ItsLanguagesAreTheDictionariesFound) {
  HunspellSpellChecker checker({dir, home.path() / "absent"});
  EXPECT_EQ(checker.availableLanguages(), (std::vector<std::string>{"ll_LL", "th_XX", "tt_TT"}));
  EXPECT_EQ(checker.dictionaryNameFor("tt"), "tt_TT");
  EXPECT_EQ(checker.dictionaryNameFor("tt-TT"), "tt_TT");
  EXPECT_EQ(checker.dictionaryNameFor("TT_tt"), "tt_TT");
  EXPECT_FALSE(checker.dictionaryNameFor("de").has_value());
}

TEST_F(HunspellSpellCheckerTest, ReportsTheFirstMisspelledWordInUtf16Units) {
  HunspellSpellChecker checker({dir});
  auto ok = checker.checkSpelling("Hello, worlds!", 0, "tt");
  EXPECT_EQ(ok.location, -1);
  EXPECT_EQ(ok.length, 0);
  auto bad = checker.checkSpelling("café wrold hello", 0, "tt_TT");
  EXPECT_EQ(bad.location, 5);
  EXPECT_EQ(bad.length, 5);
  // From a later offset, earlier words are not looked at.
  EXPECT_EQ(checker.checkSpelling("wrold hello", 6, "tt").location, -1);
  // Numbers and punctuation are not words.
  EXPECT_EQ(checker.checkSpelling("42 -- hello", 0, "tt").location, -1);
  EXPECT_TRUE(checker.isCorrect("worlds", "tt"));
  EXPECT_FALSE(checker.isCorrect("worldss", "tt"));
}

TEST_F(HunspellSpellCheckerTest, ConvertsWordsToTheDictionarysCharacterSet) {
  HunspellSpellChecker checker({dir});
  EXPECT_TRUE(checker.isCorrect("naïve", "ll"));
  EXPECT_EQ(checker.checkSpelling("naïve", 0, "ll").location, -1);
  // A character the dictionary's character set cannot hold is misspelled.
  EXPECT_FALSE(checker.isCorrect("naïveж", "ll"));
}

TEST_F(HunspellSpellCheckerTest, ThaiTextWithoutSpacesIsSplitIntoWords) {
  HunspellSpellChecker checker({dir});
  EXPECT_EQ(checker.checkSpelling("ขอบคุณ", 0, "th").location, -1);
  auto bad = checker.checkSpelling("ขอบคุน", 0, "th");
  EXPECT_GE(bad.location, 0);
  EXPECT_GT(bad.length, 0);
}

TEST_F(HunspellSpellCheckerTest, ALanguageWithoutADictionaryFindsNothingWrong) {
  HunspellSpellChecker checker({dir});
  EXPECT_EQ(checker.checkSpelling("xyzzy", 0, "de").location, -1);
  EXPECT_FALSE(checker.isCorrect("xyzzy", "de"));
}

}  // namespace
}  // namespace tessa::test
