#pragma once
// Moves the system to the next keyboard input source, or to a named one, as
// fast as the system allows. The preferred road posts Fn+F19, to which the
// system's next-input-source hot key is rebound, so that the system switches
// with its own bookkeeping; the typing flow then confirms the switch and, when
// it did not happen in time, the fallback selects the source directly. When
// that road cannot be taken at all the source is selected directly at once.
//
// The switcher keeps no state of its own: it is a view onto the engine and
// the machine, made on demand. Main thread only.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/events.h"
#include "platform/input_sources.h"

namespace tessa {

class KeyboardEngine;

class LanguageSwitcher {
 public:
  using Completion = std::function<void(bool isEnglish)>;

  explicit LanguageSwitcher(KeyboardEngine& engine) : engine_(engine) {}

  // The enabled sources the switcher cycles through, in the system's order.
  std::vector<InputSourceInfo> selectableKeyboardSources() const;
  static bool isSelectableKeyboardSource(const InputSourceInfo& source);
  static std::optional<std::string> inputSourceID(const InputSourceInfo& source);
  // The ID of the selectable source after the current one (the last wraps to
  // the first); none with fewer than two, or when the current one is not among
  // them.
  std::optional<std::string> nextInputSourceID() const;
  // 0 on success; selects nothing (and answers 0) while the process may not
  // change this machine's keyboard.
  int32_t selectInputSource(const InputSourceInfo& source);

  void toggle(Completion completion = {});
  // Schedules toggle on the main queue and returns at once.
  void toggleOnMain(Completion completion = {});
  void switchToInputSource(const std::string& targetID, Completion completion = {});
  void switchToInputSourceOnMain(const std::string& targetID, Completion completion = {});
  // The fallback when the hot key did not switch: selects `expectedID`
  // directly; true when it was selected.
  bool selectDirectlyAfterHotKeyFailure(const std::string& expectedID);

  bool isCurrentSourceEnglish() const;
  bool isKnownLayoutActive() const;
  void log(const std::string& message);

  // The two events of the Fn+F19 press, tagged as our own.
  static Event fnF19Event(EventType type);

 private:
  // Posts Fn+F19 and starts the confirmation; false when the road cannot be
  // taken (no next source).
  bool postHotKeySwitch(const std::string& expectedID, bool namedTarget, const Completion& completion);

  KeyboardEngine& engine_;
};

}  // namespace tessa
