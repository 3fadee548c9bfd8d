// Accessibility trust: the once-a-second poll, the explicit check, and the
// grant or loss handling both end in; and the repair left pending by a
// repair relaunch.
#include <fmt/format.h>

#include "engine/keyboard_engine.h"

namespace tessa {

namespace {
constexpr double kPermissionPollSeconds = 1.0;
constexpr const char* kPermissionKind = "permission";

const char* problemLogText(AXTrustProblem problem) {
  switch (problem) {
    case AXTrustProblem::noSessionBus:
      return "there is no D-Bus session bus to reach the desktop's accessibility switch on - start from the desktop "
             "session or under dbus-run-session";
    case AXTrustProblem::noAccessibilityBus:
      return "the accessibility bus launcher (org.a11y.Bus) does not answer - install at-spi2-core and log in again";
    case AXTrustProblem::switchRefused:
      return "the desktop would not turn accessibility on - run: gsettings set org.gnome.desktop.interface "
             "toolkit-accessibility true";
    case AXTrustProblem::none:
      break;
  }
  return "";
}

}  // namespace

std::string KeyboardEngine::accessibilityProblemKey() const {
  Accessibility* ax = platform().accessibility;
  if (!ax) return "";
  switch (ax->trustProblem()) {
    case AXTrustProblem::noSessionBus:
      return "a11y_no_session_bus";
    case AXTrustProblem::noAccessibilityBus:
      return "a11y_no_bus";
    case AXTrustProblem::switchRefused:
      return "a11y_switch_refused";
    case AXTrustProblem::none:
      break;
  }
  return "";
}

void KeyboardEngine::requestAccessibility(bool prompt) {
  Accessibility* ax = platform().accessibility;
  // Where asking switches the desktop's accessibility on, say so when it did.
  const bool mayTurnOn = prompt && ax && ax->promptTurnsTrustOn() && !ax->isProcessTrusted(false);
  bool trusted = ax && ax->isProcessTrusted(prompt);
  if (mayTurnOn && trusted)
    log("requestAccessibility: turned the desktop's accessibility on (org.a11y.Status IsEnabled) so the keyboard "
        "tap can start");
  if (!trusted && ax)
    if (const char* why = problemLogText(ax->trustProblem()); *why)
      log(std::string("requestAccessibility: Accessibility cannot be turned on: ") + why);
  {
    std::lock_guard lock(tapSafetyLock);
    permission.axProbe = trusted;
  }
  asyncOnMainWeak([trusted](KeyboardEngine& e) { e.applyAccessibilityTrust(trusted, "requestAccessibility"); });
}

void KeyboardEngine::startAXPermissionTimer() {
  permission.axPermissionTimer.cancel();
  Accessibility* accessibility = platform().accessibility;
  if (!accessibility) {
    log("startAXPermissionTimer: no Accessibility service - permission poll not started");
    return;
  }
  TaskRunner* main = &mainQueue();
  std::shared_ptr<TaskRunner> utility = environment().runtime.background;
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  auto tick = [weak, accessibility, main] {
    // Off the main thread: only look whether the engine is gone, never own it here.
    if (weak.expired()) return;
    bool trusted = accessibility->isProcessTrusted(false);
    main->post([weak, trusted] {
      auto e = weak.lock();
      if (!e) return;
      {
        std::lock_guard lock(e->tapSafetyLock);
        e->permission.axProbe = trusted;
      }
      e->applyAccessibilityTrust(trusted, "poll");
    });
  };
  permission.axPermissionTimer =
      utility ? utility->postRepeating(kPermissionPollSeconds, tick) : main->postRepeating(kPermissionPollSeconds, tick);
}

void KeyboardEngine::applyAccessibilityTrust(bool trusted, const std::string& source) {
  TapId keyboard;
  {
    std::lock_guard lock(tapSafetyLock);
    keyboard = tap.eventTap;
  }
  if (trusted) {
    permission.consecutiveAXDenials = 0;
    if (isAccessibilityGranted.get()) return;
    isAccessibilityGranted.set(true);
    notifications().post(notification::accessibilityStateChanged);
    log("Accessibility granted (" + source + ")");
    recordStabilityEvent(kPermissionKind, {{"ok", "1"}, {"reason", "granted"}}, false);
    if (keyboard == 0 && !recovery.isEmergencyTornDown) createEventTap();
    return;
  }
  ++permission.consecutiveAXDenials;
  if (!isAccessibilityGranted.get()) return;
  // An answer that crossed a newer grant on its way here must not tear the
  // tap down: ask once more, now.
  if (platform().accessibility && platform().accessibility->isProcessTrusted(false)) {
    log("Accessibility check (" + source + ") said untrusted but the process is trusted now - kept");
    return;
  }
  isAccessibilityGranted.set(false);
  notifications().post(notification::accessibilityStateChanged);
  log("Accessibility revoked (" + source + ")");
  if (keyboard != 0) {
    recordStabilityEvent(kPermissionKind, {{"ok", "0"}, {"reason", "revoked"}}, false);
    destroyEventTap();
  }
}

void KeyboardEngine::resumePendingAXRepair() {
  auto& d = defaults();
  if (!d.boolForKey("ax.repairPending")) return;
  d.remove("ax.repairPending");
  bool trusted = platform().accessibility && platform().accessibility->isProcessTrusted(false);
  if (trusted) {
    d.setInteger("ax.repairAttempts", 0);
    d.setDouble("ax.repairUnverifiedSince", 0.0);
    log("resumePendingAXRepair: Accessibility is granted after the repair relaunch - repair finished");
    recordStabilityEvent(kPermissionKind, {{"ok", "1"}, {"reason", "repair_verified"}}, false);
  } else {
    if (d.doubleForKey("ax.repairUnverifiedSince") <= 0) d.setDouble("ax.repairUnverifiedSince", clock().wallTime());
    log("resumePendingAXRepair: Accessibility is still missing after the repair relaunch");
    recordStabilityEvent(kPermissionKind, {{"ok", "0"}, {"reason", "repair_unverified"}}, false);
  }
  d.synchronize();
}

void KeyboardEngine::repairAccessibilityGrant(bool automatic, bool userConfirmed) {
  if (accessibilityRepairHandler) {
    accessibilityRepairHandler(automatic, userConfirmed);
    return;
  }
  log("AX repair is not available in this process - nothing was reset or relaunched");
}

}  // namespace tessa
