#include "reliability/telemetry_manager.h"
#include "engine/reporting.h"

#include <gtest/gtest.h>

#include <set>

#include "base/endpoints.h"
#include "platform/linux/curl_http_client.h"
#include "support/http_test_server.h"
#include "support/reliability_fixture.h"

namespace tessa {
namespace {

constexpr const char* kIngest = "https://telemetry.test/api/telemetry/ingest";
constexpr double kHour = 3600.0;
constexpr double kDay = 24 * kHour;

HttpResponse answer(int status, std::string error = {}) {
  HttpResponse r;
  r.status = status;
  r.error = std::move(error);
  return r;
}

class TelemetryTest : public ::testing::Test, public test::ReliabilityFixture {
 protected:
  void SetUp() override {
    f.clock.setWallTime(1'798'000'000.0);  // 2026-12-23 UTC
    f.telemetry = &TelemetryManager::shared();  // as the application hands it to the engine
    start();
    engine->isShareUsageTimeEnabled.set(true);
    answerWith(answer(200));
  }

  void answerWith(HttpResponse r) { desktop.http().setResponse(kIngest, std::move(r)); }
  // Sends when due and lets the answer arrive.
  void sendIfDue() {
    manager.sendIfDue(telemetryEnvironment(*engine));
    f.runner.advance(1.0);
  }
  size_t sends() {
    size_t n = 0;
    for (const auto& r : desktop.http().requests()) n += r.url == kIngest;
    return n;
  }
  double wall() const { return f.clock.wallTime(); }
  bool stored(const char* key) const { return f.defaults->hasStoredValue(key); }
  nlohmann::json preview() { return nlohmann::json::parse(manager.payloadPreview(telemetryEnvironment(*engine))); }

  TelemetryManager manager{kIngest};
};

TEST_F(TelemetryTest, WithoutConsentNothingIsSentNorRecorded) {
  engine->isShareUsageTimeEnabled.set(false);
  sendIfDue();
  EXPECT_EQ(sends(), 0u);
  EXPECT_FALSE(stored(TelemetryManager::kLastAttemptKey));
  EXPECT_FALSE(stored(TelemetryManager::kAnonIdKey));
}

TEST_F(TelemetryTest, AfterASuccessTheNextSendWaitsADay) {
  sendIfDue();
  ASSERT_EQ(sends(), 1u);
  double success = f.defaults->doubleForKey(TelemetryManager::kLastSuccessKey);
  EXPECT_NEAR(success, wall(), 1.0);

  f.runner.advance(kDay - 10);
  sendIfDue();
  EXPECT_EQ(sends(), 1u);
  f.clock.setWallTime(success + kDay);
  sendIfDue();
  EXPECT_EQ(sends(), 2u);
}

TEST_F(TelemetryTest, AfterAFailureTheNextTryWaitsAnHourNotADay) {
  answerWith(answer(503));
  double attempt = wall();
  sendIfDue();
  ASSERT_EQ(sends(), 1u);
  EXPECT_DOUBLE_EQ(f.defaults->doubleForKey(TelemetryManager::kLastAttemptKey), attempt);
  EXPECT_FALSE(stored(TelemetryManager::kLastSuccessKey));
  EXPECT_TRUE(logged("TelemetryManager.sendIfDue: send failed - status 503"));

  f.clock.setWallTime(attempt + kHour - 1);
  sendIfDue();
  EXPECT_EQ(sends(), 1u);
  f.clock.setWallTime(attempt + kHour);
  answerWith(answer(200));
  sendIfDue();
  EXPECT_EQ(sends(), 2u);
  EXPECT_TRUE(stored(TelemetryManager::kLastSuccessKey));
}

TEST_F(TelemetryTest, OnlyA2xxAnswerCountsAsSuccess) {
  const struct {
    HttpResponse response;
    bool success;
  } cases[] = {
      {answer(200), true},
      {answer(202), true},
      {answer(299), true},
      {answer(301), false},
      {answer(304), false},
      {answer(404), false},
      {answer(500), false},
      {answer(0, "garbage: not an HTTP answer"), false},
      {answer(0, SimHttpClient::kOfflineError), false},
  };
  for (const auto& c : cases) {
    f.defaults->remove(TelemetryManager::kLastSuccessKey);
    f.defaults->remove(TelemetryManager::kLastAttemptKey);
    answerWith(c.response);
    size_t before = sends();
    sendIfDue();
    EXPECT_EQ(sends(), before + 1) << c.response.status;
    EXPECT_EQ(stored(TelemetryManager::kLastSuccessKey), c.success) << c.response.status << c.response.error;
    EXPECT_FALSE(manager.isSendInFlight());
  }
  // Redirects are not followed, so a 3xx cannot turn into a success elsewhere.
  EXPECT_FALSE(desktop.http().requests().back().followRedirects);
}

TEST_F(TelemetryTest, OneSendInFlightEvenWhenTheClockIsSetBack) {
  answerWith(answer(500));
  desktop.http().setLatency(20.0);
  double start = wall();
  manager.sendIfDue(telemetryEnvironment(*engine));
  EXPECT_TRUE(manager.isSendInFlight());
  EXPECT_DOUBLE_EQ(f.defaults->doubleForKey(TelemetryManager::kLastAttemptKey), start);

  // The attempt now lies in the future, which alone would count as due.
  f.runner.advance(10.0);
  f.clock.setWallTime(start - 2 * kHour);
  manager.sendIfDue(telemetryEnvironment(*engine));
  EXPECT_EQ(sends(), 1u);

  f.runner.advance(10.0);  // the failure arrives
  EXPECT_FALSE(manager.isSendInFlight());
  sendIfDue();
  EXPECT_EQ(sends(), 2u);
}

TEST_F(TelemetryTest, AnAnswerThatNeverComesDoesNotStopSendingForGood) {
  desktop.http().setLatency(1e9);
  manager.sendIfDue(telemetryEnvironment(*engine));
  f.clock.setWallTime(wall() + 2 * kHour);
  f.runner.advance(TelemetryManager::kAbandonAfterSeconds - 1);
  manager.sendIfDue(telemetryEnvironment(*engine));
  EXPECT_EQ(sends(), 1u);
  f.runner.advance(1);
  manager.sendIfDue(telemetryEnvironment(*engine));
  EXPECT_EQ(sends(), 2u);
  EXPECT_TRUE(logged("the previous send never answered"));
}

TEST_F(TelemetryTest, ALastSuccessInTheFutureCountsAsDue) {
  f.defaults->setDouble(TelemetryManager::kLastSuccessKey, wall() + 3 * kDay);
  f.defaults->setDouble(TelemetryManager::kLastAttemptKey, wall() + 3 * kDay);
  sendIfDue();
  EXPECT_EQ(sends(), 1u);
  EXPECT_NEAR(f.defaults->doubleForKey(TelemetryManager::kLastSuccessKey), wall(), 1.0);
}

TEST_F(TelemetryTest, TheSentBodyIsThePreviewByteForByte) {
  engine->totalCorrections.set(42);
  engine->totalUsageTime.set(3725.9);
  std::string shown = manager.payloadPreview(telemetryEnvironment(*engine));
  manager.sendIfDue(telemetryEnvironment(*engine));
  auto requests = desktop.http().requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].body, shown);
  EXPECT_EQ(requests[0].method, "POST");
  EXPECT_EQ(requests[0].url, kIngest);
  EXPECT_EQ(requests[0].headers.at("Content-Type"), "application/json");
}

TEST_F(TelemetryTest, PayloadHoldsExactlyTheSeventeenAggregateKeys) {
  engine->totalUsageTime.set(7200.7);
  engine->totalActiveTypingTime.set(90.2);
  engine->totalCorrections.set(12);
  engine->totalCorrectionsTH.set(7);
  engine->totalCorrectionsEN.set(4);
  engine->totalCorrectionsLO.set(1);
  engine->totalKeystrokesSaved.set(345);
  engine->totalUndos.set(2);
  engine->totalWatchdogRecoveries.set(3);
  engine->dailyStreakCount.set(9);
  engine->counters.inputStallCount.set(5);
  engine->counters.keystrokesDropped.set(6);
  engine->excludedBundleIDs.set({"com.example.secret"});

  std::string text = manager.payloadPreview(telemetryEnvironment(*engine));
  auto p = nlohmann::json::parse(text);
  std::set<std::string> keys;
  for (const auto& [k, v] : p.items()) keys.insert(k);
  EXPECT_EQ(keys, std::set<std::string>(TelemetryManager::kPayloadKeys.begin(), TelemetryManager::kPayloadKeys.end()));
  EXPECT_EQ(p["v"], 1);
  EXPECT_EQ(p["uptime_seconds"], 7200);
  EXPECT_EQ(p["active_typing_seconds"], 90);
  EXPECT_EQ(p["corrections"], 12);
  EXPECT_EQ(p["corrections_th"], 7);
  EXPECT_EQ(p["corrections_en"], 4);
  EXPECT_EQ(p["corrections_lo"], 1);
  EXPECT_EQ(p["keystrokes_saved"], 345);
  EXPECT_EQ(p["undos"], 2);
  EXPECT_EQ(p["watchdog_recoveries"], 3);
  EXPECT_EQ(p["streak_days"], 9);
  EXPECT_EQ(p["input_stalls"], 5);
  EXPECT_EQ(p["keystrokes_dropped"], 6);
  EXPECT_EQ(p["sent_day"], "2026-12-23");
  EXPECT_EQ(p["app_version"], AppInfo::versionString());
  EXPECT_EQ(p["os_version"], desktop.workspace().operatingSystemVersion());
  // No settings, no paths.
  EXPECT_EQ(text.find("com.example.secret"), std::string::npos);
  EXPECT_EQ(text.find(f.home.path().string()), std::string::npos);
}

TEST_F(TelemetryTest, AnonymousIdIsKeptForThirtyDaysThenRenewed) {
  std::string id = preview()["anon_id"];
  EXPECT_EQ(id.size(), 36u);
  EXPECT_EQ(id[14], '4');  // a random UUID
  EXPECT_EQ(preview()["anon_id"], id);

  double created = f.defaults->doubleForKey(TelemetryManager::kAnonIdCreatedKey);
  f.clock.setWallTime(created + TelemetryManager::kAnonIdLifetime - 1);
  EXPECT_EQ(preview()["anon_id"], id);
  f.clock.setWallTime(created + TelemetryManager::kAnonIdLifetime);
  std::string renewed = preview()["anon_id"];
  EXPECT_NE(renewed, id);

  // Made "in the future" (clock set back) or damaged: renewed too.
  f.clock.setWallTime(created);
  EXPECT_NE(preview()["anon_id"], renewed);
  f.defaults->setString(TelemetryManager::kAnonIdKey, "not-a-uuid");
  EXPECT_NE(preview()["anon_id"], "not-a-uuid");
}

TEST_F(TelemetryTest, TheUsageTimerHandsItsTenthSecondsToTheSharedSender) {
  desktop.http().setHandler([](const HttpRequest&) { return answer(204); });
  engine->startUsageTimer();
  f.runner.advance(25.0);
  size_t posts = 0;
  for (const auto& r : desktop.http().requests()) posts += r.url == Endpoints::telemetryIngest() && r.method == "POST";
  EXPECT_EQ(posts, 1u);  // at the tenth second; at the twentieth it was not due
  EXPECT_FALSE(TelemetryManager::shared().isSendInFlight());
  EXPECT_TRUE(stored(TelemetryManager::kLastSuccessKey));
}

TEST(TelemetryOverHttp, PostsToALocalServerThroughTheRealClient) {
  test::EngineFixture f;
  test::SignallingRunner signalling(f.runner);
  test::HttpTestServer server;
  CurlHttpClient curl(signalling);
  f.platform.http = &curl;
  auto engine = f.start();
  engine->isShareUsageTimeEnabled.set(true);
  engine->totalCorrections.set(17);
  TelemetryManager manager(server.url("/api/telemetry/ingest"));

  server.route("/api/telemetry/ingest", test::ScriptedAnswer::withStatus(202));
  std::string shown = manager.payloadPreview(telemetryEnvironment(*engine));
  manager.sendIfDue(telemetryEnvironment(*engine));
  ASSERT_TRUE(signalling.pumpUntil([&] { return !manager.isSendInFlight(); }));
  auto received = server.requests();
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].method, "POST");
  EXPECT_EQ(received[0].body, shown);
  EXPECT_EQ(received[0].headers["content-type"], "application/json");
  EXPECT_DOUBLE_EQ(f.defaults->doubleForKey(TelemetryManager::kLastSuccessKey), f.clock.wallTime());

  engine.reset();
  f.engine.reset();
}

}  // namespace
}  // namespace tessa
