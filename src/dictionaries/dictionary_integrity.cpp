#include "dictionaries/dictionary_integrity.h"

#include <fmt/format.h>

#include "base/crypto.h"
#include "base/encoding.h"
#include "base/files.h"
#include "base/unicode.h"
#include "dictionaries/hunspell_expander.h"
#include "platform/keychain_query.h"

namespace tessa {

namespace {
std::vector<uint8_t> utf8Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }
}  // namespace

std::mutex& DictionaryIntegrity::lock() {
  static std::mutex m;
  return m;
}

std::unordered_map<std::string, std::string>& DictionaryIntegrity::memoryHashes() {
  static auto* hashes = new std::unordered_map<std::string, std::string>();
  return *hashes;
}

std::string DictionaryIntegrity::sha256Hex(const std::array<uint8_t, 32>& digest) {
  return hexEncode(digest.data(), digest.size());
}

std::optional<std::string> DictionaryIntegrity::hashOfFile(const std::filesystem::path& file, std::string* error) {
  auto read = readFileWithin(file, kMaxWordFileBytes);
  if (!read) {
    if (error) *error = read.error;
    return std::nullopt;
  }
  return sha256Hex(crypto::sha256(*read.contents));
}

Keychain::Attributes DictionaryIntegrity::baseQuery(const std::string& account) {
  return {{keychain::kClass, keychain::kClassGenericPassword},
          {keychain::kAttrService, kService},
          {keychain::kAttrAccount, account}};
}

KeychainStatus DictionaryIntegrity::saveHash(const Platform& platform, const std::string& hash,
                                             const std::string& account) {
  if (!platform.hasBundleIdentifier) {
    std::lock_guard guard(lock());
    memoryHashes()[account] = hash;
    return KeychainStatus::success;
  }
  if (!platform.keychain) return KeychainStatus::otherError;
  Keychain& kc = *platform.keychain;
  auto data = utf8Bytes(hash);
  auto updated = kc.update(kService, account, data, addNoAuthenticationUI(baseQuery(account)));
  if (updated.status == KeychainStatus::success) return KeychainStatus::success;
  // Only a missing item is added: after any other failure the item may well
  // exist, and the add would fail or duplicate it.
  if (updated.status != KeychainStatus::itemNotFound) return updated.status;
  auto query = baseQuery(account);
  query[keychain::kAttrAccessible] = keychain::kAccessibleAfterFirstUnlock;
  return kc.add(kService, account, data, addNoAuthenticationUI(std::move(query))).status;
}

DictionaryIntegrity::LoadResult DictionaryIntegrity::loadHash(const Platform& platform, const std::string& account) {
  if (!platform.hasBundleIdentifier) {
    std::lock_guard guard(lock());
    auto& hashes = memoryHashes();
    auto it = hashes.find(account);
    if (it == hashes.end()) return {KeychainStatus::itemNotFound, std::nullopt, 0};
    return {KeychainStatus::success, it->second, 0};
  }
  if (!platform.keychain) return {KeychainStatus::otherError, std::nullopt, 0};
  auto query = baseQuery(account);
  query[keychain::kReturnData] = keychain::kTrue;
  query[keychain::kMatchLimit] = keychain::kMatchLimitOne;
  auto found = platform.keychain->copy(kService, account, addNoAuthenticationUI(std::move(query)));
  LoadResult result{found.status, std::nullopt, found.code};
  if (found.status == KeychainStatus::success) {
    std::string text(found.data.begin(), found.data.end());
    // Stored data that is not text stays "present but unusable": it can only
    // fail to match, never count as first use.
    result.hash = isValidUtf8(text) ? text : std::string("\x01invalid");
  }
  return result;
}

DictionaryIntegrity::Verdict DictionaryIntegrity::verify(const Platform& platform, const std::filesystem::path& file,
                                                         bool requireStoredHash, std::string* whyUnreadable) {
  auto h = hashOfFile(file, whyUnreadable);
  if (!h) return Verdict::unreadable;
  std::string account = file.filename().string();
  auto stored = loadHash(platform, account);
  if (stored.status == KeychainStatus::success) return *stored.hash == *h ? Verdict::trusted : Verdict::mismatch;
  if (stored.status != KeychainStatus::itemNotFound) return Verdict::keychainUnavailable;
  if (requireStoredHash) return Verdict::missingHash;
  // Trust on first use. A failed save still lets this run use the file: it
  // was never seen before, so there is nothing it could contradict.
  saveHash(platform, *h, account);
  return Verdict::trusted;
}

bool DictionaryIntegrity::storeHash(const Platform& platform, const std::filesystem::path& file) {
  auto h = hashOfFile(file);
  if (!h) return false;
  return saveHash(platform, *h, file.filename().string()) == KeychainStatus::success;
}

const char* verdictName(DictionaryIntegrity::Verdict v) {
  switch (v) {
    case DictionaryIntegrity::Verdict::trusted:
      return "trusted";
    case DictionaryIntegrity::Verdict::mismatch:
      return "mismatch";
    case DictionaryIntegrity::Verdict::unreadable:
      return "unreadable";
    case DictionaryIntegrity::Verdict::missingHash:
      return "missing hash";
    case DictionaryIntegrity::Verdict::keychainUnavailable:
      return "keychain unavailable";
  }
  return "?";
}

}  // namespace tessa
