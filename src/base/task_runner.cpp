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

// ---------------------------------------------------------------- Serial

namespace {
std::chrono::steady_clock::time_point dueAfter(double seconds) {
  return std::chrono::steady_clock::now() +
         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
             std::chrono::duration<double>(seconds > 0 ? seconds : 0.0));
}
}  // namespace

SerialQueue::SerialQueue(std::string label) : label_(std::move(label)) {
  thread_ = std::thread([this] { loop(); });
  std::unique_lock lock(mutex_);
  cv_.wait(lock, [this] { return threadId_ != std::thread::id(); });
}

SerialQueue::~SerialQueue() {
  shutdown();
  if (thread_.joinable()) thread_.join();
}

void SerialQueue::shutdown() {
  std::lock_guard lock(mutex_);
  stopping_ = true;
  cv_.notify_all();
}

TaskHandle SerialQueue::postDelayed(double delaySeconds, Task task) {
  auto flag = newFlag();
  std::lock_guard lock(mutex_);
  if (stopping_) {
    flag->store(true);
    return TaskHandle(flag);
  }
  auto due = dueAfter(delaySeconds);
  uint64_t seq = nextSeq_++;
  items_.emplace(std::make_pair(due, seq), Item{due, seq, std::move(task), flag});
  cv_.notify_all();
  return TaskHandle(flag);
}

bool SerialQueue::runsTasksOnCurrentThread() const { return std::this_thread::get_id() == threadId_; }

void SerialQueue::runSync(Task task) {
  if (runsTasksOnCurrentThread()) {
    task();
    return;
  }
  std::mutex doneMutex;
  std::condition_variable doneCv;
  bool done = false;
  {
    std::lock_guard lock(mutex_);
    if (stopping_ && !thread_.joinable()) {
      task();
      return;
    }
    uint64_t seq = nextSeq_++;
    // Due now: runs after everything already due, before later delayed work.
    auto due = std::chrono::steady_clock::now();
    items_.emplace(std::make_pair(due, seq), Item{due, seq,
                                                  [&] {
                                                    task();
                                                    std::lock_guard l(doneMutex);
                                                    done = true;
                                                    doneCv.notify_all();
                                                  },
                                                  newFlag()});
    cv_.notify_all();
  }
  std::unique_lock l(doneMutex);
  doneCv.wait(l, [&] { return done; });
}

void SerialQueue::loop() {
  {
    std::lock_guard lock(mutex_);
    threadId_ = std::this_thread::get_id();
    cv_.notify_all();
  }
  std::unique_lock lock(mutex_);
  for (;;) {
    if (items_.empty()) {
      if (stopping_) return;
      cv_.wait(lock);
      continue;
    }
    auto it = items_.begin();
    auto now = std::chrono::steady_clock::now();
    if (it->first.first > now) {
      if (stopping_) {
        // Delayed work that has not come due is abandoned at shut-down.
        items_.clear();
        return;
      }
      cv_.wait_until(lock, it->first.first);
      continue;
    }
    Item item = std::move(it->second);
    items_.erase(it);
    lock.unlock();
    if (!item.cancelled->load()) item.task();
    lock.lock();
  }
}

// ---------------------------------------------------------------- Run loop

RunLoopTaskRunner::RunLoopTaskRunner() : ownerThread_(std::this_thread::get_id()) {}

TaskHandle RunLoopTaskRunner::postDelayed(double delaySeconds, Task task) {
  auto flag = newFlag();
  std::lock_guard lock(mutex_);
  auto due = dueAfter(delaySeconds);
  uint64_t seq = nextSeq_++;
  items_.emplace(std::make_pair(due, seq), Item{due, seq, std::move(task), flag});
  cv_.notify_all();
  return TaskHandle(flag);
}

bool RunLoopTaskRunner::runsTasksOnCurrentThread() const { return std::this_thread::get_id() == ownerThread_; }

void RunLoopTaskRunner::runSync(Task task) {
  if (runsTasksOnCurrentThread()) {
    task();
    return;
  }
  std::mutex m;
  std::condition_variable c;
  bool done = false;
  post([&] {
    task();
    std::lock_guard l(m);
    done = true;
    c.notify_all();
  });
  std::unique_lock l(m);
  c.wait(l, [&] { return done; });
}

void RunLoopTaskRunner::run() {
  ownerThread_ = std::this_thread::get_id();
  std::unique_lock lock(mutex_);
  while (!quit_) {
    if (items_.empty()) {
      cv_.wait(lock);
      continue;
    }
    auto it = items_.begin();
    if (it->first.first > std::chrono::steady_clock::now()) {
      cv_.wait_until(lock, it->first.first);
      continue;
    }
    Item item = std::move(it->second);
    items_.erase(it);
    lock.unlock();
    if (!item.cancelled->load()) item.task();
    lock.lock();
  }
}

void RunLoopTaskRunner::quit() {
  std::lock_guard lock(mutex_);
  quit_ = true;
  cv_.notify_all();
}

}  // namespace tessa
