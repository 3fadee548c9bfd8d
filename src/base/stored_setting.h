#pragma once
// A setting kept in the user defaults, declared once: its key, its type, the
// value it has while the key is unset or unreadable, and which stored values
// it accepts. Code reads, writes, observes and resets the setting through
// that declaration and never spells its key or default again:
//
//   inline constexpr Setting<bool> isFooEnabled{.key = "isFooEnabled", .fallback = false};
//   // A Published<bool> that starts from the stored value and writes its key.
//   StoredSetting<bool> isFoo{owner, &defaults, isFooEnabled};
//
// SettingCodec<T> says how a value of T is stored; base types are here, a
// layer above adds its own enums and records.
#include <cmath>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/observable.h"
#include "base/user_defaults.h"

namespace tessa {

// How a stored value is taken.
enum class SettingRead {
  // The defaults' typed reader: numbers and numeric strings convert, and a
  // value it cannot read gives its own empty value (false, 0, none).
  typed,
  // Only a value stored as the setting's own kind; any other reads as the
  // fallback.
  sameKind,
  // Never read back: the setting starts at its fallback whatever is stored.
  never,
};

// Which stored values are taken; any other reads as the fallback.
enum class SettingRange {
  any,
  positive,  // above zero, and finite (numbers only; other types take any)
};

// When the setting writes its key.
enum class SettingWrite {
  onChange,  // on every write of its cell
  byOwner,   // only when its owner says so (StoredSetting::persist)
};

template <class T>
struct SettingCodec;

template <class T>
struct Setting {
  const char* key;
  T fallback;
  SettingRead read = SettingRead::typed;
  SettingRange range = SettingRange::any;
  SettingWrite write = SettingWrite::onChange;

  // The stored value when there is one this declaration accepts.
  std::optional<T> storedValue(const UserDefaults& d) const {
    if (read == SettingRead::never) return std::nullopt;
    const UserDefaults::Kind kind = d.kind(key);
    if (kind == UserDefaults::Kind::missing) return std::nullopt;
    if (read == SettingRead::sameKind && kind != SettingCodec<T>::kind) return std::nullopt;
    std::optional<T> value = SettingCodec<T>::decode(d, key);
    if constexpr (std::is_arithmetic_v<T>) {
      if (value && range == SettingRange::positive && !isPositive(*value)) return std::nullopt;
    }
    return value;
  }
  T readFrom(const UserDefaults& d) const { return storedValue(d).value_or(fallback); }
  void writeTo(UserDefaults& d, const T& value) const { d.set(key, SettingCodec<T>::encode(value)); }
  // The fallback as an entry of the defaults' registration domain.
  std::pair<const std::string, UserDefaults::Value> registration() const {
    return {key, SettingCodec<T>::encode(fallback)};
  }

 private:
  static bool isPositive(T value) {
    if constexpr (std::is_floating_point_v<T>) return std::isfinite(value) && value > 0;
    else return value > 0;
  }
};

// One published property backed by its declared setting. It starts with the
// stored value (or the fallback), read when the cell is made, without
// announcing it. Every write announces, stores, writes the key (unless its
// owner writes it) and then runs the cell's own change action, with the key
// already written.
template <class T>
class StoredSetting : public Published<T> {
 public:
  using Action = typename Published<T>::Action;

  // Without a store (null) the cell starts at the fallback and keeps its
  // value in memory only.
  StoredSetting(ObservableObject& owner, UserDefaults* store, const Setting<T>& setting, Action then = {})
      : Published<T>(owner, store ? setting.readFrom(*store) : setting.fallback,
                     [this](const T& value) { changed(value); }),
        store_(store),
        setting_(setting),
        then_(std::move(then)) {}

  const Setting<T>& setting() const { return setting_; }
  // Writes the value it holds through its writer (announced, key written,
  // action run), so the key exists from then on.
  void writeBack() { this->set(this->get()); }
  // Back to the declared fallback, through the writer.
  void reset() { this->set(setting_.fallback); }
  // Writes the key now: for a setting its owner writes.
  void persist() const {
    if (store_) setting_.writeTo(*store_, this->get());
  }
  // What else a change does, after the key is written.
  void onChange(Action then) { then_ = std::move(then); }

 private:
  // The change action is the cell's own: its key is always written first.
  using Published<T>::setAction;

  void changed(const T& value) {
    if (store_ && setting_.write == SettingWrite::onChange) setting_.writeTo(*store_, value);
    if (then_) then_(value);
  }

  UserDefaults* store_;
  const Setting<T>& setting_;
  Action then_;
};

// ------------------------------------------------------------- base codecs

template <>
struct SettingCodec<bool> {
  static constexpr UserDefaults::Kind kind = UserDefaults::Kind::boolean;
  static std::optional<bool> decode(const UserDefaults& d, const std::string& key) { return d.boolForKey(key); }
  static UserDefaults::Value encode(bool v) { return v; }
};

template <>
struct SettingCodec<int64_t> {
  static constexpr UserDefaults::Kind kind = UserDefaults::Kind::integer;
  static std::optional<int64_t> decode(const UserDefaults& d, const std::string& key) { return d.integerForKey(key); }
  static UserDefaults::Value encode(int64_t v) { return v; }
};

template <>
struct SettingCodec<double> {
  static constexpr UserDefaults::Kind kind = UserDefaults::Kind::real;
  static std::optional<double> decode(const UserDefaults& d, const std::string& key) { return d.doubleForKey(key); }
  static UserDefaults::Value encode(double v) { return v; }
};

template <>
struct SettingCodec<std::string> {
  static constexpr UserDefaults::Kind kind = UserDefaults::Kind::string;
  static std::optional<std::string> decode(const UserDefaults& d, const std::string& key) {
    return d.stringForKey(key);
  }
  static UserDefaults::Value encode(const std::string& v) { return v; }
};

// A list of strings; a list holding anything else is unreadable.
template <>
struct SettingCodec<std::vector<std::string>> {
  static constexpr UserDefaults::Kind kind = UserDefaults::Kind::array;
  static std::optional<std::vector<std::string>> decode(const UserDefaults& d, const std::string& key) {
    return d.stringArrayForKey(key);
  }
  static UserDefaults::Value encode(const std::vector<std::string>& v) { return v; }
};

// Counts by name; an entry whose value is not an integer is dropped.
template <>
struct SettingCodec<std::map<std::string, int64_t>> {
  static constexpr UserDefaults::Kind kind = UserDefaults::Kind::dictionary;
  static std::optional<std::map<std::string, int64_t>> decode(const UserDefaults& d, const std::string& key);
  static UserDefaults::Value encode(const std::map<std::string, int64_t>& v);
};

}  // namespace tessa
