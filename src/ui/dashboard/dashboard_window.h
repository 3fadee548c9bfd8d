#pragma once
// The dashboard's top-level window: a fixed-size, centred window holding the
// ContentView. Closing it tells the owner, which lets go of this object; the
// widget itself goes away on the next turn of the event loop, so the owner
// may release it from inside the close callback.
#include <functional>
#include <memory>
#include <string>

#include <QPointer>
#include <QWidget>

#include "app_core/app_delegate.h"
#include "app_core/dashboard/dashboard_services.h"
#include "engine/engine_views.h"

namespace tessa {

class ContentView;

// The window's widget; `onClose` runs each time the user closes it.
class DashboardFrame final : public QWidget {
  Q_OBJECT

 public:
  DashboardFrame(EngineViews engine, NotificationCenter& notifications, std::function<void()> onClose,
                 DashboardServices services = {});
  ContentView* contentView() const { return content_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  ContentView* content_ = nullptr;
  std::function<void()> onClose_;
};

class QtDashboardWindow final : public DashboardWindow {
 public:
  QtDashboardWindow(EngineViews engine, NotificationCenter& notifications,
                    const std::string& title, double width, double height, std::function<void()> onClose,
                    DashboardServices services = {});
  ~QtDashboardWindow() override;

  void makeKeyAndOrderFront() override;
  void orderFrontRegardless() override;
  bool isVisible() const override;

  // Null once the widget is gone.
  QWidget* widget() const { return frame_.data(); }
  ContentView* contentView() const { return frame_ ? frame_->contentView() : nullptr; }

 private:
  QPointer<DashboardFrame> frame_;
};

}  // namespace tessa
