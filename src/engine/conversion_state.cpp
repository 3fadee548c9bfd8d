#include "engine/conversion_state.h"

namespace tessa {

namespace {
// [ours] How often a press during a running edit is told it is busy.
constexpr double kBusyNoticeInterval = 2.0;
// [ours] How much of what fields delete is kept: the characters a few
// applications were seen deleting, forgotten wholesale past these counts.
constexpr size_t kDeleteTakesApplications = 32;
constexpr size_t kDeleteTakesCharacters = 512;
}  // namespace

void ConversionState::restartWindow(TaskHandle closer) {
  undoPossible_ = true;
  windowTimer_.cancel();
  windowTimer_ = std::move(closer);
}

bool ConversionState::closeWindow() {
  const bool wasOpen = undoPossible_;
  undoPossible_ = false;
  windowTimer_.cancel();
  if (!wasOpen) return false;
  undo_.clear();
  redo_.clear();
  return true;
}

void ConversionState::recordConversion(ConversionRecord record) {
  undo_.push_back(std::move(record));
  redo_.clear();
}

void ConversionState::recordUndone(bool undo, ConversionRecord record) {
  auto& from = undo ? undo_ : redo_;
  if (!from.empty()) from.pop_back();
  (undo ? redo_ : undo_).push_back(std::move(record));
  endCycle();
}

ConversionState::Toggle ConversionState::toggleChoice(
    const std::function<bool(const ConversionRecord&)>& undoAtCaret) const {
  if (undo_.empty()) return redo_.empty() ? Toggle::nothing : Toggle::redo;
  if (redo_.empty() || undoAtCaret(undo_.back())) return Toggle::undo;
  return Toggle::redo;
}

void ConversionState::continueCycle(Cycle cycle, double now) {
  cycle.step = cycle_ ? cycle_->step + 1 : 1;
  cycle.at = now;
  cycle_ = std::move(cycle);
}

bool ConversionState::busyNoticeDue(double now) {
  if (lastBusyNotice_ && now - *lastBusyNotice_ <= kBusyNoticeInterval) return false;
  lastBusyNotice_ = now;
  return true;
}

std::optional<size_t> ConversionState::deleteTakes(const std::string& bundleID,
                                                   const std::u16string& character) const {
  auto app = deleteTakes_.find(bundleID);
  if (app == deleteTakes_.end()) return std::nullopt;
  auto it = app->second.find(character);
  if (it == app->second.end()) return std::nullopt;
  return it->second;
}

void ConversionState::noteDeleteTakes(const std::string& bundleID, const std::u16string& character,
                                      size_t codePoints) {
  if (bundleID.empty()) return;
  if (deleteTakes_.size() >= kDeleteTakesApplications && !deleteTakes_.count(bundleID)) deleteTakes_.clear();
  auto& app = deleteTakes_[bundleID];
  if (app.size() >= kDeleteTakesCharacters) app.clear();
  app[character] = codePoints;
}

}  // namespace tessa
