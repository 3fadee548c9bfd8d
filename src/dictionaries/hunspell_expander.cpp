#include "dictionaries/hunspell_expander.h"

#include <sys/mman.h>

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

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <new>
#include <optional>

#include <fmt/format.h>

#include "base/files.h"

namespace tessa {

namespace HunspellExpander {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// Code points in UTF-8 text. Everything the expander handles internally is
// valid UTF-8 (files are decoded first), but the public helpers accept any
// bytes, so a stray byte decodes as U+FFFD and moves on by one.

char32_t decodeNext(std::string_view s, size_t& i) {
  const auto b0 = static_cast<unsigned char>(s[i]);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  size_t need;
  char32_t c;
  if ((b0 & 0xE0) == 0xC0) {
    need = 1;
    c = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    need = 2;
    c = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    need = 3;
    c = b0 & 0x07;
  } else {
    ++i;
    return 0xFFFD;
  }
  if (i + need >= s.size()) {
    ++i;
    return 0xFFFD;
  }
  for (size_t k = 1; k <= need; ++k) {
    const auto b = static_cast<unsigned char>(s[i + k]);
    if ((b & 0xC0) != 0x80) {
      ++i;
      return 0xFFFD;
    }
    c = (c << 6) | (b & 0x3F);
  }
  i += need + 1;
  return c;
}

// Start of the code point that ends at `end` (> 0).
size_t previousStart(std::string_view s, size_t end) {
  size_t j = end - 1;
  while (j > 0 && end - j < 4 && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80) --j;
  return j;
}

// White space in the sense of "blanks": tab and the Unicode space separators.
bool isBlank(char32_t c) {
  if (c < 0x80) return c == ' ' || c == '\t';
  // No space separator lies between U+00A0 and U+1680: spares the look-up
  // for the letters of most scripts.
  if (c > 0xA0 && c < 0x1680) return false;
  return u_charType(static_cast<UChar32>(c)) == U_SPACE_SEPARATOR;
}

bool isNewline(char32_t c) {
  return (c >= 0x0A && c <= 0x0D) || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isBlankOrNewline(char32_t c) { return isBlank(c) || isNewline(c); }

struct BlankTest {
  bool operator()(char32_t c) const { return isBlank(c); }
};
struct BlankOrNewlineTest {
  bool operator()(char32_t c) const { return isBlankOrNewline(c); }
};

template <class Pred>
std::string_view trimWith(std::string_view s, Pred pred) {
  size_t b = 0;
  while (b < s.size()) {
    const auto c = static_cast<unsigned char>(s[b]);
    if (c < 0x80) {
      if (!pred(c)) break;
      ++b;
      continue;
    }
    size_t j = b;
    if (!pred(decodeNext(s, j))) break;
    b = j;
  }
  size_t e = s.size();
  while (e > b) {
    const auto last = static_cast<unsigned char>(s[e - 1]);
    if (last < 0x80) {
      if (!pred(last)) break;
      --e;
      continue;
    }
    const size_t j = previousStart(s, e);
    size_t k = j;
    const char32_t c = decodeNext(s, k);
    if (k != e || !pred(c)) break;
    e = j;
  }
  return s.substr(b, e - b);
}

bool isFieldSeparator(char c) { return c == ' ' || c == '\t'; }

// Fields separated by runs of spaces or tabs; empty fields are dropped.
void splitFields(std::string_view line, std::vector<std::string_view>& out) {
  out.clear();
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && isFieldSeparator(line[i])) ++i;
    const size_t start = i;
    while (i < line.size() && !isFieldSeparator(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
}

// A directive keyword followed by a field separator at the start of the line.
bool startsWithDirective(std::string_view line, std::string_view keyword) {
  return line.size() > keyword.size() && line.substr(0, keyword.size()) == keyword &&
         isFieldSeparator(line[keyword.size()]);
}

// A decimal integer with an optional sign that fits in 64 bits.
bool isInt64(std::string_view s) {
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  if (s.empty() || s.front() == '+') return false;
  std::int64_t value;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  return ec == std::errc{} && end == s.data() + s.size();
}

size_t countLines(std::string_view text) {
  size_t lines = 0;
  forEachLine(text, [&](std::string_view) { ++lines; });
  return lines;
}

void log(const LogFunction& fn, const std::string& line) {
  if (fn) fn(line);
}

// ---------------------------------------------------------------------------
// Characters: extended grapheme clusters compared by canonical equivalence.

const icu::Normalizer2& nfc() {
  static const icu::Normalizer2* instance = [] {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* n = icu::Normalizer2::getNFCInstance(status);
    if (U_FAILURE(status) || n == nullptr) throw std::runtime_error("ICU NFC normaliser unavailable");
    return n;
  }();
  return *instance;
}

std::string toNfc(std::string_view s) {
  std::string out;
  icu::StringByteSink<std::string> sink(&out);
  UErrorCode status = U_ZERO_ERROR;
  nfc().normalizeUTF8(0, icu::StringPiece(s.data(), static_cast<int32_t>(s.size())), sink, nullptr, status);
  if (U_FAILURE(status)) return std::string(s);
  return out;
}

icu::BreakIterator& characterBreaks() {
  thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> it(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !it) throw std::runtime_error("ICU character break iterator unavailable");
    return it;
  }();
  return *iterator;
}

// Whether a code point always stands alone as a character (no grapheme rule
// joins it to a neighbour) and is unchanged by NFC in any context.
struct CodePointClass {
  bool alone;
  bool normalised;
};

CodePointClass lookUpClass(char32_t c) {
  const auto cp = static_cast<UChar32>(c);
  const auto gcb = u_getIntPropertyValue(cp, UCHAR_GRAPHEME_CLUSTER_BREAK);
  const bool alone = c != '\r' && (gcb == U_GCB_OTHER || gcb == U_GCB_CONTROL || gcb == U_GCB_LF);
  const bool normalised =
      u_getCombiningClass(cp) == 0 && u_getIntPropertyValue(cp, UCHAR_NFC_QUICK_CHECK) == UNORM_YES;
  return {alone, normalised};
}

// Remembered for the Basic Multilingual Plane, where every letter of a real
// dictionary lies: three ICU property look-ups per letter would otherwise be
// a good part of expanding a Cyrillic dictionary.
CodePointClass classify(char32_t c) {
  if (c >= 0x10000) return lookUpClass(c);
  // 0 = not known yet; else 1 | alone << 1 | normalised << 2. Threads that
  // race on an entry store the same value.
  static std::array<std::atomic<uint8_t>, 0x10000> known{};
  uint8_t bits = known[c].load(std::memory_order_relaxed);
  if (bits == 0) {
    const CodePointClass k = lookUpClass(c);
    bits = static_cast<uint8_t>(1 | (k.alone ? 2 : 0) | (k.normalised ? 4 : 0));
    known[c].store(bits, std::memory_order_relaxed);
  }
  return {(bits & 2) != 0, (bits & 4) != 0};
}

constexpr char32_t kSeveralCodePoints = 0xFFFFFFFF;

// The code point of a character that is exactly one code point, else
// kSeveralCodePoints.
char32_t soleCodePoint(std::string_view ch) {
  if (ch.empty()) return kSeveralCodePoints;
  size_t i = 0;
  const char32_t c = decodeNext(ch, i);
  return i == ch.size() ? c : kSeveralCodePoints;
}

// Splits a text into characters. key(i) is the canonical form of character i
// for comparisons; begin(i) its byte offset. ASCII text without CR, the
// common case, is one character per byte and needs no work at all.
class CharSplitter {
 public:
  void assign(std::string_view text) {
    text_ = text;
    bytewise_ = true;
    for (const char ch : text) {
      if (static_cast<unsigned char>(ch) >= 0x80 || ch == '\r') {
        bytewise_ = false;
        break;
      }
    }
    if (bytewise_) return;

    bounds_.clear();
    keys_.clear();
    codePoints_.clear();
    bool simple = true;
    bool normalised = true;
    for (size_t i = 0; i < text.size();) {
      bounds_.push_back(static_cast<uint32_t>(i));
      const char32_t c = decodeNext(text, i);
      codePoints_.push_back(c);
      if (c >= 0x80 || c == '\r') {
        const CodePointClass k = classify(c);
        simple = simple && k.alone;
        normalised = normalised && k.normalised;
      }
    }
    bounds_.push_back(static_cast<uint32_t>(text.size()));
    if (!simple) clusterBounds();
    if (!normalised) {
      keys_.reserve(bounds_.size() - 1);
      for (size_t i = 0; i + 1 < bounds_.size(); ++i)
        keys_.push_back(toNfc(text.substr(bounds_[i], bounds_[i + 1] - bounds_[i])));
    }
    if (!simple || !normalised) {
      codePoints_.resize(bounds_.size() - 1);
      for (size_t i = 0; i + 1 < bounds_.size(); ++i) codePoints_[i] = soleCodePoint(key(i));
    }
  }

  // The code point of character i when it is a single one, else
  // kSeveralCodePoints.
  char32_t codePoint(size_t i) const {
    return bytewise_ ? static_cast<unsigned char>(text_[i]) : codePoints_[i];
  }

  std::string_view text() const { return text_; }
  bool bytewise() const { return bytewise_; }
  size_t size() const { return bytewise_ ? text_.size() : bounds_.size() - 1; }
  size_t begin(size_t i) const { return bytewise_ ? i : bounds_[i]; }
  std::string_view key(size_t i) const {
    if (bytewise_) return text_.substr(i, 1);
    if (!keys_.empty()) return keys_[i];
    return text_.substr(bounds_[i], bounds_[i + 1] - bounds_[i]);
  }

 private:
  void clusterBounds() {
    UErrorCode status = U_ZERO_ERROR;
    UText ut = UTEXT_INITIALIZER;
    utext_openUTF8(&ut, text_.data(), static_cast<int64_t>(text_.size()), &status);
    icu::BreakIterator& it = characterBreaks();
    it.setText(&ut, status);
    if (U_FAILURE(status)) {
      utext_close(&ut);
      throw std::runtime_error("ICU could not segment a word into characters");
    }
    bounds_.clear();
    for (int32_t pos = it.first(); pos != icu::BreakIterator::DONE; pos = it.next())
      bounds_.push_back(static_cast<uint32_t>(pos));
    if (bounds_.empty() || bounds_.back() != text_.size()) bounds_.push_back(static_cast<uint32_t>(text_.size()));
    utext_close(&ut);
  }

  std::string_view text_;
  bool bytewise_ = true;
  std::vector<uint32_t> bounds_;  // bounds_[i] = start of character i; last = text size
  std::vector<std::string> keys_;  // NFC keys, filled only when the text is not NFC
  std::vector<char32_t> codePoints_;
};

std::vector<std::string> characterKeys(std::string_view text) {
  CharSplitter split;
  split.assign(text);
  std::vector<std::string> keys;
  keys.reserve(split.size());
  for (size_t i = 0; i < split.size(); ++i) keys.emplace_back(split.key(i));
  return keys;
}

std::string firstCharacterKey(std::string_view text) {
  CharSplitter split;
  split.assign(text);
  return split.size() == 0 ? std::string() : std::string(split.key(0));
}

// Lower-cases with the locale-independent Unicode default (full) mapping.
class Lowerer {
 public:
  ~Lowerer() {
    if (map_) ucasemap_close(map_);
  }

  // Appends `s` lower-cased to `out`.
  void appendLower(std::string_view s, std::string& out) {
    const size_t start = out.size();
    out.resize(start + s.size());
    char* dest = out.data() + start;
    for (size_t i = 0; i < s.size(); ++i) {
      const auto c = static_cast<unsigned char>(s[i]);
      if (c >= 0x80) {
        out.resize(start + i);
        appendLowerByCodePoint(s.substr(i), out, start, s);
        return;
      }
      dest[i] = static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
  }

 private:
  // The full lower-case mapping equals the simple one code point by code
  // point, except for U+0130 (which becomes two code points) and the capital
  // sigma (which depends on its neighbours); those words, and any invalid
  // UTF-8, go through ICU's full case mapping.
  void appendLowerByCodePoint(std::string_view rest, std::string& out, size_t start, std::string_view whole) {
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
      char32_t lowered;
      if (b0 < 0x80) {
        *d++ = static_cast<char>(b0 >= 'A' && b0 <= 'Z' ? b0 + ('a' - 'A') : b0);
        ++i;
        continue;
      }
      if ((b0 & 0xE0) == 0xC0 && b0 >= 0xC2 && i + 1 < rest.size() &&
          (static_cast<unsigned char>(rest[i + 1]) & 0xC0) == 0x80) {
        lowered = twoByte[((b0 & 0x1F) << 6) | (rest[i + 1] & 0x3F)];
        i += 2;
      } else {
        const size_t before = i;
        const char32_t c = decodeNext(rest, i);
        const bool invalid = c == 0xFFFD && rest.substr(before, 3) != "\xEF\xBF\xBD";
        lowered = invalid ? kContextual : static_cast<char32_t>(u_tolower(static_cast<UChar32>(c)));
      }
      if (lowered == kContextual) {
        out.resize(start);
        appendLowerUnicode(whole, out);
        return;
      }
      d = writeUtf8(lowered, d);
    }
    out.resize(static_cast<size_t>(d - out.data()));
  }

  static char* writeUtf8(char32_t c, char* d) {
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

  void appendLowerUnicode(std::string_view s, std::string& out) {
    UErrorCode status = U_ZERO_ERROR;
    if (!map_) {
      map_ = ucasemap_open("", 0, &status);
      if (U_FAILURE(status)) throw std::runtime_error("ICU case mapping unavailable");
    }
    buffer_.resize(s.size() * 3 + 8);
    for (;;) {
      status = U_ZERO_ERROR;
      const int32_t n = ucasemap_utf8ToLower(map_, buffer_.data(), static_cast<int32_t>(buffer_.size()), s.data(),
                                             static_cast<int32_t>(s.size()), &status);
      if (status == U_BUFFER_OVERFLOW_ERROR) {
        buffer_.resize(static_cast<size_t>(n) + 1);
        continue;
      }
      if (U_FAILURE(status)) throw std::runtime_error("ICU could not lower-case a word");
      out.append(buffer_.data(), static_cast<size_t>(n));
      return;
    }
  }

  UCaseMap* map_ = nullptr;
  std::string buffer_;
};

// ---------------------------------------------------------------------------
// Rules prepared for matching: conditions parsed once instead of at every use
// (the result is the same), strips split into characters.

struct Matcher {
  explicit Matcher(const CharMatcher& m) : kind(m.kind), chars(m.chars) {
    for (const auto& ch : chars) {
      // Which ASCII characters match: lets a word of plain ASCII be tested
      // with one bit lookup per position.
      if (ch.size() == 1) set(static_cast<unsigned char>(ch[0]));
      if (const char32_t c = soleCodePoint(ch); c != kSeveralCodePoints) codePoints.push_back(c);
    }
    if (kind == CharMatcher::Kind::any || kind == CharMatcher::Kind::negatedClass)
      for (auto& word : byteMatches) word = ~word;
    std::sort(codePoints.begin(), codePoints.end());
  }

  bool matchesByte(unsigned char b) const { return (byteMatches[b >> 6] >> (b & 63)) & 1; }

  // A character that is the single code point `c`: classes of many
  // multi-byte letters are common, and comparing numbers beats comparing
  // strings.
  bool matchesCodePoint(char32_t c) const {
    if (c < 0x80) return matchesByte(static_cast<unsigned char>(c));
    switch (kind) {
      case CharMatcher::Kind::any:
        return true;
      case CharMatcher::Kind::literal:
      case CharMatcher::Kind::charClass:
        return std::binary_search(codePoints.begin(), codePoints.end(), c);
      case CharMatcher::Kind::negatedClass:
        return !std::binary_search(codePoints.begin(), codePoints.end(), c);
    }
    return false;
  }

  // Any character, by its canonical key.
  bool matches(std::string_view ch) const {
    if (ch.size() == 1) return matchesByte(static_cast<unsigned char>(ch[0]));
    switch (kind) {
      case CharMatcher::Kind::any:
        return true;
      case CharMatcher::Kind::literal:
      case CharMatcher::Kind::charClass:
        return std::find(chars.begin(), chars.end(), ch) != chars.end();
      case CharMatcher::Kind::negatedClass:
        return std::find(chars.begin(), chars.end(), ch) == chars.end();
    }
    return false;
  }

  void set(unsigned char b) { byteMatches[b >> 6] |= uint64_t{1} << (b & 63); }

  CharMatcher::Kind kind;
  std::vector<std::string> chars;
  std::vector<char32_t> codePoints;  // the members that are one code point, sorted
  std::array<uint64_t, 4> byteMatches{};
};

std::vector<Matcher> compileCondition(std::string_view condition) {
  std::vector<Matcher> out;
  for (const auto& m : parseCondition(condition)) out.emplace_back(m);
  return out;
}

struct Rule {
  explicit Rule(const AffixRule& r)
      : crossProduct(r.crossProduct),
        strip(r.strip),
        affix(r.affix),
        stripKeys(characterKeys(r.strip)),
        condition(compileCondition(r.condition)) {
    CharSplitter split;
    split.assign(strip);
    stripBytewise = split.bytewise();
  }

  bool crossProduct;
  std::string strip;
  std::string affix;
  std::vector<std::string> stripKeys;
  bool stripBytewise = true;
  std::vector<Matcher> condition;
};


bool conditionHolds(const std::vector<Matcher>& condition, const CharSplitter& word, bool atEnd) {
  const size_t m = condition.size();
  const size_t n = word.size();
  if (m == 0) return true;
  if (n < m) return false;
  const size_t base = atEnd ? n - m : 0;
  if (word.bytewise()) {
    const char* text = word.text().data() + base;
    for (size_t i = 0; i < m; ++i)
      if (!condition[i].matchesByte(static_cast<unsigned char>(text[i]))) return false;
    return true;
  }
  for (size_t i = 0; i < m; ++i) {
    const char32_t c = word.codePoint(base + i);
    const bool ok =
        c != kSeveralCodePoints ? condition[i].matchesCodePoint(c) : condition[i].matches(word.key(base + i));
    if (!ok) return false;
  }
  return true;
}

bool endsWithStrip(const Rule& rule, const CharSplitter& word) {
  if (word.bytewise() && rule.stripBytewise) return word.text().ends_with(rule.strip);
  const size_t k = rule.stripKeys.size();
  const size_t n = word.size();
  if (k > n) return false;
  for (size_t j = 0; j < k; ++j)
    if (word.key(n - k + j) != rule.stripKeys[j]) return false;
  return true;
}

bool beginsWithStrip(const Rule& rule, const CharSplitter& word) {
  if (word.bytewise() && rule.stripBytewise) return word.text().starts_with(rule.strip);
  const size_t k = rule.stripKeys.size();
  if (k > word.size()) return false;
  for (size_t j = 0; j < k; ++j)
    if (word.key(j) != rule.stripKeys[j]) return false;
  return true;
}

// The suffixed form of `word` into `out`; false when the rule does not apply.
bool suffixInto(const Rule& rule, const CharSplitter& word, std::string& out) {
  if (!conditionHolds(rule.condition, word, true)) return false;
  if (!rule.strip.empty() && !endsWithStrip(rule, word)) return false;
  const size_t keep = word.begin(word.size() - rule.stripKeys.size());
  out.assign(word.text().substr(0, keep));
  out += rule.affix;
  return true;
}

bool prefixInto(const Rule& rule, const CharSplitter& word, std::string& out) {
  if (!conditionHolds(rule.condition, word, false)) return false;
  if (!rule.strip.empty() && !beginsWithStrip(rule, word)) return false;
  out.assign(rule.affix);
  out += word.text().substr(word.begin(rule.stripKeys.size()));
  return true;
}

// The rules of one flag and kind, in file order, indexed by the code point
// that the word's edge character (the last one for suffixes, the first for
// prefixes) must be for a rule to apply, as its strip or the edge position of
// its condition requires. Large classes test a few rules per word instead of
// hundreds. Conditions and strips are still checked in full.
class RuleGroup {
 public:
  RuleGroup(const std::vector<AffixRule>& rules, bool atEnd) : atEnd_(atEnd) {
    rules_.reserve(rules.size());
    for (const auto& r : rules) rules_.emplace_back(r);
    for (uint32_t j = 0; j < rules_.size(); ++j) {
      const std::optional<std::vector<char32_t>> edge = edgeCodePoints(rules_[j]);
      if (!edge) {
        anyEdge_.push_back(j);
        continue;
      }
      for (const char32_t c : *edge) byEdge_[c].push_back(j);
    }
    // Each indexed list also holds the rules that any edge allows, in order.
    for (auto& [c, list] : byEdge_) {
      std::vector<uint32_t> merged;
      merged.reserve(list.size() + anyEdge_.size());
      std::merge(list.begin(), list.end(), anyEdge_.begin(), anyEdge_.end(), std::back_inserter(merged));
      list = std::move(merged);
    }
  }

  // Calls `f` with every rule that may apply to `word`.
  template <class F>
  void forEachCandidate(const CharSplitter& word, F&& f) const {
    if (word.size() > 0) {
      const char32_t c = word.codePoint(atEnd_ ? word.size() - 1 : 0);
      if (c != kSeveralCodePoints) {
        const auto it = byEdge_.find(c);
        for (const uint32_t j : it != byEdge_.end() ? it->second : anyEdge_) f(rules_[j]);
        return;
      }
    }
    for (const Rule& rule : rules_) f(rule);
  }

 private:
  // The code points the edge character must be one of, or none when any
  // character may do.
  std::optional<std::vector<char32_t>> edgeCodePoints(const Rule& rule) const {
    std::optional<std::vector<char32_t>> allowed;
    if (!rule.stripKeys.empty()) {
      const char32_t c = soleCodePoint(atEnd_ ? rule.stripKeys.back() : rule.stripKeys.front());
      if (c != kSeveralCodePoints) allowed = std::vector<char32_t>{c};
    }
    if (!rule.condition.empty()) {
      const Matcher& m = atEnd_ ? rule.condition.back() : rule.condition.front();
      const bool positive = m.kind == CharMatcher::Kind::literal || m.kind == CharMatcher::Kind::charClass;
      // A member of several code points could match such a character, which
      // the index cannot look up: leave the rule unindexed then.
      if (positive && m.codePoints.size() == m.chars.size()) {
        if (!allowed) {
          allowed = m.codePoints;
        } else {
          std::vector<char32_t> both;
          for (const char32_t c : *allowed)
            if (std::binary_search(m.codePoints.begin(), m.codePoints.end(), c)) both.push_back(c);
          allowed = std::move(both);
        }
      }
    }
    if (allowed) {
      std::sort(allowed->begin(), allowed->end());
      allowed->erase(std::unique(allowed->begin(), allowed->end()), allowed->end());
    }
    return allowed;
  }

  bool atEnd_;
  std::vector<Rule> rules_;
  std::unordered_map<char32_t, std::vector<uint32_t>> byEdge_;
  std::vector<uint32_t> anyEdge_;
};

struct FlagRules {
  const RuleGroup* prefixes = nullptr;
  const RuleGroup* suffixes = nullptr;
};

class RuleTable {
 public:
  explicit RuleTable(const ParsedAffix& affix) {
    add(affix.prefixes, prefixes_, &FlagRules::prefixes, false);
    add(affix.suffixes, suffixes_, &FlagRules::suffixes, true);
  }

  FlagRules find(std::string_view flag) const {
    if (flag.size() == 1) return bytes_[static_cast<unsigned char>(flag[0])];
    const auto it = other_.find(std::string(flag));
    return it == other_.end() ? FlagRules{} : it->second;
  }

 private:
  void add(const std::unordered_map<std::string, std::vector<AffixRule>>& source,
           std::unordered_map<std::string, RuleGroup>& store, const RuleGroup* FlagRules::*slot, bool atEnd) {
    for (const auto& [flag, rules] : source) {
      const RuleGroup& group = store.try_emplace(flag, rules, atEnd).first->second;
      // Element addresses of an unordered_map survive later insertions.
      if (flag.size() == 1)
        bytes_[static_cast<unsigned char>(flag[0])].*slot = &group;
      else
        other_[flag].*slot = &group;
    }
  }

  std::unordered_map<std::string, RuleGroup> prefixes_;
  std::unordered_map<std::string, RuleGroup> suffixes_;
  std::array<FlagRules, 256> bytes_{};
  std::unordered_map<std::string, FlagRules> other_;
};

class Expander {
 public:
  Expander(const ParsedAffix& affix, size_t maxForms, WordFormSet& forms)
      : table_(affix), needAffix_(affix.needAffixFlag), maxForms_(maxForms), forms_(forms) {}

  void addEntry(std::string_view word, std::string_view flags) {
    flags_.assign(flags);
    suffixGroups_.clear();
    prefixGroups_.clear();
    bool needsAffix = false;
    for (size_t i = 0; i < flags_.size(); ++i) {
      const std::string_view flag = flags_.key(i);
      if (needAffix_ && flag == *needAffix_) needsAffix = true;
      const FlagRules rules = table_.find(flag);
      if (rules.suffixes) suffixGroups_.push_back(rules.suffixes);
      if (rules.prefixes) prefixGroups_.push_back(rules.prefixes);
    }

    if (!needsAffix) add(word);
    if (suffixGroups_.empty() && prefixGroups_.empty()) return;
    word_.assign(word);

    for (const RuleGroup* group : suffixGroups_)
      group->forEachCandidate(word_, [&](const Rule& rule) {
        if (suffixInto(rule, word_, form_)) add(form_);
      });

    for (const RuleGroup* group : prefixGroups_) {
      group->forEachCandidate(word_, [&](const Rule& rule) {
        if (!prefixInto(rule, word_, prefixed_)) return;
        add(prefixed_);
        if (!rule.crossProduct || suffixGroups_.empty()) return;
        prefixedSplit_.assign(prefixed_);
        for (const RuleGroup* suffixes : suffixGroups_)
          suffixes->forEachCandidate(prefixedSplit_, [&](const Rule& suffix) {
            if (suffix.crossProduct && suffixInto(suffix, prefixedSplit_, form_)) add(form_);
          });
      });
    }
  }

  // Inserts the forms still waiting in the batch; throws when the set has
  // grown past the cap.
  void flush() {
    const size_t n = pendingEnds_.size();
    pendingHashes_.resize(n);
    for (size_t i = 0; i < n; ++i) {
      pendingHashes_[i] = WordFormSet::hashOf(pending(i));
      forms_.prefetch(pendingHashes_[i]);
    }
    for (size_t i = 0; i < n; ++i) forms_.insert(pending(i), pendingHashes_[i]);
    pendingChars_.clear();
    pendingEnds_.clear();
    if (forms_.size() > maxForms_) throw HunspellExpansionRefused(fmt::format("more than {} forms", maxForms_));
  }

 private:
  // Forms are inserted in batches: hashing a batch first and prefetching
  // the table slots lets the cache misses of a large set overlap.
  static constexpr size_t kBatch = 64;

  void add(std::string_view form) {
    lowerer_.appendLower(form, pendingChars_);
    pendingEnds_.push_back(pendingChars_.size());
    if (pendingEnds_.size() == kBatch) flush();
  }

  std::string_view pending(size_t i) const {
    const size_t begin = i == 0 ? 0 : pendingEnds_[i - 1];
    return std::string_view(pendingChars_).substr(begin, pendingEnds_[i] - begin);
  }

  RuleTable table_;
  std::optional<std::string> needAffix_;
  size_t maxForms_;
  WordFormSet& forms_;
  CharSplitter word_, flags_, prefixedSplit_;
  std::vector<const RuleGroup*> suffixGroups_, prefixGroups_;
  std::string form_, prefixed_;
  Lowerer lowerer_;
  std::string pendingChars_;
  std::vector<size_t> pendingEnds_;
  std::vector<uint64_t> pendingHashes_;
};

// The encoding name on the first line that begins with "SET". Lines end at
// every kind of line break here, and empty lines do not count.
std::optional<std::string> findSetName(std::string_view text) {
  auto lineBreakLength = [&](size_t i) -> size_t {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x0A && c <= 0x0D) return (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
    if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x85) return 2;
    if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80 &&
        (static_cast<unsigned char>(text[i + 2]) == 0xA8 || static_cast<unsigned char>(text[i + 2]) == 0xA9))
      return 3;
    return 0;
  };
  size_t start = 0;
  size_t i = 0;
  while (start <= text.size()) {
    size_t breakLength = 0;
    while (i < text.size() && (breakLength = lineBreakLength(i)) == 0) ++i;
    const std::string_view line = text.substr(start, i - start);
    if (startsWithDirective(line, "SET")) {
      std::vector<std::string_view> pieces;
      splitFields(line.substr(4), pieces);
      if (pieces.empty()) return std::nullopt;
      return std::string(pieces.front());
    }
    if (i >= text.size()) break;
    i += breakLength;
    start = i;
  }
  return std::nullopt;
}

std::optional<std::string> registeredName(const std::string& name) {
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

void replaceAll(std::string& s, std::string_view from, std::string_view to) {
  for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size()))
    s.replace(pos, from.size(), to);
}

}  // namespace

// ---------------------------------------------------------------------------

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
    const unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    size_t need;
    unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      need = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      need = 2;
      if (c == 0xE0) lo = 0xA0;  // no overlong forms
      if (c == 0xED) hi = 0x9F;  // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
      need = 3;
      if (c == 0xF0) lo = 0x90;
      if (c == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
    } else {
      return false;
    }
    if (n - i <= need) return false;
    if (s[i + 1] < lo || s[i + 1] > hi) return false;
    for (size_t k = 2; k <= need; ++k)
      if ((s[i + k] & 0xC0) != 0x80) return false;
    i += need + 1;
  }
  return true;
}

std::string decodeLatin1(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 4);
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out.push_back(ch);
    } else {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

std::optional<std::string> decode(std::string_view bytes, const std::string& encodingName) {
  if (bytes.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max() / 2 - 2)) return std::nullopt;
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<UConverter, decltype(&ucnv_close)> converter(ucnv_open(encodingName.c_str(), &status), ucnv_close);
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

std::optional<std::string> encoding(std::string_view name) {
  icu::UnicodeString unicodeName =
      icu::UnicodeString::fromUTF8(icu::StringPiece(name.data(), static_cast<int32_t>(name.size())));
  unicodeName.toUpper(icu::Locale::getRoot());
  std::string upper;
  unicodeName.toUTF8String(upper);
  replaceAll(upper, "MICROSOFT-", "");
  std::string normalised(trimWith(upper, BlankOrNewlineTest{}));
  if (normalised.starts_with("ISO8859")) replaceAll(normalised, "ISO8859", "ISO-8859");
  const std::string beforeCodePage = normalised;
  if (normalised.starts_with("CP")) normalised = "WINDOWS-" + normalised.substr(2);

  if (auto found = registeredName(normalised)) return found;
  // "CP850" is no Windows code page: the name as written is the IBM one.
  if (normalised != beforeCodePage)
    if (auto found = registeredName(beforeCodePage)) return found;
  // The one name the Hunspell format documents that IANA does not register.
  if (normalised == "TIS620-2533") return registeredName("TIS-620");
  return std::nullopt;
}

bool isEntryCountLine(std::string_view line) {
  const size_t blank = line.find_first_of(" \t");
  return isInt64(line.substr(0, blank));
}

std::optional<std::string> readHunspellFile(const fs::path& file, std::optional<std::string_view> affText,
                                            const LogFunction& logFn, std::string* error) {
  ReadFileResult read = readFileWithin(file, kMaxWordFileBytes);
  if (!read) {
    if (error) *error = read.tooLarge ? read.error : "cannot read " + file.string();
    return std::nullopt;
  }
  std::optional<std::string>& contents = read.contents;
  // A UTF-8 byte-order mark would otherwise hide the first line's directive
  // or turn the entry count into a word.
  if (contents->starts_with("\xEF\xBB\xBF")) contents->erase(0, 3);
  if (isValidUtf8(*contents)) return contents;
  const std::string_view bytes = *contents;

  std::string latin1;
  std::string_view setText;
  if (affText) {
    setText = *affText;
  } else {
    latin1 = decodeLatin1(bytes);
    setText = latin1;
  }
  if (const auto name = findSetName(setText)) {
    if (const auto charset = encoding(*name)) {
      if (auto text = decode(bytes, *charset)) {
        if (std::string_view(*text).starts_with("\xEF\xBB\xBF")) text->erase(0, 3);
        return text;
      }
      log(logFn, fmt::format("{} is not valid {}; reading it as ISO 8859-1", file.filename().string(), *charset));
    } else {
      log(logFn, fmt::format("Unknown character set \"{}\" on the SET line; reading {} as ISO 8859-1", *name,
                             file.filename().string()));
    }
  }
  return affText ? decodeLatin1(bytes) : latin1;
}

ParsedAffix parseAffix(std::string_view affText) {
  ParsedAffix parsed;
  // The cross-product mark of each flag, shared by PFX and SFX headers.
  std::unordered_map<std::string, bool> crossProduct;
  std::vector<std::string_view> fields;

  forEachLine(affText, [&](std::string_view raw) {
    const std::string_view line = trimWith(raw, BlankTest{});
    if (line.empty() || line.front() == '#') return;

    if (startsWithDirective(line, "NEEDAFFIX")) {
      const std::string_view flag = trimWith(line.substr(9), BlankTest{});
      if (!flag.empty()) parsed.needAffixFlag = firstCharacterKey(flag);
      return;
    }
    if (startsWithDirective(line, "FLAG")) {
      splitFields(line.substr(4), fields);
      if (!fields.empty() && (fields.front() == "long" || fields.front() == "num"))
        parsed.unsupportedFlagFormat = "FLAG " + std::string(fields.front());
      return;
    }
    if (startsWithDirective(line, "AF")) {
      parsed.unsupportedFlagFormat = "AF";
      return;
    }
    const bool isSuffix = startsWithDirective(line, "SFX");
    if (!isSuffix && !startsWithDirective(line, "PFX")) return;

    splitFields(line, fields);
    if (fields.size() < 4) return;
    const std::string flag = firstCharacterKey(fields[1]);
    auto& rules = isSuffix ? parsed.suffixes : parsed.prefixes;

    if (fields.size() == 4 && (fields[2] == "Y" || fields[2] == "N") && isInt64(fields[3])) {
      rules.try_emplace(flag);
      crossProduct[flag] = fields[2] == "Y";
      return;
    }

    AffixRule rule;
    rule.isSuffix = isSuffix;
    if (fields[2] != "0") rule.strip = std::string(fields[2]);
    const std::string_view affix = fields[3].substr(0, fields[3].find('/'));  // continuation flags are not followed
    if (affix != "0") rule.affix = std::string(affix);
    if (fields.size() > 4 && fields[4] != ".") rule.condition = std::string(fields[4]);
    const auto mark = crossProduct.find(flag);
    rule.crossProduct = mark != crossProduct.end() && mark->second;
    rules[flag].push_back(std::move(rule));
  });
  return parsed;
}

WordFormSet expandDictionary(std::string_view dicText, const ParsedAffix& affix, std::size_t maxForms) {
  if (affix.unsupportedFlagFormat)
    throw HunspellExpansionRefused("the affix file uses " + *affix.unsupportedFlagFormat +
                                   ", which this expander does not read");

  WordFormSet forms;
  // Room for two forms per line up front. Growing the set later never hashes
  // a word again, so a larger guess would only cost memory that a small
  // dictionary never uses.
  const size_t lines = countLines(dicText);
  forms.reserve(std::min(lines, maxForms / 2) * 2);

  Expander expander(affix, maxForms, forms);
  bool firstLine = true;
  forEachLine(dicText, [&](std::string_view raw) {
    const bool isFirst = firstLine;
    firstLine = false;
    std::string_view line = trimWith(raw, BlankOrNewlineTest{});
    if (isFirst && isEntryCountLine(line)) return;
    // A tab ends the entry: morphological fields follow it, and no word or
    // flag contains one.
    line = line.substr(0, line.find('\t'));
    if (line.empty()) return;

    // Split once at the first "/", dropping empty pieces: "/x" is the word x.
    std::string_view head, tail;
    for (size_t start = 0;;) {
      const size_t slash = line.find('/', start);
      if (slash == std::string_view::npos) {
        head = line.substr(start);
        break;
      }
      if (slash > start) {
        head = line.substr(start, slash - start);
        tail = line.substr(slash + 1);
        break;
      }
      start = slash + 1;
    }
    const std::string_view word = trimWith(head, BlankTest{});
    if (word.empty()) return;
    // Flags end at the first space; what follows is morphological data.
    const std::string_view flags = tail.substr(0, tail.find(' '));
    expander.addEntry(word, flags);
  });
  expander.flush();
  return forms;
}

std::optional<std::string> applySuffix(std::string_view word, const AffixRule& rule) {
  const Rule prepared(rule);
  CharSplitter split;
  split.assign(word);
  std::string out;
  if (!suffixInto(prepared, split, out)) return std::nullopt;
  return out;
}

bool matchesCondition(std::string_view word, std::string_view condition, bool isSuffix) {
  CharSplitter split;
  split.assign(word);
  return conditionHolds(compileCondition(condition), split, isSuffix);
}

std::vector<CharMatcher> parseCondition(std::string_view condition) {
  const std::vector<std::string> chars = characterKeys(condition);
  std::vector<CharMatcher> matchers;
  size_t i = 0;
  while (i < chars.size()) {
    const std::string& c = chars[i];
    if (c == ".") {
      matchers.push_back({CharMatcher::Kind::any, {}});
      ++i;
    } else if (c == "[") {
      ++i;
      CharMatcher::Kind kind = CharMatcher::Kind::charClass;
      if (i < chars.size() && chars[i] == "^") {
        kind = CharMatcher::Kind::negatedClass;
        ++i;
      }
      std::vector<std::string> members;
      while (i < chars.size() && chars[i] != "]") members.push_back(chars[i++]);
      if (i < chars.size()) ++i;  // the closing "]"; an unclosed class takes the rest
      matchers.push_back({kind, std::move(members)});
    } else {
      matchers.push_back({CharMatcher::Kind::literal, {c}});
      ++i;
    }
  }
  return matchers;
}

Result expand(const fs::path& dic, const fs::path& aff, const LogFunction& logFn, std::size_t maxForms) {
  const std::string name = dic.stem().string();
  try {
    std::string why;
    const std::optional<std::string> affText = readHunspellFile(aff, std::nullopt, logFn, &why);
    if (!affText) return {{}, why};
    const std::optional<std::string> dicText = readHunspellFile(dic, *affText, logFn, &why);
    if (!dicText) return {{}, why};
    const ParsedAffix parsed = parseAffix(*affText);
    return {expandDictionary(*dicText, parsed, maxForms), std::nullopt};
  } catch (const HunspellExpansionRefused& e) {
    std::string line = fmt::format("Affix expansion of {} refused: {}", name, e.what());
    log(logFn, line);
    return {{}, std::move(line)};
  } catch (const std::bad_alloc&) {
    std::string line = fmt::format("Affix expansion of {} refused: out of memory", name);
    log(logFn, line);
    return {{}, std::move(line)};
  } catch (const std::exception& e) {
    std::string line = fmt::format("Affix expansion of {} failed: {}", name, e.what());
    log(logFn, line);
    return {{}, std::move(line)};
  }
}

}  // namespace HunspellExpander
}  // namespace tessa
