#pragma once
// Other programs' preference domains, as JSON values.
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

namespace tessa {

// Other applications' preference domains (property-list values as JSON).
class PreferenceDomains {
 public:
  virtual ~PreferenceDomains() = default;
  virtual std::optional<nlohmann::json> copyValue(const std::string& domain, const std::string& key) = 0;
  // A null value removes the key.
  virtual void setValue(const std::string& domain, const std::string& key, const nlohmann::json& value) = 0;
  virtual bool synchronize(const std::string& domain) = 0;
};

}  // namespace tessa
