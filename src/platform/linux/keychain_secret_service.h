#pragma once
// Generic-password items in the session's Secret Service (GNOME Keyring,
// KWallet and the like) through libsecret. Items carry the attributes
// "service" and "account" under our own schema. With the no-authentication-UI
// flag in a query (see keychain_query.h), a locked item or collection answers
// `interactionNotAllowed` instead of asking the user to unlock it.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/keychain.h"

namespace tessa {

class SecretServiceKeychain final : public Keychain {
 public:
  using LogFunction = std::function<void(const std::string&)>;

  // A keychain over the session's Secret Service, or null when the session
  // offers none (no session bus, no provider); `why` then says what failed.
  static std::unique_ptr<SecretServiceKeychain> connect(LogFunction log, std::string* why = nullptr);
  ~SecretServiceKeychain() override;

  KeychainResult copy(const std::string& service, const std::string& account, const Attributes& query = {}) override;
  KeychainResult add(const std::string& service, const std::string& account, const std::vector<uint8_t>& data,
                     const Attributes& query = {}) override;
  KeychainResult update(const std::string& service, const std::string& account, const std::vector<uint8_t>& data,
                        const Attributes& query = {}) override;
  KeychainResult remove(const std::string& service, const std::string& account,
                        const Attributes& query = {}) override;

 private:
  struct Impl;
  explicit SecretServiceKeychain(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace tessa
