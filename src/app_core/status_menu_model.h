#pragma once
// The tray item's menu as a tree of plain items, built afresh from the
// engine's state at each opening, and the actions its items carry. Actions
// on the engine's settings and controls run here; those that open windows or
// end the program go to the shell through StatusMenuActions.
#include <string>
#include <string_view>
#include <vector>

#include "app_core/status_item_model.h"

namespace tessa {

struct EngineControls;
struct EngineSettings;

enum class StatusMenuAction {
  none,
  restartAfterEmergencyTeardown,
  resumeEngine,
  pauseEngine1h,
  pauseEngineDay,
  replayOnboarding,
  toggleHapticFeedback,
  setHapticIntensityToLight,
  setHapticIntensityToMedium,
  setHapticIntensityToStrong,
  setLanguageToTh,
  setLanguageToEn,
  setLanguageToLo,
  setLanguageToVi,
  openDashboard,
  checkForUpdates,
  quitApp,
  // No item carries these; the shell may offer them elsewhere.
  toggleSmartCorrection,
  toggleContrastiveCheck,
  toggleFatigueNotification,
  toggleCopyCache,
  clearCopyCache,
  openQuickPaste,
};

// "resumeEngine", "setLanguageToLo", …; "" for none.
std::string_view statusMenuActionName(StatusMenuAction action);

struct StatusMenuItem {
  bool isSeparator = false;
  std::string title;
  StatusMenuAction action = StatusMenuAction::none;
  // A lower-case letter used with the platform's command modifier; "" for none.
  std::string keyEquivalent;
  bool enabled = true;
  bool checked = false;
  std::vector<StatusMenuItem> submenu;

  static StatusMenuItem separator() {
    StatusMenuItem item;
    item.isSeparator = true;
    return item;
  }
};

std::vector<StatusMenuItem> buildStatusMenu(const StatusItemState& state);

// The language submenu's own title, in the language it names.
std::string languageMenuTitle(const std::string& appLanguage);

// What the shell does for the menu's window, update and quit actions.
class StatusMenuActions {
 public:
  virtual ~StatusMenuActions() = default;
  virtual void openDashboard() = 0;
  virtual void replayOnboarding() = 0;
  virtual void checkForUpdates() = 0;
  virtual void quitApp() = 0;
  virtual void toggleCopyCache() = 0;
  virtual void clearCopyCache() = 0;
  virtual void openQuickPaste() = 0;
};

// Runs one action on the main thread: engine actions here, the rest through
// `shell`.
void performStatusMenuAction(const EngineSettings& settings, const EngineControls& controls,
                             StatusMenuAction action, StatusMenuActions& shell);

}  // namespace tessa
