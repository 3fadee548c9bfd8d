#include "reliability/stability_report.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "base/files.h"
#include "engine/reporting.h"
#include "support/reliability_fixture.h"

namespace tessa {
namespace {

constexpr const char* kUrl = "https://api.test/v1/stability-report";

std::vector<std::string> keysOf(const nlohmann::json& j) {
  std::vector<std::string> keys;
  for (const auto& [k, v] : j.items()) keys.push_back(k);
  return keys;
}

std::string journalLine(int n, const std::string& app = "", const std::string& extraField = "") {
  nlohmann::json fields = nlohmann::json::object();
  fields["n"] = std::to_string(n);
  if (!app.empty()) fields["app"] = app;
  if (!extraField.empty()) fields["reason"] = extraField;
  return nlohmann::json{{"ts", 1000.0 + n}, {"kind", "tap.disabled"}, {"critical", false}, {"fields", fields}}
      .dump();
}

class StabilityReportTest : public ::testing::Test, public test::ReliabilityFixture {
 protected:
  void SetUp() override {
    f.clock.setWallTime(1'798'000'000.0);  // 2026-12-23
    start();
  }
  void writeJournal(const std::string& text, const std::string& suffix = "") {
    std::filesystem::path path = engine->stabilityLogURL().string() + suffix;
    std::filesystem::create_directories(path.parent_path());
    ASSERT_TRUE(writeFileAtomically(path, text));
  }
  std::vector<StabilityReport::Result> results;
};

TEST_F(StabilityReportTest, EachBuildHoldsExactlyTheEightFieldsAndItsOwnIdentifier) {
  std::string preview = StabilityReport::previewJSON(stabilityReportSource(*engine), "lid closed", "a@b.example");
  auto j = nlohmann::json::parse(preview);
  // Sorted keys, in this byte order in the text.
  EXPECT_EQ(keysOf(j), (std::vector<std::string>{"app", "contact", "events", "note", "os", "report_id", "stats", "v"}));
  EXPECT_LT(preview.find("\"app\""), preview.find("\"contact\""));
  EXPECT_LT(preview.find("\"report_id\""), preview.find("\"stats\""));
  EXPECT_NE(preview.find("\n  \"v\": 1"), std::string::npos) << "pretty-printed";
  EXPECT_EQ(j["note"], "lid closed");
  EXPECT_EQ(j["contact"], "a@b.example");
  EXPECT_EQ(j["v"], 1);
  EXPECT_EQ(j["report_id"].get<std::string>().size(), 36u);

  StabilityReport a = StabilityReport::make(stabilityReportSource(*engine), "", "");
  StabilityReport b = StabilityReport::make(stabilityReportSource(*engine), "", "");
  EXPECT_NE(a.reportId, b.reportId);
  EXPECT_NE(a.reportId, j["report_id"]);
  EXPECT_EQ(a.toJson()["note"], "");
  EXPECT_EQ(a.toJson()["contact"], "");
  EXPECT_EQ(a.os["version"], desktop.workspace().operatingSystemVersion());
  EXPECT_TRUE(a.app.contains("ax_granted"));
}

TEST_F(StabilityReportTest, NoFreeFormSettingsOrPathsGoIntoTheReport) {
  engine->excludedBundleIDs.set({"org.example.private-diary"});
  std::string text = StabilityReport::previewJSON(stabilityReportSource(*engine), "", "");
  EXPECT_EQ(text.find("private-diary"), std::string::npos);
  EXPECT_EQ(text.find(f.home.path().string()), std::string::npos);
}

TEST_F(StabilityReportTest, EventsAreTheNewest200WithUnknownApplicationsReducedToOther) {
  std::string older, newer;
  for (int i = 0; i < 60; ++i) older += journalLine(i) + "\n";
  for (int i = 60; i < 250; ++i) newer += journalLine(i, i % 2 ? "org.example.secret-app" : "firefox") + "\n";
  newer += "not json at all\n";
  newer += journalLine(250, "com.apple.TextEdit", "/home/someone/file.txt") + "\n";
  writeJournal(older, ".old");
  writeJournal(newer);

  StabilityReport r = StabilityReport::make(stabilityReportSource(*engine), "", "");
  ASSERT_EQ(r.events.size(), 200u);
  EXPECT_EQ(r.events.front()["fields"]["n"], "51") << "the older copy fills up to 200";
  const auto& last = r.events.back();
  EXPECT_EQ(last["fields"]["n"], "250");
  EXPECT_EQ(last["fields"]["app"], "com.apple.TextEdit");
  EXPECT_EQ(last["fields"]["reason"], "(path removed)");
  std::set<std::string> apps;
  for (const auto& e : r.events)
    if (e["fields"].contains("app")) apps.insert(e["fields"]["app"].get<std::string>());
  EXPECT_EQ(apps, (std::set<std::string>{"firefox", "other", "com.apple.TextEdit"}));
  EXPECT_EQ(r.toJson().dump().find("secret-app"), std::string::npos);

  EXPECT_EQ(StabilityReport::reportableApplication(""), "");
  EXPECT_EQ(StabilityReport::reportableApplication("firefox-nightly"), "other");
  EXPECT_EQ(StabilityReport::reportableApplication("com.apple./etc/passwd"), "other");
}

TEST_F(StabilityReportTest, StatisticsCoverTheLastFourteenDaysOnly) {
  {
    std::lock_guard lock(engine->stability.lock);
    engine->stability.stabilityDays = {
        {"2026-12-09", 1}, {"2026-12-10", 2}, {"2026-12-22", 3}, {"2026-12-23", 4},
    };
  }
  StabilityReport r = StabilityReport::make(stabilityReportSource(*engine), "", "");
  ASSERT_EQ(r.stats.size(), 3u);
  EXPECT_EQ(r.stats[0]["day"], "2026-12-10");
  EXPECT_EQ(r.stats[2]["tap_disabled"], 4);
}

TEST_F(StabilityReportTest, AnswersMapToAnIdentifierOrTheRightText) {
  using R = StabilityReport;
  auto id = [](const R::Result& r) { return std::get_if<std::string>(&r) ? std::get<std::string>(r) : "<error>"; };
  auto why = [](const R::Result& r) {
    return std::get_if<StabilityReportError>(&r) ? std::get<StabilityReportError>(r).description : "<success>";
  };
  EXPECT_EQ(id(R::resultFor(200, "", R"({"report_id":"srv-7"})", "mine")), "srv-7");
  EXPECT_EQ(id(R::resultFor(201, "", "", "mine")), "mine") << "any 2xx is a success";
  EXPECT_EQ(id(R::resultFor(204, "", "", "mine")), "mine");
  EXPECT_EQ(id(R::resultFor(200, "", R"({"report_id":7})", "mine")), "mine");
  EXPECT_EQ(id(R::resultFor(200, "", "<html>", "mine")), "mine");
  EXPECT_EQ(why(R::resultFor(429, "", "", "mine")), "ส่งรายงานเกินจำนวนที่กำหนดสำหรับวันนี้ (สูงสุด 10 รายงาน/วัน)");
  EXPECT_EQ(why(R::resultFor(413, "", "", "mine")), "ขนาดข้อมูลรายงานเกิน 256 KB");
  // An error page carrying the key is still an error.
  EXPECT_EQ(why(R::resultFor(500, "", R"({"report_id":"srv-8"})", "mine")), "เซิร์ฟเวอร์ตอบกลับรหัส 500");
  EXPECT_EQ(why(R::resultFor(302, "", "", "mine")), "เซิร์ฟเวอร์ตอบกลับรหัส 302");
  EXPECT_EQ(why(R::resultFor(0, "", "", "mine")), "เซิร์ฟเวอร์ไม่ตอบสนองหรือไม่ถูกต้อง");
  auto transport = R::resultFor(0, "Connection refused", "", "mine");
  EXPECT_EQ(why(transport), "Connection refused");
  EXPECT_EQ(std::get<StabilityReportError>(transport).domain, StabilityReportError::kTransportDomain);
  EXPECT_EQ(std::get<StabilityReportError>(R::resultFor(429, "", "", "")).domain, "Tessavinor.StabilityReport");
}

TEST_F(StabilityReportTest, SubmitPostsTheCompactSortedReportAndAnswersOnceOnTheMainQueue) {
  HttpResponse ok;
  ok.status = 200;
  ok.body = R"({"report_id":"srv-1"})";
  desktop.http().setResponse(kUrl, ok);
  StabilityReport report = StabilityReport::make(stabilityReportSource(*engine), "note", "");
  StabilityReport::submit(reportUploadEnvironment(*engine), report, kUrl, [this](StabilityReport::Result r) { results.push_back(r); });
  EXPECT_TRUE(results.empty()) << "never answers synchronously";
  f.runner.advance(1.0);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(std::get<std::string>(results[0]), "srv-1");

  auto sent = desktop.http().requests().back();
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.body, report.toJson().dump());
  EXPECT_EQ(sent.headers.at("Content-Type"), "application/json");
  EXPECT_EQ(sent.headers.at("Content-Length"), std::to_string(sent.body.size()));
  EXPECT_DOUBLE_EQ(sent.timeoutSeconds, 15.0);
  EXPECT_FALSE(sent.followRedirects);
}

TEST_F(StabilityReportTest, AReportThatCannotBeEncodedIsPreviewedAsEmptyAndFailsToSend) {
  const std::string notUtf8 = "\xff\xfe";
  EXPECT_EQ(StabilityReport::previewJSON(stabilityReportSource(*engine), notUtf8, ""), "{}");
  StabilityReport report = StabilityReport::make(stabilityReportSource(*engine), notUtf8, "");
  StabilityReport::submit(reportUploadEnvironment(*engine), report, kUrl, [this](StabilityReport::Result r) { results.push_back(r); });
  f.runner.advance(1.0);
  ASSERT_EQ(results.size(), 1u);
  auto error = std::get<StabilityReportError>(results[0]);
  EXPECT_EQ(error.code, 1);
  EXPECT_EQ(error.description, "ไม่สามารถแปลงข้อมูลรายงานเป็น JSON ได้");
  EXPECT_TRUE(desktop.http().requests().empty());
}

}  // namespace
}  // namespace tessa
