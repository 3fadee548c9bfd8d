#include "platform/sim/memory_keychain.h"

namespace tessa {

int32_t MemoryKeychain::codeFor(KeychainStatus status) {
  switch (status) {
    case KeychainStatus::success:
      return 0;
    case KeychainStatus::itemNotFound:
      return -25300;  // errSecItemNotFound
    case KeychainStatus::duplicateItem:
      return -25299;  // errSecDuplicateItem
    case KeychainStatus::interactionNotAllowed:
      return -25308;  // errSecInteractionNotAllowed
    case KeychainStatus::otherError:
      return -25291;  // errSecNotAvailable
  }
  return -25291;
}

namespace {
KeychainResult result(KeychainStatus status, std::vector<uint8_t> data = {}) {
  return KeychainResult{status, std::move(data), MemoryKeychain::codeFor(status)};
}
}  // namespace

std::optional<KeychainResult> MemoryKeychain::forced(const Key& key, const Attributes& query) {
  lastQuery_ = query;
  auto it = forced_.find(key);
  if (it == forced_.end()) return std::nullopt;
  KeychainResult r{it->second.first, {}, it->second.second};
  // A forced success of a read hands back what is stored, if anything.
  if (r.status == KeychainStatus::success)
    if (auto item = items_.find(key); item != items_.end()) r.data = item->second;
  return r;
}

KeychainResult MemoryKeychain::copy(const std::string& service, const std::string& account, const Attributes& query) {
  std::lock_guard lock(mutex_);
  Key key{service, account};
  if (auto f = forced(key, query)) return *f;
  auto it = items_.find(key);
  if (it == items_.end()) return result(KeychainStatus::itemNotFound);
  return result(KeychainStatus::success, it->second);
}

KeychainResult MemoryKeychain::add(const std::string& service, const std::string& account,
                                   const std::vector<uint8_t>& data, const Attributes& query) {
  std::lock_guard lock(mutex_);
  Key key{service, account};
  if (auto f = forced(key, query)) {
    f->data.clear();
    return *f;
  }
  if (items_.count(key)) return result(KeychainStatus::duplicateItem);
  items_[key] = data;
  return result(KeychainStatus::success);
}

KeychainResult MemoryKeychain::update(const std::string& service, const std::string& account,
                                      const std::vector<uint8_t>& data, const Attributes& query) {
  std::lock_guard lock(mutex_);
  Key key{service, account};
  if (auto f = forced(key, query)) {
    f->data.clear();
    return *f;
  }
  auto it = items_.find(key);
  if (it == items_.end()) return result(KeychainStatus::itemNotFound);
  it->second = data;
  return result(KeychainStatus::success);
}

KeychainResult MemoryKeychain::remove(const std::string& service, const std::string& account,
                                      const Attributes& query) {
  std::lock_guard lock(mutex_);
  Key key{service, account};
  if (auto f = forced(key, query)) {
    f->data.clear();
    return *f;
  }
  if (!items_.erase(key)) return result(KeychainStatus::itemNotFound);
  return result(KeychainStatus::success);
}

void MemoryKeychain::forceStatus(const std::string& service, const std::string& account, KeychainStatus status,
                                 std::optional<int32_t> code) {
  std::lock_guard lock(mutex_);
  forced_[{service, account}] = {status, code.value_or(codeFor(status))};
}

void MemoryKeychain::clearForcedStatus(const std::string& service, const std::string& account) {
  std::lock_guard lock(mutex_);
  forced_.erase({service, account});
}

bool MemoryKeychain::contains(const std::string& service, const std::string& account) const {
  std::lock_guard lock(mutex_);
  return items_.count({service, account}) > 0;
}

std::optional<std::vector<uint8_t>> MemoryKeychain::item(const std::string& service,
                                                         const std::string& account) const {
  std::lock_guard lock(mutex_);
  auto it = items_.find({service, account});
  if (it == items_.end()) return std::nullopt;
  return it->second;
}

Keychain::Attributes MemoryKeychain::lastQuery() const {
  std::lock_guard lock(mutex_);
  return lastQuery_;
}

size_t MemoryKeychain::itemCount() const {
  std::lock_guard lock(mutex_);
  return items_.size();
}

}  // namespace tessa
