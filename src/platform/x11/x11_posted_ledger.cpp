#include "platform/x11/x11_posted_ledger.h"

#include <X11/extensions/XTest.h>

#include <algorithm>

#include "platform/x11/x11_event_system_internal.h"

namespace tessa {

using x11_detail::monotonicNow;

void PostedLedger::post(Display* d, unsigned xKeyCode, bool press, const Event& event, bool passThrough) {
  // Only a press whose key the grab let go of goes around it.
  const bool around = press && openForAround_ && openForAround_(xKeyCode);
  {
    std::lock_guard lock(mutex_);
    entries_.push_back(Entry{xKeyCode, press, passThrough, around, event, monotonicNow()});
    entries_.back().event.ownPost = true;
  }
  XTestFakeKeyEvent(d, xKeyCode, press ? True : False, CurrentTime);
}

void PostedLedger::show(const Event& event) {
  std::lock_guard lock(mutex_);
  Entry entry{0, false, false, false, event, monotonicNow()};
  entry.showOnly = true;
  entry.event.ownPost = true;
  entries_.push_back(std::move(entry));
}

std::vector<Event> PostedLedger::takeShowable() {
  std::vector<Event> out;
  std::lock_guard lock(mutex_);
  const double now = monotonicNow();
  while (!entries_.empty() && (entries_.front().showOnly || !alive(entries_.front(), now))) {
    if (entries_.front().showOnly) out.push_back(std::move(entries_.front().event));
    entries_.pop_front();
  }
  return out;
}

bool PostedLedger::showPending() const {
  std::lock_guard lock(mutex_);
  return std::any_of(entries_.begin(), entries_.end(), [](const Entry& e) { return e.showOnly; });
}

std::optional<PostedLedger::Entry> PostedLedger::take(unsigned xKeyCode, bool press, int sourceid,
                                                      bool aroundGrabOnly) {
  // A key the user types on a keyboard of their own is never ours, even the
  // very key we have just posted. (With no XTest keyboard named, any may be.)
  const int posting = postingKeyboard_;
  if (posting >= 0 && sourceid != posting) return std::nullopt;
  std::lock_guard lock(mutex_);
  const double now = monotonicNow();
  while (!entries_.empty() && !entries_.front().showOnly && !alive(entries_.front(), now)) entries_.pop_front();
  auto it = std::find_if(entries_.begin(), entries_.end(),
                         [&](const Entry& e) {
                           return !e.showOnly && alive(e, now) && e.xKeyCode == xKeyCode && e.press == press &&
                                  (e.aroundGrab || !aroundGrabOnly);
                         });
  if (it == entries_.end()) return std::nullopt;
  Entry entry = std::move(*it);
  entries_.erase(it);
  return entry;
}

size_t PostedLedger::size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

bool PostedLedger::ownPressInFlight() const {
  std::lock_guard lock(mutex_);
  const double now = monotonicNow();
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const Entry& e) { return e.press && !e.passThrough && alive(e, now); });
}

bool PostedLedger::pressOnItsWay() const {
  std::lock_guard lock(mutex_);
  const double now = monotonicNow();
  return std::any_of(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.press && alive(e, now); });
}

bool PostedLedger::inFlight(unsigned xKeyCode) const {
  std::lock_guard lock(mutex_);
  const double now = monotonicNow();
  return std::any_of(entries_.begin(), entries_.end(),
                     [&](const Entry& e) { return !e.showOnly && e.xKeyCode == xKeyCode && alive(e, now); });
}

}  // namespace tessa
