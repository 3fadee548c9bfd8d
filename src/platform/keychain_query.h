#pragma once
// Attribute names and values of keychain queries, and the one rule every
// query of ours follows: a keychain call never shows an authentication prompt.
// The words are the platform keychain's own, so a back end can map them to
// what it offers (the Secret Service, the owner-only file store, memory).
#include <string>

#include "platform/keychain.h"

namespace tessa::keychain {

inline constexpr const char* kClass = "kSecClass";
inline constexpr const char* kClassGenericPassword = "kSecClassGenericPassword";
inline constexpr const char* kAttrService = "kSecAttrService";
inline constexpr const char* kAttrAccount = "kSecAttrAccount";
inline constexpr const char* kAttrAccessible = "kSecAttrAccessible";
inline constexpr const char* kAccessibleAfterFirstUnlock = "kSecAttrAccessibleAfterFirstUnlock";
inline constexpr const char* kReturnData = "kSecReturnData";
inline constexpr const char* kMatchLimit = "kSecMatchLimit";
inline constexpr const char* kMatchLimitOne = "kSecMatchLimitOne";
inline constexpr const char* kTrue = "true";
inline constexpr const char* kUseAuthenticationUI = "kSecUseAuthenticationUI";
inline constexpr const char* kUseAuthenticationUIFail = "kSecUseAuthenticationUIFail";

// True when the query forbids any authentication prompt.
inline bool forbidsAuthenticationUI(const Keychain::Attributes& query) {
  auto it = query.find(kUseAuthenticationUI);
  return it != query.end() && it->second == kUseAuthenticationUIFail;
}

}  // namespace tessa::keychain

namespace tessa {

// `query` with authentication prompts forbidden: a call that would need one
// fails with `interactionNotAllowed` instead of asking the user.
inline Keychain::Attributes addNoAuthenticationUI(Keychain::Attributes query) {
  query[keychain::kUseAuthenticationUI] = keychain::kUseAuthenticationUIFail;
  return query;
}

// Reads the data of the generic-password item with this account and no
// service (how our sealing keys are kept), never prompting.
inline KeychainResult copyAccountItem(Keychain& keychain, const std::string& account) {
  Keychain::Attributes query = addNoAuthenticationUI({{keychain::kClass, keychain::kClassGenericPassword},
                                                      {keychain::kAttrAccount, account},
                                                      {keychain::kReturnData, keychain::kTrue},
                                                      {keychain::kMatchLimit, keychain::kMatchLimitOne}});
  return keychain.copy("", account, query);
}

}  // namespace tessa
