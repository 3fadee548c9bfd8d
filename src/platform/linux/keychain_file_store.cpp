#include "platform/linux/keychain_file_store.h"

#include <sys/stat.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "base/encoding.h"
#include "base/files.h"
#include "base/json_reading.h"
#include "platform/keychain_query.h"

namespace fs = std::filesystem;

namespace tessa {

namespace {
KeychainResult status(KeychainStatus s, std::vector<uint8_t> data = {}) {
  KeychainResult r;
  r.status = s;
  r.data = std::move(data);
  r.code = s == KeychainStatus::success ? 0 : -1;
  return r;
}
}  // namespace

fs::path KeychainFileStore::defaultFile() { return Paths::applicationSupport() / "Keychain" / "items.json"; }

KeychainFileStore::KeychainFileStore(fs::path file, LogFunction log) : file_(std::move(file)), log_(std::move(log)) {}

bool KeychainFileStore::load(std::vector<Item>& items, KeychainStatus& result) {
  items.clear();
  std::error_code ec;
  if (!fs::exists(file_, ec)) return true;
  auto text = readFile(file_, 64u << 20);
  if (!text) {
    result = KeychainStatus::otherError;
    if (log_) log_("Keychain file store: cannot read " + file_.string());
    return false;
  }
  try {
    std::string why;
    auto parsed = parseJsonWithin(*text, &why);
    if (!parsed) throw std::runtime_error(why);
    const auto& json = *parsed;
    for (const auto& entry : json.at("items")) {
      Item item;
      item.service = entry.at("service").get<std::string>();
      item.account = entry.at("account").get<std::string>();
      item.accessible = entry.value("accessible", "");
      auto data = base64Decode(entry.at("data").get<std::string>());
      if (!data) throw std::runtime_error("bad data");
      item.data = std::move(*data);
      items.push_back(std::move(item));
    }
    return true;
  } catch (const std::exception& e) {
    // Kept aside for inspection, never overwritten; the store starts again.
    auto aside = moveAsideCorrupt(file_);
    if (log_)
      log_("Keychain file store: " + file_.string() + " could not be parsed (" + e.what() + "); moved to " +
           (aside ? aside->string() : std::string("nowhere - left in place")));
    if (!aside) {
      result = KeychainStatus::otherError;
      return false;
    }
    items.clear();
    return true;
  }
}

bool KeychainFileStore::save(const std::vector<Item>& items) {
  nlohmann::ordered_json json;
  json["version"] = 1;
  json["items"] = nlohmann::ordered_json::array();
  for (const auto& item : items) {
    nlohmann::ordered_json entry;
    entry["service"] = item.service;
    entry["account"] = item.account;
    if (!item.accessible.empty()) entry["accessible"] = item.accessible;
    entry["data"] = base64Encode(item.data);
    json["items"].push_back(std::move(entry));
  }
  createPrivateFolders(file_.parent_path());
  ::chmod(file_.parent_path().c_str(), 0700);
  auto written = writeFileAtomically(file_, json.dump(2), 0600);
  if (!written && log_) log_("Keychain file store: cannot write " + file_.string() + ": " + written.error);
  return written.ok;
}

KeychainResult KeychainFileStore::copy(const std::string& service, const std::string& account, const Attributes&) {
  std::lock_guard lock(mutex_);
  std::vector<Item> items;
  KeychainStatus failure = KeychainStatus::otherError;
  if (!load(items, failure)) return status(failure);
  for (const auto& item : items)
    if (item.service == service && item.account == account) return status(KeychainStatus::success, item.data);
  return status(KeychainStatus::itemNotFound);
}

KeychainResult KeychainFileStore::add(const std::string& service, const std::string& account,
                                      const std::vector<uint8_t>& data, const Attributes& query) {
  std::lock_guard lock(mutex_);
  std::vector<Item> items;
  KeychainStatus failure = KeychainStatus::otherError;
  if (!load(items, failure)) return status(failure);
  for (const auto& item : items)
    if (item.service == service && item.account == account) return status(KeychainStatus::duplicateItem);
  Item item{service, account, {}, data};
  if (auto it = query.find(keychain::kAttrAccessible); it != query.end()) item.accessible = it->second;
  items.push_back(std::move(item));
  return status(save(items) ? KeychainStatus::success : KeychainStatus::otherError);
}

KeychainResult KeychainFileStore::update(const std::string& service, const std::string& account,
                                         const std::vector<uint8_t>& data, const Attributes&) {
  std::lock_guard lock(mutex_);
  std::vector<Item> items;
  KeychainStatus failure = KeychainStatus::otherError;
  if (!load(items, failure)) return status(failure);
  for (auto& item : items) {
    if (item.service == service && item.account == account) {
      item.data = data;
      return status(save(items) ? KeychainStatus::success : KeychainStatus::otherError);
    }
  }
  return status(KeychainStatus::itemNotFound);
}

KeychainResult KeychainFileStore::remove(const std::string& service, const std::string& account, const Attributes&) {
  std::lock_guard lock(mutex_);
  std::vector<Item> items;
  KeychainStatus failure = KeychainStatus::otherError;
  if (!load(items, failure)) return status(failure);
  auto it = std::find_if(items.begin(), items.end(),
                         [&](const Item& i) { return i.service == service && i.account == account; });
  if (it == items.end()) return status(KeychainStatus::itemNotFound);
  items.erase(it);
  return status(save(items) ? KeychainStatus::success : KeychainStatus::otherError);
}

}  // namespace tessa
