#pragma once
// The main queue of the application: tasks run on Qt's event loop in the
// order they were posted, delayed ones when their time comes. Posting is safe
// from any thread.
#include <QObject>

#include "base/task_runner.h"

namespace tessa {

class QtMainRunner final : public QObject, public TaskRunner {
  Q_OBJECT
 public:
  QtMainRunner();
  TaskHandle postDelayed(double delaySeconds, Task task) override;
  bool runsTasksOnCurrentThread() const override;
  void runSync(Task task) override;
};

}  // namespace tessa
