#include "engine/keyboard_engine.h"

namespace tessa {

void KeyboardEngine::applicationWillTerminate() {
  log("applicationWillTerminate: quitting");
  endStabilitySession("user");
  saveStabilityStats(true);
  restoreSystemKeyboardForQuit();
  releaseCapsLEDKeyboards();
  // The clipboard history (clear on quit) is not built in this version.
  defaults().synchronize();
}

}  // namespace tessa
