#include "platform/sim/sim_event_system.h"

#include <algorithm>

namespace tessa {

namespace {
size_t slot(TapLocation location) { return location == TapLocation::hid ? 0 : 1; }

bool maskHas(uint64_t mask, EventType type) {
  auto bit = static_cast<uint32_t>(type);
  return bit < 64 && (mask & (uint64_t{1} << bit)) != 0;
}
}  // namespace

SimEventSystem::SimEventSystem(const SimContext& ctx) : ctx_(ctx) {}

TapId SimEventSystem::createTap(TapLocation location, bool headInsert, TapOptions options, uint64_t mask,
                                TapCallback callback) {
  if (!creationAllowed_ || (trusted_ && !trusted_())) return 0;
  TapId id = nextTap_++;
  Tap tap;
  tap.info.location = location;
  tap.info.options = options;
  tap.info.mask = mask;
  tap.callback = std::move(callback);
  taps_.emplace(id, std::move(tap));
  auto& list = order_[slot(location)];
  if (headInsert)
    list.insert(list.begin(), id);
  else
    list.push_back(id);
  return id;
}

void SimEventSystem::enableTap(TapId tap, bool enable) {
  auto it = taps_.find(tap);
  if (it != taps_.end() && it->second.info.valid) it->second.info.enabled = enable;
}

bool SimEventSystem::isTapEnabled(TapId tap) const {
  auto it = taps_.find(tap);
  return it != taps_.end() && it->second.info.valid && it->second.info.enabled;
}

void SimEventSystem::addTapToRunLoop(TapId tap) {
  auto it = taps_.find(tap);
  if (it != taps_.end() && it->second.info.valid) it->second.info.attached = true;
}

void SimEventSystem::removeTapFromRunLoop(TapId tap) {
  auto it = taps_.find(tap);
  if (it != taps_.end()) it->second.info.attached = false;
}

void SimEventSystem::invalidateTap(TapId tap) {
  auto it = taps_.find(tap);
  if (it == taps_.end()) return;
  it->second.info.valid = false;
  it->second.info.enabled = false;
  it->second.info.attached = false;
  for (auto& list : order_) std::erase(list, tap);
  // Safe even from the tap's own callback: callers run a copy of it.
  taps_.erase(it);
}

bool SimEventSystem::isTapValid(TapId tap) const {
  auto it = taps_.find(tap);
  return it != taps_.end() && it->second.info.valid;
}

void SimEventSystem::post(TapLocation location, const Event& event) {
  if (!canPostEvents()) {
    ++droppedPosts_;
    return;
  }
  Event e = event;
  if (e.timestamp == 0) e.timestamp = ctx_.now();
  if (e.sourcePID == 0) e.sourcePID = ownPid_;
  e.ownPost = true;
  posted_.push_back(e);
  postQueue_.emplace_back(location, e);
  ctx_.post([this] {
    if (postQueue_.empty()) return;
    auto [location, e] = std::move(postQueue_.front());
    postQueue_.pop_front();
    if (e.isKey() && e.unicode.empty() && fillText_) fillText_(e);
    dispatch(std::move(e), location);
  });
}

bool SimEventSystem::canPostEvents() const { return postingAllowed_ && (!trusted_ || trusted_()); }

uint64_t SimEventSystem::hardwareModifierFlags() const { return hardwareFlags_ ? hardwareFlags_() : 0; }

std::pair<double, double> SimEventSystem::mouseLocation() const { return mouse_; }

void SimEventSystem::deliverHardware(const Event& event) {
  ctx_.post([this, event] { dispatch(asHeld(event), TapLocation::hid); });
}

// As the X server hands keys to a filtering tap that holds only what it is
// told to (the decided keys always, every key while the keyboard is held),
// checked when the key comes: any other key reaches the focus at once and the
// tap only hears it, and a release goes the way its press went. So a key a
// stage would swallow or hold without having said so passes here as it does
// there.
Event SimEventSystem::asHeld(Event event) {
  const bool press = event.type == EventType::keyDown;
  if (event.type == EventType::keyUp) {
    if (heardOnlyDown_.erase(event.keyCode) > 0) event.listenOnly = true;
    return event;
  }
  if (!press && event.type != EventType::flagsChanged) return event;
  const bool decided = press && std::any_of(decidedKeys_.begin(), decidedKeys_.end(), [&](const DecidedKey& k) {
    return k.matches(event.keyCode, event.flags);
  });
  if (keyboardHeld_ || decided) {
    if (press) heardOnlyDown_.erase(event.keyCode);
    return event;
  }
  event.listenOnly = true;
  if (press) heardOnlyDown_.insert(event.keyCode);
  return event;
}

void SimEventSystem::disableTap(TapId tap, bool byUserInput) {
  auto it = taps_.find(tap);
  if (it == taps_.end() || !it->second.info.valid) return;
  it->second.info.enabled = false;
  EventType type = byUserInput ? EventType::tapDisabledByUserInput : EventType::tapDisabledByTimeout;
  ctx_.post([this, tap, type] {
    auto it = taps_.find(tap);
    if (it == taps_.end() || !it->second.info.valid || !it->second.info.attached) return;
    Event e;
    e.type = type;
    e.timestamp = ctx_.now();
    TapCallback cb = it->second.callback;
    if (cb) cb(tap, type, e);
  });
}

void SimEventSystem::dispatch(Event event, TapLocation from) {
  for (size_t s = slot(from); s < 2; ++s) {
    const std::vector<TapId> ids = order_[s];  // callbacks may add or remove taps
    for (TapId id : ids) {
      auto it = taps_.find(id);
      if (it == taps_.end()) continue;
      const TapInfo& info = it->second.info;
      if (!info.valid || !info.enabled || !info.attached || !maskHas(info.mask, event.type)) continue;
      // A key another program took reaches it whatever a tap answers.
      bool listenOnly = info.options == TapOptions::listenOnly || event.listenOnly;
      TapCallback cb = it->second.callback;
      if (!cb) continue;
      std::optional<Event> result = cb(id, event.type, event);
      if (listenOnly) continue;
      if (!result) return;  // swallowed
      event = std::move(*result);
    }
  }
  if (sink_) sink_(event);
}

std::vector<TapId> SimEventSystem::tapIds() const {
  std::vector<TapId> out = order_[0];
  out.insert(out.end(), order_[1].begin(), order_[1].end());
  return out;
}

std::optional<SimEventSystem::TapInfo> SimEventSystem::tapInfo(TapId tap) const {
  auto it = taps_.find(tap);
  if (it == taps_.end()) return std::nullopt;
  return it->second.info;
}

}  // namespace tessa
