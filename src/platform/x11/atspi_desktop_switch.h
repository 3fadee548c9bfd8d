#pragma once
// The desktop's accessibility switch: org.a11y.Status IsEnabled on the
// session bus, which the accessibility bus launcher keeps in the desktop's
// toolkit-accessibility setting. Every program started while it is on
// shares its text with assistive tools (each decides at its own start), so
// the switch is the user's: it is read freely and written only when the user
// grants access.
#include <optional>

typedef struct DBusConnection DBusConnection;

namespace tessa {

class AtspiDesktopSwitch {
 public:
  enum class Answer { value, noBus, noLauncher, refused };

  AtspiDesktopSwitch() = default;
  ~AtspiDesktopSwitch() { close(); }
  AtspiDesktopSwitch(const AtspiDesktopSwitch&) = delete;
  AtspiDesktopSwitch& operator=(const AtspiDesktopSwitch&) = delete;

  // Reads the switch into `enabled`.
  Answer read(bool& enabled);
  // Turns it on and reads it back into `enabled`: a launcher whose setting
  // cannot be written answers the write but stays off (refused).
  Answer turnOn(bool& enabled);
  // Drops the connection; the next call opens a new one.
  void close();

 private:
  Answer call(std::optional<bool> set, bool& value);

  // The session bus, opened on first use and kept; one that went away is
  // dropped and opened again on the next call.
  DBusConnection* bus_ = nullptr;
};

}  // namespace tessa
