#include "dictionaries/hunspell_expander.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "support/temp_home.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Forms = std::set<std::string>;

Forms sorted(const WordFormSet& forms) {
  Forms out;
  for (const auto form : forms) out.emplace(form);
  return out;
}

// The Thai block maps one to one onto TIS-620 (U+0E01 -> 0xA1 and so on).
std::string toTis620(std::string_view utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    if (b < 0x80) {
      out.push_back(static_cast<char>(b));
      ++i;
      continue;
    }
    const char32_t cp = ((b & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
    out.push_back(static_cast<char>(cp - 0x0E01 + 0xA1));
    i += 3;
  }
  return out;
}

std::string withLineEnds(std::string text, const std::string& lineEnd) {
  std::string out;
  for (const char c : text) {
    if (c == '\n')
      out += lineEnd;
    else
      out.push_back(c);
  }
  return out;
}

const char* const kToyAff = R"(SET UTF-8
# toy affix file
NEEDAFFIX X

PFX A Y 1
PFX A 0 re .

PFX U N 1
PFX U 0 un .

SFX B Y 2
SFX B 0 ing [^e]
SFX B e ing e

SFX S Y 4
SFX S y ies [^aeiou]y
SFX S 0 s [aeiou]y
SFX S 0 es [sxzh] is:plural
SFX S 0 s [^sxzhy]

SFX D N 1
SFX D 0 ed/Z .
)";

const char* const kToyDic = R"(9
walk/SB
fly/S
boy/S
do/AB
lock/UD
make/B
Paris/S
foo/XS
bar/X
#note
run/B po:verb
)";

const Forms kToyForms = {"#note", "boy",  "boys",  "do",      "doing",   "flies",  "fly",     "foos",
                         "lock",  "locked", "make", "making", "paris",   "parises", "redo",   "redoing",
                         "run",   "runing", "unlock", "walk",  "walking", "walks"};

class HunspellExpanderTest : public ::testing::Test {
 protected:
  fs::path write(const std::string& name, const std::string& bytes) {
    const fs::path path = home_.path() / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  // Expands an .aff/.dic pair given as text and returns the sorted forms;
  // log lines are collected in `logs`.
  HunspellExpander::Result run(const std::string& aff, const std::string& dic,
                               size_t maxForms = HunspellExpander::kMaxForms) {
    return HunspellExpander::expand(write("t.dic", dic), write("t.aff", aff),
                                    [this](const std::string& line) { logs.push_back(line); }, maxForms);
  }
  Forms expand(const std::string& aff, const std::string& dic) {
    const auto result = run(aff, dic);
    EXPECT_TRUE(result.ok()) << result.error.value_or("");
    return sorted(result.forms);
  }

  test::TempHome home_;
  std::vector<std::string> logs;
};

// --- The expansion itself ----------------------------------------------------

TEST_F(HunspellExpanderTest, ToyDictionaryGivesExactlyItsForms) {
  const Forms forms = expand(kToyAff, kToyDic);
  EXPECT_EQ(forms, kToyForms);
  // NEEDAFFIX stems, the N cross product, conditions that exclude, and case.
  for (const char* absent : {"foo", "bar", "unlocked", "boies", "makeing", "Paris", "locked/z"})
    EXPECT_EQ(forms.count(absent), 0u) << absent;
  EXPECT_TRUE(logs.empty());
}

TEST_F(HunspellExpanderTest, LineEndsAndByteOrderMarkDoNotChangeTheForms) {
  for (const std::string lineEnd : {"\r\n", "\r"}) {
    EXPECT_EQ(expand(withLineEnds(kToyAff, lineEnd), withLineEnds(kToyDic, lineEnd)), kToyForms)
        << "line end " << (lineEnd.size() == 2 ? "CRLF" : "CR");
  }
  const std::string bom = "\xEF\xBB\xBF";
  EXPECT_EQ(expand(bom + withLineEnds(kToyAff, "\r\n"), bom + withLineEnds(kToyDic, "\r\n")), kToyForms);
  // Without the fix the count line would become a word and the first
  // directive would be lost.
  EXPECT_EQ(expand(bom + "NEEDAFFIX X\nSFX S Y 1\nSFX S 0 s .\n", bom + "2\nfoo/XS\nbar\n"),
            (Forms{"foos", "bar"}));
}

TEST_F(HunspellExpanderTest, SuffixStripAndConditionFollowTheWord) {
  const std::string aff = "SFX S Y 2\nSFX S y ies [^aeiou]y\nSFX S 0 s [aeiou]y\n";
  EXPECT_EQ(expand(aff, "2\nfly/S\nboy/S\n"), (Forms{"fly", "flies", "boy", "boys"}));
  EXPECT_EQ(expand("SFX S Y 1\nSFX S 0 s .\n", "2\nwalk/S\nrun\n"), (Forms{"walk", "walks", "run"}));
  // Rules match the word as written; only the set is lower-cased.
  EXPECT_EQ(expand("SFX S Y 1\nSFX S 0 s [^S]\n", "1\nParis/S\nBOSS/S\n"),
            (Forms{"paris", "pariss", "boss"}));
}

TEST_F(HunspellExpanderTest, PrefixesCombineWithSuffixesOnlyWhenBothHeadersSayYes) {
  auto aff = [](char prefixMark, char suffixMark) {
    return std::string("PFX A ") + prefixMark + " 1\nPFX A 0 re .\nSFX B " + suffixMark + " 1\nSFX B 0 ing .\n";
  };
  EXPECT_EQ(expand(aff('Y', 'Y'), "do/AB\n"), (Forms{"do", "redo", "doing", "redoing"}));
  EXPECT_EQ(expand(aff('N', 'Y'), "do/AB\n"), (Forms{"do", "redo", "doing"}));
  EXPECT_EQ(expand(aff('Y', 'N'), "do/AB\n"), (Forms{"do", "redo", "doing"}));
  // The prefix's strip and condition.
  EXPECT_EQ(expand("PFX P Y 1\nPFX P a o a\n", "ago/P\nbgo/P\n"), (Forms{"ago", "ogo", "bgo"}));
  // The suffix's condition is tested on the prefixed form, which here is
  // long enough when the word alone is not.
  EXPECT_EQ(expand("PFX P Y 1\nPFX P 0 x .\nSFX T Y 1\nSFX T 0 t [^o]o\n", "o/PT\n"),
            (Forms{"o", "xo", "xot"}));
}

TEST_F(HunspellExpanderTest, CrossProductMarkIsSharedByPrefixAndSuffixHeaders) {
  const ParsedAffix parsed =
      HunspellExpander::parseAffix("PFX A Y 1\nPFX A 0 re .\nSFX A N 1\nSFX A 0 s .\nSFX Z 0 q .\n");
  ASSERT_EQ(parsed.prefixes.at("A").size(), 1u);
  EXPECT_TRUE(parsed.prefixes.at("A")[0].crossProduct);
  EXPECT_FALSE(parsed.suffixes.at("A")[0].crossProduct);
  // A rule before any header of its flag has no cross product.
  EXPECT_FALSE(parsed.suffixes.at("Z")[0].crossProduct);
  EXPECT_EQ(parsed.suffixes.at("Z")[0], (AffixRule{true, false, "", "q", ""}));
}

TEST_F(HunspellExpanderTest, EveryRuleOfALargeGroupIsTried) {
  // Rules whose word edge is fixed by the strip, a literal, a class, a
  // negated class, nothing, or a class with a member of several code points.
  const std::string aff =
      "SFX A Y 6\n"
      "SFX A y ies [^aeiou]y\nSFX A 0 s [aeiou]y\nSFX A 0 es [sxz]\n"
      "SFX A 0 s [^sxzy]\nSFX A 0 t .\nSFX A 0 q [ab]\n"
      "SFX B Y 2\nSFX B 0 X [น้ำก]\nSFX B 0 Z [^น้ำ]\n"
      "PFX P Y 2\nPFX P 0 re [a]\nPFX P k un k\n";
  EXPECT_EQ(expand(aff, "fly/A\nboy/A\nbox/A\ncat/A\na/A\nกินน้ำ/B\nนก/B\nkit/P\nant/P\n"),
            (Forms{"fly", "flies", "flyt", "boy", "boys", "boyt", "box", "boxes", "boxt", "cat", "cats", "catt", "a",
                   "as", "at", "aq", "กินน้ำ", "กินน้ำx", "นก", "นกx", "นกz", "kit", "unit", "ant", "reant"}));
}

TEST_F(HunspellExpanderTest, NeedAffixKeepsTheStemOutButNotItsForms) {
  EXPECT_EQ(expand("NEEDAFFIX X\nSFX S Y 1\nSFX S 0 s .\n", "foo/XS\nbar/X\nbaz/S\n"),
            (Forms{"foos", "baz", "bazs"}));
  // Separated by a tab or several blanks, the flag is still read.
  EXPECT_EQ(expand("NEEDAFFIX\t X\nSFX S Y 1\nSFX S 0 s .\n", "foo/XS\n"), (Forms{"foos"}));
  // The last NEEDAFFIX line wins.
  EXPECT_EQ(expand("NEEDAFFIX X\nNEEDAFFIX Y\n", "foo/X\nbar/Y\n"), (Forms{"foo"}));
  EXPECT_EQ(expand("NEEDAFFIX\n", "foo/X\n"), (Forms{"foo"}));
}

TEST_F(HunspellExpanderTest, AffixFileQuirksAreReadLiterally) {
  const std::string aff =
      "SFX A Y many\n"  // a header whose count is no integer is a rule
      "SFX B Y 1\nSFX B 0 0/X .\n"
      "SFX C Y 1\nSFX C 0 x [\n"
      "SFX D Y 1\nSFX D 0 z [^\n"
      "SFX EE Y 1\nSFX EE 0 ee .\n"  // a two-character flag is its first character
      "SFX F 0\n";                   // three fields: skipped
  EXPECT_EQ(expand(aff, "toY/A\ncat/B\ndog/CD\nbee/E\nfox/F\n"),
            (Forms{"toy", "tomany", "cat", "dog", "dogz", "bee", "beeee", "fox"}));
}

TEST_F(HunspellExpanderTest, TabSeparatedRuleLinesAreAccepted) {
  EXPECT_EQ(expand("SFX\tS\tY\t1\nSFX\tS\t0\ts\t.\nPFX A Y 1\nPFX\tA  \t0 re\t.\n", "walk/AS\n"),
            (Forms{"walk", "walks", "rewalk", "rewalks"}));
}

TEST_F(HunspellExpanderTest, DictionaryLinesAreReadAsEntries) {
  const std::string aff = "SFX S Y 1\nSFX S 0 s .\n";
  // A first line that is no integer is an entry; a later integer is too.
  EXPECT_EQ(expand(aff, "Walk/S\n12\n"), (Forms{"walk", "walks", "12"}));
  EXPECT_EQ(expand(aff, "  +7 \n\n  cat/S  \n"), (Forms{"cat", "cats"}));
  // A count may carry a comment, as shipped dictionaries have; an integer
  // run into letters is a word.
  EXPECT_EQ(expand(aff, "4 # Old Persian numbers\ncat/S\n"), (Forms{"cat", "cats"}));
  EXPECT_EQ(expand(aff, "2\tentries\ncat\n"), (Forms{"cat"}));
  EXPECT_EQ(expand(aff, "3rd\ncat\n"), (Forms{"3rd", "cat"}));
  // "/x" is the word x; a trailing slash has no flags; "#" is no comment.
  EXPECT_EQ(expand(aff, "1\n/cat\ndog/\n#x/S\n"), (Forms{"cat", "dog", "#x", "#xs"}));
  // Morphology after a space or a tab is not part of the flags or the word.
  EXPECT_EQ(expand(aff, "run/S po:verb\nwalk/S\tpo:verb\nsky\tpo:noun\n"),
            (Forms{"run", "runs", "walk", "walks", "sky"}));
  // A repeated flag applies its rules again, which adds nothing new.
  EXPECT_EQ(expand(aff, "cat/SS\n"), (Forms{"cat", "cats"}));
}

TEST_F(HunspellExpanderTest, AffixFileWithoutRulesGivesTheStems) {
  EXPECT_EQ(expand("SET UTF-8\nTRY abc\n", "3\nบ/ช\nว/ด/ป\nKite\n"), (Forms{"บ", "ว", "kite"}));
  EXPECT_EQ(expand("", "2\nWalk\nrun\n"), (Forms{"walk", "run"}));
  // Empty text may come without any buffer behind it.
  const ParsedAffix none = HunspellExpander::parseAffix(std::string_view{});
  EXPECT_TRUE(none.prefixes.empty() && none.suffixes.empty());
}

TEST_F(HunspellExpanderTest, UnreadableFilesGiveAnErrorAndNoForms) {
  const fs::path dic = write("ok.dic", "1\nword\n");
  const fs::path aff = write("ok.aff", "SET UTF-8\n");
  auto result = HunspellExpander::expand(dic, home_.path() / "missing.aff");
  EXPECT_FALSE(result.ok());
  EXPECT_TRUE(result.forms.empty());
  EXPECT_THAT(*result.error, HasSubstr("missing.aff"));
  result = HunspellExpander::expand(home_.path() / "missing.dic", aff);
  EXPECT_FALSE(result.ok());
  EXPECT_TRUE(result.forms.empty());
  EXPECT_EQ(HunspellExpander::readHunspellFile(home_.path() / "missing.dic"), std::nullopt);
  fs::create_directory(home_.path() / "folder.aff");
  EXPECT_FALSE(HunspellExpander::expand(dic, home_.path() / "folder.aff").ok());

  // A file without end is refused at the cap, not read until memory runs out.
  for (const auto& [d, a] : {std::pair<fs::path, fs::path>{"/dev/zero", aff}, {dic, "/dev/zero"}}) {
    result = HunspellExpander::expand(d, a);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.error, "/dev/zero: too large, over the 64 MiB limit for this kind of file");
  }
}

// --- Refusals -----------------------------------------------------------------

TEST_F(HunspellExpanderTest, FlagFormatsThatAreNotOneCharacterAreRefused) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"FLAG long\nSFX Aa Y 1\nSFX Aa 0 s .\n", "FLAG long"},
      {"FLAG num\nSFX 101 Y 1\nSFX 101 0 s .\n", "FLAG num"},
      {"AF 1\nAF AB\nSFX A Y 1\nSFX A 0 s .\n", "AF"},
  };
  for (const auto& [aff, format] : cases) {
    logs.clear();
    const auto result = run(aff, "1\nword/1\n");
    EXPECT_FALSE(result.ok()) << format;
    EXPECT_TRUE(result.forms.empty());
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0], "Affix expansion of t refused: the affix file uses " + format +
                           ", which this expander does not read");
    EXPECT_EQ(*result.error, logs[0]);
  }
  // FLAG UTF-8 flags are single characters and are read.
  EXPECT_EQ(expand("FLAG UTF-8\nSFX Ж Y 1\nSFX Ж 0 s .\n", "cat/Ж\n"), (Forms{"cat", "cats"}));
}

TEST_F(HunspellExpanderTest, ExpansionPastTheCapIsRefused) {
  const std::string aff = "SFX S Y 2\nSFX S 0 s .\nSFX S 0 es .\n";
  const std::string dic = "3\na/S\nb/S\nc/S\n";  // nine forms
  auto result = run(aff, dic, 9);
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(result.forms.size(), 9u);
  EXPECT_TRUE(logs.empty());

  result = run(aff, dic, 8);
  EXPECT_FALSE(result.ok());
  EXPECT_TRUE(result.forms.empty());
  EXPECT_THAT(logs, ElementsAre("Affix expansion of t refused: more than 8 forms"));
  EXPECT_THROW(HunspellExpander::expandDictionary(dic, HunspellExpander::parseAffix(aff), 8),
               HunspellExpansionRefused);
}

TEST_F(HunspellExpanderTest, CapHoldsOnABlowUpFromLongPrefixClasses) {
  // 200 prefixes x 200 suffixes per entry, as in dictionaries that expand to
  // hundreds of millions of forms: refused quickly instead of exhausting
  // memory.
  std::string aff = "PFX P Y 200\nSFX S Y 200\n";
  for (int i = 0; i < 200; ++i) {
    aff += "PFX P 0 p" + std::to_string(i) + " .\n";
    aff += "SFX S 0 s" + std::to_string(i) + " .\n";
  }
  std::string dic;
  for (int i = 0; i < 500; ++i) dic += "w" + std::to_string(i) + "/PS\n";
  const auto result = run(aff, dic, 100'000);
  EXPECT_FALSE(result.ok());
  EXPECT_THAT(logs, ElementsAre("Affix expansion of t refused: more than 100000 forms"));
}

// --- Conditions -----------------------------------------------------------------

TEST(HunspellConditionTest, ParsesClassesNegationAndLiterals) {
  using K = CharMatcher::Kind;
  EXPECT_THAT(HunspellExpander::parseCondition("[^aeiou]y"),
              ElementsAre(CharMatcher{K::negatedClass, {"a", "e", "i", "o", "u"}}, CharMatcher{K::literal, {"y"}}));
  EXPECT_THAT(HunspellExpander::parseCondition("a]^."),
              ElementsAre(CharMatcher{K::literal, {"a"}}, CharMatcher{K::literal, {"]"}},
                          CharMatcher{K::literal, {"^"}}, CharMatcher{K::any, {}}));
  // Inside a class "." and "^" (not first) are members.
  EXPECT_THAT(HunspellExpander::parseCondition("[.^]"), ElementsAre(CharMatcher{K::charClass, {".", "^"}}));
  // An unclosed class takes the rest.
  EXPECT_THAT(HunspellExpander::parseCondition("[ab"), ElementsAre(CharMatcher{K::charClass, {"a", "b"}}));
  EXPECT_THAT(HunspellExpander::parseCondition("["), ElementsAre(CharMatcher{K::charClass, {}}));
  EXPECT_THAT(HunspellExpander::parseCondition("[^"), ElementsAre(CharMatcher{K::negatedClass, {}}));
  EXPECT_TRUE(HunspellExpander::parseCondition("").empty());
  // A Thai character with its marks is one position.
  EXPECT_THAT(HunspellExpander::parseCondition("[^น้ำ]ก"),
              ElementsAre(CharMatcher{K::negatedClass, {"น้ำ"}}, CharMatcher{K::literal, {"ก"}}));
}

TEST(HunspellConditionTest, MatchesAtTheEndForSuffixesAndTheStartForPrefixes) {
  using HunspellExpander::matchesCondition;
  EXPECT_TRUE(matchesCondition("fly", "[^aeiou]y", true));
  EXPECT_FALSE(matchesCondition("boy", "[^aeiou]y", true));
  EXPECT_TRUE(matchesCondition("yak", "y[^e]", false));
  EXPECT_FALSE(matchesCondition("yak", "y[^e]", true));
  EXPECT_FALSE(matchesCondition("ab", "...", true));  // more positions than characters
  EXPECT_TRUE(matchesCondition("", "", true));
  EXPECT_FALSE(matchesCondition("a", "[", true));
  EXPECT_TRUE(matchesCondition("a", "[^", false));
  EXPECT_FALSE(matchesCondition("", "[^", false));
}

TEST(HunspellConditionTest, ApplySuffixChecksConditionAndStrip) {
  const AffixRule ies{true, true, "y", "ies", "[^aeiou]y"};
  EXPECT_EQ(HunspellExpander::applySuffix("fly", ies), "flies");
  EXPECT_EQ(HunspellExpander::applySuffix("boy", ies), std::nullopt);
  EXPECT_EQ(HunspellExpander::applySuffix("Fly", ies), "Flies");  // not lower-cased
  const AffixRule stripOnly{true, false, "ze", "", ""};
  EXPECT_EQ(HunspellExpander::applySuffix("freeze", stripOnly), "free");
  EXPECT_EQ(HunspellExpander::applySuffix("fries", stripOnly), std::nullopt);
  EXPECT_EQ(HunspellExpander::applySuffix("z", stripOnly), std::nullopt);
}

// --- Characters ----------------------------------------------------------------

TEST_F(HunspellExpanderTest, ThaiCharactersCountWithTheirMarks) {
  // "กิ" is one character (two code points): two positions do not fit it.
  EXPECT_EQ(expand("SFX A Y 1\nSFX A 0 X ..\n", "กิ/A\nกิน/A\n"), (Forms{"กิ", "กิน", "กินx"}));
  // Stripping one character takes น with both of its marks.
  EXPECT_EQ(expand("SFX B Y 1\nSFX B น้ำ ไฟ .\n", "กินน้ำ/B\n"), (Forms{"กินน้ำ", "กินไฟ"}));
  // The first character of "น้ำ" is น้ำ, not the bare consonant น.
  EXPECT_EQ(expand("PFX P Y 1\nPFX P 0 ไ น\n", "น้ำ/P\nนก/P\n"), (Forms{"น้ำ", "นก", "ไนก"}));
}

TEST_F(HunspellExpanderTest, CanonicallyEquivalentCharactersAreEqual) {
  const std::string decomposed = "cafe\xCC\x81";  // e + U+0301
  const std::string precomposed = "\xC3\xA9";     // U+00E9
  const std::string aff = "SFX A Y 1\nSFX A " + precomposed + " ine [" + precomposed + "]\n";
  EXPECT_EQ(expand(aff, decomposed + "/A\n"), (Forms{decomposed, "cafine"}));
}

TEST_F(HunspellExpanderTest, LowerCasingUsesTheWholeForm) {
  // The final sigma is only final in the form as a whole.
  EXPECT_EQ(expand("SFX A Y 1\nSFX A 0 ΟΙ .\n", "ΟΔΟΣ/A\n"), (Forms{"οδος", "οδοσοι"}));
  EXPECT_EQ(expand("", "ΟΔΟΣ\n"), (Forms{"οδος"}));
  EXPECT_EQ(*expand("", "ΟΔΟΣ\n").begin(), "\xCE\xBF\xCE\xB4\xCE\xBF\xCF\x82");  // ends in U+03C2
}

// --- Character sets ---------------------------------------------------------------

TEST(HunspellEncodingTest, NamesAreNormalisedAndLookedUp) {
  using HunspellExpander::encoding;
  EXPECT_EQ(encoding("UTF-8"), "UTF-8");
  EXPECT_EQ(encoding("ISO8859-1"), "ISO-8859-1");
  EXPECT_EQ(encoding("iso8859-5"), "ISO-8859-5");
  EXPECT_EQ(encoding("microsoft-cp1251"), "windows-1251");
  EXPECT_EQ(encoding("cp1251"), "windows-1251");
  EXPECT_EQ(encoding("KOI8-R"), "KOI8-R");
  EXPECT_EQ(encoding(" koi8-u\r\n"), "KOI8-U");
  EXPECT_EQ(encoding("TIS620-2533"), "TIS-620");  // the Hunspell format's own name for TIS-620
  EXPECT_EQ(encoding("CP850"), "IBM850");         // no Windows code page: the IBM one
  EXPECT_EQ(encoding("BOGUS-9"), std::nullopt);
  EXPECT_EQ(encoding(""), std::nullopt);
}

TEST_F(HunspellExpanderTest, BothFilesAreReadInTheCharacterSetTheAffixFileNames) {
  const std::string aff = "SET ISO8859-5\nSFX A Y 1\nSFX A 0 \xEB .\n";  // ы
  const std::string dic = "2\n\xDA\xDE\xE2/A\n\xB4\xDE\xDC/A\n";            // кот, Дом
  EXPECT_EQ(expand(aff, dic), (Forms{"кот", "коты", "дом", "домы"}));
  // A word list that is valid UTF-8 is read as UTF-8 whatever SET says.
  EXPECT_EQ(expand(aff, "2\nкот/A\n"), (Forms{"кот", "коты"}));
  EXPECT_TRUE(logs.empty());
}

TEST_F(HunspellExpanderTest, ThaiDictionaryInTis620) {
  const std::string aff = toTis620("SET TIS620-2533\nSFX A Y 1\nSFX A 0 ๆ .\nPFX B Y 1\nPFX B 0 ไม่ .\n");
  const std::string dic = toTis620("2\nกินน้ำ/A\nดี/AB\n");
  EXPECT_EQ(expand(aff, dic), (Forms{"กินน้ำ", "กินน้ำๆ", "ดี", "ดีๆ", "ไม่ดี", "ไม่ดีๆ"}));
  EXPECT_TRUE(logs.empty());
}

TEST_F(HunspellExpanderTest, UnknownOrWrongCharacterSetFallsBackToLatin1WithALogLine) {
  // ISO-8859-11 is no IANA name: the bytes are read as ISO 8859-1.
  const std::string thaiBytes = toTis620("กิน");
  Forms forms = expand("SET ISO8859-11\n", "1\n" + thaiBytes + "\n");
  EXPECT_EQ(forms, (Forms{"\xC2\xA1\xC3\xB4\xC2\xB9"}));  // "¡Ô¹" lower-cased
  EXPECT_THAT(logs, ElementsAre("Unknown character set \"ISO8859-11\" on the SET line; reading t.dic as ISO 8859-1"));

  // Bytes that are not valid in the named set.
  logs.clear();
  forms = expand("SET UTF-8\n", "1\nAB\xDC\n");
  EXPECT_EQ(forms, (Forms{"ab\xC3\xBC"}));  // "ABÜ" lower-cased
  EXPECT_THAT(logs, ElementsAre("t.dic is not valid UTF-8; reading it as ISO 8859-1"));

  // No SET line at all: Latin-1 without a message.
  logs.clear();
  EXPECT_EQ(expand("SFX A Y 1\n", "1\n\xC9T\xC9\n"), (Forms{"été"}));
  EXPECT_TRUE(logs.empty());
}

TEST_F(HunspellExpanderTest, SetLineIsFoundAfterAnyLineBreakButOnlyAtTheStart) {
  // The affix file's own SET line: found after a lone CR, not after a blank.
  const fs::path aff = write("s.aff", "# x\rSET ISO8859-5\n\xEB\n");
  EXPECT_EQ(HunspellExpander::readHunspellFile(aff), "# x\rSET ISO8859-5\nы\n");
  const fs::path indented = write("i.aff", " SET ISO8859-5\n\xEB\n");
  EXPECT_EQ(HunspellExpander::readHunspellFile(indented), " SET ISO8859-5\n\xC3\xAB\n");
}

// --- The set ---------------------------------------------------------------------

TEST(WordFormSetTest, KeepsEachWordOnceInInsertionOrder) {
  WordFormSet set;
  EXPECT_TRUE(set.empty());
  EXPECT_FALSE(set.contains(""));
  EXPECT_TRUE(set.insert("b"));
  EXPECT_TRUE(set.insert(""));
  EXPECT_TRUE(set.insert("a"));
  EXPECT_FALSE(set.insert("b"));
  EXPECT_EQ(set.size(), 3u);
  EXPECT_THAT(std::vector<std::string_view>(set.begin(), set.end()), ElementsAre("b", "", "a"));
  EXPECT_TRUE(set.contains(""));
  EXPECT_FALSE(set.contains("c"));
  EXPECT_EQ(set, (WordFormSet{"a", "b", ""}));
  EXPECT_NE(set, (WordFormSet{"a", "b"}));
  EXPECT_EQ(set.toUnorderedSet(), (std::unordered_set<std::string>{"a", "b", ""}));
}

TEST(WordFormSetTest, GrowsAndCopies) {
  WordFormSet set;
  for (int i = 0; i < 100'000; ++i) set.insert("w" + std::to_string(i));
  for (int i = 0; i < 100'000; i += 7) ASSERT_FALSE(set.insert("w" + std::to_string(i)));
  EXPECT_EQ(set.size(), 100'000u);
  EXPECT_EQ(set.at(12'345), "w12345");
  WordFormSet copy = set;
  copy.insert("extra");
  EXPECT_TRUE(copy.contains("w99999"));
  EXPECT_FALSE(set.contains("extra"));
  WordFormSet moved = std::move(copy);
  EXPECT_EQ(moved.size(), 100'001u);
}

}  // namespace
}  // namespace tessa
