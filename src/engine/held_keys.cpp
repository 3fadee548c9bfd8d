#include "engine/held_keys.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace tessa {

namespace {
// [ours] A posted key that never came back. As long as the event system keeps
// its own record of a key it posted: one back later than that comes as the
// user's, and taken for a key typed during the replay, it would be replayed
// a second time, its press now without a release.
constexpr double kPostedMarkLifetime = 2.0;

// A posted key is known by what it is, in posting order: a real event
// system does not hand our time stamp back, and keys come back through the
// tap in the order they were posted. A user's press of the same key typed
// meanwhile is no post of ours: taken for one, it would pass ahead of the
// keys held before it, and ours, back later, would go out again behind.
bool samePosted(const HeldKeys::PostedMark& m, const Event& e, EventType type) {
  return e.ownPost && m.tagged == e.isTagged() && m.type == type && m.keyCode == e.keyCode && m.flags == e.flags;
}
}  // namespace

std::vector<Event> HeldKeys::takePressHeld() {
  std::vector<Event> events = std::move(press_);
  press_.clear();
  return events;
}

std::vector<Event> HeldKeys::takeSimulationHeld() {
  std::vector<Event> events = std::move(simulation_);
  simulation_.clear();
  return events;
}

void HeldKeys::queueBehindReplay(const Event& event) {
  replay_.push_back(event);
  notePutBehind(event.type, event.keyCode);
}

void HeldKeys::putAheadOfReplay(std::vector<Event> events, size_t from) {
  if (from >= events.size()) return;
  for (size_t i = from; i < events.size(); ++i) notePutBehind(events[i].type, events[i].keyCode);
  replay_.insert(replay_.begin(), std::make_move_iterator(events.begin() + static_cast<std::ptrdiff_t>(from)),
                 std::make_move_iterator(events.end()));
}

Event HeldKeys::takeNextReplay() {
  Event event = std::move(replay_.front());
  replay_.pop_front();
  return event;
}

void HeldKeys::dropExpiredMarks(double now) {
  while (!posted_.empty() && now - posted_.front().postedAt > kPostedMarkLifetime) posted_.pop_front();
}

bool HeldKeys::takePostedMark(double now, const Event& event, EventType type) {
  dropExpiredMarks(now);
  auto it = std::find_if(posted_.begin(), posted_.end(), [&](const auto& m) { return samePosted(m, event, type); });
  if (it == posted_.end()) return false;
  posted_.erase(posted_.begin(), it + 1);
  return true;
}

void HeldKeys::notePutBehind(EventType type, uint16_t keyCode) {
  if (type == EventType::keyDown)
    putBehind_.insert(keyCode);
  else if (type == EventType::keyUp)
    putBehind_.erase(keyCode);
}

}  // namespace tessa
