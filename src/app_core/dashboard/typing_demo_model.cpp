#include "app_core/dashboard/typing_demo_model.h"
#include "app_core/dashboard/feature_demo_texts.h"

#include <numeric>

namespace tessa {

std::shared_ptr<TypingDemoModel> TypingDemoModel::create(FeatureDemo demo, TaskRunner& runner,
                                                         std::function<void()> changed) {
  return std::shared_ptr<TypingDemoModel>(new TypingDemoModel(demo, runner, std::move(changed)));
}

TypingDemoModel::TypingDemoModel(FeatureDemo demo, TaskRunner& runner, std::function<void()> changed)
    : demo_(demo),
      runner_(runner),
      changed_(std::move(changed)),
      script_(FeatureDemoInfo::scriptLines(demo)),
      delays_(FeatureDemoInfo::stepDelays(script_)) {}

TypingDemoModel::~TypingDemoModel() { stop(); }

double TypingDemoModel::loopInterval() const {
  return std::accumulate(delays_.begin(), delays_.end(), 0.0) + kHintDelay + kHintShown;
}

const DemoStep* TypingDemoModel::shownStep() const {
  if (currentStep_ < 0 || currentStep_ >= int(script_.size())) return nullptr;
  return &script_[size_t(currentStep_)];
}

bool TypingDemoModel::showsCursor() const {
  const DemoStep* step = shownStep();
  return step && !(step->text.size() && step->text.back() == ' ');
}

bool TypingDemoModel::isKeyStep() const {
  const DemoStep* step = shownStep();
  return step && step->caption.find(feature_demo_texts::kKeyCaptionMark) != std::string::npos;
}

void TypingDemoModel::notify() {
  if (changed_) changed_();
}

void TypingDemoModel::start() {
  if (running_) stop();
  running_ = true;
  const uint64_t generation = ++generation_;
  currentStep_ = 0;
  showHint_ = false;
  std::weak_ptr<TypingDemoModel> weak = weak_from_this();
  cursorTimer_ = runner_.postRepeating(kCursorInterval, [weak, generation] {
    auto self = weak.lock();
    if (!self || !self->current(generation)) return;
    self->cursorVisible_ = !self->cursorVisible_;
    self->notify();
  });
  schedulePass(0.0, generation);
  loopTimer_ = runner_.postRepeating(loopInterval(), [weak, generation] {
    if (auto self = weak.lock()) self->advanceLoop(generation);
  });
  notify();
}

void TypingDemoModel::stop() {
  running_ = false;
  ++generation_;
  loopTimer_.cancel();
  cursorTimer_.cancel();
  for (auto& handle : pending_) handle.cancel();
  pending_.clear();
}

void TypingDemoModel::advanceLoop(uint64_t generation) {
  if (!current(generation)) return;
  showHint_ = false;
  currentStep_ = 0;
  notify();
  schedulePass(kLoopLead, generation);
}

void TypingDemoModel::schedulePass(double lead, uint64_t generation) {
  // Handles of passes already played are of no use any more.
  std::erase_if(pending_, [](const TaskHandle& h) { return h.isCancelled(); });
  if (pending_.size() > 64) pending_.clear();
  std::weak_ptr<TypingDemoModel> weak = weak_from_this();
  double at = lead;
  for (size_t k = 0; k < script_.size(); ++k) {
    pending_.push_back(runner_.postDelayed(at, [weak, generation, k] {
      auto self = weak.lock();
      if (!self || !self->current(generation)) return;
      self->currentStep_ = int(k);
      self->notify();
    }));
    at += delays_[k];
  }
  pending_.push_back(runner_.postDelayed(at + kHintDelay, [weak, generation] {
    auto self = weak.lock();
    if (!self || !self->current(generation)) return;
    self->showHint_ = true;
    self->notify();
  }));
}

}  // namespace tessa
