#pragma once
// The desktop's accessibility switch: org.a11y.Status IsEnabled on the
// session bus, which the accessibility bus launcher keeps in the desktop's
// toolkit-accessibility setting. Every program started while it is on
// shares its text with assistive tools (each decides at its own start), so
// the switch is the user's: it is read freely and written only when the user
// grants access.
#include <functional>
#include <optional>

typedef struct DBusConnection DBusConnection;
typedef struct DBusMessage DBusMessage;
typedef struct _GMainContext GMainContext;

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

  // Has the bus announce every change of the switch, and the launcher
  // coming and going, to `changed`, run from `context` (which the caller's
  // thread iterates) with the value announced, or none when the switch must
  // be read again. False when the bus cannot be reached; a connection that
  // is lost and opened again is watched again.
  using Changed = std::function<void(std::optional<bool> announced)>;
  bool watch(GMainContext* context, Changed changed);

  // What a signal on the session bus says of the switch: nothing (not
  // about the switch), read it again, or its new value.
  enum class Signal { unrelated, readAgain, value };
  static Signal interpret(DBusMessage* message, bool& value);

 private:
  Answer call(std::optional<bool> set, bool& value);
  bool open();
  bool startWatching();

  // The session bus, opened on first use and kept; one that went away is
  // dropped and opened again on the next call.
  DBusConnection* bus_ = nullptr;
  GMainContext* watchContext_ = nullptr;
  Changed changed_;
  bool watching_ = false;  // the connection's rules and filter are in place
};

}  // namespace tessa
