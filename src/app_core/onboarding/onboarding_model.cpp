#include "app_core/onboarding/onboarding_model.h"

#include "app_core/status_item_model.h"
#include "base/user_defaults.h"
#include "engine/system_keyboard.h"
#include "platform/platform.h"

namespace tessa {

std::shared_ptr<OnboardingModel> OnboardingModel::create(EngineSettings settings, EngineAccessibility accessibility,
                                                         EngineContext context, Hooks hooks) {
  return std::shared_ptr<OnboardingModel>(
      new OnboardingModel(std::move(settings), std::move(accessibility), std::move(context), std::move(hooks)));
}

OnboardingModel::OnboardingModel(EngineSettings settings, EngineAccessibility accessibility, EngineContext context,
                                 Hooks hooks)
    : settings_(std::move(settings)),
      accessibility_(std::move(accessibility)),
      context_(std::move(context)),
      hooks_(std::move(hooks)) {}

OnboardingModel::~OnboardingModel() { poll_.cancel(); }

OnboardingModel::Page OnboardingModel::pageFor(int step) {
  switch (step) {
    case 0: return Page::level;
    case 1: return Page::permission;
    case 2: return Page::switcher;
    case 3: return Page::startup;
    case 4: return Page::telemetry;
    default: return Page::hotkey;
  }
}

int OnboardingModel::pageSpacing(Page page) {
  switch (page) {
    case Page::level: return 24;
    case Page::permission: return 18;
    case Page::switcher: return 20;
    case Page::startup: return 22;
    case Page::telemetry: return 22;
    case Page::hotkey: return 20;
  }
  return 20;
}

OnboardingModel::Dot OnboardingModel::dot(int index, int step) {
  if (index == step) return {DotTone::current, 18, 5};
  return {index < step ? DotTone::finished : DotTone::upcoming, 6, 5};
}

void OnboardingModel::setStep(int step) {
  step_ = step;
  changed();
}

std::string OnboardingModel::text(const std::string& key) const { return settings_.localized(key); }

void OnboardingModel::changed() {
  if (hooks_.changed) hooks_.changed();
}

void OnboardingModel::dismiss() {
  dismissed_ = true;
  poll_.cancel();
  if (hooks_.dismiss) hooks_.dismiss();
}

// ------------------------------------------------------------------ poll

void OnboardingModel::startPolling() {
  poll_.cancel();
  std::weak_ptr<OnboardingModel> weak = weak_from_this();
  poll_ = context_.main.postRepeating(kPollInterval, [weak] {
    if (auto self = weak.lock()) self->pollAccessibility();
  });
}

void OnboardingModel::pollAccessibility() {
  Accessibility* accessibility = context_.platform.accessibility;
  bool trusted = accessibility && accessibility->isProcessTrusted(false);
  // The engine's answer lands on the main queue after this tick, so the
  // flag read below is still the one from before the re-check.
  bool engineGranted = accessibility_.isGranted.get();
  if (trusted != engineGranted) accessibility_.request(false);
  if (step_ == 1 && (trusted || engineGranted)) setStep(2);
}

// ------------------------------------------------------- wording level

void OnboardingModel::chooseLevel(CopywritingLevel level) {
  settings_.appCopywritingLevel.set(level);
  setStep(1);
}

// ---------------------------------------------------------- permission

bool OnboardingModel::isPermissionGranted() const {
  Accessibility* accessibility = context_.platform.accessibility;
  return (accessibility && accessibility->isProcessTrusted(false)) || accessibility_.isGranted.get();
}

std::vector<OnboardingFeature> OnboardingModel::whyRows() const {
  return {{"keyboard", text("onboarding_why_1")}, {"arrow.triangle.2.circlepath", text("onboarding_why_2")}};
}

std::vector<OnboardingFeature> OnboardingModel::neverRows() const {
  return {{"lock.shield", text("onboarding_not_2")},
          {"lock.fill", text("onboarding_not_3")},
          {"xmark.circle", text("onboarding_not_1")},
          {"hand.raised.fill", text("onboarding_not_4")},
          {"doc.on.clipboard.fill", text("onboarding_not_5")}};
}

void OnboardingModel::openAccessibilitySettings() {
  consent_.request();
  if (consent_.isAsking()) changed();
}

void OnboardingModel::troubleshoot() {
  showRepairConfirmation_ = true;
  changed();
}

void OnboardingModel::confirmRepair() {
  showRepairConfirmation_ = false;
  changed();
  if (hooks_.repairAccessibility)
    hooks_.repairAccessibility();
  else
    context_.log("Accessibility repair is not available in this build - nothing was reset");
}

void OnboardingModel::cancelRepair() {
  showRepairConfirmation_ = false;
  changed();
}

// -------------------------------------------------------- switcher key

std::vector<SwitcherCardContent> OnboardingModel::switcherCards() const {
  SwitcherKey current = settings_.switcherKey.get();
  // Where the system keeps no shortcut store there is no search shortcut to
  // move, and the card says nothing of one.
  PreferenceDomains* preferences = context_.platform.preferences;
  bool hasShortcutStore = SymbolicHotKeys::systemKeepsSearchShortcut(preferences);
  bool spotlightOnCommandSpace = hasShortcutStore && SymbolicHotKeys::isHotKey64CommandSpace(preferences);
  std::vector<SwitcherCardContent> cards = {
      {SwitcherKey::capslock, "capslock.fill", OnboardingColor::accent, text("onboarding_switcher_caps"),
       onboarding_literal::kRecommendedBadge, text("onboarding_switcher_caps_desc")},
      {SwitcherKey::grave, "keyboard", OnboardingColor::blue, onboarding_literal::kGraveCardTitle, "Windows Style",
       onboarding_literal::kGraveCardDescription},
      {SwitcherKey::optionSpace, "keyboard", OnboardingColor::purple, "Alt + Space", "",
       onboarding_literal::kAltSpaceCardDescription},
      {SwitcherKey::controlSpace, "keyboard", OnboardingColor::teal, "Ctrl + Space", "",
       onboarding_literal::kCtrlSpaceCardDescription},
      {SwitcherKey::commandSpace, "keyboard", OnboardingColor::purple, "Super + Space", "Windows/PC Style",
       !hasShortcutStore          ? onboarding_literal::kSuperSpaceCardDescription
       : spotlightOnCommandSpace ? onboarding_literal::kSuperSpaceCardMoveSpotlight
                                 : onboarding_literal::kSuperSpaceCardSpotlightMoved},
  };
  for (auto& card : cards) card.selected = card.key == current;
  return cards;
}

bool OnboardingModel::showsSpotlightWarning() const {
  PreferenceDomains* preferences = context_.platform.preferences;
  return SymbolicHotKeys::systemKeepsSearchShortcut(preferences) &&
         SymbolicHotKeys::commandSpaceConflicts(settings_.switcherKey.get(), preferences);
}

std::string OnboardingModel::switcherTakenWarning() const {
  return tessa::switcherTakenWarning(settings_, context_.platform.events);
}

void OnboardingModel::chooseSwitcher(SwitcherKey key) {
  // Choosing the key already set still stores it and re-applies. A newly
  // chosen key that another program keeps would switch nothing: the page
  // stays to say so (no later page would), and choosing it again goes on.
  bool warnFirst =
      key != settings_.switcherKey.get() && !switcherHeldByOthers(key, context_.platform.events).empty();
  settings_.switcherKey.set(key);
  settings_.appMode.set(AppMode::capslockToF19);
  if (warnFirst)
    changed();
  else
    setStep(3);
}

// ------------------------------------------------------ start at login

void OnboardingModel::setAutoStart(bool enable) {
  LoginItems* items = context_.platform.loginItems;
  std::optional<std::string> error =
      items ? (enable ? items->registerMainApp() : items->unregisterMainApp())
            : std::optional<std::string>("start at login is not available on this system");
  if (error)
    context_.console(std::string(enable ? "Failed to register login item: " : "Failed to unregister login item: ") +
                     *error);
  settings_.defaults.setBool(kHasPromptedAutoStartKey, true);
  setStep(4);
}

void OnboardingModel::enableAutoStart() { setAutoStart(true); }
void OnboardingModel::skipAutoStart() { setAutoStart(false); }

// -------------------------------------------------- statistics consent

std::vector<OnboardingFeature> OnboardingModel::telemetryPoints() const {
  return {{"checkmark.shield.fill", text("onboarding_telemetry_point1"), OnboardingColor::green},
          {"chart.pie.fill", text("onboarding_telemetry_point2"), OnboardingColor::blue},
          {"hand.raised.fill", text("onboarding_telemetry_point3"), OnboardingColor::orange}};
}

void OnboardingModel::answerTelemetry(bool share) {
  settings_.isShareUsageTimeEnabled.set(share);
  settings_.hasSeenShareInvitation.set(true);
  settings_.defaults.setBool(kHasPromptedTelemetrySharingKey, true);
  settings_.hasCompletedOnboarding.set(true);
  dismiss();
}

void OnboardingModel::inspectPayload() {
  showPayloadInspector_ = true;
  changed();
}

void OnboardingModel::payloadInspectorClosed() {
  showPayloadInspector_ = false;
  changed();
}

// --------------------------------------------------------- cheat sheet

std::vector<HotkeyRowContent> OnboardingModel::hotkeyRows() const {
  return {{{"Ctrl", "Shift", "X"}, text("onboarding_hotkey_cycle_word"), false},
          {{"Ctrl", "Shift", "Z"}, text("onboarding_hotkey_undo"), false},
          {{"Ctrl", "Shift", "O"}, text("onboarding_hotkey_case"), false},
          {{"Ctrl", "Shift", "A"}, text("onboarding_hotkey_paragraph"), false}};
  // The clipboard history has no hot keys of its own: its panel opens from
  // its settings page or from a desktop shortcut bound to
  // `tessavinor --action openQuickPaste`, so the sheet lists no keys for it.
}

std::vector<SandboxExample> OnboardingModel::sandboxExamples() const {
  std::vector<SandboxExample> out;
  for (int i = 1; i <= 3; ++i) {
    std::string n = std::to_string(i);
    out.push_back({text("onboarding_sandbox_ex" + n + "_raw"), text("onboarding_sandbox_ex" + n + "_target")});
  }
  return out;
}

void OnboardingModel::finish() {
  settings_.hasCompletedOnboarding.set(true);
  dismiss();
}

}  // namespace tessa
