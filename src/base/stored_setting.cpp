#include "base/stored_setting.h"

#include "base/json_reading.h"

namespace tessa {

std::optional<std::map<std::string, int64_t>> SettingCodec<std::map<std::string, int64_t>>::decode(
    const UserDefaults& d, const std::string& key) {
  auto dict = d.dictionaryForKey(key);
  if (!dict) return std::nullopt;
  std::map<std::string, int64_t> out;
  for (auto it = dict->begin(); it != dict->end(); ++it) {
    if (!it->is_number_integer()) continue;
    if (auto n = jsonInteger<int64_t>(*it)) out[it.key()] = *n;
  }
  return out;
}

UserDefaults::Value SettingCodec<std::map<std::string, int64_t>>::encode(const std::map<std::string, int64_t>& v) {
  UserDefaults::Value out = UserDefaults::Value::object();
  for (const auto& [k, n] : v) out[k] = n;
  return out;
}

}  // namespace tessa
