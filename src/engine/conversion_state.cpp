#include "engine/conversion_state.h"

namespace tessa {

namespace {
// [ours] How often a press during a running edit is told it is busy.
constexpr double kBusyNoticeInterval = 2.0;
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

}  // namespace tessa
