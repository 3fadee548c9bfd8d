// Compares our expansion of Debian's en_US dictionary with Hunspell's own
// `unmunch` tool and checks a sample of the forms with the Hunspell library.
// en_US has no NEEDAFFIX and no continuation classes, the features unmunch
// gets wrong, so the two must agree exactly once both are lower-cased.
#include <hunspell/hunspell.hxx>
#include <unicode/locid.h>
#include <unicode/unistr.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "dictionaries/hunspell_expander.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;

const fs::path kDic = "/usr/share/hunspell/en_US.dic";
const fs::path kAff = "/usr/share/hunspell/en_US.aff";
const fs::path kUnmunch = "/usr/bin/unmunch";

std::string lower(const std::string& word) {
  std::string out;
  icu::UnicodeString::fromUTF8(word).toLower(icu::Locale::getRoot()).toUTF8String(out);
  return out;
}

// unmunch's output lines, as written (not lower-cased).
std::vector<std::string> runUnmunch() {
  const std::string command = kUnmunch.string() + " " + kDic.string() + " " + kAff.string() + " 2>/dev/null";
  std::unique_ptr<FILE, decltype(&pclose)> pipe(popen(command.c_str(), "r"), pclose);
  std::vector<std::string> lines;
  if (!pipe) return lines;
  std::string line;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, pipe.get())) {
    line += buffer;
    if (!line.empty() && line.back() == '\n') {
      line.pop_back();
      lines.push_back(line);
      line.clear();
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

std::string firstFew(const std::vector<std::string>& words) {
  std::string out;
  for (size_t i = 0; i < words.size() && i < 20; ++i) out += " " + words[i];
  return out;
}

TEST(HunspellDifferentialTest, EnglishExpansionEqualsUnmunchAndPassesTheSpellChecker) {
  if (!fs::exists(kDic) || !fs::exists(kAff)) GTEST_SKIP() << "hunspell-en-us is not installed";
  if (!fs::exists(kUnmunch)) GTEST_SKIP() << "unmunch (hunspell-tools) is not installed";

  const auto result = HunspellExpander::expand(kDic, kAff);
  ASSERT_TRUE(result.ok()) << *result.error;
  std::set<std::string> ours;
  for (const auto form : result.forms) ours.emplace(form);

  const std::vector<std::string> unmunchLines = runUnmunch();
  ASSERT_FALSE(unmunchLines.empty()) << "unmunch printed nothing";
  std::set<std::string> theirs;
  std::map<std::string, std::vector<std::string>> spellings;  // lower-cased -> as unmunch wrote it
  for (const auto& line : unmunchLines) {
    const std::string key = lower(line);
    theirs.insert(key);
    spellings[key].push_back(line);
  }

  std::vector<std::string> onlyOurs, onlyTheirs;
  for (const auto& form : ours)
    if (!theirs.count(form)) onlyOurs.push_back(form);
  for (const auto& form : theirs)
    if (!ours.count(form)) onlyTheirs.push_back(form);
  EXPECT_TRUE(onlyOurs.empty()) << onlyOurs.size() << " forms only we generate:" << firstFew(onlyOurs);
  EXPECT_TRUE(onlyTheirs.empty()) << onlyTheirs.size() << " forms only unmunch generates:" << firstFew(onlyTheirs);
  EXPECT_EQ(ours.size(), theirs.size());
  RecordProperty("forms", static_cast<int>(ours.size()));

  // The spell checker wants the dictionary's capitals ("American", not
  // "american"), so each sampled form is checked as unmunch spelled it.
  Hunspell checker(kAff.c_str(), kDic.c_str());
  std::vector<std::string> rejected;
  size_t index = 0, sampled = 0;
  for (const auto& form : ours) {
    if (index++ % 500 != 0) continue;
    ++sampled;
    bool accepted = false;
    for (const auto& spelling : spellings[form]) accepted = accepted || checker.spell(spelling);
    if (!accepted) rejected.push_back(form);
  }
  EXPECT_GT(sampled, 300u);
  // "1th", "2th" and "3th" exist only inside compounds (ONLYINCOMPOUND), which
  // the expansion does not model; nothing else may be rejected.
  for (const auto& form : rejected)
    EXPECT_TRUE(form == "1th" || form == "2th" || form == "3th") << "the spell checker rejects " << form;
}

}  // namespace
}  // namespace tessa
