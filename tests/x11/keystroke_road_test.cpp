// The whole application on a real X server: the real engine, started as the
// application starts it, behind the X11 back end, receiving keys typed
// through XTest and changing a real Qt field. The main queue runs on the real
// clock, pumped in the test's thread; every wait has a deadline and ends on a
// marker (the field's text, the server's state).
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "engine/keyboard_engine.h"
#include "hud/unified_menu_panel.h"
#include "typing/typing_flow_controller.h"
#include "platform/events.h"
#include "platform/keyboard_tables.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_event_system.h"
#include "x11/support/field_choice.h"
#include "x11/support/unavailable.h"
#include "x11_session/x11_application.h"
#include "x11_session/x11_session.h"

// Last: its macros (None, Bool) would break the headers above.
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

namespace tessa {
namespace {

using xsession::PumpedMainQueue;
using xsession::TestField;
using xsession::X11Application;
using xsession::XSession;

class KeystrokeRoadTest : public ::testing::Test {
 protected:
  // A real window manager with its distribution's key bindings, as on a
  // desktop (TESSAVINOR_X11_WM picks another for a run).
  virtual xsession::WindowManager windowManager() const {
    return xsession::windowManagerFromEnvironment(xsession::WindowManager::openbox);
  }
  void SetUp() override {
    std::string why;
    xsession::XSessionOptions options;
    options.windowManager = windowManager();
    session = XSession::start(options, &why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    ASSERT_TRUE(session->setLayouts({"us", "th"}));
    session->resetKeyboardState();
    if (!session->startAccessibilityBus(&why)) TESSA_X11_UNAVAILABLE(why);
  }

  // The field first, focused, then the application, started as it starts.
  void launchWith(TestField::Kind kind, const std::string& text = "",
                  xsession::Toolkit toolkit = xsession::Toolkit::qt) {
    std::string why;
    field = TestField::start(*session, toolkit, kind, text, &why);
    ASSERT_TRUE(field) << why;
    app = X11Application::launch(*session, {}, &why);
    ASSERT_TRUE(app) << why;
    engine = &app->engine();
  }

  bool fieldShows(const std::string& text, double timeoutSeconds = 5.0) {
    return main().pumpUntil(
        [&] {
          auto s = field->state();
          last = s ? s->text : "<no state>";
          return s && s->text == text;
        },
        timeoutSeconds);
  }

  bool lockOn() { return session->capsLocked(); }

 public:
  void typeAcrossCapsLockSwitches();

 protected:

  PumpedMainQueue& main() { return app ? app->main() : idleMain; }
  std::string engineLog() { return app ? app->diagnostics() : std::string(); }

  PumpedMainQueue idleMain;  // before the application, and without one
  std::unique_ptr<XSession> session;
  std::unique_ptr<TestField> field;
  std::unique_ptr<X11Application> app;
  KeyboardEngine* engine = nullptr;
  std::string last;
};

// The same road on a server with no window manager at all.
class KeystrokeRoadWithoutWindowManagerTest : public KeystrokeRoadTest {
 protected:
  xsession::WindowManager windowManager() const override { return xsession::WindowManager::none; }
};

TEST_F(KeystrokeRoadTest, KeysTypedDuringACapsLockSwitchArriveInTheNewLayoutInOrder) {
  typeAcrossCapsLockSwitches();
}

TEST_F(KeystrokeRoadWithoutWindowManagerTest, KeysTypedDuringACapsLockSwitchArriveInTheNewLayoutInOrder) {
  typeAcrossCapsLockSwitches();
}

// Under a window manager's stock bindings: keys typed during a switch arrive
// once, its shortcuts stay its own, and the switch is the server's own group
// change, answered at once (no fall-back, no time-out counted).
TEST_F(KeystrokeRoadTest, UnderAWindowManagerKeysArriveOnceAndItsShortcutsStayItsOwn) {
  if (session->windowManager() != xsession::WindowManager::openbox) GTEST_SKIP() << "needs openbox";
  launchWith(TestField::Kind::line);
  if (HasFatalFailure()) return;
  EXPECT_TRUE(app->x11().events()->filtersEveryKey()) << "its shortcuts are not keys we lack";

  ASSERT_TRUE(session->tapKey(keycode::capsLock));
  ASSERT_TRUE(session->typeUsKeys("l;ylfu"));
  EXPECT_TRUE(fieldShows("สวัสดี")) << last << "\n" << engineLog();
  ASSERT_TRUE(app->waitForSwitchLanded(1, *session));
  ASSERT_TRUE(session->tapKey(keycode::capsLock));
  ASSERT_TRUE(session->typeUsKeys("k d"));
  EXPECT_TRUE(fieldShows("สวัสดีk d")) << last << "\n" << engineLog();
  ASSERT_TRUE(app->waitForSwitchLanded(0, *session));
  EXPECT_EQ(engine->counters.layoutSwitchTimeout.get(), 0) << engineLog();
  EXPECT_EQ(engineLog().find("Fallback:"), std::string::npos) << engineLog();

  // Super+D is openbox's "show the desktop": it still reaches openbox, and
  // the field gets no D.
  Display* d = session->display();
  const Atom showing = XInternAtom(d, "_NET_SHOWING_DESKTOP", False);
  auto showingDesktop = [&] {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool on = false;
    if (XGetWindowProperty(d, DefaultRootWindow(d), showing, 0, 1, False, AnyPropertyType, &type, &format, &count,
                           &after, &data) == Success &&
        data && count == 1)
      on = *reinterpret_cast<long*>(data) != 0;
    if (data) XFree(data);
    return on;
  };
  ASSERT_FALSE(showingDesktop());
  ASSERT_TRUE(session->pressKey(keycode::command, true));
  ASSERT_TRUE(session->tapKey(keycode::d));
  ASSERT_TRUE(session->pressKey(keycode::command, false));
  EXPECT_TRUE(main().pumpUntil(showingDesktop)) << "openbox's own shortcut worked";
  auto s = field->state();
  EXPECT_TRUE(s && s->text == "สวัสดีk d") << "the field got no D: " << (s ? s->text : "(unread)") << "\n"
                                             << engineLog();
  session->pressKey(keycode::command, true);
  session->tapKey(keycode::d);
  session->pressKey(keycode::command, false);
  EXPECT_TRUE(main().pumpUntil([&] { return !showingDesktop(); }));
}

void KeystrokeRoadTest::typeAcrossCapsLockSwitches() {
  launchWith(TestField::Kind::line);
  if (::testing::Test::HasFatalFailure()) return;
  // Once a switch has landed, the next tap is the user's, not key chatter.
  auto switchLanded = [&](uint32_t group) { return app->waitForSwitchLanded(group, *session); };

  ASSERT_TRUE(session->typeUsKeys("a"));
  ASSERT_TRUE(fieldShows("a")) << last << "\n" << engineLog();

  // The tap and the next key at once: the key is held through the switch.
  ASSERT_TRUE(session->tapKey(keycode::capsLock));
  ASSERT_TRUE(session->typeUsKeys("n"));
  EXPECT_TRUE(fieldShows("aื")) << last << "\n" << engineLog();
  ASSERT_TRUE(switchLanded(1));
  EXPECT_FALSE(lockOn()) << "the switcher key leaves the lock alone";

  // A burst straight after the tap back, and one after the next tap.
  ASSERT_TRUE(session->tapKey(keycode::capsLock));
  ASSERT_TRUE(session->typeUsKeys("ok"));
  ASSERT_TRUE(switchLanded(0));
  // The next tap once those keys are typed out: one before then acts ahead
  // of them (a limit the README gives).
  EXPECT_TRUE(fieldShows("aืok")) << last << "\n" << engineLog();
  ASSERT_TRUE(session->tapKey(keycode::capsLock));
  ASSERT_TRUE(session->typeUsKeys("l;ylfu"));
  EXPECT_TRUE(fieldShows("aืokสวัสดี")) << last << "\n" << engineLog();
  EXPECT_TRUE(switchLanded(1));
}

TEST_F(KeystrokeRoadTest, APasswordFieldGetsItsKeysUntouched) {
  launchWith(TestField::Kind::password);
  if (HasFatalFailure()) return;
  // Typed at once: the keys wait for no look, and the word follows none.
  ASSERT_TRUE(session->typeUsKeys("Pa55;word"));
  EXPECT_TRUE(fieldShows("Pa55;word")) << last << "\n" << engineLog();
  EXPECT_TRUE(main().pumpUntil([&] { return engine->isSecureInputActive.get(); }, 5.0)) << engineLog();
  EXPECT_FALSE(std::regex_search(engineLog(), std::regex("clear: dropping [1-9]"))) << engineLog();
}

TEST_F(KeystrokeRoadTest, QuitPutsCapsLockBackAsAPlainLockKey) {
  launchWith(TestField::Kind::line);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(session->typeUsKeys("a"));
  ASSERT_TRUE(fieldShows("a")) << last << "\n" << engineLog();

  app->quit();
  EXPECT_FALSE(app->x11().events()->capsLockAsF19()) << engineLog();
  ASSERT_TRUE(session->tapKey(keycode::capsLock));
  EXPECT_TRUE(main().pumpUntil([&] { return lockOn(); })) << "Caps Lock locks again";
  EXPECT_EQ(session->lockedGroup(), 0u) << "and switches nothing";
  ASSERT_TRUE(session->typeUsKeys("b"));
  EXPECT_TRUE(fieldShows("aB")) << last;
  session->tapKey(keycode::capsLock);
}

// Ordinary keys reach the focus with nothing of ours in between: a GTK 3
// window under a header bar stays the active one and its entry keeps the
// focus, and no program tells the accessibility bus its focus moved, while
// the word typed is still followed.
TEST_F(KeystrokeRoadTest, OrdinaryKeysLeaveTheFocusedWindowAlone) {
  TESSA_X11_NEEDS_FIELD(xsession::Toolkit::gtk3);
  std::string why;
  ASSERT_TRUE(session->turnAccessibilityOn(&why)) << why;
  launchWith(TestField::Kind::lineUnderHeaderBar, "", xsession::Toolkit::gtk3);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(session->typeUsKeys("a"));
  ASSERT_TRUE(fieldShows("a")) << last << "\n" << engineLog();
  const auto before = field->focusChurn();
  ASSERT_TRUE(before);
  int focusEvents = 0;
  Subscription watch = app->engine().platform().accessibility->observeFocus([&] { ++focusEvents; });
  main().pumpUntil([] { return false; }, 0.3);  // events of the start still on their way
  focusEvents = 0;
  const std::string keys = "the quick brown fox jumps over the lazy dog again";  // 49 keys, and the "a"
  for (char c : keys) {
    ASSERT_TRUE(session->typeUsKeys(std::string(1, c)));
    main().pumpUntil([] { return false; }, 0.02);
  }
  EXPECT_TRUE(fieldShows("a" + keys)) << last << "\n" << engineLog();
  const auto after = field->focusChurn();
  ASSERT_TRUE(after);
  EXPECT_EQ(after->activeChanges - before->activeChanges, 0);
  EXPECT_EQ(after->focusOuts - before->focusOuts, 0);
  EXPECT_LE(focusEvents, 1) << "focus events announced while typing";
  // The word being typed was followed key by key: "again", five strokes.
  EXPECT_EQ(engine->flow.flowController->strokes().size(), 5u) << engineLog();
}

class ConversionRoadTest : public KeystrokeRoadTest, public ::testing::WithParamInterface<test::FieldChoice> {
 protected:
  void SetUp() override {
    TESSA_X11_NEEDS_FIELD(GetParam().toolkit);
    KeystrokeRoadTest::SetUp();
  }
  bool multiLine() const { return GetParam().kind == TestField::Kind::multiLine; }
  bool logSays(const std::string& line) {
    return main().pumpUntil([&] { return engineLog().find(line) != std::string::npos; });
  }
  void launch(const std::string& text = "") { launchWith(GetParam().kind, text, GetParam().toolkit); }
  // Control+Shift+`key`, held as a user holds it, until the field shows
  // `expected`: the engine reads the field while the key is still down,
  // under the keyboard grab that keeps it from the application.
  bool chordShows(uint16_t key, const std::string& expected) {
    session->pressKey(keycode::control, true);
    session->pressKey(keycode::shift, true);
    session->pressKey(key, true);
    const bool shown = fieldShows(expected);
    session->pressKey(key, false);
    session->pressKey(keycode::shift, false);
    session->pressKey(keycode::control, false);
    return shown;
  }
};

// The retyped word carries text the layouts have no single key for (a
// consonant with its vowel mark), and its first keys may be posted before
// the switch to the second group has landed: it must still read as typed.
// Control+Shift+Z then undoes the conversion and, pressed again, redoes it.
// In a multi-line field the word is the last line's, and the line above
// stays as it is.
TEST_P(ConversionRoadTest, AWordTypedInTheWrongLayoutIsConvertedUndoneAndRedone) {
  const std::string before = multiLine() ? "first line\nhello " : "hello ";
  launch(before);
  if (HasFatalFailure()) return;

  ASSERT_TRUE(session->typeUsKeys("l;ylfu"));
  ASSERT_TRUE(fieldShows(before + "l;ylfu")) << last << "\n" << engineLog();
  EXPECT_TRUE(chordShows(keycode::x, before + "สวัสดี")) << last << "\n" << engineLog();
  // Undo applies to a conversion the engine has checked on screen, once the
  // switch it asked for has landed: keys typed before that are held for the
  // new layout, a shortcut among them too.
  ASSERT_TRUE(logSays("cycleCurrentWordLanguage: converted")) << engineLog();
  ASSERT_TRUE(app->waitForSwitchLanded(1, *session)) << engineLog();
  EXPECT_TRUE(chordShows(keycode::z, before + "l;ylfu")) << last << "\n" << engineLog();
  ASSERT_TRUE(app->waitForSwitchLanded(0, *session)) << engineLog();
  EXPECT_TRUE(chordShows(keycode::z, before + "สวัสดี")) << last << "\n" << engineLog();
  EXPECT_TRUE(app->waitForSwitchLanded(1, *session)) << engineLog();
}

INSTANTIATE_TEST_SUITE_P(Fields, ConversionRoadTest, test::everyTextField(), test::fieldName);

// The cases of the chord's keys and of a field that changes under the
// engine, in each toolkit's single-line field.
class LineConversionRoadTest : public ConversionRoadTest {};
INSTANTIATE_TEST_SUITE_P(Fields, LineConversionRoadTest, test::everyToolkit(TestField::Kind::line), test::fieldName);

// The user still holds Control and Shift while the converted word is typed:
// the word must not arrive as shortcuts or shifted characters.
TEST_P(LineConversionRoadTest, AConversionTypedWhileTheChordIsStillHeldTypesTheWord) {
  launch();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(session->typeUsKeys("l;ylfu"));
  ASSERT_TRUE(fieldShows("l;ylfu")) << last << "\n" << engineLog();
  session->pressKey(keycode::control, true);
  session->pressKey(keycode::shift, true);
  session->pressKey(keycode::x, true);
  session->pressKey(keycode::x, false);
  ASSERT_TRUE(main().pumpUntil([&] { return engineLog().find("cycleCurrentWordLanguage: converted") != std::string::npos ||
                                        engineLog().find("cycleCurrentWordLanguage: the") != std::string::npos; },
                               5.0))
      << engineLog();
  session->pressKey(keycode::shift, false);
  session->pressKey(keycode::control, false);
  EXPECT_TRUE(fieldShows("สวัสดี")) << last << "\n" << engineLog();
}

// The same with the chord held on the user's own keyboard, as on a desktop:
// the modifiers the engine lets go of for its keys are the user's, and they
// are held again once its keys are through, so X pressed again converts
// again while the chord is still held.
TEST_P(LineConversionRoadTest, AChordHeldOnTheUsersKeyboardConvertsAndStaysHeld) {
  launch();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(session->typeUsKeys("l;ylfu"));
  ASSERT_TRUE(fieldShows("l;ylfu")) << last << "\n" << engineLog();
  xsession::UserKeyboard keyboard(session->display());
  auto send = [&](uint16_t key, bool down) {
    keyboard.send(*X11EventSystem::xKeyCodeFor(key), down);
    XSync(session->display(), False);
  };
  send(keycode::control, true);
  send(keycode::shift, true);
  send(keycode::x, true);
  send(keycode::x, false);
  EXPECT_TRUE(fieldShows("สวัสดี")) << last << "\n" << engineLog();
  // Once the engine has checked its edit (a slow field shows the word before that).
  ASSERT_TRUE(logSays("cycleCurrentWordLanguage: converted")) << engineLog();
  send(keycode::x, true);
  send(keycode::x, false);
  EXPECT_TRUE(fieldShows("l;ylfu")) << last << "\n" << engineLog();
  send(keycode::shift, false);
  send(keycode::control, false);
}

// An English word typed on the Thai layout whose first key types a mark that
// sits on the space before it (h: "้", e: "ำ"), after other text: however
// the toolkit's Delete takes such a mark, the text before the word is exact
// through the conversion, its undo and its redo.
TEST_P(ConversionRoadTest, AWordOpeningWithMarksLeavesTheTextBeforeItExact) {
  const std::string before = multiLine() ? "first line\ngood morning " : "good morning ";
  launch(before);
  if (HasFatalFailure()) return;
  session->lockGroup(1);
  ASSERT_TRUE(app->waitForSwitchLanded(1, *session)) << engineLog();
  ASSERT_TRUE(session->typeUsKeys("hello"));
  ASSERT_TRUE(fieldShows(before + "\u0E49\u0E33\u0E2A\u0E2A\u0E19")) << last << "\n" << engineLog();
  EXPECT_TRUE(chordShows(keycode::x, before + "hello")) << last << "\n" << engineLog();
  ASSERT_TRUE(logSays("cycleCurrentWordLanguage: converted")) << engineLog();
  ASSERT_TRUE(app->waitForSwitchLanded(0, *session)) << engineLog();
  EXPECT_TRUE(chordShows(keycode::z, before + "\u0E49\u0E33\u0E2A\u0E2A\u0E19")) << last << "\n" << engineLog();
  ASSERT_TRUE(app->waitForSwitchLanded(1, *session)) << engineLog();
  EXPECT_TRUE(chordShows(keycode::z, before + "hello")) << last << "\n" << engineLog();
  EXPECT_EQ(engineLog().find("may be gone"), std::string::npos) << engineLog();
}

// A typist who goes on typing 30 ms after Control+Shift+X, 40 ms a key (each
// held 20 ms), or a program typing at machine speed: the keys wait for the
// conversion and follow it once, in order, in the layout it left, as on the
// simulated desktop; none is left down.
TEST_P(LineConversionRoadTest, KeysTypedRightAfterTheChordFollowTheConvertedWord) {
  launch();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(session->typeUsKeys("l;ylfu"));
  ASSERT_TRUE(fieldShows("l;ylfu")) << last << "\n" << engineLog();
  std::vector<X11Application::Timed> timeline;
  auto at = [&](double t, uint16_t key, bool down, bool shift = false) {
    timeline.push_back({t, [this, key, down, shift] {
                          if (shift) session->pressKey(keycode::shift, down);
                          session->pressKey(key, down);
                        }});
  };
  for (uint16_t m : {keycode::control, keycode::shift, keycode::x}) at(0, m, true);
  for (uint16_t m : {keycode::x, keycode::shift, keycode::control}) at(0, m, false);
  const std::string next = " l;ylfu kkoo";
  for (size_t i = 0; i < next.size(); ++i) {
    const auto key = *usKeyForCharacter(next.substr(i, 1));
    at(0.03 + 0.04 * static_cast<double>(i), key.first, true);
    at(0.05 + 0.04 * static_cast<double>(i), key.first, false);
  }
  app->play(timeline, 0.6);
  const std::string thaiWord = "\u0E2A\u0E27\u0E31\u0E2A\u0E14\u0E35";  // สวัสดี
  EXPECT_TRUE(fieldShows(thaiWord + " " + thaiWord + " \u0E32\u0E32\u0E19\u0E19")) << last << "\n" << engineLog();
  ASSERT_TRUE(main().pumpUntil([&] { return !engine->holdsKeys(); })) << engineLog();
  EXPECT_EQ(session->keysDown(), std::vector<unsigned>{}) << "a key left down";

  // At machine speed, on a connection of another program's, flushed once.
  ASSERT_TRUE(field->setText("l;ylfu"));
  session->lockGroup(0);
  ASSERT_TRUE(app->waitForSwitchLanded(0, *session)) << engineLog();
  Display* typist = XOpenDisplay(session->displayName().c_str());
  ASSERT_TRUE(typist);
  auto fake = [&](uint16_t key, bool down) {
    XTestFakeKeyEvent(typist, *X11EventSystem::xKeyCodeFor(key), down, CurrentTime);
  };
  for (uint16_t m : {keycode::control, keycode::shift, keycode::x}) fake(m, true);
  for (uint16_t m : {keycode::x, keycode::shift, keycode::control}) fake(m, false);
  for (char c : std::string(" l;ylfu l;ylfu")) {
    fake(usKeyForCharacter(std::string(1, c))->first, true);
    fake(usKeyForCharacter(std::string(1, c))->first, false);
  }
  XSync(typist, False);
  XCloseDisplay(typist);
  EXPECT_TRUE(fieldShows(thaiWord + " " + thaiWord + " " + thaiWord)) << last << "\n" << engineLog();
  ASSERT_TRUE(main().pumpUntil([&] { return !engine->holdsKeys(); })) << engineLog();
  EXPECT_EQ(session->keysDown(), std::vector<unsigned>{}) << "a key left down";
}

// Every core busy (busy loops of this test's own) and another application on
// the desktop that has stopped answering: fifty conversions through the hot
// key, each the right word, and the key handler never misses its budget
// (which would pass keys unfiltered, disable the tap and tell the user of a
// stall). The Accessibility reads of a conversion run after the hot key's
// answer, each with a short deadline of its own, and the hung application
// costs the search for the focused field little, once. Under openbox, as on
// a desktop: the hot key's release reaches the tap through the grab while the
// conversion types, and must not be replayed after it (the server would
// keep X down, and the next Control+Shift+X would be lost).
TEST_F(KeystrokeRoadTest, FiftyConversionsUnderLoadNeverStallTheTap) {
  std::string why;
  auto hung = TestField::start(*session, TestField::Kind::button, "", &why);
  ASSERT_TRUE(hung) << why;
  launchWith(TestField::Kind::line);
  if (HasFatalFailure()) return;
  ASSERT_EQ(::kill(hung->pid(), SIGSTOP), 0);
  struct Resume {
    pid_t pid;
    ~Resume() { ::kill(pid, SIGCONT); }
  } resume{static_cast<pid_t>(hung->pid())};
  // The first round reads the field as the later ones do: on a loaded
  // machine its window takes the focus, or its text is shared, a moment late.
  ASSERT_TRUE(main().pumpUntil([&] { return app->x11().accessibility()->focusedTextState(0.2).text.ok(); }, 5.0));
  std::atomic<bool> stop{false};
  std::vector<std::thread> load;
  for (unsigned i = 0; i < std::max(2u, std::thread::hardware_concurrency()); ++i)
    load.emplace_back([&] {
      volatile uint64_t n = 0;
      while (!stop.load(std::memory_order_relaxed)) n = n + 1;
    });
  struct StopLoad {
    std::atomic<bool>& stop;
    std::vector<std::thread>& load;
    ~StopLoad() {
      stop = true;
      for (auto& t : load) t.join();
    }
  } stopLoad{stop, load};

  auto converted = [&] {
    int n = 0;
    for (const auto& line : engine->diagnosticLogs())
      if (line.find("cycleCurrentWordLanguage: converted") != std::string::npos) ++n;
    return n;
  };
  for (int round = 0; round < 50; ++round) {
    ASSERT_TRUE(field->setText("hello l;ylfu"));
    session->lockGroup(0);
    ASSERT_TRUE(app->waitForSwitchLanded(0, *session)) << engineLog();
    const int before = converted();
    session->pressKey(keycode::control, true);
    session->tapKey(keycode::x, true);
    session->pressKey(keycode::control, false);
    ASSERT_TRUE(fieldShows("hello สวัสดี")) << "round " << round << ": " << last << "\n" << engineLog();
    ASSERT_TRUE(main().pumpUntil([&] { return converted() == before + 1 && !engine->isSimulatingTyping(); }, 5.0))
        << "round " << round << "\n" << engineLog();
    // The conversion's own switch lands before the next round puts the
    // first group back.
    ASSERT_TRUE(app->waitForSwitchLanded(1, *session)) << "round " << round << "\n" << engineLog();
  }
  for (const auto& line : app->backendLog())
    EXPECT_EQ(line.find("did not answer within its time budget"), std::string::npos) << line;
  EXPECT_TRUE(app->x11().events()->isTapEnabled(engine->tap.eventTap)) << engineLog();
  EXPECT_EQ(engine->counters.inputStallCount.get(), 0) << engineLog();
  if (auto* hud = app->hud()) {
    const std::string notices = hud->noticesTranscript(app->launchedAt()).dump();
    for (const char* key : {"hud_tap_stale_recovered", "hud_tap_recovered"})
      EXPECT_EQ(notices.find(engine->localized(key)), std::string::npos) << notices;
  }
}

// The field changes under the engine while it deletes the word (a program
// rewriting its own text): what is left is not what the engine expects, so
// the conversion stops there: nothing typed, no layout switched.
TEST_P(LineConversionRoadTest, AConversionIsRefusedWhenTheFieldChangedUnderIt) {
  launch();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(session->typeUsKeys("l;ylfu"));
  ASSERT_TRUE(fieldShows("l;ylfu")) << last << "\n" << engineLog();
  ASSERT_TRUE(field->setTextOnNextDelete("rewritten by the program"));
  session->pressKey(keycode::control, true);
  session->tapKey(keycode::x, true);
  session->pressKey(keycode::control, false);
  EXPECT_TRUE(main().pumpUntil(
      [&] { return engineLog().find("refused because the screen changed") != std::string::npos; }, 3.0))
      << engineLog();
  main().pumpUntil([] { return false; }, 0.3);  // anything typed after the refusal would show by now
  auto s = field->state();
  ASSERT_TRUE(s);
  EXPECT_EQ(s->text.rfind("rewritten by the", 0), 0u) << s->text;
  EXPECT_EQ(s->text.find("\xE0\xB8"), std::string::npos) << "no Thai typed: " << s->text;
  EXPECT_EQ(session->lockedGroup(), 0u) << "no layout switched";
}

// While paused the engine's tap is disabled and the pause hot key reaches
// it through the global key monitor, which hears keys no tap filters.
TEST_F(KeystrokeRoadTest, ThePauseHotKeyPausesAndResumes) {
  launchWith(TestField::Kind::line);
  if (HasFatalFailure()) return;
  auto pauseChord = [&] {
    for (uint16_t m : {keycode::control, keycode::option, keycode::command}) session->pressKey(m, true);
    session->tapKey(keycode::p);
    for (uint16_t m : {keycode::command, keycode::option, keycode::control}) session->pressKey(m, false);
  };
  pauseChord();
  ASSERT_TRUE(main().pumpUntil([&] { return engine->isPaused.get(); })) << engineLog();
  // Paused, keys reach the field untouched.
  ASSERT_TRUE(session->typeUsKeys("a"));
  EXPECT_TRUE(fieldShows("a")) << last << "\n" << engineLog();
  pauseChord();
  EXPECT_TRUE(main().pumpUntil([&] { return !engine->isPaused.get(); })) << engineLog();
}

// A long Caps Lock press sets the lock (and switches nothing); its release
// leaves it set, and a tap later takes it off again and switches.
TEST_F(KeystrokeRoadTest, ALongCapsLockPressLeavesTheLockSetAfterItsRelease) {
  launchWith(TestField::Kind::line);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(session->pressKey(keycode::capsLock, true));
  ASSERT_TRUE(main().pumpUntil([&] { return engineLog().find("F19 LONG PRESS") != std::string::npos; }))
      << engineLog();
  ASSERT_TRUE(session->pressKey(keycode::capsLock, false));
  ASSERT_TRUE(main().pumpUntil([&] { return !app->holding(); }));
  main().pumpUntil([] { return false; }, 0.2);  // a wrong unlock would have landed by now
  EXPECT_TRUE(lockOn()) << engineLog();
  EXPECT_EQ(session->lockedGroup(), 0u);
  ASSERT_TRUE(session->typeUsKeys("cd"));
  EXPECT_TRUE(fieldShows("CD")) << last << "\n" << engineLog();
  session->resetKeyboardState();
}

// The letters typed during a long press are held, and replayed once it has
// set the lock, while the key is still down (the server keeps Lock in its
// depressed modifiers): they read as typed before the lock, and only the
// letters after it come out in capitals.
TEST_F(KeystrokeRoadTest, ALongCapsLockPressLocksCapitalsOnlyAfterIt) {
  launchWith(TestField::Kind::line);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(session->pressKey(keycode::capsLock, true));
  ASSERT_TRUE(session->typeUsKeys("ab"));
  // Past the long-press threshold the engine locks the capitals itself (the
  // lock alone is no marker: the server sets it on the press, for as long
  // as the back end takes to put it back).
  ASSERT_TRUE(main().pumpUntil([&] {
    return engineLog().find("F19 LONG PRESS") != std::string::npos && session->capsLocked();
  })) << engineLog();
  // Replayed while the key is still down.
  EXPECT_TRUE(fieldShows("ab")) << last << "\n" << engineLog();
  ASSERT_TRUE(session->pressKey(keycode::capsLock, false));
  ASSERT_TRUE(main().pumpUntil([&] { return !app->holding(); }));
  ASSERT_TRUE(session->typeUsKeys("cd"));
  EXPECT_TRUE(fieldShows("abCD")) << last << "\n" << engineLog();
  EXPECT_TRUE(lockOn());
  session->resetKeyboardState();
}

// The filtering tap alone, passing every key: a key pressed in the second
// group reaches the field in that group, as it does with no tap at all (a
// core passive grab replays it in the first group).
TEST_F(KeystrokeRoadTest, APassedKeyTypesInTheServersGroup) {
  std::string why;
  field = TestField::start(*session, TestField::Kind::line, "", &why);
  ASSERT_TRUE(field) << why;
  auto x11 = X11Desktop::open(idleMain, {{"DISPLAY", session->displayName()}}, nullptr);
  ASSERT_TRUE(x11->available()) << x11->reason();
  auto& events = *x11->events();
  TapId tap = events.createTap(TapLocation::hid, true, TapOptions::defaultTap, eventMaskBit(EventType::keyDown),
                               [](TapId, EventType, const Event& e) { return std::optional<Event>(e); });
  events.addTapToRunLoop(tap);
  events.enableTap(tap, true);
  events.flush();

  session->lockGroup(1);
  ASSERT_TRUE(session->typeUsKeys("n"));
  EXPECT_TRUE(fieldShows("ื")) << last;
}

// A program typing for the user through XTest (a password manager's
// auto-type, a remote-desktop server) sends its keys back to back, the same
// key twice in a word, on a connection of its own flushed once. Typed right
// after a conversion, each key arrives once and in order.
TEST_F(KeystrokeRoadTest, KeysTypedAtMachineSpeedRightAfterAConversionArriveOnceAndInOrder) {
  launchWith(TestField::Kind::line);
  if (HasFatalFailure()) return;
  auto converted = [&] {
    const auto logs = engine->diagnosticLogs();
    return std::count_if(logs.begin(), logs.end(), [](const std::string& line) {
      return line.find("cycleCurrentWordLanguage: converted") != std::string::npos;
    });
  };
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(field->setText("l;ylfu"));
    session->lockGroup(0);
    ASSERT_TRUE(app->waitForSwitchLanded(0, *session)) << engineLog();
    session->pressKey(keycode::control, true);
    session->tapKey(keycode::x, true);
    session->pressKey(keycode::control, false);
    ASSERT_TRUE(fieldShows("สวัสดี")) << "round " << round << ": " << last << "\n" << engineLog();
    // Once the conversion is over: checked, its keys typed and back (the
    // modifiers let go of meanwhile too), its switch landed.
    ASSERT_TRUE(main().pumpUntil([&] {
      return converted() == round + 1 && !engine->isSimulatingTyping() && !engine->typingSimulation.isReplaying &&
             !engine->heldKeys.hasPostedOnTheWay();
    })) << engineLog();
    ASSERT_TRUE(app->waitForSwitchLanded(1, *session)) << engineLog();
    Display* typist = XOpenDisplay(session->displayName().c_str());
    ASSERT_TRUE(typist);
    for (char c : std::string("l;ylful;ylful;ylful;")) {
      const unsigned x = *X11EventSystem::xKeyCodeFor(usKeyForCharacter(std::string(1, c))->first);
      XTestFakeKeyEvent(typist, x, True, CurrentTime);
      XTestFakeKeyEvent(typist, x, False, CurrentTime);
    }
    XSync(typist, False);
    XCloseDisplay(typist);
    EXPECT_TRUE(fieldShows("สวัสดีสวัสดีสวัสดีสวัสดีสว")) << "round " << round << ": " << last << "\n" << engineLog();
  }
}

}  // namespace
}  // namespace tessa
