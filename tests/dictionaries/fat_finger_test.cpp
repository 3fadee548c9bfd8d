#include "dictionaries/fat_finger.h"

#include <gtest/gtest.h>

#include <set>

namespace tessa {

void PrintTo(const FatFingerCorrectionResult& r, std::ostream* os) {
  *os << "(" << r.candidate << ", " << r.originalChar << ", " << r.substitutedChar << ", " << r.index << ")";
}

namespace {

// A validity check over a fixed word list that records every call.
struct Recorder {
  Recorder() = default;
  Recorder(std::initializer_list<std::string> words) : valid(words) {}
  std::set<std::string> valid;
  std::vector<std::string> calls;
  FatFingerCorrector::ValidityCheck check() {
    return [this](const std::string& w, const std::string&) {
      calls.push_back(w);
      return valid.count(w) > 0;
    };
  }
};

TEST(FatFinger, EnglishCandidatesInPositionThenNeighbourOrder) {
  Recorder r{"the", "tye"};
  auto results = FatFingerCorrector::candidates("tge", "en", r.check());
  EXPECT_EQ(results, (std::vector<FatFingerCorrectionResult>{{"tye", "g", "y", 1}, {"the", "g", "h", 1}}));
  // The word itself first, then every distinct candidate exactly once.
  EXPECT_EQ(r.calls, (std::vector<std::string>{"tge", "rge", "yge", "fge", "gge", "hge", "tre", "tte", "tye", "tfe",
                                               "the", "tve", "tbe", "tgw", "tgr", "tgs", "tgd", "tgf"}));
  EXPECT_FALSE(FatFingerCorrector::correction("tge", "en", Recorder{"the", "tye"}.check()));
}

TEST(FatFinger, CorrectionNeedsExactlyOneCandidate) {
  Recorder one{"the"};
  EXPECT_EQ(FatFingerCorrector::correction(" tge\n", "en", one.check()),
            (FatFingerCorrectionResult{"the", "g", "h", 1}));
  Recorder none;
  EXPECT_FALSE(FatFingerCorrector::correction("tge", "en", none.check()));
  Recorder upper{"The"};
  EXPECT_EQ(FatFingerCorrector::candidates("Tge", "en", upper.check()),
            (std::vector<FatFingerCorrectionResult>{{"The", "g", "h", 1}}));
}

TEST(FatFinger, LengthLimitsAndValidWordsNeverReachTheCheckNeedlessly) {
  Recorder r;
  EXPECT_TRUE(FatFingerCorrector::candidates("te", "en", r.check()).empty());
  EXPECT_TRUE(FatFingerCorrector::candidates(std::string(26, 'a'), "en", r.check()).empty());
  EXPECT_TRUE(r.calls.empty());
  FatFingerCorrector::candidates(std::string(25, 'a'), "en", r.check());
  EXPECT_FALSE(r.calls.empty());
  Recorder r3;
  FatFingerCorrector::candidates("abc", "en", r3.check());
  EXPECT_GT(r3.calls.size(), 1u);

  Recorder valid{"hello", "jello"};
  EXPECT_TRUE(FatFingerCorrector::candidates("hello", "en", valid.check()).empty());
  EXPECT_EQ(valid.calls, std::vector<std::string>{"hello"});
}

TEST(FatFinger, CharactersAreUserPerceived) {
  // "tgé" with é as e + combining acute: three characters, the last without
  // neighbours.
  Recorder r{"the\u0301"};
  auto results = FatFingerCorrector::candidates("tge\u0301", "en", r.check());
  EXPECT_EQ(results, (std::vector<FatFingerCorrectionResult>{{"th" "e\u0301", "g", "h", 1}}));
  for (const auto& c : r.calls) EXPECT_NE(c.find("e\u0301"), std::string::npos) << c;
  // Digits have no neighbours; a word of only digits yields nothing to check.
  Recorder digits;
  FatFingerCorrector::candidates("123", "en", digits.check());
  EXPECT_EQ(digits.calls.size(), 1u);
  // Invalid UTF-8 is text too: no crash.
  Recorder broken;
  FatFingerCorrector::candidates("ab\xff\xfe", "en", broken.check());
}

TEST(FatFinger, ThaiWorksOnCodePointsWithSaraAmNormalised) {
  Recorder r{"ไก่", "ไผ่"};
  auto results = FatFingerCorrector::candidates("ไห่", "th", r.check());
  EXPECT_EQ(results, (std::vector<FatFingerCorrectionResult>{{"ไก่", "ห", "ก", 1}, {"ไผ่", "ห", "ผ", 1}}));
  EXPECT_EQ(r.calls, (std::vector<std::string>{"ไห่", "ๆห่", "ำห่", "ฟห่", "หห่", "กห่", "ไๆ่", "ไไ่", "ไ่ำ", "ไฟ่",
                                               "ไก่", "ไผ่", "ไป่", "ไหั", "ไหี", "ไหร", "ไห้", "ไหา", "ไหื", "ไหท"}));
  EXPECT_EQ(FatFingerCorrector::correction("ไห่", "th", Recorder{"ไก่"}.check()),
            (FatFingerCorrectionResult{"ไก่", "ห", "ก", 1}));
}

TEST(FatFinger, ThaiCandidatesNeverBeginWithAMarkAboveOrBelowTheLine) {
  Recorder r;
  EXPECT_TRUE(FatFingerCorrector::candidates("รกด", "th", r.check()).empty());
  ASSERT_EQ(r.calls.size(), 18u);
  EXPECT_EQ(r.calls[1], "นกด");
  EXPECT_EQ(r.calls[2], "ากด");
  EXPECT_EQ(r.calls[3], "สกด");
  for (const auto& c : r.calls) {
    EXPECT_NE(c.rfind("ี", 0), 0u) << c;
    EXPECT_NE(c.rfind("่", 0), 0u) << c;
  }
  // Counted in code points: two code points are too short, even if they
  // would make one user-perceived character.
  Recorder shortThai;
  FatFingerCorrector::candidates("ก่", "th", shortThai.check());
  EXPECT_TRUE(shortThai.calls.empty());
  // The same text outside "th" counts characters.
  Recorder asOther;
  FatFingerCorrector::candidates("ก่ก่", "en", asOther.check());
  EXPECT_TRUE(asOther.calls.empty());
}

}  // namespace
}  // namespace tessa
