// Services of the engine whose systems are not built yet. Each does nothing
// and says so in the diagnostic log, so a transcript shows what was skipped.
#include "engine/keyboard_engine.h"

#include "correction/typing_flow_controller.h"

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
std::string KeyboardEngine::currentInputSourceLanguage() const {
  if (platform().inputSources) {
    if (auto src = platform().inputSources->currentKeyboardSource(); src && !src->languages.empty())
      return src->languages.front();
  }
  return "en";
}

// ---- typing flow: language check (the spell-checker probe calls it)
// The typing flow owns this check; until it is built this stand-in follows
// its rule, because the probe cannot give a sound answer without it: the code
// lower-cased and cut before its first "_" must equal the same cut of one of
// the spell checker's languages.
bool KeyboardEngine::isLanguageEnabled(const std::string& language) const {
  auto cut = [](std::string s) {
    s = lowercased(s);
    if (auto p = s.find('_'); p != std::string::npos) s.resize(p);
    return s;
  };
  const std::string wanted = cut(language);
  for (const auto& available : availableSpellingLanguages.get())
    if (cut(available) == wanted) return true;
  return false;
}

// ---- typing flow (the key road calls these)
void KeyboardEngine::beginSpeculativeHold(std::optional<std::string>, std::optional<std::string>) {
  notBuilt(*this, "beginSpeculativeHold");
}
void KeyboardEngine::switchLayoutViaHotKey() { notBuilt(*this, "switchLayoutViaHotKey"); }
void KeyboardEngine::retargetKeyEvent(Event&) { notBuilt(*this, "retargetKeyEvent"); }
void KeyboardEngine::releaseSpeculativeQueue() {
  // Until the typing flow exists the held keys go out unchanged, in order,
  // rather than being lost.
  notBuilt(*this, "releaseSpeculativeQueue (replaying unchanged)");
  auto events = std::move(flow.speculativeQueue);
  flow.speculativeQueue.clear();
  flow.queuedKeyDownCodes.clear();
  if (platform().events && platform().hasBundleIdentifier)
    for (const auto& e : events) platform().events->post(TapLocation::hid, e);
}
void KeyboardEngine::awaitLanguageSwitch(bool) { notBuilt(*this, "awaitLanguageSwitch"); }
std::optional<AXElement> KeyboardEngine::focusedElement() {
  if (!platform().accessibility) return std::nullopt;
  auto r = platform().accessibility->focusedElement(0.05);
  return r.ok() ? r.value : std::nullopt;
}
void KeyboardEngine::confirmAddToVocabulary() { notBuilt(*this, "confirmAddToVocabulary"); }
void KeyboardEngine::correctWithInputSource() { notBuilt(*this, "correctWithInputSource"); }
void KeyboardEngine::handleUndoRedoToggle() { notBuilt(*this, "handleUndoRedoToggle"); }
void KeyboardEngine::cycleCurrentWordLanguage() { notBuilt(*this, "cycleCurrentWordLanguage"); }
void KeyboardEngine::clearBufferState() { notBuilt(*this, "clearBufferState"); }
void KeyboardEngine::handleLayoutSwitchNotification(std::optional<std::string>, bool) {
  notBuilt(*this, "handleLayoutSwitchNotification");
}
void KeyboardEngine::handleAppActivation() { notBuilt(*this, "handleAppActivation"); }
void KeyboardEngine::confirmToggleSwitch(const std::string&, double, std::function<void()>) {
  switcher.isTogglingF19 = false;
  notBuilt(*this, "confirmToggleSwitch");
}
void KeyboardEngine::confirmSourceSwitch(const std::string&, double, std::function<void()>) {
  switcher.isTogglingF19 = false;
  notBuilt(*this, "confirmSourceSwitch");
}
void KeyboardEngine::postModifierResync() { notBuilt(*this, "postModifierResync"); }
void KeyboardEngine::playHaptic() { notBuilt(*this, "playHaptic"); }
std::string KeyboardEngine::layoutIdentifierInfo(const std::string& id) const {
  const_cast<KeyboardEngine*>(this)->log("layoutIdentifierInfo(" + id + "): not built yet - skipped");
  return "";
}
bool KeyboardEngine::canCheckWords(const std::string& language) const {
  const_cast<KeyboardEngine*>(this)->log("canCheckWords(" + language + "): not built yet - skipped");
  return false;
}

// The typing-flow controller's side. These run for every key, so they stay
// silent: a key is passed on unchanged and nothing is held.
bool TypingFlowController::hasQueuedEvents() const { return false; }
void TypingFlowController::enqueue(Event) {}
void TypingFlowController::enqueueAll(std::vector<Event>) {}
void TypingFlowController::releaseQueuedEvents() {}
void TypingFlowController::clear(bool, const std::string&, int) {}
std::optional<Event> TypingFlowController::processEvent(const Event& event, EventType) { return event; }

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
