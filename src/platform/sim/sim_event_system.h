#pragma once
// Simulated event taps. Events pass through the installed taps (HID location
// first, then session; each list in head-insert order), each of which may pass,
// change or swallow them, before reaching the sink (the "system", then the
// focused application). Posted events come back through the taps from their
// posting location on, in order, each on its own main-queue turn.
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <vector>

#include "platform/events.h"
#include "platform/sim/sim_context.h"

namespace tessa {

class SimEventSystem final : public EventSystem {
 public:
  using Sink = std::function<void(const Event&)>;

  struct TapInfo {
    TapLocation location = TapLocation::hid;
    TapOptions options = TapOptions::defaultTap;
    uint64_t mask = 0;
    bool enabled = true;
    bool attached = false;
    bool valid = true;
  };

  explicit SimEventSystem(const SimContext& ctx);

  TapId createTap(TapLocation location, bool headInsert, TapOptions options, uint64_t mask,
                  TapCallback callback) override;
  void enableTap(TapId tap, bool enable) override;
  bool isTapEnabled(TapId tap) const override;
  void addTapToRunLoop(TapId tap) override;
  void removeTapFromRunLoop(TapId tap) override;
  void invalidateTap(TapId tap) override;
  bool isTapValid(TapId tap) const override;
  void post(TapLocation location, const Event& event) override;
  bool canPostEvents() const override;
  uint64_t hardwareModifierFlags() const override;
  std::pair<double, double> mouseLocation() const override;
  Subscription addGlobalKeyDownMonitor(std::function<void(const Event&)> handler) override {
    return globalKeyDownMonitors_.add(std::move(handler));
  }
  // A key-down that reached another application: the global monitors hear it
  // on the next main-queue turn.
  void notifyGlobalKeyDown(const Event& event) { globalKeyDownMonitors_.notify(event); }

  // Wiring by the desktop.
  void setSink(Sink sink) { sink_ = std::move(sink); }
  void setTrustedProvider(std::function<bool()> trusted) { trusted_ = std::move(trusted); }
  void setHardwareFlagsProvider(std::function<uint64_t()> f) { hardwareFlags_ = std::move(f); }
  // Fills the text of a posted key event that carries none, at delivery, the
  // way applications translate a bare key code through the current layout.
  void setPostedTextFiller(std::function<void(Event&)> f) { fillText_ = std::move(f); }
  void setOwnPid(int64_t pid) { ownPid_ = pid; }

  // A hardware event, already created: delivered on the next main-queue turn.
  void deliverHardware(const Event& event);
  void setMouseLocation(double x, double y) { mouse_ = {x, y}; }

  // Knobs.
  void setTapCreationAllowed(bool allowed) { creationAllowed_ = allowed; }
  void setPostingAllowed(bool allowed) { postingAllowed_ = allowed; }
  // A desktop whose keyboard tap can only listen to some typing keys.
  void setFiltersEveryKey(bool filters) { filtersEveryKey_ = filters; }
  bool filtersEveryKey() const override { return filtersEveryKey_; }
  // The typing keys another program holds, on such a desktop.
  void setKeysHeldByOthers(std::vector<std::string> keys) { keysHeldByOthers_ = std::move(keys); }
  std::vector<std::string> keysHeldByOthers() const override { return keysHeldByOthers_; }
  // A key and modifiers another program holds (a window manager's shortcut).
  void setComboHeldByOthers(uint16_t keyCode, uint64_t flags) { heldCombo_ = {keyCode, flags}; }
  bool comboHeldByOthers(uint16_t keyCode, uint64_t flags) const override {
    return heldCombo_ && heldCombo_->first == keyCode && heldCombo_->second == flags;
  }
  // What the engine asked to be held: the keys it decides outside a hold,
  // and whether it holds every key now. A keyboard key neither decided nor
  // pressed while the keyboard is held reaches the taps as heard only
  // (`Event::listenOnly`), as on X11.
  void setDecidedKeys(std::vector<DecidedKey> keys) override { decidedKeys_ = std::move(keys); }
  void setKeyboardHeld(bool held) override { keyboardHeld_ = held; }
  const std::vector<DecidedKey>& decidedKeys() const { return decidedKeys_; }
  bool keyboardHeld() const { return keyboardHeld_; }
  // The system gave up on a tap: it is disabled, and its callback receives a
  // tap-disabled event on the next main-queue turn.
  void disableTap(TapId tap, bool byUserInput = false);

  // What was posted (in order), for transcripts.
  const std::vector<Event>& posted() const { return posted_; }
  void clearPosted() { posted_.clear(); }
  size_t droppedPostCount() const { return droppedPosts_; }
  std::vector<TapId> tapIds() const;  // valid taps, in delivery order
  std::optional<TapInfo> tapInfo(TapId tap) const;

 private:
  struct Tap {
    TapInfo info;
    TapCallback callback;
  };
  void dispatch(Event event, TapLocation from);
  Event asHeld(Event event);

  const SimContext& ctx_;
  std::map<TapId, Tap> taps_;
  std::vector<TapId> order_[2];  // by location: hid, session
  TapId nextTap_ = 1;
  std::deque<std::pair<TapLocation, Event>> postQueue_;
  std::vector<Event> posted_;
  size_t droppedPosts_ = 0;
  Sink sink_;
  std::function<bool()> trusted_;
  std::function<uint64_t()> hardwareFlags_;
  std::function<void(Event&)> fillText_;
  bool creationAllowed_ = true;
  bool postingAllowed_ = true;
  bool filtersEveryKey_ = true;
  std::vector<std::string> keysHeldByOthers_;
  std::vector<DecidedKey> decidedKeys_;
  bool keyboardHeld_ = false;
  std::set<uint16_t> heardOnlyDown_;  // presses that reached the focus unheld
  std::optional<std::pair<uint16_t, uint64_t>> heldCombo_;
  int64_t ownPid_ = 0;
  std::pair<double, double> mouse_{0, 0};
  SimObservers<Event> globalKeyDownMonitors_{ctx_};
};

}  // namespace tessa
