#include "platform/x11/x11_window_focus.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include "base/files.h"

namespace tessa {
namespace {

using SteadyClock = std::chrono::steady_clock;

template <typename Reply>
struct Freed {
  Reply* reply;
  ~Freed() { std::free(reply); }
  Reply* operator->() const { return reply; }
  explicit operator bool() const { return reply != nullptr; }
};

uint32_t internAtom(xcb_connection_t* c, const char* name) {
  Freed<xcb_intern_atom_reply_t> reply{
      xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr)};
  return reply ? reply->atom : 0;
}

// A property's 32-bit values; empty when it is missing or of another shape.
std::vector<uint32_t> cardinals(xcb_connection_t* c, uint32_t window, uint32_t property, uint32_t type,
                                uint32_t maxCount = 1) {
  Freed<xcb_get_property_reply_t> reply{
      xcb_get_property_reply(c, xcb_get_property(c, 0, window, property, type, 0, maxCount), nullptr)};
  if (!reply || reply->format != 32 || reply->type != type) return {};
  auto* values = static_cast<uint32_t*>(xcb_get_property_value(reply.reply));
  int count = xcb_get_property_value_length(reply.reply) / 4;
  return std::vector<uint32_t>(values, values + count);
}

std::string trimmedLine(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

}  // namespace

std::unique_ptr<X11WindowFocus> X11WindowFocus::open(const std::string& displayName, std::string* why) {
  int screenNumber = 0;
  xcb_connection_t* c = xcb_connect(displayName.c_str(), &screenNumber);
  if (!c || xcb_connection_has_error(c)) {
    if (c) xcb_disconnect(c);
    if (why) *why = "cannot open X11 display " + displayName;
    return nullptr;
  }
  xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
  for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
  if (!it.rem) {
    xcb_disconnect(c);
    if (why) *why = "X11 display " + displayName + " has no such screen";
    return nullptr;
  }
  std::unique_ptr<X11WindowFocus> focus(new X11WindowFocus(c, it.data->root));
  focus->atoms_.activeWindow = internAtom(c, "_NET_ACTIVE_WINDOW");
  focus->atoms_.supported = internAtom(c, "_NET_SUPPORTED");
  focus->atoms_.supportingCheck = internAtom(c, "_NET_SUPPORTING_WM_CHECK");
  focus->atoms_.wmPid = internAtom(c, "_NET_WM_PID");
  focus->atoms_.clientList = internAtom(c, "_NET_CLIENT_LIST");
  return focus;
}

X11WindowFocus::X11WindowFocus(xcb_connection_t* c, Window root) : c_(c), root_(root) {}

X11WindowFocus::~X11WindowFocus() { xcb_disconnect(c_); }

bool X11WindowFocus::hasWindowManager() {
  // A window manager that follows the desktop conventions names a window of
  // its own on the root and lists _NET_ACTIVE_WINDOW among what it supports.
  auto check = cardinals(c_, root_, atoms_.supportingCheck, XCB_ATOM_WINDOW);
  if (check.empty() || check[0] == 0) return false;
  for (uint32_t atom : cardinals(c_, root_, atoms_.supported, XCB_ATOM_ATOM, 4096))
    if (atom == atoms_.activeWindow) return true;
  return false;
}

std::optional<X11WindowFocus::Window> X11WindowFocus::activeWindow() {
  if (hasWindowManager()) {
    auto active = cardinals(c_, root_, atoms_.activeWindow, XCB_ATOM_WINDOW);
    if (active.empty() || active[0] == 0) return std::nullopt;
    return clientOf(active[0]);
  }
  Freed<xcb_get_input_focus_reply_t> reply{xcb_get_input_focus_reply(c_, xcb_get_input_focus(c_), nullptr)};
  // None and PointerRoot name no window.
  if (!reply || reply->focus == XCB_NONE || reply->focus == XCB_INPUT_FOCUS_POINTER_ROOT || reply->focus == root_)
    return std::nullopt;
  return clientOf(reply->focus);
}

std::optional<X11WindowFocus::Window> X11WindowFocus::clientOf(Window window) {
  // Up the tree from the focus (which may be an inner window of a client, or
  // a frame around it) to the first window that says whose it is.
  for (int depth = 0; depth < 32 && window != 0 && window != root_; ++depth) {
    if (identityOf(window)) return window;
    Freed<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(c_, xcb_query_tree(c_, window), nullptr)};
    if (!tree) return std::nullopt;
    window = tree->parent;
  }
  return std::nullopt;
}

std::optional<X11WindowFocus::Identity> X11WindowFocus::identityOf(Window window) {
  Identity id;
  if (auto pid = cardinals(c_, window, atoms_.wmPid, XCB_ATOM_CARDINAL); !pid.empty()) id.pid = pid[0];
  Freed<xcb_get_property_reply_t> cls{xcb_get_property_reply(
      c_, xcb_get_property(c_, 0, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr)};
  if (cls && cls->format == 8) {
    // "instance\0class\0"
    const char* bytes = static_cast<const char*>(xcb_get_property_value(cls.reply));
    std::string value(bytes, static_cast<size_t>(xcb_get_property_value_length(cls.reply)));
    size_t nul = value.find('\0');
    id.instance = value.substr(0, nul);
    if (nul != std::string::npos) id.windowClass = value.substr(nul + 1, value.find('\0', nul + 1) - nul - 1);
  }
  if (id.pid == 0 && id.instance.empty() && id.windowClass.empty()) return std::nullopt;
  return id;
}

RunningApplication X11WindowFocus::applicationOf(const Identity& id) const {
  RunningApplication app;
  app.pid = id.pid;
  // The class is what desktops group an application's windows by; the
  // program's own name stands in when the window gives none.
  app.bundleID = !id.windowClass.empty() ? id.windowClass : id.instance;
  app.name = app.bundleID;
  if (id.pid > 0) {
    auto procDir = std::filesystem::path("/proc") / std::to_string(id.pid);
    if (app.bundleID.empty())
      if (auto cmdline = readFile(procDir / "cmdline", 64 * 1024); cmdline && !cmdline->empty())
        app.bundleID = std::filesystem::path(cmdline->substr(0, cmdline->find('\0'))).filename().string();
    if (app.name.empty())
      if (auto comm = readFile(procDir / "comm", 256)) app.name = trimmedLine(*comm);
  }
  return app;
}

std::optional<RunningApplication> X11WindowFocus::focusedApplication() {
  std::lock_guard lock(mutex_);
  auto window = activeWindow();
  if (!window) return std::nullopt;
  auto id = identityOf(*window);
  if (!id) return std::nullopt;
  RunningApplication app = applicationOf(*id);
  lastWindow_[{app.pid, app.bundleID}] = *window;
  return app;
}

bool X11WindowFocus::matches(Window window, const RunningApplication& app) {
  auto id = identityOf(window);
  if (!id) return false;
  if (app.pid > 0) return id->pid == app.pid;
  return !app.bundleID.empty() && applicationOf(*id).bundleID == app.bundleID;
}

std::optional<X11WindowFocus::Window> X11WindowFocus::findWindowOf(const RunningApplication& app) {
  auto viewable = [&](Window w) {
    Freed<xcb_get_window_attributes_reply_t> attrs{
        xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr)};
    return attrs && attrs->map_state == XCB_MAP_STATE_VIEWABLE;
  };
  if (auto it = lastWindow_.find({app.pid, app.bundleID}); it != lastWindow_.end()) {
    // Still there, still the same application's (window ids are reused).
    if (matches(it->second, app) && (hasWindowManager() || viewable(it->second))) return it->second;
    lastWindow_.erase(it);
  }
  std::vector<uint32_t> candidates;
  if (hasWindowManager()) {
    candidates = cardinals(c_, root_, atoms_.clientList, XCB_ATOM_WINDOW, 65536);
  } else {
    Freed<xcb_query_tree_reply_t> tree{xcb_query_tree_reply(c_, xcb_query_tree(c_, root_), nullptr)};
    if (tree) {
      auto* children = xcb_query_tree_children(tree.reply);
      candidates.assign(children, children + xcb_query_tree_children_length(tree.reply));
    }
  }
  // The topmost window of the application: the lists run bottom to top.
  for (auto it = candidates.rbegin(); it != candidates.rend(); ++it)
    if (matches(*it, app) && (hasWindowManager() || viewable(*it))) return *it;
  return std::nullopt;
}

bool X11WindowFocus::isFocused(Window window) {
  auto active = activeWindow();
  return active && *active == window;
}

bool X11WindowFocus::activate(const RunningApplication& app) {
  std::lock_guard lock(mutex_);
  auto window = findWindowOf(app);
  if (!window) return false;
  if (isFocused(*window)) return true;
  if (hasWindowManager()) {
    // Asked of the window manager as a pager would (source 2), which it
    // honours without its focus-stealing rules.
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = *window;
    event.type = atoms_.activeWindow;
    event.data.data32[0] = 2;
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(c_, 0, root_, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&event));
  } else {
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c_, *window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_generic_error_t* error = xcb_request_check(
        c_, xcb_set_input_focus_checked(c_, XCB_INPUT_FOCUS_PARENT, *window, XCB_CURRENT_TIME));
    if (error) {
      std::free(error);
      return false;
    }
  }
  xcb_flush(c_);
  auto deadline = SteadyClock::now() + std::chrono::duration<double>(timeoutSeconds_);
  for (;;) {
    if (isFocused(*window)) return true;
    if (SteadyClock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

}  // namespace tessa
