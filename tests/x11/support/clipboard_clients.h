#pragma once
// Other X clients the clipboard cases need: a program that has copied, and
// a window manager that answers activation requests.
#include <memory>
#include <string>
#include <vector>

#include "x11_session/child_process.h"
#include "x11_session/x11_session.h"

namespace tessa::x11test {

using xsession::ChildProcess;
using xsession::XSession;

// Another X client (tessavinor-clipowner, plain Xlib) that has copied: it
// owns CLIPBOARD, or PRIMARY for a selection, with a text and extra types.
class ClipboardOwner {
 public:
  enum class Selection { clipboard, primary };
  // Null, with the reason in `why`, when it does not come to own it.
  static std::unique_ptr<ClipboardOwner> start(const XSession& session, Selection selection, const std::string& text,
                                               const std::vector<std::string>& extraTypes = {},
                                               std::string* why = nullptr);
  // One that misbehaves (see tests/x11/clipowner): "silent", "targets-only",
  // "trickle" or "huge"; it owns CLIPBOARD with `text`.
  static std::unique_ptr<ClipboardOwner> startMisbehaving(const XSession& session, const std::string& mode,
                                                          const std::string& text, std::string* why = nullptr);
  // One that goes to the background once it owns CLIPBOARD, as xclip does:
  // the process that connected has ended (and been reaped) when this returns.
  static std::unique_ptr<ClipboardOwner> startInBackground(const XSession& session, const std::string& text,
                                                           const std::vector<std::string>& extraTypes = {},
                                                           std::string* why = nullptr);
  // The process that answers for the selection.
  pid_t servingPid() const { return servingPid_; }
  // Waits for a line of its report that starts with `prefix`.
  bool waitForLine(const std::string& prefix, double timeoutSeconds = 5.0) {
    return process_->waitForLine(prefix, timeoutSeconds).has_value();
  }
  // The lines of its report that have come so far.
  std::vector<std::string> linesSoFar() {
    std::vector<std::string> lines;
    while (auto line = process_->readLine(0.2)) lines.push_back(*line);
    return lines;
  }
  // Waits until another client has taken the selection from it.
  bool waitUntilLost(double timeoutSeconds = 3.0) { return process_->waitForLine("LOST", timeoutSeconds).has_value(); }

 private:
  static std::unique_ptr<ClipboardOwner> launch(const XSession& session, std::vector<std::string> argv,
                                                const std::string& mode, std::string* why);
  std::unique_ptr<ChildProcess> process_;
  pid_t servingPid_ = 0;
};

// A window manager on the session (tessavinor-fakewm): maps what clients
// ask and answers activation requests (_NET_ACTIVE_WINDOW) as desktops do.
class WindowManager {
 public:
  // Null, with the reason in `why`, when it does not come to manage the screen.
  static std::unique_ptr<WindowManager> start(const XSession& session, std::string* why = nullptr);
  // Waits for an activation request from a tool (source 2), not from the
  // application itself (source 1).
  bool waitForToolActivation(double timeoutSeconds = 3.0);

 private:
  std::unique_ptr<ChildProcess> process_;
};

}  // namespace tessa::x11test
