#include "platform/x11/atspi_worker.h"

#include <dbus/dbus.h>

namespace tessa {

AtspiAccessibility::Worker::Worker() {
  // Before any connection: libdbus then guards its shared state (Qt's own
  // D-Bus use in this process shares the library).
  dbus_threads_init_default();
  context_ = g_main_context_new();
  loop_ = g_main_loop_new(context_, FALSE);
  thread_ = std::thread([this] {
    g_main_context_push_thread_default(context_);
    id_ = std::this_thread::get_id();
    started_.store(true);
    g_main_loop_run(loop_);
    g_main_context_pop_thread_default(context_);
  });
  while (!started_.load()) std::this_thread::yield();
}

void AtspiAccessibility::Worker::stop(std::function<void()> last) {
  post([this, last = std::move(last)] {
    last();
    g_main_loop_quit(loop_);
  });
  if (thread_.joinable()) thread_.join();
}

AtspiAccessibility::Worker::~Worker() {
  if (thread_.joinable()) stop([] {});
  g_main_loop_unref(loop_);
  // The context stays: the library keeps its connection on it for the
  // life of the process (it cannot be taken off cleanly), and a context
  // that went away would leave the connection's watches dangling.
}

void AtspiAccessibility::Worker::post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back(std::move(job));
  }
  GSource* source = g_idle_source_new();
  g_source_set_priority(source, G_PRIORITY_DEFAULT);
  g_source_set_callback(
      source,
      [](gpointer data) -> gboolean {
        static_cast<Worker*>(data)->runJobs();
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
  g_source_attach(source, context_);
  g_source_unref(source);
}

void AtspiAccessibility::Worker::runJobs() {
  for (;;) {
    std::function<void()> job;
    {
      std::lock_guard lock(mutex_);
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

// The switch's and the registry's questions (atspi_desktop_switch.cpp) run
// on the worker too.
template std::optional<std::optional<bool>> AtspiAccessibility::onWorker<std::optional<bool>>(
    double, std::function<std::optional<bool>(double)>);

void AtspiAccessibility::postToWorker(std::function<void()> job) { worker_->post(std::move(job)); }

GMainContext* AtspiAccessibility::workerContext() const { return worker_->context(); }

}  // namespace tessa
