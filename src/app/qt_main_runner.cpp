#include "app/qt_main_runner.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <cmath>

namespace tessa {

QtMainRunner::QtMainRunner() {
  // Lives on the thread of the application object: the main thread.
  if (auto* app = QCoreApplication::instance()) moveToThread(app->thread());
}

TaskHandle QtMainRunner::postDelayed(double delaySeconds, Task task) {
  auto cancelled = std::make_shared<std::atomic<bool>>(false);
  // The delay counts from now, not from when the event loop takes the post.
  auto due = std::chrono::steady_clock::now() +
             std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                 std::chrono::duration<double>(std::max(0.0, delaySeconds)));
  auto run = [cancelled, task = std::move(task)] {
    if (!cancelled->load()) task();
  };
  QMetaObject::invokeMethod(
      this,
      [this, due, run = std::move(run)]() mutable {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
          run();
          return;
        }
        QTimer::singleShot(static_cast<int>(left.count()), Qt::PreciseTimer, this, std::move(run));
      },
      Qt::QueuedConnection);
  return TaskHandle(cancelled);
}

bool QtMainRunner::runsTasksOnCurrentThread() const { return QThread::currentThread() == thread(); }

void QtMainRunner::runSync(Task task) {
  if (runsTasksOnCurrentThread()) {
    task();
    return;
  }
  QMetaObject::invokeMethod(this, [&task] { task(); }, Qt::BlockingQueuedConnection);
}

}  // namespace tessa
