#pragma once
// The sender of anonymous usage statistics. Sending is not built yet: the
// entry the usage timer calls exists so that the place it would run says so.
#include <atomic>

namespace tessa {

class KeyboardEngine;

class TelemetryManager {
 public:
  static TelemetryManager& shared();
  // Called every tenth second of usage; never blocks. Without the user's
  // consent it does nothing; with it, it logs once per process that the
  // sender is not built and skips.
  void sendIfDue(KeyboardEngine& engine);

 private:
  std::atomic<bool> reportedSkip_{false};
};

}  // namespace tessa
