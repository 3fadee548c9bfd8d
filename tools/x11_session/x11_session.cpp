#include "x11_session/x11_session.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput.h>
#include <X11/extensions/XTest.h>
#include <dbus/dbus.h>

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <filesystem>

#include "platform/events.h"
#include "platform/keyboard_tables.h"
#include "platform/linux/xkb_layout.h"
#include "platform/x11/atspi_desktop_switch.h"
#include "x11_session/field_lines.h"

namespace tessa::xsession {

namespace {
// Xvfb compiles its keymap as it starts: on a loaded machine that alone can
// take seconds.
constexpr double kStartTimeout = 30.0;
constexpr uint16_t kShift = keycode::shift;

std::string joined(const std::vector<std::string>& parts) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) out += (i ? "," : "") + parts[i];
  return out;
}

bool programExists(const char* name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t colon = dirs.find(':', start);
    std::string dir = dirs.substr(start, colon == std::string::npos ? std::string::npos : colon - start);
    if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  return false;
}

bool a11yBusAnswers() {
  DBusError err;
  dbus_error_init(&err);
  DBusConnection* bus = dbus_bus_get_private(DBUS_BUS_SESSION, &err);
  if (!bus) {
    dbus_error_free(&err);
    return false;
  }
  dbus_connection_set_exit_on_disconnect(bus, FALSE);
  const bool owned = dbus_bus_name_has_owner(bus, "org.a11y.Bus", &err);
  dbus_error_free(&err);
  dbus_connection_close(bus);
  dbus_connection_unref(bus);
  return owned;
}
}  // namespace

UserKeyboard::UserKeyboard(Display* display) : display_(display) {
  int count = 0;
  XDeviceInfo* devices = XListInputDevices(display, &count);
  for (int i = 0; i < count && !device_; ++i)
    if (devices[i].use == IsXExtensionKeyboard && devices[i].name &&
        std::string_view(devices[i].name).find("XTEST") == std::string_view::npos)
      device_ = XOpenDevice(display, devices[i].id);
  if (devices) XFreeDeviceList(devices);
}

UserKeyboard::~UserKeyboard() {
  if (device_) XCloseDevice(display_, static_cast<XDevice*>(device_));
}

void UserKeyboard::send(unsigned xKeyCode, bool down) {
  if (device_)
    XTestFakeDeviceKeyEvent(display_, static_cast<XDevice*>(device_), xKeyCode, down ? True : False, nullptr, 0,
                            CurrentTime);
  else
    XTestFakeKeyEvent(display_, xKeyCode, down ? True : False, CurrentTime);
}

std::unique_ptr<XSession> XSession::start(const XSessionOptions& sessionOptions, std::string* why) {
  auto fail = [why](const std::string& reason) {
    if (why) *why = reason;
    return nullptr;
  };
  if (!programExists("Xvfb")) return fail("Xvfb is not installed");
  std::unique_ptr<XSession> s(new XSession());
  ChildProcess::Options options;
  options.extraFd = 3;
  s->xvfb_ = ChildProcess::start(
      {"Xvfb", "-displayfd", "3", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"}, options);
  if (!s->xvfb_) return fail("Xvfb did not start");
  auto number = s->xvfb_->readExtraLine(kStartTimeout);
  if (!number || number->empty()) return fail("Xvfb did not report its display");
  s->name_ = ":" + *number;
  s->display_ = XOpenDisplay(s->name_.c_str());
  if (!s->display_) return fail("cannot open " + s->name_);
  int event, error, major, minor;
  if (!XTestQueryExtension(s->display_, &event, &error, &major, &minor)) return fail("no XTEST on " + s->name_);
  std::string reason;
  if (!s->startWindowManager(sessionOptions.windowManager, &reason)) return fail(reason);
  return s;
}

namespace {
// Whether a window manager has announced itself on the root window
// (_NET_SUPPORTING_WM_CHECK naming a window that names it back).
bool windowManagerAnnounced(Display* d) {
  const Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
  auto windowProperty = [&](Window w) -> Window {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    Window out = None;
    if (XGetWindowProperty(d, w, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
        data && type == XA_WINDOW && format == 32 && count == 1)
      out = *reinterpret_cast<Window*>(data);
    if (data) XFree(data);
    return out;
  };
  int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
  const Window child = windowProperty(DefaultRootWindow(d));
  const bool ok = child != None && windowProperty(child) == child;
  XSync(d, False);
  XSetErrorHandler(previous);
  return ok;
}

// Whether another client holds a key grab on the root window: a core grab
// of every key with every modifier is refused once one does. The probe runs
// with the server grabbed: a window manager grabbing its keys while our probe
// held them all would be refused its own bindings, and never have them.
bool someKeyGrabbed(Display* d) {
  static bool refused = false;
  refused = false;
  int (*previous)(Display*, XErrorEvent*) = XSetErrorHandler([](Display*, XErrorEvent* e) {
    if (e->error_code == BadAccess) refused = true;
    return 0;
  });
  XGrabServer(d);
  XGrabKey(d, AnyKey, AnyModifier, DefaultRootWindow(d), False, GrabModeAsync, GrabModeAsync);
  XUngrabKey(d, AnyKey, AnyModifier, DefaultRootWindow(d));
  XUngrabServer(d);
  XSync(d, False);
  XSetErrorHandler(previous);
  return refused;
}
}  // namespace

WindowManager windowManagerFromEnvironment(WindowManager fallback) {
  const char* v = std::getenv("TESSAVINOR_X11_WM");
  if (!v) return fallback;
  const std::string s = v;
  if (s == "none") return WindowManager::none;
  if (s == "standin") return WindowManager::standIn;
  if (s == "openbox") return WindowManager::openbox;
  return fallback;
}

bool XSession::startWindowManager(WindowManager wm, std::string* why) {
  wm_ = wm;
  if (wm == WindowManager::none) return true;
  ChildProcess::Options options;
  options.env = {{"DISPLAY", name_}};
  if (wm == WindowManager::standIn) {
    windowManager_ = ChildProcess::start({TESSAVINOR_FAKEWM_PATH}, options);
    if (!windowManager_ || !windowManager_->waitForLine("READY", kStartTimeout)) {
      if (why) *why = "tessavinor-fakewm did not report READY";
      return false;
    }
    return true;
  }
  if (!programExists("openbox")) {
    if (why) *why = "openbox is not installed (scripts/install-deps installs it)";
    return false;
  }
  // Folders of its own: it reads its configuration from the distribution's
  // default (/etc/xdg) and never the user's, and writes nothing of the user's.
  char folder[] = "/tmp/tessavinor-wm-XXXXXX";
  if (!mkdtemp(folder)) {
    if (why) *why = "cannot make a folder for the window manager";
    return false;
  }
  wmHome_ = folder;
  for (const char* sub : {"config", "cache", "data"}) std::filesystem::create_directories(wmHome_ + "/" + sub);
  options.env.insert(options.env.end(), {{"XDG_CONFIG_HOME", wmHome_ + "/config"},
                                         {"XDG_CACHE_HOME", wmHome_ + "/cache"},
                                         {"XDG_DATA_HOME", wmHome_ + "/data"},
                                         {"XDG_CONFIG_DIRS", "/etc/xdg"},
                                         {"HOME", wmHome_}});
  windowManager_ = ChildProcess::start({"openbox", "--sm-disable"}, options);
  if (!windowManager_) {
    if (why) *why = "openbox did not start";
    return false;
  }
  // Ready once it manages the screen and its key bindings are grabbed.
  if (!waitUntil([&] { return windowManagerAnnounced(display_) && someKeyGrabbed(display_); }, kStartTimeout,
                 0.005)) {
    if (why) *why = "openbox did not come to manage the screen";
    return false;
  }
  return true;
}

XSession::~XSession() {
  if (display_) XCloseDisplay(display_);
  display_ = nullptr;
  windowManager_.reset();
  if (!wmHome_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(wmHome_, ec);
  }
}

bool XSession::setLayouts(const std::vector<std::string>& layouts, const std::vector<std::string>& variants,
                          const std::string& options) {
  std::vector<std::string> argv = {"setxkbmap", "-display", name_, "-layout", joined(layouts)};
  if (!options.empty()) argv.insert(argv.end(), {"-option", "", "-option", options});
  if (!variants.empty()) {
    argv.push_back("-variant");
    argv.push_back(joined(variants));
  }
  auto run = ChildProcess::start(argv);
  if (!run || run->wait(kStartTimeout) != 0) return false;
  XSync(display_, False);
  return true;
}

void XSession::resetKeyboardState() {
  XkbLockGroup(display_, XkbUseCoreKbd, 0);
  XkbLockModifiers(display_, XkbUseCoreKbd, 0xff, 0);
  XkbLatchModifiers(display_, XkbUseCoreKbd, 0xff, 0);
  XSync(display_, False);
}

uint32_t XSession::lockedGroup() const {
  XkbStateRec state{};
  XkbGetState(display_, XkbUseCoreKbd, &state);
  return state.locked_group;
}

bool XSession::capsLocked() const {
  XkbStateRec state{};
  XkbGetState(display_, XkbUseCoreKbd, &state);
  return state.locked_mods & LockMask;
}

void XSession::lockGroup(uint32_t group) {
  XkbLockGroup(display_, XkbUseCoreKbd, group);
  XSync(display_, False);
}

std::vector<unsigned> XSession::keysDown() const {
  char map[32] = {};
  XQueryKeymap(display_, map);
  std::vector<unsigned> down;
  for (unsigned code = 8; code < 256; ++code)
    if (map[code / 8] & (1 << (code % 8))) down.push_back(code);
  return down;
}

bool XSession::pressKey(uint16_t keyCode, bool down) {
  auto evdev = XkbKeyLayout::evdevCodeForKeyCode(keyCode);
  if (!evdev) return false;
  XTestFakeKeyEvent(display_, *evdev + 8, down ? True : False, CurrentTime);
  XSync(display_, False);
  return true;
}

bool XSession::tapKey(uint16_t keyCode, bool shift) {
  if (shift && !pressKey(kShift, true)) return false;
  bool ok = pressKey(keyCode, true) && pressKey(keyCode, false);
  if (shift) pressKey(kShift, false);
  return ok;
}

bool XSession::typeUsKeys(const std::string& text) {
  size_t i = 0;
  while (i < text.size()) {
    size_t len = 1;
    while (i + len < text.size() && (static_cast<unsigned char>(text[i + len]) & 0xc0) == 0x80) ++len;
    auto key = usKeyForCharacter(std::string_view(text).substr(i, len));
    if (!key || !tapKey(key->first, key->second)) return false;
    i += len;
  }
  return true;
}

void XSession::click(int x, int y) {
  XTestFakeMotionEvent(display_, -1, x, y, CurrentTime);
  XTestFakeButtonEvent(display_, 1, True, CurrentTime);
  XTestFakeButtonEvent(display_, 1, False, CurrentTime);
  XSync(display_, False);
}

bool XSession::startAccessibilityBus(std::string* why) {
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
    if (why) *why = "no session bus (run inside dbus-run-session)";
    return false;
  }
  // One bus for the life of the process: the AT-SPI library connects once and
  // keeps that connection, so a second launcher would not be seen.
  // Its socket goes under XDG_RUNTIME_DIR, named after the display at most:
  // a folder of our own keeps parallel cases apart.
  struct Bus {
    std::unique_ptr<ChildProcess> launcher;
    std::string folder;
    ~Bus() {
      launcher.reset();
      std::error_code ec;
      if (!folder.empty()) std::filesystem::remove_all(folder, ec);
    }
  };
  static Bus bus;
  if (!bus.launcher && !a11yBusAnswers()) {
    char folder[] = "/tmp/tessavinor-a11y-XXXXXX";
    ChildProcess::Options options;
    // Its settings stay in memory: turning accessibility on must never reach
    // the user's settings database.
    options.env = {{"GSETTINGS_BACKEND", "memory"}};
    if (mkdtemp(folder)) {
      bus.folder = folder;
      options.env.push_back({"XDG_RUNTIME_DIR", folder});
    }
    bus.launcher = ChildProcess::start({"/usr/libexec/at-spi-bus-launcher", "--launch-immediately"}, options);
  }
  if (!waitUntil(a11yBusAnswers, kStartTimeout, 0.01)) {
    if (why) *why = "the accessibility bus launcher did not answer";
    return false;
  }
  return true;
}

bool XSession::turnAccessibilityOn(std::string* why) const {
  AtspiDesktopSwitch desktopSwitch;
  bool on = false;
  if (desktopSwitch.turnOn(on) != AtspiDesktopSwitch::Answer::value || !on) {
    if (why) *why = "the accessibility switch did not turn on";
    return false;
  }
  return true;
}

std::optional<bool> XSession::accessibilityOn() const {
  AtspiDesktopSwitch desktopSwitch;
  bool on = false;
  if (desktopSwitch.read(on) != AtspiDesktopSwitch::Answer::value) return std::nullopt;
  return on;
}

namespace {
const char* programOf(Toolkit toolkit) {
  switch (toolkit) {
    case Toolkit::qt:
      return TESSAVINOR_TESTFIELD_PATH;
    case Toolkit::gtk3:
      return TESSAVINOR_GTKFIELD_PATH;
    case Toolkit::gtk4:
      return TESSAVINOR_GTK4FIELD_PATH;
  }
  return "";
}
}  // namespace

const char* toolkitName(Toolkit toolkit) {
  switch (toolkit) {
    case Toolkit::qt:
      return "qt";
    case Toolkit::gtk3:
      return "gtk3";
    case Toolkit::gtk4:
      return "gtk4";
  }
  return "?";
}

Toolkit toolkitFromEnvironment(Toolkit fallback) {
  const char* v = std::getenv("TESSAVINOR_X11_FIELD");
  if (!v) return fallback;
  for (Toolkit t : {Toolkit::qt, Toolkit::gtk3, Toolkit::gtk4})
    if (std::string_view(v) == toolkitName(t)) return t;
  return fallback;
}

bool TestField::built(Toolkit toolkit) { return *programOf(toolkit) != '\0'; }

std::unique_ptr<TestField> TestField::start(const XSession& session, Toolkit toolkit, Kind kind,
                                            const std::string& text, std::string* why, Sharing sharing) {
  const char* kindName = kind == Kind::line                 ? "line"
                         : kind == Kind::lineUnderHeaderBar ? (toolkit == Toolkit::qt ? "line" : "headerLine")
                         : kind == Kind::password           ? "password"
                         : kind == Kind::button   ? "button"
                                                  : "multiLine";
  const std::string program = programOf(toolkit);
  auto fail = [&](const std::string& reason) {
    if (why) *why = reason;
    return nullptr;
  };
  if (program.empty())
    return fail(std::string("this build has no ") + toolkitName(toolkit) +
                " test field (its development package was missing at configure time)");
  std::unique_ptr<TestField> field(new TestField());
  field->toolkit_ = toolkit;
  ChildProcess::Options options;
  options.env = {{"DISPLAY", session.displayName()}};
  if (toolkit == Toolkit::qt) {
    options.env.push_back({"QT_QPA_PLATFORM", "xcb"});
    if (sharing == Sharing::always)
      options.env.insert(options.env.end(), {{"QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1"}, {"QT_ACCESSIBILITY", "1"}});
  } else {
    char folder[] = "/tmp/tessavinor-gtkfield-XXXXXX";
    if (!mkdtemp(folder)) return fail("cannot make a folder for the GTK field");
    field->home_ = folder;
    for (const char* sub : {"config", "cache", "data"}) std::filesystem::create_directories(field->home_ + "/" + sub);
    options.env.insert(options.env.end(), {{"XDG_CONFIG_HOME", field->home_ + "/config"},
                                           {"XDG_CACHE_HOME", field->home_ + "/cache"},
                                           {"XDG_DATA_HOME", field->home_ + "/data"},
                                           {"GSETTINGS_BACKEND", "memory"}});
    // GTK 4 draws with OpenGL where it can, which Xvfb gives it in software:
    // under load its window then takes seconds to come up. Drawing has no
    // bearing on what it shares over AT-SPI.
    if (toolkit == Toolkit::gtk4) options.env.push_back({"GSK_RENDERER", "cairo"});
  }
  field->process_ = ChildProcess::start({program, kindName, text}, options);
  if (!field->process_ || !field->process_->waitForLine("READY", kStartTimeout))
    return fail(std::filesystem::path(program).filename().string() + " did not report READY");
  return field;
}

TestField::~TestField() {
  process_.reset();
  if (!home_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(home_, ec);
  }
}

namespace {
// "STATE <caret> <text>"
std::optional<TestField::State> stateOf(const std::string& line) {
  const std::string rest = line.substr(6);
  const auto space = rest.find(' ');
  if (space == std::string::npos) return std::nullopt;
  return TestField::State{unescapedLine(rest.substr(space + 1)), std::stoll(rest.substr(0, space))};
}
}  // namespace

std::optional<TestField::State> TestField::state() {
  if (!process_->writeLine("state")) return std::nullopt;
  auto line = process_->waitForLine("STATE ", 3.0);
  if (!line) return std::nullopt;
  return stateOf(*line);
}

std::optional<bool> TestField::hasFocus() {
  if (!process_->writeLine("focus")) return std::nullopt;
  auto line = process_->waitForLine("FOCUS ", 3.0);
  if (!line) return std::nullopt;
  return *line == "FOCUS 1";
}

std::optional<TestField::FocusChurn> TestField::focusChurn() {
  if (toolkit_ == Toolkit::qt || !process_->writeLine("churn")) return std::nullopt;
  auto line = process_->waitForLine("CHURN ", 3.0);
  FocusChurn churn;
  if (!line || std::sscanf(line->c_str(), "CHURN %d %d", &churn.activeChanges, &churn.focusOuts) != 2)
    return std::nullopt;
  return churn;
}

bool TestField::setText(const std::string& text) {
  return process_->writeLine("text " + escapedLine(text)) && process_->waitForLine("TEXT", 3.0);
}

bool TestField::setTextOnNextDelete(const std::string& text) {
  return process_->writeLine("textOnDelete " + escapedLine(text)) && process_->waitForLine("ARMED", 3.0);
}

bool TestField::announceWhenShown(const std::string& text) {
  return process_->writeLine("announce " + escapedLine(text)) && process_->waitForLine("ANNOUNCING", 3.0);
}

std::optional<double> TestField::shownAt(double timeoutSeconds) {
  auto line = process_->waitForLine("SHOWN ", timeoutSeconds);
  if (!line) return std::nullopt;
  return std::strtod(line->c_str() + 6, nullptr);
}

bool TestField::hideText() { return process_->writeLine("hide") && process_->waitForLine("HIDDEN", 3.0); }

bool TestField::refocus() { return process_->writeLine("refocus") && process_->waitForLine("REFOCUSED", 3.0); }

bool TestField::beBusy(int periodMs) {
  return process_->writeLine("busy " + std::to_string(periodMs)) && process_->waitForLine("BUSY", 3.0);
}

bool TestField::waitForText(const std::string& text, double timeoutSeconds) {
  return waitUntil(
      [&] {
        auto s = state();
        return s && s->text == text;
      },
      timeoutSeconds, 0.005);
}

bool TestField::waitForText(const std::string& text, double timeoutSeconds, const std::function<void()>& eachTurn,
                            std::string* last) {
  auto now = [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); };
  const double deadline = now() + timeoutSeconds;
  while (now() < deadline) {
    if (!process_->writeLine("state")) return false;
    std::optional<std::string> line;
    // Short reads, so the caller's loop runs between them.
    while (!line && now() < deadline) {
      eachTurn();
      line = process_->waitForLine("STATE ", 0.005);
    }
    if (!line) return false;
    auto state = stateOf(*line);
    std::string seen = state ? state->text : std::string();
    if (last) *last = seen;
    if (seen == text) return true;
  }
  return false;
}

}  // namespace tessa::xsession
