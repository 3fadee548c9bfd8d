#include "platform/sim/sim_login_items.h"

namespace tessa {

std::optional<std::string> SimLoginItems::registerMainApp() {
  calls_.push_back("register");
  if (error_) return error_;
  enabled_ = true;
  return std::nullopt;
}

std::optional<std::string> SimLoginItems::unregisterMainApp() {
  calls_.push_back("unregister");
  if (error_) return error_;
  enabled_ = false;
  return std::nullopt;
}

}  // namespace tessa
