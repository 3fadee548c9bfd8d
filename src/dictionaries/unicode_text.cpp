#include "dictionaries/unicode_text.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

#include <cstdint>
#include <memory>

namespace tessa::text {

namespace {

icu::UnicodeString toUnicode(std::string_view s) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string toUtf8(const icu::UnicodeString& u) {
  std::string out;
  u.toUTF8String(out);
  return out;
}

bool isWhite(UChar32 c) { return u_hasBinaryProperty(c, UCHAR_WHITE_SPACE); }
bool isSpaceOrTab(UChar32 c) { return c == 0x09 || u_charType(c) == U_SPACE_SEPARATOR; }
bool isLineSeparator(char32_t c) {
  return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

template <class Pred>
std::string trimBy(std::string_view s, Pred pred) {
  std::u32string cps = codePoints(s);
  size_t b = 0, e = cps.size();
  while (b < e && pred(static_cast<UChar32>(cps[b]))) ++b;
  while (e > b && pred(static_cast<UChar32>(cps[e - 1]))) --e;
  if (b == 0 && e == cps.size()) {
    // Nothing to trim: keep the original bytes (invalid sequences included).
    return std::string(s);
  }
  return fromCodePoints(std::u32string_view(cps).substr(b, e - b));
}

}  // namespace

std::u32string codePoints(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  size_t i = 0;
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  while (i < n) {
    unsigned char c = p[i];
    char32_t cp = 0xFFFD;
    size_t len = 1;
    if (c < 0x80) {
      cp = c;
    } else if ((c & 0xE0) == 0xC0 && i + 1 < n && (p[i + 1] & 0xC0) == 0x80) {
      cp = ((c & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu);
      len = 2;
      if (cp < 0x80) cp = 0xFFFD;
    } else if ((c & 0xF0) == 0xE0 && i + 2 < n && (p[i + 1] & 0xC0) == 0x80 && (p[i + 2] & 0xC0) == 0x80) {
      cp = ((c & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu);
      len = 3;
      if (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    } else if ((c & 0xF8) == 0xF0 && i + 3 < n && (p[i + 1] & 0xC0) == 0x80 && (p[i + 2] & 0xC0) == 0x80 &&
               (p[i + 3] & 0xC0) == 0x80) {
      cp = ((c & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) | (p[i + 3] & 0x3Fu);
      len = 4;
      if (cp < 0x10000 || cp > 0x10FFFF) cp = 0xFFFD;
    }
    out.push_back(cp);
    i += len;
  }
  return out;
}

std::string fromCodePoint(char32_t cp) {
  std::string out;
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return out;
}

std::string fromCodePoints(std::u32string_view cps) {
  std::string out;
  out.reserve(cps.size() * 3);
  for (char32_t c : cps) out += fromCodePoint(c);
  return out;
}

std::string trimWhitespaceAndNewlines(std::string_view s) { return trimBy(s, isWhite); }
std::string trimSpacesAndTabs(std::string_view s) { return trimBy(s, isSpaceOrTab); }

std::vector<std::string> graphemes(std::string_view s) {
  std::vector<std::string> out;
  if (s.empty()) return out;
  icu::UnicodeString u = toUnicode(s);
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
  if (U_FAILURE(status) || !it) {
    for (char32_t c : codePoints(s)) out.push_back(fromCodePoint(c));
    return out;
  }
  it->setText(u);
  int32_t start = it->first();
  for (int32_t end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next()) {
    out.push_back(toUtf8(icu::UnicodeString(u, start, end - start)));
  }
  return out;
}

size_t graphemeCount(std::string_view s) { return graphemes(s).size(); }

std::string nfc(std::string_view s) {
  UErrorCode status = U_ZERO_ERROR;
  const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(status);
  if (U_FAILURE(status) || !n) return std::string(s);
  icu::UnicodeString u = toUnicode(s);
  if (n->isNormalized(u, status) && U_SUCCESS(status)) return toUtf8(u);
  status = U_ZERO_ERROR;
  icu::UnicodeString out = n->normalize(u, status);
  if (U_FAILURE(status)) return std::string(s);
  return toUtf8(out);
}

bool isNumericCharacter(std::string_view grapheme) {
  std::u32string cps = codePoints(grapheme);
  if (cps.empty()) return false;
  return u_getIntPropertyValue(static_cast<UChar32>(cps.front()), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

std::vector<std::string> splitLines(std::string_view s) {
  std::vector<std::string> out;
  std::u32string current;
  for (char32_t c : codePoints(s)) {
    if (isLineSeparator(c)) {
      if (!current.empty()) out.push_back(fromCodePoints(current));
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) out.push_back(fromCodePoints(current));
  return out;
}

std::string normalizeThaiSaraAm(const std::string& word) {
  // Sara am (U+0E33) is E0 B8 B3 in UTF-8; the tone marks U+0E48..U+0E4B
  // are E0 B9 88..8B. Typists often put the tone mark after sara am, but
  // the written form (and every word list) has it before.
  static constexpr std::string_view saraAm = "\xE0\xB8\xB3";
  if (word.find(saraAm) == std::string::npos) return word;
  std::string out;
  out.reserve(word.size());
  for (size_t i = 0; i < word.size();) {
    if (word.compare(i, 3, saraAm) == 0 && i + 6 <= word.size() && static_cast<uint8_t>(word[i + 3]) == 0xE0 &&
        static_cast<uint8_t>(word[i + 4]) == 0xB9 && static_cast<uint8_t>(word[i + 5]) >= 0x88 &&
        static_cast<uint8_t>(word[i + 5]) <= 0x8B) {
      out.append(word, i + 3, 3);
      out.append(saraAm);
      i += 6;
    } else {
      out += word[i++];
    }
  }
  return out;
}

}  // namespace tessa::text
