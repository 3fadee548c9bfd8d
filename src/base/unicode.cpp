#include "base/unicode.h"

#include <unicode/brkiter.h>
#include <unicode/bytestream.h>
#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/stringpiece.h>
#include <unicode/ucasemap.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utext.h>

#include <array>
#include <cstring>
#include <limits>
#include <stdexcept>

namespace tessa {

namespace {

icu::UnicodeString unicodeOf(std::u16string_view s) {
  // Read-only alias: no copy of the units.
  return icu::UnicodeString(false, s.data(), static_cast<int32_t>(s.size()));
}

icu::UnicodeString unicodeOf(std::string_view s) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string utf8Of(const icu::UnicodeString& u) {
  std::string out;
  u.toUTF8String(out);
  return out;
}

// One character-break iterator per thread: making one reads the break rules,
// far dearer than any text we segment.
icu::BreakIterator* characterBreaks() {
  thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status)) it.reset();
    return it;
  }();
  return iterator.get();
}

// The character-break iterator set on UTF-16 text, or null.
icu::BreakIterator* characterBreaksOn(std::u16string_view s, UText& ut) {
  icu::BreakIterator* it = characterBreaks();
  if (!it) return nullptr;
  UErrorCode status = U_ZERO_ERROR;
  utext_openUChars(&ut, s.data(), static_cast<int64_t>(s.size()), &status);
  if (U_FAILURE(status)) return nullptr;
  it->setText(&ut, status);
  return U_FAILURE(status) ? nullptr : it;
}

const icu::Normalizer2* nfcNormalizer() {
  static const icu::Normalizer2* instance = [] {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(status);
    return U_FAILURE(status) ? nullptr : n;
  }();
  return instance;
}

bool isAscii(std::string_view s) {
  for (char ch : s)
    if (static_cast<unsigned char>(ch) >= 0x80) return false;
  return true;
}

// Thai letters have no case, and Thai text is what most word files hold.
bool isCaselessThai(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    char32_t c = decodeUtf8(s, i);
    if (c < 0x80) {
      if (c >= 'A' && c <= 'Z') return false;
      continue;
    }
    if (c < 0x0E00 || c > 0x0E7F) return false;
  }
  return true;
}

// The locale-independent full lower-case mapping through ICU.
void appendLowercasedByIcu(std::string_view s, std::string& out) {
  struct Map {
    UCaseMap* map = nullptr;
    ~Map() {
      if (map) ucasemap_close(map);
    }
  };
  thread_local Map caseMap;
  thread_local std::string buffer;
  UErrorCode status = U_ZERO_ERROR;
  if (!caseMap.map) {
    caseMap.map = ucasemap_open("", 0, &status);
    if (U_FAILURE(status)) throw std::runtime_error("ICU case mapping unavailable");
  }
  buffer.resize(s.size() * 3 + 8);
  for (;;) {
    status = U_ZERO_ERROR;
    const int32_t n = ucasemap_utf8ToLower(caseMap.map, buffer.data(), static_cast<int32_t>(buffer.size()), s.data(),
                                           static_cast<int32_t>(s.size()), &status);
    if (status == U_BUFFER_OVERFLOW_ERROR) {
      buffer.resize(static_cast<size_t>(n) + 1);
      continue;
    }
    if (U_FAILURE(status)) throw std::runtime_error("ICU could not lower-case a text");
    out.append(buffer.data(), static_cast<size_t>(n));
    return;
  }
}

// The full lower-case mapping equals the simple one code point by code
// point, except for U+0130 (which becomes two code points) and the capital
// sigma (which depends on its neighbours); those texts, and any ill-formed
// UTF-8, go through ICU's full case mapping.
void appendLowercasedByCodePoint(std::string_view rest, std::string& out, size_t start, std::string_view whole) {
  static constexpr char32_t kContextual = 0xFFFFFFFF;
  // Two-byte sequences (Latin, Greek, Cyrillic, Hebrew and more) from a
  // table made once.
  static const std::array<char32_t, 0x800> twoByte = [] {
    std::array<char32_t, 0x800> table{};
    for (char32_t c = 0; c < 0x800; ++c) table[c] = static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
    table[0x0130] = table[0x03A3] = kContextual;
    return table;
  }();
  // No simple mapping makes a code point more than half as long again.
  const size_t base = out.size();
  out.resize(base + rest.size() * 2);
  char* d = out.data() + base;
  for (size_t i = 0; i < rest.size();) {
    const auto b0 = static_cast<unsigned char>(rest[i]);
    if (b0 < 0x80) {
      *d++ = static_cast<char>(b0 >= 'A' && b0 <= 'Z' ? b0 + ('a' - 'A') : b0);
      ++i;
      continue;
    }
    char32_t lowered;
    if (b0 >= 0xC2 && b0 <= 0xDF && i + 1 < rest.size() && (static_cast<unsigned char>(rest[i + 1]) & 0xC0) == 0x80) {
      lowered = twoByte[((b0 & 0x1F) << 6) | (rest[i + 1] & 0x3F)];
      i += 2;
    } else {
      const size_t before = i;
      const char32_t c = decodeUtf8(rest, i);
      const bool invalid = c == kReplacementCharacter && rest.substr(before, 3) != "\xEF\xBF\xBD";
      lowered = invalid ? kContextual : static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
    }
    if (lowered == kContextual) {
      out.resize(start);
      appendLowercasedByIcu(whole, out);
      return;
    }
    d = writeUtf8(lowered, d);
  }
  out.resize(static_cast<size_t>(d - out.data()));
}

}  // namespace

// ------------------------------------------------------------------- UTF-8

size_t utf8CharacterStart(std::string_view s, size_t end) {
  size_t j = end - 1;
  while (j > 0 && end - j < 4 && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80) --j;
  return j;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacementCharacter;
  char buffer[4];
  out.append(buffer, writeUtf8(c, buffer));
}

bool isValidUtf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    // Eight ASCII bytes at a time.
    while (i + 8 <= n) {
      uint64_t chunk;
      std::memcpy(&chunk, s + i, 8);
      if (chunk & 0x8080808080808080ull) break;
      i += 8;
    }
    if (i >= n) break;
    if (s[i] < 0x80) {
      ++i;
      continue;
    }
    const size_t start = i;
    if (decodeUtf8(bytes, i) == kReplacementCharacter && bytes.substr(start, 3) != "\xEF\xBF\xBD") return false;
  }
  return true;
}

size_t codePointCount(std::string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++n) decodeUtf8(s, i);
  return n;
}

std::u32string codePoints(std::string_view s) {
  std::u32string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) out.push_back(decodeUtf8(s, i));
  return out;
}

std::string fromCodePoint(char32_t cp) {
  std::string out;
  appendUtf8(out, cp);
  return out;
}

std::string fromCodePoints(std::u32string_view cps) {
  std::string out;
  out.reserve(cps.size() * 3);
  for (char32_t c : cps) appendUtf8(out, c);
  return out;
}

// ------------------------------------------------------------------ UTF-16

std::u16string toUtf16(std::string_view utf8) {
  icu::UnicodeString u = unicodeOf(utf8);
  return std::u16string(reinterpret_cast<const char16_t*>(u.getBuffer()), static_cast<size_t>(u.length()));
}

std::string toUtf8(std::u16string_view utf16) { return utf8Of(unicodeOf(utf16)); }

char32_t decodeUtf16(std::u16string_view s, size_t& i) {
  const char16_t c = s[i++];
  if (isLeadSurrogate(c) && i < s.size() && isTrailSurrogate(s[i]))
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (s[i++] - 0xDC00);
  return c;
}

char32_t decodeUtf16Before(std::u16string_view s, size_t& i) {
  const char16_t c = s[--i];
  if (isTrailSurrogate(c) && i > 0 && isLeadSurrogate(s[i - 1])) {
    --i;
    return 0x10000 + ((static_cast<char32_t>(s[i]) - 0xD800) << 10) + (c - 0xDC00);
  }
  return c;
}

size_t codePointCount(std::u16string_view s) {
  size_t n = 0;
  for (size_t i = 0; i < s.size(); ++n) decodeUtf16(s, i);
  return n;
}

std::u32string codePoints(std::u16string_view s) {
  std::u32string out;
  for (size_t i = 0; i < s.size();) out.push_back(decodeUtf16(s, i));
  return out;
}

std::vector<std::u16string> codePointStrings(std::u16string_view s) {
  std::vector<std::u16string> out;
  for (size_t i = 0; i < s.size();) {
    const size_t start = i;
    decodeUtf16(s, i);
    out.emplace_back(s.substr(start, i - start));
  }
  return out;
}

// ----------------------------------------------------- user-perceived characters

std::vector<size_t> graphemeBoundaries(std::string_view s) {
  std::vector<size_t> bounds{0};
  if (s.empty()) return bounds;
  icu::BreakIterator* it = characterBreaks();
  UErrorCode status = U_ZERO_ERROR;
  UText ut = UTEXT_INITIALIZER;
  // Segment the UTF-8 bytes in place: the iterator's indices are then byte
  // offsets, and the original bytes are what gets copied out.
  utext_openUTF8(&ut, s.data(), static_cast<int64_t>(s.size()), &status);
  if (it && U_SUCCESS(status)) it->setText(&ut, status);
  if (!it || U_FAILURE(status)) {
    for (size_t i = 0; i < s.size();) {
      decodeUtf8(s, i);
      bounds.push_back(i);
    }
  } else {
    it->first();
    for (int32_t pos = it->next(); pos != icu::BreakIterator::DONE; pos = it->next())
      bounds.push_back(static_cast<size_t>(pos));
    if (bounds.back() != s.size()) bounds.push_back(s.size());
  }
  utext_close(&ut);
  return bounds;
}

std::vector<std::string> graphemes(std::string_view s) {
  const std::vector<size_t> b = graphemeBoundaries(s);
  std::vector<std::string> out;
  out.reserve(b.size() - 1);
  for (size_t i = 0; i + 1 < b.size(); ++i) out.emplace_back(s.substr(b[i], b[i + 1] - b[i]));
  return out;
}

size_t graphemeCount(std::string_view s) { return graphemeBoundaries(s).size() - 1; }

std::vector<std::u16string> graphemeClusters(std::u16string_view s) {
  std::vector<std::u16string> out;
  if (s.empty()) return out;
  UText ut = UTEXT_INITIALIZER;
  icu::BreakIterator* it = characterBreaksOn(s, ut);
  if (!it) {
    for (char16_t c : s) out.emplace_back(1, c);
  } else {
    int32_t start = it->first();
    for (int32_t end = it->next(); end != icu::BreakIterator::DONE; start = end, end = it->next())
      out.emplace_back(s.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
  }
  utext_close(&ut);
  return out;
}

size_t previousGraphemeBoundary(std::u16string_view s, size_t pos) {
  if (pos == 0) return 0;
  UText ut = UTEXT_INITIALIZER;
  icu::BreakIterator* it = characterBreaksOn(s, ut);
  size_t out = pos - 1;
  if (it) {
    const int32_t prev = it->preceding(static_cast<int32_t>(pos));
    out = prev == icu::BreakIterator::DONE ? 0 : static_cast<size_t>(prev);
  }
  utext_close(&ut);
  return out;
}

size_t nextGraphemeBoundary(std::u16string_view s, size_t pos) {
  if (pos >= s.size()) return s.size();
  UText ut = UTEXT_INITIALIZER;
  icu::BreakIterator* it = characterBreaksOn(s, ut);
  size_t out = pos + 1;
  if (it) {
    const int32_t next = it->following(static_cast<int32_t>(pos));
    out = next == icu::BreakIterator::DONE ? s.size() : static_cast<size_t>(next);
  }
  utext_close(&ut);
  return out;
}

struct WordSegmenter::Impl {
  std::unique_ptr<icu::BreakIterator> words;
};

WordSegmenter::WordSegmenter(const std::string& language) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createWordInstance(icu::Locale(language.c_str()), status));
  if (U_SUCCESS(status) && it) impl_ = std::make_unique<Impl>(Impl{std::move(it)});
}

WordSegmenter::~WordSegmenter() = default;

std::vector<WordSegmenter::Span> WordSegmenter::words(std::u16string_view text) {
  std::vector<Span> out;
  if (!impl_) return out;
  UErrorCode status = U_ZERO_ERROR;
  UText ut = UTEXT_INITIALIZER;
  utext_openUChars(&ut, text.data(), static_cast<int64_t>(text.size()), &status);
  icu::BreakIterator& bi = *impl_->words;
  bi.setText(&ut, status);
  if (U_SUCCESS(status)) {
    int32_t begin = bi.first();
    for (int32_t end = bi.next(); end != icu::BreakIterator::DONE; begin = end, end = bi.next()) {
      const int32_t rule = bi.getRuleStatus();
      if (rule >= UBRK_WORD_LETTER && rule < UBRK_WORD_IDEO_LIMIT)
        out.push_back({static_cast<size_t>(begin), static_cast<size_t>(end)});
    }
  }
  utext_close(&ut);
  return out;
}

// -------------------------------------------------------------- properties

bool isWhitespace(char32_t c) { return u_isUWhiteSpace(static_cast<UChar32>(c)); }

bool isWhitespaceCodePoint(char32_t c) {
  if (c < 0x80) return c == ' ' || c == '\t';
  // No space separator lies between U+00A0 and U+1680: spares the look-up
  // for the letters of most scripts.
  if (c > 0xA0 && c < 0x1680) return false;
  return u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

bool isNonspacingMark(char32_t c) { return u_charType(static_cast<UChar32>(c)) == U_NON_SPACING_MARK; }

bool isLetter(char32_t c) { return u_isalpha(static_cast<UChar32>(c)); }

bool isNumericCharacter(std::string_view grapheme) {
  if (grapheme.empty()) return false;
  size_t i = 0;
  const char32_t first = decodeUtf8(grapheme, i);
  return u_getIntPropertyValue(static_cast<UChar32>(first), UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool standsAlone(char32_t c) {
  const auto gcb = u_getIntPropertyValue(static_cast<UChar32>(c), UCHAR_GRAPHEME_CLUSTER_BREAK);
  return c != '\r' && (gcb == U_GCB_OTHER || gcb == U_GCB_CONTROL || gcb == U_GCB_LF);
}

bool isNfcInert(char32_t c) {
  const auto cp = static_cast<UChar32>(c);
  return u_getCombiningClass(cp) == 0 && u_getIntPropertyValue(cp, UCHAR_NFC_QUICK_CHECK) == UNORM_YES;
}

// ------------------------------------------------------------------ trimming

std::string_view trimWhitespace(std::string_view text, bool lineBreaksToo) {
  auto trimmable = [lineBreaksToo](char32_t c) {
    if (c < 0x80) return c == ' ' || c == '\t' || (lineBreaksToo && c >= 0x0A && c <= 0x0D);
    return isWhitespaceCodePoint(c) || (lineBreaksToo && isLineBreakCodePoint(c));
  };
  size_t begin = 0;
  while (begin < text.size()) {
    size_t next = begin;
    if (!trimmable(decodeUtf8(text, next))) break;
    begin = next;
  }
  size_t end = text.size();
  while (end > begin) {
    const size_t start = utf8CharacterStart(text, end);
    size_t probe = start;
    if (!trimmable(decodeUtf8(text, probe)) || probe != end) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

size_t firstWhitespaceOffset(std::string_view text, bool lineBreaksToo) {
  for (size_t i = 0; i < text.size();) {
    const size_t at = i;
    const char32_t c = decodeUtf8(text, i);
    if (isWhitespaceCodePoint(c) || (lineBreaksToo && isLineBreakCodePoint(c))) return at;
  }
  return std::string_view::npos;
}

std::vector<std::string> splitLines(std::string_view s) {
  std::vector<std::string> out;
  size_t start = 0;
  for (size_t i = 0; i < s.size();) {
    const size_t at = i;
    if (!isLineBreakCodePoint(decodeUtf8(s, i))) continue;
    if (at > start) out.emplace_back(s.substr(start, at - start));
    start = i;
  }
  if (s.size() > start) out.emplace_back(s.substr(start));
  return out;
}

// ------------------------------------------------------ case and normal forms

void appendLowercased(std::string_view s, std::string& out) {
  const size_t start = out.size();
  out.resize(start + s.size());
  char* dest = out.data() + start;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      out.resize(start + i);
      appendLowercasedByCodePoint(s.substr(i), out, start, s);
      return;
    }
    dest[i] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
  }
}

std::string lowercased(std::string_view text) {
  if (!isAscii(text) && isCaselessThai(text)) return std::string(text);
  std::string out;
  appendLowercased(text, out);
  return out;
}

std::string uppercased(std::string_view text) {
  icu::UnicodeString u = unicodeOf(text);
  u.toUpper(icu::Locale::getRoot());
  return utf8Of(u);
}

std::string nfc(std::string_view s) {
  const icu::Normalizer2* n = nfcNormalizer();
  if (!n) return std::string(s);
  std::string out;
  icu::StringByteSink<std::string> sink(&out);
  UErrorCode status = U_ZERO_ERROR;
  n->normalizeUTF8(0, icu::StringPiece(s.data(), static_cast<int32_t>(s.size())), sink, nullptr, status);
  if (U_FAILURE(status)) return std::string(s);
  return out;
}

// -------------------------------------------------------------- character sets

std::string decodeLatin1(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (const char ch : bytes) appendUtf8(out, static_cast<unsigned char>(ch));
  return out;
}

std::optional<std::string> decodeFromCharset(std::string_view bytes, const std::string& charset) {
  if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2 - 2)) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(ucnv_open(charset.c_str(), &status), ucnv_close);
  if (U_FAILURE(status) || !converter) return std::nullopt;
  // Stop at the first byte sequence that is not valid in the character set
  // instead of substituting a replacement character.
  ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
  if (U_FAILURE(status)) return std::nullopt;

  std::u16string utf16(bytes.size() * 2 + 2, u'\0');
  const int32_t units = ucnv_toUChars(converter.get(), utf16.data(), static_cast<int32_t>(utf16.size()), bytes.data(),
                                      static_cast<int32_t>(bytes.size()), &status);
  if (U_FAILURE(status)) return std::nullopt;

  int32_t length = 0;
  status = U_ZERO_ERROR;
  u_strToUTF8(nullptr, 0, &length, utf16.data(), units, &status);
  if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status)) return std::nullopt;
  std::string out(static_cast<size_t>(length), '\0');
  status = U_ZERO_ERROR;
  u_strToUTF8(out.data(), length, &length, utf16.data(), units, &status);
  if (U_FAILURE(status)) return std::nullopt;  // an unpaired surrogate
  return out;
}

std::optional<std::string> registeredCharsetName(const std::string& name) {
  if (name.empty()) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  const char* canonical = ucnv_getCanonicalName(name.c_str(), "IANA", &status);
  if (U_FAILURE(status) || canonical == nullptr || *canonical == '\0') return std::nullopt;
  for (const char* standard : {"MIME", "IANA"}) {
    status = U_ZERO_ERROR;
    const char* preferred = ucnv_getStandardName(canonical, standard, &status);
    if (U_SUCCESS(status) && preferred != nullptr && *preferred != '\0') return std::string(preferred);
  }
  return std::string(canonical);
}

struct CharsetEncoder::Impl {
  UConverter* converter = nullptr;
  ~Impl() {
    if (converter) ucnv_close(converter);
  }
};

CharsetEncoder::CharsetEncoder(const std::string& charset) {
  UErrorCode status = U_ZERO_ERROR;
  UConverter* converter = ucnv_open(charset.c_str(), &status);
  if (U_FAILURE(status)) {
    status = U_ZERO_ERROR;
    converter = ucnv_open("ISO-8859-1", &status);
  }
  if (!converter) return;
  impl_ = std::make_unique<Impl>();
  impl_->converter = converter;
  status = U_ZERO_ERROR;
  ucnv_setFromUCallBack(converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
}

CharsetEncoder::~CharsetEncoder() = default;

std::optional<std::string> CharsetEncoder::encode(std::string_view utf8) {
  if (!impl_) return std::nullopt;
  icu::UnicodeString u = unicodeOf(utf8);
  std::string encoded(static_cast<size_t>(u.length()) * 4 + 8, '\0');
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(impl_->converter);
  const int32_t n = ucnv_fromUChars(impl_->converter, encoded.data(), static_cast<int32_t>(encoded.size()),
                                    u.getBuffer(), u.length(), &status);
  if (U_FAILURE(status)) return std::nullopt;
  encoded.resize(static_cast<size_t>(n));
  return encoded;
}

}  // namespace tessa
