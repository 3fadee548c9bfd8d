#include "platform/keyboard_tables.h"

#include <array>

#include "base/unicode.h"

namespace tessa {

namespace {
constexpr UsKey kUsKeys[] = {
    {0, "a", "A"},   {1, "s", "S"},   {2, "d", "D"},   {3, "f", "F"},   {4, "h", "H"},     {5, "g", "G"},
    {6, "z", "Z"},   {7, "x", "X"},   {8, "c", "C"},   {9, "v", "V"},   {11, "b", "B"},    {12, "q", "Q"},
    {13, "w", "W"},  {14, "e", "E"},  {15, "r", "R"},  {16, "y", "Y"},  {17, "t", "T"},    {18, "1", "!"},
    {19, "2", "@"},  {20, "3", "#"},  {21, "4", "$"},  {22, "6", "^"},  {23, "5", "%"},    {24, "=", "+"},
    {25, "9", "("},  {26, "7", "&"},  {27, "-", "_"},  {28, "8", "*"},  {29, "0", ")"},    {30, "]", "}"},
    {31, "o", "O"},  {32, "u", "U"},  {33, "[", "{"},  {34, "i", "I"},  {35, "p", "P"},    {37, "l", "L"},
    {38, "j", "J"},  {39, "'", "\""}, {40, "k", "K"},  {41, ";", ":"},  {42, "\\", "|"},   {43, ",", "<"},
    {44, "/", "?"},  {45, "n", "N"},  {46, "m", "M"},  {47, ".", ">"},  {50, "`", "~"},    {49, " ", " "},
};

constexpr std::pair<std::string_view, std::string_view> kEnglishToThai[] = {
    // unshifted letters and punctuation
    {"q", "ๆ"}, {"w", "ไ"}, {"e", "ำ"}, {"r", "พ"}, {"t", "ะ"}, {"y", "ั"}, {"u", "ี"}, {"i", "ร"}, {"o", "น"},
    {"p", "ย"}, {"a", "ฟ"}, {"s", "ห"}, {"d", "ก"}, {"f", "ด"}, {"g", "เ"}, {"h", "้"}, {"j", "่"}, {"k", "า"},
    {"l", "ส"}, {";", "ว"}, {"z", "ผ"}, {"x", "ป"}, {"c", "แ"}, {"v", "อ"}, {"b", "ิ"}, {"n", "ื"}, {"m", "ท"},
    {",", "ม"}, {".", "ใ"}, {"/", "ฝ"},
    // shifted
    {"Q", "๐"}, {"W", "\""}, {"E", "ฎ"}, {"R", "ฑ"}, {"T", "ธ"}, {"Y", "ํ"}, {"U", "๊"}, {"I", "ณ"}, {"O", "ฯ"},
    {"P", "ญ"}, {"A", "ฤ"}, {"S", "ฆ"}, {"D", "ฏ"}, {"F", "โ"}, {"G", "ฌ"}, {"H", "็"}, {"J", "๋"}, {"K", "ษ"},
    {"L", "ศ"}, {":", "ซ"}, {"Z", "("}, {"X", ")"}, {"C", "ฉ"}, {"V", "ฮ"}, {"B", "ฺ"}, {"N", "์"}, {"M", "?"},
    {"<", "ฒ"}, {">", "ฬ"}, {"?", "ฦ"},
    // digits and symbols
    {"1", "ๅ"}, {"2", "/"}, {"3", "_"}, {"4", "ภ"}, {"5", "ถ"}, {"6", "ุ"}, {"7", "ึ"}, {"8", "ค"}, {"9", "ต"},
    {"0", "จ"}, {"-", "ข"}, {"=", "ช"}, {"[", "บ"}, {"]", "ล"}, {"\\", "ฃ"}, {"!", "+"}, {"@", "๑"}, {"#", "๒"},
    {"$", "๓"}, {"%", "๔"}, {"^", "ู"}, {"&", "฿"}, {"*", "๕"}, {"(", "๖"}, {")", "๗"}, {"_", "๘"}, {"+", "๙"},
    {"{", "ฐ"}, {"}", "ฅ"}, {"'", "ง"}, {"\"", "."},
    // typographic quotes
    {"\u2019", "ง"}, {"\u2018", "ง"}, {"\u201C", "."}, {"\u201D", "."},
};
static_assert(std::size(kEnglishToThai) == 95);
}  // namespace

std::span<const UsKey> usKeyTable() { return kUsKeys; }

const UsKey* usKeyForCode(uint16_t keyCode) {
  for (const auto& k : kUsKeys)
    if (k.keyCode == keyCode) return &k;
  return nullptr;
}

std::optional<std::pair<uint16_t, bool>> usKeyForCharacter(std::string_view character) {
  for (const auto& k : kUsKeys) {
    if (k.plain == character) return std::make_pair(k.keyCode, false);
    if (k.shifted == character && k.keyCode != 49) return std::make_pair(k.keyCode, true);
  }
  return std::nullopt;
}

std::span<const std::pair<std::string_view, std::string_view>> englishToThaiPairs() { return kEnglishToThai; }

std::string swapCharacters(std::string_view text, const std::unordered_map<std::string, std::string>& swap) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    std::string ch(nextUtf8Character(text, i));
    auto it = swap.find(ch);
    out += it == swap.end() ? ch : it->second;
  }
  return out;
}

}  // namespace tessa
