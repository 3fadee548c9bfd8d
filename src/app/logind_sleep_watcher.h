#pragma once
// System sleep and wake from logind: "PrepareForSleep" on the system bus
// becomes the workspace's will-sleep and did-wake events. A delay inhibitor,
// taken at start and again after each wake, holds the sleep back until the
// will-sleep work has run on the main queue. Without a system bus
// (containers, CI) it logs that once and does nothing.
#include <QDBusUnixFileDescriptor>
#include <QObject>

#include <functional>
#include <string>

#include "base/task_runner.h"

namespace tessa {

class LinuxWorkspace;

class LogindSleepWatcher final : public QObject {
  Q_OBJECT
 public:
  LogindSleepWatcher(LinuxWorkspace& workspace, TaskRunner& main, std::function<void(const std::string&)> log);
  bool isWatching() const { return watching_; }

 private slots:
  void prepareForSleep(bool start);

 private:
  void takeInhibitor();
  LinuxWorkspace& workspace_;
  TaskRunner& main_;
  std::function<void(const std::string&)> log_;
  QDBusUnixFileDescriptor inhibitor_;
  bool watching_ = false;
};

}  // namespace tessa
