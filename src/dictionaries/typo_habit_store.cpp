#include "dictionaries/typo_habit_store.h"

#include <sys/stat.h>

#include <array>
#include <cmath>
#include <system_error>

#include <nlohmann/json.hpp>

#include "base/crypto.h"
#include "base/files.h"
#include "base/json_reading.h"
#include "base/unicode.h"
#include "platform/keychain_query.h"

namespace tessa {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMinLearnable = 2;
constexpr size_t kMaxLearnable = 25;
// A vault of habits is small; anything larger is not ours.
constexpr uint64_t kMaxVaultBytes = 64ull << 20;

// Process-wide, like the key slot it guards: the keychain access and the
// in-memory vault key.
std::mutex& storeLock() {
  static std::mutex m;
  return m;
}
std::optional<std::vector<uint8_t>>& inMemoryVaultKey() {
  static std::optional<std::vector<uint8_t>> key;
  return key;
}

constexpr const char* kAccessibleAfterFirstUnlockThisDeviceOnly = "kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly";

}  // namespace

// ------------------------------------------------------------ life cycle

TypoHabitStore::TypoHabitStore(TypoHabitStoreEnvironment env) : env_(std::move(env)) {
  if (!env_.clock) env_.clock = &SystemClock::instance();
  if (env_.folder.empty()) env_.folder = Paths::applicationSupport();
}

std::shared_ptr<TypoHabitStore> TypoHabitStore::create(TypoHabitStoreEnvironment env) {
  std::shared_ptr<TypoHabitStore> store(new TypoHabitStore(std::move(env)));
  store->load();
  return store;
}

void TypoHabitStore::resetInMemoryVaultKeyForTesting() {
  std::lock_guard lock(storeLock());
  inMemoryVaultKey().reset();
}

double TypoHabitStore::now() const { return env_.clock->wallTime() - referenceDateOffset; }

std::string TypoHabitStore::key(std::string_view typo) { return nfc(lowercased(typo)); }

void TypoHabitStore::publishChange() {
  if (!env_.mainQueue || env_.mainQueue->runsTasksOnCurrentThread()) {
    sendWillChange();
    return;
  }
  std::weak_ptr<TypoHabitStore> weak = weak_from_this();
  env_.mainQueue->post([weak] {
    if (auto self = weak.lock()) self->sendWillChange();
  });
}

void TypoHabitStore::publishChanges(int count) {
  for (int i = 0; i < count; ++i) publishChange();
}

const fs::path& TypoHabitStore::vaultURL() {
  std::call_once(vaultURLOnce_, [this] {
    createPrivateFolders(env_.folder);
    vaultURL_ = env_.folder / vaultFileName;
  });
  return vaultURL_;
}

// ------------------------------------------------------------ the filter

bool TypoHabitStore::isLearnableWord(std::string_view word) {
  const std::string trimmed = std::string(trimWhitespace(word, true));
  const std::vector<std::string> chars = graphemes(trimmed);
  if (chars.size() < kMinLearnable || chars.size() > kMaxLearnable) return false;
  bool allNumeric = true;
  for (const auto& c : chars)
    if (!isNumericCharacter(c)) allNumeric = false;
  if (allNumeric) return false;
  // Pasted tokens, keys and certificates are never words to learn.
  for (std::string_view prefix : {"sk-", "ghp_", "AKIA", "eyJ", "-----BEGIN"})
    if (trimmed.rfind(prefix, 0) == 0) return false;
  if (trimmed.find_first_of("$@%!&#\\/|`~;\"'<>") != std::string::npos) return false;
  return true;
}

// ------------------------------------------------------------ habits

HabitLearningResult TypoHabitStore::record(const std::string& typo, const std::string& corrected) {
  if (!isLearnableWord(typo) || !isLearnableWord(corrected) || canonicallyEqual(typo, corrected))
    return HabitLearningResult::rejected();
  const std::string k = key(typo);
  HabitLearningResult result;
  int changes = 0;
  {
    std::lock_guard lock(dataLock_);
    changes += pruneStaleLocked();
    const double t = now();
    auto it = habits_.find(k);
    if (it == habits_.end() || !canonicallyEqual(it->second.corrected, corrected)) {
      // A new correction for the same typo starts the count again.
      habits_[k] = HabitEntry{typo, corrected, 1, t};
      result = HabitLearningResult::recorded(1);
    } else {
      HabitEntry& e = it->second;
      e.frequency += 1;
      e.updatedAt = t;
      result = e.frequency < 2 ? HabitLearningResult::recorded(e.frequency) : HabitLearningResult::learned(e);
    }
    ++changes;
  }
  publishChanges(changes);
  save();
  return result;
}

int TypoHabitStore::pruneStaleLocked() {
  const double t = now();
  std::vector<std::string> stale;
  for (const auto& [k, e] : habits_)
    if (e.frequency == 1 && t - e.updatedAt > staleAfterSeconds) stale.push_back(k);
  for (const auto& k : stale) habits_.erase(k);
  return static_cast<int>(stale.size());
}

void TypoHabitStore::pruneStale() { publishChanges(pruneStaleLocked()); }

std::optional<std::string> TypoHabitStore::correction(const std::string& typo) {
  const std::string k = key(typo);
  if (isOnCooldown(k)) return std::nullopt;
  std::lock_guard lock(dataLock_);
  auto it = habits_.find(k);
  if (it == habits_.end() || it->second.frequency < 2) return std::nullopt;
  return it->second.corrected;
}

void TypoHabitStore::addCooldown(const std::string& word, double seconds) {
  std::lock_guard lock(dataLock_);
  cooldowns_[key(word)] = now() + seconds;
}

bool TypoHabitStore::isOnCooldown(const std::string& word) {
  std::lock_guard lock(dataLock_);
  auto it = cooldowns_.find(key(word));
  if (it == cooldowns_.end()) return false;
  if (it->second > now()) return true;
  cooldowns_.erase(it);
  return false;
}

void TypoHabitStore::removeHabit(const std::string& typo) {
  {
    std::lock_guard lock(dataLock_);
    habits_.erase(key(typo));
  }
  publishChange();
  save();
}

void TypoHabitStore::reset() {
  {
    std::lock_guard lock(dataLock_);
    habits_.clear();
  }
  publishChange();
  std::lock_guard saving(saveLock_);
  std::error_code ec;
  fs::remove(vaultURL(), ec);
  vaultUnreadable_ = false;
}

std::map<std::string, HabitEntry> TypoHabitStore::habits() const {
  std::lock_guard lock(dataLock_);
  return habits_;
}

void TypoHabitStore::setHabits(std::map<std::string, HabitEntry> habits) {
  {
    std::lock_guard lock(dataLock_);
    habits_ = std::move(habits);
  }
  publishChange();
}

// ------------------------------------------------------------ the key

std::optional<std::vector<uint8_t>> TypoHabitStore::vaultKey() {
  std::lock_guard lock(storeLock());
  auto& slot = inMemoryVaultKey();
  if (!env_.hasBundleIdentifier) {
    if (!slot) slot = crypto::randomBytes(crypto::kKeySize);
    return slot;
  }
  // No keychain at all is a keychain that cannot answer.
  if (!env_.keychain) return slot;
  // The key item has an account and no service.
  KeychainResult found = copyAccountItem(*env_.keychain, keychainAccount);
  if (found.status == KeychainStatus::success && found.data.size() == crypto::kKeySize) {
    slot = found.data;
    return slot;
  }
  if (found.status == KeychainStatus::itemNotFound) {
    std::vector<uint8_t> fresh = crypto::randomBytes(crypto::kKeySize);
    Keychain::Attributes attributes =
        addNoAuthenticationUI({{keychain::kClass, keychain::kClassGenericPassword},
                               {keychain::kAttrAccount, keychainAccount},
                               {keychain::kAttrAccessible, kAccessibleAfterFirstUnlockThisDeviceOnly}});
    KeychainResult added = env_.keychain->add("", keychainAccount, fresh, attributes);
    // A key the keychain did not keep would seal a vault no later run opens.
    if (added.status != KeychainStatus::success) return std::nullopt;
    slot = fresh;
    return slot;
  }
  // Locked, refused, or data that is not a 256-bit key: only a key this
  // process already had is safe to use.
  return slot;
}

// ------------------------------------------------------------ the vault

std::string TypoHabitStore::encodeHabits(const std::map<std::string, HabitEntry>& habits) {
  // Written member by member: an ordered JSON object looks its keys up
  // linearly, which a thousand habits would make quadratic. Text that is not
  // valid UTF-8 is written with replacement characters rather than failing
  // the whole save.
  constexpr auto replace = nlohmann::ordered_json::error_handler_t::replace;
  std::string out = "{";
  bool first = true;
  for (const auto& [k, e] : habits) {
    nlohmann::ordered_json entry;
    entry["typo"] = e.typo;
    entry["corrected"] = e.corrected;
    entry["frequency"] = e.frequency;
    entry["updatedAt"] = e.updatedAt;
    if (!first) out += ',';
    first = false;
    out += nlohmann::ordered_json(k).dump(-1, ' ', false, replace);
    out += ':';
    out += entry.dump(-1, ' ', false, replace);
  }
  out += '}';
  return out;
}

std::optional<std::map<std::string, HabitEntry>> TypoHabitStore::decodeHabits(std::string_view json,
                                                                              std::string* error) {
  auto fail = [&](std::string why) -> std::optional<std::map<std::string, HabitEntry>> {
    if (error) *error = std::move(why);
    return std::nullopt;
  };
  if (jsonNestsDeeperThan(json)) return fail("the data is nested too deeply");
  std::optional<nlohmann::json> root = parseJsonWithin(json);
  if (!root) return fail("the data is not valid JSON");
  if (!root->is_object()) return fail("the data is not a JSON object");
  std::map<std::string, HabitEntry> out;
  for (const auto& [k, v] : root->items()) {
    if (!v.is_object()) return fail("entry \"" + k + "\" is not an object");
    auto typo = v.find("typo");
    auto corrected = v.find("corrected");
    auto frequency = v.find("frequency");
    auto updatedAt = v.find("updatedAt");
    if (typo == v.end() || !typo->is_string() || corrected == v.end() || !corrected->is_string() ||
        frequency == v.end() || !frequency->is_number_integer() || !jsonInteger<int64_t>(*frequency) ||
        updatedAt == v.end() || !updatedAt->is_number())
      return fail("entry \"" + k + "\" is missing a field or has one of the wrong type");
    out[k] = HabitEntry{typo->get<std::string>(), corrected->get<std::string>(), *jsonInteger<int64_t>(*frequency),
                        updatedAt->get<double>()};
  }
  return out;
}

void TypoHabitStore::load() {
  // Another process's throw-away key could never open the application's
  // vault, and a failed open must not mark it for moving aside.
  if (!env_.hasBundleIdentifier) return;
  int changes = 0;
  {
    std::lock_guard lock(dataLock_);
    const fs::path& url = vaultURL();
    std::error_code ec;
    if (!fs::exists(url, ec)) return;
    auto fail = [&](const std::string& why) {
      if (env_.logError) env_.logError("Failed to decrypt typo habits vault: " + why);
      vaultUnreadable_ = true;
    };
    ReadFileResult raw = readFileWithin(url, kMaxVaultBytes);
    if (raw.tooLarge) {
      fail(raw.error);
      return;
    }
    if (!raw) {
      // Unreadable here is not proof of damage: leave the file for a later run.
      if (env_.logError) env_.logError("Failed to decrypt typo habits vault: the file could not be read");
      vaultLocked_ = true;
      return;
    }
    auto vaultKeyBytes = vaultKey();
    if (!vaultKeyBytes) {
      if (env_.logError) env_.logError("Typo habits vault key unavailable - leaving the vault untouched");
      vaultLocked_ = true;
      return;
    }
    crypto::Bytes box(raw.contents->begin(), raw.contents->end());
    if (box.size() < crypto::kNonceSize + crypto::kTagSize) {
      fail("the vault is too short to be a sealed box");
      return;
    }
    auto plain = crypto::openCombined(*vaultKeyBytes, box);
    if (!plain) {
      fail("authentication failed");
      return;
    }
    std::string why;
    auto decoded = decodeHabits(std::string_view(reinterpret_cast<const char*>(plain->data()), plain->size()), &why);
    if (!decoded) {
      fail(why);
      return;
    }
    habits_ = std::move(*decoded);
    ++changes;
  }
  publishChanges(changes);
}

void TypoHabitStore::save() {
  std::lock_guard saving(saveLock_);
  std::map<std::string, HabitEntry> copy = habits();
  // Without a bundle identifier the habits stay in memory: the application's
  // vault is never replaced by data sealed under a key nobody keeps.
  if (!env_.hasBundleIdentifier) return;
  const std::string refusal =
      "Typo habits vault key unavailable - not overwriting the vault with data this key could not read back";
  {
    std::lock_guard lock(dataLock_);
    if (vaultLocked_) {
      if (env_.logError) env_.logError(refusal);
      return;
    }
  }
  const std::string json = encodeHabits(copy);
  auto vaultKeyBytes = vaultKey();
  if (!vaultKeyBytes) {
    if (env_.logError) env_.logError(refusal);
    return;
  }
  auto box = crypto::sealCombined(*vaultKeyBytes, reinterpret_cast<const uint8_t*>(json.data()), json.size());
  if (!box) {
    if (env_.logError) env_.logError("Failed to save encrypted typo habits: sealing failed");
    return;
  }
  const fs::path& url = vaultURL();
  bool unreadable;
  {
    std::lock_guard lock(dataLock_);
    unreadable = vaultUnreadable_;
  }
  std::error_code ec;
  if (unreadable && fs::exists(url, ec)) {
    // Keep what could not be opened (a lost key may yet be found); never
    // write over it.
    auto aside = moveAsideCorrupt(url);
    if (!aside) {
      if (env_.logError)
        env_.logError("Failed to save encrypted typo habits: the unreadable vault could not be moved aside");
      return;
    }
    const std::string line = "Moved the unreadable typo habits vault aside to " + aside->string();
    if (env_.logError) env_.logError(line);
    if (env_.console) env_.console(line);
  }
  {
    std::lock_guard lock(dataLock_);
    vaultUnreadable_ = false;
  }
  WriteResult written = writeFileAtomically(url, *box, 0600);
  if (!written) {
    if (env_.logError) env_.logError("Failed to save encrypted typo habits: " + written.error);
    return;
  }
  ::chmod(url.c_str(), 0600);
}

// ------------------------------------------------------------ score cache

namespace {
std::mutex& scoreCacheLock() {
  static std::mutex m;
  return m;
}
std::map<std::string, double>& scoreCache() {
  static std::map<std::string, double> cache;
  return cache;
}
}  // namespace

void HabitScoreCache::clear() {
  std::lock_guard lock(scoreCacheLock());
  scoreCache().clear();
}

size_t HabitScoreCache::size() {
  std::lock_guard lock(scoreCacheLock());
  return scoreCache().size();
}

}  // namespace tessa
