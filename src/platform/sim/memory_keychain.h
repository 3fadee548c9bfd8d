#pragma once
// An in-memory keychain of generic-password items. A test can make it answer
// any status for a (service, account), so every path of its callers is
// reachable: found, not found, duplicate, interaction not allowed, other error.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/keychain.h"

namespace tessa {

class MemoryKeychain final : public Keychain {
 public:
  // The platform's status codes for each status.
  static int32_t codeFor(KeychainStatus status);

  KeychainResult copy(const std::string& service, const std::string& account, const Attributes& query = {}) override;
  KeychainResult add(const std::string& service, const std::string& account, const std::vector<uint8_t>& data,
                     const Attributes& query = {}) override;
  KeychainResult update(const std::string& service, const std::string& account, const std::vector<uint8_t>& data,
                        const Attributes& query = {}) override;
  KeychainResult remove(const std::string& service, const std::string& account,
                        const Attributes& query = {}) override;

  // Every operation on (service, account) answers `status` (with `code`, or
  // the status's usual code) and changes nothing, until cleared.
  void forceStatus(const std::string& service, const std::string& account, KeychainStatus status,
                   std::optional<int32_t> code = std::nullopt);
  void clearForcedStatus(const std::string& service, const std::string& account);

  bool contains(const std::string& service, const std::string& account) const;
  std::optional<std::vector<uint8_t>> item(const std::string& service, const std::string& account) const;
  // The attributes of the last request, for callers that must pass flags.
  Attributes lastQuery() const;
  size_t itemCount() const;

 private:
  using Key = std::pair<std::string, std::string>;
  std::optional<KeychainResult> forced(const Key& key, const Attributes& query);

  mutable std::mutex mutex_;
  std::map<Key, std::vector<uint8_t>> items_;
  std::map<Key, std::pair<KeychainStatus, int32_t>> forced_;
  Attributes lastQuery_;
};

}  // namespace tessa
