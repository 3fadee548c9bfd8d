#pragma once
// Posting with XTest: the engine's keys (and the callback's replacements) go
// out on the grab thread with the helper modifiers they ask for, or as their
// text when the key would type something else. Only the event system's files
// include it.
//
// The queue of posts and the next-source hot key are filled from any thread,
// each under a lock of its own; everything else is the grab thread's.
#include <X11/XKBlib.h>

#include <array>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/events.h"

namespace tessa {

class PostedLedger;
class TextTyper;

class XTestPoster {
 public:
  XTestPoster(Display* d, PostedLedger& ledger, TextTyper& typer, std::function<void(const std::string&)> log)
      : d_(d), ledger_(ledger), typer_(typer), log_(std::move(log)) {}

  // ------------------------------------------------------ any thread
  void enqueue(const Event& event);
  void enqueue(const std::vector<Event>& events);  // all under one lock
  // Takes the posts waiting; until takenPosted(), they count as still to
  // post (taken, they are in no queue and not yet in the ledger).
  std::deque<Event> takeQueued();
  void takenPosted();
  // Puts posts taken back at the head of the queue, to go out later.
  void requeueFront(std::deque<Event> posts);
  bool hasQueued() const;
  void setNextSourceHotKey(std::function<bool()> bound);
  // Whether the next-source hot key is bound now.
  bool nextSourceHotKeyBound() const;
  // Whether nothing we posted is still to post or on its way back through
  // the grab.
  bool ownKeysThrough() const;

  // ------------------------------------------------------ grab thread
  // One batch of posts: the keyboard state and the keys down are read once
  // for all of them. `frozen`: a press of the user's holds the keyboard,
  // waiting for the tap's answer.
  void beginBatch(bool frozen = false) {
    inBatch_ = true;
    frozen_ = frozen;
    waitsForAnswer_ = false;
  }
  void endBatch();
  // Posts the event; answers the X key left pressed by a key-down, if any.
  std::optional<unsigned> post(const Event& event, bool passThrough);
  // Whether the last post() put nothing out because its text waits for a
  // borrowed key code whose last key is still on its way: that event and
  // the ones after it go out later, in order.
  bool takeDeferred() { return std::exchange(deferred_, false); }
  // Whether what waits does so for the answer to the frozen press alone
  // (which wakes the thread), not for a time.
  bool waitsForAnswer() const { return waitsForAnswer_; }
  // Until when deferred text may wait (0: none waits).
  double spareWaitUntil() const { return spareWaitUntil_; }
  // Deferred text waiting for the focused program's answer: the connection
  // it comes on, and when it is given up.
  std::optional<std::pair<int, double>> answerWait() const;
  // One X key, through the ledger.
  void fake(unsigned xKeyCode, bool press, const Event& event, bool passThrough);
  // Whether the key, pressed now with the event's modifiers, would type
  // something other than the event's text.
  bool typesOtherText(unsigned xKeyCode, const Event& event);
  static bool carriesText(const Event& event);
  // A modifier key's raw press or release, from the device that sent it.
  void noteModifier(unsigned xKeyCode, bool press, int sourceid);
  // Once every key we posted is through, the modifiers the user still holds
  // that were let go for them are pressed again.
  void restoreLetGoModifiersOnceThrough();
  // A user's key we posted again whose press the tap dropped (a hot key
  // typed during a switch and replayed after it): released on the server
  // now, unless its release is on its way already.
  void releaseDroppedPress(unsigned xKeyCode);
  // Whether the event is the release the engine posts later for such a key:
  // the tap is shown it, and nothing is posted.
  bool takeReleasedEarly(const Event& event);

 private:
  bool keyboardState(XkbStateRec& s);
  std::array<char, 32> keymap();
  bool keyDownNow(unsigned xKeyCode);
  bool mayBeDownOnServer(unsigned xKeyCode);
  bool userPressUnread();
  void letGoOfHeldModifiers(const Event& event);
  void log(const std::string& line) const {
    if (log_) log_(line);
  }

  Display* const d_;
  PostedLedger& ledger_;
  TextTyper& typer_;
  const std::function<void(const std::string&)> log_;

  mutable std::mutex queueMutex_;
  std::deque<Event> queue_;  // under queueMutex_: posts waiting for the grab thread
  bool inHand_ = false;      // under queueMutex_: taken by the grab thread, not all posted yet
  mutable std::mutex hotKeyMutex_;
  std::function<bool()> nextSourceHotKeyBound_;  // under hotKeyMutex_

  // Virtual key codes whose posted press was released at once (typed as
  // text, or tapped), and whether that press was tagged as the engine's own:
  // the release the poster sends later for it posts nothing. Kept apart by
  // the tag, so that a count our own key left (its release never posted)
  // cannot take the release of a user's key posted again, which would leave
  // that key down and the server would drop the user's next press of it.
  std::map<std::pair<uint16_t, bool>, int> releasedWithPress_;
  // X key codes released by releaseDroppedPress and not pressed again since.
  std::set<unsigned> releasedEarly_;
  // While one batch of posts goes out: the keyboard state and the keys down
  // as the server had them when it began, each read once. Two round trips
  // per key would hold every key of a typed word behind them, the first one
  // frozen in our own grab.
  bool inBatch_ = false;
  bool frozen_ = false;
  bool waitsForAnswer_ = false;
  bool deferred_ = false;
  double spareWaitUntil_ = 0;
  std::optional<XkbStateRec> batchState_;
  std::optional<std::array<char, 32>> batchKeymap_;
  // Modifier keys the user held that were let go for the engine's own keys,
  // and their modifier bits: pressed again once those keys are through,
  // where the user still holds them.
  std::vector<unsigned> modifiersLetGo_;
  unsigned letGoMask_ = 0;
  // Those pressed again, while their presses may still be on their way.
  std::vector<unsigned> pressedAgain_;
  // The modifier keys down on every keyboard but ours (the user's own), as
  // the raw events tell.
  std::set<unsigned> userModifiersDown_;
};

}  // namespace tessa
