#pragma once
// The sheet the dashboard shows over itself while onboarding is due. For now
// it only says that the walk-through is still to come and can be closed;
// closing it leaves onboarding not completed, so it comes back next time.
#include <QDialog>

namespace tessa {

class KeyboardEngine;

class OnboardingSheet final : public QDialog {
  Q_OBJECT

 public:
  OnboardingSheet(KeyboardEngine& engine, QWidget* parent);
};

}  // namespace tessa
