#include "dictionaries/keycap_matrix.h"

#include <algorithm>
#include <array>

#include "base/unicode.h"

namespace tessa::KeyboardKeycapMatrix {

namespace {

using Rows = std::array<std::u32string, 3>;

// Unshifted key caps from the left; row 0 is the top letter row.
const Rows& usRows() {
  static const Rows rows{U"qwertyuiop", U"asdfghjkl", U"zxcvbnm"};
  return rows;
}
const Rows& kedmaneeRows() {
  static const Rows rows{U"ๆไำพะัีรนยบล", U"ฟหกดเ้่าสวง", U"ผปแอิืทมใฝ"};
  return rows;
}
// The US keys the Kedmanee rows sit on, position by position.
const Rows& usKeyRows() {
  static const Rows rows{U"qwertyuiop[]", U"asdfghjkl;'", U"zxcvbnm,./"};
  return rows;
}

// One rule for both layouts: the neighbours of the key at position j, in the
// order a fat finger most plausibly lands on them.
NeighbourMap buildNeighbours(const Rows& rows) {
  NeighbourMap map;
  auto at = [&](int r, int j, std::vector<char32_t>& out) {
    if (j >= 0 && j < static_cast<int>(rows[r].size())) out.push_back(rows[r][j]);
  };
  for (int r = 0; r < 3; ++r) {
    for (int j = 0; j < static_cast<int>(rows[r].size()); ++j) {
      std::vector<char32_t> list;
      if (r == 0) {
        at(0, j - 1, list), at(0, j + 1, list);
        at(1, j - 1, list), at(1, j, list), at(1, j + 1, list);
      } else if (r == 1) {
        at(0, j - 1, list), at(0, j, list), at(0, j + 1, list);
        at(1, j - 1, list), at(1, j + 1, list);
        at(2, j - 1, list), at(2, j, list);
      } else {
        at(2, j - 1, list);
        at(1, j, list), at(1, j + 1, list);
        at(2, j + 1, list);
      }
      map.emplace(rows[r][j], std::move(list));
    }
  }
  return map;
}

char32_t asciiUpper(char32_t c) { return (c >= U'a' && c <= U'z') ? c - U'a' + U'A' : c; }

const std::vector<char32_t>& emptyList() {
  static const std::vector<char32_t> none;
  return none;
}

}  // namespace

const CharacterMap& thaiShiftLayer() {
  static const CharacterMap map{
      {U'ๆ', U'๐'}, {U'ไ', U'"'}, {U'ำ', U'ฎ'}, {U'พ', U'ฑ'}, {U'ะ', U'ธ'}, {U'ั', U'ํ'}, {U'ี', U'๊'},
      {U'ร', U'ณ'}, {U'น', U'ฯ'}, {U'บ', U'ฐ'}, {U'ล', U'ฅ'}, {U'ย', U'ญ'}, {U'ฟ', U'ฤ'}, {U'ห', U'ฆ'},
      {U'ก', U'ฏ'}, {U'ด', U'โ'}, {U'เ', U'ฌ'}, {U'้', U'็'}, {U'่', U'๋'}, {U'า', U'ษ'}, {U'ม', U'ฒ'},
      {U'ง', U'.'}, {U'ส', U'ศ'}, {U'ว', U'ซ'}, {U'ผ', U'('}, {U'ป', U')'}, {U'แ', U'ฉ'}, {U'อ', U'ฮ'},
      {U'ิ', U'ฺ'}, {U'ื', U'์'}, {U'ท', U'?'}, {U'ใ', U'ฬ'}, {U'ฝ', U'ฦ'},
  };
  return map;
}

const CharacterMap& thaiUnshiftLayer() {
  static const CharacterMap map = [] {
    CharacterMap inverse;
    for (const auto& [plain, shifted] : thaiShiftLayer()) inverse.emplace(shifted, plain);
    return inverse;
  }();
  return map;
}

const CharacterMap& thaiToUSKey() {
  static const CharacterMap map = [] {
    CharacterMap m;
    for (int r = 0; r < 3; ++r)
      for (size_t j = 0; j < kedmaneeRows()[r].size(); ++j) m.emplace(kedmaneeRows()[r][j], usKeyRows()[r][j]);
    return m;
  }();
  return map;
}

const std::unordered_map<char32_t, int>& rowOfUSKey() {
  static const std::unordered_map<char32_t, int> map = [] {
    std::unordered_map<char32_t, int> m;
    for (int r = 0; r < 3; ++r)
      for (char32_t c : usKeyRows()[r]) m.emplace(c, r);
    return m;
  }();
  return map;
}

const std::unordered_map<char32_t, TypingHand>& handOfUSKey() {
  static const std::unordered_map<char32_t, TypingHand> map = [] {
    std::unordered_map<char32_t, TypingHand> m;
    for (char32_t c : std::u32string_view(U"qwertasdfgzxcvb")) m.emplace(c, TypingHand::left);
    for (char32_t c : std::u32string_view(U"yuiop[]hjkl;'nm,./")) m.emplace(c, TypingHand::right);
    return m;
  }();
  return map;
}

const NeighbourMap& qwertyNeighbours() {
  static const NeighbourMap map = [] {
    NeighbourMap m = buildNeighbours(usRows());
    NeighbourMap upper;
    for (const auto& [key, list] : m) {
      std::vector<char32_t> up;
      up.reserve(list.size());
      for (char32_t n : list) up.push_back(asciiUpper(n));
      upper.emplace(asciiUpper(key), std::move(up));
    }
    m.merge(upper);
    return m;
  }();
  return map;
}

const NeighbourMap& kedmaneeNeighbours() {
  static const NeighbourMap map = [] {
    NeighbourMap m = buildNeighbours(kedmaneeRows());
    const CharacterMap& shift = thaiShiftLayer();
    NeighbourMap shifted;
    for (const auto& [key, list] : m) {
      auto s = shift.find(key);
      if (s == shift.end()) continue;
      std::vector<char32_t> out;
      for (char32_t n : list)
        if (auto sn = shift.find(n); sn != shift.end()) out.push_back(sn->second);
      shifted.emplace(s->second, std::move(out));
    }
    m.merge(shifted);
    return m;
  }();
  return map;
}

const std::vector<char32_t>& neighbours(char32_t c) {
  if (auto it = qwertyNeighbours().find(c); it != qwertyNeighbours().end()) return it->second;
  if (auto it = kedmaneeNeighbours().find(c); it != kedmaneeNeighbours().end()) return it->second;
  return emptyList();
}

std::vector<std::string> neighbours(std::string_view character) {
  std::u32string cps = codePoints(character);
  std::vector<std::string> out;
  if (cps.size() != 1) return out;
  for (char32_t n : neighbours(cps.front())) out.push_back(fromCodePoint(n));
  return out;
}

namespace {
// The US key a character is typed on, through the Kedmanee layer (a shifted
// Thai character counts as its unshifted key). Latin letters have none.
std::optional<char32_t> usKeyOf(char32_t c) {
  if (auto u = thaiUnshiftLayer().find(c); u != thaiUnshiftLayer().end()) c = u->second;
  auto k = thaiToUSKey().find(c);
  if (k == thaiToUSKey().end()) return std::nullopt;
  return k->second;
}
}  // namespace

TypingHand hand(char32_t c) {
  auto key = usKeyOf(c);
  if (!key) return TypingHand::unknown;
  auto h = handOfUSKey().find(*key);
  return h == handOfUSKey().end() ? TypingHand::unknown : h->second;
}

std::optional<int> row(char32_t c) {
  auto key = usKeyOf(c);
  if (!key) return std::nullopt;
  auto r = rowOfUSKey().find(*key);
  if (r == rowOfUSKey().end()) return std::nullopt;
  return r->second;
}

std::vector<char32_t> sameRowSameHandNeighbours(char32_t c) {
  auto r = row(c);
  if (!r) return {};
  TypingHand h = hand(c);
  std::vector<char32_t> out;
  for (char32_t n : neighbours(c))
    if (row(n) == r && hand(n) == h) out.push_back(n);
  return out;
}

std::vector<char32_t> shiftLayerNeighbours(char32_t c) {
  auto u = thaiUnshiftLayer().find(c);
  if (u == thaiUnshiftLayer().end()) return {};
  std::vector<char32_t> out;
  auto list = kedmaneeNeighbours().find(u->second);
  if (list == kedmaneeNeighbours().end()) return out;
  for (char32_t n : list->second)
    if (auto s = thaiShiftLayer().find(n); s != thaiShiftLayer().end()) out.push_back(s->second);
  return out;
}

bool isShiftLayerNeighbour(char32_t a, char32_t b) {
  const auto& unshift = thaiUnshiftLayer();
  if (!unshift.count(a) || !unshift.count(b)) return false;
  auto list = shiftLayerNeighbours(a);
  return std::find(list.begin(), list.end(), b) != list.end();
}

bool isSameRowSameHandNeighbour(char32_t a, char32_t b) {
  auto list = sameRowSameHandNeighbours(a);
  return std::find(list.begin(), list.end(), b) != list.end();
}

}  // namespace tessa::KeyboardKeycapMatrix
