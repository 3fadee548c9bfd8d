#pragma once
// Injected time. No component reads the system clock or sleeps on its own:
// production uses SystemClock, tests and the simulated desktop a ManualClock.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

namespace tessa {

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic seconds since an arbitrary origin ("system uptime").
  virtual double uptime() const = 0;
  // Wall-clock time, seconds since 1970.
  virtual double wallTime() const = 0;
  uint64_t uptimeMilliseconds() const { return static_cast<uint64_t>(uptime() * 1000.0); }
};

class SystemClock final : public Clock {
 public:
  double uptime() const override {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
  }
  double wallTime() const override {
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
  }
  static SystemClock& instance() {
    static SystemClock clock;
    return clock;
  }
};

// Time that moves only when told to. Safe to read from any thread.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(double startUptime = 1000.0, double startWall = 1'798'000'000.0)
      : uptime_(startUptime), wallOffset_(startWall - startUptime) {}
  double uptime() const override { return uptime_.load(); }
  double wallTime() const override { return uptime_.load() + wallOffset_.load(); }
  void advanceTo(double uptime) {
    if (uptime > uptime_.load()) uptime_.store(uptime);
  }
  void advance(double seconds) { uptime_.store(uptime_.load() + seconds); }
  void setWallTime(double wall) { wallOffset_.store(wall - uptime_.load()); }

 private:
  std::atomic<double> uptime_;
  std::atomic<double> wallOffset_;
};

}  // namespace tessa
