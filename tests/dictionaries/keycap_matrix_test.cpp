#include "dictionaries/keycap_matrix.h"

#include <gtest/gtest.h>

#include "base/unicode.h"

namespace tessa {
namespace {

namespace K = KeyboardKeycapMatrix;

std::u32string list(const std::vector<char32_t>& v) { return std::u32string(v.begin(), v.end()); }
std::u32string spaced(std::u32string_view s) {
  std::u32string out;
  for (char32_t c : s)
    if (c != U' ') out.push_back(c);
  return out;
}

TEST(KeycapMatrix, TablesHaveTheirSizes) {
  EXPECT_EQ(K::qwertyNeighbours().size(), 52u);
  EXPECT_EQ(K::kedmaneeNeighbours().size(), 66u);
  EXPECT_EQ(K::thaiShiftLayer().size(), 33u);
  EXPECT_EQ(K::thaiUnshiftLayer().size(), 33u);
  EXPECT_EQ(K::thaiToUSKey().size(), 33u);
  EXPECT_EQ(K::thaiToUSKey().at(U'ๆ'), U'q');
  EXPECT_EQ(K::thaiToUSKey().at(U'บ'), U'[');
  EXPECT_EQ(K::thaiToUSKey().at(U'ว'), U';');
  EXPECT_EQ(K::thaiToUSKey().at(U'ฝ'), U'/');
}

TEST(KeycapMatrix, NeighbourListsFollowTheRowRuleInOrder) {
  struct Case {
    char32_t key;
    std::u32string_view expected;
  } cases[] = {
      {U's', U"q w e a d z x"}, {U'p', U"o l"},           {U'z', U"a s x"},         {U'q', U"w a s"},
      {U'm', U"n j k"},         {U'l', U"i o p k"},       {U'S', U"Q W E A D Z X"}, {U'ห', U"ๆ ไ ำ ฟ ก ผ ป"},
      {U'ล', U"บ ง"},           {U'ง', U"ย บ ล ว ฝ"},     {U'ฝ', U"ใ ว ง"},         {U'ผ', U"ฟ ห ป"},
      {U'ฆ', U"๐ \" ฎ ฤ ฏ ( )"}, {U'.', U"ญ ฐ ฅ ซ ฦ"},   {U'?', U"์ ๋ ษ ฒ"},       {U'"', U"๐ ฎ ฤ ฆ ฏ"},
      {U'(', U"ฤ ฆ )"},         {U')', U"( ฆ ฏ ฉ"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(fromCodePoint(c.key));
    EXPECT_EQ(list(K::neighbours(c.key)), spaced(c.expected));
  }
  EXPECT_TRUE(K::neighbours(U'5').empty());
  EXPECT_TRUE(K::neighbours(U'[').empty()) << "the US map holds letters only";
  EXPECT_TRUE(K::neighbours(std::string_view("e\u0301")).empty()) << "a multi-code-point character";
  EXPECT_EQ(K::neighbours(std::string_view("z")), (std::vector<std::string>{"a", "s", "x"}));
}

TEST(KeycapMatrix, HandAndRowGoThroughTheThaiLayer) {
  EXPECT_EQ(K::hand(U'q'), K::TypingHand::unknown);
  EXPECT_EQ(K::hand(U'ๆ'), K::TypingHand::left);
  EXPECT_EQ(K::hand(U'๐'), K::TypingHand::left);
  EXPECT_EQ(K::hand(U'ล'), K::TypingHand::right);
  EXPECT_EQ(K::row(U'ล'), 0);
  EXPECT_EQ(K::row(U'ฝ'), 2);
  EXPECT_EQ(K::row(U'q'), std::nullopt);
  // The full stop is shifted ง on the apostrophe key, not the US period key.
  EXPECT_EQ(K::row(U'.'), 1);
  EXPECT_EQ(K::hand(U'.'), K::TypingHand::right);
  EXPECT_EQ(K::hand(U'5'), K::TypingHand::unknown);
}

TEST(KeycapMatrix, SameRowSameHandAndShiftLayerQueries) {
  EXPECT_EQ(list(K::sameRowSameHandNeighbours(U'ห')), U"ฟก");
  EXPECT_EQ(list(K::sameRowSameHandNeighbours(U'ร')), U"ีน");
  EXPECT_TRUE(K::sameRowSameHandNeighbours(U's').empty());
  // เ (g) and ้ (h) share a row but not a hand.
  EXPECT_FALSE(K::isSameRowSameHandNeighbour(U'เ', U'้'));
  EXPECT_TRUE(K::isSameRowSameHandNeighbour(U'ห', U'ก'));

  EXPECT_EQ(list(K::shiftLayerNeighbours(U'ฆ')), spaced(U"๐ \" ฎ ฤ ฏ ( )"));
  EXPECT_TRUE(K::shiftLayerNeighbours(U'ห').empty());
  EXPECT_TRUE(K::isShiftLayerNeighbour(U'ฆ', U'๐'));
  EXPECT_FALSE(K::isShiftLayerNeighbour(U'ห', U'ๆ'));
  EXPECT_FALSE(K::isShiftLayerNeighbour(U'ฆ', U'ๆ')) << "both must be shifted";
}

TEST(KeycapMatrix, ShiftLayersAreInverse) {
  for (const auto& [plain, shifted] : K::thaiShiftLayer()) EXPECT_EQ(K::thaiUnshiftLayer().at(shifted), plain);
}

}  // namespace
}  // namespace tessa
