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
void KeyboardEngine::loadLocalWordlists(const std::string& language) {
  log("loadLocalWordlists(" + language + "): not built yet - skipped");
}
std::string KeyboardEngine::currentInputSourceLanguage() const {
  if (platform().inputSources) {
    if (auto src = platform().inputSources->currentKeyboardSource(); src && !src->languages.empty())
      return src->languages.front();
  }
  return "en";
}
void KeyboardEngine::showRevertedNotice(const std::string& message, const std::string& subMessage) {
  log("showRevertedNotice: HUD not built yet - " + message + " / " + subMessage);
}

}  // namespace tessa
