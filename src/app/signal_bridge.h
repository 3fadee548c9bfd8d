#pragma once
// SIGTERM and SIGINT end the application through its ordered shut-down: the
// signal handler only writes a byte to a pipe, and the event loop, reading
// it, calls `onSignal` on the main thread.
#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace tessa {

class SignalBridge final : public QObject {
  Q_OBJECT
 public:
  explicit SignalBridge(std::function<void(int signal)> onSignal);
  ~SignalBridge() override;
  // Whether SIGTERM or SIGINT has come (or is on its way), from any thread.
  static bool received();

 private:
  std::function<void(int)> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace tessa
