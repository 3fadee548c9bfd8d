#pragma once
// Unicode text helpers for the word-level code of the dictionaries: trimming
// by the Unicode white-space set, user-perceived characters (extended
// grapheme clusters), code points, full lower-casing and canonical
// normalisation. All of them take and give UTF-8; invalid UTF-8 bytes read as
// U+FFFD, never as an exception.
#include <string>
#include <string_view>
#include <vector>

#include "dictionaries/word_lists.h"

namespace tessa::text {

// Trims Unicode White_Space (blanks and line ends, NBSP and U+2028/9 among
// them) from both ends.
std::string trimWhitespaceAndNewlines(std::string_view s);
// Trims spaces (general category Zs) and tabs only; line feeds stay.
std::string trimSpacesAndTabs(std::string_view s);

// The extended grapheme clusters of `s`, in order.
std::vector<std::string> graphemes(std::string_view s);
size_t graphemeCount(std::string_view s);

std::u32string codePoints(std::string_view s);
std::string fromCodePoints(std::u32string_view cps);
std::string fromCodePoint(char32_t cp);

// Full Unicode lower-casing: the one the word lists use.
using tessa::lowercased;
// Canonical composition (NFC): two spellings that are canonically
// equivalent compare equal after it.
std::string nfc(std::string_view s);
inline bool canonicallyEqual(std::string_view a, std::string_view b) { return nfc(a) == nfc(b); }

// Whether a user-perceived character is numeric: its first code point has a
// numeric type (Thai and Arabic-Indic digits and fractions count).
bool isNumericCharacter(std::string_view grapheme);

// Splits at every line separator (LF, CR, VT, FF, NEL, U+2028, U+2029),
// dropping empty pieces.
std::vector<std::string> splitLines(std::string_view s);

// A tone mark typed after sara am (U+0E33) put before it, as every word list
// writes it.
std::string normalizeThaiSaraAm(const std::string& word);

}  // namespace tessa::text
