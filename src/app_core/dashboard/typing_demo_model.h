#pragma once
// Plays one feature demonstration: its steps one after another, the closing
// hint, a restart of the whole script at every loop interval and a cursor
// that blinks every 0.5 s. Every run carries a generation that each pending
// step checks, so a stop followed at once by a new start never lets the old
// run's steps into the new one. All work is posted on the given runner and
// does nothing once the model is gone.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app_core/dashboard/feature_demo.h"
#include "base/task_runner.h"

namespace tessa {

class TypingDemoModel : public std::enable_shared_from_this<TypingDemoModel> {
 public:
  static constexpr double kCursorInterval = 0.5;
  static constexpr double kHintDelay = 0.3;
  static constexpr double kHintShown = 2.0;
  static constexpr double kLoopLead = 0.3;

  // `changed` runs after every change of what the card shows.
  static std::shared_ptr<TypingDemoModel> create(FeatureDemo demo, TaskRunner& runner,
                                                 std::function<void()> changed = {});
  ~TypingDemoModel();
  TypingDemoModel(const TypingDemoModel&) = delete;
  TypingDemoModel& operator=(const TypingDemoModel&) = delete;

  // The card came on screen: from step 0 with the hint hidden. A start while
  // running first stops the running play.
  void start();
  // The card left the screen: timers end; steps already scheduled do nothing.
  void stop();

  FeatureDemo demo() const { return demo_; }
  const std::vector<DemoStep>& script() const { return script_; }
  const std::vector<double>& delays() const { return delays_; }
  // The time between loop restarts: every step, the hint's wait and 2 s more.
  double loopInterval() const;
  bool isRunning() const { return running_; }
  uint64_t generation() const { return generation_; }

  int currentStep() const { return currentStep_; }
  // The step shown, or none before the first start.
  const DemoStep* shownStep() const;
  bool showHint() const { return showHint_; }
  bool cursorVisible() const { return cursorVisible_; }
  // The cursor is drawn after a step whose text does not end with a space.
  bool showsCursor() const;
  // The step asks for the key combination ("กด " in its caption): the key
  // badge lights up.
  bool isKeyStep() const;

 private:
  TypingDemoModel(FeatureDemo demo, TaskRunner& runner, std::function<void()> changed);
  // Schedules the steps and the hint `lead` seconds from now for `generation`.
  void schedulePass(double lead, uint64_t generation);
  void advanceLoop(uint64_t generation);
  bool current(uint64_t generation) const { return running_ && generation == generation_; }
  void notify();

  FeatureDemo demo_;
  TaskRunner& runner_;
  std::function<void()> changed_;
  std::vector<DemoStep> script_;
  std::vector<double> delays_;
  int currentStep_ = -1;
  bool showHint_ = false;
  bool cursorVisible_ = true;
  bool running_ = false;
  uint64_t generation_ = 0;
  TaskHandle loopTimer_;
  TaskHandle cursorTimer_;
  std::vector<TaskHandle> pending_;
};

}  // namespace tessa
