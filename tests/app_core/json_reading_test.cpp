// Numbers no reader may die on: a literal beyond a double, and a value
// outside the integer it is read into. Every stored or downloaded document
// goes through parseJsonWithin, so a number of either kind takes that file's
// "damaged" road (kept aside, defaults used, a download refused).
#include "base/json_reading.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "app_core/dashboard/community_totals_client.h"
#include "clipboard/copy_cache_item.h"
#include "dictionaries/typo_habit_store.h"
#include "dictionaries/vocabulary_store.h"
#include "engine/value_types.h"
#include "platform/hidutil_mapping.h"
#include "reliability/stability_day.h"
#include "reliability/stability_report.h"

namespace tessa {
namespace {

using nlohmann::json;

TEST(JsonReading, ANumberBeyondADoubleIsAnUnreadableDocumentNotAnAbort) {
  for (const char* text : {"1e999", "-1e999", "[1, 1e400]", R"({"a": {"b": 1E+999}})", "123456789e999999999"}) {
    std::string error;
    EXPECT_FALSE(parseJsonWithin(text, &error)) << text;
    EXPECT_FALSE(error.empty()) << text;
  }
  auto big = parseJsonWithin("[1e308, -1e308, 18446744073709551615, -9223372036854775808]");
  ASSERT_TRUE(big);
  EXPECT_EQ((*big)[0].get<double>(), 1e308);
}

TEST(JsonReading, WhatTheReaderSaysOfAFileThatIsNotTextIsItselfText) {
  // The complaint goes into log lines and the console.
  std::string error;
  EXPECT_FALSE(parseJsonWithin("{\"a\": \"\xff\xfe\n\"}", &error));
  EXPECT_NE(error.find("'\"\\xFF'"), std::string::npos) << error;
  EXPECT_TRUE(std::all_of(error.begin(), error.end(), [](unsigned char c) { return c >= 0x20 && c < 0x7f; })) << error;
}

TEST(JsonReading, IntegersAreReadOnlyInsideTheirRange) {
  auto n = [](const char* text) { return json::parse(text); };
  EXPECT_EQ(jsonInteger<int64_t>(n("-9223372036854775808")), INT64_MIN);
  EXPECT_EQ(jsonInteger<int64_t>(n("9223372036854775807")), INT64_MAX);
  EXPECT_FALSE(jsonInteger<int64_t>(n("9223372036854775808")));
  EXPECT_FALSE(jsonInteger<int64_t>(n("9.3e18")));
  EXPECT_FALSE(jsonInteger<int64_t>(n("1e119")));
  EXPECT_FALSE(jsonInteger<int64_t>(n("-1e119")));
  EXPECT_EQ(jsonInteger<int64_t>(n("-9.223372036854775808e18")), INT64_MIN);
  EXPECT_EQ(jsonInteger<int64_t>(n("3.0")), 3);
  EXPECT_FALSE(jsonInteger<int64_t>(n("3.5")));
  EXPECT_FALSE(jsonInteger<int64_t>(n("\"3\"")));
  EXPECT_FALSE(jsonInteger<int>(n("2147483648")));
  EXPECT_EQ(jsonInteger<int>(n("-2147483648")), INT32_MIN);
  EXPECT_FALSE(jsonInteger<uint64_t>(n("-1")));
  EXPECT_FALSE(jsonInteger<uint64_t>(n("1.8446744073709552e19")));
  EXPECT_EQ(jsonInteger<uint64_t>(n("18446744073709551615")), UINT64_MAX);
  EXPECT_FALSE(jsonFiniteNumber(n("null")));
  EXPECT_EQ(jsonFiniteNumber(n("2.5")), 2.5);
}

TEST(JsonReading, EveryStoredOrDownloadedDocumentTakesAnOutOfRangeNumberAsDamaged) {
  // The profiles and the preferences' other documents.
  EXPECT_FALSE(decodeProfiles(R"([{"name": "a", "appMode": 1e999}])"));
  // The stability statistics: the file is unreadable (the caller keeps it
  // aside); a count out of range inside a readable file counts as none.
  EXPECT_THROW(decodeStabilityDays(R"({"days": [{"day": "2026-01-01", "launches": 1e999}]})"), std::runtime_error);
  auto day = StabilityDay::fromJson(json::parse(R"({"day": "2026-01-01", "launches": 1e300, "tapDisabled": 2})"));
  ASSERT_TRUE(day);
  EXPECT_EQ(day->launches, 0);
  EXPECT_EQ(day->tapDisabled, 2);
  // The typo vault's plaintext.
  std::string why;
  EXPECT_FALSE(TypoHabitStore::decodeHabits(
      R"({"k": {"typo": "a", "corrected": "b", "frequency": 1e999, "updatedAt": 1}})", &why));
  EXPECT_FALSE(TypoHabitStore::decodeHabits(
      R"({"k": {"typo": "a", "corrected": "b", "frequency": 18446744073709551615, "updatedAt": 1}})", &why));
  // The vocabulary manifest from the server: refused.
  EXPECT_FALSE(VocabularyStore::decodeManifest(R"({"version": 1e999, "packs": []})"));
  EXPECT_FALSE(VocabularyStore::decodeManifest(R"({"version": 1e19, "packs": []})"));
  EXPECT_FALSE(VocabularyStore::decodeManifest(
      R"({"version": 1, "packs": [{"name": "a", "url": "https://x/a", "version": 18446744073709551615}]})"));
  ASSERT_TRUE(VocabularyStore::decodeManifest(R"({"version": 2.0, "packs": []})"));
  // A clipboard history entry: a count out of range makes the entry (and so
  // the history) unreadable instead of converting it.
  CopyCacheItem item;
  item.id = "5d3c8f8e-1111-4222-8333-444455556666";
  item.text = "t";
  json entry = item.toJson();
  ASSERT_TRUE(CopyCacheItem::fromJson(entry));
  for (const char* key : {"charCount", "lineCount", "conversionConfidence"}) {
    json bad = entry;
    bad[key] = 1e119;
    EXPECT_FALSE(CopyCacheItem::fromJson(bad)) << key;
    bad[key] = -1e119;
    EXPECT_FALSE(CopyCacheItem::fromJson(bad)) << key;
  }
  json image = entry;
  image["payload"] = {{"kind", "image"}, {"thumbnailBase64", ""}, {"vaultID", "v"}, {"byteSize", 1e300},
                      {"dimensions", ""}};
  EXPECT_FALSE(CopyCacheItem::fromJson(image));
}

// Far past the limit, and past what the stack takes when the value is copied
// or written out: each reader takes it as damaged instead.
TEST(JsonReading, TheRemainingReadersTakeADocumentNestedTooDeeplyAsDamaged) {
  const std::string deep = std::string(100000, '[') + std::string(100000, ']');
  // A journal line of the problem report: the damaged one is left out.
  const std::string good = R"({"ts": 1, "kind": "session.start", "critical": false, "fields": {}})";
  const std::string deepLine = R"({"ts": 2, "kind": "x", "fields": {"v": )" + deep + "}}";
  json events = StabilityReport::journalEvents(good + "\n" + deepLine, "", 10);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]["kind"], "session.start");
  // The report server's answer, and the community totals.
  EXPECT_EQ(std::get<std::string>(StabilityReport::resultFor(200, "", deep, "mine")), "mine");
  EXPECT_EQ(CommunityTotalsClient::read(deep).outcome, CommunityTotalsClient::Reading::Outcome::ignored);
  // The key-mapping tool's property argument.
  auto mapped = HidutilMapping().run({"property", "--set", R"({"UserKeyMapping": )" + deep + "}"});
  EXPECT_NE(mapped.exitStatus, 0);
  EXPECT_NE(mapped.errorOutput.find("Invalid JSON for --set"), std::string::npos) << mapped.errorOutput;
}

}  // namespace
}  // namespace tessa
