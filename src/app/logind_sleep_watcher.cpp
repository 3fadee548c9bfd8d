#include "app/logind_sleep_watcher.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>

#include "platform/linux/linux_workspace.h"

namespace tessa {
namespace {
constexpr const char* kService = "org.freedesktop.login1";
constexpr const char* kPath = "/org/freedesktop/login1";
constexpr const char* kManager = "org.freedesktop.login1.Manager";
}  // namespace

LogindSleepWatcher::LogindSleepWatcher(LinuxWorkspace& workspace, TaskRunner& main,
                                       std::function<void(const std::string&)> log)
    : workspace_(workspace), main_(main), log_(std::move(log)) {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) {
    if (log_) log_("Sleep and wake: no system bus - sleep and wake will not be noticed");
    return;
  }
  watching_ = bus.connect(kService, kPath, kManager, "PrepareForSleep", this, SLOT(prepareForSleep(bool)));
  if (!watching_) {
    if (log_) log_("Sleep and wake: logind's PrepareForSleep cannot be watched - sleep and wake will not be noticed");
    return;
  }
  takeInhibitor();
}

void LogindSleepWatcher::takeInhibitor() {
  QDBusInterface manager(kService, kPath, kManager, QDBusConnection::systemBus());
  QDBusReply<QDBusUnixFileDescriptor> reply =
      manager.call("Inhibit", "sleep", "Tessavinor", "Recording the sleep before the keyboard tap pauses", "delay");
  if (reply.isValid()) {
    inhibitor_ = reply.value();
  } else if (log_) {
    log_("Sleep and wake: no delay inhibitor (" + reply.error().message().toStdString() + ")");
  }
}

void LogindSleepWatcher::prepareForSleep(bool start) {
  if (start) {
    workspace_.post(WorkspaceEvent::willSleep);
    // The observers run on the main queue in posting order: once this task
    // runs, the will-sleep work is done and the system may sleep.
    main_.post([this] { inhibitor_ = QDBusUnixFileDescriptor(); });
  } else {
    workspace_.post(WorkspaceEvent::didWake);
    takeInhibitor();
  }
}

}  // namespace tessa
