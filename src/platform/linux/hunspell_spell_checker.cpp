#include "platform/linux/hunspell_spell_checker.h"

#include <hunspell.hxx>

#include <algorithm>

#include "base/unicode.h"

namespace fs = std::filesystem;

namespace tessa {

struct HunspellSpellChecker::Dictionary {
  std::unique_ptr<Hunspell> hunspell;
  std::unique_ptr<CharsetEncoder> encoder;  // none for UTF-8 dictionaries
  std::unique_ptr<WordSegmenter> words;
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
    // A character the dictionary's character set cannot hold makes the word
    // misspelled rather than silently replaced.
    d->encoder = std::make_unique<CharsetEncoder>(encoding);
    if (!d->encoder->valid()) d->encoder.reset();
  }
  d->words = std::make_unique<WordSegmenter>(languagePart(*chosen));
  if (!d->words->valid()) d->words.reset();
  Dictionary* raw = d.get();
  loaded_[*chosen] = std::move(d);
  return raw;
}

bool HunspellSpellChecker::spellLocked(Dictionary& d, const std::string& utf8Word) {
  if (!d.encoder) return d.hunspell->spell(utf8Word);
  const std::optional<std::string> encoded = d.encoder->encode(utf8Word);
  return encoded && d.hunspell->spell(*encoded);
}

SpellRange HunspellSpellChecker::checkSpelling(const std::string& text, int64_t start, const std::string& language) {
  std::lock_guard lock(mutex_);
  Dictionary* d = dictionaryLocked(language);
  // Without a dictionary nothing can be found wrong.
  if (!d || !d->words) return {};
  const std::u16string u = toUtf16(text);
  if (start < 0) start = 0;
  if (start >= static_cast<int64_t>(u.size())) return {};
  const auto from = static_cast<size_t>(start);
  // Letters, kana and ideographs are words; numbers, spaces and punctuation
  // are not.
  for (const WordSegmenter::Span& w : d->words->words(u)) {
    if (w.end <= from) continue;
    if (!spellLocked(*d, toUtf8(std::u16string_view(u).substr(w.begin, w.end - w.begin)))) {
      SpellRange r;
      r.location = static_cast<int64_t>(w.begin);
      r.length = static_cast<int64_t>(w.end - w.begin);
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
