#pragma once
// The real desktop on Linux: owns the back ends a Linux session offers and
// hands them to the engine as one Platform, the counterpart of SimDesktop.
// Areas without a back end in this session get the unavailable stand-ins,
// and `unavailableAreas()` names them so the application can say so.
#include <memory>
#include <string>
#include <vector>

#include "base/task_runner.h"
#include "platform/platform.h"

namespace tessa {

class ApplicationFocus;
class JsonPreferenceDomains;
class LinuxWorkspace;

struct LinuxDesktopOptions {
  std::string bundleIdentifier = "com.Ovrelan.Tessavinor";
  // Overrides for the keys, input sources and Accessibility back end (the X11
  // one); null means unavailable.
  EventSystem* events = nullptr;
  InputSources* inputSources = nullptr;
  Accessibility* accessibility = nullptr;
  Hid* hid = nullptr;
  Screens* screens = nullptr;
  // Child processes; null means real ones.
  ProcessRunner* processes = nullptr;
  // The focused application and bringing one forward (the X11 one); null:
  // neither is known.
  ApplicationFocus* focus = nullptr;
  // The clipboard (the application's, through its toolkit); null: no
  // clipboard history.
  Pasteboard* pasteboard = nullptr;
};

class LinuxDesktop {
 public:
  LinuxDesktop(TaskRunner& main, LinuxDesktopOptions options = {});
  ~LinuxDesktop();
  LinuxDesktop(const LinuxDesktop&) = delete;
  LinuxDesktop& operator=(const LinuxDesktop&) = delete;

  Platform platform();
  LinuxWorkspace& workspace();
  SystemLog& systemLog();
  // The symbolic hot keys the engine binds (entry 61: next input source on
  // Fn+F19), kept in our preferences folder; the keyboard back end honours
  // them. Shared, as the back end's thread may outlive this object.
  std::shared_ptr<JsonPreferenceDomains> hotKeyStore();
  static constexpr const char* kHotKeyFileName = "symbolic_hot_keys.json";
  // "keys", "input sources", "Accessibility", "Caps Lock" for the areas run
  // by a stand-in.
  const std::vector<std::string>& unavailableAreas() const { return unavailable_; }
  // Sets the screens once the user interface knows them.
  void setScreens(Screens* screens) { options_.screens = screens; }

 private:
  struct Owned;
  TaskRunner& main_;
  LinuxDesktopOptions options_;
  std::unique_ptr<Owned> owned_;
  std::vector<std::string> unavailable_;
};

}  // namespace tessa
