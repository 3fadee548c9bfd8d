#pragma once
// The Caps Lock lock and light through XKB. The X server has one core
// keyboard, so one keyboard is "opened", with one light element: the
// "Caps Lock" indicator. That indicator normally follows the lock; to drive it
// on its own its map is cut loose from the lock while the keyboard is held,
// and put back when it is closed. Closing (or destroying this object) also
// puts the lock back the way it was before we first set it.
#include <memory>
#include <optional>
#include <string>

#include "platform/hid.h"

typedef struct _XDisplay Display;

namespace tessa {

class X11Hid final : public Hid {
 public:
  // Null when the display cannot be opened or has no XKB.
  static std::unique_ptr<X11Hid> create(const std::string& displayName);
  ~X11Hid() override;
  X11Hid(const X11Hid&) = delete;
  X11Hid& operator=(const X11Hid&) = delete;

  std::optional<bool> capsLockState() override;
  CapsLockSetResult setCapsLockState(bool on) override;
  std::optional<std::vector<HidKeyboard>> openKeyboards() override;
  HidStatus setLightElement(size_t keyboard, size_t element, bool on) override;
  HidStatus sendLightReport(size_t keyboard, bool on) override;
  HidValueRead readLightElement(size_t keyboard, size_t element) override;
  void closeKeyboards() override;

  // Puts back the lock state and the indicator map we changed.
  void restore();

 private:
  struct Impl;
  explicit X11Hid(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace tessa
