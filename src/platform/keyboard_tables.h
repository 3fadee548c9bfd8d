#pragma once
// Key tables shared by the engine and the simulated desktop: the US (ABC)
// layout by virtual key code, and the English-to-Thai Kedmanee pairs that
// describe what each US character's key types in the Thai layout.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace tessa {

struct UsKey {
  uint16_t keyCode;
  std::string_view plain;
  std::string_view shifted;
};

// Every printing key of the ANSI US layout.
std::span<const UsKey> usKeyTable();
const UsKey* usKeyForCode(uint16_t keyCode);
// The key and Shift state that type `character` (one UTF-8 character) on a US keyboard.
std::optional<std::pair<uint16_t, bool>> usKeyForCharacter(std::string_view character);

// The 95 pairs in their fixed order: unshifted letters and punctuation, then
// shifted, then digits and symbols, then four typographic quotes.
std::span<const std::pair<std::string_view, std::string_view>> englishToThaiPairs();

// `text` with each UTF-8 character replaced through `swap` where it has an
// entry: what was typed read as if typed in the other layout.
std::string swapCharacters(std::string_view text, const std::unordered_map<std::string, std::string>& swap);

}  // namespace tessa
