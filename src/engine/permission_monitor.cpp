// Accessibility trust: the once-a-second poll, the explicit check, and the
// grant or loss handling both end in; and the repair left pending by a
// repair relaunch.
#include <fmt/format.h>

#include <cmath>

#include "engine/keyboard_engine.h"

namespace tessa {

namespace {
constexpr double kPermissionPollSeconds = 1.0;  // [design]
constexpr const char* kPermissionKind = "permission";
// [ours] When the desktop's accessibility switch went on, in seconds since
// 1970, as we turned it on or first saw it on after seeing it off; 0 while it
// is seen off; absent when it was on before we ever looked. A program
// started before that time shares no text until it is restarted.
constexpr const char* kAccessibilityOnSinceKey = "accessibilityOnSince";

std::optional<double> accessibilityOnSince(const UserDefaults& d) {
  if (!d.hasStoredValue(kAccessibilityOnSinceKey)) return std::nullopt;
  return d.doubleForKey(kAccessibilityOnSinceKey);
}

// A desktop-wide switch that each program reads at its own start, rather
// than a permission of this process alone.
bool hasDesktopSwitch(const Accessibility* ax) { return ax && ax->promptTurnsTrustOn(); }

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
  // The desktop answered: its switch is off, for the user to turn on.
  if (hasDesktopSwitch(ax) && !isAccessibilityGranted.get()) return "a11y_switch_off";
  return "";
}

void KeyboardEngine::requestAccessibility(bool prompt) {
  Accessibility* ax = platform().accessibility;
  // Where asking switches the desktop's accessibility on (only the user's
  // grant asks so), say so when it did, and remember when: the programs
  // already open share their text only once restarted.
  const bool mayTurnOn = prompt && hasDesktopSwitch(ax) && !ax->isProcessTrusted(false);
  const double askedAt = clock().wallTime();
  bool trusted = ax && ax->isProcessTrusted(prompt);
  if (mayTurnOn && trusted) {
    defaults().setDouble(kAccessibilityOnSinceKey, askedAt);
    log("requestAccessibility: turned the desktop's accessibility on (org.a11y.Status IsEnabled) at the user's "
        "request so the keyboard tap can start");
  }
  if (!trusted && ax) {
    if (const char* why = problemLogText(ax->trustProblem()); *why)
      log(std::string("requestAccessibility: Accessibility cannot be turned on: ") + why);
    else if (hasDesktopSwitch(ax) && !prompt)
      log("requestAccessibility: the desktop's accessibility is off - it stays off until the user turns it on "
          "(Grant Access on the setup page or in the onboarding)");
  }
  {
    std::lock_guard lock(tap.safetyLock);
    permission.axProbe = trusted;
  }
  asyncOnMainWeak([trusted](KeyboardEngine& e) { e.applyAccessibilityTrust(trusted, "requestAccessibility"); });
}

void KeyboardEngine::startAXPermissionTimer() {
  permission.axPermissionTimer.cancel();
  permission.trustWatch.reset();
  Accessibility* accessibility = platform().accessibility;
  if (!accessibility) {
    log("startAXPermissionTimer: no Accessibility service - permission poll not started");
    return;
  }
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  // Where the desktop announces each change of trust, the change is applied
  // as it comes and nothing asks on a timer; the answer then costs nothing.
  if (accessibility->reportsTrustChanges()) {
    permission.trustWatch = accessibility->observeTrust([weak, accessibility] {
      auto e = weak.lock();
      if (!e) return;
      bool trusted = accessibility->isProcessTrusted(false);
      {
        std::lock_guard lock(e->tap.safetyLock);
        e->permission.axProbe = trusted;
      }
      e->applyAccessibilityTrust(trusted, "switch");
    });
    log("startAXPermissionTimer: the desktop announces each change of its accessibility switch - watched instead of "
        "polled");
    return;
  }
  TaskRunner* main = &mainQueue();
  std::shared_ptr<TaskRunner> utility = environment().runtime.background;
  auto tick = [weak, accessibility, main] {
    // Off the main thread: only look whether the engine is gone, never own it here.
    if (weak.expired()) return;
    bool trusted = accessibility->isProcessTrusted(false);
    main->post([weak, trusted] {
      auto e = weak.lock();
      if (!e) return;
      {
        std::lock_guard lock(e->tap.safetyLock);
        e->permission.axProbe = trusted;
      }
      e->applyAccessibilityTrust(trusted, "poll");
    });
  };
  permission.axPermissionTimer =
      utility ? utility->postRepeating(kPermissionPollSeconds, tick) : main->postRepeating(kPermissionPollSeconds, tick);
}

void KeyboardEngine::noteAccessibilitySwitch(bool trusted) {
  Accessibility* ax = platform().accessibility;
  if (!hasDesktopSwitch(ax) || ax->trustProblem() != AXTrustProblem::none) return;
  auto& d = defaults();
  const auto since = accessibilityOnSince(d);
  if (!trusted) {
    // An answer from before our own grant, landing after it, is stale.
    if (since && *since > 0 && ax->isProcessTrusted(false)) return;
    if (!since || *since != 0.0) d.setDouble(kAccessibilityOnSinceKey, 0.0);
  } else if (since && *since == 0.0) {
    // Seen off, now on: turned on elsewhere (the desktop's own settings)
    // within the last poll.
    d.setDouble(kAccessibilityOnSinceKey, clock().wallTime());
  }
}

std::optional<KeyboardEngine::UnsharedProgram> KeyboardEngine::unsharedFocusedProgram() {
  Accessibility* ax = platform().accessibility;
  Workspace* workspace = platform().workspace;
  if (!ax || !workspace) return std::nullopt;
  auto app = workspace->frontmostApplication();
  if (!app || app->pid <= 0 || app->bundleID == workspace->bundleIdentifier()) return std::nullopt;
  const std::string name = app->name.empty() ? app->bundleID : app->name;
  const std::string who = name + " (pid " + std::to_string(app->pid) + ")";
  const TextSharing sharing = workspace->textSharing(app->pid);
  const auto launchedAt = workspace->launchTime(app->pid);
  // It shows its windows to assistive tools, never their text: neither the
  // desktop's switch nor a plain restart changes that, only its own switch.
  if (sharing == TextSharing::browserWithoutSwitch) {
    std::optional<ProgramToRestart> restart;
    if (launchedAt) restart = ProgramToRestart{*app, *launchedAt, true};
    return UnsharedProgram{name, who + " was started without " + kBrowserAccessibilitySwitch,
                           conversion_texts::kRestartWithSwitch, restart};
  }
  // A program on the registry does share: its text is out of reach for
  // another reason, which a restart would not mend.
  if (ax->isApplicationRegistered(app->pid) == true) return std::nullopt;
  // Restarted, it would share no more than now.
  if (sharing == TextSharing::never)
    return UnsharedProgram{name, who + " carries no accessibility toolkit", conversion_texts::kNeverShares, {}};
  if (!hasDesktopSwitch(ax)) return std::nullopt;
  const auto since = accessibilityOnSince(defaults());
  if (!since || *since <= 0 || !launchedAt || *launchedAt >= *since) return std::nullopt;
  return UnsharedProgram{name, who + " was started before the desktop's accessibility went on",
                         conversion_texts::kRestartProgram, ProgramToRestart{*app, *launchedAt}};
}

bool KeyboardEngine::isStillRunning(const ProgramToRestart& program) const {
  // Its start read again comes out a little different each time (two clocks
  // read one after the other); a process that took its number later started
  // far later.
  constexpr double kSameStart = 1.0;  // [ours]
  const Workspace* workspace = platform().workspace;
  const auto launchedAt = workspace ? workspace->launchTime(program.app.pid) : std::nullopt;
  return launchedAt && std::abs(*launchedAt - program.launchedAt) < kSameStart;
}

void KeyboardEngine::applyAccessibilityTrust(bool trusted, const std::string& source) {
  noteAccessibilitySwitch(trusted);
  // Once that program has been restarted (or quit), nothing is left to say.
  if (const auto& program = programToRestart.get(); program && !isStillRunning(*program))
    programToRestart.set(std::nullopt);
  TapId keyboard;
  {
    std::lock_guard lock(tap.safetyLock);
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
  // No bus to ask on is no answer: the session bus (or the accessibility
  // bus) went away, as at every logout, and nobody turned the switch off.
  // The tap needs neither.
  if (const auto problem = platform().accessibility ? platform().accessibility->trustProblem() : AXTrustProblem::none;
      problem == AXTrustProblem::noSessionBus || problem == AXTrustProblem::noAccessibilityBus) {
    if (permission.consecutiveAXDenials == 1)
      log("Accessibility check (" + source + ") found no bus to ask on - not a revoked permission, kept");
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
  if (permission.repairHandler) {
    permission.repairHandler(automatic, userConfirmed);
    return;
  }
  log("AX repair is not available in this process - nothing was reset or relaunched");
}

}  // namespace tessa
