#include "dictionaries/fat_finger.h"

#include <unordered_set>

#include "dictionaries/keycap_matrix.h"
#include "dictionaries/word_lists.h"
#include "base/unicode.h"

namespace tessa {

namespace {

constexpr size_t kMinLength = 3;
constexpr size_t kMaxLength = 25;

// Vowel and tone marks above or below the line: no Thai word begins with one.
bool cannotBeginThaiWord(char32_t c) {
  return c == 0x0E31 || (c >= 0x0E34 && c <= 0x0E3A) || (c >= 0x0E47 && c <= 0x0E4E);
}

}  // namespace

std::vector<FatFingerCorrectionResult> FatFingerCorrector::candidates(std::string_view word,
                                                                      std::string_view language,
                                                                      const ValidityCheck& isValid) {
  std::vector<FatFingerCorrectionResult> results;
  const std::string trimmed = std::string(trimWhitespace(word, true));
  const std::string lang(language);
  const bool thai = language == "th";

  // Thai is counted in code points: its marks are separate keystrokes.
  const std::u32string cps = thai ? codePoints(trimmed) : std::u32string();
  const std::vector<std::string> chars = thai ? std::vector<std::string>() : graphemes(trimmed);
  const size_t length = thai ? cps.size() : chars.size();
  if (length < kMinLength || length > kMaxLength) return results;
  if (isValid(trimmed, lang)) return results;

  std::unordered_set<std::string> tried;
  auto consider = [&](std::string candidate, std::string original, std::string substituted, int index) {
    if (candidate == trimmed || tried.count(candidate)) return;
    tried.insert(candidate);
    if (isValid(candidate, lang))
      results.push_back({std::move(candidate), std::move(original), std::move(substituted), index});
  };

  if (!thai) {
    for (size_t i = 0; i < chars.size(); ++i) {
      for (const std::string& n : KeyboardKeycapMatrix::neighbours(chars[i])) {
        std::string candidate;
        candidate.reserve(trimmed.size() + 4);
        for (size_t k = 0; k < chars.size(); ++k) candidate += (k == i) ? n : chars[k];
        consider(std::move(candidate), chars[i], n, static_cast<int>(i));
      }
    }
    return results;
  }

  for (size_t i = 0; i < cps.size(); ++i) {
    for (char32_t n : KeyboardKeycapMatrix::neighbours(cps[i])) {
      std::u32string replaced = cps;
      replaced[i] = n;
      std::string candidate = normalizeThaiSaraAm(fromCodePoints(replaced));
      std::u32string first = codePoints(candidate);
      if (!first.empty() && cannotBeginThaiWord(first.front())) continue;
      consider(std::move(candidate), fromCodePoint(cps[i]), fromCodePoint(n), static_cast<int>(i));
    }
  }
  return results;
}

std::optional<FatFingerCorrectionResult> FatFingerCorrector::correction(std::string_view word,
                                                                       std::string_view language,
                                                                       const ValidityCheck& isValid) {
  auto all = candidates(word, language, isValid);
  if (all.size() != 1) return std::nullopt;
  return all.front();
}

}  // namespace tessa
