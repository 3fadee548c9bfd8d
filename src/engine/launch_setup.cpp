// The engine's one-time launch set-up.
#include "engine/keyboard_engine.h"

namespace tessa {

void KeyboardEngine::runLaunchSetup() {
  if (launch.hasRunLaunchSetup) return;
  launch.hasRunLaunchSetup = true;
  startUsageTimer();
  applyModeSettings();
  createEventTap();
  // The local dictionary can wait until the keyboard is up.
  afterOnMainWeak(2.0, [](KeyboardEngine& e) { e.loadLocalWordlists(e.currentInputSourceLanguage()); });
}

}  // namespace tessa
