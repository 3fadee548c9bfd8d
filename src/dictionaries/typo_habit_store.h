#pragma once
// The user's own recurring corrections: a word typed, erased and retyped
// differently is recorded as a habit from the typo to the corrected word and,
// seen twice, counts as learned. Habits live in an AES-256-GCM sealed vault
// file (nonce ‖ ciphertext ‖ tag) under Application Support with its key in
// the keychain; single-use habits unseen for a week are pruned. Short
// in-memory cooldowns suppress a learned correction the user just undid.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/clock.h"
#include "base/observable.h"
#include "base/task_runner.h"
#include "platform/keychain.h"

namespace tessa {

struct HabitEntry {
  std::string typo;       // as first recorded (letter case kept)
  std::string corrected;  // as recorded
  int64_t frequency = 1;
  double updatedAt = 0;   // seconds since 2001-01-01 00:00:00 UTC
  bool operator==(const HabitEntry&) const = default;
};

struct HabitLearningResult {
  enum class Kind { recorded, learned, rejected };
  Kind kind = Kind::rejected;
  int64_t frequency = 0;            // recorded: the entry's new count
  std::optional<HabitEntry> entry;  // learned: the updated entry

  static HabitLearningResult recorded(int64_t f) { return {Kind::recorded, f, std::nullopt}; }
  static HabitLearningResult learned(HabitEntry e) { return {Kind::learned, 0, std::move(e)}; }
  static HabitLearningResult rejected() { return {}; }
  bool operator==(const HabitLearningResult&) const = default;
};

// What the store runs on; the engine gives its own
// (typoHabitStoreEnvironment, engine/typo_habit_tracker.h).
struct TypoHabitStoreEnvironment {
  Keychain* keychain = nullptr;
  // False for a process hosted without an application bundle: it keeps its
  // key and habits in memory and never touches the application's vault.
  bool hasBundleIdentifier = true;
  const Clock* clock = nullptr;
  TaskRunner* mainQueue = nullptr;
  // Error lines for the system log's "Keyboard" category.
  std::function<void(const std::string&)> logError;
  // The line that says an unreadable vault was set aside goes to the console
  // too, as for every other file set aside.
  std::function<void(const std::string&)> console;
  // The folder of the vault; empty means Application Support/Tessavinor.
  std::filesystem::path folder;
};

class TypoHabitStore final : public ObservableObject, public std::enable_shared_from_this<TypoHabitStore> {
 public:
  // [design] the vault's keychain account, file name, age limit and time origin.
  static constexpr const char* keychainAccount = "com.marovellinde.tessavinor.habit.vaultkey";
  static constexpr const char* vaultFileName = "typo_habits.vault";
  static constexpr double staleAfterSeconds = 604800;  // 7 days
  // Seconds from 1970-01-01 to 2001-01-01, the vault's time origin.
  static constexpr double referenceDateOffset = 978307200;

  // Creates a store and loads the vault.
  static std::shared_ptr<TypoHabitStore> create(TypoHabitStoreEnvironment env);
  // The one store of the process is the engine's (KeyboardEngine::typoHabitStore).

  HabitLearningResult record(const std::string& typo, const std::string& corrected);
  // The learned correction for `typo` (count 2 or more), unless on cooldown.
  std::optional<std::string> correction(const std::string& typo);
  void addCooldown(const std::string& word, double seconds);
  bool isOnCooldown(const std::string& word);
  void removeHabit(const std::string& typo);
  // Forgets everything and deletes the vault file.
  void reset();
  void load();
  void save();
  static bool isLearnableWord(std::string_view word);
  // Drops single-use habits older than a week; the caller holds dataLock.
  void pruneStale();
  std::optional<std::vector<uint8_t>> vaultKey();

  std::map<std::string, HabitEntry> habits() const;
  // Replaces every habit (announced, not saved).
  void setHabits(std::map<std::string, HabitEntry> habits);
  const std::filesystem::path& vaultURL();

  // The vault's plaintext: one JSON object from lower-cased typo to entry.
  static std::string encodeHabits(const std::map<std::string, HabitEntry>& habits);
  static std::optional<std::map<std::string, HabitEntry>> decodeHabits(std::string_view json, std::string* error);

  // The process-wide in-memory key slot (tests start each case empty).
  static void resetInMemoryVaultKeyForTesting();

 private:
  explicit TypoHabitStore(TypoHabitStoreEnvironment env);
  double now() const;
  // Announces a change to observers: at once on the main thread, otherwise on
  // the main queue while the store still exists.
  void publishChange();
  void publishChanges(int count);
  static std::string key(std::string_view typo);
  int pruneStaleLocked();

  TypoHabitStoreEnvironment env_;
  mutable std::mutex dataLock_;
  std::map<std::string, HabitEntry> habits_;
  std::map<std::string, double> cooldowns_;
  std::mutex saveLock_;  // one save at a time, each writing the latest habits
  std::once_flag vaultURLOnce_;
  std::filesystem::path vaultURL_;
  // The vault exists but no key could be had at load: it is neither read nor
  // rewritten for the rest of the process.
  bool vaultLocked_ = false;
  // The vault could not be opened: it is moved aside before the next write.
  bool vaultUnreadable_ = false;
};

// A process-wide cache from text to score with a lock of its own; the
// ignored-word list code empties it whenever the list changes.
class HabitScoreCache {
 public:
  static void clear();
  static size_t size();
};

}  // namespace tessa
