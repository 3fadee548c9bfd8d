#pragma once
// Text as the Accessibility interface counts it (UTF-16 units) and as a
// field deletes it (code points or user-perceived characters).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessa {

std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);

// The extended grapheme clusters of `s`, in order.
std::vector<std::u16string> graphemeClusters(std::u16string_view s);
size_t codePointCount(std::u16string_view s);
std::u32string codePoints(std::u16string_view s);
// Each code point of `s` as a string of its own.
std::vector<std::u16string> codePointStrings(std::u16string_view s);
// The last `n` code points of `s` removed.
std::u16string dropLastCodePoints(std::u16string_view s, size_t n);
// The last `n` grapheme clusters of `s` removed.
std::u16string dropLastClusters(std::u16string_view s, size_t n);

bool isWhitespace(char32_t c);
// Leading and trailing white space and line ends removed.
std::string trimmedWord(std::string_view utf8);
// Where the run of non-blank characters that ends at `caret` begins.
size_t wordStartBefore(std::u16string_view text, size_t caret);

}  // namespace tessa
