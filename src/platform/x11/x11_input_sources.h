#pragma once
// Input sources on an X server: each XKB group of the keyboard is one source,
// named "xkb:<layout>[:<variant>]" after the layout list the keymap was made
// from (_XKB_RULES_NAMES), so "xkb:us" counts as English, "xkb:th" as Thai and
// "xkb:la" as Lao. Selecting locks the group; a change of the locked group,
// by us or anyone, is the selected-source-changed notification. Keys are
// rendered through the server's own keymap (xkbcommon-x11).
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/task_runner.h"
#include "platform/input_sources.h"
#include "platform/x11/main_queue_observers.h"

typedef struct _XDisplay Display;

namespace tessa {

class X11InputSources final : public InputSources {
 public:
  // The status select() answers for an identifier that is not a group.
  static constexpr int32_t kParamErr = -50;  // [design]

  // Opens its own two connections to `displayName` (empty: $DISPLAY), one for
  // the calls and one watched on a thread of its own for XKB changes;
  // notifications run on `main`. Check ok() before use.
  explicit X11InputSources(TaskRunner& main, const std::string& displayName = "");
  ~X11InputSources() override;
  X11InputSources(const X11InputSources&) = delete;
  X11InputSources& operator=(const X11InputSources&) = delete;

  // The server was reached and speaks XKB.
  bool ok() const { return display_ != nullptr; }

  std::optional<std::vector<InputSourceInfo>> enabledSources() const override;
  std::optional<InputSourceInfo> currentKeyboardSource() const override;
  int32_t select(const std::string& id) override;
  std::shared_ptr<const KeyLayout> layoutFor(const std::string& id) const override;
  Subscription observeSelectedSourceChanged(std::function<void()> callback) override;
  Subscription observeEnabledSourcesChanged(std::function<void()> callback) override;
  // Another client holds the keyboard grabbed (a password prompt, a locker),
  // as told by the provider; without one, never.
  bool isSecureEventInputEnabled() const override;
  // The key tap learns of a foreign grab when its own is refused
  // (AlreadyGrabbed); it tells us through this.
  void setSecureInputProvider(std::function<bool()> provider);

  // The locked group now, as the server reports it.
  std::optional<uint32_t> currentGroup() const;

 private:
  struct Group {
    InputSourceInfo info;
    std::string layout, variant;
    std::shared_ptr<const KeyLayout> keyLayout;
  };
  // Reads the layout list, group names and keymap again.
  void reload();
  void watch();

  TaskRunner& main_;
  Display* display_ = nullptr;  // calls, under mutex_
  Display* watcher_ = nullptr;  // the watch thread's own
  unsigned long rulesNames_ = 0;  // the _XKB_RULES_NAMES atom
  int wakeFds_[2] = {-1, -1};
  mutable std::mutex mutex_;
  std::vector<Group> groups_;
  std::function<bool()> secureInput_;  // under mutex_
  MainQueueObservers selectedChanged_;
  MainQueueObservers enabledChanged_;
  std::thread thread_;
};

}  // namespace tessa
