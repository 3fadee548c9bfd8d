#pragma once
// The keychain the application uses on Linux: the session's Secret Service
// when there is one, else the owner-only file store, with a warning in the
// log because those items are only as private as the owner's files.
//
// The choice is made once and remembered beside the file store. A later
// launch uses the same store: when the Secret Service that holds the items
// is missing or late, the keychain answers "unavailable" instead of falling
// back to an empty file store, which would read as a first use and make a new
// vault key (moving the user's learned habits aside).
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/keychain.h"

namespace tessa {

enum class KeychainBackend { secretService, fileStore };

// The remembered choice in `choiceFile`; none when nothing (readable) is there.
std::optional<KeychainBackend> rememberedKeychainBackend(const std::filesystem::path& choiceFile);

// A keychain that answers every call with interactionNotAllowed: the store
// holding our items cannot be reached now.
std::unique_ptr<Keychain> createUnavailableKeychain();

// `connectSecretService` returns the Secret Service keychain or null (with a
// reason); injectable for tests.
using SecretServiceConnector = std::function<std::unique_ptr<Keychain>(std::string* why)>;

std::unique_ptr<Keychain> createSystemKeychain(const std::function<void(const std::string&)>& warn);
// A keychain made by `make` at its first call, from whichever thread makes
// it: choosing one asks the session bus for the Secret Service, which the
// start of the program has no need to wait for.
std::unique_ptr<Keychain> keychainOnFirstUse(std::function<std::unique_ptr<Keychain>()> make);
std::unique_ptr<Keychain> createSystemKeychain(const std::function<void(const std::string&)>& warn,
                                               const std::filesystem::path& choiceFile,
                                               const std::filesystem::path& fileStorePath,
                                               const SecretServiceConnector& connectSecretService);

}  // namespace tessa
