#include "platform/x11/x11_input_sources.h"

#include <X11/XKBlib.h>
#include <X11/Xlib-xcb.h>
#include <X11/Xlib.h>
#include <X11/extensions/XKBrules.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>

#include "platform/linux/xkb_layout.h"

namespace tessa {

namespace {

Display* openXkbDisplay(const std::string& name) {
  int major = XkbMajorVersion, minor = XkbMinorVersion, reason = 0;
  Display* d = XkbOpenDisplay(name.empty() ? nullptr : const_cast<char*>(name.c_str()), nullptr, nullptr, &major,
                              &minor, &reason);
  return d;
}

std::vector<std::string> splitCommas(const char* list) {
  std::vector<std::string> out;
  if (!list) return out;
  std::string s(list), part;
  for (char c : s) {
    if (c == ',') {
      out.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  out.push_back(part);
  return out;
}

// "xkb:th" -> {"th", ""}, "xkb:us:dvorak" -> {"us", "dvorak"}.
std::optional<std::pair<std::string, std::string>> parseSourceID(const std::string& id) {
  if (id.rfind("xkb:", 0) != 0 || id.size() == 4) return std::nullopt;
  std::string rest = id.substr(4);
  auto colon = rest.find(':');
  if (colon == std::string::npos) return std::pair{rest, std::string()};
  return std::pair{rest.substr(0, colon), rest.substr(colon + 1)};
}

}  // namespace

X11InputSources::X11InputSources(TaskRunner& main, const std::string& displayName)
    : main_(main), selectedChanged_(main), enabledChanged_(main) {
  display_ = openXkbDisplay(displayName);
  watcher_ = display_ ? openXkbDisplay(displayName) : nullptr;
  if (!display_ || !watcher_ || pipe2(wakeFds_, O_CLOEXEC) != 0) {
    if (display_) XCloseDisplay(display_);
    if (watcher_) XCloseDisplay(watcher_);
    display_ = watcher_ = nullptr;
    return;
  }
  reload();
  XkbSelectEventDetails(watcher_, XkbUseCoreKbd, XkbStateNotify, XkbGroupLockMask, XkbGroupLockMask);
  const unsigned keymapChanges = XkbNewKeyboardNotifyMask | XkbNamesNotifyMask | XkbMapNotifyMask;
  XkbSelectEvents(watcher_, XkbUseCoreKbd, keymapChanges, keymapChanges);
  // setxkbmap writes the layout names after it loads the keymap.
  rulesNames_ = XInternAtom(watcher_, "_XKB_RULES_NAMES", False);
  XSelectInput(watcher_, DefaultRootWindow(watcher_), PropertyChangeMask);
  XSync(watcher_, False);
  thread_ = std::thread([this] { watch(); });
}

X11InputSources::~X11InputSources() {
  if (thread_.joinable()) {
    char stop = 1;
    (void)!write(wakeFds_[1], &stop, 1);
    thread_.join();
  }
  for (int fd : wakeFds_)
    if (fd >= 0) close(fd);
  if (watcher_) XCloseDisplay(watcher_);
  if (display_) XCloseDisplay(display_);
}

void X11InputSources::reload() {
  std::lock_guard lock(mutex_);
  groups_.clear();
  char* rules = nullptr;
  XkbRF_VarDefsRec defs{};
  std::vector<std::string> layouts, variants;
  if (XkbRF_GetNamesProp(display_, &rules, &defs)) {
    layouts = splitCommas(defs.layout);
    variants = splitCommas(defs.variant);
  }
  std::free(rules);
  std::free(defs.model);
  std::free(defs.layout);
  std::free(defs.variant);
  std::free(defs.options);

  xcb_connection_t* conn = XGetXCBConnection(display_);
  xkb_context* ctx = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
  xkb_keymap* keymap = nullptr;
  if (ctx && xkb_x11_setup_xkb_extension(conn, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                         XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr)) {
    int32_t device = xkb_x11_get_core_keyboard_device_id(conn);
    if (device >= 0) keymap = xkb_x11_keymap_new_from_device(ctx, conn, device, XKB_KEYMAP_COMPILE_NO_FLAGS);
  }
  const uint32_t count = keymap ? xkb_keymap_num_layouts(keymap) : static_cast<uint32_t>(layouts.size());
  for (uint32_t i = 0; i < count; ++i) {
    Group g;
    g.layout = i < layouts.size() ? layouts[i] : "";
    g.variant = i < variants.size() ? variants[i] : "";
    // A keymap loaded without a layout list still has its groups.
    g.info.id = g.layout.empty() ? "xkb:group" + std::to_string(i + 1)
                                 : "xkb:" + g.layout + (g.variant.empty() ? "" : ":" + g.variant);
    const char* name = keymap ? xkb_keymap_layout_get_name(keymap, i) : nullptr;
    g.info.localizedName = name && *name ? name : g.layout;
    if (!g.layout.empty()) g.info.languages = {xkbLayoutLanguage(g.layout)};
    g.keyLayout = keymap ? XkbKeyLayout::fromKeymap(keymap, i, g.layout, g.variant)
                         : XkbKeyLayout::create(g.layout, g.variant);
    groups_.push_back(std::move(g));
  }
  if (keymap) xkb_keymap_unref(keymap);
  if (ctx) xkb_context_unref(ctx);
}

void X11InputSources::watch() {
  int xkbEvent = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion, opcode = 0;
  XkbQueryExtension(watcher_, &opcode, &xkbEvent, &error, &major, &minor);
  pollfd fds[2] = {{ConnectionNumber(watcher_), POLLIN, 0}, {wakeFds_[0], POLLIN, 0}};
  for (;;) {
    bool selected = false, keymap = false;
    while (XPending(watcher_)) {
      XEvent e;
      XNextEvent(watcher_, &e);
      if (e.type == PropertyNotify && e.xproperty.atom == rulesNames_) keymap = true;
      if (e.type != xkbEvent) continue;
      auto* xkb = reinterpret_cast<XkbEvent*>(&e);
      if (xkb->any.xkb_type == XkbStateNotify && (xkb->state.changed & XkbGroupLockMask)) selected = true;
      if (xkb->any.xkb_type == XkbNewKeyboardNotify || xkb->any.xkb_type == XkbNamesNotify ||
          xkb->any.xkb_type == XkbMapNotify)
        keymap = true;
    }
    // The list is read again before anyone hears of the change.
    if (keymap) {
      reload();
      enabledChanged_.notify();
    }
    if (selected) selectedChanged_.notify();
    if (poll(fds, 2, -1) < 0) continue;
    if (fds[1].revents) return;
    if (fds[0].revents & (POLLHUP | POLLERR)) return;
  }
}

std::optional<std::vector<InputSourceInfo>> X11InputSources::enabledSources() const {
  std::lock_guard lock(mutex_);
  if (!display_ || groups_.empty()) return std::nullopt;
  std::vector<InputSourceInfo> out;
  for (const auto& g : groups_) out.push_back(g.info);
  return out;
}

// Asked of the server every time, one round trip: the desktop's own switch
// or another program can lock a group at any moment, and the news of it
// reaches the watch thread only later (much later on a loaded machine). An
// answer kept until then let a conversion take the field for already in its
// layout and skip its switch, leaving the user's next keys in the wrong one.
std::optional<uint32_t> X11InputSources::currentGroup() const {
  std::lock_guard lock(mutex_);
  if (!display_) return std::nullopt;
  XkbStateRec state;
  if (XkbGetState(display_, XkbUseCoreKbd, &state) != Success) return std::nullopt;
  return state.locked_group;
}

std::optional<InputSourceInfo> X11InputSources::currentKeyboardSource() const {
  auto group = currentGroup();
  std::lock_guard lock(mutex_);
  if (!group || *group >= groups_.size()) return std::nullopt;
  return groups_[*group].info;
}

int32_t X11InputSources::select(const std::string& id) {
  std::lock_guard lock(mutex_);
  if (!display_) return kParamErr;
  for (size_t i = 0; i < groups_.size(); ++i) {
    if (groups_[i].info.id != id) continue;
    if (!XkbLockGroup(display_, XkbUseCoreKbd, static_cast<unsigned>(i))) return kParamErr;
    XFlush(display_);
    return 0;
  }
  return kParamErr;
}

std::shared_ptr<const KeyLayout> X11InputSources::layoutFor(const std::string& id) const {
  {
    std::lock_guard lock(mutex_);
    for (const auto& g : groups_)
      if (g.info.id == id) return g.keyLayout;
  }
  // A layout not in the keymap now is still one xkeyboard-config knows.
  if (auto parsed = parseSourceID(id)) return XkbKeyLayout::create(parsed->first, parsed->second);
  return nullptr;
}

Subscription X11InputSources::observeSelectedSourceChanged(std::function<void()> callback) {
  return selectedChanged_.add(std::move(callback));
}

Subscription X11InputSources::observeEnabledSourcesChanged(std::function<void()> callback) {
  return enabledChanged_.add(std::move(callback));
}

// Probing for another client's keyboard grab here would need a grab of our
// own, which would fight the key tap's: the tap, which grabs anyway, tells.
bool X11InputSources::isSecureEventInputEnabled() const {
  std::function<bool()> provider;
  {
    std::lock_guard lock(mutex_);
    provider = secureInput_;
  }
  return provider && provider();
}

void X11InputSources::setSecureInputProvider(std::function<bool()> provider) {
  std::lock_guard lock(mutex_);
  secureInput_ = std::move(provider);
}

}  // namespace tessa
