#pragma once
// A call made once on its owner's next event-loop turn, however often it is
// asked for before then: models announce a change before they store it, so
// a view redraws once the change is made, on its own thread, and only while
// it exists (the queued call dies with its owner).
#include <QMetaObject>
#include <QObject>

#include <atomic>
#include <functional>
#include <utility>

namespace tessa {

class CoalescedCall {
 public:
  CoalescedCall(QObject* owner, std::function<void()> work) : owner_(owner), work_(std::move(work)) {}
  CoalescedCall(const CoalescedCall&) = delete;
  CoalescedCall& operator=(const CoalescedCall&) = delete;

  // Safe from any thread.
  void request() {
    if (pending_.exchange(true)) return;
    QMetaObject::invokeMethod(
        owner_,
        [this] {
          pending_ = false;
          work_();
        },
        Qt::QueuedConnection);
  }

 private:
  QObject* owner_;
  std::function<void()> work_;
  std::atomic<bool> pending_{false};
};

}  // namespace tessa
