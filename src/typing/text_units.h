#pragma once
// Text as a field deletes it: code points or user-perceived characters at
// its end, and the word before the caret. The conversions and counts
// themselves live in base/unicode.h.
#include <cstdint>
#include <string>
#include <string_view>

namespace tessa {

// The last `n` code points of `s` removed.
std::u16string dropLastCodePoints(std::u16string_view s, size_t n);
// The last `n` grapheme clusters of `s` removed.
std::u16string dropLastClusters(std::u16string_view s, size_t n);

// Leading and trailing white space and line ends removed.
std::string trimmedWord(std::string_view utf8);
// Where the run of non-blank characters that ends at `caret` begins.
size_t wordStartBefore(std::u16string_view text, size_t caret);

}  // namespace tessa
