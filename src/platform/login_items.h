#pragma once
// Start at login: whether the application is registered to start when the
// user logs in, and the registration itself.
#include <optional>
#include <string>

namespace tessa {

class LoginItems {
 public:
  enum class Registration { notRegistered, enabled, requiresApproval, notFound };

  virtual ~LoginItems() = default;
  virtual Registration status() = 0;
  // Each answers the error's description, or none on success.
  virtual std::optional<std::string> registerMainApp() = 0;
  virtual std::optional<std::string> unregisterMainApp() = 0;
};

}  // namespace tessa
