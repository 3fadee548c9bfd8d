#include "app_core/dashboard/keyboard_settings_model.h"

#include <gtest/gtest.h>

#include "app_core/status_item_model.h"
#include "engine/hud_notices.h"
#include "engine/keyboard_engine.h"
#include "engine/system_keyboard.h"
#include "hud/unified_menu_panel.h"
#include "platform/linux/json_preference_domains.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"

namespace tessa {
namespace {

class KeyboardSettingsModelTest : public ::testing::Test {
 protected:
  KeyboardSettingsModelTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
  }
  KeyboardSettingsModel model(LoginItemAccess access = {}) {
    return KeyboardSettingsModel(engine->settings(), engine->accessibility(), engine->context(), engine->hudNotices(),
                                 access);
  }
  void moveSpotlightTo(uint64_t flags, int keyCode = 49) {
    auto keys = SimPreferenceDomains::defaultSymbolicHotKeys();
    keys["64"]["value"]["parameters"] = {32, keyCode, flags};
    desk.preferences().setStoredValue(system_keyboard::kSymbolicHotKeysDomain, system_keyboard::kSymbolicHotKeysKey,
                                      keys);
  }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
};

TEST_F(KeyboardSettingsModelTest, FiveCardsInOrderWithTheirLocalisedAndFixedTexts) {
  engine->appLanguage.set("en");
  auto cards = model().switcherCards();
  ASSERT_EQ(cards.size(), 5u);
  std::vector<SwitcherKey> order;
  for (const auto& c : cards) order.push_back(c.value);
  EXPECT_EQ(order, (std::vector<SwitcherKey>{SwitcherKey::capslock, SwitcherKey::grave, SwitcherKey::optionSpace,
                                             SwitcherKey::controlSpace, SwitcherKey::commandSpace}));
  EXPECT_EQ(cards[0].content.title, "Caps Lock Key");
  EXPECT_EQ(cards[0].content.subtitle, "Use the Caps Lock key to switch layouts.");
  EXPECT_FALSE(cards[0].content.badge);
  EXPECT_EQ(cards[1].content.badge, "Windows Style");
  EXPECT_EQ(cards[3].content.badge, std::nullopt);
  EXPECT_EQ(cards[4].content.badge, "Windows/PC Style");
  EXPECT_EQ(cards[4].content.cons,
            std::vector<std::string>{"Super + Space อาจเป็นคีย์ลัดของเดสก์ท็อปอยู่แล้ว ต้องย้ายคีย์ลัดนั้นไปปุ่มอื่นก่อน"});
  for (const auto& c : cards) {
    EXPECT_EQ(c.content.pros.size(), 2u);
    EXPECT_EQ(c.content.cons.size(), 1u);
  }
  engine->appLanguage.set("th");
  EXPECT_EQ(model().switcherCards()[0].content.title, "ปุ่ม Caps Lock");
  // No key of this page has a wording-level variant: the pro level reads the same.
  engine->appCopywritingLevel.set(CopywritingLevel::pro);
  EXPECT_EQ(model().switcherCards()[1].content.title, "ปุ่ม Grave Accent (`) (แบบ Windows)");
  EXPECT_EQ(model().text("settings_btn_security"), "เปิดหน้าต่างสิทธิ์ความปลอดภัยระบบ");
}

TEST_F(KeyboardSettingsModelTest, TheChosenKeyDecidesWhichBoxesShow) {
  auto m = model();
  desk.events().setComboHeldByOthers(keycode::space, flags::option);  // as stock openbox's window menu does
  m.selectSwitcherKey(SwitcherKey::capslock);
  EXPECT_FALSE(m.showsSpotlightWarning());
  EXPECT_EQ(m.noteBox(), KeyboardSettingsModel::NoteBox::none);
  EXPECT_TRUE(m.noteLines().empty());

  m.selectSwitcherKey(SwitcherKey::optionSpace);
  EXPECT_EQ(engine->switcherKey.get(), SwitcherKey::optionSpace);
  EXPECT_EQ(fx.defaults->integerForKey("SwitcherKey"), 2) << "the engine stores the choice";
  EXPECT_EQ(m.switcherTakenWarning(), "โปรแกรมอื่น (ตัวจัดการหน้าต่างหรือเดสก์ท็อป) ใช้ Alt+Space อยู่ "
                                      "กดแล้วจึงไม่สลับภาษา เลือกปุ่มสลับภาษาอื่นแทน");
  EXPECT_EQ(switcherTakenWarning(engine->settings(), nullptr), "") << "without an event system nothing can tell";
  EXPECT_EQ(m.noteHeading(), "ข้อควรทราบเกี่ยวกับการสลับภาษาด้วย Alt + Space");
  ASSERT_EQ(m.noteLines().size(), 4u);
  EXPECT_EQ(m.noteLines()[2], "• การเคาะ Space เปล่า ๆ ยังเว้นวรรคได้ตามปกติ ระบบจะทำงานเฉพาะเมื่อกดพร้อมปุ่ม Alt เท่านั้น");

  m.selectSwitcherKey(SwitcherKey::controlSpace);
  EXPECT_EQ(m.noteHeading(), "ข้อควรทราบเกี่ยวกับการสลับภาษาด้วย Ctrl + Space");
  EXPECT_NE(m.noteLines()[2].find("กดพร้อมปุ่ม Ctrl เท่านั้น"), std::string::npos);
  EXPECT_EQ(m.switcherTakenWarning(), "") << "a key no other program keeps";

  m.selectSwitcherKey(SwitcherKey::grave);
  EXPECT_EQ(m.noteBox(), KeyboardSettingsModel::NoteBox::graveAccent);
  EXPECT_EQ(m.noteHeading(), "ข้อควรทราบเกี่ยวกับระบบ Grave Accent (`) Windows-style");
  EXPECT_EQ(m.noteLines().size(), 5u);
  EXPECT_FALSE(m.showsSpotlightWarning());
}

TEST_F(KeyboardSettingsModelTest, SpotlightWarningFollowsTheSearchShortcutEachTimeItIsAsked) {
  auto m = model();
  m.selectSwitcherKey(SwitcherKey::commandSpace);
  EXPECT_TRUE(m.showsSpotlightWarning()) << "a fresh account has the search on Command + Space";
  EXPECT_EQ(m.noteBox(), KeyboardSettingsModel::NoteBox::none);

  moveSpotlightTo(/*control*/ 262144);
  EXPECT_FALSE(m.showsSpotlightWarning());
  moveSpotlightTo(1048576 | 131072);  // Command + Shift + Space
  EXPECT_FALSE(m.showsSpotlightWarning());
  moveSpotlightTo(1048576);
  EXPECT_TRUE(m.showsSpotlightWarning());

  // A store that exists but whose entry cannot be read still warns.
  auto keys = SimPreferenceDomains::defaultSymbolicHotKeys();
  keys["64"] = "garbage";
  desk.preferences().setStoredValue(system_keyboard::kSymbolicHotKeysDomain, system_keyboard::kSymbolicHotKeysKey,
                                    keys);
  EXPECT_TRUE(m.showsSpotlightWarning());
}

TEST_F(KeyboardSettingsModelTest, NoShortcutStoreMeansNothingIsBoundToCommandSpace) {
  desk.preferences().clearDomain(system_keyboard::kSymbolicHotKeysDomain);
  EXPECT_FALSE(KeyboardSettingsModel::isSpotlightOnCommandSpace(&desk.preferences()));
  EXPECT_FALSE(KeyboardSettingsModel::isSpotlightOnCommandSpace(nullptr));
  // Nor a file of our own hot keys (Linux), once it holds the next-source key.
  JsonPreferenceDomains ours(fx.home.path() / "symbolic_hot_keys.json");
  ours.setValue(system_keyboard::kSymbolicHotKeysDomain, system_keyboard::kSymbolicHotKeysKey,
                {{"61", system_keyboard::fnF19HotKeyEntry()}});
  EXPECT_FALSE(KeyboardSettingsModel::isSpotlightOnCommandSpace(&ours));
  auto m = model();
  m.selectSwitcherKey(SwitcherKey::commandSpace);
  EXPECT_FALSE(m.showsSpotlightWarning());
}

TEST_F(KeyboardSettingsModelTest, StrengthsStayUnsetUntilPickedAndMediumIsShownMeanwhile) {
  auto m = model();
  const auto& options = KeyboardSettingsModel::hapticIntensityOptions();
  ASSERT_EQ(options.size(), 4u);
  EXPECT_EQ(options[0].label, "ปิด");
  EXPECT_EQ(options[0].value, -1);
  EXPECT_EQ(options[1].value, 1);
  EXPECT_EQ(options[2].label, "ปานกลาง");
  EXPECT_EQ(options[2].value, 2);
  EXPECT_EQ(options[3].label, "แรง");
  EXPECT_EQ(options[3].value, 0);

  const std::string confirm = KeyboardSettingsModel::kConfirmIntensityKey;
  const std::string alert = KeyboardSettingsModel::kAlertIntensityKey;
  EXPECT_FALSE(m.storedIntensity(confirm));
  EXPECT_EQ(m.shownIntensity(confirm), 2);
  EXPECT_EQ(KeyboardSettingsModel::intensityIndex(m.shownIntensity(confirm)), 2u);
  EXPECT_EQ(engine->hapticIntensityConfirm(), 2) << "the engine plays an unset strength as the page shows it";
  EXPECT_FALSE(fx.defaults->hasStoredValue(confirm)) << "showing the default writes nothing";

  m.pickIntensity(confirm, 0);
  EXPECT_EQ(m.storedIntensity(confirm), 0) << "strong is stored as 0, not confused with unset";
  EXPECT_EQ(KeyboardSettingsModel::intensityIndex(m.shownIntensity(confirm)), 3u);
  m.pickIntensity(alert, -1);
  EXPECT_EQ(fx.defaults->integerForKey(alert), -1);
  EXPECT_EQ(KeyboardSettingsModel::intensityIndex(7), 2u) << "a value from elsewhere shows as medium";

  m.setHapticFeedbackEnabled(false);
  EXPECT_FALSE(m.showsIntensityRows());
  EXPECT_EQ(m.storedIntensity(confirm), 0);
  EXPECT_EQ(m.storedIntensity(alert), -1);
}

TEST_F(KeyboardSettingsModelTest, StartAtLoginReadsTheServiceAndAFailureOffersItsSettings) {
  auto panel = UnifiedMenuPanel::create(hudEnvironmentFor(*engine));
  attachHudPanel(*engine, panel.get());
  bool enabled = false;
  bool fails = false;
  std::vector<bool> calls;
  LoginItemAccess access{[&] { return enabled; },
                         [&](bool on) {
                           calls.push_back(on);
                           if (fails) return false;
                           enabled = on;
                           return true;
                         }};
  auto m = model(access);
  EXPECT_TRUE(m.isLoginItemAvailable());
  EXPECT_FALSE(m.loginToggleValue());
  EXPECT_TRUE(m.setLoginItem(true));
  fx.runner.runUntilIdle();
  EXPECT_TRUE(panel->shownNotices().empty()) << "a success shows nothing";

  fails = true;
  EXPECT_TRUE(m.setLoginItem(false)) << "the toggle keeps what the service reports";
  fx.runner.runUntilIdle();
  EXPECT_EQ(calls, (std::vector<bool>{true, false}));
  ASSERT_EQ(panel->shownNotices().size(), 1u);
  const auto& notice = panel->shownNotices().back();
  EXPECT_EQ(notice.priority, 3);
  EXPECT_EQ(notice.anchor, HudAnchor::statusItem);
  const auto* actionable = panel->state().displayState.get().as<DisplayState::Actionable>();
  ASSERT_NE(actionable, nullptr);
  EXPECT_EQ(actionable->message, "ตั้งค่าเปิดอัตโนมัติไม่สำเร็จ");
  EXPECT_EQ(actionable->subMessage, "ลองอีกครั้งใน System Settings > General > Login Items");
  EXPECT_EQ(actionable->icon, "exclamationmark.triangle.fill");
  EXPECT_EQ(actionable->messageColor, HudColor::orange);
  EXPECT_EQ(actionable->actionTitle, "เปิด System Settings");
  actionable->onAction();
  fx.runner.runUntilIdle();
  EXPECT_EQ(desk.workspace().openedURLs().back(), KeyboardSettingsModel::kLoginItemsSettingsURL);
  attachHudPanel(*engine, nullptr);
}

TEST_F(KeyboardSettingsModelTest, WithoutALoginServiceTheToggleIsOffAndChangesNothing) {
  auto m = model();
  EXPECT_FALSE(m.isLoginItemAvailable());
  EXPECT_FALSE(m.loginToggleValue());
  EXPECT_FALSE(m.setLoginItem(true));
}

TEST_F(KeyboardSettingsModelTest, OnlyWellFormedAddressesGoToTheWorkspace) {
  auto m = model();
  EXPECT_TRUE(m.openURL(KeyboardSettingsModel::kPerDocumentSettingsURL));
  EXPECT_FALSE(m.openURL(""));
  EXPECT_FALSE(m.openURL("no scheme here"));
  EXPECT_FALSE(m.openURL("1x:abc"));
  EXPECT_FALSE(m.openURL("x-apple:with space"));
  EXPECT_EQ(desk.workspace().openedURLs(), std::vector<std::string>{KeyboardSettingsModel::kPerDocumentSettingsURL});

  engine->isAccessibilityGranted.set(false);
  EXPECT_TRUE(m.showsSecurityButton());
  m.openSecuritySettings();
  EXPECT_EQ(desk.workspace().openedURLs().back(),
            "x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
  engine->isAccessibilityGranted.set(true);
  EXPECT_FALSE(m.showsSecurityButton());
}

}  // namespace
}  // namespace tessa
