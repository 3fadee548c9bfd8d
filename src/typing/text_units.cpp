#include "typing/text_units.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <memory>

namespace tessa {

std::u16string toUtf16(std::string_view utf8) {
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(icu::StringPiece(utf8.data(), static_cast<int32_t>(utf8.size())));
  return std::u16string(reinterpret_cast<const char16_t*>(u.getBuffer()), static_cast<size_t>(u.length()));
}

std::string toUtf8(std::u16string_view utf16) {
  icu::UnicodeString u(utf16.data(), static_cast<int32_t>(utf16.size()));
  std::string out;
  u.toUTF8String(out);
  return out;
}

std::vector<std::u16string> graphemeClusters(std::u16string_view s) {
  std::vector<std::u16string> out;
  if (s.empty()) return out;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status)) {
    for (char16_t c : s) out.emplace_back(1, c);
    return out;
  }
  icu::UnicodeString u(s.data(), static_cast<int32_t>(s.size()));
  it->setText(u);
  int32_t start = it->first();
  for (int32_t end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next())
    out.emplace_back(s.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
  return out;
}

size_t codePointCount(std::u16string_view s) {
  return static_cast<size_t>(u_countChar32(reinterpret_cast<const UChar*>(s.data()), static_cast<int32_t>(s.size())));
}

std::u32string codePoints(std::u16string_view s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) {
    UChar32 c;
    U16_NEXT(s.data(), i, s.size(), c);
    out.push_back(static_cast<char32_t>(c));
  }
  return out;
}

std::vector<std::u16string> codePointStrings(std::u16string_view s) {
  std::vector<std::u16string> out;
  for (size_t i = 0; i < s.size();) {
    const size_t start = i;
    UChar32 c;
    U16_NEXT(s.data(), i, s.size(), c);
    out.emplace_back(s.substr(start, i - start));
  }
  return out;
}

std::u16string dropLastCodePoints(std::u16string_view s, size_t n) {
  size_t end = s.size();
  while (n > 0 && end > 0) {
    end -= (end >= 2 && U16_IS_TRAIL(s[end - 1]) && U16_IS_LEAD(s[end - 2])) ? 2 : 1;
    --n;
  }
  return std::u16string(s.substr(0, end));
}

std::u16string dropLastClusters(std::u16string_view s, size_t n) {
  auto clusters = graphemeClusters(s);
  size_t keep = clusters.size() > n ? clusters.size() - n : 0;
  std::u16string out;
  for (size_t i = 0; i < keep; ++i) out += clusters[i];
  return out;
}

bool isWhitespace(char32_t c) { return u_isUWhiteSpace(static_cast<UChar32>(c)); }

std::string trimmedWord(std::string_view utf8) {
  std::u16string s = toUtf16(utf8);
  size_t begin = 0, end = s.size();
  while (begin < end) {
    UChar32 c;
    size_t i = begin;
    U16_NEXT(s.data(), i, end, c);
    if (!isWhitespace(c)) break;
    begin = i;
  }
  while (end > begin) {
    UChar32 c;
    size_t i = end;
    U16_PREV(s.data(), begin, i, c);
    if (!isWhitespace(c)) break;
    end = i;
  }
  return toUtf8(std::u16string_view(s).substr(begin, end - begin));
}

size_t wordStartBefore(std::u16string_view text, size_t caret) {
  size_t start = std::min(caret, text.size());
  while (start > 0) {
    UChar32 c;
    size_t i = start;
    U16_PREV(text.data(), 0, i, c);
    if (isWhitespace(c)) break;
    start = i;
  }
  return start;
}

}  // namespace tessa
