#include "app/qt_shell.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace tessa {

QtShell::QtShell(StatusViewFactory statusView, ControllerSink controllerSink, DashboardFactory dashboard)
    : statusView_(std::move(statusView)), dashboard_(std::move(dashboard)), controllerSink_(std::move(controllerSink)) {}

void QtShell::terminate() {
  if (auto* app = QCoreApplication::instance())
    QMetaObject::invokeMethod(app, &QCoreApplication::quit, Qt::QueuedConnection);
}

}  // namespace tessa
