#pragma once
// The setup status page without any toolkit: whether the keyboard tap holds
// the Accessibility permission, the two ways out when it does not, and the
// confirmation in front of the repair. The state follows the engine's
// published trust flag (its Accessibility view); only the confirmation is the
// page's own.
#include <functional>
#include <string>
#include <vector>

#include "app_core/accessibility_consent.h"
#include "base/observable.h"
#include "hud/unified_menu_state.h"
#include "app_core/dashboard/setup_status_texts.h"

namespace tessa {

class SetupStatusModel : public SetupStatusTexts {
 public:
  SetupStatusModel(EngineSettings settings, EngineAccessibility accessibility, EngineContext context)
      : settings_(settings),
        accessibility_(accessibility),
        context_(context),
        consent_(std::move(settings), std::move(accessibility), std::move(context)) {}

  bool isGranted() const;
  // Typing keys another program holds, which the keyboard tap can only hear.
  std::vector<std::string> keysHeldByOthers() const;
  // The switcher key's name when another program holds it; empty otherwise.
  std::string switcherHeldByOthers() const;
  // Granted, but typing keys or the switcher key are another program's.
  bool isPartial() const;
  std::string statusSymbol() const;
  HudColor statusColor() const;
  // The card's line under its title, at the engine's wording level.
  std::string description() const;
  // The grant button and the repair link show only without the permission.
  bool showsActions() const { return !isGranted(); }

  // Where the grant turns the desktop's switch on, asks the user first
  // (consent().isAsking()); elsewhere grants at once.
  void grantAccess();
  AccessibilityConsent& consent() { return consent_; }

  // While a program the engine could not read still runs, and a restart
  // would mend it: the line saying to restart it once (it was started before
  // the desktop's accessibility went on) or with the switch it needs (a
  // browser engine). Empty otherwise.
  std::string restartNotice() const;

  bool showRepairConfirmation() const { return showRepairConfirmation_; }
  void requestRepair() { showRepairConfirmation_ = true; }
  // The destructive answer: the user-confirmed repair.
  void confirmRepair();
  void cancelRepair() { showRepairConfirmation_ = false; }

  // Looked up in the engine's language and wording level.
  std::string text(const std::string& key) const;
  // Called before every write of the engine's cells (the grant among them);
  // read the state once the write is done.
  Subscription subscribeChanges(std::function<void()> callback);

 private:
  EngineSettings settings_;
  EngineAccessibility accessibility_;
  EngineContext context_;
  AccessibilityConsent consent_;
  bool showRepairConfirmation_ = false;
};

}  // namespace tessa
