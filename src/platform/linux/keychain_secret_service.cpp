#include "platform/linux/keychain_secret_service.h"

#include <libsecret/secret.h>

#include "platform/keychain_query.h"

namespace tessa {

namespace {

const SecretSchema* schema() {
  // [ours] the schema our secrets are filed under in the Secret Service.
  static const SecretSchema s = {"Ovrelan.Tessavinor.GenericPassword",
                                 SECRET_SCHEMA_NONE,
                                 {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                  {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
                                  {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                                 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  return &s;
}

SecretValue* secretValueOf(const std::vector<uint8_t>& data) {
  return secret_value_new(reinterpret_cast<const gchar*>(data.data()), static_cast<gssize>(data.size()),
                          "application/octet-stream");
}

KeychainResult result(KeychainStatus s, std::vector<uint8_t> data = {}, int32_t code = 0) {
  KeychainResult r;
  r.status = s;
  r.data = std::move(data);
  r.code = s == KeychainStatus::success ? 0 : (code ? code : -1);
  return r;
}

struct SecretAttributes {
  GHashTable* table;
  SecretAttributes(const std::string& service, const std::string& account)
      : table(g_hash_table_new_full(g_str_hash, g_str_equal, nullptr, g_free)) {
    g_hash_table_insert(table, const_cast<char*>("service"), g_strdup(service.c_str()));
    g_hash_table_insert(table, const_cast<char*>("account"), g_strdup(account.c_str()));
  }
  ~SecretAttributes() { g_hash_table_unref(table); }
  SecretAttributes(const SecretAttributes&) = delete;
  SecretAttributes& operator=(const SecretAttributes&) = delete;
};

std::string label(const std::string& service, const std::string& account) {
  return "Tessavinor: " + service + " (" + account + ")";
}

}  // namespace

struct SecretServiceKeychain::Impl {
  SecretService* service = nullptr;
  LogFunction log;
  std::mutex mutex;

  ~Impl() {
    if (service) g_object_unref(service);
  }

  // The result of a write: success, or the error logged, freed and reported.
  KeychainResult finish(const char* operation, gboolean ok, GError* error) {
    if (ok) return result(KeychainStatus::success);
    logError(operation, error);
    if (error) g_error_free(error);
    return result(KeychainStatus::otherError);
  }
  void logError(const char* operation, GError* error) {
    if (log && error) log(std::string("Secret Service ") + operation + " failed: " + error->message);
  }

  // The one item of (service, account), or null. `status` is set when the
  // search itself fails.
  SecretItem* find(const std::string& svc, const std::string& account, bool allowUI, KeychainStatus& status) {
    SecretAttributes attrs(svc, account);
    GError* error = nullptr;
    int flags = SECRET_SEARCH_LOAD_SECRETS;
    if (allowUI) flags |= SECRET_SEARCH_UNLOCK;
    GList* items = secret_service_search_sync(service, schema(), attrs.table, static_cast<SecretSearchFlags>(flags),
                                              nullptr, &error);
    if (error) {
      logError("search", error);
      g_error_free(error);
      status = KeychainStatus::otherError;
      return nullptr;
    }
    status = items ? KeychainStatus::success : KeychainStatus::itemNotFound;
    SecretItem* first = items ? SECRET_ITEM(g_object_ref(items->data)) : nullptr;
    g_list_free_full(items, g_object_unref);
    return first;
  }
};

SecretServiceKeychain::SecretServiceKeychain(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
SecretServiceKeychain::~SecretServiceKeychain() = default;

std::unique_ptr<SecretServiceKeychain> SecretServiceKeychain::connect(LogFunction log, std::string* why) {
  GError* error = nullptr;
  SecretService* service = secret_service_get_sync(SECRET_SERVICE_OPEN_SESSION, nullptr, &error);
  if (!service) {
    if (why) *why = error ? error->message : "no Secret Service";
    if (error) g_error_free(error);
    return nullptr;
  }
  auto impl = std::make_unique<Impl>();
  impl->service = service;
  impl->log = std::move(log);
  return std::unique_ptr<SecretServiceKeychain>(new SecretServiceKeychain(std::move(impl)));
}

KeychainResult SecretServiceKeychain::copy(const std::string& service, const std::string& account,
                                           const Attributes& query) {
  std::lock_guard lock(impl_->mutex);
  KeychainStatus status;
  SecretItem* item = impl_->find(service, account, !keychain::forbidsAuthenticationUI(query), status);
  if (!item) return result(status);
  if (secret_item_get_locked(item)) {
    g_object_unref(item);
    return result(KeychainStatus::interactionNotAllowed);
  }
  SecretValue* value = secret_item_get_secret(item);
  g_object_unref(item);
  if (!value) return result(KeychainStatus::otherError);
  gsize length = 0;
  const gchar* bytes = secret_value_get(value, &length);
  std::vector<uint8_t> data(reinterpret_cast<const uint8_t*>(bytes), reinterpret_cast<const uint8_t*>(bytes) + length);
  secret_value_unref(value);
  return result(KeychainStatus::success, std::move(data));
}

KeychainResult SecretServiceKeychain::add(const std::string& service, const std::string& account,
                                          const std::vector<uint8_t>& data, const Attributes& query) {
  std::lock_guard lock(impl_->mutex);
  const bool allowUI = !keychain::forbidsAuthenticationUI(query);
  KeychainStatus status;
  if (SecretItem* existing = impl_->find(service, account, false, status)) {
    g_object_unref(existing);
    return result(KeychainStatus::duplicateItem);
  }
  if (status == KeychainStatus::otherError) return result(status);
  GError* error = nullptr;
  if (!allowUI) {
    // Storing into a locked collection would ask the user to unlock it.
    SecretCollection* collection = secret_collection_for_alias_sync(impl_->service, SECRET_COLLECTION_DEFAULT,
                                                                    SECRET_COLLECTION_NONE, nullptr, &error);
    if (error) {
      impl_->logError("collection lookup", error);
      g_error_free(error);
      return result(KeychainStatus::otherError);
    }
    if (!collection) return result(KeychainStatus::otherError);
    bool locked = secret_collection_get_locked(collection);
    g_object_unref(collection);
    if (locked) return result(KeychainStatus::interactionNotAllowed);
  }
  SecretAttributes attrs(service, account);
  SecretValue* value = secretValueOf(data);
  gboolean ok = secret_service_store_sync(impl_->service, schema(), attrs.table, SECRET_COLLECTION_DEFAULT,
                                          label(service, account).c_str(), value, nullptr, &error);
  secret_value_unref(value);
  return impl_->finish("store", ok, error);
}

KeychainResult SecretServiceKeychain::update(const std::string& service, const std::string& account,
                                             const std::vector<uint8_t>& data, const Attributes& query) {
  std::lock_guard lock(impl_->mutex);
  KeychainStatus status;
  SecretItem* item = impl_->find(service, account, !keychain::forbidsAuthenticationUI(query), status);
  if (!item) return result(status);
  if (secret_item_get_locked(item)) {
    g_object_unref(item);
    return result(KeychainStatus::interactionNotAllowed);
  }
  SecretValue* value = secretValueOf(data);
  GError* error = nullptr;
  gboolean ok = secret_item_set_secret_sync(item, value, nullptr, &error);
  secret_value_unref(value);
  g_object_unref(item);
  return impl_->finish("update", ok, error);
}

KeychainResult SecretServiceKeychain::remove(const std::string& service, const std::string& account,
                                             const Attributes& query) {
  std::lock_guard lock(impl_->mutex);
  KeychainStatus status;
  SecretItem* item = impl_->find(service, account, !keychain::forbidsAuthenticationUI(query), status);
  if (!item) return result(status);
  GError* error = nullptr;
  gboolean ok = secret_item_delete_sync(item, nullptr, &error);
  g_object_unref(item);
  return impl_->finish("delete", ok, error);
}

}  // namespace tessa
