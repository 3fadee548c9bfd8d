#pragma once
// Typed settings in one JSON file per domain. Readers tell a missing key from
// one of the wrong type. Writes are persisted atomically on a serial queue
// (coalesced), and synchronously on synchronize(). A file that fails to parse,
// nests too deeply or is too large is moved aside (".corrupt") and logged,
// never overwritten.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/task_runner.h"

namespace tessa {

class UserDefaults {
 public:
  // Values: JSON booleans, integers, doubles, strings, arrays, objects, and
  // binary for data.
  using Value = nlohmann::json;
  using Logger = std::function<void(const std::string&)>;

  enum class Kind { missing, boolean, integer, real, string, data, array, dictionary, null };

  // In memory only.
  UserDefaults();
  // Backed by `file`; writes run on `persistQueue` (synchronously when null).
  UserDefaults(std::filesystem::path file, std::shared_ptr<TaskRunner> persistQueue, Logger logger = {});
  ~UserDefaults();

  // Registration domain: consulted when the key is not set.
  void registerDefaults(const std::map<std::string, Value>& defaults);

  std::optional<Value> object(const std::string& key) const;
  Kind kind(const std::string& key) const;
  bool hasStoredValue(const std::string& key) const;

  // Typed readers in the platform's manner: numbers and numeric strings
  // convert, anything else reads as false / 0 / none.
  bool boolForKey(const std::string& key) const;
  int64_t integerForKey(const std::string& key) const;
  double doubleForKey(const std::string& key) const;
  std::optional<std::string> stringForKey(const std::string& key) const;
  std::optional<std::vector<uint8_t>> dataForKey(const std::string& key) const;
  std::optional<std::vector<std::string>> stringArrayForKey(const std::string& key) const;
  std::optional<Value> arrayForKey(const std::string& key) const;
  std::optional<Value> dictionaryForKey(const std::string& key) const;

  void set(const std::string& key, Value value);
  void setBool(const std::string& key, bool v) { set(key, Value(v)); }
  void setInteger(const std::string& key, int64_t v) { set(key, Value(v)); }
  void setDouble(const std::string& key, double v) { set(key, Value(v)); }
  void setString(const std::string& key, const std::string& v) { set(key, Value(v)); }
  void setData(const std::string& key, const std::vector<uint8_t>& v) { set(key, Value::binary(v)); }
  void remove(const std::string& key);

  // Writes the file now. False when it could not be written (logged).
  bool synchronize();
  // Every stored key, data shown as {"$data": base64} as in the file.
  Value snapshot() const;
  std::optional<std::filesystem::path> file() const { return file_; }

  // The file form of a value tree, and back.
  static Value toFileForm(const Value& v);
  static Value fromFileForm(const Value& v);

 private:
  void load();
  void schedulePersist();
  bool persistNow();
  std::optional<Value> lookup(const std::string& key) const;

  mutable std::mutex mutex_;
  std::map<std::string, Value> values_;
  std::map<std::string, Value> registered_;
  std::optional<std::filesystem::path> file_;
  std::shared_ptr<TaskRunner> persistQueue_;
  Logger logger_;
  bool persistPending_ = false;
  uint64_t generation_ = 0;
  uint64_t persistedGeneration_ = 0;
  std::shared_ptr<std::mutex> writeMutex_ = std::make_shared<std::mutex>();
  // Held by a write on the queue for as long as it runs: going away waits
  // for a write under way, and no write starts once it has gone.
  struct Life {
    std::mutex mutex;
    bool alive = true;
  };
  std::shared_ptr<Life> life_ = std::make_shared<Life>();
};

}  // namespace tessa
