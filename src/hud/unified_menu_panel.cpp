#include "hud/unified_menu_panel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include <fmt/format.h>


namespace tessa {

namespace {

std::mutex& sharedLock() {
  static std::mutex m;
  return m;
}
std::shared_ptr<UnifiedMenuPanel>& sharedSlot() {
  static std::shared_ptr<UnifiedMenuPanel> panel;
  return panel;
}

struct AutoDismiss {
  double stay;
  double fade;
};

// How long each kind stays on screen and how long it takes to fade.
std::optional<AutoDismiss> autoDismissFor(const DisplayState& s) {
  using K = DisplayState::Kind;
  switch (s.kind()) {
    case K::ask: return AutoDismiss{4.5, 0.45};
    case K::confirmedForward: return AutoDismiss{s.as<DisplayState::ConfirmedForward>()->duration, 0.3};
    case K::confirmedReverted: return AutoDismiss{2.2, 0.35};
    case K::confirmedRedo: return AutoDismiss{2.2, 0.35};
    case K::status: return AutoDismiss{3.5, 0.35};
    case K::statusProgress: return AutoDismiss{s.as<DisplayState::StatusProgress>()->duration + 0.5, 0.35};
    case K::actionable: return AutoDismiss{8.0, 0.45};
    case K::actionableCountdown:
      return AutoDismiss{s.as<DisplayState::ActionableCountdown>()->duration + 0.4, 0.25};
    case K::idle: return std::nullopt;
  }
  return std::nullopt;
}

HudAnchor anchorOf(bool below, bool topCenter) {
  if (topCenter) return HudAnchor::topCenter;
  return below ? HudAnchor::statusItem : HudAnchor::caret;
}

// 4-point margins inside the screen's visible frame; a panel larger than
// the visible frame is aligned to its left and bottom margins.
HudPoint clampIntoScreen(const ScreenInfo& screen, double x, double y, double w, double h) {
  const Rect& v = screen.visibleFrame;
  double minX = v.x + 4, minY = v.y + 4;
  double cx = std::min(std::max(x, minX), std::max(v.x + v.width - w - 4, minX));
  double cy = std::min(std::max(y, minY), std::max(v.y + v.height - h - 4, minY));
  return {cx, cy};
}

}  // namespace

const char* hudAnchorName(HudAnchor anchor) {
  switch (anchor) {
    case HudAnchor::caret: return "caret";
    case HudAnchor::statusItem: return "statusItem";
    case HudAnchor::topCenter: return "topCenter";
  }
  return "caret";
}

std::string hudDoubleDescription(double value) {
  std::string s = fmt::format("{}", value);
  if (s.find_first_of(".eEni") == std::string::npos) s += ".0";
  return s;
}


// ------------------------------------------------------------------ lifetime

std::shared_ptr<UnifiedMenuPanel> UnifiedMenuPanel::create(HudEnvironment env) {
  return std::shared_ptr<UnifiedMenuPanel>(new UnifiedMenuPanel(std::move(env)));
}

UnifiedMenuPanel::UnifiedMenuPanel(HudEnvironment env) : env_(std::move(env)) {}

UnifiedMenuPanel::~UnifiedMenuPanel() {
  fadeTimer_.cancel();
  expireGraceTimer_.cancel();
}

UnifiedMenuPanel* UnifiedMenuPanel::shared() {
  std::lock_guard lock(sharedLock());
  return sharedSlot().get();
}

void UnifiedMenuPanel::installShared(std::shared_ptr<UnifiedMenuPanel> panel) {
  std::lock_guard lock(sharedLock());
  sharedSlot() = std::move(panel);
}

void UnifiedMenuPanel::checkOnMain(const char* operation) const {
  if (env_.main && !env_.main->runsTasksOnCurrentThread()) {
    std::fprintf(stderr, "Fatal: UnifiedMenuPanel.%s must be called on the main queue\n", operation);
    std::abort();
  }
}

// --------------------------------------------------------------- window model

double UnifiedMenuPanel::alphaValue() const {
  if (!alphaAnimation_) return alpha_;
  const auto& a = *alphaAnimation_;
  double t = now() - a.start;
  if (a.duration <= 0 || t >= a.duration) return a.to;
  if (t <= 0) return a.from;
  return a.from + (a.to - a.from) * (t / a.duration);
}

void UnifiedMenuPanel::setAlpha(double alpha) {
  sendWillChange();
  alphaAnimation_.reset();
  alpha_ = alpha;
}

void UnifiedMenuPanel::animateAlpha(double to, double duration, std::function<void(UnifiedMenuPanel&)> completion) {
  sendWillChange();
  double from = alphaValue();
  double start = now();
  alphaAnimation_ = AlphaAnimation{from, to, start, duration};
  auto weak = weakPanel();
  env_.main->postDelayed(std::max(duration, 0.0), [weak, start, to, completion = std::move(completion)] {
    auto panel = weak.lock();
    if (!panel) return;
    // The animation has reached its end value unless a later one replaced it.
    if (panel->alphaAnimation_ && panel->alphaAnimation_->start == start && panel->alphaAnimation_->to == to) {
      panel->alphaAnimation_.reset();
      panel->alpha_ = to;
    }
    if (completion) completion(*panel);
  });
}

void UnifiedMenuPanel::orderFront() {
  sendWillChange();
  visible_ = true;
}

void UnifiedMenuPanel::orderOut() {
  sendWillChange();
  visible_ = false;
  if (!shown_.empty() && !shown_.back().hiddenAt) shown_.back().hiddenAt = now();
}

void UnifiedMenuPanel::setFrameIfDifferent(const Rect& frame) {
  if (frame == frame_) return;
  sendWillChange();
  frame_ = frame;
}

// ----------------------------------------------------------------------- show

void UnifiedMenuPanel::show(DisplayState state, int priority, bool positionBelowStatusButton,
                            bool positionTopCenter, bool persistent) {
  // A process without an application bundle has no panel to show.
  if (!env_.hasBundleIdentifier) {
    record(state, priority, positionBelowStatusButton, positionTopCenter);
    state_.displayState.set(std::move(state));
    return;
  }
  double t = now();
  double elapsed = t - currentShowTimestamp_;
  bool busy = visible_ && alphaValue() > 0.1 && !isDismissing_;
  if (busy && (priority < activePriority_ ||
               (priority >= 2 && priority == activePriority_ && elapsed < kEqualPriorityHoldSeconds))) {
    if (env_.appLog) {
      env_.appLog->info("Queueing popup request (priority " + std::to_string(priority) + ", active " +
                            std::to_string(activePriority_) + ", elapsed " + hudDoubleDescription(elapsed) + "s)",
                        LogCategory::keyboard);
    }
    pendingQueue_.push_back(
        PendingRequest{std::move(state), priority, positionBelowStatusButton, positionTopCenter, persistent, t});
    std::stable_sort(pendingQueue_.begin(), pendingQueue_.end(),
                     [](const PendingRequest& a, const PendingRequest& b) { return a.priority > b.priority; });
    return;
  }

  // The request takes the screen, whatever was fading, hidden or transparent.
  currentShowTimestamp_ = t;
  activePriority_ = priority;
  uint64_t g = ++showGeneration_;
  fadeTimer_.cancel();
  fadeTimer_ = {};
  expireGraceTimer_.cancel();
  expireGraceTimer_ = {};
  isDismissing_ = false;
  state_.isExpired.set(false);

  // The shortcut hint is shown with the first five correction notices of
  // the installation.
  int64_t hintCount = env_.defaults ? env_.defaults->integerForKey("correctionHintShownCount") : 0;
  state_.showHint.set(hintCount < 5);
  if (state.isCorrectionNotice() && hintCount < 5 && env_.defaults)
    env_.defaults->setInteger("correctionHintShownCount", hintCount + 1);

  bool onScreen = visible_ && alphaValue() > 0;
  bool askToAsk =
      state_.displayState.get().kind() == DisplayState::Kind::ask && state.kind() == DisplayState::Kind::ask;
  if (!persistent) startAutoDismissTimer(state);

  if (!onScreen) {
    apply(g, state, priority, positionBelowStatusButton, positionTopCenter);
    setAlpha(0);
    orderFront();
    animateAlpha(1, kCrossFadeSeconds, {});
  } else if (!askToAsk) {
    animateAlpha(0, kCrossFadeSeconds,
                 [g, state = std::move(state), priority, positionBelowStatusButton,
                  positionTopCenter](UnifiedMenuPanel& panel) {
                   // A dismiss that began during the first half wins: the
                   // notice must not come back with no timer to close it.
                   if (panel.showGeneration_ != g || panel.isDismissing_) return;
                   panel.apply(g, state, priority, positionBelowStatusButton, positionTopCenter);
                   panel.animateAlpha(1, kCrossFadeSeconds, {});
                 });
  } else {
    apply(g, state, priority, positionBelowStatusButton, positionTopCenter);
  }
}

void UnifiedMenuPanel::startAutoDismissTimer(const DisplayState& state) {
  auto plan = autoDismissFor(state);
  if (!plan) return;
  HudCallback onDismiss;
  if (const auto* ask = state.as<DisplayState::Ask>()) onDismiss = ask->onDismiss;
  auto weak = weakPanel();
  double fade = plan->fade;
  fadeTimer_ = env_.main->postDelayed(plan->stay, [weak, fade, onDismiss] {
    if (auto panel = weak.lock()) {
      panel->fadeTimer_ = {};
      panel->dismiss(fade);
    }
    // The proposal's owner hears of the dismissal even when the panel is gone.
    if (onDismiss) onDismiss();
  });
}

void UnifiedMenuPanel::apply(uint64_t generation, const DisplayState& state, int priority, bool below,
                             bool topCenter) {
  if (showGeneration_ != generation) return;
  record(state, priority, below, topCenter);
  state_.displayState.set(state);
  // Size and place after the view has laid out the new content.
  auto weak = weakPanel();
  env_.main->post([weak, generation, below, topCenter] {
    auto panel = weak.lock();
    if (!panel || panel->showGeneration_ != generation) return;
    HudSize size = panel->env_.fittingSize ? panel->env_.fittingSize() : HudSize{};
    panel->reposition(below, topCenter, std::max(size.width, kMinWidth), std::max(size.height, kMinHeight));
  });
}

void UnifiedMenuPanel::record(const DisplayState& state, int priority, bool below, bool topCenter) {
  ShownNotice n;
  n.at = now();
  n.priority = priority;
  n.anchor = anchorOf(below, topCenter);
  n.content = state.describe();
  if (!shown_.empty() && !shown_.back().hiddenAt) shown_.back().hiddenAt = n.at;
  shown_.push_back(std::move(n));
}

nlohmann::ordered_json UnifiedMenuPanel::noticesTranscript(double origin) const {
  auto list = nlohmann::ordered_json::array();
  auto rounded = [](double v) { return std::round(v * 1000.0) / 1000.0; };
  for (const auto& n : shown_) {
    nlohmann::ordered_json j;
    j["at"] = rounded(n.at - origin);
    j["priority"] = n.priority;
    j["anchor"] = hudAnchorName(n.anchor);
    for (auto it = n.content.begin(); it != n.content.end(); ++it) j[it.key()] = it.value();
    if (n.expired) j["expired"] = true;
    if (n.hiddenAt) j["until"] = rounded(*n.hiddenAt - origin);
    list.push_back(std::move(j));
  }
  return list;
}

// ----------------------------------------------------------------- placement

std::optional<HudPoint> UnifiedMenuPanel::belowStatusButtonOrigin(double width, double height) const {
  if (!env_.placement.statusButton) return std::nullopt;
  auto button = env_.placement.statusButton();
  if (!button) return std::nullopt;
  const Rect& r = button->first;
  double x = r.x + r.width / 2 - width / 2;
  double y = r.y - height - 8;  // the panel's top edge 8 points below the button
  return clampIntoScreen(button->second, x, y, width, height);
}

std::optional<HudPoint> UnifiedMenuPanel::topCenterOrigin(double width, double height) const {
  if (!env_.placement.mainScreen) return std::nullopt;
  auto screen = env_.placement.mainScreen();
  if (!screen) return std::nullopt;
  const Rect& f = screen->frame;
  double x = f.x + f.width / 2 - width / 2;
  double y = f.y + f.height - height - 40;  // clear of the menu bar
  return clampIntoScreen(*screen, x, y, width, height);
}

void UnifiedMenuPanel::reposition(bool positionBelowStatusButton, bool positionTopCenter, double width,
                                  double height) {
  if (!positionTopCenter) {
    std::optional<HudPoint> origin;
    if (positionBelowStatusButton) {
      origin = belowStatusButtonOrigin(width, height);
    } else if (env_.placement.caretOrigin) {
      origin = env_.placement.caretOrigin(width, height);
    }
    if (origin) {
      setFrameIfDifferent(Rect{origin->x, origin->y, width, height});
      return;
    }
  }
  auto top = topCenterOrigin(width, height);
  HudPoint origin = top ? *top : HudPoint{frame_.x, frame_.y};
  setFrameIfDifferent(Rect{origin.x, origin.y, width, height});
}

void UnifiedMenuPanel::refitToContent() {
  if (!visible_ || !env_.fittingSize) return;
  HudSize size = env_.fittingSize();
  double width = std::max(size.width, kMinWidth), height = std::max(size.height, kMinHeight);
  if (width == frame_.width && height == frame_.height) return;
  // y grows upwards: the top edge is y + height.
  setFrameIfDifferent(Rect{frame_.x, frame_.y + frame_.height - height, width, height});
}

// -------------------------------------------------------------- closing

void UnifiedMenuPanel::dismiss(double fadeDuration) {
  if (!visible_ || alphaValue() <= 0 || isDismissing_) return;
  isDismissing_ = true;
  uint64_t g = showGeneration_;
  fadeTimer_.cancel();
  fadeTimer_ = {};
  expireGraceTimer_.cancel();
  expireGraceTimer_ = {};
  animateAlpha(0, fadeDuration, [g](UnifiedMenuPanel& panel) {
    // A show during the fade has taken the screen: leave it alone.
    if (panel.showGeneration_ != g || panel.alphaValue() >= 0.01) return;
    panel.orderOut();
    panel.activePriority_ = 0;
    panel.isDismissing_ = false;
    // A show that takes the screen before the drain runs keeps its content;
    // the queue then waits for that notice to close.
    auto weak = panel.weakPanel();
    panel.env_.main->post([weak, g] {
      if (auto p = weak.lock(); p && p->showGeneration_ == g) p->drainPendingQueue();
    });
  });
}

void UnifiedMenuPanel::drainPendingQueue() {
  state_.displayState.set(DisplayState::idle());
  while (!pendingQueue_.empty()) {
    PendingRequest next = std::move(pendingQueue_.front());
    pendingQueue_.erase(pendingQueue_.begin());
    double age = now() - next.timestamp;
    if (age <= kStaleAfterSeconds || next.priority > 2) {
      show(std::move(next.state), next.priority, next.positionBelowStatusButton, next.positionTopCenter,
           next.persistent);
      return;
    }
  }
}

void UnifiedMenuPanel::expireActiveNotice() {
  removePending(2);
  if (visible_ && !isDismissing_ && (activePriority_ == 2 || activePriority_ == 3)) {
    fadeTimer_.cancel();
    fadeTimer_ = {};
    state_.isExpired.set(true);
    if (!shown_.empty()) shown_.back().expired = true;
    expireGraceTimer_.cancel();
    auto weak = weakPanel();
    expireGraceTimer_ = env_.main->postDelayed(kExpireGraceSeconds, [weak] {
      if (auto panel = weak.lock()) {
        panel->expireGraceTimer_ = {};
        panel->dismiss(0.45);
      }
    });
  }
}

void UnifiedMenuPanel::removePending(int priority) {
  checkOnMain("removePending");
  std::erase_if(pendingQueue_, [priority](const PendingRequest& r) { return r.priority == priority; });
}

bool UnifiedMenuPanel::cancelActiveActionable() {
  checkOnMain("cancelActiveActionable");
  if (env_.hasBundleIdentifier && (!visible_ || alphaValue() <= 0.1 || isDismissing_)) return false;
  HudCallback action;
  const auto& current = state_.displayState.get();
  if (const auto* a = current.as<DisplayState::Actionable>()) {
    action = a->onAction;
  } else if (const auto* c = current.as<DisplayState::ActionableCountdown>()) {
    action = c->onAction;
  } else {
    return false;
  }
  uint64_t g = showGeneration_;
  if (action) action();
  if (!env_.hasBundleIdentifier) {
    state_.displayState.set(DisplayState::idle());
  } else if (showGeneration_ == g) {
    // An action that put up a notice of its own keeps it on screen.
    dismiss(0.15);
  }
  return true;
}

}  // namespace tessa
