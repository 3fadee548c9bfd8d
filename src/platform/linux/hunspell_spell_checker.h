#pragma once
// The system spell checker's stand-in on Linux: the Hunspell library over the
// dictionaries installed in the given folders (Debian installs them in
// /usr/share/hunspell). Its languages are the dictionaries found there, named
// as their files are ("en_US", "th_TH"); a request for "en" or "en-US" uses
// the first dictionary of that language.
//
// Text is split into words the way ICU's word breaker splits it for the
// language (Thai text has no spaces; the breaker's dictionary finds the
// words), and each word is looked up. Ranges are in UTF-16 code units, as the
// platform's spell checker reports them. Safe to call from any thread.
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/spell_checker.h"

class Hunspell;

namespace tessa {

class HunspellSpellChecker final : public SpellChecker {
 public:
  static std::vector<std::filesystem::path> defaultDirectories() { return {"/usr/share/hunspell"}; }

  explicit HunspellSpellChecker(std::vector<std::filesystem::path> directories = defaultDirectories());
  ~HunspellSpellChecker() override;

  std::vector<std::string> availableLanguages() override;
  SpellRange checkSpelling(const std::string& text, int64_t start, const std::string& language) override;
  bool isCorrect(const std::string& word, const std::string& language) override;

  // The dictionary name a language resolves to, or none.
  std::optional<std::string> dictionaryNameFor(const std::string& language);

 private:
  struct Dictionary;
  struct Found {
    std::filesystem::path dic;
    std::filesystem::path aff;
  };
  void scanLocked();
  Dictionary* dictionaryLocked(const std::string& language);
  bool spellLocked(Dictionary& d, const std::string& utf8Word);

  std::vector<std::filesystem::path> directories_;
  std::mutex mutex_;
  bool scanned_ = false;
  std::map<std::string, Found> found_;  // by dictionary name, sorted
  std::map<std::string, std::unique_ptr<Dictionary>> loaded_;
};

}  // namespace tessa
