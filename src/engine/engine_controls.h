#pragma once
// What the tray's menu does to the engine besides writing its settings:
// pause and resume, the user's restart of a torn-down tap, and the haptic
// strength with a sample of it. Handed out by `KeyboardEngine::controls()`;
// each call goes to that engine and does nothing once it is gone.
#include <cstdint>
#include <functional>

namespace tessa {

struct EngineControls {
  // For `hours`, or until tomorrow morning when `untilTomorrow`.
  std::function<void(double hours, bool untilTomorrow)> pause;
  std::function<void()> resume;
  std::function<void()> restartTap;
  // Stores one strength for the confirm and the alert pulses, in the active
  // profile and the defaults.
  std::function<void(int64_t strength)> setHapticStrength;
  // One confirm pulse at the stored strength, when haptics are on.
  std::function<void()> playHapticSample;
};

}  // namespace tessa
