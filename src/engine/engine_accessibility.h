#pragma once
// The engine's Accessibility trust as the windows show it and ask for it:
// whether the keyboard tap holds it, what keeps it out of reach, the program
// that must be restarted once, and the three ways to get it (ask again, open
// the settings or turn the desktop's switch on, repair the grant). Handed out
// by `KeyboardEngine::accessibility()`; it refers to the engine's own cells,
// so it lives no longer than the engine.
#include <functional>
#include <optional>
#include <string>

#include "base/observable.h"
#include "platform/workspace.h"

namespace tessa {

// A program that keeps its text to itself until it is restarted: it was
// started before the desktop's accessibility went on, or it is a browser
// engine started without its accessibility switch.
struct ProgramToRestart {
  RunningApplication app;
  double launchedAt = 0;  // seconds since 1970
  // It must be started again with kBrowserAccessibilitySwitch
  // (platform/workspace.h); a plain restart would not do.
  bool withBrowserSwitch = false;
};

struct EngineAccessibility {
  Published<bool>& isGranted;
  // Set when a conversion, undo or redo could not read such a program;
  // cleared once that process has ended.
  Published<std::optional<ProgramToRestart>>& programToRestart;
  // That process still runs (it was neither restarted nor quit).
  std::function<bool(const ProgramToRestart& program)> isStillRunning;
  // The text key saying what keeps the desktop's switch out of reach (what
  // is missing, what to install or run); empty when nothing does.
  std::function<std::string()> problemKey;
  // Checks the trust again, with the system's prompt when `prompt`; the
  // answer lands in `isGranted` on the main queue.
  std::function<void(bool prompt)> request;
  // Opens the system's Accessibility settings; on X11 turns the desktop's
  // switch on and checks again.
  std::function<void()> openSettings;
  // Resets the grant and relaunches through `repairHandler`; without one the
  // request is only logged.
  std::function<void(bool automatic, bool userConfirmed)> repair;
  // The repair's work, installed by whoever can relaunch the program.
  std::function<void(bool automatic, bool userConfirmed)>& repairHandler;
};

}  // namespace tessa
