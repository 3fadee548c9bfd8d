#include "platform/linux/keychain_factory.h"

#include "platform/linux/keychain_file_store.h"
#ifdef TESSAVINOR_HAVE_LIBSECRET
#include "platform/linux/keychain_secret_service.h"
#endif

namespace tessa {

std::unique_ptr<Keychain> createSystemKeychain(const std::function<void(const std::string&)>& warn) {
  std::string why = "this build has no Secret Service support";
#ifdef TESSAVINOR_HAVE_LIBSECRET
  if (auto secretService = SecretServiceKeychain::connect(warn, &why)) return secretService;
#endif
  auto store = std::make_unique<KeychainFileStore>(KeychainFileStore::defaultFile(), warn);
  if (warn)
    warn("Keychain: no Secret Service (" + why + ") - keeping keychain items in the owner-only file " +
         store->file().string());
  return store;
}

}  // namespace tessa
