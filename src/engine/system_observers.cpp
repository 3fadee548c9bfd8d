// The system events that change how keystrokes must be treated: the selected
// input source changed (the witness that a switch happened), the screen was
// locked or the displays slept (held keys must go), another application came
// forward, and the Accessibility list changed (the tap may need rebuilding).
// Also the once-a-second secure-field poll that keeps the key path out of
// passwords, and the point-in-own-panels test for clicks.
#include <fmt/format.h>

#include "typing/typing_flow_controller.h"
#include "engine/keyboard_engine.h"
#include "engine/language_switcher.h"
#include "engine/hud_notices.h"

namespace tessa {

namespace {
constexpr double kSecureFieldPollSeconds = 1.0;  // [design]
constexpr double kSecondLookAfterActivation = 1.0;  // [ours]
// [ours] A newly focused field is given longer: nothing on the key path
// waits for it, only the word does, and an answer lost to a short time-out
// would let the keys of a password field into the word. At start it also
// covers the accessibility connection being set up.
constexpr double kNewFocusCheckTimeout = 2.0;
// [ours] A newly focused field that did not answer in time (a busy machine,
// a busy program) is asked up to this many times before it is followed as
// one that cannot be asked.
constexpr int kNewFocusLooks = 3;
}  // namespace

// ------------------------------------------------------------ registrations

void KeyboardEngine::observeInputSourceChanges() {
  if (!platform().inputSources) return;
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  observers.subscriptions.push_back(platform().inputSources->observeSelectedSourceChanged([weak] {
    if (auto e = weak.lock()) e->inputSourceChanged();
  }));
}

void KeyboardEngine::observeSystemNotifications() {
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  if (platform().workspace) {
    observers.subscriptions.push_back(platform().workspace->observe(
        [weak](WorkspaceEvent event, const std::optional<RunningApplication>&) {
          auto e = weak.lock();
          if (!e) return;
          switch (event) {
            case WorkspaceEvent::didActivateApplication: e->appWorkspaceChanged(); break;
            case WorkspaceEvent::screensDidSleep: e->screenSleepStateChanged(); break;
            case WorkspaceEvent::screenLocked: e->screenLockStateChanged(); break;
            default: break;
          }
        }));
  }
  if (platform().accessibility) {
    observers.subscriptions.push_back(platform().accessibility->observeTrustListChanged([weak] {
      if (auto e = weak.lock()) e->accessibilityAPIChanged();
    }));
  }
}

void KeyboardEngine::startSecureFieldPoll() {
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  Accessibility* ax = platform().accessibility;
  // Where the desktop announces every move of the focus, the field is looked
  // at when the focus moves instead of every second, so that nothing runs
  // while nothing changes. Such a desktop (X11) has no secure keyboard entry
  // apart from the focused field's.
  if (ax && ax->reportsFocusChanges()) {
    observers.focusWatch = ax->observeFocus([weak] {
      if (auto e = weak.lock()) e->lookAtFocusedField(true);
    });
  } else {
    observers.secureFieldPollTimer = mainQueue().postRepeating(kSecureFieldPollSeconds, [weak] {
      if (auto e = weak.lock()) e->lookAtFocusedField();
    });
  }
  // A field focused before we started announces nothing, and the first keys
  // typed into it may come before any tick.
  lookAtFocusedField(true);
}

void KeyboardEngine::lookAtFocusedField(bool newFocus) {
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  TaskRunner* main = &mainQueue();
  InputSources* sources = platform().inputSources;
  Accessibility* ax = platform().accessibility;
  uint64_t look = 0;
  double timeout = kSecureFieldCheckTimeout;
  if (newFocus) {
    look = focus.awaitedSecureFieldLook = ++focus.secureFieldLooks;
    timeout = kNewFocusCheckTimeout;
    flow.flowController->holdBackRecording();
  }
  // The check waits on another application (up to its time-out), so it runs
  // off the main thread and only its answer comes back.
  auto check = [weak, main, sources, ax, look, timeout] {
    SecureFieldProbe probe = checkFocusedSecureField(sources, ax, timeout);
    main->post([weak, probe, look] {
      if (auto e = weak.lock()) e->postSecureInputStateChanged(probe, look);
    });
  };
  if (auto background = environment().runtime.background)
    background->post(std::move(check));
  else
    check();
}

// ------------------------------------------------------------ handlers

void KeyboardEngine::inputSourceChanged() {
  if (defaults().boolForKey("debugDisableISObserver")) {
    log("DEBUG: skipping inputSourceChanged (debugDisableISObserver=true)");
    return;
  }
  std::optional<std::string> id = currentInputSourceID();
  bool isEnglish = id && isEnglishInputSourceID(*id);
  double now = uptime();
  std::string gap = inputSource.lastInputSourceChangeTime
                        ? fmt::format("{:.0f}ms", (now - *inputSource.lastInputSourceChangeTime) * 1000.0)
                        : std::string("first");
  inputSource.lastInputSourceChangeTime = now;
  log("inputSourceChanged: now='" + id.value_or("?") + "' (+" + gap + ")");
  asyncOnMainWeak([id, isEnglish](KeyboardEngine& e) { e.handleLayoutSwitchNotification(id, isEnglish); });
}

void KeyboardEngine::clearBufferStateOnMain() {
  asyncOnMainWeak([](KeyboardEngine& e) { e.clearBufferState(); });
}

void KeyboardEngine::screenLockStateChanged() { clearBufferStateOnMain(); }

void KeyboardEngine::screenSleepStateChanged() { clearBufferStateOnMain(); }

void KeyboardEngine::appWorkspaceChanged() {
  handleAppActivation();
  // Another program came forward: its focused field is another one, even
  // where the program sends no focus event of its own.
  lookAtFocusedField(true);
  if (!observers.focusWatch) return;
  // A program that has just started announces nothing until its
  // accessibility bridge is up, a moment after its window, so it is looked
  // at once more then.
  afterOnMainWeak(kSecondLookAfterActivation, [](KeyboardEngine& e) { e.lookAtFocusedField(); });
}

void KeyboardEngine::accessibilityAPIChanged() {
  asyncOnMainWeak([](KeyboardEngine& e) { e.accessibilityListChanged(); });
}

void KeyboardEngine::accessibilityListChanged() {
  {
    std::lock_guard lock(tap.safetyLock);
    if (tap.eventTap == 0) return;
  }
  if (recovery.isEmergencyTornDown) return;
  bool trusted = platform().accessibility && platform().accessibility->isProcessTrusted(false);
  double now = uptime();
  if (trusted) {
    if (permission.lastAXNotificationRebuild && now - *permission.lastAXNotificationRebuild <= 2.0) return;
    permission.lastAXNotificationRebuild = now;
    destroyEventTap();
    createEventTap();
  } else {
    permission.lastAXNotificationRebuild = now;
    destroyEventTap();
  }
  bool hasTap;
  {
    std::lock_guard lock(tap.safetyLock);
    hasTap = tap.eventTap != 0;
  }
  if (hasTap) return;
  log("Accessibility list changed and the tap could not be recreated - staying out of the input chain");
  isAccessibilityGranted.set(false);
  double wall = clock().wallTime();
  defaults().setDouble("ax.observedRevocationAt", wall);
  if (wall - defaults().doubleForKey("ax.repairLastAt") > 30.0) {
    defaults().setInteger("ax.repairAttempts", 0);
    defaults().setDouble("ax.repairUnverifiedSince", 0.0);
    defaults().synchronize();
    log("Accessibility list changed by hand - repair budget reset");
  }
}

// ------------------------------------------------------- secure-field poll

KeyboardEngine::SecureFieldProbe KeyboardEngine::checkFocusedSecureField(InputSources* inputSources,
                                                                         Accessibility* accessibility,
                                                                         double timeoutSeconds) {
  SecureFieldProbe probe;
  probe.global = inputSources && inputSources->isSecureEventInputEnabled();
  if (!accessibility) {
    probe.focusedFieldIsSecure = false;
    return probe;
  }
  // A focused element that does not answer in time says nothing either way:
  // the previous answer stands, so that a slow application never turns a
  // password field into a plain one.
  auto focused = accessibility->focusedElement(timeoutSeconds);
  if (focused.error == AXError::cannotComplete) return probe;
  if (!focused.ok()) {
    probe.focusedFieldIsSecure = false;
    return probe;
  }
  auto subrole = accessibility->subrole(*focused.value);
  if (subrole.error == AXError::cannotComplete) return probe;
  probe.focusedFieldIsSecure = subrole.ok() && *subrole.value == "AXSecureTextField";
  return probe;
}

void KeyboardEngine::postSecureInputStateChanged(const SecureFieldProbe& probe, uint64_t look) {
  bool focused = probe.focusedFieldIsSecure.value_or(focus.cachedFocusedFieldIsSecure);
  bool active = probe.global || focused;
  bool old = isSecureInputActive.get();
  isSecureInputActive.set(active);
  isSecureInputLockedGlobally.set(probe.global && !focused);
  focus.cachedFocusedFieldIsSecure = focused;
  // Keys kept aside may have been typed into this field, even when the look
  // the word waits for is a later one: they are never the word's. A field
  // that could not tell is asked again; after the last try, or a failed
  // look, it is followed as before.
  TypingFlowController& fc = *flow.flowController;
  if (active) fc.forgetHeldBack();
  if (look != 0 && look == focus.awaitedSecureFieldLook) {
    if (!probe.focusedFieldIsSecure && ++focus.unansweredNewFocusLooks < kNewFocusLooks) {
      lookAtFocusedField(true);
    } else {
      focus.unansweredNewFocusLooks = 0;
      focus.awaitedSecureFieldLook = 0;
      fc.resumeRecording(!active);
    }
  }
  if (active != old) notifications().post(notification::secureInputStateChanged);
}

// ------------------------------------------------------------ own panels

bool KeyboardEngine::isPointInOwnPanels(double x, double y) const {
  auto contains = [x, y](const Rect& r) {
    constexpr double grow = 4.0;
    return x >= r.x - grow && x <= r.x + r.width + grow && y >= r.y - grow && y <= r.y + r.height + grow;
  };
  if (auto* panel = hudPanelFor(const_cast<KeyboardEngine&>(*this)); panel && panel->isVisible() &&
                                                                      contains(panel->frame()))
    return true;
  for (const auto& provider : hud.ownPanelFrameProviders) {
    if (!provider) continue;
    if (auto frame = provider(); frame && contains(*frame)) return true;
  }
  return false;
}

}  // namespace tessa
