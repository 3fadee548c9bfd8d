#include "ui/sheets/accessibility_consent_box.h"

#include <QMessageBox>
#include <QPushButton>

#include "app_core/accessibility_consent.h"

namespace tessa {

QMessageBox* openAccessibilityConsent(QWidget* parent, AccessibilityConsent& consent,
                                      std::function<void()> answered) {
  auto qs = [](const std::string& text) { return QString::fromStdString(text); };
  auto* box = new QMessageBox(parent);
  box->setObjectName("accessibilityConsent");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setWindowModality(Qt::WindowModal);
  box->setIcon(QMessageBox::Question);
  box->setWindowTitle(QStringLiteral("Tessavinor"));
  box->setText(qs(consent.title()));
  box->setInformativeText(qs(consent.message()) + QStringLiteral("\n\n") + qs(consent.restartNote()));
  auto* confirm = box->addButton(qs(consent.confirmTitle()), QMessageBox::AcceptRole);
  confirm->setObjectName("accessibilityConsentConfirm");
  auto* cancel = box->addButton(qs(consent.cancelTitle()), QMessageBox::RejectRole);
  cancel->setObjectName("accessibilityConsentCancel");
  // Nothing is turned on by a stray Return: the user picks the button.
  box->setDefaultButton(cancel);
  box->setEscapeButton(cancel);
  QObject::connect(box, &QMessageBox::finished, box, [box, confirm, &consent, answered = std::move(answered)] {
    if (box->clickedButton() == confirm)
      consent.confirm();
    else
      consent.cancel();
    if (answered) answered();
  });
  box->open();
  return box;
}

}  // namespace tessa
