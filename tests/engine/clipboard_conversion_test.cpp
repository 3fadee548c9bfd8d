#include "engine/clipboard_conversion.h"

#include <gtest/gtest.h>

#include "engine/keyboard_engine.h"
#include "engine/word_test_support.h"

namespace tessa::test {
namespace {

class ClipboardConversionTest : public ::testing::Test, public WordEngineFixture {
 protected:
  void SetUp() override {
    spell.languages = {"en", "th"};
    spell.accepts = [](const std::string& text, const std::string& language) {
      return (language == "th" && text == "สวัสดี") || (language == "en" && text == "hello");
    };
    engine = startEngine();
  }
  std::optional<std::string> suggestion(const std::string& text) {
    auto s = suggestLayoutConversion(*engine, text);
    if (!s) return std::nullopt;
    EXPECT_GT(s->confidence, 1) << text;
    return s->text;
  }
  std::shared_ptr<KeyboardEngine> engine;
};

TEST_F(ClipboardConversionTest, AWordTypedInTheWrongLayoutIsReadInTheOtherWhenThatIsAWord) {
  EXPECT_EQ(suggestion("l;ylfu"), "สวัสดี");
  EXPECT_EQ(suggestion("้ำสสน"), "hello");
}

TEST_F(ClipboardConversionTest, TextThatReadsAsTypedOrIsNoSingleWordGetsNone) {
  EXPECT_EQ(suggestion("hello"), std::nullopt) << "a word as copied";
  EXPECT_EQ(suggestion("สวัสดี"), std::nullopt);
  EXPECT_EQ(suggestion("qqqq"), std::nullopt) << "its rendering is no word either";
  EXPECT_EQ(suggestion("l;ylfu l;ylfu"), std::nullopt) << "more than one word";
  EXPECT_EQ(suggestion("12345"), std::nullopt) << "no letter";
  EXPECT_EQ(suggestion("l;ylfuสวัสดี"), std::nullopt) << "two scripts";
  EXPECT_EQ(suggestion(""), std::nullopt);
  EXPECT_EQ(suggestion(std::string(41, 'a')), std::nullopt) << "longer than a word";
}

}  // namespace
}  // namespace tessa::test
