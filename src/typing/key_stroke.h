#pragma once
// One keystroke of the word being typed, as the typing flow keeps it.
#include <cstdint>

namespace tessa {

struct KeyStroke {
  uint16_t keyCode = 0;
  bool shiftActive = false;
  uint32_t t = 0;  // milliseconds, set by the typing flow
  bool operator==(const KeyStroke&) const = default;
};

}  // namespace tessa
