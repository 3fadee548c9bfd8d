#include "dictionaries/hunspell_expander.h"

#include <sys/mman.h>

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
#include "base/unicode.h"
#include "dictionaries/hunspell_expander_internal.h"

namespace tessa {

namespace HunspellExpander {
namespace {

using namespace detail;

namespace fs = std::filesystem;

size_t countLines(std::string_view text) {
  size_t lines = 0;
  forEachLine(text, [&](std::string_view) { ++lines; });
  return lines;
}

// ---------------------------------------------------------------------------
// Characters: extended grapheme clusters compared by canonical equivalence.

// Whether a code point always stands alone as a character (no grapheme rule
// joins it to a neighbour) and is unchanged by NFC in any context.
struct CodePointClass {
  bool alone;
  bool normalised;
};

CodePointClass lookUpClass(char32_t c) { return {standsAlone(c), isNfcInert(c)}; }

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
  const char32_t c = decodeUtf8(ch, i);
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
      const char32_t c = decodeUtf8(text, i);
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
        keys_.push_back(nfc(text.substr(bounds_[i], bounds_[i + 1] - bounds_[i])));
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
    const std::vector<size_t> bounds = graphemeBoundaries(text_);
    bounds_.assign(bounds.begin(), bounds.end());
  }

  std::string_view text_;
  bool bytewise_ = true;
  std::vector<uint32_t> bounds_;  // bounds_[i] = start of character i; last = text size
  std::vector<std::string> keys_;  // NFC keys, filled only when the text is not NFC
  std::vector<char32_t> codePoints_;
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
    appendLowercased(form, pendingChars_);
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
  std::string pendingChars_;
  std::vector<size_t> pendingEnds_;
  std::vector<uint64_t> pendingHashes_;
};

}  // namespace

// ---------------------------------------------------------------------------

namespace detail {

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

}  // namespace detail

bool isEntryCountLine(std::string_view line) {
  const size_t blank = line.find_first_of(" \t");
  return isInt64(line.substr(0, blank));
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
    std::string_view line = trimWhitespace(raw, true);
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
    const std::string_view word = trimWhitespace(head);
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
