#include "platform/linux/json_preference_domains.h"

#include "base/files.h"
#include "base/json_reading.h"

namespace tessa {

namespace {
// [design] the domain and key the engine reads and writes hot key 61 under.
constexpr const char* kSymbolicHotKeysDomain = "com.apple.symbolichotkeys";
constexpr const char* kSymbolicHotKeysKey = "AppleSymbolicHotKeys";
}  // namespace

bool isEnabledFnF19HotKey(const nlohmann::json& entry) {
  if (!entry.is_object()) return false;
  auto en = entry.find("enabled");
  if (en == entry.end()) return false;
  const bool enabled = en->is_boolean() ? en->get<bool>() : (en->is_number() && en->get<double>() != 0);
  if (!enabled) return false;
  auto value = entry.find("value");
  if (value == entry.end() || !value->is_object()) return false;
  auto params = value->find("parameters");
  if (params == value->end() || !params->is_array() || params->size() < 3) return false;
  auto num = [](const nlohmann::json& j) -> std::optional<double> {
    if (j.is_number()) return j.get<double>();
    return std::nullopt;
  };
  return num((*params)[0]) == 65535.0 && num((*params)[1]) == 80.0 && num((*params)[2]) == 8388608.0;
}

JsonPreferenceDomains::JsonPreferenceDomains(std::filesystem::path file, Log log)
    : file_(std::move(file)), log_(std::move(log)) {}

void JsonPreferenceDomains::loadLocked() {
  loaded_ = true;
  dirty_ = false;
  data_ = nlohmann::json::object();
  std::error_code ec;
  if (!std::filesystem::exists(file_, ec)) return;
  auto read = readFileWithin(file_, kMaxSettingsFileBytes);
  std::string why = read.error;
  std::optional<nlohmann::json> parsed;
  // The bounded reader: a table nested thousands of levels deep would
  // otherwise be copied and written out recursively until the stack ran out.
  if (read) parsed = parseJsonWithin(*read.contents, &why);
  if (parsed && !parsed->is_object()) {
    parsed.reset();
    why = "not a JSON object";
  }
  if (parsed) {
    data_ = std::move(*parsed);
    return;
  }
  auto aside = moveAsideCorrupt(file_);
  if (log_)
    log_("Symbolic hot keys: " + file_.string() + " could not be read (" + why + ")" +
         (aside ? " - kept aside as " + aside->string() : std::string(" - and could not be moved aside")) +
         "; starting with no hot keys bound");
}

nlohmann::json JsonPreferenceDomains::domainLocked(const std::string& domain) const {
  auto it = data_.find(domain);
  nlohmann::json out = it != data_.end() && it->is_object() ? *it : nlohmann::json::object();
  // Nothing bound yet is an empty table, not a missing one.
  if (domain == kSymbolicHotKeysDomain && !out.contains(kSymbolicHotKeysKey))
    out[kSymbolicHotKeysKey] = nlohmann::json::object();
  return out;
}

std::optional<nlohmann::json> JsonPreferenceDomains::copyValue(const std::string& domain, const std::string& key) {
  std::lock_guard lock(mutex_);
  if (!loaded_) loadLocked();
  auto d = domainLocked(domain);
  auto it = d.find(key);
  if (it == d.end()) return std::nullopt;
  return *it;
}

void JsonPreferenceDomains::setValue(const std::string& domain, const std::string& key, const nlohmann::json& value) {
  std::lock_guard lock(mutex_);
  if (!loaded_) loadLocked();
  auto& d = data_[domain];
  if (!d.is_object()) d = nlohmann::json::object();
  if (value.is_null())
    d.erase(key);
  else
    d[key] = value;
  dirty_ = true;
}

bool JsonPreferenceDomains::synchronize(const std::string&) {
  std::lock_guard lock(mutex_);
  if (!loaded_ || !dirty_) {
    loadLocked();
    return true;
  }
  auto written = writeFileAtomically(file_, data_.dump(2) + "\n", 0600);
  if (!written) {
    if (log_) log_("Symbolic hot keys: cannot write " + file_.string() + ": " + written.error);
    return false;
  }
  dirty_ = false;
  return true;
}

bool JsonPreferenceDomains::nextSourceHotKeyIsFnF19() {
  std::lock_guard lock(mutex_);
  if (!loaded_) loadLocked();
  auto it = data_.find(kSymbolicHotKeysDomain);
  if (it == data_.end() || !it->is_object()) return false;
  auto table = it->find(kSymbolicHotKeysKey);
  if (table == it->end() || !table->is_object()) return false;
  auto entry = table->find("61");
  return entry != table->end() && isEnabledFnF19HotKey(*entry);
}

}  // namespace tessa
