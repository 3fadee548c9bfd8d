// The engine's word sources: the ignored-word list with its built-in
// programming words, the common Thai and English lists, the stored local
// dictionaries, the spell-checker probes, the twice-undone word that becomes
// an ignored word, and the sara am normaliser.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/files.h"
#include "base/unicode.h"
#include "dictionaries/vocabulary_store.h"
#include "dictionaries/word_lists.h"
#include "engine/keyboard_engine.h"
#include "engine/hud_notices.h"
#include "engine/conversion_texts.h"
#include "l10n/localization.h"
#include "typing/typing_flow_controller.h"

namespace fs = std::filesystem;

namespace tessa {

namespace {

WordSetRef makeSet(const std::vector<std::string_view>& a, const std::vector<std::string>& b) {
  auto set = std::make_shared<WordSet>();
  set->reserve(a.size() + b.size());
  for (auto w : a) set->insert(w);
  for (const auto& w : b) set->insert(w);
  return set;
}

// The lazy-set protocol: build without the lock, store only when no writer
// changed the set meanwhile.
template <class Build>
WordSetRef lazySet(KeyboardEngine& e, WordSetRef WordSetState::*slot,
                   int64_t WordSetState::*generation, Build build) {
  int64_t noted;
  std::function<void()> hook;
  {
    std::lock_guard lock(e.wordSets.lock);
    if (auto present = e.wordSets.*slot) return present;
    noted = e.wordSets.*generation;
    hook = e.wordSets.duringUnlockedBuild;
  }
  WordSetRef built = build();
  if (hook) hook();
  std::lock_guard lock(e.wordSets.lock);
  if (e.wordSets.*generation == noted) {
    e.wordSets.*slot = built;
    return built;
  }
  if (auto stored = e.wordSets.*slot) return stored;
  return built;
}

// Appends to a file we may not read: the old contents stay as they are.
bool appendToFile(const fs::path& path, const std::string& text, std::string& error) {
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      error = std::strerror(errno);
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0) {
    error = std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

// ------------------------------------------------------------- word files

std::vector<std::string> KeyboardEngine::loadWordFile(const std::string& name) const {
  for (const auto& candidate : wordFileCandidates(name)) {
    std::error_code ec;
    if (!fs::exists(candidate, ec)) continue;
    // Only the first existing file is read, even when it turns out
    // unreadable: a broken user file must not silently fall through to a
    // shipped list of the same name.
    auto text = readFile(candidate, kMaxWordFileBytes);
    if (!text || !isValidUtf8(*text)) return {};
    return parseWordFileText(*text);
  }
  return {};
}

std::string KeyboardEngine::packFileName(const std::string& packName) { return VocabularyStore::packFileName(packName); }

// ------------------------------------------------------ built-in word sets

const WordSet& KeyboardEngine::builtInProgrammingWords() {
  static const WordSet* set = [] {
    auto* s = new WordSet();
    for (auto w : builtInProgrammingWordList()) s->insert(w);
    return s;
  }();
  return *set;
}

const WordSet& KeyboardEngine::builtInCommonEnglishWords() {
  static const WordSet* set = [] {
    auto* s = new WordSet();
    for (auto w : builtInCommonEnglishWordList()) s->insert(w);
    return s;
  }();
  return *set;
}

const WordSet& KeyboardEngine::builtInCommonThaiWords() {
  static const WordSet* set = new WordSet();
  return *set;
}

// ------------------------------------------------------- the ignored words

WordSetRef KeyboardEngine::buildDeveloperWhitelist() const {
  return makeSet(builtInProgrammingWordList(), loadWordFile(kWhitelistFileName));
}

WordSetRef KeyboardEngine::developerWhitelist() {
  return lazySet(*this, &WordSetState::developerWhitelist, &WordSetState::developerWhitelistGeneration,
                 [this] { return buildDeveloperWhitelist(); });
}

void KeyboardEngine::storeDeveloperWhitelist(WordSetRef set) {
  std::lock_guard lock(wordSets.lock);
  wordSets.developerWhitelist = std::move(set);
  wordSets.developerWhitelistGeneration += 1;
}

void KeyboardEngine::rebuildDeveloperWhitelist() { storeDeveloperWhitelist(buildDeveloperWhitelist()); }

bool KeyboardEngine::addToWhitelist(const std::string& word) {
  return addToWhitelistReporting(word) == WhitelistAddResult::added;
}

KeyboardEngine::WhitelistAddResult KeyboardEngine::addToWhitelistReporting(const std::string& word) {
  std::string w = lowercased(trimWhitespace(word, /*lineBreaksToo=*/true));
  if (w.empty()) return WhitelistAddResult::empty;
  if (developerWhitelist()->contains(w)) return WhitelistAddResult::alreadyPresent;

  const fs::path folder = spellingFolder();
  const fs::path file = folder / kWhitelistFileName;
  std::error_code ec;
  if (std::string why; !createPrivateFolders(folder, &why)) log("addToWhitelist: could not create " + why);

  // Only a missing file counts as empty. A file that exists is kept whole:
  // when it can be read (whatever its encoding) the word is added after its
  // bytes; when it cannot, the word is appended without reading it.
  std::string error;
  bool written = false;
  if (!fs::exists(file, ec)) {
    auto result = writeFileAtomically(file, w + "\n");
    written = result.ok;
    error = result.error;
  } else if (auto old = readFile(file, kMaxWordFileBytes)) {
    std::string text = *old;
    if (!text.empty() && text.back() != '\n') text += '\n';
    text += w + "\n";
    auto result = writeFileAtomically(file, text);
    written = result.ok;
    error = result.error;
  } else {
    // The file's last byte is unknown: a leading line break at worst leaves
    // an empty line, which the reader skips.
    written = appendToFile(file, "\n" + w + "\n", error);
  }
  if (!written) {
    log("addToWhitelist: could not write " + file.string() + ": " + error);
    return WhitelistAddResult::notSaved;
  }

  std::lock_guard lock(wordSets.lock);
  if (wordSets.developerWhitelist) {
    auto grown = std::make_shared<WordSet>(*wordSets.developerWhitelist);
    grown->insert(w);
    wordSets.developerWhitelist = std::move(grown);
  }
  wordSets.developerWhitelistGeneration += 1;
  return WhitelistAddResult::added;
}

// ------------------------------------------------------- the common words

namespace {
// A shipped list that cannot be found leaves the common words short: say
// where it was looked for, once per load.
void noteMissingShippedList(KeyboardEngine& engine, const std::string& name) {
  fs::path p(name);
  if (bundleResource(p.stem().string(), p.extension().string().substr(1))) return;
  std::string looked;
  for (const auto& folder : bundleResourceCandidates()) looked += (looked.empty() ? "" : ", ") + folder.string();
  engine.log("Word list " + name + " was not found among the shipped resources (looked in: " +
             (looked.empty() ? std::string("nowhere - TESSAVINOR_RESOURCES is empty") : looked) + ")");
}
}  // namespace

WordSetRef KeyboardEngine::commonThaiWords() {
  return lazySet(*this, &WordSetState::commonThaiWords, &WordSetState::commonThaiWordsGeneration, [this] {
    noteMissingShippedList(*this, kCommonThaiFileName);
    auto set = makeSet({}, loadWordFile(kCommonThaiFileName));
    if (!builtInCommonThaiWords().empty()) {
      auto grown = std::make_shared<WordSet>(*set);
      for (auto w : builtInCommonThaiWords()) grown->insert(w);
      return WordSetRef(std::move(grown));
    }
    return set;
  });
}

WordSetRef KeyboardEngine::loadCommonEnglishWords() {
  return lazySet(*this, &WordSetState::commonEnglishWords, &WordSetState::commonEnglishWordsGeneration,
                 [this] {
                   noteMissingShippedList(*this, kCommonEnglishFileName);
                   return makeSet(builtInCommonEnglishWordList(), loadWordFile(kCommonEnglishFileName));
                 });
}

// ---------------------------------------------------- the local dictionaries

WordSetRef KeyboardEngine::localThaiDictionary() const {
  std::lock_guard lock(wordSets.lock);
  return wordSets.localThaiDictionary;
}

bool KeyboardEngine::hasLocalThaiDictionary() const { return !localThaiDictionary()->empty(); }

WordSetRef KeyboardEngine::localDictionary(const std::string& language) const {
  std::lock_guard lock(wordSets.lock);
  auto it = wordSets.localOtherDictionaries.find(language);
  return it == wordSets.localOtherDictionaries.end() ? nullptr : it->second;
}

void KeyboardEngine::setLocalDictionary(const std::string& language, WordSetRef words) {
  if (!words) words = std::make_shared<const WordSet>();
  std::lock_guard lock(wordSets.lock);
  wordSets.localOtherDictionaries[language] = std::move(words);
}

// ---------------------------------------------------------- the script table

const std::map<std::string, ScriptCharacterSet>& KeyboardEngine::scriptCharacterSets() {
  static const auto* sets = [] {
    auto* m = new std::map<std::string, ScriptCharacterSet>();
    for (const auto& row : scriptTable()) {
      std::vector<CodePointRange> valid;
      for (const auto& r : row.ranges) {
        auto scalar = [](char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); };
        if (scalar(r.first) && scalar(r.last)) valid.push_back(r);
      }
      for (const auto& lang : row.languages) (*m)[lang] = ScriptCharacterSet(valid);
    }
    return m;
  }();
  return *sets;
}

const std::map<std::string, std::string>& KeyboardEngine::spellCheckProbeWords() {
  static const auto* probes = [] {
    auto* m = new std::map<std::string, std::string>();
    for (const auto& row : scriptTable())
      for (const auto& lang : row.languages) (*m)[lang] = row.probeCharacter;
    return m;
  }();
  return *probes;
}

// ------------------------------------------------------------ word checks

bool KeyboardEngine::canCheckWords(const std::string& language) {
  if (language == "en" || language == "th") return true;
  if (!scriptCharacterSets().count(language)) return false;
  if (auto local = localDictionary(language); local && !local->empty()) return true;
  return spellCheckerDiscriminates(language);
}

bool KeyboardEngine::spellCheckerDiscriminates(const std::string& language) {
  if (language == "en") return true;
  if (language == "th") return isThaiSpellCheckerAvailable.get();
  {
    std::lock_guard lock(wordSets.lock);
    if (auto it = wordSets.spellCheckerDiscriminates.find(language); it != wordSets.spellCheckerDiscriminates.end())
      return it->second;
  }
  // The probe can only ask the spell checker on the main thread. Elsewhere
  // it answers "no" for now and remembers nothing, so a later call on the
  // main thread still probes.
  if (!isOnMainThread()) return false;
  bool answer = false;
  const auto& probes = spellCheckProbeWords();
  if (auto probe = probes.find(language); probe != probes.end() && isLanguageEnabled(language)) {
    std::string word;
    for (int i = 0; i < 6; ++i) word += probe->second;
    // A checker that takes six repeated letters for a word judges nothing.
    answer = !systemSpellCheckerAccepts(word, language);
  }
  std::lock_guard lock(wordSets.lock);
  wordSets.spellCheckerDiscriminates[language] = answer;
  return answer;
}

bool KeyboardEngine::systemSpellCheckerAccepts(const std::string& text, const std::string& language) {
  if (!isOnMainThread()) return false;
  SpellChecker* checker = platform().spellChecker;
  if (!checker) return false;
  return checker->checkSpelling(text, 0, language).length == 0;
}

std::string KeyboardEngine::normalizeThaiSaraAm(const std::string& word) { return ::tessa::normalizeThaiSaraAm(word); }

// ---------------------------------------------------------- rejection flow

void KeyboardEngine::commitPendingRejection() {
  if (!flow.pendingRejection) return;
  std::string word = std::move(*flow.pendingRejection);
  flow.pendingRejection.reset();
  int count = ++flow.undoCountsForWord[lowercased(word)];
  if (count < 2) return;
  if (!addToWhitelist(word)) return;
  UnifiedMenuPanel* panel = hudPanelFor(*this);
  if (!panel) {
    log("commitPendingRejection: no HUD panel - remembered \"" + word + "\" without a notice");
    return;
  }
  panel->show(DisplayState::status(conversion_texts::kKeptPrefix + word + conversion_texts::kKeptSuffix,
                                   conversion_texts::kWillNotConvertAgainRemoveHint,
                                   "book.fill", HudColor::green),
              3, /*positionBelowStatusButton=*/false, /*positionTopCenter=*/false, /*persistent=*/false);
}

namespace {

// The title's "%@" takes the word.
void vocabularyNotice(KeyboardEngine& e, const conversion_texts::Notice& text, const std::string& icon, HudColor color,
                      const std::string& word = {}) {
  showStatusHUD(e, formatLocalized(e.localized(text.titleKey), {word}), e.localized(text.detailKey), icon, color);
}

}  // namespace

void KeyboardEngine::confirmAddToVocabulary() {
  // The word the user means: the one just restored by an undo, else the one
  // just converted (as typed), else the last word typed.
  std::optional<std::string> word = flow.pendingRejection;
  if (!word && conversion.isUndoPossible() && !conversion.undoStack().empty())
    word = conversion.undoStack().back().original;
  if (!word) word = flow.flowController->lastCommittedWord();
  if (!word || word->empty()) {
    flow.pendingWhitelistConfirmationWord.reset();
    log("confirmAddToVocabulary: no recent word");
    vocabularyNotice(*this, conversion_texts::kNoRecentWord, "book", HudColor::white);
    return;
  }
  if (flow.pendingWhitelistConfirmationWord != word) {
    flow.pendingWhitelistConfirmationWord = word;
    vocabularyNotice(*this, conversion_texts::kPressAgain, "book", HudColor::white, *word);
    return;
  }
  flow.pendingWhitelistConfirmationWord.reset();
  auto result = addToWhitelistReporting(*word);
  if (flow.pendingRejection == word) flow.pendingRejection.reset();
  switch (result) {
    case WhitelistAddResult::added:
      log("confirmAddToVocabulary: added a word to the ignored-word list");
      showStatusHUD(*this, conversion_texts::kKeptPrefix + *word + conversion_texts::kKeptSuffix,
             conversion_texts::kWillNotConvertAgain, "book.fill", HudColor::green);
      break;
    case WhitelistAddResult::notSaved:
      log("confirmAddToVocabulary: the word could not be saved");
      showStatusHUD(*this, formatLocalized(localized("hud_vocab_not_saved"), {*word}), "", "exclamationmark.triangle",
             HudColor::orange);
      break;
    case WhitelistAddResult::empty:
    case WhitelistAddResult::alreadyPresent:
      log("confirmAddToVocabulary: the word was already known");
      vocabularyNotice(*this, conversion_texts::kAlreadyKept, "book.fill", HudColor::white, *word);
      break;
  }
}

}  // namespace tessa
