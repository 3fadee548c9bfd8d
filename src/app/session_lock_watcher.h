#pragma once
// Screen lock from the session's D-Bus services: logind's Lock and Unlock
// of our session (system bus) and the desktop's screen saver, whose
// ActiveChanged says when it covers the screen (session bus). Each becomes
// the workspace's screen-locked or screen-unlocked event, once per change.
// A source that is not there is logged once and left alone; without the
// desktop's screen saver the X server's own screen saver stands in
// (X11ScreenState).
#include <QObject>

#include <functional>
#include <string>

namespace tessa {

class LinuxWorkspace;

class SessionLockWatcher final : public QObject {
  Q_OBJECT
 public:
  SessionLockWatcher(LinuxWorkspace& workspace, std::function<void(const std::string&)> log);
  bool watchesLogindSession() const { return logind_; }
  bool watchesDesktopScreenSaver() const { return screenSaver_; }

 private slots:
  void sessionLocked() { setLocked(true); }
  void sessionUnlocked() { setLocked(false); }
  void screenSaverActiveChanged(bool active) { setLocked(active); }

 private:
  void setLocked(bool locked);
  LinuxWorkspace& workspace_;
  std::function<void(const std::string&)> log_;
  bool logind_ = false;
  bool screenSaver_ = false;
  int locked_ = -1;  // unknown until the first signal
};

}  // namespace tessa
