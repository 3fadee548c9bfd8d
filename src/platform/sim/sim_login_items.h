#pragma once
// Start at login on the simulated desktop: a flag, a log of the calls made
// ("register", "unregister") and an error to answer instead, when set.
#include <optional>
#include <string>
#include <vector>

#include "platform/login_items.h"

namespace tessa {

class SimLoginItems final : public LoginItems {
 public:
  Registration status() override { return enabled_ ? Registration::enabled : Registration::notRegistered; }
  std::optional<std::string> registerMainApp() override;
  std::optional<std::string> unregisterMainApp() override;

  void setEnabled(bool enabled) { enabled_ = enabled; }
  bool enabled() const { return enabled_; }
  // The next calls fail with `error` (and change nothing) until cleared.
  void failWith(std::optional<std::string> error) { error_ = std::move(error); }
  const std::vector<std::string>& calls() const { return calls_; }

 private:
  bool enabled_ = false;
  std::optional<std::string> error_;
  std::vector<std::string> calls_;
};

}  // namespace tessa
