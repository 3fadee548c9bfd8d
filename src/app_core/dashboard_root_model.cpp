#include "app_core/dashboard_root_model.h"

#include <cstdint>
#include <limits>

#include "base/endpoints.h"
#include "engine/engine_settings.h"
#include "l10n/localization.h"

namespace tessa {

const std::vector<DashboardSidebarRow>& DashboardRootModel::sidebarRows() {
  static const std::vector<DashboardSidebarRow> rows = {
      {0, "tab_setup", "checkmark.shield", DashboardPage::setupStatus},
      {1, "tab_dashboard", "speedometer", DashboardPage::usage},
      {2, "tab_settings", "keyboard", DashboardPage::keyboardSettings},
      // Without a row of its own the clipboard history could be recorded
      // with no way to see it, turn it off or clear it.
      {3, "tab_copy_cache", "doc.on.clipboard.fill", DashboardPage::copyCache},
      {7, "tab_about", "info.circle", DashboardPage::about},
  };
  return rows;
}

DashboardPage DashboardRootModel::pageFor(int section) {
  for (const auto& row : sidebarRows())
    if (row.tab == section) return row.page;
  return DashboardPage::setupStatus;
}

std::string DashboardRootModel::rowTitle(const DashboardSidebarRow& row, const std::string& language, bool pro) {
  return LocalizedTable::shared().localized(row.key, language, pro);
}

std::string DashboardRootModel::rowTitle(const DashboardSidebarRow& row, const EngineSettings& settings) {
  return settings.localized(row.key);
}

std::string DashboardRootModel::versionLine(const std::string* bundleShortVersion) {
  return "v" + AppInfo::versionString(bundleShortVersion);
}

DashboardRootModel::DashboardRootModel(bool hasCompletedOnboarding) : showOnboarding_(!hasCompletedOnboarding) {}

bool DashboardRootModel::select(int tab) {
  if (tab == currentSection_) return false;
  currentSection_ = tab;
  return true;
}

bool DashboardRootModel::openTab(const std::any& object) {
  auto tab = dashboardTabOf(object);
  return tab && select(*tab);
}

bool DashboardRootModel::replayOnboarding() {
  if (showOnboarding_) return false;
  showOnboarding_ = true;
  return true;
}

std::vector<Subscription> DashboardRootModel::observe(NotificationCenter& notifications,
                                                      std::function<void()> changed, Deliver deliver) {
  if (!deliver) deliver = [](std::function<void()> handler) { handler(); };
  std::vector<Subscription> subscriptions;
  subscriptions.push_back(
      notifications.addObserver(kReplayOnboardingNotification, [this, changed, deliver](const Notification&) {
        deliver([this, changed] {
          if (replayOnboarding() && changed) changed();
        });
      }));
  subscriptions.push_back(
      notifications.addObserver(kOpenTabNotification, [this, changed, deliver](const Notification& n) {
        deliver([this, changed, object = n.object] {
          if (openTab(object) && changed) changed();
        });
      }));
  return subscriptions;
}

namespace {

template <class T>
std::optional<int> narrowed(T value) {
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

std::optional<int> dashboardTabOf(const std::any& object) {
  if (const auto* v = std::any_cast<int>(&object)) return *v;
  if (const auto* v = std::any_cast<long>(&object)) return narrowed(*v);
  if (const auto* v = std::any_cast<long long>(&object)) return narrowed(*v);
  if (const auto* v = std::any_cast<short>(&object)) return *v;
  if (const auto* v = std::any_cast<unsigned>(&object)) return narrowed(static_cast<long long>(*v));
  return std::nullopt;
}

}  // namespace tessa
