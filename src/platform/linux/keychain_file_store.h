#pragma once
// The keychain's last resort on Linux when the session offers no Secret
// Service: generic-password items kept in one owner-only file (mode 0600, in
// a folder only the owner may enter) beside the application's data. Anyone
// who can read the owner's files can read these items; the application says
// so in its log when it falls back to this store.
//
// The file is JSON, rewritten atomically on every change and read again on
// every call, so two processes of the same user see each other's items.
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "platform/keychain.h"

namespace tessa {

class KeychainFileStore final : public Keychain {
 public:
  using LogFunction = std::function<void(const std::string&)>;

  // root/Tessavinor/Keychain/items.json
  static std::filesystem::path defaultFile();

  explicit KeychainFileStore(std::filesystem::path file = defaultFile(), LogFunction log = {});

  KeychainResult copy(const std::string& service, const std::string& account, const Attributes& query = {}) override;
  KeychainResult add(const std::string& service, const std::string& account, const std::vector<uint8_t>& data,
                     const Attributes& query = {}) override;
  KeychainResult update(const std::string& service, const std::string& account, const std::vector<uint8_t>& data,
                        const Attributes& query = {}) override;
  KeychainResult remove(const std::string& service, const std::string& account,
                        const Attributes& query = {}) override;

  const std::filesystem::path& file() const { return file_; }

 private:
  struct Item {
    std::string service, account, accessible;
    std::vector<uint8_t> data;
  };
  // False (and `status` set) when the file exists but cannot be used.
  bool load(std::vector<Item>& items, KeychainStatus& status);
  bool save(const std::vector<Item>& items);

  std::filesystem::path file_;
  LogFunction log_;
  std::mutex mutex_;
};

}  // namespace tessa
