#include "ui/status/tray_status_view.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMenu>

#include "app_core/status_item_fakes.h"
#include "app_core/status_item_of_engine.h"
#include "engine/keyboard_engine.h"
#include "platform/linux/unavailable_desktop.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"
#include "support/screenshots.h"
#include "ui/status/status_icon.h"

namespace tessa {
namespace {

using Lines = std::vector<std::string>;

// One line per action as the menu shows it: "[x]" checked, "(off)" disabled,
// the shortcut after a tab; submenus indented under their opener.
void describe(const QMenu& menu, Lines& out, const std::string& indent) {
  for (const QAction* action : menu.actions()) {
    if (action->isSeparator()) {
      out.push_back(indent + "---");
      continue;
    }
    std::string line = indent;
    if (action->isChecked()) line += "[x] ";
    if (!action->isEnabled()) line += "(off) ";
    line += action->text().toStdString();
    if (!action->shortcut().isEmpty()) line += "\t" + action->shortcut().toString().toStdString();
    out.push_back(line);
    if (action->menu()) describe(*action->menu(), out, indent + "  ");
  }
}

Lines describe(const QMenu& menu) {
  Lines out;
  describe(menu, out, "");
  return out;
}

QAction* actionTitled(const QMenu& menu, const QString& text) {
  for (QAction* action : menu.actions()) {
    if (action->text() == text) return action;
    if (action->menu())
      if (QAction* inner = actionTitled(*action->menu(), text)) return inner;
  }
  return nullptr;
}

::testing::AssertionResult menuDrawsWithoutBoxes(const QMenu& menu) {
  for (const QAction* action : menu.actions()) {
    if (action->isSeparator()) continue;
    if (auto r = test::drawsWithoutBoxes(action->text(), menu.font(), menu.objectName()); !r) return r;
    if (action->menu())
      if (auto r = menuDrawsWithoutBoxes(*action->menu()); !r) return r;
  }
  return ::testing::AssertionSuccess();
}

class TrayStatusViewTest : public ::testing::Test {
 protected:
  TrayStatusViewTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    desk.setTrusted(true);
    engine = fx.start();
    fx.runner.runUntilIdle();
    controller = test::statusItemControllerOf(*engine, view, shell);
    controller->setUp();  // reads the Accessibility grant the menu reports
    view.setController(controller.get());
  }
  ~TrayStatusViewTest() override {
    view.setController(nullptr);
    controller.reset();
    engine.reset();
    fx.engine.reset();
  }
  QMenu& openMenu() {
    view.rebuildMenu();
    return view.menu();
  }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  TrayStatusView view;
  test::RecordingShell shell;
  std::shared_ptr<StatusItemController> controller;
};

TEST_F(TrayStatusViewTest, TheMenuIsBuiltFromTheEngineInThai) {
  engine->appLanguage.set("th");
  EXPECT_EQ(describe(openMenu()),
            (Lines{"⏸ ระงับชั่วคราว 1 ชั่วโมง",
                   "⏸ ระงับจนพรุ่งนี้",
                   "---",
                   "ดูคำแนะนำเริ่มต้นอีกครั้ง",
                   "---",
                   "(off) Tessavinor: ทำงานอยู่",
                   "(off) Tessavinor v0.1.12 (Remapper)",
                   "ระบบสั่นตอบรับ (Haptic Feedback)",
                   "  เปิดใช้งาน (Enabled)",
                   "  ---",
                   "  (off) เบา (Light)",
                   "  [x] (off) ปานกลาง (Medium)",
                   "  (off) แรง (Strong)",
                   "---",
                   "เลือกภาษา (Language)",
                   "  [x] ไทย (Thai)",
                   "  English (US)",
                   "  ລາວ (Lao)",
                   "  Tiếng Việt (Vietnamese)",
                   "---",
                   "เปิดแดชบอร์ด...\tCtrl+D",
                   "ตรวจสอบการอัปเดต...",
                   "---",
                   "ออกจาก Tessavinor\tCtrl+Q"}));
  EXPECT_TRUE(menuDrawsWithoutBoxes(view.menu()));
  view.menu().adjustSize();
  test::writeScreenshot(view.menu(), "status_menu_th");
  QMenu* languages = actionTitled(view.menu(), "เลือกภาษา (Language)")->menu();
  languages->adjustSize();
  test::writeScreenshot(*languages, "status_menu_th_language");
}

TEST_F(TrayStatusViewTest, WithoutAHapticDeviceTheSubmenuSaysSoAndItsChoicesAreOff) {
  view.setController(nullptr);
  controller.reset();
  engine.reset();
  fx.engine.reset();
  NoHaptics noHaptics;
  fx.platform.haptics = &noHaptics;
  engine = fx.start();
  fx.runner.runUntilIdle();
  controller = test::statusItemControllerOf(*engine, view, shell);
  controller->setUp();
  view.setController(controller.get());
  for (const std::string language : {"th", "en"}) {
    engine->appLanguage.set(language);
    QMenu& menu = openMenu();
    QMenu* haptic = actionTitled(menu, language == "th" ? "ระบบสั่นตอบรับ (Haptic Feedback)" : "Haptic Feedback")->menu();
    ASSERT_NE(haptic, nullptr);
    Lines lines = describe(*haptic);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], language == "th" ? "(off) ใช้ไม่ได้บนคอมพิวเตอร์เครื่องนี้" : "(off) Not available on this computer");
    EXPECT_EQ(lines[1].find("(off) "), 0u) << lines[1];
    EXPECT_TRUE(menuDrawsWithoutBoxes(*haptic));
    haptic->adjustSize();
    test::writeScreenshot(*haptic, QString::fromStdString("status_menu_haptic_unavailable_" + language));
  }
}

TEST_F(TrayStatusViewTest, TheMenuFollowsTheEngineAtEachOpeningInEnglish) {
  engine->appLanguage.set("en");
  engine->pause(1.0, false);
  engine->isHapticFeedbackEnabled.set(true);
  fx.runner.runUntilIdle();
  EXPECT_EQ(describe(openMenu()),
            (Lines{"▶️ Resume",
                   "---",
                   "Show the Getting Started Guide Again",
                   "---",
                   "(off) Tessavinor: Active",
                   "(off) Tessavinor v0.1.12 (Remapper)",
                   "Haptic Feedback",
                   "  [x] Enabled",
                   "  ---",
                   "  Light",
                   "  [x] Medium",
                   "  Strong",
                   "---",
                   "Language",
                   "  ไทย (Thai)",
                   "  [x] English (US)",
                   "  ລາວ (Lao)",
                   "  Tiếng Việt (Vietnamese)",
                   "---",
                   "Open Dashboard...\tCtrl+D",
                   "Check for Updates...",
                   "---",
                   "Quit Tessavinor\tCtrl+Q"}));
  EXPECT_TRUE(menuDrawsWithoutBoxes(view.menu()));
  view.menu().adjustSize();
  test::writeScreenshot(view.menu(), "status_menu_en");

  // Opening again refills the menu instead of adding to it, submenus included.
  Lines first = describe(view.menu());
  size_t submenus = view.menu().findChildren<QMenu*>().size();
  Q_EMIT view.menu().aboutToShow();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(describe(view.menu()), first);
  EXPECT_EQ(view.menu().findChildren<QMenu*>().size(), submenus);
}

TEST_F(TrayStatusViewTest, TriggeringAnActionPerformsIt) {
  engine->appLanguage.set("th");
  openMenu();
  actionTitled(view.menu(), "English (US)")->trigger();
  EXPECT_EQ(engine->appLanguage.get(), "en");
  openMenu();
  actionTitled(view.menu(), "Quit Tessavinor")->trigger();
  actionTitled(view.menu(), "Open Dashboard...")->trigger();
  EXPECT_EQ(shell.calls, (std::vector<std::string>{"quitApp", "openDashboard"}));
  view.menu().findChild<QAction*>("statusMenu.pauseEngine1h")->trigger();
  EXPECT_TRUE(engine->isPaused.get());

  view.setController(nullptr);
  openMenu();
  EXPECT_TRUE(view.menu().actions().isEmpty()) << "no controller, no menu";
}

TEST_F(TrayStatusViewTest, TrayClicksMapToTheControllersClicks) {
  auto click = [](QSystemTrayIcon::ActivationReason reason, Qt::KeyboardModifiers modifiers = {}) {
    return TrayStatusView::clickFor(reason, modifiers);
  };
  EXPECT_EQ(click(QSystemTrayIcon::Trigger).kind, StatusClickKind::leftMouseUp);
  EXPECT_EQ(click(QSystemTrayIcon::Context).kind, StatusClickKind::rightMouseUp);
  EXPECT_EQ(click(QSystemTrayIcon::MiddleClick).kind, StatusClickKind::otherMouseUp);
  EXPECT_EQ(click(QSystemTrayIcon::DoubleClick).kind, StatusClickKind::none);
  EXPECT_EQ(click(QSystemTrayIcon::Trigger, Qt::ControlModifier).modifierFlags, 0x40000u);
  EXPECT_EQ(click(QSystemTrayIcon::Trigger, Qt::ShiftModifier).modifierFlags, 0u);

  view.activate(QSystemTrayIcon::Trigger, {});
  EXPECT_EQ(shell.calls, std::vector<std::string>{"openDashboard"});
  view.activate(QSystemTrayIcon::Context, {});
  view.activate(QSystemTrayIcon::DoubleClick, {});
  EXPECT_EQ(shell.calls.size(), 1u) << "a right click is the menu's; a double click is not a click of its own";

  view.activate(QSystemTrayIcon::Trigger, Qt::ControlModifier);
  EXPECT_EQ(shell.calls.size(), 1u);
  EXPECT_TRUE(view.menu().isVisible()) << "a Control-click opens the menu";
  EXPECT_FALSE(view.menu().actions().isEmpty()) << "filled on opening";
  view.menu().hide();
}

// ------------------------------------------------------------------ icon

int countPixels(const QImage& image, const QColor& color, QRect area = {}) {
  if (area.isNull()) area = image.rect();
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      QColor c = image.pixelColor(x, y);
      if (c.alpha() == 255 && c.rgb() == color.rgb()) ++n;
    }
  return n;
}

QString saveIcon(const QImage& image, const QString& name) {
  QDir dir(test::screenshotDirectory());
  dir.mkpath(".");
  QString path = dir.filePath(name + ".png");
  EXPECT_TRUE(image.save(path, "PNG")) << path.toStdString();
  return path;
}

TEST(StatusIconTest, TheIconCarriesItsStateInColourAndBars) {
  const QColor green = statusColor(StatusColor::systemGreen);
  const QColor orange = statusColor(StatusColor::systemOrange);
  const QColor gray = statusColor(StatusColor::pausedGray);

  StatusIconSpec paused{"pause.circle.fill", StatusColor::pausedGray};
  QImage plain = renderStatusIcon(paused, 2.0);
  EXPECT_EQ(plain.width(), plain.height()) << "no bars, no lift";
  EXPECT_GT(countPixels(plain, gray), 100);
  EXPECT_EQ(countPixels(plain, green) + countPixels(plain, orange), 0);
  saveIcon(plain, "status_icon_paused@2x");

  StatusIconSpec caps{"keyboard.fill", StatusColor::label, true};
  QImage lifted = renderStatusIcon(caps, 2.0);
  EXPECT_EQ(lifted.height(), lifted.width() + 6) << "lifted by three points at 2x";
  QRect barRows(0, lifted.height() - 6, lifted.width(), 6);
  EXPECT_GT(countPixels(lifted, green, barRows), 60);
  EXPECT_EQ(countPixels(lifted, green), countPixels(lifted, green, barRows)) << "the bar stays below the symbol";
  saveIcon(lifted, "status_icon_capslock@2x");

  StatusIconSpec both = caps;
  both.ignoredBar = true;
  QImage split = renderStatusIcon(both, 2.0);
  int half = split.width() / 2;
  QRect left(0, split.height() - 6, half, 6), right(half, split.height() - 6, split.width() - half, 6);
  EXPECT_GT(countPixels(split, green, left), 20);
  EXPECT_EQ(countPixels(split, green, right), 0);
  EXPECT_GT(countPixels(split, orange, right), 20);
  EXPECT_EQ(countPixels(split, orange, left), 0);
  saveIcon(split, "status_icon_capslock_ignored@2x");

  StatusIconSpec axMissing{"exclamationmark.triangle.fill", StatusColor::systemOrange};
  QImage warning = renderStatusIcon(axMissing, 2.0);
  EXPECT_GT(countPixels(warning, orange), 200);
  saveIcon(warning, "status_icon_accessibility_missing@2x");
}

TEST_F(TrayStatusViewTest, TheViewKeepsWhatItWasAskedToShow) {
  StatusIconSpec icon{"lock.fill", StatusColor::systemYellow};
  view.setIcon(icon);
  view.setToolTip("Tessavinor v0.1.12 (Remapper) - สำหรับคีย์บอร์ดภายนอก");
  ASSERT_TRUE(view.currentIcon().has_value());
  EXPECT_EQ(*view.currentIcon(), icon);
  EXPECT_FALSE(view.trayIcon().icon().isNull());
  EXPECT_EQ(view.trayIcon().toolTip().toStdString(), "Tessavinor v0.1.12 (Remapper) - สำหรับคีย์บอร์ดภายนอก");
  EXPECT_EQ(view.hasButton(), QSystemTrayIcon::isSystemTrayAvailable());

  // The plain keyboard is drawn in the theme's text colour: a theme switch redraws it.
  view.setIcon(StatusIconSpec{"keyboard.fill", StatusColor::label});
  qint64 before = view.trayIcon().icon().cacheKey();
  const QPalette original = QApplication::palette();
  QPalette dark = original;
  dark.setColor(QPalette::Window, QColor(30, 30, 30));
  dark.setColor(QPalette::WindowText, Qt::white);
  QApplication::setPalette(dark);
  EXPECT_NE(view.trayIcon().icon().cacheKey(), before);
  QApplication::setPalette(original);
}

}  // namespace
}  // namespace tessa
