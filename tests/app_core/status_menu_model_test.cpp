#include "app_core/status_menu_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "app_core/status_item_fakes.h"
#include "app_core/status_item_of_engine.h"
#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"

namespace tessa::test {
namespace {

// One line per item: "[x]" checked, "(off)" disabled, "-> action", "⌘key";
// submenus indented under their parent.
void describe(const std::vector<StatusMenuItem>& items, std::vector<std::string>& out, const std::string& indent) {
  for (const auto& i : items) {
    if (i.isSeparator) {
      out.push_back(indent + "---");
      continue;
    }
    std::string line = indent;
    if (i.checked) line += "[x] ";
    if (!i.enabled) line += "(off) ";
    line += i.title;
    if (i.action != StatusMenuAction::none) line += " -> " + std::string(statusMenuActionName(i.action));
    if (!i.keyEquivalent.empty()) line += " ⌘" + i.keyEquivalent;
    out.push_back(line);
    describe(i.submenu, out, indent + "  ");
  }
}

std::vector<std::string> describe(const std::vector<StatusMenuItem>& items) {
  std::vector<std::string> out;
  describe(items, out, "");
  return out;
}

StatusItemState stateIn(const std::string& language) {
  StatusItemState s;
  s.isAccessibilityGranted = true;
  s.appLanguage = language;
  s.version = "0.1.12";
  return s;
}

using Lines = std::vector<std::string>;

TEST(StatusMenuTest, ThaiMenuWithHapticsOffShowsTheStoredStrengthDisabled) {
  EXPECT_EQ(describe(buildStatusMenu(stateIn("th"))),
            (Lines{"⏸ ระงับชั่วคราว 1 ชั่วโมง -> pauseEngine1h",
                   "⏸ ระงับจนพรุ่งนี้ -> pauseEngineDay",
                   "---",
                   "ดูคำแนะนำเริ่มต้นอีกครั้ง -> replayOnboarding",
                   "---",
                   "(off) Tessavinor: ทำงานอยู่",
                   "(off) Tessavinor v0.1.12 (Remapper)",
                   "ระบบสั่นตอบรับ (Haptic Feedback)",
                   "  เปิดใช้งาน (Enabled) -> toggleHapticFeedback",
                   "  ---",
                   "  (off) เบา (Light) -> setHapticIntensityToLight",
                   "  [x] (off) ปานกลาง (Medium) -> setHapticIntensityToMedium",
                   "  (off) แรง (Strong) -> setHapticIntensityToStrong",
                   "---",
                   "เลือกภาษา (Language)",
                   "  [x] ไทย (Thai) -> setLanguageToTh",
                   "  English (US) -> setLanguageToEn",
                   "  ລາວ (Lao) -> setLanguageToLo",
                   "  Tiếng Việt (Vietnamese) -> setLanguageToVi",
                   "---",
                   "เปิดแดชบอร์ด... -> openDashboard ⌘d",
                   "ตรวจสอบการอัปเดต... -> checkForUpdates",
                   "---",
                   "ออกจาก Tessavinor -> quitApp ⌘q"}));
}

// Without an actuator the switch and the strengths changed nothing yet
// looked live.
TEST(StatusMenuTest, WithoutAHapticDeviceTheHapticChoicesShowAsStoredButCannotBeChanged) {
  StatusItemState s = stateIn("en");
  s.hasHapticDevice = false;
  s.isHapticFeedbackEnabled = true;
  s.hapticIntensityConfirm = 0;
  auto menu = describe(buildStatusMenu(s));
  auto at = std::find(menu.begin(), menu.end(), "Haptic Feedback");
  ASSERT_NE(at, menu.end());
  EXPECT_EQ(Lines(at + 1, at + 7), (Lines{"  (off) Not available on this computer",
                                          "  [x] (off) Enabled -> toggleHapticFeedback",
                                          "  ---",
                                          "  (off) Light -> setHapticIntensityToLight",
                                          "  (off) Medium -> setHapticIntensityToMedium",
                                          "  [x] (off) Strong -> setHapticIntensityToStrong"}));
  s.appLanguage = "th";
  auto thai = describe(buildStatusMenu(s));
  EXPECT_NE(std::find(thai.begin(), thai.end(), "  (off) ใช้ไม่ได้บนคอมพิวเตอร์เครื่องนี้"), thai.end());
}

TEST(StatusMenuTest, TornDownAndPausedEnglishMenuLeadsWithRestartThenResume) {
  StatusItemState s = stateIn("en");
  s.isEmergencyTornDown = true;
  s.isPaused = true;
  s.isAccessibilityGranted = false;
  s.isHapticFeedbackEnabled = true;
  s.hapticIntensityConfirm = 0;
  EXPECT_EQ(describe(buildStatusMenu(s)),
            (Lines{"🛡 Restart Correction (stopped to keep the computer from freezing) -> restartAfterEmergencyTeardown",
                   "---",
                   "▶️ Resume -> resumeEngine",
                   "---",
                   "Show the Getting Started Guide Again -> replayOnboarding",
                   "---",
                   "(off) Tessavinor: Access Required",
                   "(off) Tessavinor v0.1.12 (Remapper)",
                   "Haptic Feedback",
                   "  [x] Enabled -> toggleHapticFeedback",
                   "  ---",
                   "  Light -> setHapticIntensityToLight",
                   "  Medium -> setHapticIntensityToMedium",
                   "  [x] Strong -> setHapticIntensityToStrong",
                   "---",
                   "Language",
                   "  ไทย (Thai) -> setLanguageToTh",
                   "  [x] English (US) -> setLanguageToEn",
                   "  ລາວ (Lao) -> setLanguageToLo",
                   "  Tiếng Việt (Vietnamese) -> setLanguageToVi",
                   "---",
                   "Open Dashboard... -> openDashboard ⌘d",
                   "Check for Updates... -> checkForUpdates",
                   "---",
                   "Quit Tessavinor -> quitApp ⌘q"}));
}

TEST(StatusMenuTest, LaoAndVietnameseUseTheirTablesAndEnglishWhereTheyHaveNone) {
  StatusItemState lo = stateIn("lo");
  lo.isHapticFeedbackEnabled = true;
  lo.hapticIntensityConfirm = 1;
  EXPECT_EQ(describe(buildStatusMenu(lo)),
            (Lines{"⏸ Pause for 1 Hour -> pauseEngine1h",
                   "⏸ Pause Until Tomorrow -> pauseEngineDay",
                   "---",
                   "Show the Getting Started Guide Again -> replayOnboarding",
                   "---",
                   "(off) Tessavinor: ກຳລັງເຮັດວຽກ",
                   "(off) Tessavinor v0.1.12 (Remapper)",
                   "ລະບົບສັ່ນຕອບສະໜອງ (Haptic Feedback)",
                   "  [x] Enabled -> toggleHapticFeedback",
                   "  ---",
                   "  [x] Light -> setHapticIntensityToLight",
                   "  Medium -> setHapticIntensityToMedium",
                   "  Strong -> setHapticIntensityToStrong",
                   "---",
                   "ເລືອກພາສາ (Language)",
                   "  ไทย (Thai) -> setLanguageToTh",
                   "  English (US) -> setLanguageToEn",
                   "  [x] ລາວ (Lao) -> setLanguageToLo",
                   "  Tiếng Việt (Vietnamese) -> setLanguageToVi",
                   "---",
                   "ເປີດແດຊບອດ... -> openDashboard ⌘d",
                   "Check for Updates... -> checkForUpdates",
                   "---",
                   "ອອກຈາກ Tessavinor -> quitApp ⌘q"}));

  StatusItemState vi = stateIn("vi");
  vi.isAccessibilityGranted = false;
  auto lines = describe(buildStatusMenu(vi));
  ASSERT_EQ(lines.size(), 24u);
  EXPECT_EQ(lines[5], "(off) Tessavinor: Cần cấp quyền truy cập");
  EXPECT_EQ(lines[7], "Phản hồi rung (Haptic Feedback)");
  EXPECT_EQ(lines[8], "  Enabled -> toggleHapticFeedback");
  EXPECT_EQ(lines[14], "Chọn ngôn ngữ (Language)");
  EXPECT_EQ(lines[18], "  [x] Tiếng Việt (Vietnamese) -> setLanguageToVi");
  EXPECT_EQ(lines[20], "Mở bảng điều khiển... -> openDashboard ⌘d");
  EXPECT_EQ(lines[23], "Thoát Tessavinor -> quitApp ⌘q");

  // Any other language gets the plain title.
  EXPECT_EQ(languageMenuTitle("zh"), "Language");
}

// ------------------------------------------------------------- actions

class StatusMenuActionTest : public ::testing::Test {
 protected:
  StatusMenuActionTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
  }
  ~StatusMenuActionTest() override {
    engine.reset();
    fx.engine.reset();
  }
  void perform(StatusMenuAction action) {
    performStatusMenuAction(engine->settings(), engine->controls(), action, shell);
    fx.runner.runUntilIdle();
  }
  const std::vector<std::string>& haptics() { return desk.haptics().calls(); }

  EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  RecordingShell shell;
};

TEST_F(StatusMenuActionTest, HapticActionsWriteBothStrengthsAndPlayASampleOnlyWhileOn) {
  perform(StatusMenuAction::setHapticIntensityToStrong);
  EXPECT_EQ(fx.defaults->integerForKey("hapticIntensityConfirm"), 0);
  EXPECT_EQ(fx.defaults->integerForKey("hapticIntensityAlert"), 0);
  EXPECT_EQ(engine->activeProfile()->hapticIntensityConfirm, 0);
  EXPECT_EQ(engine->activeProfile()->hapticIntensityAlert, 0);
  EXPECT_TRUE(haptics().empty()) << "haptics are off";

  perform(StatusMenuAction::toggleHapticFeedback);
  EXPECT_TRUE(engine->isHapticFeedbackEnabled.get());
  EXPECT_EQ(haptics(), (std::vector<std::string>{"perform generic", "actuate 6 0"}));

  perform(StatusMenuAction::setHapticIntensityToLight);
  EXPECT_EQ(engine->hapticIntensityConfirm(), 1);
  EXPECT_EQ(engine->hapticIntensityAlert(), 1);
  EXPECT_EQ(haptics().size(), 4u);
  EXPECT_EQ(haptics()[2], "perform alignment");
  perform(StatusMenuAction::setHapticIntensityToMedium);
  EXPECT_EQ(engine->hapticIntensityAlert(), 2);
  EXPECT_EQ(haptics()[4], "perform levelChange");
  EXPECT_EQ(describe(buildStatusMenu(test::statusItemStateOf(*engine)))[11],
            "  [x] ปานกลาง (Medium) -> setHapticIntensityToMedium");

  perform(StatusMenuAction::toggleHapticFeedback);
  EXPECT_FALSE(engine->isHapticFeedbackEnabled.get());
  EXPECT_EQ(haptics().size(), 6u) << "switching off plays no sample";
}

TEST_F(StatusMenuActionTest, EngineActionsPauseResumeRestartAndChangeSettings) {
  perform(StatusMenuAction::pauseEngine1h);
  EXPECT_TRUE(engine->isPaused.get());
  perform(StatusMenuAction::resumeEngine);
  EXPECT_FALSE(engine->isPaused.get());
  perform(StatusMenuAction::pauseEngineDay);
  EXPECT_TRUE(engine->isPaused.get());
  auto lines = engine->diagnosticLogs();
  bool untilTomorrow = false;
  for (const auto& l : lines) untilTomorrow |= l.find("pause() requested for until tomorrow") != std::string::npos;
  EXPECT_TRUE(untilTomorrow);

  engine->recovery.isEmergencyTornDown = true;
  perform(StatusMenuAction::restartAfterEmergencyTeardown);
  EXPECT_FALSE(engine->recovery.isEmergencyTornDown);

  size_t languageNotices = 0;
  auto sub = fx.notifications.addObserver("AppLanguageChanged", [&](const Notification&) { ++languageNotices; });
  perform(StatusMenuAction::setLanguageToLo);
  EXPECT_EQ(engine->appLanguage.get(), "lo");
  EXPECT_EQ(fx.defaults->stringForKey("appLanguage"), "lo");
  perform(StatusMenuAction::setLanguageToVi);
  perform(StatusMenuAction::setLanguageToEn);
  perform(StatusMenuAction::setLanguageToTh);
  EXPECT_EQ(engine->appLanguage.get(), "th");
  EXPECT_EQ(languageNotices, 4u);

  perform(StatusMenuAction::toggleSmartCorrection);
  perform(StatusMenuAction::toggleContrastiveCheck);
  perform(StatusMenuAction::toggleFatigueNotification);
  EXPECT_TRUE(engine->isSmartCorrectionEnabled.get());
  EXPECT_FALSE(engine->useContrastiveFrequencyCheck.get());
  EXPECT_TRUE(engine->isFatigueNotificationEnabled.get());
  EXPECT_TRUE(shell.calls.empty());
}

TEST_F(StatusMenuActionTest, WindowUpdateAndQuitActionsGoToTheShell) {
  for (auto action : {StatusMenuAction::openDashboard, StatusMenuAction::replayOnboarding,
                      StatusMenuAction::checkForUpdates, StatusMenuAction::quitApp, StatusMenuAction::toggleCopyCache,
                      StatusMenuAction::clearCopyCache, StatusMenuAction::openQuickPaste, StatusMenuAction::none})
    perform(action);
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"openDashboard", "replayOnboarding", "checkForUpdates", "quitApp",
                                                   "toggleCopyCache", "clearCopyCache", "openQuickPaste"}));
}

}  // namespace
}  // namespace tessa::test
