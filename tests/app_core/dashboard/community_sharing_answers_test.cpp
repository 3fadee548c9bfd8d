// The four places on the dashboard that switch sharing on or off: what each
// writes, in which language it speaks and which notice it shows.
#include <gtest/gtest.h>

#include "app_core/dashboard/community_stats_model.h"
#include "app_core/dashboard/milestone_nudge_model.h"
#include "app_core/dashboard/share_invitation_model.h"
#include "app_core/dashboard/dashboard_fixture.h"
#include "engine/engine_settings.h"
#include "engine/engine_stats.h"
#include "engine/hud_notice_sink.h"

namespace tessa {
namespace {

using Notices = std::vector<std::pair<std::string, std::string>>;
const std::string kThanks = "Sharing enabled. Thank you for supporting our community!";

class SharingAnswersTest : public ::testing::Test, protected test::DashboardFixture {};

TEST_F(SharingAnswersTest, CommunityBoxButtons) {
  CommunityStatsModel::join(engine->settings(), engine->hudNotices());
  EXPECT_TRUE(engine->isShareUsageTimeEnabled.get());
  EXPECT_TRUE(engine->hasSeenShareInvitation.get());
  CommunityStatsModel::stopSharing(engine->settings(), engine->hudNotices());
  EXPECT_FALSE(engine->isShareUsageTimeEnabled.get());
  EXPECT_TRUE(engine->hasSeenShareInvitation.get());
  engine->hasSeenShareInvitation.set(false);
  engine->appLanguage.set("th");
  CommunityStatsModel::shareAgain(engine->settings(), engine->hudNotices());
  EXPECT_TRUE(engine->isShareUsageTimeEnabled.get());
  EXPECT_FALSE(engine->hasSeenShareInvitation.get()) << "share again leaves the invitation as it was";
  EXPECT_EQ(notices(), (Notices{{kThanks, "Turn off anytime on this page or the About view"},
                                {"Sharing disabled. Your data is kept locally on this device.", ""},
                                {"ขอบคุณมากครับ! ระบบเริ่มส่งสถิติการใช้งานแบบไม่ระบุตัวตนแล้วครับ",
                                 "ปิดเมื่อไหร่ก็ได้ที่หน้านี้ หรือเมนูเกี่ยวกับแอป"}}));
}

TEST_F(SharingAnswersTest, CommunityBoxTextsAndValues) {
  for (const char* language : {"en", "zh", "ja", "vi", "lo"}) {
    engine->appLanguage.set(language);
    auto t = CommunityStatsModel::texts(engine->settings());
    EXPECT_EQ(t.stopSharing, "Stop Sharing") << language;
    EXPECT_EQ(t.title, "Community Stats") << language;
  }
  engine->appLanguage.set("th");
  auto t = CommunityStatsModel::texts(engine->settings());
  EXPECT_EQ(t.title, "สถิติชุมชน");
  EXPECT_EQ(t.pendingBody, "ระบบกำลังรวบรวมเวลาสะสมจากเพื่อนสมาชิก...\nตัวเลขสถิติจะปรากฏขึ้นเมื่อชุมชนของเราใหญ่พอครับ");

  using Kind = CommunityShareState::Kind;
  std::array<std::string, 3> dashes{"——", "——", "——"};
  EXPECT_EQ(CommunityStatsModel::cellValues(CommunityShareState::of(Kind::preview)), dashes);
  EXPECT_EQ(CommunityStatsModel::cellValues(CommunityShareState::of(Kind::optOut)), dashes);
  EXPECT_EQ(CommunityStatsModel::cellValues(CommunityShareState::live({"0.0", 0, "0"})),
            (std::array<std::string, 3>{"0.0", "0", "0"}));
  EXPECT_EQ(CommunityStatsModel::cellValues(CommunityShareState::live({"1.5", 1234567890123, "98765"}))[1],
            "1234567890123");
}

TEST_F(SharingAnswersTest, InvitationAnswers) {
  engine->isShareUsageTimeEnabled.set(true);
  ShareInvitationModel::decline(engine->settings());
  EXPECT_FALSE(engine->isShareUsageTimeEnabled.get());
  EXPECT_TRUE(engine->hasSeenShareInvitation.get());
  EXPECT_TRUE(fx.defaults->boolForKey(ShareInvitationModel::kHasPromptedTelemetrySharingKey));
  EXPECT_TRUE(notices().empty());

  // Accepting twice writes the same again and thanks each time.
  ShareInvitationModel::accept(engine->settings(), engine->hudNotices());
  ShareInvitationModel::accept(engine->settings(), engine->hudNotices());
  EXPECT_TRUE(engine->isShareUsageTimeEnabled.get());
  EXPECT_EQ(notices(), (Notices{{kThanks, "Change anytime in Settings or About view"},
                                {kThanks, "Change anytime in Settings or About view"}}));

  EXPECT_EQ(ShareInvitationModel::texts("lo").accept, "Share Anonymous Stats");
  auto th = ShareInvitationModel::texts("th");
  EXPECT_EQ(th.decline, "ไม่แชร์สถิติ");
  ASSERT_EQ(th.points.size(), 3u);
  EXPECT_EQ(th.points[1].symbol, "chart.pie");
}

TEST_F(SharingAnswersTest, MilestoneTexts) {
  EXPECT_EQ(MilestoneNudgeModel::minutesSaved(0), "0.5");
  EXPECT_EQ(MilestoneNudgeModel::minutesSaved(99), "0.5");
  EXPECT_EQ(MilestoneNudgeModel::minutesSaved(300), "1.5");
  EXPECT_EQ(MilestoneNudgeModel::minutesSaved(12345), "61.7");
  engine->totalCorrections.set(0);
  engine->totalKeystrokesSaved.set(300);
  EXPECT_EQ(MilestoneNudgeModel::texts(engine->settings(), engine->statistics()).subtitle,
            "You have saved 1.5 mins of typing time (1 words corrected). Would you like to contribute these numbers "
            "to the community dashboard?");
  engine->appLanguage.set("th");
  engine->totalCorrections.set(57);
  EXPECT_EQ(MilestoneNudgeModel::texts(engine->settings(), engine->statistics()).subtitle,
            "คุณประหยัดเวลากดลบไปแล้ว 1.5 นาที (ช่วยแก้คำผิดสะสม 57 คำ) ร่วมส่งตัวเลขเวลานี้ขึ้นแดชบอร์ดชุมชนไหมครับ?");
}

TEST_F(SharingAnswersTest, MilestoneAnswers) {
  // Join: sharing on, nudge ended for good, the invitation untouched.
  engine->showMilestoneNudge.set(true);
  MilestoneNudgeModel::join(engine->settings(), engine->statistics(), engine->hudNotices());
  EXPECT_TRUE(engine->isShareUsageTimeEnabled.get());
  EXPECT_TRUE(engine->hasSeenMilestoneNudge.get());
  EXPECT_FALSE(engine->showMilestoneNudge.get());
  EXPECT_FALSE(engine->hasSeenShareInvitation.get());
  EXPECT_EQ(notices(), (Notices{{kThanks, "Change anytime in Settings or About view"}}));

  // Decline: sharing unchanged, no notice.
  engine->hasSeenMilestoneNudge.set(false);
  engine->showMilestoneNudge.set(true);
  MilestoneNudgeModel::decline(engine->settings(), engine->statistics());
  EXPECT_TRUE(engine->isShareUsageTimeEnabled.get());
  EXPECT_TRUE(engine->hasSeenMilestoneNudge.get());
  EXPECT_EQ(notices().size(), 1u);

  EXPECT_EQ(MilestoneNudgeModel::remindThreshold(20), 200);
  EXPECT_EQ(MilestoneNudgeModel::remindThreshold(120), 270);
}

TEST_F(SharingAnswersTest, ARemindedNudgeComesBackOnlyAtTheNewThreshold) {
  engine->hasSeenShareInvitation.set(true);
  engine->totalCorrections.set(120);
  engine->showMilestoneNudge.set(true);
  MilestoneNudgeModel::remindLater(engine->settings(), engine->statistics());
  EXPECT_EQ(engine->remindLaterCorrectionsThreshold.get(), 270);
  EXPECT_FALSE(engine->showMilestoneNudge.get());
  EXPECT_FALSE(engine->hasSeenMilestoneNudge.get());

  engine->totalCorrections.set(269);
  engine->usageTimerTick();
  EXPECT_FALSE(engine->showMilestoneNudge.get());
  engine->totalCorrections.set(270);
  engine->usageTimerTick();
  fx.runner.runUntilIdle();
  EXPECT_TRUE(engine->showMilestoneNudge.get());
}

}  // namespace
}  // namespace tessa
