#include "platform/linux/keychain_factory.h"

#include <mutex>

#include "base/files.h"
#include "platform/linux/keychain_file_store.h"
#ifdef TESSAVINOR_HAVE_LIBSECRET
#include "platform/linux/keychain_secret_service.h"
#endif

namespace tessa {
namespace {

// [ours] the back ends' names in the log and the status.
constexpr const char* kSecretServiceName = "secret-service";
constexpr const char* kFileStoreName = "file";

class UnavailableKeychain final : public Keychain {
 public:
  KeychainResult copy(const std::string&, const std::string&, const Attributes&) override { return refused(); }
  KeychainResult add(const std::string&, const std::string&, const std::vector<uint8_t>&,
                     const Attributes&) override {
    return refused();
  }
  KeychainResult update(const std::string&, const std::string&, const std::vector<uint8_t>&,
                        const Attributes&) override {
    return refused();
  }
  KeychainResult remove(const std::string&, const std::string&, const Attributes&) override { return refused(); }

 private:
  static KeychainResult refused() {
    KeychainResult r;
    r.status = KeychainStatus::interactionNotAllowed;
    return r;
  }
};

void remember(const std::filesystem::path& choiceFile, KeychainBackend backend,
              const std::function<void(const std::string&)>& warn) {
  auto written = writeFileAtomically(choiceFile,
                                     std::string(backend == KeychainBackend::secretService ? kSecretServiceName
                                                                                           : kFileStoreName) +
                                         "\n",
                                     0600);
  if (!written && warn) warn("Keychain: could not remember the keychain choice: " + written.error);
}

std::unique_ptr<Keychain> defaultConnector(const std::function<void(const std::string&)>& warn, std::string* why) {
#ifdef TESSAVINOR_HAVE_LIBSECRET
  return SecretServiceKeychain::connect(warn, why);
#else
  if (why) *why = "this build has no Secret Service support";
  return nullptr;
#endif
}

}  // namespace

std::optional<KeychainBackend> rememberedKeychainBackend(const std::filesystem::path& choiceFile) {
  auto text = readFile(choiceFile, 256);
  if (!text) return std::nullopt;
  std::string word = text->substr(0, text->find_first_of("\r\n"));
  if (word == kSecretServiceName) return KeychainBackend::secretService;
  if (word == kFileStoreName) return KeychainBackend::fileStore;
  return std::nullopt;
}

std::unique_ptr<Keychain> createUnavailableKeychain() { return std::make_unique<UnavailableKeychain>(); }

namespace {

class KeychainOnFirstUse final : public Keychain {
 public:
  explicit KeychainOnFirstUse(std::function<std::unique_ptr<Keychain>()> make) : make_(std::move(make)) {}
  KeychainResult copy(const std::string& service, const std::string& account, const Attributes& query) override {
    return made().copy(service, account, query);
  }
  KeychainResult add(const std::string& service, const std::string& account, const std::vector<uint8_t>& data,
                     const Attributes& attributes) override {
    return made().add(service, account, data, attributes);
  }
  KeychainResult update(const std::string& service, const std::string& account, const std::vector<uint8_t>& data,
                        const Attributes& query) override {
    return made().update(service, account, data, query);
  }
  KeychainResult remove(const std::string& service, const std::string& account, const Attributes& query) override {
    return made().remove(service, account, query);
  }

 private:
  Keychain& made() {
    std::call_once(once_, [this] {
      keychain_ = make_ ? make_() : nullptr;
      if (!keychain_) keychain_ = createUnavailableKeychain();
    });
    return *keychain_;
  }

  std::function<std::unique_ptr<Keychain>()> make_;
  std::once_flag once_;
  std::unique_ptr<Keychain> keychain_;
};

}  // namespace

std::unique_ptr<Keychain> keychainOnFirstUse(std::function<std::unique_ptr<Keychain>()> make) {
  return std::make_unique<KeychainOnFirstUse>(std::move(make));
}

std::unique_ptr<Keychain> createSystemKeychain(const std::function<void(const std::string&)>& warn,
                                               const std::filesystem::path& choiceFile,
                                               const std::filesystem::path& fileStorePath,
                                               const SecretServiceConnector& connectSecretService) {
  auto remembered = rememberedKeychainBackend(choiceFile);
  // An earlier launch chose the file store, or a file store with items exists
  // from before the choice was remembered: keep using it.
  bool fileStoreInUse = remembered == KeychainBackend::fileStore ||
                        (!remembered && std::filesystem::exists(fileStorePath));
  if (fileStoreInUse) {
    if (!remembered) remember(choiceFile, KeychainBackend::fileStore, warn);
    if (warn) warn("Keychain: keeping keychain items in the owner-only file " + fileStorePath.string());
    return std::make_unique<KeychainFileStore>(fileStorePath, warn);
  }

  std::string why;
  if (auto secretService = connectSecretService(&why)) {
    if (!remembered) remember(choiceFile, KeychainBackend::secretService, warn);
    return secretService;
  }
  if (remembered == KeychainBackend::secretService) {
    if (warn)
      warn("Keychain: the Secret Service that holds our items is not reachable (" + why +
           ") - keychain items are unavailable for this session");
    return createUnavailableKeychain();
  }
  remember(choiceFile, KeychainBackend::fileStore, warn);
  if (warn)
    warn("Keychain: no Secret Service (" + why + ") - keeping keychain items in the owner-only file " +
         fileStorePath.string());
  return std::make_unique<KeychainFileStore>(fileStorePath, warn);
}

std::unique_ptr<Keychain> createSystemKeychain(const std::function<void(const std::string&)>& warn) {
  auto fileStore = KeychainFileStore::defaultFile();
  return createSystemKeychain(warn, fileStore.parent_path() / "keychain-backend", fileStore,
                              [warn](std::string* why) { return defaultConnector(warn, why); });
}

}  // namespace tessa
