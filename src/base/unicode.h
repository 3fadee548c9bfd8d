#pragma once
// Unicode for the whole program: the one place that walks UTF-8 and the one
// that talks to ICU. Text is UTF-8 everywhere except where the Accessibility
// interface counts in UTF-16 units. Every reader of UTF-8 here takes any
// bytes: an ill-formed sequence reads as one U+FFFD for each maximal subpart
// (as ICU's own conversions and the web's decoders do), so a count, a
// split and a conversion of the same bytes always agree.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessa {

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// ------------------------------------------------------------------- UTF-8

// The code point that starts at byte `i` of `s` (i < s.size()), moving `i`
// past it.
inline char32_t decodeUtf8(std::string_view s, size_t& i) {
  const auto* p = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  const unsigned char b0 = p[i++];
  if (b0 < 0x80) return b0;
  size_t need;
  unsigned char lo = 0x80, hi = 0xBF;  // the bytes allowed second
  char32_t c;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1;
    c = b0 & 0x1F;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2;
    c = b0 & 0x0F;
    if (b0 == 0xE0) lo = 0xA0;  // no overlong forms
    if (b0 == 0xED) hi = 0x9F;  // no surrogates
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3;
    c = b0 & 0x07;
    if (b0 == 0xF0) lo = 0x90;
    if (b0 == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    return kReplacementCharacter;
  }
  for (size_t k = 0; k < need; ++k) {
    if (i >= n) return kReplacementCharacter;
    const unsigned char b = p[i];
    if (k == 0 ? (b < lo || b > hi) : (b & 0xC0) != 0x80) return kReplacementCharacter;
    c = (c << 6) | (b & 0x3F);
    ++i;
  }
  return c;
}

// The bytes of the character (code point, or ill-formed piece) that starts
// at `i`, moving `i` past it.
inline std::string_view nextUtf8Character(std::string_view s, size_t& i) {
  const size_t start = i;
  decodeUtf8(s, i);
  return s.substr(start, i - start);
}

// Where the code point that ends at `end` (> 0) begins.
size_t utf8CharacterStart(std::string_view s, size_t end);

// Appends `c` as UTF-8 (a surrogate or a value past U+10FFFF as U+FFFD).
void appendUtf8(std::string& out, char32_t c);
// Writes `c` (a scalar value) at `d`, returning the end: up to four bytes.
inline char* writeUtf8(char32_t c, char* d) {
  if (c < 0x80) {
    *d++ = static_cast<char>(c);
  } else if (c < 0x800) {
    *d++ = static_cast<char>(0xC0 | (c >> 6));
    *d++ = static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *d++ = static_cast<char>(0xE0 | (c >> 12));
    *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *d++ = static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *d++ = static_cast<char>(0xF0 | (c >> 18));
    *d++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *d++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *d++ = static_cast<char>(0x80 | (c & 0x3F));
  }
  return d;
}

bool isValidUtf8(std::string_view bytes);
size_t codePointCount(std::string_view s);
std::u32string codePoints(std::string_view s);
std::string fromCodePoints(std::u32string_view cps);
std::string fromCodePoint(char32_t cp);

// ------------------------------------------------------------------ UTF-16

std::u16string toUtf16(std::string_view utf8);
std::string toUtf8(std::u16string_view utf16);
size_t codePointCount(std::u16string_view s);
std::u32string codePoints(std::u16string_view s);
// Each code point of `s` as a string of its own.
std::vector<std::u16string> codePointStrings(std::u16string_view s);
inline bool isLeadSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
inline bool isTrailSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
// The code point at `i` (moving `i` past it) and the one that ends at `i`
// (moving `i` to its start); a lone surrogate is a code point of its own.
char32_t decodeUtf16(std::u16string_view s, size_t& i);
char32_t decodeUtf16Before(std::u16string_view s, size_t& i);

// ----------------------------------------------------- user-perceived characters

// The extended grapheme clusters of `s`, in order.
std::vector<std::string> graphemes(std::string_view s);
size_t graphemeCount(std::string_view s);
std::vector<std::u16string> graphemeClusters(std::u16string_view s);
// Byte offsets of the cluster boundaries of `s`, 0 and s.size() included
// (only 0 for empty text).
std::vector<size_t> graphemeBoundaries(std::string_view s);
// The cluster boundary before `pos` (0 at the start) and after it
// (s.size() at the end), in UTF-16 units.
size_t previousGraphemeBoundary(std::u16string_view s, size_t pos);
size_t nextGraphemeBoundary(std::u16string_view s, size_t pos);

// The words of a text as a language segments them: the spans, in UTF-16
// units, of letters, kana or ideographs (not numbers, blanks or punctuation).
class WordSegmenter {
 public:
  explicit WordSegmenter(const std::string& language);
  ~WordSegmenter();
  WordSegmenter(const WordSegmenter&) = delete;
  WordSegmenter& operator=(const WordSegmenter&) = delete;
  bool valid() const { return impl_ != nullptr; }
  struct Span {
    size_t begin;
    size_t end;
  };
  std::vector<Span> words(std::u16string_view text);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// -------------------------------------------------------------- properties

// Unicode White_Space: blanks and line ends, NBSP and U+2028/9 among them.
bool isWhitespace(char32_t c);
// Blanks only: tab and the space separators (Zs); no line ends.
bool isWhitespaceCodePoint(char32_t c);
// LF, VT, FF, CR, NEL, LINE SEPARATOR, PARAGRAPH SEPARATOR.
inline bool isLineBreakCodePoint(char32_t c) {
  return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}
bool isLetter(char32_t c);
// A mark drawn on the character before it, taking no room of its own (Mn).
bool isNonspacingMark(char32_t c);
// Whether a user-perceived character is numeric: its first code point has a
// numeric type (Thai and Arabic-Indic digits and fractions count).
bool isNumericCharacter(std::string_view grapheme);
// No grapheme rule ever joins `c` to a neighbour.
bool standsAlone(char32_t c);
// `c` is unchanged by NFC in any context.
bool isNfcInert(char32_t c);

// ------------------------------------------------------------------ trimming

// `text` without blanks (and, with `lineBreaksToo`, line breaks) at either
// end. Ill-formed bytes are kept as they are.
std::string_view trimWhitespace(std::string_view text, bool lineBreaksToo = false);
// Byte offset of the first blank (or line break, with `lineBreaksToo`) in
// `text`, or npos.
size_t firstWhitespaceOffset(std::string_view text, bool lineBreaksToo = false);
// Splits at every line break, dropping empty pieces.
std::vector<std::string> splitLines(std::string_view s);

// ------------------------------------------------------ case and normal forms

// Full Unicode case mapping in the root locale, so that the result does not
// depend on the user's locale.
std::string lowercased(std::string_view text);
std::string uppercased(std::string_view text);
// Appends `text` lower-cased to `out`; the quick way for many words.
void appendLowercased(std::string_view text, std::string& out);
// Canonical composition (NFC): two spellings that are canonically
// equivalent compare equal after it.
std::string nfc(std::string_view s);
inline bool canonicallyEqual(std::string_view a, std::string_view b) { return nfc(a) == nfc(b); }

// -------------------------------------------------------------- character sets

// ISO 8859-1 bytes as UTF-8.
std::string decodeLatin1(std::string_view bytes);
// `bytes` decoded strictly from `charset` (an IANA name) to UTF-8, or none
// when a byte sequence is not valid in it.
std::optional<std::string> decodeFromCharset(std::string_view bytes, const std::string& charset);
// The preferred name (MIME, else IANA) of a character set known by `name`,
// or none.
std::optional<std::string> registeredCharsetName(const std::string& name);

// Text encoded strictly in one character set: a character it cannot hold
// makes the whole text unencodable rather than silently replaced.
class CharsetEncoder {
 public:
  // An unknown `charset` encodes as ISO 8859-1.
  explicit CharsetEncoder(const std::string& charset);
  ~CharsetEncoder();
  CharsetEncoder(const CharsetEncoder&) = delete;
  CharsetEncoder& operator=(const CharsetEncoder&) = delete;
  bool valid() const { return impl_ != nullptr; }
  std::optional<std::string> encode(std::string_view utf8);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tessa
