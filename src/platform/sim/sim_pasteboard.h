#pragma once
// The simulated clipboard: other "applications" copy text, images, files,
// colours or marked items; every change bumps the count and notifies on the
// main queue.
#include <string>
#include <vector>

#include "platform/pasteboard.h"
#include "platform/sim/sim_context.h"

namespace tessa {

class SimPasteboard final : public Pasteboard {
 public:
  explicit SimPasteboard(const SimContext& ctx) : observers_(ctx) {}

  int64_t changeCount() const override { return changeCount_; }
  std::vector<PasteboardItem> items() const override { return items_; }
  Subscription observeChanges(std::function<void()> onChange) override { return observers_.add(std::move(onChange)); }
  bool write(const std::vector<PasteboardItem>& items) override;
  bool reportsChangesInBackground() const override { return true; }
  std::optional<RunningApplication> contentsOwner() const override { return owner_; }
  // Who the next copies are said to come from; none: the system does not say.
  void setContentsOwner(std::optional<RunningApplication> owner) { owner_ = std::move(owner); }
  bool namesContentsOwners() const override { return namesOwners_; }
  // A system that names the owner of every copy (X11), where none named
  // means none known.
  void setNamesContentsOwners(bool names) { namesOwners_ = names; }

  // Another application's copy, exactly as given.
  void copyItems(std::vector<PasteboardItem> items);
  // Text, with extra marker types (each with an empty value unless given).
  void copyText(const std::string& text, const std::map<std::string, std::string>& extra = {});
  void copyImage(const std::string& png);
  void copyFiles(const std::vector<std::string>& paths);
  void clear() { copyItems({}); }

  // Writes fail while false (counted, nothing changes).
  void setWritable(bool writable) { writable_ = writable; }
  int writeCount() const { return writes_; }

 private:
  SimObservers<> observers_;
  std::vector<PasteboardItem> items_;
  int64_t changeCount_ = 0;
  bool writable_ = true;
  int writes_ = 0;
  std::optional<RunningApplication> owner_;
  bool namesOwners_ = false;
};

}  // namespace tessa
