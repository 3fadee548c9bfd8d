#pragma once
// Fat-finger candidates: for a word that a validity check rejects, every word
// that differs from it by one key replaced with a physical neighbour and that
// the check accepts.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessa {

struct FatFingerCorrectionResult {
  std::string candidate;
  std::string originalChar;     // the character (for Thai: the code point) replaced
  std::string substitutedChar;  // the neighbour that replaced it
  int index = 0;                // in characters (for Thai: in code points) from 0
  bool operator==(const FatFingerCorrectionResult&) const = default;
};

struct FatFingerCorrector {
  // (word, language code) → whether the word is valid in that language.
  using ValidityCheck = std::function<bool(const std::string& word, const std::string& language)>;

  // In position order, and for one position in neighbour-list order. Words
  // shorter than 3 or longer than 25 characters, and words the check
  // accepts, give none.
  static std::vector<FatFingerCorrectionResult> candidates(std::string_view word, std::string_view language,
                                                           const ValidityCheck& isValid);
  // The one candidate when there is exactly one.
  static std::optional<FatFingerCorrectionResult> correction(std::string_view word, std::string_view language,
                                                            const ValidityCheck& isValid);
};

}  // namespace tessa
