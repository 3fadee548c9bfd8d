#include "platform/linux/hunspell_spell_checker.h"

#include <hunspell.hxx>
#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>

#include <algorithm>

namespace fs = std::filesystem;

namespace tessa {

struct HunspellSpellChecker::Dictionary {
  std::unique_ptr<Hunspell> hunspell;
  UConverter* converter = nullptr;  // none for UTF-8 dictionaries
  std::unique_ptr<icu::BreakIterator> words;
  ~Dictionary() {
    if (converter) ucnv_close(converter);
  }
};

namespace {

std::string lowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// "en-US" and "en_us" name the same thing as "en_US".
std::string normalized(const std::string& language) {
  std::string s = language;
  std::replace(s.begin(), s.end(), '-', '_');
  return lowerAscii(s);
}

std::string languagePart(const std::string& name) {
  auto n = normalized(name);
  return n.substr(0, n.find('_'));
}

}  // namespace

HunspellSpellChecker::HunspellSpellChecker(std::vector<fs::path> directories) : directories_(std::move(directories)) {}

HunspellSpellChecker::~HunspellSpellChecker() = default;

void HunspellSpellChecker::scanLocked() {
  if (scanned_) return;
  scanned_ = true;
  for (const auto& dir : directories_) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
      const fs::path& p = it->path();
      if (p.extension() != ".dic") continue;
      fs::path aff = p;
      aff.replace_extension(".aff");
      std::error_code ec2;
      if (!fs::is_regular_file(aff, ec2)) continue;
      // A folder listed first wins for a name found twice.
      found_.try_emplace(p.stem().string(), Found{p, aff});
    }
  }
}

std::vector<std::string> HunspellSpellChecker::availableLanguages() {
  std::lock_guard lock(mutex_);
  scanLocked();
  std::vector<std::string> out;
  for (const auto& [name, files] : found_) out.push_back(name);
  return out;
}

std::optional<std::string> HunspellSpellChecker::dictionaryNameFor(const std::string& language) {
  std::lock_guard lock(mutex_);
  scanLocked();
  const std::string wanted = normalized(language);
  for (const auto& [name, files] : found_)
    if (normalized(name) == wanted) return name;
  const std::string lang = languagePart(language);
  for (const auto& [name, files] : found_)
    if (languagePart(name) == lang) return name;
  return std::nullopt;
}

HunspellSpellChecker::Dictionary* HunspellSpellChecker::dictionaryLocked(const std::string& language) {
  scanLocked();
  std::optional<std::string> chosen;
  const std::string wanted = normalized(language);
  for (const auto& [name, files] : found_)
    if (normalized(name) == wanted) chosen = name;
  if (!chosen) {
    const std::string lang = languagePart(language);
    for (const auto& [name, files] : found_) {
      if (languagePart(name) == lang) {
        chosen = name;
        break;
      }
    }
  }
  if (!chosen) return nullptr;
  if (auto it = loaded_.find(*chosen); it != loaded_.end()) return it->second.get();

  const Found& files = found_.at(*chosen);
  auto d = std::make_unique<Dictionary>();
  d->hunspell = std::make_unique<Hunspell>(files.aff.c_str(), files.dic.c_str());
  std::string encoding = d->hunspell->get_dic_encoding();
  if (lowerAscii(encoding) != "utf-8" && lowerAscii(encoding) != "utf8") {
    UErrorCode status = U_ZERO_ERROR;
    d->converter = ucnv_open(encoding.c_str(), &status);
    if (U_FAILURE(status)) {
      status = U_ZERO_ERROR;
      d->converter = ucnv_open("ISO-8859-1", &status);
    }
    if (d->converter) {
      status = U_ZERO_ERROR;
      // A character the dictionary's character set cannot hold makes the
      // word misspelled rather than silently replaced.
      ucnv_setFromUCallBack(d->converter, UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    }
  }
  UErrorCode status = U_ZERO_ERROR;
  d->words.reset(icu::BreakIterator::createWordInstance(icu::Locale(languagePart(*chosen).c_str()), status));
  if (U_FAILURE(status)) d->words.reset();
  Dictionary* raw = d.get();
  loaded_[*chosen] = std::move(d);
  return raw;
}

bool HunspellSpellChecker::spellLocked(Dictionary& d, const std::string& utf8Word) {
  if (!d.converter) return d.hunspell->spell(utf8Word);
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(utf8Word);
  std::string encoded(static_cast<size_t>(u.length()) * 4 + 8, '\0');
  UErrorCode status = U_ZERO_ERROR;
  ucnv_reset(d.converter);
  int32_t n = ucnv_fromUChars(d.converter, encoded.data(), static_cast<int32_t>(encoded.size()), u.getBuffer(),
                              u.length(), &status);
  if (U_FAILURE(status)) return false;
  encoded.resize(static_cast<size_t>(n));
  return d.hunspell->spell(encoded);
}

SpellRange HunspellSpellChecker::checkSpelling(const std::string& text, int64_t start, const std::string& language) {
  std::lock_guard lock(mutex_);
  Dictionary* d = dictionaryLocked(language);
  // Without a dictionary nothing can be found wrong.
  if (!d || !d->words) return {};
  icu::UnicodeString u = icu::UnicodeString::fromUTF8(text);
  if (start < 0) start = 0;
  if (start >= u.length()) return {};
  icu::BreakIterator& bi = *d->words;
  bi.setText(u);
  int32_t from = static_cast<int32_t>(start);
  int32_t begin = bi.isBoundary(from) ? from : bi.preceding(from);
  if (begin == icu::BreakIterator::DONE) begin = 0;
  for (int32_t end = bi.following(begin); end != icu::BreakIterator::DONE; begin = end, end = bi.next()) {
    int32_t rule = bi.getRuleStatus();
    // Letters, kana and ideographs are words; numbers, spaces and
    // punctuation are not.
    if (rule < UBRK_WORD_LETTER || rule >= UBRK_WORD_IDEO_LIMIT) continue;
    if (end <= from) continue;
    std::string word;
    u.tempSubStringBetween(begin, end).toUTF8String(word);
    if (!spellLocked(*d, word)) {
      SpellRange r;
      r.location = begin;
      r.length = end - begin;
      return r;
    }
  }
  return {};
}

bool HunspellSpellChecker::isCorrect(const std::string& word, const std::string& language) {
  std::lock_guard lock(mutex_);
  Dictionary* d = dictionaryLocked(language);
  if (!d) return false;
  return spellLocked(*d, word);
}

}  // namespace tessa
