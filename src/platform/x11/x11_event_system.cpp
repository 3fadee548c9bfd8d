// The façade: opening the display and the grab thread, the taps, handing
// each key to the main queue and taking the answer back, and the queries made
// from the main queue. The other jobs are listed in
// x11_event_system_internal.h.
#include "platform/x11/x11_event_system.h"

#include <unistd.h>

#include "platform/linux/xkb_layout.h"
#include "platform/x11/x11_event_system_internal.h"
#include "platform/x11/x11_posted_ledger.h"
#include "platform/x11/x11_text_typer.h"
#include "platform/x11/x11_xtest_poster.h"

namespace tessa {

using namespace x11_detail;

namespace {

bool hasExtensions(Display* d, int* xiOpcode, std::string* why) {
  int event = 0, error = 0;
  if (!XQueryExtension(d, "XInputExtension", xiOpcode, &event, &error)) {
    if (why) *why = "the X server has no XInput extension";
    return false;
  }
  int major = 2, minor = 0;
  if (XIQueryVersion(d, &major, &minor) != Success) {
    if (why) *why = "the X server has no XInput2";
    return false;
  }
  int tmajor = 0, tminor = 0;
  if (!XTestQueryExtension(d, &event, &error, &tmajor, &tminor)) {
    if (why) *why = "the X server has no XTest extension";
    return false;
  }
  return true;
}

// The master keyboard the core keyboard stands for.
int masterKeyboard(Display* d) {
  int id = 3, count = 0;
  if (XIDeviceInfo* info = XIQueryDevice(d, XIAllMasterDevices, &count)) {
    for (int i = 0; i < count; ++i)
      if (info[i].use == XIMasterKeyboard) {
        id = info[i].deviceid;
        break;
      }
    XIFreeDeviceInfo(info);
  }
  return id;
}

// The keyboard XTest's keys come from, ours and any other program's, as
// against the user's own keyboards; -1 when the server names none.
int xtestKeyboard(Display* d, int master) {
  int id = -1, count = 0;
  if (XIDeviceInfo* info = XIQueryDevice(d, XIAllDevices, &count)) {
    for (int i = 0; i < count; ++i)
      if (info[i].use == XISlaveKeyboard && info[i].attachment == master && info[i].name &&
          std::string_view(info[i].name).find("XTEST") != std::string_view::npos) {
        id = info[i].deviceid;
        break;
      }
    XIFreeDeviceInfo(info);
  }
  return id;
}

}  // namespace

// ------------------------------------------------------------- key codes

std::optional<uint16_t> X11EventSystem::keyCodeForX(unsigned xKeyCode) {
  for (uint16_t vk = 0; vk < 128; ++vk) {
    auto evdev = XkbKeyLayout::evdevCodeForKeyCode(vk);
    if (evdev && *evdev + 8 == xKeyCode) return vk;
  }
  return std::nullopt;
}

std::optional<unsigned> X11EventSystem::xKeyCodeFor(uint16_t keyCode) {
  auto evdev = XkbKeyLayout::evdevCodeForKeyCode(keyCode);
  if (!evdev) return std::nullopt;
  return *evdev + 8;
}

// ------------------------------------------------------------ lifetime

std::unique_ptr<X11EventSystem> X11EventSystem::create(const std::string& displayName, TaskRunner& main,
                                                       X11EventSystemOptions options, std::string* why) {
  XInitThreads();
  const char* name = displayName.empty() ? nullptr : displayName.c_str();
  Display* grab = XOpenDisplay(name);
  if (!grab) {
    if (why) *why = "cannot open the X display";
    return nullptr;
  }
  int xiOpcode = 0;
  if (!hasExtensions(grab, &xiOpcode, why)) {
    XCloseDisplay(grab);
    return nullptr;
  }
  Display* query = XOpenDisplay(name);
  if (!query) {
    XCloseDisplay(grab);
    if (why) *why = "cannot open the X display";
    return nullptr;
  }
  std::unique_ptr<X11EventSystem> system(new X11EventSystem(main, std::move(options), grab, query));
  auto& impl = *system->impl_;
  impl.xiOpcode = xiOpcode;
  impl.keyboard = masterKeyboard(grab);
  system->ledger_->setPostingKeyboard(xtestKeyboard(grab, impl.keyboard));
  if (pipe(impl.wakePipe) != 0) {
    if (why) *why = "cannot create a pipe";
    return nullptr;
  }
  // Raw events are seen whatever the focus and whoever grabs the keyboard.
  unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
  XISetMask(bits, XI_RawKeyPress);
  XISetMask(bits, XI_RawKeyRelease);
  XISetMask(bits, XI_RawButtonPress);
  XIEventMask mask{XIAllMasterDevices, sizeof(bits), bits};
  XISelectEvents(grab, DefaultRootWindow(grab), &mask, 1);
  XSync(grab, False);
  system->thread_ = std::thread([s = system.get()] { s->threadMain(); });
  return system;
}

X11EventSystem::X11EventSystem(TaskRunner& main, X11EventSystemOptions options, Display* grab, Display* query)
    : main_(main), options_(std::move(options)), impl_(std::make_unique<Impl>()) {
  impl_->grab = grab;
  impl_->query = query;
  auto log = [this](const std::string& line) { logLine(line); };
  ledger_ = std::make_unique<PostedLedger>(options_.ledgerLifetimeSeconds);
  typer_ = std::make_unique<TextTyper>(grab, *ledger_, log);
  poster_ = std::make_unique<XTestPoster>(grab, *ledger_, *typer_, log);
}

X11EventSystem::~X11EventSystem() {
  *alive_ = false;
  running_ = false;
  wake();
  if (thread_.joinable()) thread_.join();
  if (impl_->grab) XCloseDisplay(impl_->grab);
  if (impl_->query) XCloseDisplay(impl_->query);
  for (int fd : impl_->wakePipe)
    if (fd >= 0) close(fd);
}

size_t X11EventSystem::ledgerSize() const { return ledger_->size(); }

void X11EventSystem::logLine(const std::string& line) const {
  if (options_.log) options_.log(line);
}

void X11EventSystem::wake() {
  if (impl_->wakePipe[1] < 0) return;
  char c = 1;
  [[maybe_unused]] auto n = write(impl_->wakePipe[1], &c, 1);
}

void X11EventSystem::flush() {
  std::unique_lock lock(mutex_);
  uint64_t ticket = ++flushRequested_;
  wake();
  impl_->flushed.wait(lock, [&] { return flushDone_ >= ticket || !running_; });
}

// ----------------------------------------------------------------- taps

TapId X11EventSystem::createTap(TapLocation, bool, TapOptions options, uint64_t mask, TapCallback callback) {
  std::lock_guard lock(mutex_);
  TapId id = nextTap_++;
  Tap tap;
  tap.options = options;
  tap.mask = mask;
  tap.callback = std::move(callback);
  taps_[id] = std::move(tap);
  return id;
}

void X11EventSystem::enableTap(TapId id, bool enable) {
  {
    std::lock_guard lock(mutex_);
    auto it = taps_.find(id);
    if (it == taps_.end() || !it->second.valid) return;
    it->second.enabled = enable;
  }
  // The grab is in place (or gone) on return, as a tap is live once enabled.
  flush();
}

bool X11EventSystem::isTapEnabled(TapId id) const {
  std::lock_guard lock(mutex_);
  auto it = taps_.find(id);
  return it != taps_.end() && it->second.valid && it->second.enabled;
}

void X11EventSystem::addTapToRunLoop(TapId id) {
  {
    std::lock_guard lock(mutex_);
    if (auto it = taps_.find(id); it != taps_.end()) it->second.attached = true;
  }
  flush();
}

void X11EventSystem::removeTapFromRunLoop(TapId id) {
  {
    std::lock_guard lock(mutex_);
    if (auto it = taps_.find(id); it != taps_.end()) it->second.attached = false;
  }
  wake();
}

void X11EventSystem::invalidateTap(TapId id) {
  {
    std::lock_guard lock(mutex_);
    if (auto it = taps_.find(id); it != taps_.end()) {
      it->second.valid = false;
      it->second.enabled = false;
    }
  }
  wake();
}

void X11EventSystem::invalidateAllTaps() {
  {
    std::lock_guard lock(mutex_);
    for (auto& [id, tap] : taps_) tap.valid = tap.enabled = false;
  }
  wake();
}

bool X11EventSystem::isTapValid(TapId id) const {
  std::lock_guard lock(mutex_);
  auto it = taps_.find(id);
  return it != taps_.end() && it->second.valid;
}

void X11EventSystem::setDecidedKeys(std::vector<DecidedKey> keys) {
  {
    std::lock_guard lock(mutex_);
    if (keys == decidedKeys_) return;
    decidedKeys_ = std::move(keys);
    ++decidedGeneration_;
  }
  // In place on return, as a tap is live once enabled.
  flush();
}

// From inside the tap's callback the answer follows this under the same
// lock, and the grab thread takes the hold before it lets the key go.
void X11EventSystem::setKeyboardHeld(bool held) {
  {
    std::lock_guard lock(mutex_);
    if (keyboardHeld_ == held) return;
    keyboardHeld_ = held;
  }
  wake();
}

// Called with mutex_ held.
bool X11EventSystem::wantsGrab() const {
  for (const auto& [id, tap] : taps_)
    if (tap.valid && tap.enabled && tap.attached && tap.options == TapOptions::defaultTap &&
        (tap.mask & eventMaskBit(EventType::keyDown)))
      return true;
  return false;
}

// --------------------------------------------------------- the main side
void X11EventSystem::deliver(EventType type, Event event, bool answerable, uint64_t serial) {
  std::weak_ptr<std::atomic<bool>> alive = alive_;
  main_.post([this, alive, type, event = std::move(event), answerable, serial] {
    auto flag = alive.lock();
    if (!flag || !*flag) return;
    if (answerable) {
      std::lock_guard lock(mutex_);
      // Already passed by the watchdog: the key is gone, do not ask about it.
      if (pendingSerial_ != serial) return;
    }
    std::vector<std::pair<TapId, TapCallback>> callbacks;
    {
      std::lock_guard lock(mutex_);
      const bool disabledNotice = static_cast<uint32_t>(type) >= 0xFFFFFFFEu;
      for (const auto& [id, tap] : taps_) {
        if (!tap.valid || !tap.attached) continue;
        if (disabledNotice ? tap.options != TapOptions::defaultTap : !tap.enabled) continue;
        if (!disabledNotice && !(tap.mask & eventMaskBit(type))) continue;
        callbacks.emplace_back(id, tap.callback);
      }
    }
    std::optional<Event> result = event;
    for (auto& [id, callback] : callbacks) {
      if (!result) break;
      auto out = callback(id, type, *result);
      if (answerable) result = std::move(out);
    }
    if (!answerable) return;
    // A key given other text (typed in the layout being switched to) is
    // posted again with that text: replayed, it would type what the server's
    // state gives it.
    const bool unchanged = result && result->type == event.type && result->keyCode == event.keyCode &&
                           result->flags == event.flags && result->unicode == event.unicode;
    if (unchanged && type == EventType::keyDown && !event.isTagged()) notifyMonitors(event);
    if (unchanged) {
      Event pass = event;
      pass.type = EventType::null;  // marks "replay the frozen press as it was"
      answer(serial, pass);
    } else {
      // Text the callback left as it was describes the key it pressed, not
      // the key it changed it into: that one goes by its code.
      if (result && result->unicode == event.unicode) result->unicode.clear();
      answer(serial, std::move(result));
    }
  });
}

void X11EventSystem::answer(uint64_t serial, std::optional<Event> result) {
  {
    std::lock_guard lock(mutex_);
    if (serial != pendingSerial_) return;
    decision_ = Decision{serial, std::move(result)};
  }
  wake();
}

Subscription X11EventSystem::addGlobalKeyDownMonitor(std::function<void(const Event&)> handler) {
  auto holder = std::make_shared<std::function<void(const Event&)>>(std::move(handler));
  globalMonitors_.push_back(holder);
  return Subscription(holder);
}

// On the main queue.
void X11EventSystem::notifyMonitors(const Event& event) {
  std::erase_if(globalMonitors_, [](const auto& w) { return w.expired(); });
  for (auto& weak : globalMonitors_)
    if (auto cb = weak.lock()) (*cb)(event);
}

// ---------------------------------------------------------- queries

uint64_t X11EventSystem::hardwareModifierFlags() const {
  std::lock_guard lock(impl_->queryMutex);
  XkbStateRec s{};
  if (XkbGetState(impl_->query, XkbUseCoreKbd, &s) != Success) return 0;
  return flagsFromXState(keyState(s.mods, s.locked_mods | s.latched_mods, 0, capsAsF19_));
}

std::pair<double, double> X11EventSystem::mouseLocation() const {
  std::lock_guard lock(impl_->queryMutex);
  Display* d = impl_->query;
  Window rootRet, childRet;
  int rx = 0, ry = 0, wx = 0, wy = 0;
  unsigned mask = 0;
  if (!XQueryPointer(d, DefaultRootWindow(d), &rootRet, &childRet, &rx, &ry, &wx, &wy, &mask)) return {0, 0};
  return {static_cast<double>(rx), static_cast<double>(ry)};
}

}  // namespace tessa
