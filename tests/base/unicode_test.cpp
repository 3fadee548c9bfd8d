#include "base/unicode.h"

#include <gtest/gtest.h>

namespace tessa {
namespace {

// Every reader of UTF-8 in the program walks bytes through the same decoder;
// if one of them drifted from ICU's own conversion, a count taken one way
// would not match a split or an offset taken another.
TEST(Utf8Reading, IllFormedBytesReadAlikeEverywhere) {
  const std::string inputs[] = {
      "plain ก ок 😀",       "\x80",         "a\xFF" "b",   "\xC0\x80",     "\xC2",          "\xE0\x80\x80",
      "\xE0\xB8" "a",         "\xED\xA0\x80", "\xF0\x9F\x98", "\xF4\x90\x80\x80", "\xF5\x80\x80\x80",
      "\xEF\xBF\xBD",         "\xE0\xB8\xB3\x80\xE0",
  };
  for (const std::string& s : inputs) {
    SCOPED_TRACE(testing::PrintToString(s));
    const std::u32string cps = codePoints(s);
    EXPECT_EQ(cps, codePoints(toUtf16(s)));
    EXPECT_EQ(codePointCount(s), cps.size());
    std::string joined;
    size_t pieces = 0;
    for (size_t i = 0; i < s.size(); ++pieces) joined += nextUtf8Character(s, i);
    EXPECT_EQ(joined, s);
    EXPECT_EQ(pieces, cps.size());
    EXPECT_EQ(isValidUtf8(s), fromCodePoints(cps) == s);
    std::string clusters;
    for (const std::string& g : graphemes(s)) clusters += g;
    EXPECT_EQ(clusters, s);  // segmenting keeps the bytes as they were
  }
}

TEST(Utf8Reading, TrimmingHandlesLineBreaksOnlyWhenAsked) {
  EXPECT_EQ(trimWhitespace("\t word \u00A0"), "word");
  EXPECT_EQ(trimWhitespace("\nword\n"), "\nword\n");
  EXPECT_EQ(trimWhitespace("\n word\r\n", true), "word");
  EXPECT_EQ(trimWhitespace(" \xE0\xB8 "), "\xE0\xB8");
  EXPECT_EQ(firstWhitespaceOffset("abc def"), 3u);
  EXPECT_EQ(firstWhitespaceOffset("ab\u00A0c"), 2u);
  EXPECT_EQ(firstWhitespaceOffset("abc"), std::string_view::npos);
}

TEST(CharacterSets, DecodingIsStrict) {
  EXPECT_EQ(decodeFromCharset("\xDA\xDE\xE2", "ISO-8859-5"), "кот");
  EXPECT_EQ(decodeFromCharset("\xE1\xAE", "ISO-8859-7"), std::nullopt);  // 0xAE is unassigned
  EXPECT_EQ(decodeFromCharset("ok\xFF", "UTF-8"), std::nullopt);
  EXPECT_EQ(decodeLatin1("\xDA\x41"), "ÚA");
  EXPECT_TRUE(isValidUtf8("plain ascii ок ก"));
  for (const char* bad : {"\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE0\x80", "a\xFF"})
    EXPECT_FALSE(isValidUtf8(bad)) << bad;
}

}  // namespace
}  // namespace tessa
