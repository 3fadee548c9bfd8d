#include "platform/x11/x11_hid.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>

#include <mutex>

namespace tessa {

namespace {
// [design] Status codes in the platform's form, so the engine's logs read the same.
constexpr HidStatus kSuccess = 0;
constexpr HidStatus kError = static_cast<HidStatus>(0xe00002bc);        // general error
constexpr HidStatus kUnsupported = static_cast<HidStatus>(0xe00002c7);  // unsupported
constexpr HidStatus kBadArgument = static_cast<HidStatus>(0xe00002c2);  // bad argument
}  // namespace

struct X11Hid::Impl {
  Display* d = nullptr;
  std::mutex mutex;
  Atom capsName = None;
  bool held = false;
  int indicator = -1;  // the "Caps Lock" indicator's index
  XkbDescPtr kb = nullptr;
  std::optional<XkbIndicatorMapRec> savedMap;
  std::optional<bool> lockBeforeUs;

  ~Impl() {
    if (kb) XkbFreeKeyboard(kb, 0, True);
    if (d) XCloseDisplay(d);
  }

  std::optional<bool> lockState() {
    XkbStateRec s{};
    if (XkbGetState(d, XkbUseCoreKbd, &s) != Success) return std::nullopt;
    return (s.locked_mods & LockMask) != 0;
  }

  void restoreMap() {
    if (!savedMap || !kb || indicator < 0) return;
    kb->indicators->maps[indicator] = *savedMap;
    XkbSetIndicatorMap(d, 1u << indicator, kb);
    savedMap.reset();
    XSync(d, False);
  }
};

std::unique_ptr<X11Hid> X11Hid::create(const std::string& displayName) {
  XInitThreads();
  auto impl = std::make_unique<Impl>();
  int major = XkbMajorVersion, minor = XkbMinorVersion, reason = 0;
  impl->d = XkbOpenDisplay(displayName.empty() ? nullptr : const_cast<char*>(displayName.c_str()), nullptr,
                           nullptr, &major, &minor, &reason);
  if (!impl->d) return nullptr;
  impl->capsName = XInternAtom(impl->d, "Caps Lock", False);
  return std::unique_ptr<X11Hid>(new X11Hid(std::move(impl)));
}

X11Hid::X11Hid(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

X11Hid::~X11Hid() { restore(); }

std::optional<bool> X11Hid::capsLockState() {
  std::lock_guard lock(impl_->mutex);
  return impl_->lockState();
}

CapsLockSetResult X11Hid::setCapsLockState(bool on) {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->lockBeforeUs) impl_->lockBeforeUs = impl_->lockState();
  if (!XkbLockModifiers(impl_->d, XkbUseCoreKbd, LockMask, on ? LockMask : 0)) return CapsLockSetResult::failed;
  XSync(impl_->d, False);
  return CapsLockSetResult::done;
}

std::optional<std::vector<HidKeyboard>> X11Hid::openKeyboards() {
  std::lock_guard lock(impl_->mutex);
  auto& m = *impl_;
  HidKeyboard keyboard;
  keyboard.product = "X11 core keyboard";
  keyboard.usagePage = 1;  // generic desktop
  keyboard.usage = 6;      // keyboard
  keyboard.transport = "X11";
  keyboard.builtIn = false;
  int index = -1;
  Bool state = False, real = False;
  if (!XkbGetNamedIndicator(m.d, m.capsName, &index, &state, nullptr, &real) || index < 0) {
    // No such indicator: the keyboard is held, but has no light to drive.
    m.held = true;
    return std::vector<HidKeyboard>{keyboard};
  }
  if (!m.kb) m.kb = XkbGetMap(m.d, 0, XkbUseCoreKbd);
  if (!m.kb || XkbGetIndicatorMap(m.d, 1u << index, m.kb) != Success) {
    keyboard.openStatus = kError;
    return std::vector<HidKeyboard>{keyboard};
  }
  m.indicator = index;
  if (!m.savedMap) {
    // Let the light be set by name instead of following the lock.
    m.savedMap = m.kb->indicators->maps[index];
    m.kb->indicators->maps[index].flags &= ~XkbIM_NoExplicit;
    m.kb->indicators->maps[index].which_mods = 0;
    m.kb->indicators->maps[index].mods.mask = 0;
    m.kb->indicators->maps[index].mods.real_mods = 0;
    XkbSetIndicatorMap(m.d, 1u << index, m.kb);
    // The light keeps showing the lock until the engine says otherwise.
    XkbSetNamedIndicator(m.d, m.capsName, True, m.lockState().value_or(false), False, nullptr);
    XSync(m.d, False);
  }
  m.held = true;
  keyboard.lightElements = 1;
  return std::vector<HidKeyboard>{keyboard};
}

HidStatus X11Hid::setLightElement(size_t keyboard, size_t element, bool on) {
  std::lock_guard lock(impl_->mutex);
  auto& m = *impl_;
  if (!m.held || keyboard != 0 || element != 0 || m.indicator < 0) return kBadArgument;
  if (!XkbSetNamedIndicator(m.d, m.capsName, True, on ? True : False, False, nullptr)) return kError;
  XSync(m.d, False);
  return kSuccess;
}

HidStatus X11Hid::sendLightReport(size_t, bool) {
  // Only for keyboards without a light element; the core keyboard has one.
  return kUnsupported;
}

HidValueRead X11Hid::readLightElement(size_t keyboard, size_t element) {
  std::lock_guard lock(impl_->mutex);
  auto& m = *impl_;
  if (!m.held || keyboard != 0 || element != 0 || m.indicator < 0) return {kBadArgument, std::nullopt};
  int index = -1;
  Bool state = False;
  if (!XkbGetNamedIndicator(m.d, m.capsName, &index, &state, nullptr, nullptr)) return {kError, std::nullopt};
  return {kSuccess, state ? 1 : 0};
}

void X11Hid::closeKeyboards() {
  std::lock_guard lock(impl_->mutex);
  impl_->restoreMap();
  impl_->held = false;
  impl_->indicator = -1;
}

void X11Hid::restore() {
  std::lock_guard lock(impl_->mutex);
  auto& m = *impl_;
  m.restoreMap();
  m.held = false;
  if (m.lockBeforeUs) {
    XkbLockModifiers(m.d, XkbUseCoreKbd, LockMask, *m.lockBeforeUs ? LockMask : 0);
    m.lockBeforeUs.reset();
    XSync(m.d, False);
  }
}

}  // namespace tessa
