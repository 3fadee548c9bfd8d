#pragma once

#include <array>
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>

namespace tessa {

// Every user-interface text that follows the application language, in six
// languages. Built once on first use (a function-local static, so concurrent
// first calls are safe) and immutable afterwards: lookups from any thread
// need no lock.
class LocalizedTable {
 public:
  static const LocalizedTable& shared();

  // The text of `key` in `language`, or nullptr when that language has no
  // table or its table lacks the key. The pointer stays valid for the life
  // of the process.
  const std::string_view* find(std::string_view language, std::string_view key) const;

  // The lookup used by every screen. With `pro`, the technical variant
  // key + "_pro" is tried first, in `language` only (never in a fallback
  // language). Then `key` in `language`, "en" and "th", in that order; a
  // language without a table is skipped. When nothing holds the key, the key
  // itself is returned.
  std::string localized(std::string_view key, std::string_view language, bool pro) const;

  // Number of pairs held for `language`; 0 for a language without a table.
  size_t count(std::string_view language) const;

  LocalizedTable(const LocalizedTable&) = delete;
  LocalizedTable& operator=(const LocalizedTable&) = delete;

 private:
  LocalizedTable();

  struct Language {
    std::string_view code;
    std::unordered_map<std::string_view, std::string_view> texts;
  };
  const Language* language(std::string_view code) const;

  std::array<Language, 6> languages_;
};

// The text of `key` in Thai when `language` is "th", else in English: for the
// screens whose wording exists in those two languages only. The key itself
// when the table lacks it. The texts are string literals, so `data()` of a
// found text ends in a NUL.
std::string thaiOrEnglishText(std::string_view key, std::string_view language);

// "en" → "อังกฤษ (EN)", "th" → "ไทย (TH)", "lo" → "ลาว (LO)"; any other code in
// upper case.
std::string languageDisplayName(std::string_view code);

// The name the language menu gives a language, in that language itself:
// "th" → "ไทย (Thai)", "en" → "English (US)", "lo" → "ລາວ (Lao)",
// "vi" → "Tiếng Việt (Vietnamese)"; any other code as it stands.
std::string languageMenuName(std::string_view code);

// The language menu's own title in the application language: "เลือกภาษา
// (Language)" for "th", "ເລືອກພາສາ (Language)" for "lo", "Chọn ngôn ngữ
// (Language)" for "vi", "Language" for any other. Not a table key: the
// tables of the other languages hold their screens' keys only.
std::string languageMenuHeading(std::string_view language);

// A short name for an input-source identifier: English, Thai or Lao by the
// identifier's wording, else the last "."-separated component in upper case.
std::string inputSourceDisplayName(std::string_view id);

// True when `id` contains "US" or "ABC" (case-sensitive), or its lower-case
// form contains "english", equals "en", or begins with "en-" or "en_", or it
// names the X keyboard's "us" or "gb" layout ("xkb:us", "xkb:gb:extd").
bool isEnglishInputSourceID(std::string_view id);

// The language of an X keyboard source identifier "xkb:<layout>[:<variant>]"
// whose layout name is English, Thai, Lao or Vietnamese ("xkb:th" -> "th",
// "xkb:la" -> "lo"); empty for any other identifier.
std::string xkbSourceLanguage(std::string_view id);

// `text` unchanged when it has at most `maxCharacters` user-perceived
// characters (grapheme clusters); otherwise its first h clusters, "…" and its
// last h clusters, with h = (maxCharacters - 1) / 2. Gives "" for
// maxCharacters <= 0.
std::string middleTruncated(std::string_view text, int maxCharacters);

// Over Unicode scalar values: the difference of the lengths when they differ,
// else the number of positions whose scalars differ.
int differingCharacterCount(std::string_view a, std::string_view b);

// Fills the "%@" and "%d" placeholders of a looked-up text with `args` in
// order (integers are passed as decimal strings); "%%" gives "%". Any other
// "%" sequence is kept as it stands, as is a placeholder left without an
// argument.
std::string formatLocalized(std::string_view text, std::initializer_list<std::string> args);

}  // namespace tessa
