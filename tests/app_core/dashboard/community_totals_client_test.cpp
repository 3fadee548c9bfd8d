#include "app_core/dashboard/community_totals_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app_core/dashboard/uptime_dashboard_model.h"
#include "base/endpoints.h"
#include "platform/linux/curl_http_client.h"
#include "support/engine_fixture.h"
#include "support/http_test_server.h"

namespace tessa {
namespace {

using Outcome = CommunityTotalsClient::Reading::Outcome;

TEST(CommunityTotalsReading, TakesEachTotalFromItsFirstUsableKey) {
  auto r = CommunityTotalsClient::read(
      R"({"visible": true, "contributors": 12, "total_uptime_seconds": 90000, "total_keystrokes_saved": 345})");
  ASSERT_EQ(r.outcome, Outcome::totals);
  EXPECT_EQ(*r.totals, (CommunityTotals{"25.0", 12, "345"}));

  // An integral hours value is still hours; the first keys win over the fallbacks.
  r = CommunityTotalsClient::read(
      R"({"total_users": 3, "contributors": 7, "total_usage_hours": 12, "total_uptime_seconds": 7200,
          "total_corrections": 40, "total_keystrokes_saved": 999})");
  EXPECT_EQ(*r.totals, (CommunityTotals{"12.0", 7, "40"}));
  EXPECT_EQ(CommunityTotalsClient::read(R"({"contributors": 1, "total_usage_hours": 0.26, "total_corrections": 0})")
                .totals->hours,
            "0.3");
  // A key of the wrong type falls through to the next one.
  r = CommunityTotalsClient::read(
      R"({"contributors": "12", "total_users": 4, "total_usage_hours": "x", "total_uptime_seconds": 3600,
          "total_corrections": 1.5, "total_keystrokes_saved": 8})");
  EXPECT_EQ(*r.totals, (CommunityTotals{"1.0", 4, "8"}));
  // "visible" other than false goes on.
  EXPECT_EQ(CommunityTotalsClient::read(
                R"({"visible": "no", "contributors": 0, "total_usage_hours": 1.0, "total_corrections": 2})")
                .outcome,
            Outcome::totals);
}

TEST(CommunityTotalsReading, HiddenOrIncompleteOrNotAnObjectChangesNothing) {
  EXPECT_EQ(CommunityTotalsClient::read(R"({"visible": false, "contributors": 1, "total_usage_hours": 1,
                                            "total_corrections": 1})")
                .outcome,
            Outcome::hidden);
  for (const char* body : {"", "not json", "[1,2]", "42", "null",
                           R"({"contributors": 1, "total_usage_hours": 2})",  // no corrections
                           R"({"total_usage_hours": 2, "total_corrections": 3})",  // no users
                           R"({"contributors": true, "total_usage_hours": 2, "total_corrections": 3})",
                           R"({"contributors": 1, "total_corrections": 3})"})
    EXPECT_EQ(CommunityTotalsClient::read(body).outcome, Outcome::ignored) << body;
}

// The page's fetch against a local server through the real HTTP client.
class TotalsOverHttp : public ::testing::Test {
 protected:
  TotalsOverHttp() : signalling(f.runner), curl(signalling) {
    f.platform.http = &curl;
    engine = f.start();
    engine->hasSeenShareInvitation.set(true);
    engine->isShareUsageTimeEnabled.set(true);
    auto base = Endpoints::baseOverride(server.url(""), {});
    url = *base + "/api/telemetry/public";
  }
  ~TotalsOverHttp() override {
    model.reset();
    server.stop();
    f.runner.runUntilIdle();
    engine.reset();
    f.engine.reset();
  }
  std::shared_ptr<UptimeDashboardModel> open() {
    model = UptimeDashboardModel::create(engine->settings(), engine->context(), {}, url);
    model->appear();
    return model;
  }
  // The server's worker records a request without posting to the main
  // queue, so pumpUntil cannot see it: look until it is there (bounded only
  // so a broken test fails instead of hanging).
  bool serverReceived(size_t n) {
    for (int i = 0; i < 2000 && server.requestCount() < n; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return server.requestCount() >= n;
  }
  std::vector<std::string> console() const { return f.systemLog.consoleLines; }

  test::EngineFixture f;
  test::SignallingRunner signalling;
  test::HttpTestServer server;
  CurlHttpClient curl;
  std::shared_ptr<KeyboardEngine> engine;
  std::shared_ptr<UptimeDashboardModel> model;
  std::string url;
};

TEST_F(TotalsOverHttp, TwoHundredShowsTheTotalsAndOnlyTwoHundredDoes) {
  const std::string keys = R"({"contributors": 12, "total_uptime_seconds": 90000, "total_keystrokes_saved": 345})";
  struct Case {
    test::ScriptedAnswer answer;
    bool shown;
    std::string logged;
  } cases[] = {
      {test::ScriptedAnswer::ok(keys, "application/json"), true, ""},
      {test::ScriptedAnswer::withStatus(429, R"({"error": "slow down"})"), false,
       "Tessavinor: Failed to fetch public telemetry: HTTP status 429"},
      {test::ScriptedAnswer::withStatus(500, keys), false,
       "Tessavinor: Failed to fetch public telemetry: HTTP status 500"},
      {test::ScriptedAnswer::garbage(), false, "Tessavinor: Failed to fetch public telemetry: "},
      {test::ScriptedAnswer::ok("<html>maintenance</html>", "text/html"), false, ""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.answer.status);
    f.systemLog.consoleLines.clear();
    server.route("/api/telemetry/public", c.answer);
    open();
    ASSERT_TRUE(signalling.pumpUntil([&] { return model->totalsClient().requestsEnded() == 1; }));
    EXPECT_EQ(server.requests().back().method, "GET");
    EXPECT_EQ(server.requests().back().path, "/api/telemetry/public");
    EXPECT_EQ(model->publicStats().has_value(), c.shown);
    EXPECT_EQ(model->shareState().kind,
              c.shown ? CommunityShareState::Kind::live : CommunityShareState::Kind::pending);
    if (!c.logged.empty()) {
      ASSERT_EQ(console().size(), 1u);
      EXPECT_EQ(console()[0].rfind(c.logged, 0), 0u) << console()[0];
    }
    model.reset();
  }
}

TEST_F(TotalsOverHttp, ASlowAnswerOvertakenByANewerRequestIsDropped) {
  int served = 0;
  server.setHandler([&](const test::RecordedRequest&) {
    return ++served == 1 ? test::ScriptedAnswer::stall()
                         : test::ScriptedAnswer::ok(R"({"contributors": 2, "total_usage_hours": 1.25,
                                                       "total_corrections": 9})");
  });
  open();
  ASSERT_TRUE(serverReceived(1));
  model->refreshPublicStats();
  ASSERT_TRUE(signalling.pumpUntil([&] { return model->publicStats().has_value(); }));
  EXPECT_EQ(*model->publicStats(), (CommunityTotals{"1.2", 2, "9"}));
  EXPECT_EQ(model->totalsClient().requestsEnded(), 1u) << "the slow one is still running";
}

TEST_F(TotalsOverHttp, AnAnswerArrivingAfterThePageWasRebuiltDoesNothing) {
  server.route("/api/telemetry/public", test::ScriptedAnswer::stall());
  open();
  ASSERT_TRUE(serverReceived(1));
  model.reset();  // the tab was left while the request ran
  server.stop();
  f.runner.runUntilIdle();
  EXPECT_TRUE(f.systemLog.consoleLines.empty());
}

}  // namespace
}  // namespace tessa
