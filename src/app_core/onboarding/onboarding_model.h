#pragma once
// The first-run walk-through without any toolkit: which page a step shows,
// the progress dots, the once-a-second Accessibility poll, and what each
// page's buttons do. Pages only move forward: wording level, Accessibility
// permission, switcher key, start at login, usage-statistics consent; any
// other step shows the shortcut cheat sheet with its typing sandbox.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app_core/accessibility_consent.h"
#include "base/task_runner.h"
#include "engine/value_types.h"
#include "app_core/onboarding/onboarding_texts.h"

namespace tessa {

// Colours the pages ask for by name; the widgets map them to real ones.
enum class OnboardingColor { primary, secondary, accent, green, orange, blue, purple, teal };

// One point of a list: a symbol beside a wrapping caption.
struct OnboardingFeature {
  std::string icon;
  std::string text;
  OnboardingColor color = OnboardingColor::primary;
};

struct SwitcherCardContent {
  SwitcherKey key = SwitcherKey::capslock;
  std::string symbol;
  OnboardingColor symbolColor = OnboardingColor::accent;
  std::string title;
  std::string badge;  // empty: none
  std::string description;
  bool selected = false;  // the card of the current setting is outlined
};

struct HotkeyRowContent {
  std::vector<std::string> keys;  // key caps, left to right
  std::string text;
  bool optionBadge = false;  // the opt-in features carry an "Option" badge
};

struct SandboxExample {
  std::string raw;
  std::string target;
};

class OnboardingModel : public std::enable_shared_from_this<OnboardingModel> {
 public:
  enum class Page { level, permission, switcher, startup, telemetry, hotkey };
  enum class DotTone { current, finished, upcoming };
  struct Dot {
    DotTone tone = DotTone::upcoming;
    int width = 6;
    int height = 5;
  };

  static constexpr int kDotCount = 5;
  static constexpr double kPollInterval = 1.0;
  static constexpr const char* kHasPromptedAutoStartKey = "hasPromptedAutoStart";
  static constexpr const char* kHasPromptedTelemetrySharingKey = "hasPromptedTelemetrySharing";

  struct Hooks {
    std::function<void()> changed;  // after any change of the state below
    std::function<void()> dismiss;  // closes the sheet (onboarding completed)
    // The user-confirmed Accessibility repair, which resets the grant and
    // restarts the application. Empty: this build has none to offer.
    std::function<void()> repairAccessibility;
  };

  // The pages write the engine's settings and ask for its Accessibility
  // trust; the poll runs on the context's main queue.
  static std::shared_ptr<OnboardingModel> create(EngineSettings settings, EngineAccessibility accessibility,
                                                 EngineContext context, Hooks hooks);
  ~OnboardingModel();
  OnboardingModel(const OnboardingModel&) = delete;
  OnboardingModel& operator=(const OnboardingModel&) = delete;

  static Page pageFor(int step);
  // The spacing of the column the page's parts stand in.
  static int pageSpacing(Page page);
  // Dot `index` (0…4) at `step`: the current page a wide accent bar, pages
  // done faint accent, pages to come faint grey.
  static Dot dot(int index, int step);

  int step() const { return step_; }
  Page page() const { return pageFor(step_); }
  void setStep(int step);
  bool showPayloadInspector() const { return showPayloadInspector_; }
  bool showRepairConfirmation() const { return showRepairConfirmation_; }
  const std::string& sandboxText() const { return sandboxText_; }
  void setSandboxText(std::string text) { sandboxText_ = std::move(text); }
  bool isDismissed() const { return dismissed_; }
  std::string text(const std::string& key) const;

  // ------------------------------------------------ the Accessibility poll
  // Ticks every second on the engine's main queue until this model goes.
  void startPolling();
  // One tick: re-checks the engine's flag when the system's answer differs,
  // and leaves the permission page once either says granted.
  void pollAccessibility();

  // ------------------------------------------------- wording level (0)
  void chooseLevel(CopywritingLevel level);

  // ------------------------------------------------- permission (1)
  // Granted when the system trusts the process or the engine says so.
  bool isPermissionGranted() const;
  std::vector<OnboardingFeature> whyRows() const;
  std::vector<OnboardingFeature> neverRows() const;
  // The grant button: where it turns the desktop's switch on, the user is
  // asked first (consent().isAsking()).
  void openAccessibilitySettings();
  AccessibilityConsent& consent() { return consent_; }
  void continueAfterPermission() { setStep(2); }
  void skipPermission() { setStep(2); }
  void troubleshoot();
  void confirmRepair();
  void cancelRepair();

  // ------------------------------------------------- switcher key (2)
  std::vector<SwitcherCardContent> switcherCards() const;
  bool showsSpotlightWarning() const;
  // While another program keeps the chosen key, so that it cannot switch:
  // the warning naming it; empty otherwise, and where nothing can tell.
  std::string switcherTakenWarning() const;
  // Stores the key and moves on; a newly chosen key another program keeps
  // stays on the page with its warning, and choosing it again moves on.
  void chooseSwitcher(SwitcherKey key);

  // ------------------------------------------------- start at login (3)
  void enableAutoStart();
  void skipAutoStart();

  // ------------------------------------------------- statistics consent (4)
  std::vector<OnboardingFeature> telemetryPoints() const;
  void answerTelemetry(bool share);
  void inspectPayload();
  void payloadInspectorClosed();

  // ------------------------------------------------- cheat sheet (other)
  std::vector<HotkeyRowContent> hotkeyRows() const;
  std::vector<SandboxExample> sandboxExamples() const;
  bool showsInstantUndoHint() const { return !text("onboarding_hotkey_instant_undo").empty(); }
  void finish();

 private:
  OnboardingModel(EngineSettings settings, EngineAccessibility accessibility, EngineContext context, Hooks hooks);
  void changed();
  void dismiss();
  void setAutoStart(bool enable);

  EngineSettings settings_;
  EngineAccessibility accessibility_;
  EngineContext context_;
  Hooks hooks_;
  AccessibilityConsent consent_{settings_, accessibility_, context_};
  int step_ = 0;
  std::string sandboxText_;
  bool showPayloadInspector_ = false;
  bool showRepairConfirmation_ = false;
  bool dismissed_ = false;
  TaskHandle poll_;
};

}  // namespace tessa
