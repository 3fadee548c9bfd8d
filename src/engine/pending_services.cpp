// Services of the engine whose systems are not built yet. Each does nothing
// and says so in the diagnostic log, so a transcript shows what was skipped.
#include "engine/keyboard_engine.h"

namespace tessa {

namespace {
void notBuilt(KeyboardEngine& e, const char* name) { e.log(std::string(name) + ": not built yet - skipped"); }
}  // namespace

void KeyboardEngine::applyModeSettings() { notBuilt(*this, "applyModeSettings"); }
void KeyboardEngine::observeInputSourceChanges() { notBuilt(*this, "observeInputSourceChanges"); }
void KeyboardEngine::observeSystemNotifications() { notBuilt(*this, "observeSystemNotifications"); }
void KeyboardEngine::startSecureFieldPoll() { notBuilt(*this, "startSecureFieldPoll"); }
void KeyboardEngine::syncCapsLockLight() {}
void KeyboardEngine::runLaunchSetup() {
  if (launch.hasRunLaunchSetup) return;
  launch.hasRunLaunchSetup = true;
  startUsageTimer();
  applyModeSettings();
  createEventTap();
  afterOnMainWeak(2.0, [](KeyboardEngine& e) { e.loadLocalWordlists(e.currentInputSourceLanguage()); });
}
void KeyboardEngine::requestAccessibility(bool prompt) {
  bool trusted = platform().accessibility && platform().accessibility->isProcessTrusted(prompt);
  asyncOnMainWeak([trusted](KeyboardEngine& e) { e.isAccessibilityGranted.set(trusted); });
}
void KeyboardEngine::resumePendingAXRepair() { notBuilt(*this, "resumePendingAXRepair"); }
void KeyboardEngine::createEventTap() { notBuilt(*this, "createEventTap"); }

// ---- haptic feedback (the typing flow's trampolines call these)
void KeyboardEngine::performHaptic(bool repeat) {
  log(std::string("performHaptic(") + (repeat ? "true" : "false") + "): not built yet - skipped");
}
void KeyboardEngine::performSystemHaptic() { notBuilt(*this, "performSystemHaptic"); }

// ---- reliability (the key road calls these). The per-event markers stay
// silent; the rest say they were skipped.
void KeyboardEngine::markHandleBegan() {}
void KeyboardEngine::markHandleEnded() {}
void KeyboardEngine::noteTapRecovered() {}
int KeyboardEngine::noteTapDisabledByTimeout() {
  notBuilt(*this, "noteTapDisabledByTimeout");
  return 0;
}
void KeyboardEngine::recordStabilityEvent(const std::string& kind, const std::map<std::string, std::string>&,
                                          bool) {
  log("recordStabilityEvent(" + kind + "): not built yet - skipped");
}
std::string KeyboardEngine::stabilityDayKey() const { return ""; }
void KeyboardEngine::statsNoteStall(const std::string&, int64_t) { notBuilt(*this, "statsNoteStall"); }
void KeyboardEngine::statsNoteTapDisabled(const std::string&) { notBuilt(*this, "statsNoteTapDisabled"); }
void KeyboardEngine::runTapRecoveryStep(const std::string& reason) {
  log("runTapRecoveryStep(" + reason + "): not built yet - skipped");
}
void KeyboardEngine::withWatchdogLock(TapId tap) {
  std::lock_guard lock(watchdogTapStateLock);
  watchdogTapState.tapReference = tap;
}

void KeyboardEngine::showRevertedNotice(const std::string& message, const std::string& subMessage) {
  log("showRevertedNotice: HUD not built yet - " + message + " / " + subMessage);
}

}  // namespace tessa
