// The clipboard history on a real X server: another X client copies (plain
// Xlib, tests/x11/clipowner), the history reads it through QClipboard in this
// process, and a paste from the history reaches a Qt text field through the
// same road the panel takes: our write, the field's window brought forward,
// Ctrl+V posted through XTest. Every wait ends on a marker.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "clipboard/copy_cache_manager.h"
#include "platform/linux/linux_workspace.h"
#include "platform/sim/memory_keychain.h"
#include "platform/x11/x11_event_system.h"
#include "platform/x11/x11_window_focus.h"
#include "support/temp_home.h"
#include "ui/qt_pasteboard.h"
#include "x11/support/clipboard_clients.h"
#include "x11_session/x11_application.h"
#include "x11/support/unavailable.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using x11test::ClipboardOwner;
using xsession::PumpedMainQueue;
using xsession::TestField;
using x11test::WindowManager;
using xsession::XSession;
using Selection = ClipboardOwner::Selection;

class ClipboardRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    session = XSession::start(&why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    ASSERT_TRUE(session->setLayouts({"us"}));
    session->resetKeyboardState();
    // This process is the application: Qt on the private server.
    ::setenv("DISPLAY", session->displayName().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    app = std::make_unique<QGuiApplication>(argc, argv);
    main.setEachTurn([] { QCoreApplication::processEvents(); });
    pasteboard = std::make_unique<QtPasteboard>();
    focus = X11WindowFocus::open(session->displayName(), &why);
    ASSERT_TRUE(focus) << why;
    workspace = std::make_unique<LinuxWorkspace>(main, "com.Ovrelan.Tessavinor", [this](const std::string& line) {
      logs.push_back(line);
    });
    workspace->setApplicationFocus(focus.get());
  }

  void TearDown() override {
    manager.reset();
    events.reset();
    pasteboard.reset();
    app.reset();
  }

  void pasteReachesTheField();

  void startManager() {
    CopyCacheManagerEnvironment env;
    env.platform.pasteboard = pasteboard.get();
    env.platform.workspace = workspace.get();
    env.platform.keychain = &keychain;
    env.platform.events = events.get();
    env.clock = &clock;
    env.main = &main;
    env.folder = home.path() / "CopyCache";
    env.log = [this](const std::string& line) { logs.push_back(line); };
    manager = CopyCacheManager::create(std::move(env));
    manager->isEnabled.set(true);
  }

  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& item : manager->items.get()) out.push_back(item.text);
    return out;
  }
  bool logged(const std::string& line) const { return std::find(logs.begin(), logs.end(), line) != logs.end(); }
  std::string allLogs() const {
    std::string out;
    for (const auto& l : logs) out += l + "\n";
    return out;
  }

  int argc = 1;
  char arg0[16] = "tessa_x11_tests";
  char* argv[2] = {arg0, nullptr};
  test::TempHome home;
  SystemClock clock;
  PumpedMainQueue main;
  MemoryKeychain keychain;
  std::unique_ptr<XSession> session;
  std::unique_ptr<QGuiApplication> app;
  std::unique_ptr<QtPasteboard> pasteboard;
  std::unique_ptr<X11WindowFocus> focus;
  std::unique_ptr<LinuxWorkspace> workspace;
  std::unique_ptr<X11EventSystem> events;
  std::shared_ptr<CopyCacheManager> manager;
  std::vector<std::string> logs;
};

TEST_F(ClipboardRoadTest, AnotherClientsCopyIsRecordedButNeitherAPasswordNorASelectionNorOurOwnWrite) {
  startManager();
  EXPECT_TRUE(pasteboard->reportsChangesInBackground());
  std::string why;
  auto copy = ClipboardOwner::start(*session, Selection::clipboard, "สวัสดี copied in another program", {}, &why);
  ASSERT_TRUE(copy) << why;
  ASSERT_TRUE(main.pumpUntil([&] { return manager->items.get().size() == 1; })) << allLogs();
  EXPECT_EQ(texts(), std::vector<std::string>{"สวัสดี copied in another program"});

  // A password manager's copy says so, and is left out.
  auto secret = ClipboardOwner::start(*session, Selection::clipboard, "correct horse battery staple",
                                      {"x-kde-passwordManagerHint=secret"}, &why);
  ASSERT_TRUE(secret) << why;
  ASSERT_TRUE(main.pumpUntil([&] { return logged("CopyCache: a copy was not recorded (password manager)"); }))
      << allLogs();

  // A selection is not a copy: it neither counts as a change nor reaches the
  // history. The next real copy is the marker that the selection has passed.
  int64_t before = pasteboard->changeCount();
  auto selection = ClipboardOwner::start(*session, Selection::primary, "merely selected words", {}, &why);
  ASSERT_TRUE(selection) << why;
  auto after = ClipboardOwner::start(*session, Selection::clipboard, "copied after the selection", {}, &why);
  ASSERT_TRUE(after) << why;
  ASSERT_TRUE(main.pumpUntil([&] { return manager->items.get().size() == 2; })) << allLogs();
  EXPECT_EQ(pasteboard->changeCount(), before + 1);
  EXPECT_EQ(texts(), (std::vector<std::string>{"copied after the selection", "สวัสดี copied in another program"}));

  // Our own write takes the clipboard from the other client, carries the
  // marker, and is not recorded: the older entry does not move to the top.
  ASSERT_TRUE(manager->writeToPasteboard(manager->items.get()[1], false));
  EXPECT_TRUE(after->waitUntilLost());
  auto own = pasteboard->items();
  ASSERT_EQ(own.size(), 1u);
  EXPECT_TRUE(own[0].has(pasteboard_types::kOwnWrite));
  auto last = ClipboardOwner::start(*session, Selection::clipboard, "the last copy", {}, &why);
  ASSERT_TRUE(last) << why;
  ASSERT_TRUE(main.pumpUntil([&] { return manager->items.get().size() == 3; })) << allLogs();
  EXPECT_EQ(texts(), (std::vector<std::string>{"the last copy", "copied after the selection",
                                               "สวัสดี copied in another program"}));
}

// xclip's copies were credited to whichever program had the focus: its
// window says nothing of itself, and the process that connected went to the
// background. A text and a file list, each the owner's, named by its process.
TEST_F(ClipboardRoadTest, ACopyIsCreditedToTheProgramThatOwnsItNeverToTheOneWithTheFocus) {
  startManager();
  std::string why;
  auto field = TestField::start(*session, TestField::Kind::line, "", &why);
  ASSERT_TRUE(field) << why;
  ASSERT_TRUE(main.pumpUntil([&] {
    auto front = workspace->frontmostApplication();
    return front && front->pid == field->pid();
  }));
  auto text = ClipboardOwner::startInBackground(*session, "copied in the background", {}, &why);
  ASSERT_TRUE(text) << why;
  ASSERT_TRUE(main.pumpUntil([&] { return manager->items.get().size() == 1; })) << allLogs();
  auto files = ClipboardOwner::startInBackground(*session, "", {"text/uri-list=file:///etc/hostname"}, &why);
  ASSERT_TRUE(files) << why;
  ASSERT_TRUE(main.pumpUntil([&] { return manager->items.get().size() == 2; })) << allLogs();
  const auto items = manager->items.get();
  EXPECT_TRUE(std::holds_alternative<CopyCacheItem::FileURLs>(items[0].payloadType));
  EXPECT_EQ(items[0].sourceAppName, "tessavinor-clip");
  EXPECT_EQ(items[1].text, "copied in the background");
  EXPECT_EQ(items[1].sourceAppName, "tessavinor-clip");
}

// The paste road as the panel takes it: the field that had the focus is
// remembered, another window takes the focus, and the entry chosen is written,
// the field brought forward and Ctrl+V posted.
void ClipboardRoadTest::pasteReachesTheField() {
  std::string why;
  events = X11EventSystem::create(session->displayName(), main, X11EventSystemOptions{}, &why);
  if (!events) TESSA_X11_UNAVAILABLE(why);
  startManager();
  auto copy = ClipboardOwner::start(*session, Selection::clipboard, "ข้อความ pasted from the history", {}, &why);
  ASSERT_TRUE(copy) << why;
  ASSERT_TRUE(main.pumpUntil([&] { return manager->items.get().size() == 1; })) << allLogs();
  copy.reset();

  auto field = TestField::start(*session, TestField::Kind::line, "", &why);
  ASSERT_TRUE(field) << why;
  // The panel remembers where the user was before it takes the focus.
  manager->rememberFrontmostApp();
  ASSERT_TRUE(manager->previousApp());
  EXPECT_EQ(manager->previousApp()->pid, field->pid());

  // Another window takes the focus, as the panel would.
  auto other = TestField::start(*session, TestField::Kind::button, "", &why);
  ASSERT_TRUE(other) << why;
  ASSERT_TRUE(main.pumpUntil([&] {
    auto front = workspace->frontmostApplication();
    return front && front->pid == other->pid();
  }));

  ASSERT_TRUE(manager->pasteToPreviousApp(manager->items.get()[0], false)) << allLogs();
  auto front = workspace->frontmostApplication();
  ASSERT_TRUE(front);
  EXPECT_EQ(front->pid, field->pid());
  std::string seen;
  EXPECT_TRUE(field->waitForText("ข้อความ pasted from the history", 5.0, [&] { main.pumpUntil([] { return true; }); },
                                 &seen))
      << "the field shows \"" << seen << "\"\n"
      << allLogs();
}

TEST_F(ClipboardRoadTest, APasteFromTheHistoryReachesTheQtFieldThatHadTheFocus) {
  // No window manager: the input focus is set directly.
  ASSERT_FALSE(focus->hasWindowManager());
  pasteReachesTheField();
}

TEST_F(ClipboardRoadTest, WithAWindowManagerThePasteAsksItToBringTheFieldForward) {
  std::string why;
  auto wm = WindowManager::start(*session, &why);
  ASSERT_TRUE(wm) << why;
  ASSERT_TRUE(focus->hasWindowManager());
  pasteReachesTheField();
  if (HasFatalFailure() || IsSkipped()) return;
  EXPECT_TRUE(wm->waitForToolActivation()) << "the field was not brought forward through the window manager";
}

TEST_F(ClipboardRoadTest, BringingForwardAnApplicationWithoutAWindowFails) {
  std::string why;
  auto field = TestField::start(*session, TestField::Kind::line, "", &why);
  ASSERT_TRUE(field) << why;
  auto app = workspace->frontmostApplication();
  ASSERT_TRUE(app);
  EXPECT_EQ(app->pid, field->pid());
  EXPECT_FALSE(app->bundleID.empty());
  // An application that has gone (or never had a window) cannot take the focus.
  EXPECT_FALSE(workspace->activateApplication(RunningApplication{"gone", 999999, "gone"}));
  EXPECT_TRUE(workspace->activateApplication(*app));
}

}  // namespace
}  // namespace tessa
