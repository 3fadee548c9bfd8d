#pragma once
// Expands a Hunspell word list (.dic) and its affix file (.aff) into the flat
// set of lower-cased word forms that the word checks look words up in.
//
// Supported: PFX/SFX classes with strip, affix and condition, the cross-product
// mark, NEEDAFFIX, and the character set named by SET. One level of affixes
// only: no compounds, no continuation classes, no morphology.
//
// A "character" here is a user-perceived character (an extended grapheme
// cluster), and two characters are equal when they are canonically
// equivalent: a Thai consonant with its vowel and tone marks is one character.
//
// Files whose flags are not one character each (FLAG long, FLAG num, AF
// aliases) and expansions that would exceed `kMaxForms` are refused, so that a
// caller falls back to the bare stems instead of publishing wrong words or
// running out of memory.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <iterator>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "dictionaries/word_set.h"

namespace tessa {

// One PFX or SFX rule line, as written in the affix file.
struct AffixRule {
  bool isSuffix = false;
  bool crossProduct = false;
  std::string strip;      // characters taken off the word first; empty for none
  std::string affix;      // characters added; empty for none
  std::string condition;  // empty when the rule has none

  bool operator==(const AffixRule&) const = default;
};

// One position of a condition.
struct CharMatcher {
  enum class Kind { literal, charClass, negatedClass, any };
  Kind kind = Kind::any;
  // literal: exactly one character; classes: the members in order (may be
  // empty); any: empty. Each character is stored in its canonical (NFC) form.
  std::vector<std::string> chars;

  bool operator==(const CharMatcher&) const = default;
};

// The parts of an affix file that generate forms. Flags are single
// characters, stored in their canonical (NFC) form.
struct ParsedAffix {
  std::unordered_map<std::string, std::vector<AffixRule>> prefixes;
  std::unordered_map<std::string, std::vector<AffixRule>> suffixes;
  std::optional<std::string> needAffixFlag;
  // Set when the file declares flags this expander cannot read ("FLAG long",
  // "FLAG num" or "AF"); such a file must not be expanded.
  std::optional<std::string> unsupportedFlagFormat;
};

// Thrown inside the expander when a file must be refused.
class HunspellExpansionRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

namespace HunspellExpander {

using LogFunction = std::function<void(const std::string&)>;

// More forms than this and the expansion is refused: real dictionaries with
// long prefix classes reach hundreds of millions.
inline constexpr std::size_t kMaxForms = 5'000'000;

struct Result {
  WordFormSet forms;                 // empty when `error` is set
  std::optional<std::string> error;  // why nothing was expanded
  bool ok() const { return !error.has_value(); }
};

// The set of lower-cased forms of `dic` with the rules of `aff`. Never throws.
// An unreadable file gives an error and no forms; a refused file (unsupported
// flag format, more than `maxForms` forms) also writes a line to `log`, as
// does a SET character set that is unknown or does not fit the bytes (the
// file is then read as ISO 8859-1).
Result expand(const std::filesystem::path& dic, const std::filesystem::path& aff, const LogFunction& log = {},
              std::size_t maxForms = kMaxForms);

// The character set a SET name stands for, as an IANA name ICU can open, or
// none when the name is unknown. "iso8859-5" -> "ISO-8859-5",
// "microsoft-cp1251" -> "windows-1251", "TIS620-2533" -> "TIS-620".
std::optional<std::string> encoding(std::string_view name);

// The text of a .aff (no `affText`) or .dic (with the .aff's text) as UTF-8:
// the bytes as UTF-8 when they are valid UTF-8, else in the character set
// named by the affix file's SET line, else as ISO 8859-1. A leading byte-order
// mark is dropped. None only when the file cannot be read or is larger than
// kMaxWordFileBytes; `error` then says which, naming the file.
std::optional<std::string> readHunspellFile(const std::filesystem::path& file,
                                            std::optional<std::string_view> affText = std::nullopt,
                                            const LogFunction& log = {}, std::string* error = nullptr);

// Calls `f` with each line of `text`; LF, CR and CRLF all end a line. Empty
// lines are passed on too, and the piece after the last line end is a line
// (so empty text is one empty line).
template <class F>
void forEachLine(std::string_view text, F&& f) {
  const char* p = text.data();
  const char* const end = p + text.size();
  // Most files have no CR at all: then memchr finds each line end. (An empty
  // view may have no data at all, which memchr must never see.)
  const bool hasCarriageReturn = !text.empty() && std::memchr(p, '\r', text.size()) != nullptr;
  while (true) {
    const char* lineEnd;
    if (hasCarriageReturn) {
      lineEnd = p;
      while (lineEnd < end && *lineEnd != '\n' && *lineEnd != '\r') ++lineEnd;
    } else {
      lineEnd = p == end ? nullptr : static_cast<const char*>(std::memchr(p, '\n', static_cast<size_t>(end - p)));
      if (lineEnd == nullptr) lineEnd = end;
    }
    f(std::string_view(p, static_cast<size_t>(lineEnd - p)));
    if (lineEnd == end) return;
    p = lineEnd + 1;
    if (*lineEnd == '\r' && p < end && *p == '\n') ++p;
  }
}

// Whether the trimmed first line of a .dic is its entry count: a decimal
// integer, alone or followed by a blank and anything (a comment, say).
bool isEntryCountLine(std::string_view line);

// Lines may end in LF, CR or CRLF; fields may be separated by spaces or tabs.
ParsedAffix parseAffix(std::string_view affText);

// Lines may end in LF, CR or CRLF. An entry ends at its first tab (the
// morphological fields follow it); its flags end at the first space.
// Throws HunspellExpansionRefused when `affix` has an unsupported flag format
// or the set would grow past `maxForms`.
WordFormSet expandDictionary(std::string_view dicText, const ParsedAffix& affix, std::size_t maxForms = kMaxForms);

// `word` with the suffix rule applied (not lower-cased), or none when the rule
// does not apply.
std::optional<std::string> applySuffix(std::string_view word, const AffixRule& rule);

bool matchesCondition(std::string_view word, std::string_view condition, bool isSuffix);

std::vector<CharMatcher> parseCondition(std::string_view condition);

}  // namespace HunspellExpander
}  // namespace tessa
