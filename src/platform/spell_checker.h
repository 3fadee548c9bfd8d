#pragma once
// The system's spell checker.
#include <cstdint>
#include <string>
#include <vector>

namespace tessa {

struct SpellRange {
  int64_t location = -1;  // -1: nothing misspelled
  int64_t length = 0;
};

class SpellChecker {
 public:
  virtual ~SpellChecker() = default;
  virtual std::vector<std::string> availableLanguages() = 0;
  // The first misspelled range of `text` from `start` in `language`.
  virtual SpellRange checkSpelling(const std::string& text, int64_t start, const std::string& language) = 0;
  virtual bool isCorrect(const std::string& word, const std::string& language) = 0;
};

}  // namespace tessa
