#include "app_core/accessibility_consent.h"

#include "engine/keyboard_engine.h"

namespace tessa {

bool AccessibilityConsent::isAsked(const KeyboardEngine& engine) {
  const Accessibility* ax = engine.platform().accessibility;
  return ax && ax->promptTurnsTrustOn();
}

void AccessibilityConsent::request() {
  if (isAsked(engine_)) {
    asking_ = true;
    return;
  }
  engine_.openAccessibilitySettings();
}

void AccessibilityConsent::confirm() {
  if (!asking_) return;
  asking_ = false;
  engine_.log("Accessibility: the user agreed to turn the desktop's accessibility on");
  engine_.openAccessibilitySettings();
}

std::string AccessibilityConsent::title() const { return engine_.localized("a11y_consent_title"); }
std::string AccessibilityConsent::message() const { return engine_.localized("a11y_consent_message"); }
std::string AccessibilityConsent::restartNote() const { return engine_.localized("a11y_consent_restart"); }
std::string AccessibilityConsent::confirmTitle() const { return engine_.localized("a11y_consent_confirm"); }
std::string AccessibilityConsent::cancelTitle() const { return engine_.localized("btn_cancel"); }

}  // namespace tessa
