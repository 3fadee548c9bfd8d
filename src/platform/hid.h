#pragma once
// The keyboard HID: the Caps Lock modifier lock and the keyboards' Caps Lock light.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tessa {

// A HID call's status code (an IOReturn); 0 is success.
using HidStatus = int32_t;

// What setting the Caps Lock modifier lock came to.
enum class CapsLockSetResult {
  noService,  // the HID system service could not be found
  failed,     // found, but the connection or the set call failed
  done,
};

// One keyboard or keypad matched for the Caps Lock light, as opened.
struct HidKeyboard {
  std::string product = "?";
  int64_t usagePage = -1;
  int64_t usage = -1;
  std::string transport = "?";
  bool builtIn = false;
  HidStatus openStatus = 0;  // 0: opened and now held
  int lightElements = 0;     // Caps Lock light elements found (held keyboards only)
};

// A read of a light element's value.
struct HidValueRead {
  HidStatus status = 0;
  std::optional<int64_t> value;  // none when the read failed
};

class Hid {
 public:
  virtual ~Hid() = default;
  // The Caps Lock modifier-lock state; none when it cannot be read.
  virtual std::optional<bool> capsLockState() = 0;
  virtual CapsLockSetResult setCapsLockState(bool on) = 0;
  // Matches keyboards and keypads and tries to open each one; those that
  // open are held until closeKeyboards(). None when the device list could
  // not be copied. Held keyboards are addressed below by their position
  // among the held ones, in this list's order.
  virtual std::optional<std::vector<HidKeyboard>> openKeyboards() = 0;
  // Writes 1 (on) or 0 (off) to a held keyboard's light element.
  virtual HidStatus setLightElement(size_t keyboard, size_t element, bool on) = 0;
  // For a held keyboard without a light element: the two-byte output
  // report {0, 2 or 0}, report ID 0.
  virtual HidStatus sendLightReport(size_t keyboard, bool on) = 0;
  virtual HidValueRead readLightElement(size_t keyboard, size_t element) = 0;
  virtual void closeKeyboards() = 0;
};

}  // namespace tessa
