#pragma once
// The HID key mapping as the `hidutil property` command reads and keeps it:
// its arguments parsed, the properties set and read back in the platform's
// words. It runs no process. The simulated desktop answers its fake
// `/usr/bin/hidutil` with it (its keyboard obeys the mapping), and the X11
// back end takes the same calls to switch Caps Lock to F19 in its keyboard
// tap (`X11KeyMappingRunner`), so both read the engine's requests alike.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/process_runner.h"

namespace tessa {

// The HID event system's properties as `hidutil property` sees them: the
// global ones and those of the one keyboard service (the built-in keyboard)
// the mapping is kept for.
class HidutilMapping {
 public:
  // [design] the tool's path and the HID usages of the two keys.
  static constexpr const char* kPath = "/usr/bin/hidutil";
  static constexpr uint64_t kCapsLockUsage = 0x700000039;
  static constexpr uint64_t kF19Usage = 0x70000006E;

  ProcessResult run(const std::vector<std::string>& arguments);

  // The key a physical key becomes under the keyboard's UserKeyMapping (the
  // key itself when unmapped).
  uint16_t remap(uint16_t keyCode) const;
  bool capsLockToF19Active() const { return remap(57) == 80; }
  // None when never set; otherwise the mapping array (possibly empty).
  std::optional<nlohmann::json> globalMapping() const;
  std::optional<nlohmann::json> keyboardMapping() const;
  // The platform's description of a mapping, as `--get` prints it.
  static std::string describeMapping(const std::optional<nlohmann::json>& mapping);
  // The keyboard service's matching properties.
  static const nlohmann::json& keyboardProperties();

 private:
  nlohmann::json global_ = nlohmann::json::object();
  nlohmann::json keyboard_ = nlohmann::json::object();
};

}  // namespace tessa
