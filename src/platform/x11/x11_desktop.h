#pragma once
// The X11 session's back ends, chosen at start-up. X11 is used when DISPLAY
// names a server that offers XInput2 and XTest; on Wayland, without DISPLAY or
// without those extensions no tap is started and `reason()` says why, for the
// log and the status item's tooltip.
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "base/task_runner.h"
#include "platform/linux/linux_desktop.h"

namespace tessa {

class JsonPreferenceDomains;
class X11EventSystem;
class X11Hid;
class X11KeyMappingRunner;

class X11InputSources;
class X11WindowFocus;
class AtspiAccessibility;

class X11Desktop {
 public:
  using Log = std::function<void(const std::string&)>;
  using Environment = std::map<std::string, std::string>;

  // The variables the choice reads (DISPLAY, WAYLAND_DISPLAY, XDG_SESSION_TYPE).
  static Environment processEnvironment();
  // Why this session cannot have the X11 back end; empty when it can try.
  static std::string unsuitableSessionReason(const Environment& env);

  // Opens the display and builds the back ends. Never null: when X11 is not
  // usable the result has no back ends and a reason.
  static std::unique_ptr<X11Desktop> open(TaskRunner& main, const Environment& env, Log log,
                                          double handlerBudgetSeconds = 1.0);
  ~X11Desktop();

  bool available() const { return events_ != nullptr; }
  const std::string& reason() const { return reason_; }
  const std::string& displayName() const { return display_; }
  X11EventSystem* events() const { return events_.get(); }
  X11Hid* hid() const { return hid_.get(); }
  InputSources* inputSources() const;
  Accessibility* accessibility() const;
  // Child processes, with the key-mapping tool answered by the tap.
  ProcessRunner* processes() const;
  // The focused window's application, and bringing one forward; present on
  // any X11 display, with or without the keyboard extensions.
  X11WindowFocus* focus() const { return focus_.get(); }

  // `base` with the back ends this session has filled in.
  LinuxDesktopOptions options(LinuxDesktopOptions base = {}) const;
  // The symbolic hot keys this back end honours as the desktop's own
  // keyboard handling would (the next-input-source hot key, entry 61).
  void honourHotKeys(std::shared_ptr<JsonPreferenceDomains> store);
  // Quit: grabs released, the lock state and the light's map put back.
  void restore();

 private:
  X11Desktop() = default;
  std::string display_, reason_;
  std::unique_ptr<X11EventSystem> events_;
  std::unique_ptr<X11Hid> hid_;
  std::unique_ptr<X11KeyMappingRunner> processes_;
  // Before the accessibility, which asks it from its own thread until it ends.
  std::unique_ptr<X11WindowFocus> focus_;
  std::unique_ptr<X11InputSources> inputSources_;
  std::unique_ptr<AtspiAccessibility> accessibility_;
};

}  // namespace tessa
