#pragma once
// The dashboard window's root: a sidebar with the application's icon, name,
// version and page rows beside the page of the current tab, and the first-run
// onboarding sheet over it. It follows the tab and onboarding requests that
// arrive as notifications for as long as it lives.
#include <memory>
#include <vector>

#include <QDialog>
#include <QPointer>
#include <QWidget>

#include "app_core/dashboard/dashboard_services.h"
#include "app_core/dashboard_root_model.h"
#include "base/notification_center.h"
#include "engine/engine_views.h"
#include "ui/symbol_icons.h"

class QLabel;
class QVBoxLayout;

namespace tessa {

class SidebarButton;

class ContentView final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kWidth = 680;
  static constexpr int kHeight = 480;
  static constexpr int kSidebarWidth = 190;

  // Each page gets the views of `engine` it uses; the engine stays alive
  // while this view lives.
  ContentView(EngineViews engine, NotificationCenter& notifications, QWidget* parent = nullptr,
              DashboardServices services = {});
  ~ContentView() override;

  const DashboardRootModel& model() const { return model_; }
  // The page shown now (owned by the detail area).
  QWidget* page() const { return page_; }
  SidebarButton* row(int tab) const;
  // The onboarding sheet while it is open.
  QDialog* onboardingSheet() const { return sheet_; }
  // Shows the page of `tab`, as a row's click does.
  void selectTab(int tab);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* buildSidebar();
  QWidget* buildHeader(QWidget* parent);
  void modelChanged();
  void showCurrentPage();
  void updateRows();
  void retitle();
  void presentOnboardingIfNeeded();

  EngineViews engine_;
  std::shared_ptr<void> keepEngine_;
  DashboardServices services_;
  DashboardRootModel model_;
  std::vector<SidebarButton*> rows_;
  QWidget* detail_ = nullptr;
  QVBoxLayout* detailLayout_ = nullptr;
  QWidget* page_ = nullptr;
  DashboardPage shownPage_ = DashboardPage::setupStatus;
  int shownSection_ = -1;
  QPointer<QDialog> sheet_;
  std::vector<Subscription> subscriptions_;
};

}  // namespace tessa
