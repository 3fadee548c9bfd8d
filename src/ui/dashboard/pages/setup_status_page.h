#pragma once
// The setup status page (tab 0, and every tab without a page of its own):
// the Accessibility card, green with the permission and orange without it,
// the grant button and the repair link with its confirmation.
#include <QMessageBox>
#include <QPointer>

#include <atomic>

#include "ui/coalesced_call.h"
#include "app_core/dashboard/setup_status_model.h"
#include "base/observable.h"
#include "ui/dashboard/pages/page_parts.h"

class QLabel;

class QPushButton;

namespace tessa {

class SetupStatusPage final : public PageScrollArea {
  Q_OBJECT

 public:
  SetupStatusPage(EngineSettings settings, EngineAccessibility accessibility, EngineContext context,
                  QWidget* parent = nullptr);
  ~SetupStatusPage() override;

  SetupStatusModel& model() { return model_; }
  // The repair confirmation while it is open (window-modal, opened with open()).
  QMessageBox* repairConfirmation() const { return confirmation_; }
  // The question before the desktop's accessibility is turned on, while open.
  QMessageBox* consentQuestion() const { return consent_; }
  void refresh();

 private:
  void build();
  void showRepairConfirmation();
  void grantAccess();

  SetupStatusModel model_;
  Subscription engineChanges_;
  CoalescedCall refreshSoon_{this, [this] { refresh(); }};

  QLabel* title_ = nullptr;
  QLabel* subtitle_ = nullptr;
  QLabel* statusSymbol_ = nullptr;
  QLabel* cardTitle_ = nullptr;
  QLabel* description_ = nullptr;
  QWidget* actions_ = nullptr;
  QPushButton* grantButton_ = nullptr;
  QPushButton* repairLink_ = nullptr;
  QLabel* restartNotice_ = nullptr;
  QPointer<QMessageBox> confirmation_;
  QPointer<QMessageBox> consent_;
};

}  // namespace tessa
