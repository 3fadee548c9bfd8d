#pragma once
// The tactile pulse after a keyboard action: a feedback pattern for the
// platform's haptic performer and an actuation number for the trackpad
// actuators, both chosen by the user's strength setting.
#include <cstdint>
#include <optional>
#include <string_view>

namespace tessa {

enum class HapticPattern { generic, alignment, levelChange };

// "generic", "alignment", "levelChange": the names the platform's performer
// is asked to play.
std::string_view rawValue(HapticPattern pattern);

struct HapticPulse {
  HapticPattern pattern = HapticPattern::alignment;
  int actuation = 1;
  bool operator==(const HapticPulse&) const = default;
};

// Strength settings: 0 strong, 2 medium, -1 off; anything else (1 in
// practice) light. Off gives no pulse at all: the user chose silence.
std::optional<HapticPulse> hapticPulseForStrength(int64_t strength);

}  // namespace tessa
