#pragma once
// The onboarding's pages, built afresh from the model for its current step:
// their texts are read at build time, so a new page follows the language
// and wording level in force.
#include <QWidget>

#include "app_core/onboarding/onboarding_model.h"

namespace tessa {

// "onboarding.page.level", "onboarding.page.permission", …
const char* onboardingPageObjectName(OnboardingModel::Page page);

// The page for the model's step. Its buttons call the model; the model's
// change hook is what replaces the page.
QWidget* makeOnboardingPage(OnboardingModel& model, QWidget* parent);

}  // namespace tessa
