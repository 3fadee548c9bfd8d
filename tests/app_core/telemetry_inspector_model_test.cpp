#include "app_core/dashboard/telemetry_inspector_model.h"

#include <gtest/gtest.h>

#include "support/reliability_fixture.h"
#include "reliability/telemetry_manager.h"
#include "engine/reporting.h"

namespace tessa {
namespace {

constexpr const char* kIngest = "https://telemetry.test/api/telemetry/ingest";

class TelemetryInspectorModelTest : public ::testing::Test, public test::ReliabilityFixture {
 protected:
  void SetUp() override {
    start();
    model = TelemetryInspectorModel::create(engine->settings(), engine->context(), engine->reports(), manager);
    model->onChange = [this] { ++changes; };
  }
  void TearDown() override { model.reset(); }

  TelemetryManager manager{kIngest};
  std::shared_ptr<TelemetryInspectorModel> model;
  int changes = 0;
};

TEST_F(TelemetryInspectorModelTest, TextsAreThaiExactlyForThai) {
  engine->appLanguage.set("th");
  EXPECT_STREQ(model->texts().title, "ตรวจสอบข้อมูลที่จะส่งจริง (JSON Payload)");
  EXPECT_STREQ(model->texts().payloadHeading, "โครงสร้าง JSON ที่ส่งออก (POST /api/telemetry/ingest):");
  EXPECT_EQ(model->copyButtonTitle(), "คัดลอก JSON");
  for (const char* language : {"en", "lo", "vi", "zh", "ja"}) {
    engine->appLanguage.set(language);
    EXPECT_STREQ(model->texts().title, "Inspect Actual Outgoing Payload (JSON)") << language;
    EXPECT_STREQ(model->texts().close, "Got it, Close") << language;
    EXPECT_STREQ(model->texts().pointRotatingId, "Rotating anonymous UUID every 30 days") << language;
  }
}

TEST_F(TelemetryInspectorModelTest, ThePayloadShownIsByteForByteWhatTheNextSendPosts) {
  engine->totalCorrections.set(31);
  engine->totalUsageTime.set(4000.5);
  engine->isShareUsageTimeEnabled.set(true);
  HttpResponse ok;
  ok.status = 200;
  desktop.http().setResponse(kIngest, ok);

  std::string shown = model->payloadText();
  manager.sendIfDue(telemetryEnvironment(*engine));
  f.runner.advance(1.0);
  auto requests = desktop.http().requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body, shown);
  EXPECT_EQ(nlohmann::json::parse(shown)["corrections"], 31);
}

TEST_F(TelemetryInspectorModelTest, CopyPutsAFreshPayloadAndTheMarkGoesTwoSecondsAfterTheFirstPress) {
  engine->appLanguage.set("en");
  std::vector<std::string> pasteboard;
  auto write = [&](const std::string& text) { pasteboard.push_back(text); };
  std::string before = model->payloadText();
  engine->totalCorrections.set(99);  // the counters moved after the sheet was drawn

  model->copyJSON(write);
  ASSERT_EQ(pasteboard.size(), 1u);
  EXPECT_NE(pasteboard[0], before);
  EXPECT_EQ(pasteboard[0], manager.payloadPreview(telemetryEnvironment(*engine)));
  EXPECT_TRUE(model->hasCopied());
  EXPECT_EQ(model->copyButtonTitle(), "Copied!");
  EXPECT_STREQ(model->copySymbol(), "checkmark");

  f.runner.advance(1.5);
  model->copyJSON(write);
  EXPECT_EQ(pasteboard.size(), 2u);
  f.runner.advance(0.49);
  EXPECT_TRUE(model->hasCopied());
  f.runner.advance(0.02);  // 2.0 s after the first press
  EXPECT_FALSE(model->hasCopied());
  EXPECT_EQ(model->copyButtonTitle(), "Copy JSON");
  EXPECT_STREQ(model->copySymbol(), "doc.on.doc");
  f.runner.advance(2.0);  // the second press's reset finds nothing to do
  EXPECT_FALSE(model->hasCopied());
  EXPECT_EQ(changes, 3);

  // A sheet closed before its reset is simply gone.
  model->copyJSON(write);
  model.reset();
  f.runner.advance(3.0);
}

}  // namespace
}  // namespace tessa
