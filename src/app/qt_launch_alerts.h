#pragma once
// The start-up alerts as message boxes. None blocks the event loop: each is
// opened with open(), and the duplicate-instance alert hands its answer back,
// which ends the process; unanswered, it answers Quit after 10 s.
#include <QObject>

#include "reliability/launch_environment_guard.h"

namespace tessa {

class QtLaunchAlerts final : public QObject, public LaunchAlerts {
  Q_OBJECT
 public:
  static constexpr int kDuplicateAlertSeconds = 10;
  // `language` gives the application's language when an alert is shown.
  explicit QtLaunchAlerts(std::function<std::string()> language = {}) : language_(std::move(language)) {}
  void showDuplicateInstance(const DuplicateInstance& info,
                             std::function<void(DuplicateInstanceAnswer)> answered) override;
  void showLaunchWarning(LaunchWarning warning, const std::string& detail) override;
  void showStatusItemMissing() override;

 private:
  std::function<std::string()> language_;
};

}  // namespace tessa
