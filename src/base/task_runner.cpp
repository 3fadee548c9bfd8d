#include "base/task_runner.h"

#include <limits>

namespace tessa {

namespace {
std::shared_ptr<std::atomic<bool>> newFlag() { return std::make_shared<std::atomic<bool>>(false); }
}  // namespace

TaskHandle TaskRunner::postRepeating(double interval, Task task) {
  auto flag = newFlag();
  auto shared = std::make_shared<Task>(std::move(task));
  // The repeating closure re-posts itself; the shared flag stops every future run.
  auto step = std::make_shared<std::function<void()>>();
  std::weak_ptr<std::function<void()>> weakStep = step;
  *step = [this, interval, shared, flag, weakStep]() {
    if (flag->load()) return;
    (*shared)();
    if (flag->load()) return;
    if (auto s = weakStep.lock()) {
      postDelayed(interval, [s]() { (*s)(); });
    }
  };
  // Keep the closure alive through the posted copies.
  postDelayed(interval, [step]() { (*step)(); });
  return TaskHandle(flag);
}

// ---------------------------------------------------------------- Manual

class ManualSequence final : public TaskRunner {
 public:
  ManualSequence(ManualTaskRunner& owner, std::string name) : owner_(owner), name_(std::move(name)) {}
  ~ManualSequence() override { owner_.dropSequence(this); }
  TaskHandle postDelayed(double delaySeconds, Task task) override {
    return owner_.postInternal(delaySeconds, std::move(task), this);
  }
  bool runsTasksOnCurrentThread() const override {
    std::lock_guard lock(owner_.mutex_);
    return owner_.runningSequence_ == this;
  }
  void runSync(Task task) override {
    // Work queued earlier on this sequence comes first, then the task itself.
    while (owner_.runOneDue(owner_.clock_.uptime(), this)) {
    }
    task();
  }

 private:
  ManualTaskRunner& owner_;
  std::string name_;
};

ManualTaskRunner::ManualTaskRunner(ManualClock& clock) : clock_(clock), ownerThread_(std::this_thread::get_id()) {}
ManualTaskRunner::~ManualTaskRunner() = default;

TaskHandle ManualTaskRunner::postInternal(double delay, Task task, const void* sequence) {
  auto flag = newFlag();
  std::lock_guard lock(mutex_);
  double due = clock_.uptime() + (delay > 0 ? delay : 0.0);
  uint64_t seq = nextSeq_++;
  items_.emplace(std::make_pair(due, seq), Item{due, seq, std::move(task), flag, sequence});
  return TaskHandle(flag);
}

TaskHandle ManualTaskRunner::postDelayed(double delaySeconds, Task task) {
  return postInternal(delaySeconds, std::move(task), nullptr);
}

bool ManualTaskRunner::runsTasksOnCurrentThread() const { return std::this_thread::get_id() == ownerThread_; }

void ManualTaskRunner::runSync(Task task) { task(); }

bool ManualTaskRunner::runOneDue(double limit, const void* onlySequence) {
  Item item;
  {
    std::lock_guard lock(mutex_);
    auto it = items_.begin();
    if (onlySequence) {
      while (it != items_.end() && it->second.sequence != onlySequence) ++it;
    }
    if (it == items_.end() || it->second.due > limit) return false;
    item = std::move(it->second);
    items_.erase(it);
  }
  clock_.advanceTo(item.due);
  if (item.cancelled->load()) return true;
  const void* previous;
  {
    std::lock_guard lock(mutex_);
    previous = runningSequence_;
    runningSequence_ = item.sequence;
  }
  item.task();
  {
    std::lock_guard lock(mutex_);
    runningSequence_ = previous;
  }
  return true;
}

void ManualTaskRunner::dropSequence(const void* sequence) {
  std::lock_guard lock(mutex_);
  std::erase_if(items_, [sequence](const auto& entry) { return entry.second.sequence == sequence; });
}

void ManualTaskRunner::advanceTo(double uptime) {
  while (runOneDue(uptime, nullptr)) {
  }
  clock_.advanceTo(uptime);
}

void ManualTaskRunner::advance(double seconds) { advanceTo(clock_.uptime() + seconds); }

void ManualTaskRunner::runUntilIdle() { advanceTo(clock_.uptime()); }

size_t ManualTaskRunner::pendingCount() const {
  std::lock_guard lock(mutex_);
  size_t n = 0;
  for (const auto& [k, item] : items_)
    if (!item.cancelled->load()) ++n;
  return n;
}

double ManualTaskRunner::nextDueTime() const {
  std::lock_guard lock(mutex_);
  for (const auto& [k, item] : items_)
    if (!item.cancelled->load()) return item.due;
  return std::numeric_limits<double>::infinity();
}

std::shared_ptr<TaskRunner> ManualTaskRunner::createSequence(std::string name) {
  return std::make_shared<ManualSequence>(*this, std::move(name));
}

// ---------------------------------------------------------------- Timed

namespace detail {

TaskHandle TimedTaskQueue::post(double delaySeconds, Task task) {
  auto flag = newFlag();
  std::lock_guard lock(mutex_);
  if (stopping_) {
    flag->store(true);  // nothing runs after a stop
    return TaskHandle(flag);
  }
  auto due = std::chrono::steady_clock::now() +
             std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                 std::chrono::duration<double>(delaySeconds > 0 ? delaySeconds : 0.0));
  items_.emplace(std::make_pair(due, nextSeq_++), Item{std::move(task), flag});
  cv_.notify_all();
  return TaskHandle(flag);
}

void TimedTaskQueue::run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    bool due = !items_.empty() && items_.begin()->first.first <= std::chrono::steady_clock::now();
    if (stopping_ && (!finishDue_ || !due)) {
      // Delayed work that has not come due is abandoned.
      items_.clear();
      return;
    }
    if (items_.empty()) {
      cv_.wait(lock);
      continue;
    }
    if (!due) {
      cv_.wait_until(lock, items_.begin()->first.first);
      continue;
    }
    Item item = std::move(items_.begin()->second);
    items_.erase(items_.begin());
    lock.unlock();
    if (!item.cancelled->load()) item.task();
    lock.lock();
  }
}

void TimedTaskQueue::stop(bool finishDue) {
  std::lock_guard lock(mutex_);
  stopping_ = true;
  finishDue_ = finishDue;
  cv_.notify_all();
}

bool TimedTaskQueue::stopped() {
  std::lock_guard lock(mutex_);
  return stopping_;
}

void postAndWait(TaskRunner& runner, Task task) {
  std::mutex m;
  std::condition_variable c;
  bool done = false;
  auto handle = runner.post([&] {
    task();
    std::lock_guard l(m);
    done = true;
    c.notify_all();
  });
  if (handle.isCancelled()) {
    task();  // the runner has stopped: run it here rather than never
    return;
  }
  std::unique_lock l(m);
  c.wait(l, [&] { return done; });
}

}  // namespace detail

// ---------------------------------------------------------------- Serial

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {
  thread_ = std::thread([this] {
    threadId_ = std::this_thread::get_id();
    queue_.run();
  });
}

SerialQueue::~SerialQueue() {
  shutdown();
  if (thread_.joinable()) thread_.join();
}

void SerialQueue::shutdown() {
  queue_.stop(true);
  // A task still running may use what its owner frees next (the desktop, the
  // engine's back ends), so the owner waits for it here.
  if (runsTasksOnCurrentThread()) return;
  std::lock_guard lock(joinLock_);
  if (thread_.joinable()) thread_.join();
}

TaskHandle SerialQueue::postDelayed(double delaySeconds, Task task) {
  return queue_.post(delaySeconds, std::move(task));
}

bool SerialQueue::runsTasksOnCurrentThread() const { return std::this_thread::get_id() == threadId_.load(); }

void SerialQueue::runSync(Task task) {
  if (runsTasksOnCurrentThread()) {
    task();
    return;
  }
  detail::postAndWait(*this, std::move(task));
}

// ---------------------------------------------------------------- Run loop

RunLoopTaskRunner::RunLoopTaskRunner() : ownerThread_(std::this_thread::get_id()) {}

TaskHandle RunLoopTaskRunner::postDelayed(double delaySeconds, Task task) {
  return queue_.post(delaySeconds, std::move(task));
}

bool RunLoopTaskRunner::runsTasksOnCurrentThread() const {
  return std::this_thread::get_id() == ownerThread_.load();
}

void RunLoopTaskRunner::runSync(Task task) {
  if (runsTasksOnCurrentThread()) {
    task();
    return;
  }
  detail::postAndWait(*this, std::move(task));
}

void RunLoopTaskRunner::run() {
  ownerThread_ = std::this_thread::get_id();
  queue_.run();
}

void RunLoopTaskRunner::quit() { queue_.stop(false); }

}  // namespace tessa
