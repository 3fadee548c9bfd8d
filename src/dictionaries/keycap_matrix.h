#pragma once
// The physical facts fat-finger candidates rest on: which key caps are
// neighbours on a US QWERTY keyboard and on the Thai Kedmanee layout, the row
// and typing hand of each key, and the Thai shift layer. The tables are built
// once, on first use (thread-safe), and never change.
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace tessa {

namespace KeyboardKeycapMatrix {

enum class TypingHand { left, right, unknown };

using NeighbourMap = std::unordered_map<char32_t, std::vector<char32_t>>;
using CharacterMap = std::unordered_map<char32_t, char32_t>;

// US letters (both cases) → their neighbours, in the order of the row rule.
const NeighbourMap& qwertyNeighbours();
// Kedmanee key caps and their shifted characters → their neighbours.
const NeighbourMap& kedmaneeNeighbours();
// Unshifted Kedmanee character → the character the same key gives with Shift.
const CharacterMap& thaiShiftLayer();
const CharacterMap& thaiUnshiftLayer();
// Unshifted Kedmanee character → the US character of the same key.
const CharacterMap& thaiToUSKey();
const std::unordered_map<char32_t, int>& rowOfUSKey();
const std::unordered_map<char32_t, TypingHand>& handOfUSKey();

// The US list, else the Kedmanee list, else empty.
const std::vector<char32_t>& neighbours(char32_t c);
// For a user-perceived character given as UTF-8: a character of more than
// one code point has no neighbours.
std::vector<std::string> neighbours(std::string_view character);

TypingHand hand(char32_t c);
std::optional<int> row(char32_t c);
std::vector<char32_t> sameRowSameHandNeighbours(char32_t c);
std::vector<char32_t> shiftLayerNeighbours(char32_t c);
bool isShiftLayerNeighbour(char32_t a, char32_t b);
bool isSameRowSameHandNeighbour(char32_t a, char32_t b);

}  // namespace KeyboardKeycapMatrix

}  // namespace tessa
