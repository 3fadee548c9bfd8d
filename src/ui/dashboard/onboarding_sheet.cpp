#include "ui/dashboard/onboarding_sheet.h"

#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "engine/engine_notifications.h"
#include "reliability/telemetry_manager.h"
#include "ui/onboarding/onboarding_pages.h"
#include "ui/onboarding/onboarding_widgets.h"
#include "ui/sheets/accessibility_consent_box.h"
#include "ui/sheets/sheet_parts.h"
#include "ui/sheets/telemetry_inspector_sheet.h"

namespace tessa {

namespace {
QString qs(const std::string& text) { return QString::fromStdString(text); }

// The switcher page stays when the key chosen is taken by another program,
// to say so: a change of that warning redraws it.
std::string switcherWarning(const OnboardingModel& model) {
  return model.page() == OnboardingModel::Page::switcher ? model.switcherTakenWarning() : std::string();
}
}  // namespace

OnboardingSheet::OnboardingSheet(EngineSettings settings, EngineAccessibility accessibility, EngineContext context,
                                 EngineReports reports, QWidget* parent, TelemetryManager* telemetry)
    : QDialog(parent), settings_(settings), context_(context), reports_(std::move(reports)), telemetry_(telemetry) {
  setObjectName("onboardingSheet");
  setWindowModality(Qt::WindowModal);
  setModal(true);
  setWindowTitle(QStringLiteral("Tessavinor"));
  setFixedWidth(520);
  // No close control of its own: the title bar's close is its one.
  parts::presentAsSheet(*this, false);
  setAutoFillBackground(true);

  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(30, 30, 30, 30);
  layout_->setSpacing(16);
  // Wrapped text measures its minimum at a narrow width, far taller than it
  // is at ours; the height is set from the width instead (rebuildPage).
  layout_->setSizeConstraint(QLayout::SetNoConstraint);
  dots_ = new ProgressDots(this);
  layout_->addWidget(dots_, 0, Qt::AlignHCenter);

  OnboardingModel::Hooks hooks;
  hooks.changed = [this] { sync(); };
  hooks.dismiss = [this] { accept(); };
  hooks.repairAccessibility = [this] {
    if (repairAction_)
      repairAction_();
    else
      context_.log("Accessibility repair is not available in this build - nothing was reset");
  };
  model_ = OnboardingModel::create(std::move(settings), std::move(accessibility), std::move(context),
                                  std::move(hooks));
  sync();
  model_->startPolling();

  // Texts follow the language and wording level: a change rebuilds the page.
  subscriptions_.push_back(
      settings_.notifications.addObserver(notification::appLanguageChanged, [this](const Notification&) {
        QMetaObject::invokeMethod(this, [this] { rebuildPage(); });
      }));
}

OnboardingSheet::~OnboardingSheet() {
  subscriptions_.clear();
  // Its answer would reach the model, which goes with this sheet.
  if (consent_) {
    consent_->disconnect();
    delete consent_;
  }
  // The page's buttons hold the model by reference.
  delete page_;
  page_ = nullptr;
}

void OnboardingSheet::sync() {
  dots_->setStep(model_->step());
  bool granted = model_->page() == OnboardingModel::Page::permission && model_->isPermissionGranted();
  if (model_->step() != shownStep_ || granted != shownGranted_ || switcherWarning(*model_) != shownWarning_)
    rebuildPage();
  if (model_->showRepairConfirmation() && !repairAlert_) presentRepairAlert();
  if (model_->consent().isAsking() && !consent_)
    consent_ = openAccessibilityConsent(this, model_->consent(), [this] { sync(); });
  if (model_->showPayloadInspector() && !inspector_) presentPayloadInspector();
}

void OnboardingSheet::rebuildPage() {
  shownStep_ = model_->step();
  shownGranted_ = model_->page() == OnboardingModel::Page::permission && model_->isPermissionGranted();
  shownWarning_ = switcherWarning(*model_);
  if (page_) {
    // The old page may hold the button whose click brought us here.
    layout_->removeWidget(page_);
    page_->hide();
    page_->setObjectName(QString());
    page_->deleteLater();
  }
  page_ = makeOnboardingPage(*model_, this);
  layout_->addWidget(page_);
  page_->show();
  // The height follows the content at the sheet's fixed width (adjustSize
  // would measure wrapped text at the narrower width the layout prefers).
  layout_->activate();
  int height = layout_->hasHeightForWidth() ? layout_->totalHeightForWidth(width()) : -1;
  resize(width(), height > 0 ? height : layout_->totalSizeHint().height());
}

void OnboardingSheet::presentRepairAlert() {
  auto* alert = new QMessageBox(this);
  alert->setObjectName("onboarding.repairAlert");
  alert->setWindowModality(Qt::WindowModal);
  alert->setIcon(QMessageBox::Warning);
  alert->setText(qs(settings_.localized("repair_confirm_title")));
  alert->setInformativeText(qs(settings_.localized("repair_confirm_message")));
  QPushButton* reset = alert->addButton(qs(settings_.localized("repair_confirm_action")), QMessageBox::DestructiveRole);
  reset->setObjectName("onboarding.repairAlert.reset");
  QPushButton* cancel = alert->addButton(qs(settings_.localized("btn_cancel")), QMessageBox::RejectRole);
  cancel->setObjectName("onboarding.repairAlert.cancel");
  alert->setDefaultButton(cancel);
  repairAlert_ = alert;
  connect(alert, &QMessageBox::finished, this, [this, alert, reset] {
    bool confirmed = alert->clickedButton() == reset;
    alert->deleteLater();
    if (repairAlert_ == alert) repairAlert_ = nullptr;
    if (confirmed)
      model_->confirmRepair();
    else
      model_->cancelRepair();
  });
  alert->open();
}

// A read-only look at exactly what a statistics send would post now.
void OnboardingSheet::presentPayloadInspector() {
  if (!telemetry_) return;
  auto* inspector = new TelemetryInspectorSheet(settings_, context_, reports_, this, *telemetry_);
  inspector->setWindowModality(Qt::WindowModal);
  inspector_ = inspector;
  connect(inspector, &QDialog::finished, this, [this, inspector] {
    inspector->deleteLater();
    if (inspector_ == inspector) inspector_ = nullptr;
    model_->payloadInspectorClosed();
  });
  inspector->open();
}

}  // namespace tessa
