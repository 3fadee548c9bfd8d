#include "app_core/status_item_controller.h"

#include "engine/engine_notifications.h"
#include "platform/platform.h"

namespace tessa {

std::shared_ptr<StatusItemController> StatusItemController::create(EngineSettings settings, EngineStatus status,
                                                                   EngineAccessibility accessibility,
                                                                   EngineControls controls, EngineContext context,
                                                                   StatusItemView& view, StatusMenuActions& shell) {
  return std::shared_ptr<StatusItemController>(new StatusItemController(
      std::move(settings), std::move(status), std::move(accessibility), std::move(controls), std::move(context), view,
      shell));
}

StatusItemController::StatusItemController(EngineSettings settings, EngineStatus status,
                                           EngineAccessibility accessibility, EngineControls controls,
                                           EngineContext context, StatusItemView& view, StatusMenuActions& shell)
    : settings_(std::move(settings)),
      status_(std::move(status)),
      accessibility_(std::move(accessibility)),
      controls_(std::move(controls)),
      context_(std::move(context)),
      view_(view),
      shell_(shell) {}

StatusItemState StatusItemController::state() const {
  return StatusItemState::of(settings_, status_, accessibility_, context_.platform);
}

void StatusItemController::setUp() {
  auto alive = context_.owner.lock();
  if (!alive) return;
  status_.isAXAvailableInFocusedApp.set(status_.frontmostAppTextAccess() == AXTextAccess::available);
  Accessibility* ax = context_.platform.accessibility;
  accessibility_.isGranted.set(ax && ax->isProcessTrusted(false));
  if (view_.hasButton()) {
    status_.isCapsLockOn.set(status_.readCapsLockState());
    StatusRefresh all;
    all.image = all.tooltip = true;
    redraw(all);
  }

  // The tooltip names the tap's trouble and the icon shows it; a new
  // correction may follow a recovery. Neither has a notification of its own,
  // so every engine change is looked at once per main-queue turn.
  lastCorrectionFired_ = status_.correctionsFired.get();
  lastTapDead_ = status_.isEventTapDead.get();
  std::weak_ptr<StatusItemController> weak = weak_from_this();
  subscriptions_.push_back(settings_.subscribeWillChange([weak] {
    if (auto self = weak.lock()) self->engineWillChange();
  }));
  status_.onLiveBufferChanged = [weak] {
    if (auto self = weak.lock()) self->refreshStatusIcon();
  };
}

void StatusItemController::engineWillChange() {
  if (engineCheckPending_.exchange(true)) return;
  std::weak_ptr<StatusItemController> weak = weak_from_this();
  context_.main.post([weak] {
    auto self = weak.lock();
    if (!self) return;
    self->engineCheckPending_ = false;
    auto alive = self->context_.owner.lock();
    if (!alive) return;
    StatusRefresh refresh;
    if (self->status_.isEventTapDead.get() != self->lastTapDead_) refresh.image = refresh.tooltip = true;
    if (self->status_.correctionsFired.get() != self->lastCorrectionFired_) refresh.tooltip = true;
    // The tap learns whether another program holds typing keys when it is
    // created (and again when it is recreated).
    const EventSystem* events = self->context_.platform.events;
    const bool partial = events && !events->filtersEveryKey();
    if (partial != self->lastKeysPartial_) refresh.image = refresh.tooltip = true;
    self->lastKeysPartial_ = partial;
    self->lastTapDead_ = self->status_.isEventTapDead.get();
    self->lastCorrectionFired_ = self->status_.correctionsFired.get();
    if (refresh.image || refresh.tooltip) self->redraw(refresh);
  });
}

void StatusItemController::observeNotifications() {
  auto alive = context_.owner.lock();
  if (!alive) return;
  std::weak_ptr<StatusItemController> weak = weak_from_this();
  for (const auto& name : statusItemNotificationNames()) {
    subscriptions_.push_back(settings_.notifications.addObserver(name, [weak](const Notification& n) {
      if (auto self = weak.lock()) self->handleNotification(n);
    }));
  }
}

void StatusItemController::handleNotification(const Notification& n) {
  if (n.name == notification::appPauseStateChanged) {
    if (auto alive = context_.owner.lock())
      context_.log(std::string("AppPauseStateChanged notification: isPaused = ") +
                   (status_.isPaused.get() ? "true" : "false"));
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
  context_.main.post([weak, refresh = std::move(refresh)] {
    auto self = weak.lock();
    if (!self) return;
    if (auto alive = self->context_.owner.lock()) self->redraw(refresh);
  });
}

void StatusItemController::redraw(const StatusRefresh& refresh) {
  if (!view_.hasButton()) return;
  StatusItemState state = this->state();
  state.keysUnavailableReason = keysUnavailableReason_;
  StatusIconInputs inputs = StatusIconInputs::of(state);
  if (refresh.capsLockOn) inputs.capsLockOn = *refresh.capsLockOn;
  if (refresh.ignoredIndicator) inputs.ignoredIndicator = *refresh.ignoredIndicator;
  if (refresh.image) view_.setIcon(statusIcon(state, inputs));
  if (refresh.tooltip) view_.setToolTip(statusTooltip(state, inputs.accessibilityMissing));
}

StatusClickAction StatusItemController::click(const StatusClick& click) {
  auto alive = context_.owner.lock();
  bool tornDown = alive && status_.isEmergencyTornDown();
  StatusClickAction action = statusClickAction(click, tornDown);
  if (action == StatusClickAction::restartTap) {
    context_.log("Status item clicked while torn down - restarting the tap");
    controls_.restartTap();
  } else if (action == StatusClickAction::openDashboard) {
    shell_.openDashboard();
  }
  return action;
}

std::vector<StatusMenuItem> StatusItemController::menu() const {
  auto alive = context_.owner.lock();
  return alive ? buildStatusMenu(state()) : std::vector<StatusMenuItem>{};
}

void StatusItemController::perform(StatusMenuAction action) {
  if (auto alive = context_.owner.lock()) performStatusMenuAction(settings_, controls_, action, shell_);
}

}  // namespace tessa
