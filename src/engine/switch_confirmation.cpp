// The engine's side of a language switch: requesting it through the hot key,
// watching for it to happen, the system's notification, and the events that
// end a hold early (another application, a cleared buffer).
#include <fmt/format.h>

#include "typing/typing_flow_controller.h"
#include "engine/keyboard_engine.h"
#include "engine/language_switcher.h"

namespace tessa {

namespace {
TypingFlowController& flowOf(KeyboardEngine& e) { return *e.flow.flowController; }

// A source change nobody asked for within this long after our switch landed
// is taken for the system putting the document's own source back.
constexpr double kPerDocumentRevertWindow = 1.0;  // [ours]

void endConfirmation(KeyboardEngine& e) {
  e.switcher.isTogglingF19 = false;
  e.switcher.confirmingSourceID.reset();
}

void confirmLanded(KeyboardEngine& e, const std::string& expectedID) {
  endConfirmation(e);
  e.inputSource.lastCompletedSwitchTime = e.uptime();
  e.inputSource.lastCompletedSwitchTargetID = expectedID;
  flowOf(e).confirmSwitch(expectedID);
}

// [design] Re-reads the current source every 0.005 s until `expectedID` is
// current or 0.2 s have passed since the request; then the fallback selects
// it (TypingFlowController::kConfirmPollInterval and kConfirmBudget).
void pollSwitch(KeyboardEngine& e, const char* name, std::string expectedID, double requestTime, uint64_t generation,
                std::function<void()> fallback) {
  // Ended already: a switcher press found the switch landed before this
  // poll came round, and the press may have asked for the next switch.
  if (e.switcher.confirmationGeneration != generation) return;
  if (e.currentInputSourceID() == expectedID) {
    confirmLanded(e, expectedID);
    return;
  }
  double elapsed = e.uptime() - requestTime;
  if (elapsed >= TypingFlowController::kConfirmBudget - 1e-9) {
    endConfirmation(e);
    e.counters.layoutSwitchTimeout.modify([](int64_t& v) { v += 1; });
    e.log(fmt::format("{}: {} not current after {:.0f}ms - selecting it directly", name, expectedID,
                      elapsed * 1000));  // [ours]
    if (fallback) fallback();
    return;
  }
  e.afterOnMainWeak(TypingFlowController::kConfirmPollInterval,
                    [name, expectedID = std::move(expectedID), requestTime, generation,
                     fallback = std::move(fallback)](KeyboardEngine& e) mutable {
                      pollSwitch(e, name, std::move(expectedID), requestTime, generation, std::move(fallback));
                    });
}

void startConfirmation(KeyboardEngine& e, const char* name, const std::string& expectedID, double requestTime,
                       std::function<void()> fallback) {
  e.switcher.isTogglingF19 = true;
  e.switcher.confirmingSourceID = expectedID;
  const uint64_t generation = e.switcher.confirmationGeneration;
  flowOf(e).expectSource(expectedID);
  e.asyncOnMainWeak([name, expectedID, requestTime, generation, fallback = std::move(fallback)](KeyboardEngine& e) mutable {
    pollSwitch(e, name, expectedID, requestTime, generation, std::move(fallback));
  });
}
}  // namespace

void KeyboardEngine::beginSpeculativeHold(std::optional<std::string> targetLanguage,
                                          std::optional<std::string> expectedSourceID) {
  flowOf(*this).beginSpeculativeHold(std::move(targetLanguage));
  if (expectedSourceID) flowOf(*this).expectSource(*expectedSourceID);
  syncKeyboardHold();
}

void KeyboardEngine::awaitLanguageSwitch(bool wantsEnglish) { flowOf(*this).awaitLanguageSwitch(wantsEnglish); }

void KeyboardEngine::switchLayoutViaHotKey() {
  std::string expected = targetInputSourceID();
  switcher.isTogglingF19 = true;
  flowOf(*this).expectSource(expected);
  auto* events = platform().events;
  if (!events || !platform().hasBundleIdentifier) {
    // Nothing is posted, so no confirmation would ever end this request.
    switcher.isTogglingF19 = false;
    log("switchLayoutViaHotKey: keyboard changes are off - no switch requested");
    return;
  }
  for (EventType type : {EventType::keyDown, EventType::keyUp}) {
    Event e = LanguageSwitcher::fnF19Event(type);
    e.sourceState = EventSourceState::privateState;
    events->post(TapLocation::hid, e);
  }
  // A desktop that acts on the hot key as it is posted has switched already:
  // the release is then due now, not after the keys queued behind it.
  flowOf(*this).expectSource(expected);
  std::weak_ptr<KeyboardEngine> weak = this->weak();
  confirmToggleSwitch(expected, uptime(), [weak, expected] {
    if (auto e = weak.lock()) e->languageSwitcher().selectDirectlyAfterHotKeyFailure(expected);
  });
}

void KeyboardEngine::confirmToggleSwitch(const std::string& expectedID, double requestTime,
                                         std::function<void()> fallback) {
  startConfirmation(*this, "confirmToggleSwitch", expectedID, requestTime, std::move(fallback));
}

void KeyboardEngine::confirmSourceSwitch(const std::string& expectedID, double requestTime,
                                         std::function<void()> fallback) {
  startConfirmation(*this, "confirmSourceSwitch", expectedID, requestTime, std::move(fallback));
}

// The poll runs every few milliseconds, but on a loaded machine it can come
// round well after the switch landed; a switcher press in between is the
// user's next switch, not the key bouncing.
bool KeyboardEngine::endConfirmationIfLanded() {
  if (!switcher.isTogglingF19 || !switcher.confirmingSourceID) return false;
  const std::string expected = *switcher.confirmingSourceID;
  if (currentInputSourceID() != expected) return false;
  ++switcher.confirmationGeneration;
  confirmLanded(*this, expected);
  return true;
}

void KeyboardEngine::handleLayoutSwitchNotification(std::optional<std::string> inputSourceID, bool isEnglish) {
  TypingFlowController& flow = flowOf(*this);
  double now = uptime();
  bool holding = !flow.state().isIdle();
  if (inputSourceID) {
    bool awaited = holding && flow.awaitedSourceID() == inputSourceID;
    flow.confirmSwitch(*inputSourceID);
    if (awaited || (holding && flow.isReleasing())) {
      inputSource.lastCompletedSwitchTime = now;
      inputSource.lastCompletedSwitchTargetID = *inputSourceID;
    } else if (!holding && !switcher.isTogglingF19 && inputSource.lastCompletedSwitchTime &&
               now - *inputSource.lastCompletedSwitchTime <= kPerDocumentRevertWindow &&
               inputSource.lastCompletedSwitchTargetID != inputSourceID) {
      // A change nobody asked for, right after our switch landed: the system
      // put the document's own source back.
      showPerDocumentRevertBanner();
    }
    // The identifier itself, not just English-or-not: with three layouts the
    // other one is not necessarily Thai.
    inputSource.cachedLanguage = *inputSourceID;
  } else {
    setCachedLanguage(isEnglish);
  }
  loadLocalWordlists(currentInputSourceLanguage());
}

void KeyboardEngine::releaseSpeculativeQueue() {
  std::vector<Event> events = heldKeys.takePressHeld();
  heldKeys.forgetHeldDowns();
  if (events.empty()) return;
  if (flow.queueFocusToken) {
    auto now = focusedElement();
    if (now && *now != *flow.queueFocusToken) {
      log(fmt::format("releaseSpeculativeQueue: focus moved since the press - dropping {} held events", events.size()));
      counters.keystrokesDropped.modify([n = events.size()](int64_t& v) { v += static_cast<int64_t>(n); });
      return;
    }
  }
  // Unchanged and untagged: they pass through the handler again as the
  // user's own keys, behind anything already on its way. Only their lock bit
  // is brought up to date: a long press has just toggled Caps Lock, and keys
  // carrying the lock as it was before would switch the display back.
  const bool lockOn = capsLockState();
  if (auto* ev = platform().events)
    for (auto& e : events) {
      e.flags = lockOn ? (e.flags | flags::capsLock) : (e.flags & ~flags::capsLock);
      ev->post(TapLocation::hid, e);
    }
}

void KeyboardEngine::postModifierResync() {
  auto* events = platform().events;
  if (!events) return;
  Event e;
  e.type = EventType::flagsChanged;
  e.flags = events->hardwareModifierFlags() & flags::modifierMask;
  e.sourceUserData = kSyntheticEventTag;
  events->post(TapLocation::hid, e);
}

void KeyboardEngine::clearBufferState() {
  log("clearBufferState()");
  flowOf(*this).cancelHold("buffer state cleared");
  if (size_t n = heldKeys.pressHeld().size()) {
    log(fmt::format("clearBufferState: dropping {} keys held during the switcher press", n));
    counters.keystrokesDropped.modify([n](int64_t& v) { v += static_cast<int64_t>(n); });
  }
  cancelSpeculation();
  flowOf(*this).forgetHeldBack();
  if (!flowOf(*this).strokes().empty()) flowOf(*this).clear(false);
}

void KeyboardEngine::handleAppActivation() {
  std::optional<RunningApplication> app;
  if (platform().workspace) app = platform().workspace->frontmostApplication();
  focus.cachedFrontmostBundleID = app && !app->bundleID.empty() ? app->bundleID : "unknown";
  if (flowOf(*this).state().kind == TypingFlowState::Kind::transitioning) {
    log("Flow state was in .transitioning during app switch. Cancelling queue safely.");
    flowOf(*this).cancelHold("application switched");
  }
  asyncOnMainWeak([](KeyboardEngine& e) { e.clearBufferState(); });
  probeFocusedAppAXAvailability(3);
}

}  // namespace tessa
