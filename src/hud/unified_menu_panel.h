#pragma once
// The one floating notice panel: arbitrates competing notices by priority
// (a request may wait in a queue), swaps content with a short cross-fade,
// sizes and places itself, and closes each notice after a per-kind time.
//
// The window itself is not drawn here. Its visibility, opacity (with the
// running fade), frame and content are this object's own logical state, so
// the rules never depend on a window system; a view observes the panel and
// its UnifiedMenuState and mirrors them. Everything runs on the main queue.
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/clock.h"
#include "base/observable.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "base/app_log.h"
#include "hud/unified_menu_state.h"
#include "platform/accessibility.h"
#include "platform/screens.h"

namespace tessa {


struct HudPoint {
  double x = 0, y = 0;
  bool operator==(const HudPoint&) const = default;
};
struct HudSize {
  double width = 0, height = 0;
};
// Where a notice asked to stand.
enum class HudAnchor { caret, statusItem, topCenter };
const char* hudAnchorName(HudAnchor anchor);

// What the desktop tells the panel about where it may stand, in
// window-system coordinates (y grows upwards). Each source may be missing or
// answer none; the panel then falls back.
struct HudPlacementSources {
  // The status-bar button's bounds in screen coordinates and the screen of
  // its window.
  std::function<std::optional<std::pair<Rect, ScreenInfo>>()> statusButton;
  std::function<std::optional<ScreenInfo>()> mainScreen;
  // The origin near the text caret for a panel of this size (caret
  // positioning), or none.
  std::function<std::optional<HudPoint>(double width, double height)> caretOrigin;
};

struct HudEnvironment {
  const Clock* clock = nullptr;
  TaskRunner* main = nullptr;
  UserDefaults* defaults = nullptr;  // "correctionHintShownCount"
  const AppLog* appLog = nullptr;    // the "Keyboard" logger's queueing lines
  // False for a process hosted without an application bundle: the panel then
  // only updates its state (no window, no queue, no timers).
  bool hasBundleIdentifier = true;
  HudPlacementSources placement;
  // The fitting size of the view's current content; none gives the minimum.
  std::function<HudSize()> fittingSize;
};

class UnifiedMenuPanel final : public ObservableObject, public std::enable_shared_from_this<UnifiedMenuPanel> {
 public:
  // [design] the panel's least size and its timings.
  static constexpr double kMinWidth = 240, kMinHeight = 44;
  static constexpr double kCrossFadeSeconds = 0.15;
  static constexpr double kEqualPriorityHoldSeconds = 0.9;
  static constexpr double kStaleAfterSeconds = 2.5;
  static constexpr double kExpireGraceSeconds = 0.9;

  static std::shared_ptr<UnifiedMenuPanel> create(HudEnvironment env);
  // The process's panel, once the application has installed one.
  static UnifiedMenuPanel* shared();
  static void installShared(std::shared_ptr<UnifiedMenuPanel> panel);
  ~UnifiedMenuPanel();

  UnifiedMenuPanel(const UnifiedMenuPanel&) = delete;
  UnifiedMenuPanel& operator=(const UnifiedMenuPanel&) = delete;

  // The caller is on the main thread. `positionTopCenter` wins over
  // `positionBelowStatusButton`; with neither the panel goes near the caret.
  // `persistent` suppresses the auto-dismiss timer.
  void show(DisplayState state, int priority, bool positionBelowStatusButton, bool positionTopCenter,
            bool persistent = false);
  // Fades the notice out, hides the panel and shows the next waiting request.
  void dismiss(double fadeDuration);
  // Closes the undo window of the notice on screen.
  void expireActiveNotice();
  // Removes every queued request of exactly that priority. Main queue only.
  void removePending(int priority);
  // Runs the action of a visible actionable notice and closes it; false when
  // there is none. Main queue only.
  bool cancelActiveActionable();
  void reposition(bool positionBelowStatusButton, bool positionTopCenter, double width, double height);
  // The notice on screen changed size without a new show (its undo window
  // closed and its detail grew): takes the fitting size again, keeping the
  // panel's top-left corner where it stands.
  void refitToContent();
  void drainPendingQueue();

  // The view is built after the panel: it binds its fitting size and the
  // status button's bounds here once it exists (an empty function unbinds).
  void setFittingSize(std::function<HudSize()> fittingSize) { env_.fittingSize = std::move(fittingSize); }
  void setStatusButtonSource(std::function<std::optional<std::pair<Rect, ScreenInfo>>()> source) {
    env_.placement.statusButton = std::move(source);
  }
  // The clock the panel's fades and timers run on; the view's rings follow it.
  const Clock& clock() const { return *env_.clock; }

  UnifiedMenuState& state() { return state_; }
  const UnifiedMenuState& state() const { return state_; }

  // ---- the window model
  bool isVisible() const { return visible_; }
  double alphaValue() const;
  Rect frame() const { return frame_; }
  bool isDismissing() const { return isDismissing_; }
  int activePriority() const { return activePriority_; }
  uint64_t showGeneration() const { return showGeneration_; }
  double currentShowTimestamp() const { return currentShowTimestamp_; }
  bool hasFadeTimer() const { return fadeTimer_.valid() && !fadeTimer_.isCancelled(); }
  bool hasExpireGraceTimer() const { return expireGraceTimer_.valid() && !expireGraceTimer_.isCancelled(); }
  // The running opacity animation, for a view that mirrors it.
  struct AlphaAnimation {
    double from = 0, to = 0, start = 0, duration = 0;
  };
  std::optional<AlphaAnimation> alphaAnimation() const { return alphaAnimation_; }

  struct PendingRequest {
    DisplayState state;
    int priority = 0;
    bool positionBelowStatusButton = false;
    bool positionTopCenter = false;
    // Kept so that a notice asked to stay is not closed by a timer just
    // because it had to wait.
    bool persistent = false;
    double timestamp = 0;  // uptime of the request
  };
  const std::vector<PendingRequest>& pendingQueue() const { return pendingQueue_; }

  // ---- what the panel has shown, for transcripts
  struct ShownNotice {
    double at = 0;  // uptime when the content reached the screen
    int priority = 0;
    HudAnchor anchor = HudAnchor::caret;
    nlohmann::ordered_json content;  // DisplayState::describe()
    std::optional<double> hiddenAt;  // uptime when the panel went out
    bool expired = false;
  };
  const std::vector<ShownNotice>& shownNotices() const { return shown_; }
  // The shown notices as a JSON list, times relative to `origin`.
  nlohmann::ordered_json noticesTranscript(double origin = 0) const;

 private:
  explicit UnifiedMenuPanel(HudEnvironment env);
  double now() const { return env_.clock->uptime(); }
  void apply(uint64_t generation, const DisplayState& state, int priority, bool below, bool topCenter);
  void startAutoDismissTimer(const DisplayState& state);
  void animateAlpha(double to, double duration, std::function<void(UnifiedMenuPanel&)> completion);
  void setAlpha(double alpha);
  void orderFront();
  void orderOut();
  void setFrameIfDifferent(const Rect& frame);
  std::optional<HudPoint> belowStatusButtonOrigin(double width, double height) const;
  std::optional<HudPoint> topCenterOrigin(double width, double height) const;
  void record(const DisplayState& state, int priority, bool below, bool topCenter);
  void checkOnMain(const char* operation) const;
  std::weak_ptr<UnifiedMenuPanel> weakPanel() { return weak_from_this(); }

  HudEnvironment env_;
  UnifiedMenuState state_;
  TaskHandle fadeTimer_;
  TaskHandle expireGraceTimer_;
  bool isDismissing_ = false;
  uint64_t showGeneration_ = 0;
  int activePriority_ = 0;
  double currentShowTimestamp_ = -std::numeric_limits<double>::infinity();  // the distant past
  std::vector<PendingRequest> pendingQueue_;

  bool visible_ = false;
  double alpha_ = 1.0;
  std::optional<AlphaAnimation> alphaAnimation_;
  Rect frame_{0, 0, 260, 44};
  std::vector<ShownNotice> shown_;
};

// The default decimal form of a double: shortest round-trip digits, and a
// whole number keeps ".0" ("0.5", "1.0").
std::string hudDoubleDescription(double value);

}  // namespace tessa
