#include "app/qt_launch_alerts.h"

#include <QMessageBox>
#include <QPushButton>
#include <QCoreApplication>
#include <QTimer>

#include <cstdlib>
#include <functional>

#include "app_core/layout_help.h"
#include "l10n/localization.h"

namespace tessa {
namespace {

QMessageBox* makeBox(QMessageBox::Icon icon, const QString& title, const QString& text, const QString& detail) {
  auto* box = new QMessageBox(icon, title, text);
  box->setObjectName("launchAlert");
  box->setInformativeText(detail);
  box->setAttribute(Qt::WA_DeleteOnClose);
  // Start-up alerts come before the first-run windows that open right after
  // them, and must not end up behind those.
  box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  return box;
}

// A warning found while starting is shown once the start is done: building a
// dialog (its fonts and style) would otherwise hold back the status item,
// which is made after the checks. The check and its console line stay where
// they are.
void afterStart(std::function<void()> show) {
  QTimer::singleShot(0, QCoreApplication::instance(), std::move(show));
}

}  // namespace

void QtLaunchAlerts::showDuplicateInstance(const DuplicateInstance& info,
                                           std::function<void(DuplicateInstanceAnswer)> answered) {
  QString detail = info.runningPid ? QString("It runs as process %1.").arg(*info.runningPid)
                                   : QString("Only one copy can watch the keyboard at a time.");
  auto* box = makeBox(QMessageBox::Warning, "Tessavinor", "Tessavinor is already running.", detail);
  box->setObjectName("duplicateInstanceAlert");
  auto* quit = box->addButton("Quit", QMessageBox::AcceptRole);
  auto* show = box->addButton("Show Running Instance", QMessageBox::ActionRole);
  QObject::connect(box, &QMessageBox::finished, box, [box, quit, show, answered] {
    answered(box->clickedButton() == show ? DuplicateInstanceAnswer::showRunningInstance
                                          : DuplicateInstanceAnswer::quit);
    (void)quit;
  });
  // A copy started by accident does not linger behind its alert: unanswered,
  // it quits on its own.
  QTimer::singleShot(kDuplicateAlertSeconds * 1000, box, [box] { box->reject(); });
  box->open();
}

void QtLaunchAlerts::showLaunchWarning(LaunchWarning warning, const std::string& detail) {
  if (warning == LaunchWarning::tooFewInputSources) {
    // In the application's language, with how a layout is added on this
    // desktop.
    const char* desktop = std::getenv("XDG_CURRENT_DESKTOP");
    TooFewLayoutsAlert alert = tooFewLayoutsAlert(desktop ? desktop : "", language_ ? language_() : "th");
    afterStart([alert] {
      auto* box = makeBox(QMessageBox::Information, "Tessavinor", QString::fromStdString(alert.text),
                          QString::fromStdString(alert.detail));
      box->setObjectName("tooFewLayoutsAlert");
      box->open();
      box->raise();
      box->activateWindow();
    });
    return;
  }
  afterStart([detail] {
    makeBox(QMessageBox::Information, "Tessavinor", "Another program holds secure keyboard entry.",
            QString::fromStdString(detail))
        ->open();
  });
}

void QtLaunchAlerts::showStatusItemMissing() {
  const auto& table = LocalizedTable::shared();
  const std::string language = language_ ? language_() : "th";
  const QString text = QString::fromStdString(table.localized("alert_no_tray", language, false));
  const QString detail = QString::fromStdString(table.localized("alert_no_tray_detail", language, false));
  afterStart([text, detail] { makeBox(QMessageBox::Warning, "Tessavinor", text, detail)->open(); });
}

}  // namespace tessa
