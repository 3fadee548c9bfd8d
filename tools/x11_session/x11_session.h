#pragma once
// The X session the X11 tests run in: a private Xvfb (its own display, picked
// by the server, never shared, started with -noreset so the keymap survives
// its clients), keyboard layouts set with setxkbmap, the XKB state reset
// between cases, keys typed through XTest as a user would, and a test field
// in Qt, GTK 3 or GTK 4 exposed over AT-SPI. Everything waits on
// markers with deadlines.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "x11_session/child_process.h"

typedef struct _XDisplay Display;

namespace tessa::xsession {

// Which window manager runs on the session. Real desktops have one, and
// every real one binds keys of its own (openbox, with its distribution's
// default configuration, binds Alt+Tab, Super+D, Print and more); the
// stand-in binds none and only answers activation requests.
enum class WindowManager { none, standIn, openbox };

struct XSessionOptions {
  WindowManager windowManager = WindowManager::none;
};

// Keys as a user types them on a keyboard of their own: XTest's device
// variant on the server's own keyboard (Xvfb's "Xvfb keyboard"), so that
// they do not come from the XTest keyboard the application types on. Plain
// XTest where the server has no keyboard of its own.
class UserKeyboard {
 public:
  explicit UserKeyboard(Display* display);
  ~UserKeyboard();
  UserKeyboard(const UserKeyboard&) = delete;
  UserKeyboard& operator=(const UserKeyboard&) = delete;
  // Sends the press or release of X key code `xKeyCode`, unflushed.
  void send(unsigned xKeyCode, bool down);

 private:
  Display* display_;
  void* device_ = nullptr;  // an XDevice*, kept opaque so that this header needs no X headers
};

class XSession {
 public:
  // Null, with the reason in `why`, when Xvfb is missing or does not start,
  // or the window manager asked for does not come to manage the screen.
  static std::unique_ptr<XSession> start(std::string* why = nullptr) { return start(XSessionOptions{}, why); }
  static std::unique_ptr<XSession> start(const XSessionOptions& options, std::string* why = nullptr);
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  // ":N", for DISPLAY and XOpenDisplay.
  const std::string& displayName() const { return name_; }
  // The harness's own connection.
  Display* display() const { return display_; }

  // setxkbmap -layout a,b[,c] [-variant ...]; true once it has run and the
  // server holds that many groups.
  // `options`, when given, replaces setxkbmap's options (e.g. "grp:caps_toggle").
  bool setLayouts(const std::vector<std::string>& layouts, const std::vector<std::string>& variants = {},
                  const std::string& options = "");
  // Group 0, no modifier locked or latched: what each case starts from.
  void resetKeyboardState();
  uint32_t lockedGroup() const;
  // The Lock modifier is locked (Caps Lock on).
  bool capsLocked() const;
  void lockGroup(uint32_t group);
  // The X key codes the server holds down now.
  std::vector<unsigned> keysDown() const;

  // Keys by our key codes, sent through XTest (evdev code + 8), flushed.
  bool pressKey(uint16_t keyCode, bool down);
  bool tapKey(uint16_t keyCode, bool shift = false);
  // The keys of `text` on a US keyboard, with Shift where needed.
  bool typeUsKeys(const std::string& text);
  // A left click at (x, y) on the screen, through XTest.
  void click(int x, int y);

  // The accessibility bus of the session bus this process runs in (the tests
  // run inside dbus-run-session), started once per process; true once its
  // launcher answers.
  bool startAccessibilityBus(std::string* why = nullptr);
  // Turns that bus's accessibility switch on (org.a11y.Status IsEnabled), as
  // a user's grant does; true once it reads on. Programs started afterwards
  // share their text whatever their environment says.
  bool turnAccessibilityOn(std::string* why = nullptr) const;
  // The switch as it stands; none when the bus does not answer.
  std::optional<bool> accessibilityOn() const;

 private:
  XSession() = default;
  bool startWindowManager(WindowManager wm, std::string* why);

  std::unique_ptr<ChildProcess> xvfb_;
  // Ends before the server does.
  std::unique_ptr<ChildProcess> windowManager_;
  // The window manager's own XDG folders, removed at the end.
  std::string wmHome_;
  std::string name_;
  Display* display_ = nullptr;

 public:
  WindowManager windowManager() const { return wm_; }

 private:
  WindowManager wm_ = WindowManager::none;
};

// The window manager named by TESSAVINOR_X11_WM ("none", "standin",
// "openbox"), else `fallback`: lets a run pick another without a rebuild.
WindowManager windowManagerFromEnvironment(WindowManager fallback);

// Which toolkit draws the test field: Qt (tessavinor-testfield), GTK 3
// (tessavinor-gtkfield) or GTK 4 (tessavinor-gtk4field).
enum class Toolkit { qt, gtk3, gtk4 };

// "qt", "gtk3", "gtk4".
const char* toolkitName(Toolkit toolkit);

// The toolkit named by TESSAVINOR_X11_FIELD ("qt", "gtk3", "gtk4"), else
// `fallback`.
Toolkit toolkitFromEnvironment(Toolkit fallback);

// A window with one focused widget: a line edit, a password field, a button
// (an application that exposes no text) or a multi-line text view.
class TestField {
 public:
  // `lineUnderHeaderBar`: a line edit in a window that draws its own title
  // bar (GTK's header bar); the Qt field takes it for a line.
  enum class Kind { line, password, button, multiLine, lineUnderHeaderBar };
  // Whether the window shares its text whatever the desktop's switch says
  // (Qt's always-on accessibility variables), or as a user's program does:
  // only when the switch was on at its start. The GTK fields always start as
  // a user's program does.
  enum class Sharing { always, asTheSwitchSaidAtStart };
  struct State {
    std::string text;
    int64_t caret = 0;  // UTF-16 units, as Qt counts
  };
  // Whether this build has the toolkit's field (the GTK ones need their
  // development packages at configure time).
  static bool built(Toolkit toolkit);
  // Null, with the reason in `why`, when the window does not come up focused.
  static std::unique_ptr<TestField> start(const XSession& session, Kind kind, const std::string& text,
                                          std::string* why = nullptr, Sharing sharing = Sharing::always) {
    return start(session, Toolkit::qt, kind, text, why, sharing);
  }
  // The Qt field is started with Qt's always-on accessibility variables
  // unless `sharing` says otherwise; a GTK field as a user's program starts, with nothing of ours to turn its
  // accessibility on, and with settings folders of its own (and GTK 4 drawing
  // without OpenGL).
  static std::unique_ptr<TestField> start(const XSession& session, Toolkit toolkit, Kind kind,
                                          const std::string& text, std::string* why = nullptr,
                                          Sharing sharing = Sharing::always);
  ~TestField();
  TestField(const TestField&) = delete;
  TestField& operator=(const TestField&) = delete;
  // What the field holds, asked of the window itself.
  std::optional<State> state();
  // Whether the widget has the focus in the active window, as its toolkit
  // sees it; none when the window does not answer.
  std::optional<bool> hasFocus();
  // Since the GTK field started: how often its window stopped or started
  // being the active one, and how often its widget lost the focus; none
  // when the window does not answer (or is Qt's).
  struct FocusChurn {
    int activeChanges = 0;
    int focusOuts = 0;
  };
  std::optional<FocusChurn> focusChurn();
  // The window replaces its field's text itself (caret at the end); true once
  // it has.
  bool setText(const std::string& text);
  // The field puts this text in place at the next Backspace, which deletes
  // nothing: a program rewriting its text while the engine deletes in it.
  bool setTextOnNextDelete(const std::string& text);
  // The Qt line field starts hiding its text, as a "hide password" switch
  // does; true once it has.
  bool hideText();
  // The widget gives up the focus and takes it again; true once it has.
  bool refocus();
  // From now on the field renames itself and replaces its text every
  // `periodMs` milliseconds, as a busy program does.
  bool beBusy(int periodMs);
  // Polls state() until the text is `text`, up to the deadline.
  bool waitForText(const std::string& text, double timeoutSeconds = 3.0);
  // The same, running `eachTurn` while it waits for each answer: for a test
  // whose own event loop must keep going meanwhile (it serves the clipboard
  // the field pastes from). `last` gets the last text seen.
  bool waitForText(const std::string& text, double timeoutSeconds, const std::function<void()>& eachTurn,
                   std::string* last = nullptr);
  // The Qt field tells, once, the moment its text becomes `text` (on the
  // steady clock, as this process reads it), without being asked: a watch that
  // puts no load on the field it times. True once the field is watching.
  bool announceWhenShown(const std::string& text);
  // That moment, or none when it did not come within the time-out.
  std::optional<double> shownAt(double timeoutSeconds);
  int64_t pid() const { return process_->pid(); }
  Toolkit toolkit() const { return toolkit_; }

 private:
  TestField() = default;

  Toolkit toolkit_ = Toolkit::qt;
  std::unique_ptr<ChildProcess> process_;
  // The GTK field's XDG folders, removed once it has ended.
  std::string home_;
};

}  // namespace tessa::xsession
