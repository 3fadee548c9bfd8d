// The focused field read and edited over AT-SPI, in the engine's UTF-16
// units: the reads in each toolkit's fields, the rest in Qt's.
#include "platform/x11/atspi_accessibility.h"

#include <gtest/gtest.h>

#include <glib.h>
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "base/task_runner.h"
#include "platform/events.h"
#include "platform/x11/x11_window_focus.h"
#include "x11/support/field_choice.h"
#include "x11/support/unavailable.h"
#include "x11_session/x11_session.h"

// Last: its macros (None, Bool) would break the headers above.
#include <X11/Xlib.h>

namespace tessa {
namespace {

using xsession::TestField;
using xsession::waitUntil;
using xsession::XSession;

TEST(Utf16Offsets, CountSurrogatePairsTwiceAndEverythingElseOnce) {
  const std::string text = "a😀สวัสดี";  // 1 + 2 + 6 units; 8 characters
  EXPECT_EQ(utf16OffsetOfCharacter(text, 0), 0);
  EXPECT_EQ(utf16OffsetOfCharacter(text, 1), 1);
  EXPECT_EQ(utf16OffsetOfCharacter(text, 2), 3);
  EXPECT_EQ(utf16OffsetOfCharacter(text, 8), 9);
  EXPECT_EQ(utf16OffsetOfCharacter(text, 50), 9);  // clamped
  EXPECT_EQ(characterOffsetOfUtf16(text, 3), 2);
  EXPECT_EQ(characterOffsetOfUtf16(text, 9), 8);
  EXPECT_EQ(characterOffsetOfUtf16(text, 2), 2);  // inside the pair: the whole character
  EXPECT_EQ(characterOffsetOfUtf16(text, 99), 8);
  for (int64_t c = 0; c <= 8; ++c) EXPECT_EQ(characterOffsetOfUtf16(text, utf16OffsetOfCharacter(text, c)), c);
}

TEST(AtspiWithoutSessionBus, IsUntrustedAndReportsAccessibilityDisabled) {
  const char* bus = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::string saved = bus ? bus : "";
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  SerialQueue main{"main"};
  AtspiAccessibility ax(main);
  EXPECT_FALSE(ax.isProcessTrusted(true));
  EXPECT_EQ(ax.trustProblem(), AXTrustProblem::noSessionBus);
  EXPECT_EQ(ax.focusedElement(0.1).error, AXError::apiDisabled);
  if (bus) setenv("DBUS_SESSION_BUS_ADDRESS", saved.c_str(), 1);
}

class AtspiAccessibilityTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    // No window manager, unless TESSAVINOR_X11_WM names one for the run.
    xsession::XSessionOptions options;
    options.windowManager = xsession::windowManagerFromEnvironment(xsession::WindowManager::none);
    session = XSession::start(options, &why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    if (!session->startAccessibilityBus(&why)) TESSA_X11_UNAVAILABLE(why);
    ASSERT_TRUE(session->setLayouts({"us", "th"}));
    session->resetKeyboardState();
    inputFocus = X11WindowFocus::open(session->displayName(), &why);
    ASSERT_TRUE(inputFocus) << why;
    ax = std::make_unique<AtspiAccessibility>(main, inputFocus.get());
  }

  // Starts the window and waits until AT-SPI sees its focused widget.
  AXElement open(TestField::Kind kind, const std::string& text, xsession::Toolkit toolkit = xsession::Toolkit::qt) {
    std::string why;
    field = TestField::start(*session, toolkit, kind, text, &why);
    EXPECT_TRUE(field) << why;
    if (!field) return {};
    AXResult<AXElement> focused;
    EXPECT_TRUE(waitUntil(
        [&] {
          focused = ax->focusedElement(0.5);
          return focused.ok() && focused.value->pid == field->pid();
        },
        5.0, 0.01));
    return focused.value.value_or(AXElement{});
  }

  // The keyboard grabbed by another client, as the back end grabs it while
  // the user holds the conversion's hot key, until the guard goes.
  struct KeyboardGrab {
    Display* d;
    bool grabbed;
    ~KeyboardGrab() {
      if (!grabbed) return;
      XUngrabKeyboard(d, CurrentTime);
      XSync(d, False);
    }
  };
  KeyboardGrab grabKeyboard() {
    Display* d = session->display();
    return {d, XGrabKeyboard(d, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync, CurrentTime) == GrabSuccess};
  }

  SerialQueue main{"main"};
  std::unique_ptr<XSession> session;
  std::unique_ptr<X11WindowFocus> inputFocus;  // before ax, which asks it until it ends
  std::unique_ptr<AtspiAccessibility> ax;
  std::unique_ptr<TestField> field;
};

class AtspiFieldTest : public AtspiAccessibilityTest, public ::testing::WithParamInterface<test::FieldChoice> {
 protected:
  void SetUp() override {
    TESSA_X11_NEEDS_FIELD(GetParam().toolkit);
    AtspiAccessibilityTest::SetUp();
  }
  AXElement open(const std::string& text) { return AtspiAccessibilityTest::open(GetParam().kind, text, GetParam().toolkit); }
};

TEST_F(AtspiAccessibilityTest, TrustFollowsTheBusSettingAndThePromptTurnsItOn) {
  std::atomic<int> changes{0};
  auto sub = ax->observeTrustListChanged([&] { ++changes; });
  // A fresh account: the launcher's own settings say off, whatever the
  // user running the tests has set in theirs.
  EXPECT_FALSE(ax->isProcessTrusted(false));
  EXPECT_EQ(ax->trustProblem(), AXTrustProblem::none);
  EXPECT_TRUE(ax->promptTurnsTrustOn());
  EXPECT_TRUE(ax->isProcessTrusted(true));
  EXPECT_TRUE(ax->isProcessTrusted(false));
  EXPECT_TRUE(waitUntil([&] { return changes == 1; }, 2.0));
  // No window yet: nothing has the focus.
  EXPECT_EQ(ax->focusedElement(0.5).error, AXError::noValue);
}

// GTK counts in characters, Qt in UTF-16 units; the engine gets UTF-16
// units from both. The text comes back whole from every toolkit, whatever
// each makes of the one-round read's "to the end".
TEST_P(AtspiFieldTest, ReadsTextCaretSelectionAndBoundsInUtf16Units) {
  const std::string text = "a😀 สวัสดี";  // caret at the end: 1 + 2 + 1 + 6 = 10 units
  AXElement e = open(text);
  ASSERT_NE(e.id, 0u);
  EXPECT_EQ(ax->focusedElementOfApplication(field->pid(), 0.5).value, e);
  EXPECT_EQ(ax->focusedElementOfApplication(999999, 0.5).error, AXError::noValue);

  EXPECT_EQ(*ax->role(e).value, GetParam().kind == TestField::Kind::multiLine ? "AXTextArea" : "AXTextField");
  EXPECT_EQ(ax->subrole(e).error, AXError::noValue);
  EXPECT_EQ(*ax->value(e).value, text);
  EXPECT_EQ(*ax->selectedTextRange(e).value, (TextRange{10, 0}));
  EXPECT_EQ(field->state()->caret, 10);  // the window counts as we do
  auto state = ax->textState(e);
  ASSERT_TRUE(state.ok()) << static_cast<int>(state.error);
  EXPECT_EQ(state.value->value, text);
  EXPECT_EQ(state.value->selection, (TextRange{10, 0}));
  EXPECT_FALSE(state.value->secure);
  EXPECT_EQ(*ax->stringForRange(e, TextRange{1, 2}).value, "😀");
  EXPECT_EQ(*ax->stringForRange(e, TextRange{4, 3}).value, "สวั");
  EXPECT_EQ(ax->stringForRange(e, TextRange{8, 3}).error, AXError::illegalArgument);
  EXPECT_EQ(*ax->selectedText(e).value, "");

  auto frame = ax->frame(e);
  ASSERT_TRUE(frame.ok());
  // GTK 4 (4.8) gives no extents for a range of text: the HUD is placed
  // there without the caret's.
  if (GetParam().toolkit == xsession::Toolkit::gtk4) return;
  auto bounds = ax->boundsForRange(e, TextRange{4, 6});
  ASSERT_TRUE(bounds.ok());
  EXPECT_GT(bounds.value->width, 0);
  EXPECT_GT(frame.value->width, bounds.value->width);
}

// The text state's questions go out together; a selection, and a text whose
// characters need surrogate pairs, are asked after, and still read in UTF-16.
TEST_P(AtspiFieldTest, TheTextStateGivesASelectionOverAnEmojiInUtf16Units) {
  AXElement e = open("a😀b");
  ASSERT_NE(e.id, 0u);
  ASSERT_TRUE(session->tapKey(keycode::left, true));  // selects "b"
  ASSERT_TRUE(session->tapKey(keycode::left, true));  // and the emoji
  ASSERT_TRUE(waitUntil([&] { return ax->selectedTextRange(e).value == TextRange{1, 3}; }, 2.0));
  auto state = ax->textState(e);
  ASSERT_TRUE(state.ok()) << static_cast<int>(state.error);
  EXPECT_EQ(state.value->value, "a😀b");
  EXPECT_EQ(state.value->selection, (TextRange{1, 3}));
}

// While another client holds the keyboard grabbed (as the back end does
// while the user holds the conversion's hot key), GTK says its widget has
// lost the focus, though the input focus stayed in its window: the field is
// still the focused one, and reads.
TEST_P(AtspiFieldTest, TheFocusedFieldIsStillFoundWhileTheKeyboardIsGrabbed) {
  AXElement e = open("hello");
  ASSERT_NE(e.id, 0u);
  auto ungrab = grabKeyboard();
  ASSERT_TRUE(ungrab.grabbed);
  if (GetParam().toolkit != xsession::Toolkit::qt) {
    ASSERT_TRUE(waitUntil([&] { return field->hasFocus() == false; }, 2.0)) << "GTK gives the focus up to the grab";
  }
  auto focused = ax->focusedElement(0.5);
  ASSERT_TRUE(focused.ok()) << static_cast<int>(focused.error);
  EXPECT_EQ(*focused.value, e);
  auto state = ax->textState(*focused.value);
  ASSERT_TRUE(state.ok()) << static_cast<int>(state.error);
  EXPECT_EQ(state.value->value, "hello");
  EXPECT_EQ(state.value->selection, (TextRange{5, 0}));
  // Asked together, where GTK's field no longer says it is focused.
  auto together = ax->focusedTextState(0.5);
  ASSERT_TRUE(together.element.ok() && together.text.ok());
  EXPECT_EQ(*together.element.value, e);
  EXPECT_EQ(together.text.value->value, "hello");
}

INSTANTIATE_TEST_SUITE_P(Fields, AtspiFieldTest, test::everyTextField(), test::fieldName);

// GTK 4 gives the library no copy of its states: each look asks the
// application. One too short for it while it is busy (stopped here) goes
// unanswered, and the library answers "gone" for it: the field is not
// forgotten, and reads once the application answers again, though behind our
// grab it no longer says it has the focus.
TEST_F(AtspiAccessibilityTest, AFieldWhoseApplicationAnswersALookLateIsNotForgotten) {
  TESSA_X11_NEEDS_FIELD(xsession::Toolkit::gtk4);
  AXElement e = open(TestField::Kind::line, "hello", xsession::Toolkit::gtk4);
  ASSERT_NE(e.id, 0u);
  auto ungrab = grabKeyboard();
  ASSERT_TRUE(ungrab.grabbed);
  ASSERT_TRUE(waitUntil([&] { return field->hasFocus() == false; }, 2.0));
  const auto pid = static_cast<pid_t>(field->pid());
  ASSERT_EQ(::kill(pid, SIGSTOP), 0);
  EXPECT_FALSE(ax->focusedElement(0.05).ok());
  // The registry answers once that look is over (one thread asks both).
  const bool lookOver = waitUntil([&] { return ax->isApplicationRegistered(pid).has_value(); }, 5.0);
  ASSERT_EQ(::kill(pid, SIGCONT), 0);
  ASSERT_TRUE(lookOver);
  auto together = ax->focusedTextState(1.0);
  ASSERT_TRUE(together.element.ok()) << static_cast<int>(together.element.error);
  EXPECT_EQ(*together.element.value, e);
  ASSERT_TRUE(together.text.ok()) << static_cast<int>(together.text.error);
  EXPECT_EQ(together.text.value->value, "hello");
}

TEST_F(AtspiAccessibilityTest, EditsAtUtf16OffsetsAndTheWindowShowsThem) {
  AXElement e = open(TestField::Kind::line, "😀สวัสดี");
  ASSERT_NE(e.id, 0u);
  // After the emoji (two units), before the Thai word.
  EXPECT_EQ(ax->insertText(e, 2, "ไทย "), AXError::success);
  EXPECT_TRUE(field->waitForText("😀ไทย สวัสดี"));
  EXPECT_EQ(ax->deleteText(e, TextRange{0, 2}), AXError::success);
  EXPECT_TRUE(field->waitForText("ไทย สวัสดี"));
  EXPECT_EQ(ax->setCaret(e, 3), AXError::success);
  EXPECT_TRUE(waitUntil([&] { return field->state()->caret == 3; }, 2.0));
  EXPECT_EQ(*ax->selectedTextRange(e).value, (TextRange{3, 0}));
  EXPECT_EQ(ax->insertText(e, 99, "x"), AXError::illegalArgument);
  EXPECT_EQ(ax->deleteText(e, TextRange{5, 99}), AXError::illegalArgument);
  EXPECT_EQ(*ax->value(e).value, "ไทย สวัสดี");
}

TEST_F(AtspiAccessibilityTest, KeysTypedInTheThaiGroupReadBackAsThai) {
  AXElement e = open(TestField::Kind::line, "hello ");
  ASSERT_NE(e.id, 0u);
  session->lockGroup(1);
  ASSERT_TRUE(session->typeUsKeys("l;ylfu"));
  ASSERT_TRUE(field->waitForText("hello สวัสดี"));
  EXPECT_EQ(*ax->value(e).value, "hello สวัสดี");
  EXPECT_EQ(*ax->selectedTextRange(e).value, (TextRange{12, 0}));
  auto state = ax->textState(e);
  ASSERT_TRUE(state.ok());
  EXPECT_EQ(state.value->value, "hello สวัสดี");
  EXPECT_EQ(state.value->selection, (TextRange{12, 0}));
}

TEST_F(AtspiAccessibilityTest, APasswordFieldIsSecureAndGivesNoValue) {
  AXElement e = open(TestField::Kind::password, "secret");
  ASSERT_NE(e.id, 0u);
  EXPECT_EQ(*ax->subrole(e).value, "AXSecureTextField");
  ASSERT_TRUE(ax->textState(e).ok());
  EXPECT_TRUE(ax->textState(e).value->secure);
  EXPECT_EQ(ax->value(e).error, AXError::noValue);
  auto together = ax->focusedTextState(0.5);
  ASSERT_TRUE(together.text.ok());
  EXPECT_TRUE(together.text.value->secure);
}

// A field read once as plain text that then starts hiding its text (a "hide
// password" switch) is a password field from then on: the library's copy of
// its role is never told.
TEST_F(AtspiAccessibilityTest, AFieldThatStartsHidingItsTextIsSecureAtOnce) {
  AXElement e = open(TestField::Kind::line, "secret");
  ASSERT_NE(e.id, 0u);
  ASSERT_TRUE(ax->textState(e).ok());
  EXPECT_FALSE(ax->textState(e).value->secure);
  ASSERT_TRUE(field->hideText());
  auto state = ax->textState(e);
  ASSERT_TRUE(state.ok());
  EXPECT_TRUE(state.value->secure);
  EXPECT_EQ(state.value->value, "");
  EXPECT_EQ(ax->subrole(e).value, "AXSecureTextField");
  auto together = ax->focusedTextState(0.5);
  ASSERT_TRUE(together.text.ok());
  EXPECT_TRUE(together.text.value->secure);
  EXPECT_EQ(together.text.value->value, "");
}

TEST_F(AtspiAccessibilityTest, AnApplicationWithoutTextHasNoTextAttributes) {
  AXElement e = open(TestField::Kind::button, "");
  ASSERT_NE(e.id, 0u);
  // The engine's "Accessibility unavailable" answer needs all three to fail.
  EXPECT_EQ(ax->value(e).error, AXError::attributeUnsupported);
  EXPECT_EQ(ax->selectedTextRange(e).error, AXError::attributeUnsupported);
  EXPECT_FALSE(ax->selectedText(e).ok());
  EXPECT_EQ(ax->insertText(e, 0, "x"), AXError::attributeUnsupported);
}

TEST_F(AtspiAccessibilityTest, AnElementOfAClosedWindowIsInvalid) {
  AXElement e = open(TestField::Kind::line, "x");
  ASSERT_NE(e.id, 0u);
  field.reset();
  EXPECT_TRUE(waitUntil([&] { return !ax->value(e).ok(); }, 3.0));
  EXPECT_FALSE(ax->role(e).ok());
  EXPECT_EQ(ax->value(AXElement{12345, 1}).error, AXError::invalidElement);
}

// The library's connection and caches belong to one thread; trust checks
// from a poll thread, reads from the main thread and edits from a third
// all go through it. The desktop's own event loop (Qt runs GLib's default
// context on the main thread) must never get to dispatch the library's
// connection meanwhile: that crossing showed as GLib criticals and crashes.
TEST_F(AtspiAccessibilityTest, CallsFromManyThreadsAtOnceAreSafe) {
  AXElement e = open(TestField::Kind::line, "hello");
  ASSERT_NE(e.id, 0u);
  static std::atomic<int> criticals{0};
  criticals = 0;
  const GLogLevelFlags levels = static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING);
  auto count = [](const gchar*, GLogLevelFlags, const gchar*, gpointer) { ++criticals; };
  const guint glibHandler = g_log_set_handler("GLib", levels, count, nullptr);
  const guint defaultHandler = g_log_set_handler(nullptr, levels, count, nullptr);
  std::atomic<bool> stop{false};
  std::atomic<int> trusted{0}, reads{0};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    while (!stop) g_main_context_iteration(nullptr, FALSE);
  });
  // Stopped and joined on every way out, a failed assertion's early return too.
  struct Join {
    std::atomic<bool>& stop;
    std::vector<std::thread>& threads;
    ~Join() {
      stop = true;
      for (auto& t : threads)
        if (t.joinable()) t.join();
    }
  } join{stop, threads};
  for (int t = 0; t < 3; ++t)
    threads.emplace_back([&, t] {
      while (!stop)
        if (ax->isProcessTrusted(t == 0)) ++trusted;
    });
  threads.emplace_back([&] {
    while (!stop)
      if (ax->focusedElement(0.5).ok()) ++reads;
  });
  // Typing makes the field send events on the bus as well.
  std::string typed = "hello";
  for (int i = 0; i < 100; ++i) {
    if (i % 10 == 0) {
      ASSERT_TRUE(session->typeUsKeys("a"));
      typed += "a";
      ASSERT_TRUE(field->waitForText(typed));
    }
    auto v = ax->value(e);
    ASSERT_TRUE(v.ok());
    EXPECT_EQ(*v.value, typed);
    EXPECT_TRUE(ax->textState(e).ok());
  }
  stop = true;
  for (auto& t : threads) t.join();
  g_log_remove_handler("GLib", glibHandler);
  g_log_remove_handler(nullptr, defaultHandler);
  EXPECT_GT(trusted.load(), 0);
  EXPECT_GT(reads.load(), 0);
  EXPECT_EQ(criticals.load(), 0);
}

// An application that stops answering (here: stopped outright) costs each
// call at most its own deadline, never the bus's time-out per message.
TEST_F(AtspiAccessibilityTest, AStoppedApplicationCostsACallOnlyItsDeadline) {
  AXElement e = open(TestField::Kind::line, "hello");
  ASSERT_NE(e.id, 0u);
  ASSERT_EQ(::kill(field->pid(), SIGSTOP), 0);
  auto seconds = [](auto&& f) {
    auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  // However many questions a call asks, it ends at its deadline.
  EXPECT_LT(seconds([&] { EXPECT_FALSE(ax->focusedElement(0.3).ok()); }), 0.45);
  EXPECT_LT(seconds([&] { EXPECT_FALSE(ax->value(e).ok()); }), 0.45);
  EXPECT_LT(seconds([&] { EXPECT_FALSE(ax->selectedTextRange(e).ok()); }), 0.45);
  ::kill(field->pid(), SIGCONT);
  // Answers come back once it does.
  EXPECT_TRUE(waitUntil([&] { return ax->value(e).ok(); }, 5.0, 0.05));
}

}  // namespace
}  // namespace tessa
