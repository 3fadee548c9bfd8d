#pragma once
// The tap's dead-man switch: a thread of its own that looks once a second at
// the keyboard tap's callback in flight. A callback stuck past the limit
// holds every keyboard event of the machine behind it, so the switch reports
// it at once from its own thread (the main thread is the one that is stuck).
//
// It reads time from the Clock it is given and waits on a real timer, never
// on the main queue, so a blocked main queue cannot stop it.
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "base/clock.h"
#include "platform/events.h"

namespace tessa {

class TapDeadManSwitch {
 public:
  static constexpr const char* kThreadName = "Tessavinor.tapDeadMan";  // [design]
  static constexpr double kCheckInterval = 1.0;                           // [design]
  static constexpr double kStuckLimit = 2.0;

  struct Snapshot {
    TapId tap = 0;
    std::optional<double> inFlightStart;  // uptime of the callback's start
  };
  // Reads the watchdog's tap state (under its lock); called on the thread.
  using Reader = std::function<Snapshot()>;
  // Called on the thread, once per stuck callback, with how long it has run.
  using OnStuck = std::function<void(TapId tap, double stuckSeconds)>;

  TapDeadManSwitch(const Clock& clock, Reader reader, OnStuck onStuck, double interval = kCheckInterval,
                   double limit = kStuckLimit);
  ~TapDeadManSwitch();  // stops the thread
  TapDeadManSwitch(const TapDeadManSwitch&) = delete;
  TapDeadManSwitch& operator=(const TapDeadManSwitch&) = delete;

  // Starts the thread; a second start does nothing.
  void start();
  // Wakes the thread and waits for it to end.
  void stop();
  bool isRunning() const;
  // One check as the thread makes it: true when it reported a stuck callback.
  bool checkOnce();

 private:
  void run();

  const Clock& clock_;
  Reader reader_;
  OnStuck onStuck_;
  double interval_;
  double limit_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  bool stopRequested_ = false;
  std::thread thread_;
  std::mutex checkMutex_;
  std::optional<double> reportedStart_;  // the in-flight start already reported
};

}  // namespace tessa
