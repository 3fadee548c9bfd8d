#pragma once
// Plain word files and the fixed word tables: how a word file is read, where
// word files and dictionaries are looked for, the built-in word sets, and the
// table of languages that have a script of their own.
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "dictionaries/hunspell_expander.h"

namespace tessa {

// Every word set of the engine: lower-cased words, no frequencies. Sets are
// immutable once published; a change publishes a new set.
using WordSet = WordFormSet;
using WordSetRef = std::shared_ptr<const WordSet>;

// ------------------------------------------------------------- text helpers

// A tone mark typed after sara am (U+0E33) put before it, as every word list
// writes it.
std::string normalizeThaiSaraAm(const std::string& word);

// The distinct words of a word file's text, in order of first appearance:
// lines split at any line break, trimmed, lower-cased; empty lines and lines
// beginning with "#" skipped.
std::vector<std::string> parseWordFileText(std::string_view text);

// --------------------------------------------------------------- locations

// The user's spelling folder, where the ignored-word list lives.
std::filesystem::path spellingFolder();
// "Tessavinor/Dictionaries" under the application's data folder.
std::filesystem::path dictionariesFolder();
// The folders the application's shipped resources are looked for in, in
// order: $TESSAVINOR_RESOURCES alone when set (an empty value means there are
// none); else "data" next to the program, the share folder beside the
// installed program, the install prefix's share folder, "tessavinor" under
// each of $XDG_DATA_DIRS, and the source tree's data folder.
std::vector<std::filesystem::path> bundleResourceCandidates();
// The first of those folders that exists; none when none does.
std::optional<std::filesystem::path> bundleResourceFolder();
// The shipped resource `base`.`ext`, when it exists.
std::optional<std::filesystem::path> bundleResource(const std::string& base, const std::string& ext);

// The places a word file of this name is looked for, in order: the spelling
// folder, the dictionaries folder, the shipped resources (only when the
// resource exists).
std::vector<std::filesystem::path> wordFileCandidates(const std::string& name);

// ---------------------------------------------------------- fixed tables

inline constexpr const char* kWhitelistFileName = "tessavinor_whitelist.txt";
inline constexpr const char* kCommonThaiFileName = "tessavinor_common_th.txt";
inline constexpr const char* kCommonEnglishFileName = "tessavinor_common_en.txt";

const std::vector<std::string_view>& builtInProgrammingWordList();      // 59 words
const std::vector<std::string_view>& builtInCommonEnglishWordList();    // 133 words

struct CodePointRange {
  char32_t first;
  char32_t last;  // inclusive
};

// The code points of one script.
class ScriptCharacterSet {
 public:
  ScriptCharacterSet() = default;
  explicit ScriptCharacterSet(std::vector<CodePointRange> ranges) : ranges_(std::move(ranges)) {}
  bool contains(char32_t c) const {
    for (const auto& r : ranges_)
      if (c >= r.first && c <= r.last) return true;
    return false;
  }
  const std::vector<CodePointRange>& ranges() const { return ranges_; }

 private:
  std::vector<CodePointRange> ranges_;
};

// One row of the script table: the languages written in one script, its
// code-point ranges and a character that only that script has.
struct ScriptTableRow {
  std::vector<std::string> languages;
  std::vector<CodePointRange> ranges;
  std::string probeCharacter;
};
const std::vector<ScriptTableRow>& scriptTable();

// Language code to the Hunspell base name of its dictionary.
struct LocalDictionaryName {
  std::string localeName;
  std::string baseName;
  std::string unused;
};
const std::map<std::string, LocalDictionaryName>& localDictionaryNameTable();

}  // namespace tessa
