// The engine as the typing flow's host.
#include "engine/typing_flow_host.h"

#include "engine/keyboard_engine.h"

namespace tessa {

EngineTypingFlowHost::EngineTypingFlowHost(KeyboardEngine& engine) : engine_(engine) {}

double EngineTypingFlowHost::uptime() const { return engine_.uptime(); }

TaskHandle EngineTypingFlowHost::afterOnMain(double delay, std::function<void()> task) {
  return engine_.afterOnMainWeak(delay, [task = std::move(task)](KeyboardEngine&) { task(); });
}

void EngineTypingFlowHost::onMain(std::function<void()> task) {
  engine_.asyncOnMainWeak([task = std::move(task)](KeyboardEngine&) { task(); });
}

void EngineTypingFlowHost::log(const std::string& line) { engine_.log(line); }

std::optional<std::string> EngineTypingFlowHost::currentInputSourceID() const { return engine_.currentInputSourceID(); }

std::string EngineTypingFlowHost::languageOfSource(const std::string& sourceID) {
  return engine_.layoutIdentifierInfo(sourceID);
}

std::string EngineTypingFlowHost::currentLanguage() const { return engine_.inputSource.cachedLanguage; }

std::optional<AXElement> EngineTypingFlowHost::focusedElement() { return engine_.focusedElement(); }

AXResult<AXElement> EngineTypingFlowHost::focusedElementNow(double timeout) {
  if (auto* ax = engine_.platform().accessibility) return ax->focusedElement(timeout);
  return AXResult<AXElement>{AXError::failure, std::nullopt};
}

void EngineTypingFlowHost::post(const Event& event) {
  auto* events = engine_.platform().events;
  if (!events) return;
  // A held key let go of comes back through the tap; until it has, a key the
  // user presses may have reached the window system ahead of it.
  if (event.type == EventType::keyDown)
    engine_.heldKeys.markPosted(
        {event.type, event.keyCode, event.flags, engine_.uptime(), event.isTagged()});
  events->post(TapLocation::hid, event);
}

void EngineTypingFlowHost::retarget(Event& event, const std::optional<std::string>& sourceID) {
  if (sourceID)
    engine_.retargetKeyEvent(event, *sourceID);
  else
    engine_.retargetKeyEvent(event);
}

void EngineTypingFlowHost::resyncModifiers() { engine_.postModifierResync(); }

std::string EngineTypingFlowHost::renderWord(const std::vector<KeyStroke>& strokes, const std::string& sourceID) {
  return engine_.renderInLayout(strokes, engine_.inputSourceWithID(sourceID));
}

Subscription EngineTypingFlowHost::observeEnabledSourcesChanged(std::function<void()> callback) {
  if (auto* sources = engine_.platform().inputSources) return sources->observeEnabledSourcesChanged(std::move(callback));
  return {};
}

void EngineTypingFlowHost::forgetLayoutCaches() {
  engine_.correction.cycleLayoutsCache.reset();
  engine_.conversion.forgetKeyMaps();
}

void EngineTypingFlowHost::noteSwitchConfirmed() { engine_.flow.consecutiveSafetyTimeouts = 0; }

void EngineTypingFlowHost::noteSwitchTimedOut() {
  engine_.counters.layoutSwitchTimeout.modify([](int64_t& v) { v += 1; });
  engine_.flow.consecutiveSafetyTimeouts += 1;
}

void EngineTypingFlowHost::noteKeystrokesDropped(size_t count) {
  engine_.counters.keystrokesDropped.modify([count](int64_t& v) { v += static_cast<int64_t>(count); });
}

void EngineTypingFlowHost::holdEnded() {
  if (!engine_.flow.isSpeculating) engine_.heldKeys.forgetHeldDowns();
  engine_.syncKeyboardHold();
}

void EngineTypingFlowHost::liveBufferChanged() {
  if (engine_.flow.onLiveBufferChanged) engine_.flow.onLiveBufferChanged();
}

}  // namespace tessa
