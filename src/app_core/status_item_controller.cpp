#include "app_core/status_item_controller.h"

#include "engine/keyboard_engine.h"

namespace tessa {

std::shared_ptr<StatusItemController> StatusItemController::create(const std::shared_ptr<KeyboardEngine>& engine,
                                                                   StatusItemView& view, StatusMenuActions& shell) {
  return std::shared_ptr<StatusItemController>(new StatusItemController(engine, view, shell));
}

StatusItemController::StatusItemController(const std::shared_ptr<KeyboardEngine>& engine, StatusItemView& view,
                                           StatusMenuActions& shell)
    : engine_(engine), main_(engine->mainQueue()), view_(view), shell_(shell) {}

void StatusItemController::setUp() {
  auto e = engine_.lock();
  if (!e) return;
  e->isAXAvailableInFocusedApp.set(e->frontmostAppTextAccess() == AXTextAccess::available);
  Accessibility* ax = e->platform().accessibility;
  e->isAccessibilityGranted.set(ax && ax->isProcessTrusted(false));
  if (view_.hasButton()) {
    e->isCapsLockOn.set(e->capsLockState());
    StatusRefresh all;
    all.image = all.tooltip = true;
    redraw(*e, all);
  }

  // The tooltip names the tap's trouble and the icon shows it; a new
  // correction may follow a recovery. Neither has a notification of its own,
  // so every engine change is looked at once per main-queue turn.
  lastCorrectionFired_ = e->statsCorrectionFired.get();
  lastTapDead_ = e->isEventTapDead.get();
  std::weak_ptr<StatusItemController> weak = weak_from_this();
  subscriptions_.push_back(e->subscribeWillChange([weak] {
    if (auto self = weak.lock()) self->engineWillChange();
  }));
  e->onLiveBufferChanged = [weak] {
    if (auto self = weak.lock()) self->refreshStatusIcon();
  };
}

void StatusItemController::engineWillChange() {
  if (engineCheckPending_.exchange(true)) return;
  std::weak_ptr<StatusItemController> weak = weak_from_this();
  main_.post([weak] {
    auto self = weak.lock();
    if (!self) return;
    self->engineCheckPending_ = false;
    auto e = self->engine_.lock();
    if (!e) return;
    StatusRefresh refresh;
    if (e->isEventTapDead.get() != self->lastTapDead_) refresh.image = refresh.tooltip = true;
    if (e->statsCorrectionFired.get() != self->lastCorrectionFired_) refresh.tooltip = true;
    // The tap learns whether another program holds typing keys when it is
    // created (and again when it is recreated).
    const bool partial = e->platform().events && !e->platform().events->filtersEveryKey();
    if (partial != self->lastKeysPartial_) refresh.image = refresh.tooltip = true;
    self->lastKeysPartial_ = partial;
    self->lastTapDead_ = e->isEventTapDead.get();
    self->lastCorrectionFired_ = e->statsCorrectionFired.get();
    if (refresh.image || refresh.tooltip) self->redraw(*e, refresh);
  });
}

void StatusItemController::observeNotifications() {
  auto e = engine_.lock();
  if (!e) return;
  std::weak_ptr<StatusItemController> weak = weak_from_this();
  for (const auto& name : statusItemNotificationNames()) {
    subscriptions_.push_back(e->notifications().addObserver(name, [weak](const Notification& n) {
      if (auto self = weak.lock()) self->handleNotification(n);
    }));
  }
}

void StatusItemController::handleNotification(const Notification& n) {
  if (n.name == notification::appPauseStateChanged) {
    if (auto e = engine_.lock())
      e->log(std::string("AppPauseStateChanged notification: isPaused = ") + (e->isPaused.get() ? "true" : "false"));
  }
  if (auto refresh = statusRefreshFor(n)) redrawOnMain(*refresh);
}

void StatusItemController::refreshStatusIcon() {
  StatusRefresh image;
  image.image = true;
  redrawOnMain(image);
}

void StatusItemController::redrawOnMain(StatusRefresh refresh) {
  std::weak_ptr<StatusItemController> weak = weak_from_this();
  main_.post([weak, refresh = std::move(refresh)] {
    auto self = weak.lock();
    if (!self) return;
    if (auto e = self->engine_.lock()) self->redraw(*e, refresh);
  });
}

void StatusItemController::redraw(KeyboardEngine& e, const StatusRefresh& refresh) {
  if (!view_.hasButton()) return;
  StatusItemState state = StatusItemState::of(e);
  state.keysUnavailableReason = keysUnavailableReason_;
  StatusIconInputs inputs = StatusIconInputs::of(state);
  if (refresh.capsLockOn) inputs.capsLockOn = *refresh.capsLockOn;
  if (refresh.ignoredIndicator) inputs.ignoredIndicator = *refresh.ignoredIndicator;
  if (refresh.image) view_.setIcon(statusIcon(state, inputs));
  if (refresh.tooltip) view_.setToolTip(statusTooltip(state, inputs.accessibilityMissing));
}

StatusClickAction StatusItemController::click(const StatusClick& click) {
  auto e = engine_.lock();
  bool tornDown = e && e->recovery.isEmergencyTornDown;
  StatusClickAction action = statusClickAction(click, tornDown);
  if (action == StatusClickAction::restartTap) {
    e->log("Status item clicked while torn down - restarting the tap");
    e->userRestartTap();
  } else if (action == StatusClickAction::openDashboard) {
    shell_.openDashboard();
  }
  return action;
}

std::vector<StatusMenuItem> StatusItemController::menu() const {
  auto e = engine_.lock();
  return e ? buildStatusMenu(StatusItemState::of(*e)) : std::vector<StatusMenuItem>{};
}

void StatusItemController::perform(StatusMenuAction action) {
  if (auto e = engine_.lock()) performStatusMenuAction(*e, action, shell_);
}

}  // namespace tessa
