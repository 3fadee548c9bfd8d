#pragma once
// The engine's run-time state as the tray item shows it: the published flags
// its icon and tooltip are drawn from, the few states it reads without a
// cell of their own, and the hook that tells it the word being typed
// changed. Handed out by `KeyboardEngine::status()`; it refers to the
// engine's own cells, so it lives no longer than the engine.
#include <cstdint>
#include <functional>

#include "base/observable.h"
#include "engine/value_types.h"

namespace tessa {

struct EngineStatus {
  Published<bool>& isPaused;
  Published<bool>& isEventTapDead;
  Published<bool>& isSecureInputActive;
  Published<bool>& isCapsLockOn;
  Published<bool>& isAXAvailableInFocusedApp;
  // Conversions made this run; a new one may follow a recovery.
  Published<int64_t>& correctionsFired;
  // The taps were torn down after repeated failures; only the user's restart
  // brings them back.
  std::function<bool()> isEmergencyTornDown;
  // A correction was undone and its word is being left alone.
  std::function<bool()> hasIgnoredWord;
  // The confirm pulse's strength: -1 off, 1 light, 2 medium (also unset), 0 strong.
  std::function<int64_t()> hapticIntensityConfirm;
  // What the keyboard and the focused application say now.
  std::function<bool()> readCapsLockState;
  std::function<AXTextAccess()> frontmostAppTextAccess;
  // Run on the main thread when the word being typed gains its first
  // keystroke, loses one, or is dropped; one listener, set by the tray item.
  std::function<void()>& onLiveBufferChanged;
};

}  // namespace tessa
