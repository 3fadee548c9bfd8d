#pragma once
// The first-run walk-through the dashboard shows over itself while
// onboarding is due: progress dots above the page of the current step, the
// once-a-second Accessibility poll, the repair confirmation and the look at
// the statistics payload. It completes onboarding only through its last
// page; closing it any other way leaves onboarding due.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QDialog>
#include <QMessageBox>
#include <QPointer>

#include "app_core/onboarding/onboarding_model.h"
#include "base/notification_center.h"
#include "engine/reporting.h"

class QVBoxLayout;

namespace tessa {

class TelemetryManager;
class ProgressDots;

class OnboardingSheet final : public QDialog {
  Q_OBJECT

 public:
  // The payload inspector is offered only with a `telemetry` sender to
  // preview, fed with what `reports` reads of the engine.
  OnboardingSheet(EngineSettings settings, EngineAccessibility accessibility, EngineContext context,
                  EngineReports reports, QWidget* parent, TelemetryManager* telemetry = nullptr);
  ~OnboardingSheet() override;

  OnboardingModel& model() const { return *model_; }
  QWidget* page() const { return page_; }
  ProgressDots* dots() const { return dots_; }
  QMessageBox* repairAlert() const { return repairAlert_; }
  // The question before the desktop's accessibility is turned on, while open.
  QMessageBox* consentQuestion() const { return consent_; }
  QDialog* payloadInspector() const { return inspector_; }

  // What the repair alert's destructive button runs: the confirmed reset of
  // the Accessibility grant with a restart. Without one the choice is logged.
  void setRepairAction(std::function<void()> action) { repairAction_ = std::move(action); }

 private:
  void sync();
  void rebuildPage();
  void presentRepairAlert();
  void presentPayloadInspector();

  EngineSettings settings_;
  EngineContext context_;
  EngineReports reports_;
  TelemetryManager* telemetry_ = nullptr;
  std::shared_ptr<OnboardingModel> model_;
  std::function<void()> repairAction_;
  ProgressDots* dots_ = nullptr;
  QVBoxLayout* layout_ = nullptr;
  QWidget* page_ = nullptr;
  int shownStep_ = -1;
  bool shownGranted_ = false;
  std::string shownWarning_;
  QPointer<QMessageBox> repairAlert_;
  QPointer<QMessageBox> consent_;
  QPointer<QDialog> inspector_;
  std::vector<Subscription> subscriptions_;
};

}  // namespace tessa
