#pragma once
// Which application's window has the focus on an X11 server, and bringing one
// forward again. With a window manager that names the active window
// (_NET_ACTIVE_WINDOW), the question and the request go to it; without one,
// the input focus itself is read and set. The application is told by its
// window's _NET_WM_PID and WM_CLASS.
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/linux/linux_workspace.h"

struct xcb_connection_t;

namespace tessa {

class X11WindowFocus final : public ApplicationFocus {
 public:
  // Null, with the reason in `why`, when the display cannot be opened.
  static std::unique_ptr<X11WindowFocus> open(const std::string& displayName, std::string* why = nullptr);
  ~X11WindowFocus() override;
  X11WindowFocus(const X11WindowFocus&) = delete;
  X11WindowFocus& operator=(const X11WindowFocus&) = delete;

  std::optional<RunningApplication> focusedApplication() override;
  // Brings the application's window forward and waits, up to the timeout,
  // until it holds the focus; false when it has none or did not get it.
  bool activate(const RunningApplication& app) override;

  // How long activate() waits for the window manager to act.
  void setActivationTimeout(double seconds) { timeoutSeconds_ = seconds; }
  // Whether a window manager answers for the active window.
  bool hasWindowManager();

 private:
  using Window = uint32_t;
  struct Atoms {
    uint32_t activeWindow = 0, supported = 0, supportingCheck = 0, wmPid = 0, clientList = 0;
  };
  struct Identity {
    int64_t pid = 0;
    std::string instance, windowClass;
  };

  explicit X11WindowFocus(xcb_connection_t* c, Window root);
  std::optional<Window> activeWindow();
  // The window itself or the nearest ancestor that names an application.
  std::optional<Window> clientOf(Window window);
  std::optional<Identity> identityOf(Window window);
  RunningApplication applicationOf(const Identity& identity) const;
  bool matches(Window window, const RunningApplication& app);
  std::optional<Window> findWindowOf(const RunningApplication& app);
  bool isFocused(Window window);

  xcb_connection_t* c_ = nullptr;
  Window root_ = 0;
  Atoms atoms_;
  double timeoutSeconds_ = 1.0;
  std::mutex mutex_;
  // The last window seen focused for each application (pid, identifier):
  // the one brought back, before any other of its windows.
  std::map<std::pair<int64_t, std::string>, Window> lastWindow_;
};

}  // namespace tessa
