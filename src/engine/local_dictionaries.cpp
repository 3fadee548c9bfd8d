// Local Hunspell dictionaries for the languages that have a script of their
// own: found in the application's dictionaries folder or, read in place, in
// the user's spelling folder; checked against the hash recorded when the
// file was first seen; expanded with its affix file or reduced to its stems;
// published per language.
//
// The reading, hashing and expansion of a large dictionary take seconds, so
// all file work runs on the background queue and only the publication runs
// on the main queue.
#include <fmt/format.h>

#include "base/files.h"
#include "dictionaries/dictionary_integrity.h"
#include "base/unicode.h"
#include "dictionaries/word_lists.h"
#include "engine/keyboard_engine.h"

namespace fs = std::filesystem;

namespace tessa {

namespace {

bool fileExists(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

fs::path withExtension(fs::path p, const char* ext) {
  p.replace_extension(ext);
  return p;
}

}  // namespace

std::vector<fs::path> KeyboardEngine::dictionarySearchDirectories() { return {dictionariesFolder(), spellingFolder()}; }

const std::map<std::string, LocalDictionaryName>& KeyboardEngine::localDictionaryNames() {
  return localDictionaryNameTable();
}

void KeyboardEngine::loadLocalWordlists(const std::string& language) {
  // English, Thai and Lao are judged by word sources of their own.
  if (language == "en" || language == "th" || language == "lo") return;
  if (!scriptCharacterSets().count(language)) return;
  {
    std::lock_guard lock(wordSets.lock);
    // Each language is loaded at most once per process, and never twice at
    // the same time.
    if (wordSets.localOtherDictionaries.count(language)) return;
    if (!wordSets.localDictionariesLoading.insert(language).second) return;
  }
  std::weak_ptr<KeyboardEngine> weakEngine = weak();
  auto background = environment().runtime.background;
  auto finish = [weakEngine, language] {
    if (auto e = weakEngine.lock()) {
      e->asyncOnMainWeak([language](KeyboardEngine& eng) {
        std::lock_guard lock(eng.wordSets.lock);
        eng.wordSets.localDictionariesLoading.erase(language);
      });
    }
  };
  auto work = [weakEngine, language, finish] {
    auto e = weakEngine.lock();
    if (!e) return;
    std::vector<std::string> names;
    if (auto row = localDictionaryNames().find(language); row != localDictionaryNames().end())
      names.push_back(row->second.baseName);
    names.push_back(language);
    for (const auto& name : names) {
      for (const auto& folder : dictionarySearchDirectories()) {
        if (!fileExists(folder / (name + ".dic"))) continue;
        e->appLog().info("Found local wordlist " + name + ".dic for '" + language + "', loading");
        e->loadLocalDictionary(language, name);
        finish();
        return;
      }
    }
    // Nothing found: the language is tried again at its next switch.
    finish();
  };
  if (background) {
    background->post(std::move(work));
  } else {
    work();
  }
}

void KeyboardEngine::loadLocalDictionary(const std::string& language, const std::string& baseName) {
  auto words = loadHunspellDictionary(baseName);
  // Not checked this time (the keychain did not answer): publish nothing, so
  // the next switch to the language tries again.
  if (!words) return;
  auto published = std::make_shared<const WordSet>(std::move(*words));
  asyncOnMainWeak([language, published](KeyboardEngine& e) { e.publishLocalDictionary(language, published); });
  if (!published->empty())
    appLog().info("Loaded local dictionary for " + language + " with " + std::to_string(published->size()) +
                  " words from " + baseName + ".dic");
}

void KeyboardEngine::publishLocalDictionary(const std::string& language, WordSetRef words) {
  if (!words) words = std::make_shared<const WordSet>();
  const bool loaded = !words->empty();
  const auto count = static_cast<int64_t>(words->size());
  setLocalDictionary(language, std::move(words));
  isLocalOtherDictionaryLoaded.set(loaded);
  localOtherDictionaryWordCount.set(count);
}

std::optional<WordSet> KeyboardEngine::loadHunspellDictionary(const std::string& baseName) {
  // Files in the user's spelling folder are read where they are: that folder
  // belongs to the user and to every other program that checks spelling.
  std::optional<fs::path> dic;
  for (const auto& folder : dictionarySearchDirectories()) {
    if (fileExists(folder / (baseName + ".dic"))) {
      dic = folder / (baseName + ".dic");
      break;
    }
  }
  if (!dic) return WordSet();

  std::string unreadable;
  switch (DictionaryIntegrity::verify(platform(), *dic, /*requireStoredHash=*/false, &unreadable)) {
    case DictionaryIntegrity::Verdict::trusted:
      break;
    case DictionaryIntegrity::Verdict::keychainUnavailable:
      appLog().error("Wordlist at " + dic->string() +
                     " could not be checked because the keychain did not answer - not loading it this time");
      return std::nullopt;
    case DictionaryIntegrity::Verdict::unreadable:
      // Refused like a changed file, with the reason (a list over the size
      // cap, say) first.
      appLog().error("Wordlist unreadable: " + unreadable);
      [[fallthrough]];
    default:
      appLog().error("Wordlist at " + dic->string() +
                     " does not match what was installed - refusing to load it. Download it again.");
      return WordSet();
  }

  const fs::path aff = withExtension(*dic, ".aff");
  if (fileExists(aff)) {
    auto result = HunspellExpander::expand(*dic, aff, [this](const std::string& line) { log(line); });
    if (result.ok() && !result.forms.empty()) {
      appLog().info("Affix-expanded " + baseName + ": " + std::to_string(result.forms.size()) +
                    " forms from .aff+.dic");
      return std::move(result.forms);
    }
    appLog().error("Affix expansion returned empty for " + baseName + ", falling back to stem-only");
  }

  auto text = readHunspellDictionaryText(*dic);
  if (!text) return WordSet();
  WordSet words;
  bool firstLine = true;
  HunspellExpander::forEachLine(*text, [&](std::string_view raw) {
    std::string_view line = trimWhitespace(raw, /*lineBreaksToo=*/true);
    const bool wasFirst = firstLine;
    firstLine = false;
    if (wasFirst && HunspellExpander::isEntryCountLine(line)) return;
    std::string_view word = line.substr(0, line.find('/'));
    // Morphological fields follow the word after white space.
    word = word.substr(0, firstWhitespaceOffset(word, /*lineBreaksToo=*/true));
    if (word.empty()) return;
    words.insert(lowercased(word));
  });
  return words;
}

std::optional<std::string> KeyboardEngine::readHunspellDictionaryText(const fs::path& dic) {
  // Only the SET line of the affix file matters here, and its name is ASCII.
  std::string affText;
  if (auto affBytes = readFile(withExtension(dic, ".aff"), kMaxWordFileBytes))
    affText = decodeLatin1(*affBytes);
  return HunspellExpander::readHunspellFile(dic, affText);
}

}  // namespace tessa
