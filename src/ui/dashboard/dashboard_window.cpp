#include "ui/dashboard/dashboard_window.h"

#include <cmath>

#include <QCloseEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QVBoxLayout>

#include "ui/dashboard/content_view.h"

namespace tessa {

DashboardFrame::DashboardFrame(EngineViews engine, NotificationCenter& notifications,
                               std::function<void()> onClose, DashboardServices services)
    : QWidget(nullptr,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                  Qt::CustomizeWindowHint),
      onClose_(std::move(onClose)) {
  setObjectName("dashboardWindow");
  // The program lives in the tray: closing its only window must not end it.
  setAttribute(Qt::WA_QuitOnClose, false);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  content_ = new ContentView(std::move(engine), notifications, this, std::move(services));
  layout->addWidget(content_);
}

void DashboardFrame::closeEvent(QCloseEvent* event) {
  event->accept();
  // The callback may destroy the window object that owns this widget; a
  // copy keeps the callback alive while it runs.
  if (auto onClose = onClose_) onClose();
}

QtDashboardWindow::QtDashboardWindow(EngineViews engine, NotificationCenter& notifications,
                                     const std::string& title, double width, double height,
                                     std::function<void()> onClose, DashboardServices services)
    : frame_(new DashboardFrame(std::move(engine), notifications, std::move(onClose), std::move(services))) {
  frame_->setWindowTitle(QString::fromStdString(title));
  QSize size(static_cast<int>(std::lround(width)), static_cast<int>(std::lround(height)));
  frame_->setFixedSize(size);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect area = screen->availableGeometry();
    frame_->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
  }
}

QtDashboardWindow::~QtDashboardWindow() {
  if (!frame_) return;
  frame_->hide();
  // Possibly inside the widget's own close handling: delete it later.
  frame_->deleteLater();
}

void QtDashboardWindow::makeKeyAndOrderFront() {
  if (!frame_) return;
  frame_->showNormal();
  frame_->raise();
  frame_->activateWindow();
}

void QtDashboardWindow::orderFrontRegardless() {
  if (!frame_) return;
  frame_->show();
  frame_->raise();
}

bool QtDashboardWindow::isVisible() const { return frame_ && frame_->isVisible(); }

}  // namespace tessa
