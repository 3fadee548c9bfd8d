#pragma once
// Every key of the user's that the engine holds back to post later, with
// one owner: the keys typed while the switcher key is down (before it is
// known whether the press switches), the keys typed while the engine types
// text of its own, and the replay chain that posts held keys again, with the
// marks of posted keys still on their way back through the tap. Its methods
// are the only way in and out, so every hold, release and drop of a user key
// can be found here. (The typing flow's hold while a switch is confirmed
// keeps its queue in TypingFlowController, below the engine; keys pass from
// the press's hold to it and from it back through the tap.)
//
// Main thread only, except the keys held during a simulation, which are read
// and written under TypingSimulationState::lock, beside the simulation count.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <set>
#include <vector>

#include "platform/events.h"

namespace tessa {

class HeldKeys {
 public:
  // ------------------------------------------- held while the switcher key is down
  void holdDuringPress(const Event& event) { press_.push_back(event); }
  bool hasPressHeld() const { return !press_.empty(); }
  const std::vector<Event>& pressHeld() const { return press_; }
  // All of them, in the order typed; none stay held.
  std::vector<Event> takePressHeld();
  void dropPressHeld() { press_.clear(); }

  // Key-downs held (during the press, or by the typing flow's hold) whose
  // key-up is held after them rather than passed ahead of them.
  void noteHeldDown(uint16_t keyCode) { heldDowns_.insert(keyCode); }
  // True when the key's press was held: its release goes the same way.
  bool releaseHeldDown(uint16_t keyCode) { return heldDowns_.erase(keyCode) > 0; }
  bool isHeldDown(uint16_t keyCode) const { return heldDowns_.count(keyCode) > 0; }
  void forgetHeldDowns() { heldDowns_.clear(); }

  // ---------------------------------------- held while the engine types text
  void holdDuringSimulation(const Event& event) { simulation_.push_back(event); }
  size_t simulationHeldCount() const { return simulation_.size(); }
  std::vector<Event> takeSimulationHeld();

  // ------------------------------------------------------- the replay chain
  // Keys still to post, 0.003 s apart. User keys typed while it drains, or
  // pressed while our posted keys are still on their way, join its tail, so
  // nothing overtakes.
  void queueBehindReplay(const Event& event);
  // events[from...] go to the chain's head: they were typed before anything
  // still waiting in its tail.
  void putAheadOfReplay(std::vector<Event> events, size_t from);
  bool hasReplayPending() const { return !replay_.empty(); }
  // The chain's next key; the chain must not be empty.
  Event takeNextReplay();
  // Whether the chain's next key is the release of `keyCode`.
  bool nextReplayReleases(uint16_t keyCode) const {
    return !replay_.empty() && replay_.front().type == EventType::keyUp && replay_.front().keyCode == keyCode;
  }

  // A key posted again that has not come back through the tap yet: the
  // replay's, and the held keys a switch let go of, which come back tagged.
  // A mark that never comes back expires.
  struct PostedMark {
    EventType type;
    uint16_t keyCode;
    uint64_t flags;
    double postedAt;  // uptime
    bool tagged = false;
  };
  void markPosted(const PostedMark& mark) { posted_.push_back(mark); }
  bool hasPostedOnTheWay() const { return !posted_.empty(); }
  // Drops the marks that expired by `now`.
  void dropExpiredMarks(double now);
  // Drops the marks that expired by `now`; when the event is one of ours
  // coming back, takes its mark and those posted before it, and answers true.
  bool takePostedMark(double now, const Event& event, EventType type);

  // Keys whose press went out again later (behind our posted keys, into the
  // replay's tail, or held during a simulation): their release follows the
  // press out, whenever it comes. Passed at once after the replay has ended,
  // it would overtake the press still on its way, and the window system
  // would keep the key down.
  void notePutBehind(EventType type, uint16_t keyCode);
  // True when the key's press was put behind: its release goes after it.
  bool releasePutBehind(uint16_t keyCode) { return putBehind_.erase(keyCode) > 0; }

 private:
  std::vector<Event> press_;
  std::set<uint16_t> heldDowns_;
  std::vector<Event> simulation_;
  std::deque<Event> replay_;
  std::deque<PostedMark> posted_;
  std::set<uint16_t> putBehind_;
};

}  // namespace tessa
