#include "app_core/dashboard/uptime_dashboard_model.h"

#include <gtest/gtest.h>

#include "app_core/dashboard/community_stats_model.h"
#include "base/endpoints.h"
#include "app_core/dashboard/dashboard_fixture.h"
#include "engine/engine_settings.h"
#include "engine/engine_stats.h"
#include "engine/hud_notice_sink.h"

namespace tessa {
namespace {

using Kind = CommunityShareState::Kind;

constexpr const char* kTotals = R"({"contributors": 12, "total_uptime_seconds": 90000, "total_keystrokes_saved": 345})";

HttpResponse answer(int status, std::string body) {
  HttpResponse r;
  r.status = status;
  r.body = std::move(body);
  return r;
}

class UptimeDashboardModelTest : public ::testing::Test, protected test::DashboardFixture {
 protected:
  UptimeDashboardModelTest() {
    engine->hasSeenShareInvitation.set(true);
    desk.http().setHandler([this](const HttpRequest& r) {
      ++requests;
      return r.url == Endpoints::telemetryPublic() ? body : answer(404, "");
    });
    fx.runner.runUntilIdle();
  }
  std::shared_ptr<UptimeDashboardModel> open() {
    auto m = UptimeDashboardModel::create(engine->settings(), engine->context(), [this] { ++redraws; });
    m->appear();
    return m;
  }
  void settle(double seconds = 0.2) { fx.runner.advance(seconds); }

  HttpResponse body = answer(200, kTotals);
  int requests = 0;
  int redraws = 0;
};

TEST(UptimeDashboardFormat, DurationsAreTruncatedAndHoursNeverWrap) {
  EXPECT_EQ(UptimeDashboardModel::formatDuration(0), "00:00:00");
  EXPECT_EQ(UptimeDashboardModel::formatDuration(59.9), "00:00:59");
  EXPECT_EQ(UptimeDashboardModel::formatDuration(3661), "01:01:01");
  EXPECT_EQ(UptimeDashboardModel::formatDuration(360000), "100:00:00");
  EXPECT_EQ(UptimeDashboardModel::formatDuration(std::numeric_limits<double>::quiet_NaN()), "00:00:00");
  EXPECT_EQ(UptimeDashboardModel::texts("th").title, "กระดานแดชบอร์ด");
  for (const char* language : {"en", "lo", "zh", "TH", ""})
    EXPECT_EQ(UptimeDashboardModel::texts(language).sessionLabel, "This Session") << language;
}

TEST_F(UptimeDashboardModelTest, SharingShowsPendingUntilTheTotalsArriveThenLive) {
  engine->isShareUsageTimeEnabled.set(true);
  auto page = open();
  EXPECT_EQ(page->shareState().kind, Kind::pending);
  settle();
  EXPECT_EQ(requests, 1);
  EXPECT_EQ(page->shareState(), CommunityShareState::live({"25.0", 12, "345"}));

  // Off and on again: the earlier totals show at once while a new request
  // runs. Sharing began before the page existed, so stopping reads as never
  // having shared from a page.
  CommunityStatsModel::stopSharing(engine->settings(), engine->hudNotices());
  fx.runner.runUntilIdle();
  EXPECT_EQ(page->shareState().kind, Kind::preview);
  body = answer(200, R"({"contributors": 13, "total_usage_hours": 30, "total_corrections": 400})");
  CommunityStatsModel::shareAgain(engine->settings(), engine->hudNotices());
  fx.runner.runUntilIdle();
  EXPECT_EQ(page->shareState(), CommunityShareState::live({"25.0", 12, "345"}));
  settle();
  EXPECT_EQ(requests, 2);
  EXPECT_EQ(page->shareState(), CommunityShareState::live({"30.0", 13, "400"}));

  // The service hides its totals: back to pending. A broken body keeps what is known.
  body = answer(200, R"({"visible": false})");
  page->refreshPublicStats();
  settle();
  EXPECT_EQ(page->shareState().kind, Kind::pending);
  body = answer(200, kTotals);
  page->refreshPublicStats();
  settle();
  body = answer(200, R"({"contributors": 1, "total_usage_hours": 2})");
  page->refreshPublicStats();
  settle();
  EXPECT_EQ(page->shareState(), CommunityShareState::live({"25.0", 12, "345"}));
}

TEST_F(UptimeDashboardModelTest, WasEverSharingIsRecordedOnlyWhileThePageLivesAndSurvivesARelaunch) {
  // Switched on elsewhere (the onboarding), then off: never shared from a page.
  engine->isShareUsageTimeEnabled.set(true);
  engine->isShareUsageTimeEnabled.set(false);
  auto page = open();
  EXPECT_EQ(page->shareState().kind, Kind::preview);
  settle();
  EXPECT_EQ(requests, 0) << "no fetch while not sharing";

  // Off from the box writes nothing.
  CommunityStatsModel::stopSharing(engine->settings(), engine->hudNotices());
  fx.runner.runUntilIdle();
  EXPECT_FALSE(fx.defaults->hasStoredValue(kWasEverSharingKey));

  // On from the box while the page is shown: recorded, and a fetch starts.
  CommunityStatsModel::join(engine->settings(), engine->hudNotices());
  fx.runner.runUntilIdle();
  EXPECT_TRUE(fx.defaults->boolForKey(kWasEverSharingKey));
  EXPECT_EQ(page->totalsClient().requestsStarted(), 1u);
  CommunityStatsModel::stopSharing(engine->settings(), engine->hudNotices());
  fx.runner.runUntilIdle();
  EXPECT_EQ(page->shareState().kind, Kind::optOut);

  page.reset();
  fx.relaunchDefaults();
  EXPECT_EQ(communityShareState(false, std::nullopt, *fx.defaults).kind, Kind::optOut);
}

TEST_F(UptimeDashboardModelTest, OnlyTheNewestOfOverlappingRequestsApplies) {
  engine->isShareUsageTimeEnabled.set(true);
  desk.http().setLatency(1.0);
  auto page = open();  // first request, answered at 1.0 s
  settle(0.5);
  body = answer(200, R"({"contributors": 2, "total_usage_hours": 2, "total_corrections": 2})");
  page->refreshPublicStats();  // second, answered at 1.5 s
  settle(0.6);
  EXPECT_FALSE(page->publicStats().has_value()) << "the older answer is dropped";
  settle(0.5);
  EXPECT_EQ(page->publicStats()->users, 2);
}

TEST_F(UptimeDashboardModelTest, AnAnswerAfterThePageWasRebuiltIsDropped) {
  engine->isShareUsageTimeEnabled.set(true);
  desk.http().setLatency(1.0);
  auto page = open();
  page.reset();  // another tab was chosen
  auto again = open();
  settle(0.5);
  again.reset();
  settle(2.0);
  EXPECT_EQ(requests, 2);
  EXPECT_TRUE(fx.systemLog.consoleLines.empty());
}

TEST_F(UptimeDashboardModelTest, NetworkFailuresAreLoggedAndKeepTheState) {
  engine->isShareUsageTimeEnabled.set(true);
  desk.http().setHandler({});  // offline
  auto page = open();
  settle();
  ASSERT_EQ(fx.systemLog.consoleLines.size(), 1u);
  EXPECT_EQ(fx.systemLog.consoleLines[0],
            std::string("Tessavinor: Failed to fetch public telemetry: ") + SimHttpClient::kOfflineError);
  EXPECT_EQ(page->shareState().kind, Kind::pending);
}

TEST_F(UptimeDashboardModelTest, TheSessionCounterTicksWhileShownAndStartsAtZeroOnANewPage) {
  auto page = open();
  fx.runner.advance(3.5);
  EXPECT_EQ(page->sessionSeconds(), 3.0);
  page->disappear();
  fx.runner.advance(5);
  EXPECT_EQ(page->sessionSeconds(), 3.0);
  page->appear();  // shown again without being rebuilt: goes on from 3
  fx.runner.advance(2);
  EXPECT_EQ(page->sessionSeconds(), 5.0);
  EXPECT_GE(redraws, 5);

  page = open();  // the tab was left and chosen again
  EXPECT_EQ(page->sessionSeconds(), 0.0);
  fx.runner.advance(1);
  EXPECT_EQ(page->sessionSeconds(), 1.0);
}

TEST_F(UptimeDashboardModelTest, TheInvitationIsAskedForSixTenthsAfterEachAppearanceUntilAnswered) {
  engine->hasSeenShareInvitation.set(false);
  auto page = open();
  fx.runner.advance(0.59);
  EXPECT_FALSE(page->showInvitationSheet());
  fx.runner.advance(0.01);
  EXPECT_TRUE(page->showInvitationSheet());
  page->invitationClosed();  // dismissed without an answer

  page = open();
  fx.runner.advance(0.6);
  EXPECT_TRUE(page->showInvitationSheet()) << "asked again on the next appearance";
  page->invitationClosed();

  // Left before the delay ended: nothing is asked.
  page->disappear();
  page->appear();
  page->disappear();
  fx.runner.advance(1);
  EXPECT_FALSE(page->showInvitationSheet());

  // Answered from the community box within the delay: not asked.
  page = open();
  CommunityStatsModel::join(engine->settings(), engine->hudNotices());
  fx.runner.advance(1);
  EXPECT_FALSE(page->showInvitationSheet());
  page = open();
  fx.runner.advance(1);
  EXPECT_FALSE(page->showInvitationSheet());
}

}  // namespace
}  // namespace tessa
