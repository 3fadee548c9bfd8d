#include "app_core/dashboard/problem_report_model.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "base/endpoints.h"
#include "platform/linux/curl_http_client.h"
#include "support/http_test_server.h"
#include "support/reliability_fixture.h"

namespace tessa {
namespace {

constexpr const char* kUrl = "https://api.test/v1/stability-report";
const std::string kSaveHint = " (คุณยังสามารถกด \"บันทึกเป็นไฟล์\" เพื่อเก็บไว้เองได้)";

HttpResponse answer(int status, std::string body = {}) {
  HttpResponse r;
  r.status = status;
  r.body = std::move(body);
  return r;
}

class ProblemReportModelTest : public ::testing::Test, public test::ReliabilityFixture {
 protected:
  void SetUp() override {
    start();
    model = ProblemReportModel::create(engine->reports(), engine->context(), kUrl);
    model->onChange = [this] { ++changes; };
  }
  void TearDown() override { model.reset(); }
  std::string idOf(const std::string& json) { return nlohmann::json::parse(json)["report_id"]; }

  std::shared_ptr<ProblemReportModel> model;
  int changes = 0;
};

TEST_F(ProblemReportModelTest, StartsAsAnEmptyFormAndTellsTheReportsLimits) {
  EXPECT_EQ(model->note(), "");
  EXPECT_EQ(model->contact(), "");
  EXPECT_FALSE(model->showPayload());
  EXPECT_FALSE(model->savedLine());
  EXPECT_FALSE(model->submitError());
  EXPECT_FALSE(model->submittedReportID());
  EXPECT_FALSE(model->isSubmitting());
  EXPECT_EQ(ProblemReportModel::create(engine->reports(), engine->context())->endpoint(), Endpoints::stabilityReport());
  EXPECT_EQ(ProblemReportModel::sentLine(),
            "ส่ง: เหตุการณ์สำคัญของระบบแก้คำและรายการล่าสุด ไม่เกิน 200 รายการ · สถิติ 14 วัน · รุ่นแอป, "
            "รุ่นระบบปฏิบัติการ, รุ่นเครื่อง, ผังแป้นพิมพ์ · การตั้งค่าและสถานะสิทธิ์ของ Tessavinor");
}

TEST_F(ProblemReportModelTest, SizeIsKilobytesWithOneDecimalOfAFreshBuild) {
  EXPECT_EQ(ProblemReportModel::kilobytes(2048), "2.0");
  EXPECT_EQ(ProblemReportModel::kilobytes(1000), "1.0");
  EXPECT_EQ(ProblemReportModel::kilobytes(2), "0.0");
  EXPECT_EQ(model->disclosureLabel(), "ดูข้อมูลทั้งหมดที่จะส่ง (" + ProblemReportModel::kilobytes(model->reportJSON().size()) + " KB)");
  std::string before = model->reportJSON();
  model->setNote(std::string(3000, 'x'));
  EXPECT_NE(idOf(model->reportJSON()), idOf(before));
  EXPECT_NE(model->disclosureLabel().find(ProblemReportModel::kilobytes(before.size() + 3000)), std::string::npos)
      << "the size follows the note as it is typed";
}

TEST_F(ProblemReportModelTest, SavingWritesAFreshReportAndAFailureClearsTheSavedLine) {
  std::string shown = model->reportJSON();
  auto path = f.home.path() / "r.json";
  model->saveTo(path);
  ASSERT_TRUE(model->savedLine());
  EXPECT_EQ(*model->savedLine(), "บันทึกแล้ว: " + path.string());
  auto saved = nlohmann::json::parse(*readFile(path, 1 << 20));
  EXPECT_EQ(saved["note"], "");
  EXPECT_EQ(saved["contact"], "");
  EXPECT_NE(saved["report_id"], idOf(shown)) << "a separate build";

  // A place that cannot be written: its folder is a file.
  ASSERT_TRUE(writeFileAtomically(f.home.path() / "a-file", "x"));
  model->saveTo(f.home.path() / "a-file" / "r.json");
  EXPECT_FALSE(model->savedLine()) << "a stale saved line would read as success";
  ASSERT_TRUE(model->saveError());
  EXPECT_EQ(model->saveError()->rfind("บันทึกไม่สำเร็จ: ", 0), 0u);
  EXPECT_TRUE(logged("Problem report: saving failed"));

  model->saveTo(path);
  EXPECT_TRUE(model->savedLine());
  EXPECT_FALSE(model->saveError());
}

TEST_F(ProblemReportModelTest, OneSendAtATimeAndAFailureKeepsTheFormForAnotherTry) {
  desktop.http().setResponse(kUrl, answer(429));
  model->setNote("lid closed");
  EXPECT_TRUE(model->submit());
  EXPECT_TRUE(model->isSubmitting());
  EXPECT_FALSE(model->canSave());
  EXPECT_FALSE(model->submit());
  model->saveTo(f.home.path() / "while-sending.json");
  EXPECT_FALSE(std::filesystem::exists(f.home.path() / "while-sending.json"));
  f.runner.advance(1.0);
  EXPECT_EQ(desktop.http().requests().size(), 1u);
  EXPECT_FALSE(model->isSubmitting());
  ASSERT_TRUE(model->submitError());
  EXPECT_EQ(*model->submitError(),
            "ส่งไม่สำเร็จ: ส่งรายงานเกินจำนวนที่กำหนดสำหรับวันนี้ (สูงสุด 10 รายงาน/วัน)" + kSaveHint);
  EXPECT_EQ(model->note(), "lid closed");
  EXPECT_FALSE(model->submittedReportID());

  // Sending again clears the old error at once.
  desktop.http().setResponse(kUrl, answer(200, R"({"report_id":"srv-42"})"));
  model->submit();
  EXPECT_FALSE(model->submitError());
  f.runner.advance(1.0);
  EXPECT_EQ(model->submittedReportID(), "srv-42");
}

TEST_F(ProblemReportModelTest, SuccessShowsTheAnswersIdentifierAndCopiesItForGood) {
  desktop.http().setResponse(kUrl, answer(200, "{}"));
  std::string previewId = idOf(model->reportJSON());
  model->submit();
  f.runner.advance(1.0);
  ASSERT_TRUE(model->submittedReportID());
  std::string sentId = nlohmann::json::parse(desktop.http().requests().back().body)["report_id"];
  EXPECT_EQ(*model->submittedReportID(), sentId);
  EXPECT_NE(*model->submittedReportID(), previewId);

  std::vector<std::string> pasteboard;
  model->copyReportID([&](const std::string& id) { pasteboard.push_back(id); });
  model->copyReportID([&](const std::string& id) { pasteboard.push_back(id); });
  EXPECT_EQ(pasteboard, (std::vector<std::string>{sentId, sentId}));
  EXPECT_TRUE(model->isCopied());

  model->openPrivacyPolicy();
  EXPECT_EQ(desktop.workspace().openedURLs().back(), Endpoints::privacyPage());
}

TEST_F(ProblemReportModelTest, AnAnswerAfterTheSheetClosedDoesNothing) {
  desktop.http().setLatency(5.0);
  desktop.http().setResponse(kUrl, answer(200));
  model->submit();
  model.reset();
  f.runner.advance(10.0);  // no crash, nothing to update
  SUCCEED();
}

// The upload against a local server through the real HTTP client.
class ProblemReportOverHttp : public ::testing::Test {
 protected:
  ProblemReportOverHttp() : signalling(f.runner), curl(signalling) {
    f.platform.http = &curl;
    engine = f.start();
    model = ProblemReportModel::create(engine->reports(), engine->context(), server.url("/v1/stability-report"));
  }
  ~ProblemReportOverHttp() override {
    model.reset();
    server.stop();
    engine.reset();
    f.engine.reset();
  }
  void sendAndWait() {
    ASSERT_TRUE(model->submit());
    ASSERT_TRUE(signalling.pumpUntil([&] { return !model->isSubmitting(); }));
  }

  test::EngineFixture f;
  test::SignallingRunner signalling;
  test::HttpTestServer server;
  CurlHttpClient curl;
  std::shared_ptr<KeyboardEngine> engine;
  std::shared_ptr<ProblemReportModel> model;
};

TEST_F(ProblemReportOverHttp, EachAnswerOfTheServerShowsAsItShould) {
  server.route("/v1/stability-report", test::ScriptedAnswer::ok(R"({"report_id":"srv-200"})", "application/json"));
  model->setNote("สวัสดี");
  sendAndWait();
  EXPECT_EQ(model->submittedReportID(), "srv-200");
  auto received = server.requests().back();
  EXPECT_EQ(received.method, "POST");
  EXPECT_EQ(received.headers["content-type"], "application/json");
  EXPECT_EQ(received.headers["content-length"], std::to_string(received.body.size()));
  EXPECT_EQ(nlohmann::json::parse(received.body)["note"], "สวัสดี");

  const struct {
    test::ScriptedAnswer answer;
    std::string error;  // prefix after "ส่งไม่สำเร็จ: "
  } failures[] = {
      {test::ScriptedAnswer::withStatus(429), "ส่งรายงานเกินจำนวนที่กำหนดสำหรับวันนี้ (สูงสุด 10 รายงาน/วัน)"},
      {test::ScriptedAnswer::withStatus(500, R"({"report_id":"srv-500"})"), "เซิร์ฟเวอร์ตอบกลับรหัส 500"},
      {test::ScriptedAnswer::garbage(), ""},
  };
  for (const auto& c : failures) {
    model = ProblemReportModel::create(engine->reports(), engine->context(), server.url("/v1/stability-report"));
    server.route("/v1/stability-report", c.answer);
    sendAndWait();
    EXPECT_FALSE(model->submittedReportID());
    ASSERT_TRUE(model->submitError());
    EXPECT_EQ(model->submitError()->rfind("ส่งไม่สำเร็จ: " + c.error, 0), 0u) << *model->submitError();
    EXPECT_NE(model->submitError()->find(kSaveHint), std::string::npos);
  }
}

TEST_F(ProblemReportOverHttp, ASlowAnswerKeepsTheButtonsOffAndIsDroppedOnceTheSheetIsGone) {
  server.route("/v1/stability-report", test::ScriptedAnswer::stall());
  ASSERT_TRUE(model->submit());
  // Wait for the request to reach the server (I/O, not a timed rule).
  for (int i = 0; i < 2000 && server.requestCount() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_EQ(server.requestCount(), 1u);
  f.runner.runUntilIdle();
  EXPECT_TRUE(model->isSubmitting());
  EXPECT_FALSE(model->canSave());
  EXPECT_FALSE(model->submit());
  std::weak_ptr<ProblemReportModel> weak = model;
  model.reset();
  EXPECT_TRUE(weak.expired()) << "the request does not keep the sheet's state alive";
  server.stop();  // the connection drops; its answer finds nobody
  f.runner.runUntilIdle();
}

}  // namespace
}  // namespace tessa
