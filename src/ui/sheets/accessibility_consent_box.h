#pragma once
// The question in front of turning on the desktop's accessibility: what it
// does, how to turn it off again, and that the programs already open must be
// restarted once. Window-modal over its page, opened with open(); the
// answer goes to the model.
#include <functional>

class QMessageBox;
class QWidget;

namespace tessa {

class AccessibilityConsent;

// "accessibilityConsent", with the buttons "accessibilityConsentConfirm" and
// "accessibilityConsentCancel". `answered` runs once, after the model has
// the answer (closing the box counts as no); the box deletes itself.
QMessageBox* openAccessibilityConsent(QWidget* parent, AccessibilityConsent& consent,
                                      std::function<void()> answered = {});

}  // namespace tessa
