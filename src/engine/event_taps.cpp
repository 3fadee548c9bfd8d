// The keyboard tap (which may pass, swallow or replace each key event) and
// the listen-only mouse tap whose clicks end the word being typed. Both are
// sources of the main run loop, so the whole keystroke path runs on the main
// thread inside the callback and must return well within the system's time-out.
#include <chrono>
#include <thread>

#include <fmt/format.h>

#include "engine/keyboard_engine.h"

namespace tessa {

namespace {
constexpr const char* kTapActive = "Event Tap active. Mode: Option 2";
constexpr const char* kTapCreateFailed = "ERROR: Cannot create Event Tap. Check Accessibility Permissions.";
// The stability-journal kind of the permission records.
constexpr const char* kPermissionKind = "permission";

bool isTapDisabledType(EventType type) { return static_cast<uint32_t>(type) >= 0xFFFFFFFEu; }

uint32_t typeNumber(EventType type) { return static_cast<uint32_t>(type); }

bool processTrusted(KeyboardEngine& e) {
  return e.platform().accessibility && e.platform().accessibility->isProcessTrusted(false);
}

// Disables, detaches and invalidates a tap taken out of the engine's fields.
void retire(EventSystem* events, TapId tap) {
  if (!events || tap == 0) return;
  events->enableTap(tap, false);
  events->removeTapFromRunLoop(tap);
  events->invalidateTap(tap);
}
}  // namespace

// ------------------------------------------------------------ creating

void KeyboardEngine::createEventTap() {
  EventSystem* events = platform().events;
  if (!processTrusted(*this)) {
    // Without Accessibility the system would ask for Input Monitoring instead.
    appLog().info("Accessibility not granted — skipping CGEvent.tapCreate to avoid Input Monitoring prompt",
                  LogCategory::keyboard);
    return;
  }
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  TapId id = 0;
  if (events) {
    id = events->createTap(TapLocation::hid, true, TapOptions::defaultTap, keyboardTapMask,
                           [weak](TapId source, EventType type, const Event& event) -> std::optional<Event> {
                             auto e = weak.lock();
                             if (!e) return event;
                             return e->handle(source, type, event);
                           });
  }
  if (id == 0) {
    appLog().error(kTapCreateFailed, LogCategory::keyboard);
    recordStabilityEvent("tap.create", {{"ok", "0"}}, true);
    asyncOnMainWeak([](KeyboardEngine& e) { e.statusMessage.set(kTapCreateFailed); });
    return;
  }
  TapId previous;
  {
    std::lock_guard lock(tap.safetyLock);
    previous = tap.eventTap;
    tap.eventTap = id;
  }
  // A caller that replaces a tap destroys it first; one that did not must not
  // leave the old tap filtering keys beside the new one.
  if (previous != 0 && previous != id) retire(events, previous);
  withWatchdogLock(id);
  syncDecidedKeys();
  events->addTapToRunLoop(id);
  events->enableTap(id, !isPaused.get());
  createMouseTap();
  if (!events->filtersEveryKey()) {
    std::string keys;
    for (const auto& k : events->keysHeldByOthers()) keys += (keys.empty() ? "" : ", ") + k;
    appLog().error("Event Tap can only listen to some typing keys (another program holds " +
                       (keys.empty() ? std::string("them") : keys) + "): typed during a switch they cannot be held",
                   LogCategory::keyboard);
  }
  appLog().info(kTapActive, LogCategory::keyboard);
  asyncOnMainWeak([](KeyboardEngine& e) { e.statusMessage.set(kTapActive); });
}

void KeyboardEngine::createMouseTap() {
  EventSystem* events = platform().events;
  if (!events || !processTrusted(*this)) return;
  {
    std::lock_guard lock(tap.safetyLock);
    if (tap.mouseTap != 0) return;
  }
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  TapId id = events->createTap(
      TapLocation::hid, true, TapOptions::listenOnly, mouseTapMask,
      [weak](TapId source, EventType type, const Event& event) -> std::optional<Event> {
        auto e = weak.lock();
        if (!e) return std::nullopt;
        if (isTapDisabledType(type)) {
          // The mouse tap's own outage never reaches the key path.
          TapId mouse;
          {
            std::lock_guard lock(e->tap.safetyLock);
            mouse = e->tap.mouseTap;
          }
          if (mouse != 0 && e->platform().events) e->platform().events->enableTap(mouse, !e->isPaused.get());
          return std::nullopt;
        }
        return e->handle(source, type, event);
      });
  if (id == 0) {
    appLog().error("Could not create the mouse observation tap - clicks will not reset the typing buffer.",
                   LogCategory::keyboard);
    return;
  }
  {
    std::lock_guard lock(tap.safetyLock);
    tap.mouseTap = id;
  }
  events->addTapToRunLoop(id);
  events->enableTap(id, !isPaused.get());
}

// ---------------------------------------------------------- destroying

void KeyboardEngine::destroyMouseTap() {
  TapId mouse;
  {
    std::lock_guard lock(tap.safetyLock);
    mouse = tap.mouseTap;
    tap.mouseTap = 0;
  }
  retire(platform().events, mouse);
}

void KeyboardEngine::destroyEventTap() {
  destroyMouseTap();
  TapId keyboard;
  {
    std::lock_guard lock(tap.safetyLock);
    keyboard = tap.eventTap;
    tap.eventTap = 0;
  }
  withWatchdogLock(0);
  if (keyboard == 0) return;
  retire(platform().events, keyboard);
  appLog().error("Event tap destroyed.", LogCategory::keyboard);
}

// ------------------------------------------------------- timing wrapper

std::optional<Event> KeyboardEngine::handle(TapId sourceTap, EventType type, const Event& event) {
  markHandleBegan();
  if (tap.debugSlowCallbackOnce) {
    tap.debugSlowCallbackOnce = false;
    log("DEBUG: forcing a 1.5s slow callback to trigger tapDisabledByTimeout");
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  }
  double start = uptime();
  std::optional<Event> result = handleInner(sourceTap, type, event);
  // Before the answer lets the key go: a hold it began holds the next one.
  syncKeyboardHold();
  markHandleEnded();
  auto ms = static_cast<int64_t>((uptime() - start) * 1000.0);

  if (counters.maxHandleDurationMs.get() < ms) {
    // Compared again when it runs: a shorter callback measured in between
    // must not replace a longer maximum.
    asyncOnMainWeak([ms](KeyboardEngine& e) {
      if (e.counters.maxHandleDurationMs.get() < ms) e.counters.maxHandleDurationMs.set(ms);
    });
  }
  if (ms >= 100) {
    const std::string& app = focus.cachedFrontmostBundleID;
    log(fmt::format("handle() slow: {}ms (type: {}, app: {}) - tap is killed by the OS around 1000ms", ms,
                    typeNumber(type), app));
    recordStabilityEvent("handle.slow",
                         {{"ms", std::to_string(ms)}, {"type", std::to_string(typeNumber(type))}, {"app", app}},
                         ms >= 500);
    if (ms >= 201) {
      asyncOnMainWeak([](KeyboardEngine& e) { e.counters.inputStallCount.set(e.counters.inputStallCount.get() + 1); });
      statsNoteStall(stabilityDayKey(), ms);
      if (!tap.isInLatencyYellowZone) {
        tap.isInLatencyYellowZone = true;
        appLog().error(fmt::format("Latency budget warning: {}ms (budget: 1000ms, app: {})", ms, app),
                       LogCategory::keyboard);
      }
      return result;
    }
  }
  tap.isInLatencyYellowZone = false;
  return result;
}

// ------------------------------------------------- tap-disabled events

void KeyboardEngine::handleTapDisabled(EventType type) {
  double now = uptime();
  bool rapid = tap.lastTapDisabledTimestamp > 0 && now - tap.lastTapDisabledTimestamp <= 2.0;
  tap.lastTapDisabledTimestamp = now;
  int n = noteTapDisabledByTimeout();
  TapId keyboard;
  {
    std::lock_guard lock(tap.safetyLock);
    keyboard = tap.eventTap;
  }
  bool enabled = keyboard != 0 && platform().events && platform().events->isTapEnabled(keyboard);
  bool secure = platform().inputSources && platform().inputSources->isSecureEventInputEnabled();
  const std::string& app = focus.cachedFrontmostBundleID;
  statsNoteTapDisabled(stabilityDayKey());
  recordStabilityEvent("tap.disabled",
                       {{"type", std::to_string(typeNumber(type))},
                        {"n", std::to_string(n)},
                        {"enabled", enabled ? "true" : "false"},
                        {"secure", secure ? "true" : "false"},
                        {"app", app}},
                       false);
  const char* rapidText = rapid ? "true" : "false";
  log(fmt::format("Event tap disabled ({}) {}x in {}s (tapIsEnabled: {}, rapidRepeat: {})", typeNumber(type), n, 60,
                  enabled ? "true" : "false", rapidText));

  bool trusted = processTrusted(*this);
  std::string frontmost = app;
  if (platform().workspace) {
    if (auto front = platform().workspace->frontmostApplication(); front && !front->bundleID.empty())
      frontmost = front->bundleID;
  }
  if (!trusted && (rapid || frontmost == "com.apple.systempreferences")) {
    appLog().error(
        fmt::format("Event tap disabled with AX trust lost (rapid={}) — tearing down immediately to release HID chain.",
                    rapidText),
        LogCategory::keyboard);
    log(fmt::format("Tap teardown: disabled with AXIsProcessTrusted=false (rapid={}) — releasing HID chain", rapidText));
    recordStabilityEvent(kPermissionKind, {{"ok", "0"}, {"reason", "disabled_untrusted"}}, true);
    destroyEventTap();
    isAccessibilityGranted.set(false);
    return;
  }
  // The published grant is set asynchronously and can lag the system: a
  // process the system trusts right now is never torn down as untrusted.
  if (trusted && !isAccessibilityGranted.get()) isAccessibilityGranted.set(true);
  if (isAccessibilityGranted.get()) {
    runTapRecoveryStep(fmt::format("{} x{} in {}s", typeNumber(type), n, 60));
    return;
  }
  appLog().error(fmt::format("Event tap disabled ({}) and AX trust lost — tearing down.", typeNumber(type)),
                 LogCategory::keyboard);
  recordStabilityEvent(kPermissionKind, {{"ok", "0"}, {"reason", "disabled_ungranted"}}, true);
  destroyEventTap();
  isAccessibilityGranted.set(false);
}

}  // namespace tessa
