#include "app_core/accessibility_consent.h"

#include "platform/platform.h"

namespace tessa {

bool AccessibilityConsent::isAsked(const Platform& platform) {
  const Accessibility* ax = platform.accessibility;
  return ax && ax->promptTurnsTrustOn();
}

void AccessibilityConsent::request() {
  if (isAsked(context_.platform)) {
    asking_ = true;
    return;
  }
  accessibility_.openSettings();
}

void AccessibilityConsent::confirm() {
  if (!asking_) return;
  asking_ = false;
  context_.log("Accessibility: the user agreed to turn the desktop's accessibility on");
  accessibility_.openSettings();
}

std::string AccessibilityConsent::title() const { return settings_.localized("a11y_consent_title"); }
std::string AccessibilityConsent::message() const { return settings_.localized("a11y_consent_message"); }
std::string AccessibilityConsent::restartNote() const { return settings_.localized("a11y_consent_restart"); }
std::string AccessibilityConsent::confirmTitle() const { return settings_.localized("a11y_consent_confirm"); }
std::string AccessibilityConsent::cancelTitle() const { return settings_.localized("btn_cancel"); }

}  // namespace tessa
