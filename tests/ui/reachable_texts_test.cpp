// Everything a user of this build can read speaks of Linux: no screen, sheet,
// alert, menu or HUD notice names the other platform's programs, settings,
// keys or key glyphs, in English or Thai, at either wording level.
//
// What "reachable" covers here: the whole application started as it starts
// (the delegate with its engine, status item, HUD, clipboard history and
// quick-paste panel), behind the same Qt windows the application makes, on a
// Linux platform: the Linux workspace (no other platform's settings panes),
// our own hot-key file (bound by the engine's start as on X11), no haptic
// device and an accessibility switch the program may turn on itself; only the
// keyboard and the fields are the simulated desktop's. A user's first run and
// what follows it are then walked by clicks, keys and the platform's events:
// every onboarding page (access missing, then given), the repair
// confirmation, the statistics inspector; every dashboard page with access
// missing and given, each switcher key, the clipboard history off and on with
// an entry of each kind, its confirmations and snippet sheet, the problem
// report; the quick-paste panel and its preview; the tray's menu and tooltip
// in each state; and the HUD notices the start, the keys, the pages, the
// pause, the tap's watchdog and the clipboard raise. Every window that is
// visible after each step is read, whatever it is, and every notice the HUD
// showed is read again from its record, so a text cannot hide behind a name
// the walk does not know. The launch alerts are read from the model they
// show. Not covered, because nothing in the application leads to them: the
// feature demonstrations and the onboarding's hot-key cheat sheet.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QTest>
#include <QThreadPool>

#include "app_core/app_delegate.h"
#include "app_core/dashboard/accessibility_repair.h"
#include "app_core/dashboard/dashboard_services.h"
#include "app_core/layout_help.h"
#include "app_core/status_item_model.h"
#include "app_core/status_item_of_engine.h"
#include "clipboard/copy_cache_crypto_store.h"
#include "clipboard/copy_cache_manager.h"
#include "engine/hud_notice_sink.h"
#include "engine/hud_notices.h"
#include "engine/keyboard_engine.h"
#include "hud/unified_menu_panel.h"
#include "l10n/localization.h"
#include "platform/linux/json_preference_domains.h"
#include "platform/linux/linux_workspace.h"
#include "platform/linux/unavailable_desktop.h"
#include "platform/sim/sim_desktop.h"
#include "reliability/telemetry_manager.h"
#include "support/delegate_environment.h"
#include "support/engine_fixture.h"
#include "support/screenshots.h"
#include "support/settle.h"
#include "support/shown_texts.h"
#include "ui/dashboard/content_view.h"
#include "ui/dashboard/dashboard_window.h"
#include "ui/hud/hud_window.h"
#include "ui/quick_paste/quick_paste_panel.h"
#include "ui/status/tray_status_view.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;
using test::ShownText;

// The other platform's programs, settings, keys and glyphs.
constexpr const char* kOtherPlatformWords[] = {
    "macOS",   "System Settings", "Privacy & Security", "Spotlight", "Menu Bar", "Input Monitoring",
    "Trackpad", "Finder",         "TextEdit",           "Apple",     "x-apple",  "⌘",
    "⌥",       "⌃",               "F19",                "CGEvent",   "AX API",   "Option+",
    "Option +", "Command+",       "Command +",          "Control+",  "Control +",
};

// Whole texts that use such words for something of Linux's or as plain
// words: KDE's and Cinnamon's settings program is itself called "System
// Settings", and two headings of the design speak of privacy and security,
// not of a settings pane.
const std::set<QString>& allowedTexts() {
  static const std::set<QString> texts = {
      QString::fromStdString(LocalizedTable::shared().localized("alert_add_layout_kde", "en", false)),
      QString::fromStdString(LocalizedTable::shared().localized("alert_add_layout_kde", "th", false)),
      QString::fromStdString(LocalizedTable::shared().localized("alert_add_layout_cinnamon", "en", false)),
      QString::fromStdString(LocalizedTable::shared().localized("alert_add_layout_cinnamon", "th", false)),
      QStringLiteral("Privacy & Security Guarantees"),
      QStringLiteral("ข้อควรทราบและความปลอดภัย (Privacy & Security)"),
  };
  return texts;
}

// The window system as the application's Qt shell makes it: the tray item,
// the dashboard window with its services, the quick-paste panel.
class QtWindowsShell final : public ShellHost {
 public:
  QtWindowsShell(NotificationCenter& notifications, TelemetryManager& telemetry)
      : notifications_(notifications), telemetry_(telemetry) {}
  StatusItemView* makeStatusItemView() override { return &tray; }
  void statusItemCreated(StatusItemController& controller) override { tray.setController(&controller); }
  std::unique_ptr<DashboardWindow> makeDashboardWindow(const std::string& title, double width, double height,
                                                       std::function<void()> onClose) override {
    DashboardServices services;
    services.copyCache = &delegate->copyCache();
    services.telemetry = &telemetry_;
    std::weak_ptr<AppDelegate> weak = delegate->weak_from_this();
    services.openQuickPaste = [weak] {
      if (auto d = weak.lock()) d->openQuickPaste();
    };
    auto window = std::make_unique<QtDashboardWindow>(engine->views(), notifications_, title, width, height,
                                                      std::move(onClose), std::move(services));
    dashboard = window.get();
    return window;
  }
  std::unique_ptr<QuickPastePanelView> makeQuickPastePanel(QuickPastePanelController& controller) override {
    auto window = std::make_unique<QuickPastePanelWindow>(controller);
    quickPaste = window.get();
    return window;
  }
  void terminate() override {}

  TrayStatusView tray;
  std::shared_ptr<AppDelegate> delegate;
  std::shared_ptr<KeyboardEngine> engine;
  QtDashboardWindow* dashboard = nullptr;
  QuickPastePanelWindow* quickPaste = nullptr;

 private:
  NotificationCenter& notifications_;
  TelemetryManager& telemetry_;
};

// Starts nothing: the repair's relaunch, as far as this process sees it.
class NoLauncher final : public ProcessLauncher {
 public:
  std::optional<std::string> launchDetached(const std::string&, const std::vector<std::string>&) override {
    return std::nullopt;
  }
};

struct Walk {
  std::string language;
  CopywritingLevel level;
};

std::string walkName(const ::testing::TestParamInfo<Walk>& info) {
  return info.param.language + (info.param.level == CopywritingLevel::pro ? "_pro" : "_layman");
}
void PrintTo(const Walk& walk, std::ostream* os) { *os << walkName({walk, 0}); }

class ReachableTextsTest : public ::testing::TestWithParam<Walk> {
 protected:
  ReachableTextsTest()
      : desk(fx.clock, fx.runner),
        workspace(fx.runner, "com.Ovrelan.Tessavinor", {}, [](const std::string&) { return true; },
                  fx.home.path() / "proc", fx.home.path() / "os-release"),
        hotKeys(fx.home.path() / "symbolic_hot_keys.json"),
        shell(fx.notifications, telemetry) {
    CopyCacheCryptoStore::resetInMemoryKeyForTesting();
    // The start's two notices cannot both be read (the second waits behind
    // the first and goes stale): the walks at the plain wording level start
    // beside a keyboard tool that may fight over the keys, those at the
    // technical level after a system update with access off.
    std::ofstream(fx.home.path() / "os-release") << "VERSION_ID=\"13\"\n";
    if (GetParam().level == CopywritingLevel::pro) {
      fx.defaults->set("lastKnownMacOSVersion", "12.0.0");
    } else {
      fx.defaults->set("lastKnownMacOSVersion", "13.0.0");
      fs::create_directories(fx.home.path() / "proc" / "4321");
      std::ofstream(fx.home.path() / "proc" / "4321" / "cmdline") << "/usr/bin/tool" << '\0';
      std::ofstream(fx.home.path() / "proc" / "4321" / "comm") << AppDelegate::conflictingApplicationNames().front();
    }

    fx.platform = desk.platform();
    fx.platform.workspace = &workspace;
    fx.platform.preferences = &hotKeys;
    fx.platform.haptics = &noHaptics;
    desk.accessibility().setPromptTurnsTrustOn(true);
    desk.setTrusted(false);
    fx.runner.runUntilIdle();
  }
  ~ReachableTextsTest() override {
    QThreadPool::globalInstance()->waitForDone();
    hud.reset();
    repair.reset();
    if (shell.delegate) shell.delegate->applicationWillTerminate();
    if (fx.engine) fx.engine->stopTapDeadManThread();
    shell.delegate.reset();
    shell.engine.reset();
    fx.engine.reset();
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible()) w->close();
    test::settle();
  }

  void launch() {
    AppDelegateEnvironment env = test::delegateEnvironment(fx, shell);
    env.makeEngine = [this] {
      shell.engine = fx.start();
      shell.engine->appLanguage.set(GetParam().language);
      return shell.engine;
    };
    env.makeHud = [this](KeyboardEngine& e) {
      auto panel = UnifiedMenuPanel::create(hudEnvironmentFor(e));
      HudWindow::Options options;
      options.translucent = true;
      std::weak_ptr<KeyboardEngine> weak = e.weak();
      hud = std::make_unique<HudWindow>(
          panel, [weak](const std::string& key) { return weak.lock() ? weak.lock()->localized(key) : key; },
          options);
      return panel;
    };
    env.runLaunchChecks = [](const std::string&, int64_t) { return true; };
    shell.delegate = AppDelegate::create(std::move(env));
    ASSERT_TRUE(shell.delegate->applicationDidFinishLaunching());
    repair = std::make_unique<AccessibilityRepair>(engine().accessibility(), engine().context(), engine().defaults(),
                                                   engine().hudNotices(), launcher, "/usr/bin/tessavinor", [] {});
    repair->install();
  }

  KeyboardEngine& engine() { return *shell.engine; }
  ContentView& dashboard() { return *shell.dashboard->contentView(); }

  // Lets the manual clock and the event loop run what is due.
  void advance(double seconds) {
    fx.runner.advance(seconds);
    test::settle();
    QThreadPool::globalInstance()->waitForDone();
    test::settle();
    if (hud) hud->sync();
  }
  // Reads every window now visible.
  void read(const QString& step) {
    screens.insert(step);
    for (QWidget* window : QApplication::topLevelWidgets())
      if (window->isVisible()) test::appendShownTexts(*window, step, texts);
  }
  // A picture of a changed screen, for people to look at; its text must
  // draw without empty boxes.
  void shoot(QWidget& window, const QString& name) {
    EXPECT_TRUE(test::allTextDrawsWithoutBoxes(window)) << name.toStdString();
    test::writeScreenshot(window, "reachable_" + name + "_" +
                                      QString::fromStdString(walkName({GetParam(), 0})));
  }
  void click(QWidget& root, const QString& name) {
    auto* button = root.findChild<QAbstractButton*>(name);
    ASSERT_NE(button, nullptr) << name.toStdString();
    button->click();
    advance(0);
  }
  // The window-modal alert or sheet now open over `parent`.
  template <class T>
  T* openChild(QWidget& parent) {
    for (T* child : parent.findChildren<T*>())
      if (child->isVisible()) return child;
    return nullptr;
  }

  void walkOnboarding();
  void walkDashboard();
  void walkClipboard();
  void walkTray();
  void walkNotices();
  void readNoticeRecord();
  void readLaunchAlerts();

  test::EngineFixture fx;
  SimDesktop desk;
  LinuxWorkspace workspace;
  JsonPreferenceDomains hotKeys;
  NoHaptics noHaptics;
  TelemetryManager telemetry{"https://telemetry.test/api/telemetry/ingest"};
  QtWindowsShell shell;
  std::unique_ptr<HudWindow> hud;
  NoLauncher launcher;
  std::unique_ptr<AccessibilityRepair> repair;
  std::vector<ShownText> texts;
  std::set<QString> screens;
};

// The first run: level, permission (missing, with its repair confirmation,
// then given), switcher key, start at login, statistics with the inspector.
void ReachableTextsTest::walkOnboarding() {
  advance(0.35);  // the dashboard opens with the sheet 0.3 s after the start
  ASSERT_NE(shell.dashboard, nullptr);
  QDialog* sheet = dashboard().onboardingSheet();
  ASSERT_NE(sheet, nullptr);
  read("onboarding level");
  // The start may have turned the desktop's switch on; the user turns it off.
  desk.setTrusted(false);
  advance(1.0);
  click(*sheet, GetParam().level == CopywritingLevel::pro ? "onboarding.level.pro" : "onboarding.level.layman");
  read("onboarding permission, access missing");
  shoot(*sheet, "onboarding_permission");
  click(*sheet, "onboarding.permission.troubleshoot");
  auto* repair = openChild<QMessageBox>(*sheet);
  ASSERT_NE(repair, nullptr);
  read("onboarding repair confirmation");
  shoot(*repair, "repair_confirmation");
  click(*repair, "onboarding.repairAlert.cancel");
  // The desktop's switch is on: the poll moves on to the switcher page. The
  // switcher key is already Super + Space, as a returning user's may be.
  engine().switcherKey.set(SwitcherKey::commandSpace);
  desk.setTrusted(true);
  advance(1.0);
  read("onboarding switcher keys");
  shoot(*sheet, "onboarding_switcher");
  click(*sheet, "onboarding.switcher.card4");
  read("onboarding start at login");
  click(*sheet, "onboarding.startup.skip");
  read("onboarding statistics");
  click(*sheet, "onboarding.telemetry.inspect");
  auto* inspector = openChild<QDialog>(*sheet);
  ASSERT_NE(inspector, nullptr);
  read("statistics inspector");
  inspector->reject();
  advance(0);
  click(*sheet, "onboarding.telemetry.decline");
  EXPECT_EQ(dashboard().onboardingSheet(), nullptr);
}

// Every page with access missing and given; the keyboard page with each
// switcher key; the repair confirmation; the problem report.
void ReachableTextsTest::walkDashboard() {
  for (bool trusted : {false, true}) {
    desk.setTrusted(trusted);
    advance(1.0);
    const QString access = trusted ? "access given" : "access missing";
    for (int tab : {0, 1, 3, 7}) {
      dashboard().selectTab(tab);
      advance(0);
      read(QStringLiteral("dashboard tab %1, %2").arg(tab).arg(access));
      if (tab == 7 && trusted) shoot(*qobject_cast<QScrollArea*>(dashboard().page())->widget(), "about");
    }
    dashboard().selectTab(2);
    for (SwitcherKey key : {SwitcherKey::capslock, SwitcherKey::grave, SwitcherKey::optionSpace,
                            SwitcherKey::controlSpace, SwitcherKey::commandSpace}) {
      engine().switcherKey.set(key);
      advance(0);
      read(QStringLiteral("keyboard settings, key %1, %2").arg(rawValue(key)).arg(access));
      if (key == SwitcherKey::commandSpace && trusted)
        shoot(*qobject_cast<QScrollArea*>(dashboard().page())->widget(), "keyboard_settings_super_space");
    }
  }
  desk.setTrusted(false);
  advance(1.0);
  dashboard().selectTab(0);
  advance(0);
  click(*dashboard().page(), "repairLink");
  read("setup repair confirmation");
  auto* repair = openChild<QMessageBox>(*dashboard().window());
  ASSERT_NE(repair, nullptr);
  click(*repair, "repairCancelButton");
  desk.setTrusted(true);
  advance(1.0);

  dashboard().selectTab(7);
  advance(0);
  click(*dashboard().page(), "about.reportButton");
  read("problem report");
  auto* report = openChild<QDialog>(*dashboard().window());
  ASSERT_NE(report, nullptr);
  report->reject();
  advance(0);
}

// The history on, an entry of each kind, the page's confirmation and sheet,
// the panel and its preview.
void ReachableTextsTest::walkClipboard() {
  shell.delegate->copyCache().isEnabled.set(true);
  desk.pasteboard().copyText("l;ylfu");
  advance(0.25);
  desk.pasteboard().copyFiles({"/etc/hostname", "/etc/hosts"});
  advance(0.25);
  desk.pasteboard().copyItems({PasteboardItem{{{pasteboard_types::kColor, "1 0.5 0 1"}}}});
  advance(0.25);
  desk.pasteboard().copyText("https://example.org/page");
  advance(0.25);
  dashboard().selectTab(3);
  advance(0);
  read("clipboard page with entries");
  click(*dashboard().page(), "clearAllButton");
  read("clear history confirmation");
  if (auto* box = openChild<QMessageBox>(*dashboard().window())) click(*box, "clearAllCancelButton");
  click(*dashboard().page(), "addSnippetButton");
  read("new snippet sheet");
  if (auto* sheet = openChild<QDialog>(*dashboard().window())) sheet->reject();
  advance(0);

  click(*dashboard().page(), "openQuickPasteButton");
  ASSERT_NE(shell.quickPaste, nullptr);
  read("quick-paste panel");
  QTest::keyClick(shell.quickPaste->findChild<QLineEdit*>("quickPasteSearch"), Qt::Key_Space);
  advance(0);
  read("quick-paste preview");
  QTest::keyClick(shell.quickPaste->findChild<QLineEdit*>("quickPasteSearch"), Qt::Key_Escape);
  QTest::keyClick(shell.quickPaste->findChild<QLineEdit*>("quickPasteSearch"), Qt::Key_Escape);
  advance(0);
}

void ReachableTextsTest::walkTray() {
  auto readTray = [this](const QString& state) {
    shell.tray.rebuildMenu();
    test::appendMenuTexts(shell.tray.menu(), "tray, " + state + " / menu", texts);
    // The tooltip as the controller words it (a tray that the offscreen
    // platform does not have would show it).
    StatusItemState item = test::statusItemStateOf(engine());
    texts.push_back({"tray, " + state + " / tooltip",
                     QString::fromStdString(statusTooltip(item, StatusIconInputs::of(item).accessibilityMissing))});
    screens.insert("tray, " + state);
  };
  advance(0);
  readTray("ready");
  engine().pause(1, false);
  advance(0.5);
  readTray("paused");
  engine().resume();
  advance(0.5);
  desk.setTrusted(false);
  advance(1.0);
  readTray("access lost");
  desk.setTrusted(true);
  advance(1.0);
  // A window manager keeps Alt+Space for its window menu, as openbox does.
  desk.events().setComboHeldByOthers(keycode::space, flags::option);
  engine().switcherKey.set(SwitcherKey::optionSpace);
  advance(0);
  readTray("switcher key kept by another program");
  dashboard().selectTab(0);
  advance(0);
  read("setup page, switcher key kept by another program");
  engine().switcherKey.set(SwitcherKey::capslock);
  advance(0);
}

// The notices of keys and conversions, the pause, the tap, the settings the
// engine keeps, the repair, the updates and the sharing answer, each read on
// the screen as it comes up.
void ReachableTextsTest::walkNotices() {
  UnifiedMenuPanel& panel = *shell.delegate->hud();
  auto clear = [this, &panel] {
    for (int i = 0; i < 20 && (panel.isVisible() || !panel.pendingQueue().empty()); ++i) {
      panel.dismiss(0);
      advance(0.3);
    }
  };
  auto seen = [this, &panel, &clear](const QString& what, const QString& shot = {}) {
    screens.insert("HUD: " + what);
    uint64_t lastRead = 0;
    for (int i = 0; i < 60; ++i) {
      advance(0.05);
      if (!panel.isVisible() || panel.showGeneration() == lastRead) continue;
      if (!shot.isEmpty() && lastRead == 0) shoot(*hud, shot);
      lastRead = panel.showGeneration();
      test::appendShownTexts(*hud, "HUD: " + what, texts);
    }
    clear();
  };
  clear();
  SimTextField* field = desk.focusedField();
  ASSERT_NE(field, nullptr);
  field->setText("l;ylfu");
  desk.press("ctrl+shift+x");
  seen("correction turned on");
  field->setText("l;ylfu");
  desk.press("ctrl+shift+x");
  seen("conversion");
  desk.press("ctrl+shift+z");
  seen("undo");
  desk.press("ctrl+shift+z");
  seen("redo");
  desk.press("ctrl+shift+a");
  seen("keep the word, first press");
  desk.press("ctrl+shift+a");
  seen("keep the word");
  field->setText("");
  desk.press("ctrl+shift+x");
  seen("no word");
  // What the hot key starts, where the tap would not see the key: a password
  // field, and access turned off between two checks of the permission.
  field->setText("l;ylfu");
  field->setSecure(true);
  engine().cycleCurrentWordLanguage();
  seen("password field");
  field->setSecure(false);
  desk.setTrusted(false);
  engine().cycleCurrentWordLanguage();
  seen("access lost");
  desk.setTrusted(true);
  advance(1.0);
  engine().pause(1, false);
  seen("pause");
  engine().resume();
  seen("resume");
  engine().showUnsupportedAppNotice();
  seen("unsupported application");
  engine().showTapRecoveredNotice();
  seen("tap recovered");
  engine().showF19ShortcutHint();
  seen("switch shortcut");
  engine().showPerDocumentRevertBanner();
  seen("switched back by itself", "hud_switched_back");
  engine().repairAccessibilityGrant(false, true);
  seen("repair");
  shell.delegate->checkForUpdates();
  seen("updates");
  engine().hudNotices().showReverted(engine().localized("about_share_hud_on"), "");
  seen("sharing");
}

// Every notice the HUD showed, from its record: the texts of the display
// states themselves.
void ReachableTextsTest::readNoticeRecord() {
  for (const auto& notice : shell.delegate->hud()->shownNotices()) {
    for (const auto& [field, value] : notice.content.items())
      if (value.is_string())
        texts.push_back({"HUD record " + QString::fromStdString(field), QString::fromStdString(value.get<std::string>())});
  }
}

void ReachableTextsTest::readLaunchAlerts() {
  for (const char* desktop : {"GNOME", "KDE", "XFCE", "X-Cinnamon", "MATE", "", "i3"}) {
    TooFewLayoutsAlert alert = tooFewLayoutsAlert(desktop, GetParam().language);
    texts.push_back({QStringLiteral("too few layouts alert on %1").arg(desktop), QString::fromStdString(alert.text)});
    texts.push_back({QStringLiteral("too few layouts alert on %1").arg(desktop), QString::fromStdString(alert.detail)});
  }
  for (const char* key : {"alert_no_tray", "alert_no_tray_detail"})
    texts.push_back({"no tray alert", QString::fromStdString(engine().localized(key))});
}

TEST_P(ReachableTextsTest, NoReachableTextNamesTheOtherPlatform) {
  launch();
  walkOnboarding();
  walkDashboard();
  walkClipboard();
  walkTray();
  walkNotices();
  readNoticeRecord();
  readLaunchAlerts();

  // The walk reached what it meant to: each step showed something.
  std::map<QString, int> perScreen;
  for (const auto& t : texts) perScreen[t.where.section(" / ", 0, 0)]++;
  for (const auto& screen : screens) EXPECT_GT(perScreen[screen], 0) << screen.toStdString();

  std::set<std::pair<QString, QString>> reported;
  for (const auto& t : texts) {
    if (allowedTexts().count(t.text)) continue;
    for (const char* word : kOtherPlatformWords) {
      if (!t.text.contains(QString::fromUtf8(word))) continue;
      if (reported.insert({t.text, word}).second)
        ADD_FAILURE() << "\"" << word << "\" in " << t.where.toStdString() << ": " << t.text.toStdString();
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EnglishAndThai, ReachableTextsTest,
                         ::testing::Values(Walk{"en", CopywritingLevel::layman}, Walk{"en", CopywritingLevel::pro},
                                           Walk{"th", CopywritingLevel::layman}, Walk{"th", CopywritingLevel::pro}),
                         walkName);

}  // namespace
}  // namespace tessa
