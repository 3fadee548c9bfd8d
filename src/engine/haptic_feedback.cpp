// Haptic feedback: the confirm pulse (conversions, undo and redo, manual
// switches, samples from the status menu), optionally doubled, and the alert
// pulse (language cycling, the end of synthetic typing).
#include "engine/haptic_feedback.h"

#include "engine/keyboard_engine.h"

namespace tessa {

std::string_view rawValue(HapticPattern pattern) {
  switch (pattern) {
    case HapticPattern::generic:
      return "generic";
    case HapticPattern::levelChange:
      return "levelChange";
    case HapticPattern::alignment:
      break;
  }
  return "alignment";
}

std::optional<HapticPulse> hapticPulseForStrength(int64_t strength) {
  if (strength == -1) return std::nullopt;
  if (strength == 0) return HapticPulse{HapticPattern::generic, 6};
  if (strength == 2) return HapticPulse{HapticPattern::levelChange, 2};
  return HapticPulse{HapticPattern::alignment, 1};
}

namespace {
// One pulse: the performer at once on this (the main) thread, the actuators
// on the background queue so the keystroke path never waits for them. A
// platform without a performer or actuators plays what it has, silently.
void playPulse(KeyboardEngine& e, const HapticPulse& pulse) {
  Haptics* haptics = e.platform().haptics;
  if (!haptics) return;
  haptics->perform(std::string(rawValue(pulse.pattern)));
  int actuation = pulse.actuation;
  if (auto background = e.environment().runtime.background)
    background->post([haptics, actuation] { haptics->actuate(actuation, 0.0f); });
  else
    haptics->actuate(actuation, 0.0f);
}
}  // namespace

void KeyboardEngine::performHaptic(bool repeat) {
  auto pulse = hapticPulseForStrength(hapticIntensityConfirm());
  if (!pulse) return;
  playPulse(*this, *pulse);
  // The second pulse repeats the first: the setting is not read again.
  if (repeat)
    afterOnMainWeak(hapticFeedbackDelay(), [pulse = *pulse](KeyboardEngine& e) { playPulse(e, pulse); });
}

void KeyboardEngine::performSystemHaptic() {
  if (auto pulse = hapticPulseForStrength(hapticIntensityAlert())) playPulse(*this, *pulse);
}

}  // namespace tessa
