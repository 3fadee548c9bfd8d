#pragma once
// Task runners: the main queue, serial queues and their deterministic test
// doubles. Delayed work returns a handle that can cancel it.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/clock.h"

namespace tessa {

using Task = std::function<void()>;

class TaskHandle {
 public:
  TaskHandle() = default;
  explicit TaskHandle(std::shared_ptr<std::atomic<bool>> cancelled) : cancelled_(std::move(cancelled)) {}
  void cancel() {
    if (cancelled_) cancelled_->store(true);
  }
  bool isCancelled() const { return cancelled_ && cancelled_->load(); }
  bool valid() const { return cancelled_ != nullptr; }

 private:
  std::shared_ptr<std::atomic<bool>> cancelled_;
};

class TaskRunner {
 public:
  virtual ~TaskRunner() = default;
  virtual TaskHandle postDelayed(double delaySeconds, Task task) = 0;
  TaskHandle post(Task task) { return postDelayed(0.0, std::move(task)); }
  virtual bool runsTasksOnCurrentThread() const = 0;
  // Runs `task` on this runner after everything already posted that is due,
  // and returns when it has run.
  virtual void runSync(Task task) = 0;
  // Repeats `task` every `interval` seconds until the handle is cancelled.
  TaskHandle postRepeating(double interval, Task task);
};

// Deterministic runner for tests and the simulated desktop. Work runs only
// inside advance()/runUntilIdle(), in order of due time, then of posting.
// Sequences created from it share the same ordering, so serial queues stay
// deterministic too.
class ManualTaskRunner final : public TaskRunner {
 public:
  explicit ManualTaskRunner(ManualClock& clock);
  ~ManualTaskRunner() override;

  TaskHandle postDelayed(double delaySeconds, Task task) override;
  bool runsTasksOnCurrentThread() const override;
  void runSync(Task task) override;

  // Advances the clock by `seconds`, running exactly the work that falls due.
  void advance(double seconds);
  void advanceTo(double uptime);
  // Runs everything due now, including work that due work posts for now.
  void runUntilIdle();
  size_t pendingCount() const;
  double nextDueTime() const;  // infinity when nothing is pending
  ManualClock& clock() { return clock_; }

  // A serial queue whose tasks interleave deterministically with the rest.
  // Work still pending on it when it is released is dropped, as a stopped
  // serial queue runs nothing more.
  std::shared_ptr<TaskRunner> createSequence(std::string name);

 private:
  friend class ManualSequence;
  struct Item {
    double due;
    uint64_t seq;
    Task task;
    std::shared_ptr<std::atomic<bool>> cancelled;
    const void* sequence;
  };
  TaskHandle postInternal(double delay, Task task, const void* sequence);
  bool runOneDue(double limit, const void* onlySequence);
  void dropSequence(const void* sequence);

  ManualClock& clock_;
  mutable std::mutex mutex_;
  std::multimap<std::pair<double, uint64_t>, Item> items_;
  uint64_t nextSeq_ = 0;
  std::thread::id ownerThread_;
  const void* runningSequence_ = nullptr;
};

namespace detail {
// Tasks ordered by due time (steady clock), then by posting; run() drives
// them on the calling thread until stop().
class TimedTaskQueue {
 public:
  TaskHandle post(double delaySeconds, Task task);
  // Runs tasks as they fall due. Returns once stop() was called: at once
  // when `finishDue` was false, else after the work already due.
  void run();
  void stop(bool finishDue);
  bool stopped();

 private:
  struct Item {
    Task task;
    std::shared_ptr<std::atomic<bool>> cancelled;
  };
  std::mutex mutex_;
  std::condition_variable cv_;
  std::multimap<std::pair<std::chrono::steady_clock::time_point, uint64_t>, Item> items_;
  uint64_t nextSeq_ = 0;
  bool stopping_ = false;
  bool finishDue_ = false;
};

// Posts `task` to `runner` and blocks until it has run.
void postAndWait(TaskRunner& runner, Task task);
}  // namespace detail

// A real serial queue: one worker thread, tasks in order, delayed tasks by the
// system clock.
class SerialQueue final : public TaskRunner {
 public:
  explicit SerialQueue(std::string label);
  ~SerialQueue() override;
  TaskHandle postDelayed(double delaySeconds, Task task) override;
  bool runsTasksOnCurrentThread() const override;
  void runSync(Task task) override;
  // Stops after the work already due and waits for it (unless called from a
  // task of this queue); later posts are dropped.
  void shutdown();
  const std::string& label() const { return label_; }

 private:
  std::string label_;
  detail::TimedTaskQueue queue_;
  std::atomic<std::thread::id> threadId_{};
  std::thread thread_;
  std::mutex joinLock_;
};

// The production main queue for headless runs: run() drives it on the calling
// thread until quit().
class RunLoopTaskRunner final : public TaskRunner {
 public:
  RunLoopTaskRunner();
  TaskHandle postDelayed(double delaySeconds, Task task) override;
  bool runsTasksOnCurrentThread() const override;
  void runSync(Task task) override;
  void run();
  void quit();

 private:
  detail::TimedTaskQueue queue_;
  std::atomic<std::thread::id> ownerThread_;
};

}  // namespace tessa
