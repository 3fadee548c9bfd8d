// The posted-event ledger. X events carry no user data, so every key we post
// is written here (`fakeKey`, x11_xtest_poster.cpp) with the event its poster
// gave; when a key comes back through the grab, the ledger says whether it is
// ours and hands back that event. An entry not seen again within its lifetime
// is dropped.
#include "platform/x11/x11_event_system_internal.h"

#include <algorithm>

namespace tessa {

using namespace x11_detail;

size_t X11EventSystem::ledgerSize() const {
  std::lock_guard lock(mutex_);
  return ledger_.size();
}

std::optional<X11EventSystem::LedgerEntry> X11EventSystem::takeFromLedger(unsigned xKeyCode, bool press, int sourceid) {
  // A key the user types on a keyboard of their own is never ours, even the
  // very key we have just posted. (With no XTest keyboard named, any may be.)
  if (impl_->xtestKeyboard >= 0 && sourceid != impl_->xtestKeyboard) return std::nullopt;
  std::lock_guard lock(mutex_);
  const double now = monotonicNow();
  while (!ledger_.empty() && now - ledger_.front().postedAt > options_.ledgerLifetimeSeconds) ledger_.pop_front();
  auto it = std::find_if(ledger_.begin(), ledger_.end(),
                         [&](const LedgerEntry& e) { return e.xKeyCode == xKeyCode && e.press == press; });
  if (it == ledger_.end()) return std::nullopt;
  LedgerEntry entry = *it;
  ledger_.erase(it);
  return entry;
}

}  // namespace tessa
