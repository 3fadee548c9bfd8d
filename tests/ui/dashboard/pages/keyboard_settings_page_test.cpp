#include "ui/dashboard/pages/keyboard_settings_page.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "engine/keyboard_engine.h"
#include "engine/system_keyboard.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/unavailable_desktop.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"
#include "support/screenshots.h"
#include "ui/dashboard/pages/option_card.h"
#include "ui/system_colors.h"

namespace tessa {
namespace {

using test::allTextDrawsWithoutBoxes;
using test::writeScreenshot;

class KeyboardSettingsPageTest : public ::testing::Test {
 protected:
  KeyboardSettingsPageTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
    engine->isAccessibilityGranted.set(true);
  }
  ~KeyboardSettingsPageTest() override {
    page.reset();
    engine.reset();
    fx.engine.reset();
  }

  KeyboardSettingsPage& open(LoginItemAccess access = {}, const std::string& language = "th") {
    engine->appLanguage.set(language);
    page = std::make_unique<KeyboardSettingsPage>(engine->settings(), engine->accessibility(), engine->context(),
                                                  engine->hudNotices(), std::move(access));
    page->resize(490, 480);
    page->show();
    settle();
    return *page;
  }
  // Twice: a redraw queued by an engine change posts its own layout requests.
  static void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
  }
  template <class W = QWidget>
  W* find(const QString& name) {
    return page->findChild<W*>(name);
  }
  bool shows(const QString& name) {
    auto* w = find(name);
    return w && w->isVisibleTo(page.get());
  }
  OptionCard* card(SwitcherKey key) { return find<OptionCard>(QStringLiteral("switcherCard%1").arg(rawValue(key))); }
  std::vector<OptionCard*> selectedCards() {
    std::vector<OptionCard*> out;
    for (auto* c : page->findChildren<OptionCard*>())
      if (c->isSelected()) out.push_back(c);
    return out;
  }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  std::unique_ptr<KeyboardSettingsPage> page;
};

TEST_F(KeyboardSettingsPageTest, ClickingACardMovesTheSelectionAndTheBoxesThatExplainIt) {
  desk.events().setComboHeldByOthers(keycode::space, flags::option);  // a window manager's window menu
  open();
  ASSERT_EQ(page->findChildren<OptionCard*>().size(), 5u);
  ASSERT_EQ(selectedCards(), std::vector<OptionCard*>{card(SwitcherKey::capslock)});
  EXPECT_FALSE(shows("spotlightBox"));
  EXPECT_FALSE(shows("noteBox"));
  EXPECT_FALSE(shows("switcherTakenWarning"));

  QTest::mouseClick(card(SwitcherKey::optionSpace), Qt::LeftButton);
  settle();
  EXPECT_EQ(engine->switcherKey.get(), SwitcherKey::optionSpace);
  ASSERT_EQ(selectedCards(), std::vector<OptionCard*>{card(SwitcherKey::optionSpace)});
  OptionCard* chosen = card(SwitcherKey::optionSpace);
  OptionCard* other = card(SwitcherKey::capslock);
  EXPECT_EQ(chosen->radioSymbol(), "largecircle.fill.circle");
  EXPECT_EQ(chosen->findChild<QLabel*>("optionCardRadio")->property("symbol").toString(), "largecircle.fill.circle");
  EXPECT_EQ(other->findChild<QLabel*>("optionCardRadio")->property("symbol").toString(), "circle");
  EXPECT_EQ(chosen->fillColor(), withOpacity(systemColor(HudColor::accent), 0.1));
  EXPECT_EQ(chosen->borderWidth(), 1.5);
  EXPECT_EQ(other->borderWidth(), 1.0);
  EXPECT_TRUE(shows("noteBox"));
  EXPECT_TRUE(shows("switcherTakenWarning"));
  EXPECT_EQ(find<QLabel>("noteHeading")->text(), "ข้อควรทราบเกี่ยวกับการสลับภาษาด้วย Alt + Space");
  EXPECT_FALSE(shows("noteLine4"));

  // A click on a label inside the card counts as a click on the card.
  QTest::mouseClick(card(SwitcherKey::grave)->findChild<QLabel*>("optionCardTitle"), Qt::LeftButton);
  settle();
  EXPECT_EQ(engine->switcherKey.get(), SwitcherKey::grave);
  EXPECT_FALSE(shows("switcherTakenWarning"));
  EXPECT_TRUE(shows("noteLine4"));
  EXPECT_TRUE(find<QLabel>("noteLine1")->text().contains("<b>Grave Accent (`)</b>"));
  EXPECT_FALSE(find<QLabel>("noteLine1")->text().contains("**"));

  QTest::mouseClick(card(SwitcherKey::commandSpace), Qt::LeftButton);
  settle();
  EXPECT_TRUE(shows("spotlightBox")) << "the search still sits on Command + Space";
  EXPECT_FALSE(shows("noteBox"));
  find<QPushButton>("spotlightButton")->click();
  EXPECT_EQ(desk.workspace().openedURLs().back(), KeyboardSettingsModel::kShortcutSettingsURL);

  // The shortcut moves elsewhere; the page reads it again when next drawn.
  auto keys = SimPreferenceDomains::defaultSymbolicHotKeys();
  keys["64"]["enabled"] = 0;
  desk.preferences().setStoredValue(system_keyboard::kSymbolicHotKeysDomain, system_keyboard::kSymbolicHotKeysKey,
                                    keys);
  page->hide();
  page->show();
  settle();
  EXPECT_FALSE(shows("spotlightBox"));
}

TEST_F(KeyboardSettingsPageTest, AStrengthIsWrittenOnlyWhenTheUserPicksOne) {
  open();
  auto* confirm = find<QComboBox>("confirmIntensity");
  ASSERT_TRUE(confirm);
  EXPECT_EQ(confirm->width(), 120);
  EXPECT_EQ(confirm->currentText(), "ปานกลาง");
  EXPECT_EQ(confirm->accessibleName(), "ระดับความแรงสั่นเมื่อแปลงสำเร็จ");
  engine->isHapticFeedbackEnabled.set(true);  // any engine change redraws the page
  settle();
  EXPECT_FALSE(fx.defaults->hasStoredValue(KeyboardSettingsModel::kConfirmIntensityKey));
  EXPECT_FALSE(fx.defaults->hasStoredValue(KeyboardSettingsModel::kAlertIntensityKey));

  confirm->setFocus();
  QTest::keyClick(confirm, Qt::Key_Down);  // to "แรง"
  settle();
  EXPECT_EQ(confirm->currentText(), "แรง");
  EXPECT_EQ(fx.defaults->object(KeyboardSettingsModel::kConfirmIntensityKey), UserDefaults::Value(0));
  EXPECT_FALSE(fx.defaults->hasStoredValue(KeyboardSettingsModel::kAlertIntensityKey));

  EXPECT_TRUE(shows("intensityRows"));
  find<QCheckBox>("hapticToggle")->click();
  settle();
  EXPECT_FALSE(engine->isHapticFeedbackEnabled.get());
  EXPECT_FALSE(shows("intensityRows"));
  EXPECT_EQ(fx.defaults->integerForKey(KeyboardSettingsModel::kConfirmIntensityKey), 0) << "left as it was";
}

TEST_F(KeyboardSettingsPageTest, LevelSecurityButtonAndLoginToggleFollowTheirSources) {
  bool enabled = false;
  LoginItemAccess failing{[&] { return enabled; }, [](bool) { return false; }};
  open(failing, "en");
  auto* toggle = find<QCheckBox>("loginToggle");
  EXPECT_TRUE(toggle->isEnabled());
  toggle->click();
  settle();
  EXPECT_FALSE(toggle->isChecked()) << "a failed registration leaves the toggle off";
  EXPECT_FALSE(shows("startupUnavailable"));

  EXPECT_EQ(find<QLabel>("perDocTitle")->text(), "Per-Window Layout Compatibility");
  find<QPushButton>("levelPro")->click();
  settle();
  EXPECT_EQ(engine->appCopywritingLevel.get(), CopywritingLevel::pro);
  EXPECT_TRUE(find<QPushButton>("levelPro")->isChecked());
  EXPECT_EQ(find<QLabel>("perDocTitle")->text(), "Per-Window Layout Compatibility");

  EXPECT_FALSE(shows("securityButton"));
  engine->isAccessibilityGranted.set(false);
  settle();
  ASSERT_TRUE(shows("securityButton"));
  EXPECT_EQ(find<QPushButton>("securityButton")->text(), "Open System Privacy/Accessibility");
  engine->isAccessibilityGranted.set(true);
  settle();
  EXPECT_FALSE(shows("securityButton"));
}

TEST_F(KeyboardSettingsPageTest, WithoutALoginServiceTheToggleSaysSo) {
  open();
  EXPECT_FALSE(find<QCheckBox>("loginToggle")->isEnabled());
  EXPECT_TRUE(shows("startupUnavailable"));
}

TEST_F(KeyboardSettingsPageTest, CardsWithoutExtrasShowNothingExtraAndLongNotesWrap) {
  OptionCard bare(OptionCardContent{"Title only", std::nullopt, std::nullopt, {}, {}});
  EXPECT_EQ(bare.findChild<QWidget*>("optionCardNotes"), nullptr);
  EXPECT_EQ(bare.findChild<QWidget*>("optionCardSubtitle"), nullptr);
  EXPECT_EQ(bare.findChild<QWidget*>("optionCardBadge"), nullptr);
  int titleHeight = bare.findChild<QLabel*>("optionCardTitle")->sizeHint().height();
  EXPECT_LE(bare.heightForWidth(300), std::max(titleHeight, bare.findChild<QLabel*>("optionCardRadio")->height()) + 24)
      << "no empty space under the title row";

  std::string longText;
  for (int i = 0; i < 12; ++i) longText += "ข้อดีที่ยาวมาก ";
  OptionCard full(OptionCardContent{"Title", "Sub", "Badge", {longText}, {"short"}});
  full.resize(300, full.heightForWidth(300));
  full.show();
  settle();
  auto* pro = full.findChild<QLabel*>("optionCardPro0");
  ASSERT_TRUE(pro);
  EXPECT_TRUE(pro->wordWrap());
  EXPECT_LE(pro->geometry().right(), 300);
  EXPECT_GT(pro->height(), 2 * pro->fontMetrics().height() - 2) << "wraps onto more lines rather than being cut";
  EXPECT_TRUE(full.findChild<QLabel*>("optionCardCon0"));
}

TEST_F(KeyboardSettingsPageTest, LinkButtonsShowThePointingHandOnlyWhileHovered) {
  open();
  auto* link = find<QPushButton>("perDocButton");
  ASSERT_TRUE(link);
  ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
  QEvent enter(QEvent::Enter);
  QCoreApplication::sendEvent(link, &enter);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::PointingHandCursor);
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(link, &leave);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr) << "back to the previous cursor";

  // A page that goes away under the pointer gives the cursor back too.
  QCoreApplication::sendEvent(link, &enter);
  page.reset();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// On Linux: the haptic switch and strengths changed nothing yet looked live,
// and "Check macOS Setting" only logged that its pane does not exist.
TEST_F(KeyboardSettingsPageTest, OnLinuxHapticsAreShownDisabledAndTheOtherPlatformsPaneIsNotOffered) {
  engine.reset();
  fx.engine.reset();
  NoHaptics noHaptics;
  LinuxWorkspace workspace(fx.runner, "Tessavinor", {}, [](const std::string&) { return true; });
  fx.platform.haptics = &noHaptics;
  fx.platform.workspace = &workspace;
  engine = fx.start();
  fx.runner.runUntilIdle();
  engine->isHapticFeedbackEnabled.set(true);
  engine->switcherKey.set(SwitcherKey::grave);
  open({}, "en");
  auto* toggle = find<QCheckBox>("hapticToggle");
  ASSERT_NE(toggle, nullptr);
  EXPECT_FALSE(toggle->isEnabled());
  EXPECT_TRUE(toggle->isChecked()) << "the stored choice is shown as it is";
  ASSERT_TRUE(shows("hapticUnavailable"));
  EXPECT_EQ(find<QLabel>("hapticUnavailable")->text(), "Not available on this computer");
  EXPECT_FALSE(find("intensityRows")->isEnabled());
  EXPECT_EQ(find<QLabel>("hapticTitle")->text(), "Haptic Feedback");
  toggle->click();
  EXPECT_TRUE(engine->isHapticFeedbackEnabled.get()) << "the stored setting stays";
  EXPECT_FALSE(shows("perDocButton"));
  EXPECT_TRUE(shows("perDocDescription"));
  for (auto* label : page->findChildren<QLabel*>()) {
    if (!label->isVisibleTo(page.get())) continue;
    for (const char* word : {"macOS", "Apple", "TextEdit", "Trackpad", "Option", "Command", "Spotlight"})
      EXPECT_FALSE(label->text().contains(word)) << label->objectName().toStdString() << ": "
                                                  << label->text().toStdString();
  }
  writeScreenshot(*page, "keyboard_settings_linux_en");
  engine->appLanguage.set("th");
  settle();
  EXPECT_EQ(find<QLabel>("hapticUnavailable")->text(), "ใช้ไม่ได้บนคอมพิวเตอร์เครื่องนี้");
  EXPECT_TRUE(allTextDrawsWithoutBoxes(*page));
  writeScreenshot(*page, "keyboard_settings_linux_th");
  page.reset();
  engine.reset();
  fx.engine.reset();
}

TEST_F(KeyboardSettingsPageTest, ScreenshotsInThaiAndEnglish) {
  desk.events().setComboHeldByOthers(keycode::space, flags::option);  // with the warning under the cards
  for (const char* language : {"th", "en"}) {
    SCOPED_TRACE(language);
    engine->switcherKey.set(SwitcherKey::optionSpace);
    engine->isAccessibilityGranted.set(false);
    engine->isHapticFeedbackEnabled.set(true);
    open({}, language);
    // The whole scrolling content, not just what fits the window.
    QWidget& content = *page->widget();
    page->resize(490, 480);
    settle();
    EXPECT_TRUE(allTextDrawsWithoutBoxes(*page));
    EXPECT_EQ(find<QLabel>("switcherTitle")->text(),
              std::string(language) == "th" ? "ตั้งค่าปุ่มสลับภาษา" : "Language Switcher Settings");
    writeScreenshot(content, QStringLiteral("keyboard_settings_%1").arg(language));
    engine->switcherKey.set(SwitcherKey::grave);
    settle();
    EXPECT_TRUE(allTextDrawsWithoutBoxes(*page));
    writeScreenshot(content, QStringLiteral("keyboard_settings_grave_%1").arg(language));
  }
}

}  // namespace
}  // namespace tessa
