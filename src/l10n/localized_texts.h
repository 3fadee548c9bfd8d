#pragma once

#include <span>
#include <string_view>

// The constant lists from which the localised-text table is built. Each list
// holds (key, text) pairs in table order; keys are unique within a list.
// Texts may contain printf-style placeholders ("%@" for a string, "%d" for an
// integer), filled by the caller after lookup, and line feeds.
namespace tessa::l10n {

struct TextPair {
  std::string_view key;
  std::string_view text;
};

std::span<const TextPair> englishTexts();     // "en", 448 pairs
std::span<const TextPair> thaiTexts();        // "th", 448 pairs
std::span<const TextPair> chineseTexts();     // "zh" (Simplified), 116 pairs
std::span<const TextPair> japaneseTexts();    // "ja", 116 pairs
std::span<const TextPair> vietnameseTexts();  // "vi", 134 pairs
std::span<const TextPair> laoTexts();         // "lo", 70 pairs

}  // namespace tessa::l10n
