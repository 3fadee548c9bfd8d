// The preferences store: one JSON file standing in for the platform's
// preferences. The defaults keys and their values belong to the callers (most
// are the design's); every value in this file, from the file's form to the
// log lines, is ours.
#include "base/user_defaults.h"

#include <cmath>
#include <cstdlib>

#include "base/encoding.h"
#include "base/files.h"
#include "base/json_reading.h"

namespace tessa {

using Value = UserDefaults::Value;

UserDefaults::UserDefaults() = default;

UserDefaults::UserDefaults(std::filesystem::path file, std::shared_ptr<TaskRunner> persistQueue, Logger logger)
    : file_(std::move(file)), persistQueue_(std::move(persistQueue)), logger_(std::move(logger)) {
  load();
}

UserDefaults::~UserDefaults() {
  std::lock_guard hold(life_->mutex);
  life_->alive = false;
}

Value UserDefaults::toFileForm(const Value& v) {
  if (v.is_binary()) {
    const auto& bin = v.get_binary();
    // [ours] binary data in a JSON file.
    return Value{{"$data", base64Encode(std::vector<uint8_t>(bin.begin(), bin.end()))}};
  }
  if (v.is_array()) {
    Value out = Value::array();
    for (const auto& e : v) out.push_back(toFileForm(e));
    return out;
  }
  if (v.is_object()) {
    Value out = Value::object();
    for (auto it = v.begin(); it != v.end(); ++it) out[it.key()] = toFileForm(it.value());
    return out;
  }
  return v;
}

Value UserDefaults::fromFileForm(const Value& v) {
  if (v.is_object()) {
    if (v.size() == 1 && v.contains("$data") && v["$data"].is_string()) {
      if (auto bytes = base64Decode(v["$data"].get<std::string>())) return Value::binary(*bytes);
    }
    Value out = Value::object();
    for (auto it = v.begin(); it != v.end(); ++it) out[it.key()] = fromFileForm(it.value());
    return out;
  }
  if (v.is_array()) {
    Value out = Value::array();
    for (const auto& e : v) out.push_back(fromFileForm(e));
    return out;
  }
  return v;
}

void UserDefaults::load() {
  if (!file_) return;
  std::error_code ec;
  if (!std::filesystem::exists(*file_, ec)) return;
  auto read = readFileWithin(*file_, kMaxSettingsFileBytes);
  std::string why;
  std::optional<Value> parsed;
  if (read) {
    parsed = parseJsonWithin(*read.contents, &why);
    if (parsed && !parsed->is_object()) {
      parsed.reset();
      why = "not a JSON object";
    }
  } else if (read.tooLarge) {
    why = read.error;
  } else {
    if (logger_) logger_("UserDefaults: cannot read " + file_->string() + "; starting with empty settings");
    return;
  }
  if (!parsed) {
    auto aside = moveAsideCorrupt(*file_);
    if (logger_)
      logger_("UserDefaults: " + file_->string() + " is not a settings file (" + why + "); kept as " +
              (aside ? aside->string() : std::string("(could not move it aside)")) + " and starting afresh");
    return;
  }
  for (auto it = parsed->begin(); it != parsed->end(); ++it) values_[it.key()] = fromFileForm(it.value());
}

void UserDefaults::registerDefaults(const std::map<std::string, Value>& defaults) {
  std::lock_guard lock(mutex_);
  for (const auto& [k, v] : defaults) registered_[k] = v;
}

std::optional<Value> UserDefaults::lookup(const std::string& key) const {
  auto it = values_.find(key);
  if (it != values_.end()) return it->second;
  auto r = registered_.find(key);
  if (r != registered_.end()) return r->second;
  return std::nullopt;
}

std::optional<Value> UserDefaults::object(const std::string& key) const {
  std::lock_guard lock(mutex_);
  return lookup(key);
}

bool UserDefaults::hasStoredValue(const std::string& key) const {
  std::lock_guard lock(mutex_);
  return values_.count(key) > 0;
}

UserDefaults::Kind UserDefaults::kind(const std::string& key) const {
  auto v = object(key);
  if (!v) return Kind::missing;
  switch (v->type()) {
    case Value::value_t::boolean: return Kind::boolean;
    case Value::value_t::number_integer:
    case Value::value_t::number_unsigned: return Kind::integer;
    case Value::value_t::number_float: return Kind::real;
    case Value::value_t::string: return Kind::string;
    case Value::value_t::binary: return Kind::data;
    case Value::value_t::array: return Kind::array;
    case Value::value_t::object: return Kind::dictionary;
    default: return Kind::null;
  }
}

namespace {
// [ours] The readers take the other types as the platform's preferences do:
// booleans as 0 and 1, "YES"/"true" and "NO"/"false", numeric strings.
std::optional<double> numberOf(const Value& v) {
  if (v.is_boolean()) return v.get<bool>() ? 1.0 : 0.0;
  if (v.is_number_integer()) return static_cast<double>(v.get<int64_t>());
  if (v.is_number_unsigned()) return static_cast<double>(v.get<uint64_t>());
  if (v.is_number_float()) return v.get<double>();
  if (v.is_string()) {
    const std::string& s = v.get_ref<const std::string&>();
    if (s == "YES" || s == "true") return 1.0;
    if (s == "NO" || s == "false") return 0.0;
    char* end = nullptr;
    double d = std::strtod(s.c_str(), &end);
    if (end != s.c_str() && *end == '\0') return d;
  }
  return std::nullopt;
}
}  // namespace

bool UserDefaults::boolForKey(const std::string& key) const {
  auto v = object(key);
  if (!v) return false;
  auto n = numberOf(*v);
  return n && *n != 0.0;
}

int64_t UserDefaults::integerForKey(const std::string& key) const {
  auto v = object(key);
  if (!v) return 0;
  // Inside the range only: 2^64-1 is not -1.
  if (v->is_number_integer()) return jsonInteger<int64_t>(*v).value_or(0);
  auto n = numberOf(*v);
  if (!n || !std::isfinite(*n)) return 0;
  if (*n >= 9.2e18 || *n <= -9.2e18) return 0;  // [ours] outside int64_t
  return static_cast<int64_t>(*n);
}

double UserDefaults::doubleForKey(const std::string& key) const {
  auto v = object(key);
  if (!v) return 0.0;
  auto n = numberOf(*v);
  return n ? *n : 0.0;
}

std::optional<std::string> UserDefaults::stringForKey(const std::string& key) const {
  auto v = object(key);
  if (!v) return std::nullopt;
  if (v->is_string()) return v->get<std::string>();
  if (v->is_number_integer()) return std::to_string(v->get<int64_t>());
  if (v->is_number_unsigned()) return std::to_string(v->get<uint64_t>());
  if (v->is_number_float()) return v->dump();
  return std::nullopt;
}

std::optional<std::vector<uint8_t>> UserDefaults::dataForKey(const std::string& key) const {
  auto v = object(key);
  if (!v || !v->is_binary()) return std::nullopt;
  const auto& b = v->get_binary();
  return std::vector<uint8_t>(b.begin(), b.end());
}

std::optional<std::vector<std::string>> UserDefaults::stringArrayForKey(const std::string& key) const {
  auto v = object(key);
  if (!v || !v->is_array()) return std::nullopt;
  std::vector<std::string> out;
  for (const auto& e : *v) {
    if (!e.is_string()) return std::nullopt;
    out.push_back(e.get<std::string>());
  }
  return out;
}

std::optional<Value> UserDefaults::arrayForKey(const std::string& key) const {
  auto v = object(key);
  if (!v || !v->is_array()) return std::nullopt;
  return v;
}

std::optional<Value> UserDefaults::dictionaryForKey(const std::string& key) const {
  auto v = object(key);
  if (!v || !v->is_object()) return std::nullopt;
  return v;
}

void UserDefaults::set(const std::string& key, Value value) {
  // Every copy and every write of a value recurses once per level: a value
  // nested without bound must never be stored.
  if (jsonValueNestsDeeperThan(value)) {
    if (logger_) logger_("UserDefaults: not storing " + key + ": the value is nested too deeply");
    return;
  }
  {
    std::lock_guard lock(mutex_);
    values_[key] = std::move(value);
    ++generation_;
  }
  schedulePersist();
}

void UserDefaults::remove(const std::string& key) {
  {
    std::lock_guard lock(mutex_);
    if (!values_.erase(key)) return;
    ++generation_;
  }
  schedulePersist();
}

void UserDefaults::schedulePersist() {
  if (!file_) return;
  if (!persistQueue_) {
    persistNow();
    return;
  }
  {
    std::lock_guard lock(mutex_);
    if (persistPending_) return;  // one write covers every change made before it runs
    persistPending_ = true;
  }
  std::weak_ptr<Life> weakLife = life_;
  persistQueue_->post([this, weakLife] {
    auto life = weakLife.lock();
    if (!life) return;
    std::lock_guard hold(life->mutex);
    if (life->alive) persistNow();
  });
}

bool UserDefaults::persistNow() {
  Value doc = Value::object();
  uint64_t gen;
  {
    std::lock_guard lock(mutex_);
    persistPending_ = false;
    gen = generation_;
    for (const auto& [k, v] : values_) doc[k] = toFileForm(v);
  }
  std::lock_guard writeLock(*writeMutex_);
  {
    std::lock_guard lock(mutex_);
    if (gen < persistedGeneration_) return true;  // a newer snapshot is already on disk
  }
  auto result = writeFileAtomically(*file_, doc.dump(2) + "\n", 0600);  // [ours] the user's alone
  if (!result) {
    if (logger_) logger_("UserDefaults: could not write " + file_->string() + ": " + result.error);
    return false;
  }
  std::lock_guard lock(mutex_);
  persistedGeneration_ = std::max(persistedGeneration_, gen);
  return true;
}

bool UserDefaults::synchronize() {
  if (!file_) return true;
  return persistNow();
}

Value UserDefaults::snapshot() const {
  std::lock_guard lock(mutex_);
  Value doc = Value::object();
  for (const auto& [k, v] : values_) doc[k] = toFileForm(v);
  return doc;
}

}  // namespace tessa
