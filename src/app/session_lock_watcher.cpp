#include "app/session_lock_watcher.h"

#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>

#include <cstdlib>

#include "platform/linux/linux_workspace.h"

namespace tessa {
namespace {
constexpr const char* kLogind = "org.freedesktop.login1";
constexpr const char* kScreenSaver = "org.freedesktop.ScreenSaver";
}  // namespace

SessionLockWatcher::SessionLockWatcher(LinuxWorkspace& workspace, std::function<void(const std::string&)> log)
    : workspace_(workspace), log_(std::move(log)) {
  QDBusConnection system = QDBusConnection::systemBus();
  QString sessionPath;
  if (system.isConnected()) {
    QDBusInterface manager(kLogind, "/org/freedesktop/login1", "org.freedesktop.login1.Manager", system);
    QDBusReply<QDBusObjectPath> byPid = manager.call("GetSessionByPID", static_cast<uint>(::getpid()));
    if (byPid.isValid()) {
      sessionPath = byPid.value().path();
    } else if (const char* id = std::getenv("XDG_SESSION_ID")) {
      QDBusReply<QDBusObjectPath> byId = manager.call("GetSession", QString::fromUtf8(id));
      if (byId.isValid()) sessionPath = byId.value().path();
    }
  }
  if (!sessionPath.isEmpty()) {
    logind_ = system.connect(kLogind, sessionPath, "org.freedesktop.login1.Session", "Lock", this,
                             SLOT(sessionLocked())) &&
              system.connect(kLogind, sessionPath, "org.freedesktop.login1.Session", "Unlock", this,
                             SLOT(sessionUnlocked()));
  }
  if (!logind_ && log_)
    log_("Screen lock: no logind session to watch - its Lock and Unlock will not be noticed");

  QDBusConnection session = QDBusConnection::sessionBus();
  if (session.isConnected() && session.interface() && session.interface()->isServiceRegistered(kScreenSaver)) {
    // Desktops publish it under either path; both are watched and a change
    // is reported once.
    bool a = session.connect(kScreenSaver, "/org/freedesktop/ScreenSaver", kScreenSaver, "ActiveChanged", this,
                             SLOT(screenSaverActiveChanged(bool)));
    bool b = session.connect(kScreenSaver, "/ScreenSaver", kScreenSaver, "ActiveChanged", this,
                             SLOT(screenSaverActiveChanged(bool)));
    screenSaver_ = a || b;
  }
  if (!screenSaver_ && log_)
    log_("Screen lock: the desktop has no org.freedesktop.ScreenSaver - the X server's screen saver is watched instead");
}

void SessionLockWatcher::setLocked(bool locked) {
  if (locked_ == static_cast<int>(locked)) return;
  locked_ = locked;
  workspace_.post(locked ? WorkspaceEvent::screenLocked : WorkspaceEvent::screenUnlocked);
}

}  // namespace tessa
