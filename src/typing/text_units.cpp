#include "typing/text_units.h"

#include <algorithm>

#include "base/unicode.h"

namespace tessa {

std::u16string dropLastCodePoints(std::u16string_view s, size_t n) {
  size_t end = s.size();
  for (; n > 0 && end > 0; --n) decodeUtf16Before(s, end);
  return std::u16string(s.substr(0, end));
}

std::u16string dropLastClusters(std::u16string_view s, size_t n) {
  auto clusters = graphemeClusters(s);
  size_t keep = clusters.size() > n ? clusters.size() - n : 0;
  std::u16string out;
  for (size_t i = 0; i < keep; ++i) out += clusters[i];
  return out;
}

std::string trimmedWord(std::string_view utf8) {
  const std::u16string s = toUtf16(utf8);
  const std::u16string_view v(s);
  size_t begin = 0, end = v.size();
  while (begin < end) {
    size_t i = begin;
    if (!isWhitespace(decodeUtf16(v.substr(0, end), i))) break;
    begin = i;
  }
  while (end > begin) {
    size_t i = end - begin;
    if (!isWhitespace(decodeUtf16Before(v.substr(begin, end - begin), i))) break;
    end = begin + i;
  }
  return toUtf8(v.substr(begin, end - begin));
}

size_t wordStartBefore(std::u16string_view text, size_t caret) {
  size_t start = std::min(caret, text.size());
  while (start > 0) {
    size_t i = start;
    if (isWhitespace(decodeUtf16Before(text, i))) break;
    start = i;
  }
  return start;
}

}  // namespace tessa
