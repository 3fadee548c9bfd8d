#pragma once
// SHA-256 hashes of dictionary files, trusted on first use. A file's hash is
// kept in the keychain under the file's name (the last path component), so a
// later file of the same name whose bytes differ is refused. Without an
// application bundle identifier the hashes live in this process's memory.
//
// Only "no item" in the keychain means first use: any other keychain failure
// (locked, no prompt allowed, service gone) answers `keychainUnavailable`, and
// nothing is recorded, so a transient failure can never re-trust a changed
// file.
#include <array>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "platform/platform.h"

namespace tessa {

class DictionaryIntegrity {
 public:
  static constexpr const char* kService = "Ovrelan.Tessavinor.dictionaryHash";

  enum class Verdict {
    trusted,              // hash matches the recorded one, or was recorded now
    mismatch,             // a different hash is recorded
    unreadable,           // the file's bytes could not be read
    missingHash,          // no hash recorded, and one was required
    keychainUnavailable,  // the keychain could not answer; nothing recorded
  };

  struct LoadResult {
    KeychainStatus status = KeychainStatus::itemNotFound;  // success or itemNotFound in memory
    std::optional<std::string> hash;                       // set only with success
    int32_t code = 0;
  };

  // Whether `file` may be used. With `requireStoredHash` false a file seen
  // for the first time is trusted and its hash recorded. With `unreadable`,
  // `whyUnreadable` (when given) says why, naming the file.
  static Verdict verify(const Platform& platform, const std::filesystem::path& file, bool requireStoredHash,
                        std::string* whyUnreadable = nullptr);
  static bool isTrusted(Verdict v) { return v == Verdict::trusted; }

  // Hashes `file` and records its hash, replacing any recorded one (a
  // re-downloaded file becomes the trusted one). False when the file cannot
  // be read or the hash could not be recorded.
  static bool storeHash(const Platform& platform, const std::filesystem::path& file);

  // Update-or-add of the item for `account`; the status of the write.
  static KeychainStatus saveHash(const Platform& platform, const std::string& hash, const std::string& account);
  static LoadResult loadHash(const Platform& platform, const std::string& account);
  static Keychain::Attributes baseQuery(const std::string& account);
  static std::string sha256Hex(const std::array<uint8_t, 32>& digest);
  // The hash text of a file's bytes, or none when it cannot be read or is
  // larger than a word list may be (`error` then says which).
  static std::optional<std::string> hashOfFile(const std::filesystem::path& file, std::string* error = nullptr);

  // The in-memory store used without a bundle identifier.
  static std::mutex& lock();
  static std::unordered_map<std::string, std::string>& memoryHashes();
};

const char* verdictName(DictionaryIntegrity::Verdict v);

}  // namespace tessa
