#pragma once
// Generic-password items of the system keychain, keyed by service and account.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tessa {

enum class KeychainStatus { success, itemNotFound, duplicateItem, interactionNotAllowed, otherError };

struct KeychainResult {
  KeychainStatus status = KeychainStatus::otherError;
  std::vector<uint8_t> data;
  int32_t code = 0;  // the platform's status code, for log lines
};

// Generic-password items keyed by (service, account). `query` carries extra
// attributes such as the no-authentication-UI flag.
class Keychain {
 public:
  using Attributes = std::map<std::string, std::string>;
  virtual ~Keychain() = default;
  virtual KeychainResult copy(const std::string& service, const std::string& account, const Attributes& query = {}) = 0;
  virtual KeychainResult add(const std::string& service, const std::string& account, const std::vector<uint8_t>& data,
                             const Attributes& query = {}) = 0;
  virtual KeychainResult update(const std::string& service, const std::string& account,
                                const std::vector<uint8_t>& data, const Attributes& query = {}) = 0;
  virtual KeychainResult remove(const std::string& service, const std::string& account,
                                const Attributes& query = {}) = 0;
};

}  // namespace tessa
