#include "app_core/status_item_controller.h"

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
#include "typing/typing_flow_controller.h"

namespace tessa::test {
namespace {

class StatusItemControllerTest : public ::testing::Test {
 protected:
  StatusItemControllerTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    desk.setTrusted(true);
    engine = fx.start();
    fx.runner.runUntilIdle();
    item = test::statusItemControllerOf(*engine, view, shell);
  }
  ~StatusItemControllerTest() override {
    item.reset();
    engine.reset();
    fx.engine.reset();
  }
  void run() { fx.runner.runUntilIdle(); }
  void startItem() {
    item->setUp();
    item->observeNotifications();
    run();
  }
  const StatusIconSpec& icon() const { return view.icons.back(); }
  bool logged(const std::string& needle) const {
    auto lines = engine->diagnosticLogs();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(needle) != std::string::npos; });
  }

  EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  RecordingStatusView view;
  RecordingShell shell;
  std::shared_ptr<StatusItemController> item;
};

TEST_F(StatusItemControllerTest, SetUpReadsTheMachineAndDrawsOnceWhenThereIsAButton) {
  desk.hid().setCapsLockState(true);
  item->setUp();
  EXPECT_TRUE(engine->isAccessibilityGranted.get());
  EXPECT_TRUE(engine->isCapsLockOn.get());
  ASSERT_EQ(view.icons.size(), 1u);
  EXPECT_EQ(icon().symbol, "keyboard.fill");
  EXPECT_TRUE(icon().capsLockBar);
  EXPECT_EQ(view.toolTips, std::vector<std::string>{"Tessavinor v0.1.12 (Remapper) - สำหรับคีย์บอร์ดภายนอก"});
}

TEST_F(StatusItemControllerTest, WithoutAButtonNothingIsDrawnOrRead) {
  view.button = false;
  desk.hid().setCapsLockState(true);
  desk.setTrusted(false);
  startItem();
  EXPECT_FALSE(engine->isAccessibilityGranted.get());
  EXPECT_FALSE(engine->isCapsLockOn.get()) << "the Caps Lock state is read only for a button";
  engine->pause(1.0, false);
  item->refreshStatusIcon();
  run();
  EXPECT_TRUE(view.icons.empty());
  EXPECT_TRUE(view.toolTips.empty());
}

TEST_F(StatusItemControllerTest, PauseIsLoggedAndRedrawsIconAndTooltip) {
  startItem();
  desk.setTrusted(false);
  engine->isAccessibilityGranted.set(false);
  engine->pause(1.0, false);
  EXPECT_TRUE(logged("AppPauseStateChanged notification: isPaused = true"));
  run();
  EXPECT_EQ(icon().symbol, "pause.circle.fill") << "pause wins over missing Accessibility";
  EXPECT_EQ(view.toolTips.back(), "⚠️ สิทธิ์ Accessibility หลุด — คลิกเพื่อเปิดคืน");
}

TEST_F(StatusItemControllerTest, ACapsLockNotificationsValueStandsUntilTheNextRefresh) {
  startItem();
  engine->isCapsLockOn.set(true);
  run();
  EXPECT_TRUE(icon().capsLockBar);
  size_t tips = view.toolTips.size();
  fx.notifications.post("CapsLockStateChanged", {}, {{"isEnabled", false}});
  run();
  EXPECT_FALSE(icon().capsLockBar) << "the notification's value, although the engine still says on";
  EXPECT_EQ(view.toolTips.size(), tips) << "the image only";
  item->refreshStatusIcon();
  run();
  EXPECT_TRUE(icon().capsLockBar);

  size_t icons = view.icons.size();
  fx.notifications.post("CapsLockStateChanged");
  fx.notifications.post("AXAvailabilityChanged");
  fx.notifications.post("AppLanguageChanged");
  run();
  EXPECT_EQ(view.icons.size(), icons) << "no boolean, or nothing to redraw";
}

TEST_F(StatusItemControllerTest, AnUndoneWordShowsTheOrangeBarUntilItIsConvertedAgain) {
  startItem();
  std::vector<nlohmann::json> posted;
  auto sub = fx.notifications.addObserver("IgnoredWordStateChanged",
                                          [&](const Notification& n) { posted.push_back(n.userInfo); });
  engine->setLastUndoneWord("teh");
  run();
  EXPECT_TRUE(icon().ignoredBar);
  engine->setLastUndoneWord(std::nullopt);
  run();
  EXPECT_FALSE(icon().ignoredBar);
  engine->setLastUndoneWord(std::nullopt);
  EXPECT_EQ(posted, (std::vector<nlohmann::json>{{{"isIgnored", true}}, {{"isIgnored", false}}}));
}

TEST_F(StatusItemControllerTest, TapHealthAndCorrectionsRedrawWithoutNotifications) {
  startItem();
  size_t icons = view.icons.size(), tips = view.toolTips.size();
  engine->lastEventLog.set("something else");
  run();
  EXPECT_EQ(view.icons.size(), icons);
  EXPECT_EQ(view.toolTips.size(), tips);

  engine->isEventTapDead.set(true);
  run();
  EXPECT_EQ(icon().symbol, "bolt.slash.fill");
  EXPECT_EQ(view.toolTips.back(), "⚡̶ ไม่ได้รับคีย์ — กำลังกู้คืนอัตโนมัติ");

  icons = view.icons.size();
  engine->recovery.isEmergencyTornDown = true;
  engine->counters.correctionFired.modify([](int64_t& v) { ++v; });
  run();
  EXPECT_EQ(view.icons.size(), icons) << "a correction redraws the tooltip only";
  EXPECT_EQ(view.toolTips.back(), "🛡 ระบบหยุดไว้เพื่อกันเครื่องค้าง — คลิกเพื่อเริ่มใหม่");
}

TEST_F(StatusItemControllerTest, ATapThatTurnsOutPartialRedrawsTheIconAndTheTooltip) {
  startItem();
  EXPECT_EQ(icon().symbol, "keyboard.fill");
  // The tap is created (again) and finds typing keys another program holds.
  desk.events().setFiltersEveryKey(false);
  desk.events().setKeysHeldByOthers({"q"});
  engine->statusMessage.set("Event Tap active.");
  run();
  EXPECT_EQ(icon().symbol, "exclamationmark.triangle.fill");
  EXPECT_EQ(view.toolTips.back(),
            "⚠️ โปรแกรมอื่นยึดปุ่ม q ไว้: ถ้าพิมพ์ระหว่างสลับภาษา ปุ่มเหล่านี้จะไปถึงทันทีในภาษาเดิม");
}

TEST_F(StatusItemControllerTest, TheWordBeingTypedRedrawsTheIconAsItStartsShrinksAndEnds) {
  startItem();
  auto& flow = *engine->flow.flowController;
  auto key = [](uint16_t code, const std::string& text) {
    Event e;
    e.type = EventType::keyDown;
    e.keyCode = code;
    e.unicode = text;
    return e;
  };
  size_t icons = view.icons.size();
  flow.processEvent(key(0, "a"), EventType::keyDown);
  flow.processEvent(key(11, "b"), EventType::keyDown);
  run();
  EXPECT_EQ(view.icons.size(), icons + 1) << "the first keystroke only";
  flow.processEvent(key(keycode::deleteKey, ""), EventType::keyDown);
  run();
  EXPECT_EQ(view.icons.size(), icons + 2);
  flow.clear(false);
  flow.clear(false);
  run();
  EXPECT_EQ(view.icons.size(), icons + 3) << "clearing an empty word changes nothing";
}

TEST_F(StatusItemControllerTest, ClicksRestartATornDownTapOrOpenTheDashboardOrAskForTheMenu) {
  startItem();
  engine->recovery.isEmergencyTornDown = true;
  EXPECT_EQ(item->click({StatusClickKind::rightMouseUp, 0}), StatusClickAction::openMenu);
  EXPECT_EQ(item->click({StatusClickKind::leftMouseUp, 0x40000}), StatusClickAction::openMenu);
  EXPECT_TRUE(engine->recovery.isEmergencyTornDown);
  EXPECT_EQ(item->menu().front().action, StatusMenuAction::restartAfterEmergencyTeardown);

  EXPECT_EQ(item->click({StatusClickKind::leftMouseUp, 0}), StatusClickAction::restartTap);
  EXPECT_TRUE(logged("Status item clicked while torn down - restarting the tap"));
  EXPECT_FALSE(engine->recovery.isEmergencyTornDown);
  EXPECT_TRUE(shell.calls.empty());

  EXPECT_EQ(item->click({StatusClickKind::leftMouseUp, 0}), StatusClickAction::openDashboard);
  item->perform(StatusMenuAction::quitApp);
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"openDashboard", "quitApp"}));
}

TEST_F(StatusItemControllerTest, NothingIsDrawnOnceTheItemIsGone) {
  startItem();
  size_t icons = view.icons.size();
  engine->isEventTapDead.set(true);
  item->refreshStatusIcon();
  item.reset();
  fx.notifications.post("AccessibilityStateChanged");
  run();
  EXPECT_EQ(view.icons.size(), icons);
}

}  // namespace
}  // namespace tessa::test
