#include "clipboard/copy_cache_crypto_store.h"

#include <sys/stat.h>

#include <mutex>
#include <stdexcept>

#include "base/files.h"
#include "platform/keychain_query.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;
constexpr const char* kAccessibleAfterFirstUnlockThisDeviceOnly = "kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly";

std::mutex& keyLock() {
  static std::mutex m;
  return m;
}
std::optional<crypto::Bytes>& inMemoryKey() {
  static std::optional<crypto::Bytes> key;
  return key;
}

crypto::Bytes toBytes(const std::string& s) { return crypto::Bytes(s.begin(), s.end()); }
std::string toString(const crypto::Bytes& b) { return std::string(b.begin(), b.end()); }

}  // namespace

CopyCacheCryptoStore::CopyCacheCryptoStore(CopyCacheCryptoStoreEnvironment env) : env_(std::move(env)) {
  folder_ = env_.folder.empty() ? Paths::applicationSupport() / "CopyCache" : env_.folder;
}

void CopyCacheCryptoStore::resetInMemoryKeyForTesting() {
  std::lock_guard lock(keyLock());
  inMemoryKey().reset();
}

void CopyCacheCryptoStore::logError(const std::string& line) {
  if (env_.logError) env_.logError(line);
}

bool CopyCacheCryptoStore::isValidVaultID(const std::string& id) {
  if (id.size() != 36) return false;
  for (size_t i = 0; i < id.size(); ++i) {
    char c = id[i];
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

std::optional<crypto::Bytes> CopyCacheCryptoStore::key() {
  if (key_) return key_;
  std::lock_guard lock(keyLock());
  if (!env_.hasBundleIdentifier) {
    auto& slot = inMemoryKey();
    if (!slot) slot = crypto::randomBytes(crypto::kKeySize);
    key_ = slot;
    return key_;
  }
  if (!env_.keychain) return std::nullopt;
  KeychainResult found = copyAccountItem(*env_.keychain, keychainAccount);
  if (found.status == KeychainStatus::success && found.data.size() == crypto::kKeySize) {
    key_ = found.data;
    return key_;
  }
  if (found.status != KeychainStatus::itemNotFound) {
    logError("CopyCache: the vault key could not be read from the keychain (status " +
             std::to_string(found.code) + ")");
    return std::nullopt;
  }
  crypto::Bytes fresh = crypto::randomBytes(crypto::kKeySize);
  Keychain::Attributes attributes =
      addNoAuthenticationUI({{keychain::kClass, keychain::kClassGenericPassword},
                             {keychain::kAttrAccount, keychainAccount},
                             {keychain::kAttrAccessible, kAccessibleAfterFirstUnlockThisDeviceOnly}});
  // A key the keychain did not keep would seal blobs no later run opens.
  if (env_.keychain->add("", keychainAccount, fresh, attributes).status != KeychainStatus::success) {
    logError("CopyCache: the vault key could not be stored in the keychain");
    return std::nullopt;
  }
  key_ = fresh;
  madeKey_ = true;
  return key_;
}

fs::path CopyCacheCryptoStore::blobPath(const std::string& id) const { return folder_ / (id + blobExtension); }

bool CopyCacheCryptoStore::ensureFolder() {
  std::string error;
  if (!createPrivateFolders(folder_, &error)) {
    logError("CopyCache: cannot create the vault folder: " + error);
    return false;
  }
  // Owner-only, also when the folder already existed with wider rights.
  ::chmod(folder_.c_str(), 0700);
  return true;
}

std::optional<std::string> CopyCacheCryptoStore::storeVault(const std::string& bytes) {
  if (bytes.size() > kMaxBlobBytes) return std::nullopt;
  auto k = key();
  if (!k) return std::nullopt;
  auto sealed = crypto::sealCombined(*k, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  if (!sealed) return std::nullopt;
  std::string id = crypto::randomUUID();
  if (inMemory()) {
    memoryBlobs_[id] = std::move(*sealed);
    return id;
  }
  if (!ensureFolder()) return std::nullopt;
  if (auto written = writeFileAtomically(blobPath(id), *sealed, 0600); !written) {
    logError("CopyCache: a payload could not be stored: " + written.error);
    return std::nullopt;
  }
  return id;
}

std::optional<std::string> CopyCacheCryptoStore::openVault(const std::string& vaultID) {
  if (!isValidVaultID(vaultID)) return std::nullopt;
  crypto::Bytes sealed;
  if (inMemory()) {
    auto it = memoryBlobs_.find(vaultID);
    if (it == memoryBlobs_.end()) return std::nullopt;
    sealed = it->second;
  } else {
    fs::path path = blobPath(vaultID);
    std::error_code ec;
    if (!fs::exists(path, ec)) return std::nullopt;
    ReadFileResult read = readFileWithin(path, kMaxBlobBytes + crypto::kNonceSize + crypto::kTagSize);
    if (!read) throw std::runtime_error("CopyCache: cannot read " + path.filename().string() + ": " + read.error);
    sealed = toBytes(*read.contents);
  }
  auto k = key();
  if (!k) throw std::runtime_error("CopyCache: no vault key");
  auto opened = crypto::openCombined(*k, sealed);
  if (!opened) throw std::runtime_error("CopyCache: the blob " + vaultID + " could not be opened");
  return toString(*opened);
}

void CopyCacheCryptoStore::deleteVault(const std::string& vaultID) {
  if (!isValidVaultID(vaultID)) return;
  if (inMemory()) {
    memoryBlobs_.erase(vaultID);
    return;
  }
  std::error_code ec;
  fs::remove(blobPath(vaultID), ec);
}

std::vector<std::string> CopyCacheCryptoStore::vaultIDs() {
  std::vector<std::string> ids;
  if (inMemory()) {
    for (const auto& [id, _] : memoryBlobs_) ids.push_back(id);
    return ids;
  }
  std::error_code ec;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (p.extension() != blobExtension) continue;
    std::string id = p.stem().string();
    if (isValidVaultID(id)) ids.push_back(id);
  }
  return ids;
}

bool CopyCacheCryptoStore::saveHistory(const std::string& plaintext) {
  auto k = key();
  if (!k) return false;
  auto sealed = crypto::sealCombined(*k, reinterpret_cast<const uint8_t*>(plaintext.data()), plaintext.size());
  if (!sealed) return false;
  if (inMemory()) {
    memoryHistory_ = std::move(*sealed);
    return true;
  }
  if (!ensureFolder()) return false;
  if (auto written = writeFileAtomically(folder_ / historyFileName, *sealed, 0600); !written) {
    logError("CopyCache: the history could not be stored: " + written.error);
    return false;
  }
  return true;
}

CopyCacheCryptoStore::HistoryLoad CopyCacheCryptoStore::loadHistory() {
  HistoryLoad result;
  crypto::Bytes sealed;
  if (inMemory()) {
    if (!memoryHistory_) return result;
    sealed = *memoryHistory_;
  } else {
    fs::path path = folder_ / historyFileName;
    std::error_code ec;
    if (!fs::exists(path, ec)) return result;
    ReadFileResult read = readFileWithin(path, kMaxHistoryBytes);
    if (!read) {
      logError("CopyCache: the history could not be read: " + read.error);
      result.status = LoadStatus::unreadable;
      return result;
    }
    sealed = toBytes(*read.contents);
  }
  auto k = key();
  if (!k) {
    result.status = LoadStatus::noKey;
    return result;
  }
  auto opened = crypto::openCombined(*k, sealed);
  if (!opened) {
    result.status = LoadStatus::unreadable;
    result.keyWasMissing = madeKey_;
    return result;
  }
  result.status = LoadStatus::loaded;
  result.plaintext = toString(*opened);
  return result;
}

std::optional<fs::path> CopyCacheCryptoStore::setAsideHistory() {
  if (inMemory()) {
    memoryHistory_.reset();
    return std::nullopt;
  }
  for (const auto& id : vaultIDs()) moveAsideCorrupt(blobPath(id));
  return moveAsideCorrupt(folder_ / historyFileName);
}

void CopyCacheCryptoStore::purgeAll() {
  memoryBlobs_.clear();
  memoryHistory_.reset();
  purgeFiles();
}

void CopyCacheCryptoStore::purgeFiles() {
  if (inMemory()) return;
  std::error_code ec;
  for (fs::directory_iterator it(folder_, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code removeError;
    fs::remove_all(it->path(), removeError);
  }
}

}  // namespace tessa
