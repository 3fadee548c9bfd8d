#pragma once
// The posted-key ledger. X events carry no user data, so every key the X11
// event system posts is written here as it goes out, with the event its
// poster gave; when a key comes back through the grab, the ledger says
// whether it is ours and hands back that event. An entry not seen again
// within its lifetime is dropped. Only the event system's files include it.
//
// Written on the grab thread, read there and from any thread (the size, for
// tests and shutdown): the ledger keeps its own lock, held for no call out.
#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/events.h"

typedef struct _XDisplay Display;

namespace tessa {

class PostedLedger {
 public:
  struct Entry {
    unsigned xKeyCode = 0;
    bool press = false;
    bool passThrough = false;  // a helper key or a changed event: not shown to the callback again
    bool aroundGrab = false;   // a press posted around the grab: it comes back only if the grab took it after all
    Event event;
    double postedAt = 0;
    bool showOnly = false;  // nothing sent: shown to the callback once the keys posted before it are back
  };

  explicit PostedLedger(double lifetimeSeconds) : lifetime_(lifetimeSeconds) {}

  // The XTest keyboard our keys come from; -1 (any may be ours) until said.
  // Set before the grab thread starts.
  void setPostingKeyboard(int deviceId) { postingKeyboard_ = deviceId; }
  int postingKeyboard() const { return postingKeyboard_; }

  // Writes the key down, then posts it with XTest on `d` (unflushed): the
  // entry is there before the key can come back.
  void post(Display* d, unsigned xKeyCode, bool press, const Event& event, bool passThrough);
  // The entry for a key that came back from `sourceid`, taken out; none for
  // a key we did not post.
  std::optional<Entry> take(unsigned xKeyCode, bool press, int sourceid, bool aroundGrabOnly = false);
  // An event posted that sends nothing to the server (a modifier change the
  // server made itself, the release of a key already released with its
  // press): it is written down in its turn, and shown to the callback once
  // every key posted before it has come back, as it would have come back
  // itself. The poster tells its keys from the user's by what comes back, in
  // order: one it never sees again would leave it waiting for it.
  void show(const Event& event);
  // Those whose turn has come, in order, taken out.
  std::vector<Event> takeShowable();
  bool showPending() const;
  // Presses posted from now on go around the grab where `open`, asked
  // first, let go of their key code; none: all through it again (grab thread).
  void setAroundGrab(std::function<bool(unsigned xKeyCode)> open) { openForAround_ = std::move(open); }

  size_t size() const;
  // Whether a press we posted for the callback to see is still on its way.
  bool ownPressInFlight() const;
  // Whether any press we posted may still be on its way.
  bool pressOnItsWay() const;
  // Whether a key posted on this key code may still be on its way.
  bool inFlight(unsigned xKeyCode) const;

 private:
  bool alive(const Entry& e, double now) const { return now - e.postedAt <= lifetime_; }

  const double lifetime_;
  std::atomic<int> postingKeyboard_{-1};
  std::function<bool(unsigned)> openForAround_;
  mutable std::mutex mutex_;
  std::deque<Entry> entries_;  // under mutex_
};

}  // namespace tessa
