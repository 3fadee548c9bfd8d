#include "engine/clipboard_conversion.h"

#include "base/unicode.h"
#include "engine/keyboard_engine.h"
#include "platform/keyboard_tables.h"

namespace tessa {

namespace {

// Longer copies are sentences or code, not one mistyped word.
constexpr size_t kMaxCodePoints = 40;

enum class Script { ascii, thai, mixed };

std::optional<Script> scriptOf(const std::string& text) {
  const std::u32string cps = codePoints(text);
  if (cps.empty() || cps.size() > kMaxCodePoints) return std::nullopt;
  bool ascii = true, thai = true, letter = false;
  for (const char32_t c : cps) {
    if (isWhitespace(c)) return std::nullopt;  // one word only
    ascii = ascii && c > 0x20 && c < 0x7F;
    thai = thai && c >= 0x0E00 && c <= 0x0E7F;
    letter = letter || isLetter(c);
  }
  if (!letter) return std::nullopt;
  if (ascii) return Script::ascii;
  if (thai) return Script::thai;
  return Script::mixed;
}

// 2: the common list (or the user's ignored words) has it; 1: the spell
// checker takes it; 0: unknown.
int englishEvidence(KeyboardEngine& e, const std::string& word) {
  std::string w = lowercased(word);
  if (auto common = e.loadCommonEnglishWords(); common && common->contains(w)) return 2;
  if (auto ignored = e.developerWhitelist(); ignored && ignored->contains(w)) return 2;
  return e.systemSpellCheckerAccepts(w, "en") ? 1 : 0;
}

int thaiEvidence(KeyboardEngine& e, const std::string& word) {
  std::string w = KeyboardEngine::normalizeThaiSaraAm(word);
  if (auto common = e.commonThaiWords(); common && common->contains(w)) return 2;
  return e.systemSpellCheckerAccepts(w, "th") ? 1 : 0;
}

}  // namespace

std::optional<LayoutConversionSuggestion> suggestLayoutConversion(KeyboardEngine& e, const std::string& text) {
  auto script = scriptOf(text);
  if (!script || *script == Script::mixed) return std::nullopt;
  const bool fromEnglish = *script == Script::ascii;
  std::string rendered = swapCharacters(text, fromEnglish ? e.englishToThaiMap() : e.thaiToEnglishMap());
  // Every character must have come from the other layout's key.
  auto renderedScript = scriptOf(rendered);
  if (!renderedScript || *renderedScript != (fromEnglish ? Script::thai : Script::ascii)) return std::nullopt;
  int asCopied = fromEnglish ? englishEvidence(e, text) : thaiEvidence(e, text);
  if (asCopied > 0) return std::nullopt;
  int asRendered = fromEnglish ? thaiEvidence(e, rendered) : englishEvidence(e, rendered);
  if (asRendered == 0) return std::nullopt;
  return LayoutConversionSuggestion{rendered, asRendered == 2 ? 3 : 2};
}

}  // namespace tessa
