#pragma once
// The suggested conversion of a copied text that was typed in the wrong
// keyboard layout ("l;ylfu" copied while the English layout was on, meant
// as "สวัสดี"): the same key-for-key rendering the conversions use, kept only
// when the rendering is a word the engine knows and the text as copied is
// not one.
#include <cstdint>
#include <optional>
#include <string>

namespace tessa {

class KeyboardEngine;

struct LayoutConversionSuggestion {
  std::string text;
  // 3: the rendering is in the common word list; 2: only the spell checker
  // takes it. The history shows suggestions above 1.
  int64_t confidence = 0;
};

// None for text that is not one word of one layout, that is itself a known
// word, or whose rendering is not a known word. Asks the spell checker, so it
// runs on the main thread.
std::optional<LayoutConversionSuggestion> suggestLayoutConversion(KeyboardEngine& engine, const std::string& text);

}  // namespace tessa
