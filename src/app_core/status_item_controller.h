#pragma once
// Keeps the tray item in step with the engine: draws its icon and tooltip at
// creation, redraws on the engine's notifications and on changes of the
// tap's health and the correction count, decides clicks and runs the menu's
// actions. It sees the engine through its settings, run-time status,
// Accessibility trust, controls and context. The shell supplies the drawing
// surface (StatusItemView) and the window actions (StatusMenuActions) and
// owns this object; every redraw hops to the main queue and does nothing once
// this object or the engine is gone.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app_core/status_item_model.h"
#include "app_core/status_menu_model.h"
#include "base/observable.h"
#include "engine/engine_accessibility.h"
#include "engine/engine_context.h"
#include "engine/engine_controls.h"
#include "engine/engine_settings.h"
#include "engine/engine_status.h"

namespace tessa {

class StatusItemView {
 public:
  virtual ~StatusItemView() = default;
  // False when there is nowhere to draw (no system tray): nothing is drawn.
  virtual bool hasButton() const = 0;
  virtual void setIcon(const StatusIconSpec& icon) = 0;
  virtual void setToolTip(const std::string& text) = 0;
};

class StatusItemController : public std::enable_shared_from_this<StatusItemController> {
 public:
  // `view` and `shell` must outlive the controller.
  static std::shared_ptr<StatusItemController> create(EngineSettings settings, EngineStatus status,
                                                      EngineAccessibility accessibility, EngineControls controls,
                                                      EngineContext context, StatusItemView& view,
                                                      StatusMenuActions& shell);
  StatusItemController(const StatusItemController&) = delete;
  StatusItemController& operator=(const StatusItemController&) = delete;

  // The item's creation, on the main thread: records whether the focused
  // application's text can be read and whether Accessibility is trusted,
  // reads the Caps Lock state, draws the icon and tooltip (when there is a
  // button), then follows the correction count and the tap's health.
  void setUp();
  // Observes the seven notifications the item reacts to, in their order.
  void observeNotifications();
  // What one of those notifications redraws (any thread).
  void handleNotification(const Notification& notification);
  // Redraws the icon (not the tooltip) from the engine's state.
  void refreshStatusIcon();

  // Acts on a click: restarts a torn-down tap or opens the dashboard. Answers
  // openMenu when the shell should show the menu instead.
  StatusClickAction click(const StatusClick& click);
  // The menu for this opening.
  std::vector<StatusMenuItem> menu() const;
  void perform(StatusMenuAction action);
  // Shown in the tooltip while set: why the desktop gives us no keys.
  void setKeysUnavailableReason(std::string reason) { keysUnavailableReason_ = std::move(reason); }

 private:
  StatusItemController(EngineSettings settings, EngineStatus status, EngineAccessibility accessibility,
                       EngineControls controls, EngineContext context, StatusItemView& view,
                       StatusMenuActions& shell);
  void redrawOnMain(StatusRefresh refresh);
  // Only while the engine lives.
  void redraw(const StatusRefresh& refresh);
  StatusItemState state() const;
  void engineWillChange();

  EngineSettings settings_;
  EngineStatus status_;
  EngineAccessibility accessibility_;
  EngineControls controls_;
  EngineContext context_;
  StatusItemView& view_;
  StatusMenuActions& shell_;
  std::vector<Subscription> subscriptions_;
  // Engine changes are looked at once per main-queue turn at most.
  std::atomic<bool> engineCheckPending_{false};
  int64_t lastCorrectionFired_ = 0;
  bool lastTapDead_ = false;
  bool lastKeysPartial_ = false;
  std::string keysUnavailableReason_;
};

}  // namespace tessa
