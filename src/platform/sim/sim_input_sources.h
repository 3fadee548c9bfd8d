#pragma once
// Simulated keyboard input sources. Sources use the platform's identifiers:
// "com.apple.keylayout.ABC" and ".US" type with the US table, ".Thai" with
// the Kedmanee table the engine's English-to-Thai pairs describe, ".Lao" and
// ".Vietnamese" with xkeyboard-config's "la" and "vn", and any
// "xkb:<layout>[:<variant>]" with that xkeyboard-config layout. Selecting a
// source takes effect after the switch latency, then the selected-source-
// changed observers hear of it on the main queue.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/input_sources.h"
#include "platform/sim/sim_context.h"

namespace tessa {

class SimInputSources final : public InputSources {
 public:
  // The status TISSelectInputSource answers for a source it cannot select.
  static constexpr int32_t kParamErr = -50;

  struct Switch {
    std::string id;
    std::string via;  // "select" or "hotKey"
    double requestedAt = 0;
    double appliedAt = 0;
  };

  explicit SimInputSources(const SimContext& ctx);

  std::optional<std::vector<InputSourceInfo>> enabledSources() const override;
  std::optional<InputSourceInfo> currentKeyboardSource() const override;
  int32_t select(const std::string& id) override;
  std::shared_ptr<const KeyLayout> layoutFor(const std::string& id) const override;
  Subscription observeSelectedSourceChanged(std::function<void()> callback) override;
  Subscription observeEnabledSourcesChanged(std::function<void()> callback) override;
  bool isSecureEventInputEnabled() const override;

  // Set-up. Ids the desktop knows (above) need no registration; others, and
  // sources with unusual properties (a palette, an input method), are added
  // with their info and layout (which may be null).
  void registerSource(const InputSourceInfo& info, std::shared_ptr<const KeyLayout> layout);
  // Replaces the enabled list (in the system's order); unknown ids are
  // ignored. The current source stays unless it is no longer enabled, in which
  // case the first enabled one becomes current. Tells the observers.
  void setEnabledSources(const std::vector<std::string>& ids);
  // Makes `id` current at once, without a notification (initial state).
  void setCurrentSource(const std::string& id);
  void setSwitchLatency(double seconds) { latency_ = seconds; }
  double switchLatency() const { return latency_; }
  // The list cannot be read: enabledSources() answers none.
  void setListReadable(bool readable) { listReadable_ = readable; }
  // select() answers this status (non-zero) without switching.
  void setSelectFailure(std::optional<int32_t> status) { selectFailure_ = status; }
  void setSecureInputProvider(std::function<bool()> f) { secure_ = std::move(f); }

  // The system's own next-source action (the hot key): the next enabled,
  // select-capable keyboard source after the current one, cyclic.
  void selectNext();

  std::string currentId() const { return current_; }
  std::shared_ptr<const KeyLayout> currentLayout() const { return layoutFor(current_); }
  const std::vector<Switch>& switches() const { return switches_; }
  // The info of any known or registered id (also ones not enabled).
  std::optional<InputSourceInfo> infoFor(const std::string& id) const;

  // The xkeyboard-config layout and variant a known id stands for ("us" for
  // ABC and U.S., "th" for Thai, "la" for Lao, the named one for "xkb:..."),
  // so a real X server can be given the same sources; none for other ids.
  static std::optional<std::pair<std::string, std::string>> xkbLayoutFor(const std::string& id);

 private:
  struct Source {
    InputSourceInfo info;
    std::shared_ptr<const KeyLayout> layout;
  };
  const Source* find(const std::string& id) const;
  void scheduleSwitch(const std::string& id, const std::string& via);

  const SimContext& ctx_;
  mutable std::map<std::string, Source> sources_;  // known ids are added on first use
  std::vector<std::string> enabled_;
  std::string current_;
  double latency_ = 0.04;
  bool listReadable_ = true;
  std::optional<int32_t> selectFailure_;
  std::function<bool()> secure_;
  SimObservers<> selectedChanged_;
  SimObservers<> enabledChanged_;
  std::vector<Switch> switches_;
};

}  // namespace tessa
