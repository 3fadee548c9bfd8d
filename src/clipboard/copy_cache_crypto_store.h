#pragma once
// The clipboard history's vault: one owner-only folder holding one
// AES-256-GCM sealed blob per stored payload ("<uuid>.blob") and the sealed
// history ("history.vault"), so that emptying the folder forgets everything.
// The key lives in the keychain; a process without an application bundle
// keeps key, blobs and history in memory and never touches the disk.
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "base/crypto.h"
#include "platform/keychain.h"

namespace tessa {

struct CopyCacheCryptoStoreEnvironment {
  Keychain* keychain = nullptr;
  bool hasBundleIdentifier = true;
  // Empty means Application Support/Tessavinor/CopyCache.
  std::filesystem::path folder;
  std::function<void(const std::string&)> logError;
};

class CopyCacheCryptoStore {
 public:
  static constexpr const char* keychainAccount = "com.marovellinde.tessavinor.copycache.vaultkey";
  static constexpr const char* historyFileName = "history.vault";
  static constexpr const char* blobExtension = ".blob";
  // A payload larger than this is not stored (nor read back).
  static constexpr uint64_t kMaxBlobBytes = 64ull << 20;
  static constexpr uint64_t kMaxHistoryBytes = 64ull << 20;

  explicit CopyCacheCryptoStore(CopyCacheCryptoStoreEnvironment env);

  const std::filesystem::path& folder() const { return folder_; }
  bool inMemory() const { return !env_.hasBundleIdentifier; }

  // Seals `bytes` under a new identifier; none when it could not be stored.
  std::optional<std::string> storeVault(const std::string& bytes);
  // The opened blob; none when it does not exist. Throws std::runtime_error
  // when it exists but cannot be read or opened.
  std::optional<std::string> openVault(const std::string& vaultID);
  void deleteVault(const std::string& vaultID);
  // The identifiers of every blob present.
  std::vector<std::string> vaultIDs();

  bool saveHistory(const std::string& plaintext);
  // noKey: the vault key could not be had (the history is left untouched).
  enum class LoadStatus { missing, loaded, unreadable, noKey };
  struct HistoryLoad {
    LoadStatus status = LoadStatus::missing;
    std::string plaintext;
    // The keychain had no vault key, so a new one was made: a history sealed
    // before cannot open with it.
    bool keyWasMissing = false;
  };
  HistoryLoad loadHistory();
  // Moves an unreadable history aside (as "history.vault.corrupt…", still
  // sealed) with the blobs it may refer to (each as "<id>.blob.corrupt…"):
  // the one key that opens them may yet be found. Answers the history's path.
  std::optional<std::filesystem::path> setAsideHistory();

  // Deletes every file of the folder (and every in-memory blob).
  void purgeAll();
  // Deletes every file of the folder and touches nothing in memory, so that
  // any thread may call it.
  void purgeFiles();

  // Vault identifiers are UUIDs made here; anything else (say "../x") is
  // never turned into a path.
  static bool isValidVaultID(const std::string& id);
  // Forgets the process-wide in-memory key (tests start each case afresh).
  static void resetInMemoryKeyForTesting();

 private:
  std::optional<crypto::Bytes> key();
  std::filesystem::path blobPath(const std::string& id) const;
  bool ensureFolder();
  void logError(const std::string& line);

  CopyCacheCryptoStoreEnvironment env_;
  std::filesystem::path folder_;
  std::optional<crypto::Bytes> key_;
  bool madeKey_ = false;  // the keychain had none; this store made the one in use
  std::map<std::string, crypto::Bytes> memoryBlobs_;
  std::optional<crypto::Bytes> memoryHistory_;
};

}  // namespace tessa
