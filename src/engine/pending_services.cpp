// Services of the engine whose systems are not built yet. Each does nothing
// and says so in the diagnostic log, so a transcript shows what was skipped.
#include "engine/keyboard_engine.h"

namespace tessa {

namespace {
void notBuilt(KeyboardEngine& e, const char* name) { e.log(std::string(name) + ": not built yet - skipped"); }
}  // namespace

// ---- haptic feedback (the typing flow's trampolines call these)
void KeyboardEngine::performHaptic(bool repeat) {
  log(std::string("performHaptic(") + (repeat ? "true" : "false") + "): not built yet - skipped");
}
void KeyboardEngine::performSystemHaptic() { notBuilt(*this, "performSystemHaptic"); }


}  // namespace tessa
