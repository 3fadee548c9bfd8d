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
  // Where the symbolic hot keys are kept when this program keeps them itself
  // (a file of ours, honoured by our own keyboard back end) rather than the
  // system: the user then has no system setting to change, only that file.
  virtual std::optional<std::string> ownHotKeyFile() const { return std::nullopt; }
};

}  // namespace tessa
