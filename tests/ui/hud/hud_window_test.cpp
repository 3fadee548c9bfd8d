#include "ui/hud/hud_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include "l10n/localization.h"
#include "support/engine_fixture.h"
#include "support/screenshots.h"
#include "ui/hud/rings.h"
#include "ui/screen_geometry.h"

namespace tessa {
namespace {

using test::allTextDrawsWithoutBoxes;
using test::writeScreenshot;

HudLocalizer inLanguage(const std::string& language) {
  return [language](const std::string& key) { return LocalizedTable::shared().localized(key, language, false); };
}

std::string localized(const std::string& key, const std::string& language) {
  return LocalizedTable::shared().localized(key, language, false);
}

class HudWindowTest : public ::testing::Test {
 protected:
  HudWindowTest() : runner(clock), appLog(&systemLog, "Ovrelan.Tessavinor") {}

  std::shared_ptr<UnifiedMenuPanel> makePanel() {
    HudEnvironment env;
    env.clock = &clock;
    env.main = &runner;
    env.defaults = &defaults;
    env.appLog = &appLog;
    env.placement.mainScreen = []() -> std::optional<ScreenInfo> {
      QScreen* screen = QGuiApplication::primaryScreen();
      if (!screen) return std::nullopt;
      return screenInfoOf(*screen);
    };
    return UnifiedMenuPanel::create(std::move(env));
  }

  void open(const std::string& language = "en", HudWindow::Options options = {}) {
    panel = makePanel();
    if (!options.translucent) options.translucent = true;
    options.log = &appLog;
    window = std::make_unique<HudWindow>(panel, inLanguage(language), options);
  }

  // Shows `state` below the status item, lets the fade-in and the sizing run
  // on the manual clock, and lets the widgets follow.
  void showAndSettle(DisplayState state, int priority = 3) {
    panel->show(std::move(state), priority, true, false);
    settle(0.2);
  }
  // The window re-reads a running fade from the clock on a timer; here the
  // clock is manual, so it is asked to follow right away.
  void settle(double seconds = 0) {
    runner.advance(seconds);
    QCoreApplication::processEvents();
    if (window) window->sync();
  }

  template <class W = QWidget>
  W* find(const char* name) {
    return window->findChild<W*>(name);
  }
  std::string textOf(const char* name) {
    if (auto* label = find<QLabel>(name)) return label->text().toStdString();
    if (auto* button = find<QAbstractButton>(name)) return button->text().toStdString();
    ADD_FAILURE() << "no element named " << name;
    return {};
  }

  ManualClock clock;
  ManualTaskRunner runner;
  UserDefaults defaults;
  test::RecordingSystemLog systemLog;
  AppLog appLog;
  std::shared_ptr<UnifiedMenuPanel> panel;
  std::unique_ptr<HudWindow> window;
};

// ------------------------------------------------ every state, two languages

struct HudCase {
  std::string name;
  DisplayState state;
  std::vector<std::pair<const char*, std::string>> texts;
  std::vector<const char*> absent;
};

std::vector<HudCase> casesIn(const std::string& lang) {
  const bool th = lang == "th";
  // A Thai user typed English on the Thai layout, or the other way round.
  const std::string typed = th ? "l;ylfu" : "้ำสสน";
  const std::string word = th ? "สวัสดี" : "hello";
  const std::string target = languageDisplayName(th ? "th" : "en");
  const std::string outage = formatLocalized(localized("hud_tap_outage", lang), {"5"});
  return {
      {"ask",
       DisplayState::ask(typed, word, th ? "พิมพ์ผิดแป้น" : "Typed on the wrong layout", 3, [] {}, [] {}),
       {{"hudCurrentWord", typed},
        {"hudSuggestedWord", word},
        {"hudBadge", th ? "มั่นใจสูง" : "High"},
        {"hudDetail", th ? "พิมพ์ผิดแป้น" : "Typed on the wrong layout"},
        {"hudHint", "Ctrl+Shift+O ยืนยัน · Esc ยกเลิก"}},
       {"hudTitle"}},
      {"confirmed_forward",
       DisplayState::confirmedForward(word, typed, target, 5, 5.0, [] {}, [] {}),
       {{"hudTitle", word},
        {"hudBadge", th ? "ปุ่มใกล้เคียง" : "Adjacent Key"},
        {"hudDetail", th ? "แก้จาก «l;ylfu» (ไทย (TH))" : "แก้จาก «้ำสสน» (อังกฤษ (EN))"},
        {"hudHint", "Ctrl+Shift+Z ยกเลิก · Ctrl+Shift+A จำคำ"}},
       {}},
      {"confirmed_reverted",
       DisplayState::confirmedReverted(th ? "ย้อนกลับเป็น «l;ylfu» แล้ว" : "Back to «้ำสสน»",
                                       th ? "พิมพ์ต่อได้เลย" : "Keep typing", typed, [] {}),
       {{"hudTitle", th ? "ย้อนกลับเป็น «l;ylfu» แล้ว" : "Back to «้ำสสน»"},
        {"hudDetail", th ? "พิมพ์ต่อได้เลย" : "Keep typing"}},
       {"hudHint", "hudBadge"}},
      {"confirmed_redo",
       DisplayState::confirmedRedo(word, target),
       {{"hudTitle", th ? "แปลงเป็น «สวัสดี» อีกครั้ง (Redo)" : "แปลงเป็น «hello» อีกครั้ง (Redo)"},
        {"hudDetail", "จุดเก่าที่สุดที่จำไว้ · กด Ctrl+Shift+X เพื่อไปภาษาอื่นต่อ"}},
       {"hudSeparator"}},
      {"status",
       DisplayState::status(localized("hud_tap_recovered", lang), localized("hud_tap_stale_recovered", lang),
                            "play.circle.fill", HudColor::green),
       {{"hudTitle", th ? "พร้อมดูแลแล้ว" : "Ready"},
        {"hudDetail", th ? "ตรวจพบสถานะค้างชั่วคราวและกู้คืนให้อัตโนมัติ" : "Detected a temporary stall and auto-recovered"}},
       {"hudSeparator"}},
      {"status_restart_program",
       DisplayState::status(formatLocalized(localized("conversion_restart_program", lang), {"gnome-text-editor"}),
                            localized("conversion_restart_program_sub", lang), "exclamationmark.triangle",
                            HudColor::orange),
       {{"hudTitle", th ? "เปิด gnome-text-editor ใหม่หนึ่งครั้ง" : "Restart gnome-text-editor once"}},
       {"hudSeparator"}},
      {"status_progress",
       DisplayState::statusProgress(outage, "hourglass", 5),
       {{"hudTitle", th ? "หยุดไป 5 วินาที" : "Paused for 5 seconds"}},
       {"hudDetail", "hudSymbol"}},
      {"actionable",
       DisplayState::actionable(localized("hud_per_doc_title", lang), th ? "ปิดการสลับภาษาตามเอกสารในการตั้งค่า" : "Turn it off in Settings",
                                "keyboard.badge.ellipsis", HudColor::orange, localized("hud_per_doc_action", lang),
                                [] {}),
       {{"hudTitle", th ? "ภาษาเด้งกลับเองใช่ไหม?" : "Language switched back by itself?"},
        {"hudDetail", th ? "ปิดการสลับภาษาตามเอกสารในการตั้งค่า" : "Turn it off in Settings"},
        {"hudActionButton", th ? "เปิดการตั้งค่า" : "Open Settings"}},
       {}},
      {"actionable_countdown",
       DisplayState::actionableCountdown(th ? "Tessavinor หยุดชั่วคราว" : "Tessavinor is paused",
                                         th ? "จะกลับมาทำงานเองเมื่อนับถอยหลังจบ" : "It resumes when the ring runs out",
                                         "pause.circle.fill", HudColor::white, 5, th ? "เปิดเลย" : "Resume now",
                                         [] {}),
       {{"hudTitle", th ? "Tessavinor หยุดชั่วคราว" : "Tessavinor is paused"},
        {"hudDetail", th ? "จะกลับมาทำงานเองเมื่อนับถอยหลังจบ" : "It resumes when the ring runs out"},
        {"hudActionButton", th ? "เปิดเลย" : "Resume now"}},
       {"hudSymbol"}},
  };
}

class HudStatesTest : public HudWindowTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(HudStatesTest, EachStateShowsItsTextsDrawsThemWithoutBoxesAndIsCaptured) {
  const std::string lang = GetParam();
  for (auto& c : casesIn(lang)) {
    SCOPED_TRACE(c.name + " in " + lang);
    open(lang);
    showAndSettle(c.state);
    ASSERT_TRUE(window->isVisible());
    for (const auto& [name, text] : c.texts) EXPECT_EQ(textOf(name), text) << name;
    for (const char* name : c.absent) EXPECT_EQ(find(name), nullptr) << name << " should not be drawn";
    EXPECT_TRUE(allTextDrawsWithoutBoxes(*window));

    // The panel took its size from the view: nothing is cut off.
    QSize content = window->view().sizeHint();
    Rect frame = panel->frame();
    EXPECT_GE(frame.width, std::max(240, content.width()));
    EXPECT_GE(frame.height, std::max(44, content.height()));
    EXPECT_EQ(window->view().geometry().size(), content);

    writeScreenshot(*window, QString::fromStdString("hud_" + c.name + "_" + lang));
  }
}

INSTANTIATE_TEST_SUITE_P(Languages, HudStatesTest, ::testing::Values("en", "th"),
                         [](const auto& info) { return info.param; });

TEST_F(HudWindowTest, LaoNoticeAndOpaquePlateDrawWithoutBoxes) {
  HudWindow::Options opaque;
  opaque.translucent = false;
  open("lo", opaque);
  showAndSettle(DisplayState::status(localized("hud_tap_recovered", "lo"), localized("hud_tap_stale_recovered", "lo"),
                                     "play.circle.fill", HudColor::green));
  EXPECT_EQ(textOf("hudTitle"), "ພ້ອມດູແລແລ້ວ");
  EXPECT_TRUE(allTextDrawsWithoutBoxes(*window));
  // Opaque: no room for a shadow, the plate covers the whole window.
  EXPECT_FALSE(window->isTranslucent());
  EXPECT_EQ(window->view().geometry(), window->rect());
  EXPECT_EQ(window->geometry(), toQtRect(panel->frame(), primaryScreenGeometry()));
  writeScreenshot(*window, "hud_status_lo_opaque");
}

// ------------------------------------------------------------------- focus

TEST_F(HudWindowTest, NeverTakesTheKeyboardFocusFromTheTextTheUserTypesIn) {
  QWidget editor;
  auto* field = new QLineEdit(&editor);
  editor.show();
  editor.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&editor));
  field->setFocus();
  ASSERT_EQ(QApplication::focusWidget(), field);

  open("th");
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(window->windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_EQ(window->windowType(), Qt::Tool);
  EXPECT_TRUE(window->testAttribute(Qt::WA_ShowWithoutActivating));

  int actions = 0;
  showAndSettle(DisplayState::actionable("Tessavinor ถูกระงับการทำงาน", "กดปุ่มเพื่อเปิดใหม่", "pause.circle.fill",
                                         HudColor::orange, "เปิดใหม่", [&] { ++actions; }));
  ASSERT_TRUE(window->isVisible());
  for (QWidget* w : window->findChildren<QWidget*>()) EXPECT_EQ(w->focusPolicy(), Qt::NoFocus) << w->objectName().toStdString();
  EXPECT_EQ(window->focusPolicy(), Qt::NoFocus);
  EXPECT_EQ(QApplication::activeWindow(), &editor);
  EXPECT_EQ(QApplication::focusWidget(), field);

  // A click on the notice's button works and leaves the focus where it was.
  auto* button = find<QPushButton>("hudActionButton");
  ASSERT_TRUE(button);
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(actions, 1);
  EXPECT_EQ(QApplication::focusWidget(), field);
  // Typing goes on where the user was typing.
  QTest::keyClicks(nullptr, "abc");
  EXPECT_EQ(field->text(), "abc");
}

// ------------------------------------------------------ mirroring the panel

TEST_F(HudWindowTest, FollowsThePanelsFadesFrameAndVisibility) {
  open("en");
  EXPECT_FALSE(window->isVisible());
  panel->show(DisplayState::status("Ready", "", "play.circle.fill", HudColor::green), 3, false, true);
  settle();
  ASSERT_TRUE(window->isVisible());
  EXPECT_DOUBLE_EQ(window->windowOpacity(), 0.0);
  settle(0.075);
  EXPECT_NEAR(window->windowOpacity(), 0.5, 0.01);
  settle(0.1);
  EXPECT_DOUBLE_EQ(window->windowOpacity(), 1.0);

  // Top centre of the offscreen screen, the shadow's room around the frame.
  QRect frame = toQtRect(panel->frame(), primaryScreenGeometry());
  EXPECT_EQ(window->geometry(), frame.marginsAdded(HudWindow::shadowMargins()));
  EXPECT_EQ(frame.top(), primaryScreenGeometry().top() + 40);
  EXPECT_NEAR(frame.center().x(), primaryScreenGeometry().center().x(), 1);
  EXPECT_EQ(frame.width(), 240) << "a short status keeps the panel's minimum width";

  // A longer notice widens the panel to the new row.
  panel->show(DisplayState::status("A much longer status line that needs more room than the minimum", "", "book",
                                   HudColor::white),
              4, false, true);
  settle(0.35);
  EXPECT_EQ(textOf("hudTitle"), "A much longer status line that needs more room than the minimum");
  EXPECT_GT(panel->frame().width, 240);
  EXPECT_EQ(panel->frame().width, window->view().sizeHint().width());

  panel->dismiss(0.3);
  settle(0.29);
  EXPECT_TRUE(window->isVisible());
  settle(0.02);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(HudWindowTest, StatusItemBoundLateFromTheViewPlacesThePanelBelowIt) {
  open("en");
  QRect screen = primaryScreenGeometry();
  QRect trayIcon(screen.right() - 100, screen.top(), 24, 24);
  QRect reported = trayIcon;
  window->bindStatusButton([&reported] { return reported; });

  showAndSettle(DisplayState::status("Ready", "", "play.circle.fill", HudColor::green));
  QRect frame = toQtRect(panel->frame(), screen);
  EXPECT_EQ(frame.top(), trayIcon.bottom() + 1 + 8) << "8 points below the button";
  EXPECT_LE(frame.right(), screen.right() - 4) << "kept inside the screen";

  // Trays often report no geometry: the notice goes to the top centre.
  reported = QRect();
  panel->dismiss(0);
  settle(0.1);
  showAndSettle(DisplayState::status("Ready", "", "play.circle.fill", HudColor::green));
  frame = toQtRect(panel->frame(), screen);
  EXPECT_EQ(frame.top(), screen.top() + 40);

  // Once the window is gone the panel no longer reaches for it.
  window.reset();
  panel->dismiss(0);
  settle(0.1);
  panel->show(DisplayState::status("Ready", "", "play.circle.fill", HudColor::green), 3, true, false);
  settle(0.2);
  EXPECT_EQ(panel->frame().width, UnifiedMenuPanel::kMinWidth);
}

TEST_F(HudWindowTest, OnWaylandTheWindowIsNotPlacedAndThatIsLoggedOnce) {
  HudWindow::Options wayland;
  wayland.platformName = "wayland";
  open("en", wayland);
  EXPECT_FALSE(window->canPlaceAtPoint());
  showAndSettle(DisplayState::status("Ready", "", "play.circle.fill", HudColor::green));
  panel->dismiss(0);
  settle(0.1);
  showAndSettle(DisplayState::status("Again", "", "play.circle.fill", HudColor::green));
  int lines = 0;
  for (const auto& line : systemLog.lines)
    if (line.message.find("Wayland") != std::string::npos) ++lines;
  EXPECT_EQ(lines, 1);
  // The size still follows the panel.
  EXPECT_EQ(window->size(), toQtRect(panel->frame(), primaryScreenGeometry())
                                .marginsAdded(HudWindow::shadowMargins())
                                .size());
  EXPECT_FALSE(windowSystemComposites("linuxfb"));
  EXPECT_TRUE(windowSystemComposites("wayland-egl"));
}

// ------------------------------------------------------------------- rings

TEST_F(HudWindowTest, RingsRunOnThePanelsClock) {
  open("en");
  showAndSettle(DisplayState::statusProgress("Paused for 3 seconds", "hourglass", 3));
  auto* filling = find<WaitingRing>("hudWaitingRing");
  ASSERT_TRUE(filling);
  EXPECT_FALSE(filling->drains());
  double startedAt = clock.uptime() - 0.2;  // the row appeared when the show began
  settle(1.3);
  EXPECT_NEAR(filling->progress(), (clock.uptime() - startedAt) / 3, 1e-9);
  settle(1.5);
  EXPECT_DOUBLE_EQ(filling->progress(), 1.0);

  open("en");
  showAndSettle(DisplayState::actionableCountdown("Paused", "", "pause.circle.fill", HudColor::white, 3, "Resume", {}));
  auto* draining = find<WaitingRing>("hudWaitingRing");
  ASSERT_TRUE(draining);
  settle(1.3);
  EXPECT_NEAR(draining->progress(), 0.5, 1e-9);
  settle(1.5);
  EXPECT_DOUBLE_EQ(draining->progress(), 0.0);
}

TEST_F(HudWindowTest, ExpiryEmptiesTheUndoRingAtOnceAndStopsTheButton) {
  open("th");
  int undos = 0;
  showAndSettle(DisplayState::confirmedForward("สวัสดี", "l;ylfu", "ไทย (TH)", 1, 5.0, [&] { ++undos; }, {}), 2);
  auto* undo = find<CountdownRingButton>("hudUndoButton");
  ASSERT_TRUE(undo);
  settle(1.8);
  EXPECT_NEAR(undo->progress(), 0.6, 1e-9) << "the ring drains with the undo window";
  QTest::mouseClick(undo, Qt::LeftButton);
  EXPECT_EQ(undos, 1);

  panel->expireActiveNotice();
  settle();
  undo = find<CountdownRingButton>("hudUndoButton");
  ASSERT_TRUE(undo);
  EXPECT_TRUE(undo->isExpired());
  EXPECT_DOUBLE_EQ(undo->progress(), 0.0);
  EXPECT_FALSE(undo->isEnabled());
  EXPECT_EQ(textOf("hudDetail"), "หมดเวลายกเลิกแล้ว · ปรับเวลาได้ในตั้งค่า");
  // The longer detail widened the panel instead of being cut off.
  EXPECT_EQ(window->view().geometry().size(), window->view().sizeHint());
  EXPECT_EQ(panel->frame().width, std::max(240, window->view().sizeHint().width()));
  QTest::mouseClick(undo, Qt::LeftButton);
  EXPECT_EQ(undos, 1);
  writeScreenshot(*window, "hud_confirmed_forward_expired_th");

  // The grace runs out and the notice fades away.
  settle(0.9 + 0.45 + 0.01);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(HudWindowTest, SixthCorrectionNoticeHasNoHintLine) {
  open("en");
  defaults.setInteger("correctionHintShownCount", 5);
  showAndSettle(DisplayState::confirmedForward("hello", "้ำสสน", "อังกฤษ (EN)", 3, 5.0, {}, {}));
  EXPECT_EQ(textOf("hudTitle"), "hello");
  EXPECT_EQ(find("hudHint"), nullptr);
}

}  // namespace
}  // namespace tessa
