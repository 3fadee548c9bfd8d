#include "dictionaries/typo_habit_store.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "base/crypto.h"
#include "base/encoding.h"
#include "base/files.h"
#include "platform/keychain_query.h"
#include "platform/sim/memory_keychain.h"
#include "support/temp_home.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;
constexpr const char* kAccount = TypoHabitStore::keychainAccount;

// Key 00..1f, nonce 00..0b, plaintext
// {"teh":{"typo":"teh","corrected":"the","frequency":2,"updatedAt":794000000.5}}
constexpr const char* kKnownVaultHex =
    "000102030405060708090a0b3c20a27eadc7f860af35eefbdecb424ff7b3ef16dc593c134a1580e6690c64903b32da94cae33eba12d6"
    "1a9cfde2465b977b5abf76f4d6aa5bf65e7c7ca281ccca0bff4ee3e116512c64845b92f28a3a08a6d46370002bcf1f282f00cd82";

std::vector<uint8_t> sequenceKey() {
  std::vector<uint8_t> k(32);
  for (int i = 0; i < 32; ++i) k[i] = static_cast<uint8_t>(i);
  return k;
}


// Delegates to an in-memory keychain, recording or refusing adds.
struct AddInterceptingKeychain final : Keychain {
  explicit AddInterceptingKeychain(MemoryKeychain& inner, bool refuse = false) : inner(inner), refuse(refuse) {}
  KeychainResult copy(const std::string& s, const std::string& a, const Attributes& q) override {
    return inner.copy(s, a, q);
  }
  KeychainResult add(const std::string& s, const std::string& a, const std::vector<uint8_t>& d,
                     const Attributes& q) override {
    addQuery = q;
    addService = s;
    if (refuse) return {KeychainStatus::otherError, {}, -25291};
    return inner.add(s, a, d, q);
  }
  KeychainResult update(const std::string& s, const std::string& a, const std::vector<uint8_t>& d,
                        const Attributes& q) override {
    return inner.update(s, a, d, q);
  }
  KeychainResult remove(const std::string& s, const std::string& a, const Attributes& q) override {
    return inner.remove(s, a, q);
  }
  MemoryKeychain& inner;
  bool refuse;
  Attributes addQuery;
  std::string addService = "<none>";
};

std::string readBytes(const fs::path& p) { return readFile(p, kMaxWordFileBytes).value_or("<missing>"); }

unsigned modeOf(const fs::path& p) {
  struct stat st{};
  ::stat(p.c_str(), &st);
  return st.st_mode & 0777;
}

class TypoHabitStoreTest : public ::testing::Test {
 protected:
  TypoHabitStoreTest() : runner(clock) { TypoHabitStore::resetInMemoryVaultKeyForTesting(); }
  ~TypoHabitStoreTest() override { TypoHabitStore::resetInMemoryVaultKeyForTesting(); }

  TypoHabitStoreEnvironment env(bool bundle = true) {
    TypoHabitStoreEnvironment e;
    e.keychain = &keychain;
    e.hasBundleIdentifier = bundle;
    e.clock = &clock;
    e.mainQueue = &runner;
    e.logError = [this](const std::string& l) { errors.push_back(l); };
    e.console = [this](const std::string& l) { consoleLines.push_back(l); };
    return e;
  }
  std::shared_ptr<TypoHabitStore> make(bool bundle = true) { return TypoHabitStore::create(env(bundle)); }
  // A later launch: the process-wide key slot starts empty again.
  std::shared_ptr<TypoHabitStore> relaunch(bool bundle = true) {
    TypoHabitStore::resetInMemoryVaultKeyForTesting();
    return make(bundle);
  }
  fs::path vault() const { return Paths::applicationSupport() / "typo_habits.vault"; }
  int countErrors(const std::string& prefix) const {
    int n = 0;
    for (const auto& e : errors)
      if (e.rfind(prefix, 0) == 0) ++n;
    return n;
  }
  void writeVault(const std::vector<uint8_t>& bytes) {
    fs::create_directories(vault().parent_path());
    ASSERT_TRUE(writeFileAtomically(vault(), bytes, 0600));
  }

  test::TempHome home;
  ManualClock clock;
  ManualTaskRunner runner;
  MemoryKeychain keychain;
  std::vector<std::string> errors;
  std::vector<std::string> consoleLines;
};

TEST(TypoHabitStoreFilter, LearnableWords) {
  EXPECT_FALSE(TypoHabitStore::isLearnableWord("a"));
  EXPECT_TRUE(TypoHabitStore::isLearnableWord("ab"));
  EXPECT_TRUE(TypoHabitStore::isLearnableWord(std::string(25, 'a')));
  EXPECT_FALSE(TypoHabitStore::isLearnableWord(std::string(26, 'a')));
  // Counted in user-perceived characters after trimming, not in bytes.
  EXPECT_TRUE(TypoHabitStore::isLearnableWord("  ไก่\n"));
  EXPECT_FALSE(TypoHabitStore::isLearnableWord(" a\n"));
  EXPECT_TRUE(TypoHabitStore::isLearnableWord("ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่ก่"));  // 25 clusters, 50 code points
  // Only numeric characters: Latin, Thai and fractions alike.
  EXPECT_FALSE(TypoHabitStore::isLearnableWord("12345"));
  EXPECT_FALSE(TypoHabitStore::isLearnableWord("๑๒๓"));
  EXPECT_FALSE(TypoHabitStore::isLearnableWord("½¾"));
  EXPECT_TRUE(TypoHabitStore::isLearnableWord("b2b"));
  // Pasted secrets, case-sensitively.
  for (const char* w : {"sk-abcdef", "ghp_abc", "AKIAXYZ", "eyJhbGci", "-----BEGIN"})
    EXPECT_FALSE(TypoHabitStore::isLearnableWord(w)) << w;
  EXPECT_TRUE(TypoHabitStore::isLearnableWord("akiaxyz"));
  EXPECT_TRUE(TypoHabitStore::isLearnableWord("Sk-abc"));
  for (char c : std::string("$@%!&#\\/|`~;\"'<>"))
    EXPECT_FALSE(TypoHabitStore::isLearnableWord(std::string("ab") + c + "cd")) << c;
  EXPECT_TRUE(TypoHabitStore::isLearnableWord("can-do"));
}

TEST_F(TypoHabitStoreTest, CountsASecondIdenticalCorrectionAsLearned) {
  auto store = make();
  EXPECT_EQ(store->record("Teh", "the"), HabitLearningResult::recorded(1));
  clock.advance(5);
  double t = clock.wallTime() - TypoHabitStore::referenceDateOffset;
  // Letter case of the typo does not matter for the key; the stored typo
  // keeps the case of the first record.
  auto second = store->record("teh", "the");
  EXPECT_EQ(second, HabitLearningResult::learned(HabitEntry{"Teh", "the", 2, t}));
  auto third = store->record("teh", "the");
  ASSERT_EQ(third.kind, HabitLearningResult::Kind::learned);
  EXPECT_EQ(third.entry->frequency, 3);
  EXPECT_EQ(store->correction("TEH"), "the");
  EXPECT_EQ(store->habits().size(), 1u);
}

TEST_F(TypoHabitStoreTest, ADifferentCorrectionStartsTheCountAgain) {
  auto store = make();
  EXPECT_EQ(store->record("ab", "cd"), HabitLearningResult::recorded(1));
  EXPECT_EQ(store->record("ab", "cd").kind, HabitLearningResult::Kind::learned);
  EXPECT_EQ(store->record("AB", "ce"), HabitLearningResult::recorded(1));
  auto habits = store->habits();
  ASSERT_EQ(habits.size(), 1u);
  EXPECT_EQ(habits["ab"].typo, "AB");
  EXPECT_EQ(habits["ab"].corrected, "ce");
  EXPECT_FALSE(store->correction("ab"));  // count 1 is not learned
}

TEST_F(TypoHabitStoreTest, RejectsUnlearnablePairsWithoutTouchingAnything) {
  auto store = make();
  int announcements = 0;
  auto sub = store->subscribeWillChange([&] { ++announcements; });
  EXPECT_EQ(store->record("same", "same"), HabitLearningResult::rejected());
  EXPECT_EQ(store->record("a", "ab"), HabitLearningResult::rejected());
  EXPECT_EQ(store->record("ab", "sk-live"), HabitLearningResult::rejected());
  // Canonically equivalent spellings are the same word.
  EXPECT_EQ(store->record("caf\u00e9", "cafe\u0301"), HabitLearningResult::rejected());
  EXPECT_EQ(announcements, 0);
  EXPECT_TRUE(store->habits().empty());
  EXPECT_FALSE(fs::exists(vault()));
  EXPECT_EQ(keychain.itemCount(), 0u);
}

TEST_F(TypoHabitStoreTest, PrunesSingleUseHabitsOlderThanAWeek) {
  auto store = make();
  store->record("old", "odl");
  store->record("kept", "kpet");
  store->record("kept", "kpet");  // frequency 2: never pruned
  clock.advance(604800);
  store->record("xx", "yy");
  EXPECT_EQ(store->habits().count("old"), 1u) << "exactly seven days stays";

  store->record("xx2", "yy2");  // a newer single-use habit, to watch it survive
  clock.advance(1);
  int announcements = 0;
  auto sub = store->subscribeWillChange([&] { ++announcements; });
  store->record("zz", "ww");
  auto habits = store->habits();
  EXPECT_EQ(habits.count("old"), 0u);
  EXPECT_EQ(habits.count("kept"), 1u);
  EXPECT_EQ(habits.count("xx"), 1u);
  EXPECT_EQ(habits.count("xx2"), 1u);
  EXPECT_EQ(announcements, 2) << "one announcement per removal and one for the record";

  clock.advance(10 * 604800);
  store->record("zz", "ww");
  EXPECT_EQ(store->habits().count("kept"), 1u);
}

TEST_F(TypoHabitStoreTest, CooldownSuppressesALearnedCorrectionForItsTime) {
  auto store = make();
  store->record("teh", "the");
  store->record("teh", "the");
  store->addCooldown("Teh", 10);
  clock.advance(5);
  EXPECT_TRUE(store->isOnCooldown("TEH"));
  EXPECT_FALSE(store->correction("teh"));
  clock.advance(5);
  EXPECT_EQ(store->correction("teh"), "the");
  EXPECT_FALSE(store->isOnCooldown("teh"));
  // A later cooldown replaces an earlier one.
  store->addCooldown("teh", 100);
  store->addCooldown("teh", 1);
  clock.advance(1);
  EXPECT_FALSE(store->isOnCooldown("teh"));
}

TEST_F(TypoHabitStoreTest, FirstRunMakesOneOwnerOnlyKeyItemAndVaultThatALaterRunReads) {
  fs::remove_all(Paths::applicationSupport());
  auto store = make();
  store->record("teh", "the");
  store->record("adn", "and");
  store->record("adn", "and");

  ASSERT_EQ(keychain.itemCount(), 1u);
  auto key = keychain.item("", kAccount);
  ASSERT_TRUE(key);
  EXPECT_EQ(key->size(), 32u);
  auto query = keychain.lastQuery();
  EXPECT_TRUE(keychain::forbidsAuthenticationUI(query));
  EXPECT_EQ(modeOf(vault()), 0600u);
  EXPECT_EQ(modeOf(vault().parent_path()), 0700u);
  EXPECT_EQ(readBytes(vault()).size(), 12u + TypoHabitStore::encodeHabits(store->habits()).size() + 16u);

  auto again = relaunch();
  EXPECT_EQ(again->habits(), store->habits());
  EXPECT_EQ(again->correction("adn"), "and");
  EXPECT_EQ(keychain.itemCount(), 1u);
  EXPECT_TRUE(errors.empty());
}

TEST_F(TypoHabitStoreTest, TheKeyItemIsAddedWithItsAccessibilityAndNoPrompt) {
  AddInterceptingKeychain spy(keychain);
  auto e = env();
  e.keychain = &spy;
  auto store = TypoHabitStore::create(e);
  store->record("teh", "the");
  EXPECT_EQ(spy.addQuery["kSecAttrAccessible"], "kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly");
  EXPECT_TRUE(keychain::forbidsAuthenticationUI(spy.addQuery));
  EXPECT_EQ(spy.addQuery.count(keychain::kAttrService), 0u);
  EXPECT_EQ(spy.addService, "");
  EXPECT_EQ(keychain.item("", kAccount)->size(), 32u);
}

TEST_F(TypoHabitStoreTest, VaultPlaintextAndKnownAnswer) {
  std::map<std::string, HabitEntry> habits{{"teh", HabitEntry{"teh", "the", 2, 794000000.5}}};
  EXPECT_EQ(TypoHabitStore::encodeHabits(habits),
            R"({"teh":{"typo":"teh","corrected":"the","frequency":2,"updatedAt":794000000.5}})");
  auto box = crypto::sealCombinedWithNonce(sequenceKey(), crypto::Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
                                           reinterpret_cast<const uint8_t*>(TypoHabitStore::encodeHabits(habits).data()),
                                           TypoHabitStore::encodeHabits(habits).size());
  ASSERT_TRUE(box);
  EXPECT_EQ(hexEncode(*box), kKnownVaultHex);

  keychain.add("", kAccount, sequenceKey());
  writeVault(*hexDecode(kKnownVaultHex));
  auto store = make();
  EXPECT_EQ(store->habits(), habits);
  // Thai text is stored as UTF-8, not escaped.
  EXPECT_NE(TypoHabitStore::encodeHabits({{"ะำ้", HabitEntry{"ะำ้", "the", 1, 1}}}).find("ะำ้"), std::string::npos);
}

TEST_F(TypoHabitStoreTest, DecodingIsStrictAboutFieldsButNotAboutNumbers) {
  EXPECT_TRUE(TypoHabitStore::decodeHabits(R"({"a":{"typo":"a","corrected":"b","frequency":1,"updatedAt":5}})",
                                           nullptr));
  EXPECT_FALSE(TypoHabitStore::decodeHabits(R"({"a":{"typo":"a","corrected":"b","frequency":1}})", nullptr));
  EXPECT_FALSE(
      TypoHabitStore::decodeHabits(R"({"a":{"typo":"a","corrected":"b","frequency":"1","updatedAt":5}})", nullptr));
  EXPECT_FALSE(TypoHabitStore::decodeHabits(R"([])", nullptr));
  EXPECT_TRUE(TypoHabitStore::decodeHabits("{}", nullptr));
}

// Python's `cryptography` is an independent AES-GCM implementation: a vault
// written here must open there and the other way round.
class TypoHabitVaultInterop : public TypoHabitStoreTest {
 protected:
  static bool havePython() {
    return std::system("/usr/bin/python3 -c 'import cryptography.hazmat.primitives.ciphers.aead' 2>/dev/null") == 0;
  }
  int python(const std::string& script) {
    fs::path file = home.path() / "interop.py";
    std::ofstream(file) << script;
    return std::system(("/usr/bin/python3 " + file.string()).c_str());
  }
};

TEST_F(TypoHabitVaultInterop, PythonOpensAVaultWrittenHere) {
  if (!havePython()) GTEST_SKIP() << "python3-cryptography is not installed";
  keychain.add("", kAccount, sequenceKey());
  auto store = make();
  store->record("teh", "the");
  store->record("ะำ้", "the");
  fs::path out = home.path() / "plain.json";
  ASSERT_EQ(python("from cryptography.hazmat.primitives.ciphers.aead import AESGCM\n"
                   "data = open('" + vault().string() + "','rb').read()\n"
                   "plain = AESGCM(bytes(range(32))).decrypt(data[:12], data[12:], None)\n"
                   "open('" + out.string() + "','wb').write(plain)\n"),
            0);
  std::string why;
  auto decoded = TypoHabitStore::decodeHabits(readBytes(out), &why);
  ASSERT_TRUE(decoded) << why;
  EXPECT_EQ(*decoded, store->habits());
}

TEST_F(TypoHabitVaultInterop, AVaultSealedByPythonOpensHere) {
  if (!havePython()) GTEST_SKIP() << "python3-cryptography is not installed";
  keychain.add("", kAccount, sequenceKey());
  fs::create_directories(vault().parent_path());
  ASSERT_EQ(python("import os, json\n"
                   "from cryptography.hazmat.primitives.ciphers.aead import AESGCM\n"
                   "plain = json.dumps({'adn': {'updatedAt': 700000000, 'frequency': 4, 'corrected': 'and',"
                   " 'typo': 'ADN'}, 'ไก': {'typo': 'ไก', 'corrected': 'ไก่', 'frequency': 1,"
                   " 'updatedAt': 700000001.25}}, ensure_ascii=False).encode()\n"
                   "nonce = os.urandom(12)\n"
                   "open('" + vault().string() + "','wb').write(nonce + AESGCM(bytes(range(32))).encrypt(nonce, plain, None))\n"),
            0);
  auto store = make();
  auto habits = store->habits();
  ASSERT_EQ(habits.size(), 2u);
  EXPECT_EQ(habits["adn"], (HabitEntry{"ADN", "and", 4, 700000000}));
  EXPECT_EQ(habits["ไก"], (HabitEntry{"ไก", "ไก่", 1, 700000001.25}));
  EXPECT_TRUE(errors.empty());
}

TEST_F(TypoHabitStoreTest, AnUnreadableVaultIsMovedAsideOnceAndNeverOverwritten) {
  auto original = *hexDecode(kKnownVaultHex);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> key;
  };
  auto flipped = original;
  flipped[12] ^= 0x01;
  // Sealed properly and a valid habit, but with a member nested deeply
  // enough to overflow the stack of whatever copies it.
  const std::string deep = R"({"abc":{"typo":"abc","corrected":"abd","frequency":1,"updatedAt":5,"x":)" +
                           std::string(30000, '[') + std::string(30000, ']') + "}}";
  auto deepBox = crypto::sealCombinedWithNonce(sequenceKey(), crypto::Bytes(12, 7),
                                               reinterpret_cast<const uint8_t*>(deep.data()), deep.size());
  ASSERT_TRUE(deepBox);
  std::vector<Case> cases{{"flipped ciphertext byte", flipped, sequenceKey()},
                          {"payload nested too deeply", *deepBox, sequenceKey()},
                          {"truncated to 27 bytes", std::vector<uint8_t>(original.begin(), original.begin() + 27),
                           sequenceKey()},
                          {"sealed with another key", original, std::vector<uint8_t>(32, 0x55)},
                          {"lost key (keychain item gone)", original, {}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(Paths::applicationSupport());
    keychain.remove("", kAccount);
    if (!c.key.empty()) keychain.add("", kAccount, c.key);
    errors.clear();
    consoleLines.clear();
    writeVault(c.bytes);
    const std::string before = readBytes(vault());

    auto store = relaunch();
    EXPECT_TRUE(store->habits().empty());
    EXPECT_EQ(countErrors("Failed to decrypt typo habits vault: "), 1);
    EXPECT_EQ(readBytes(vault()), before) << "loading never touches the file";

    store->record("abc", "abd");
    fs::path aside = vault();
    aside += ".corrupt";
    EXPECT_EQ(readBytes(aside), before) << "the unreadable vault is kept aside";
    EXPECT_EQ(consoleLines, std::vector<std::string>{"Moved the unreadable typo habits vault aside to " + aside.string()})
        << "the one line that says so";
    EXPECT_EQ(modeOf(vault()), 0600u);
    auto reread = relaunch();
    ASSERT_EQ(reread->habits().size(), 1u);
    EXPECT_EQ(reread->habits().count("abc"), 1u);

    // Moved aside once: later saves replace the new vault normally.
    store->record("abc", "abd");
    fs::path second = vault();
    second += ".corrupt-1";
    EXPECT_FALSE(fs::exists(second));
  }
}

TEST_F(TypoHabitStoreTest, AKeychainThatCannotAnswerLeavesAnExistingVaultUnreadAndUnwritten) {
  keychain.add("", kAccount, sequenceKey());
  writeVault(*hexDecode(kKnownVaultHex));
  const std::string before = readBytes(vault());
  auto mtime = fs::last_write_time(vault());
  keychain.forceStatus("", kAccount, KeychainStatus::interactionNotAllowed);

  auto store = relaunch();
  EXPECT_TRUE(store->habits().empty());
  EXPECT_EQ(countErrors("Typo habits vault key unavailable - leaving the vault untouched"), 1);
  EXPECT_EQ(store->record("abc", "abd"), HabitLearningResult::recorded(1));
  EXPECT_EQ(countErrors("Typo habits vault key unavailable - not overwriting the vault with data this key could not "
                        "read back"),
            1);

  // Even once the keychain answers again, this run never writes over the
  // vault it could not read.
  keychain.clearForcedStatus("", kAccount);
  store->record("abc", "abd");
  store->removeHabit("abc");
  EXPECT_EQ(readBytes(vault()), before);
  EXPECT_EQ(fs::last_write_time(vault()), mtime);
  EXPECT_EQ(relaunch()->habits().size(), 1u);
}

TEST_F(TypoHabitStoreTest, KeyMaterialOfTheWrongSizeIsNeverUsed) {
  keychain.add("", kAccount, std::vector<uint8_t>(16, 7));
  writeVault(*hexDecode(kKnownVaultHex));
  const std::string before = readBytes(vault());
  auto store = relaunch();
  store->record("abc", "abd");
  EXPECT_EQ(readBytes(vault()), before);
  EXPECT_EQ(keychain.item("", kAccount)->size(), 16u);
}

TEST_F(TypoHabitStoreTest, WithoutAKeptKeyNothingIsWritten) {
  // Another status with no key from earlier in the process: no key at all.
  keychain.forceStatus("", kAccount, KeychainStatus::otherError);
  auto store = relaunch();
  EXPECT_EQ(store->record("abc", "abd"), HabitLearningResult::recorded(1));
  EXPECT_FALSE(store->vaultKey());
  EXPECT_FALSE(fs::exists(vault()));
  EXPECT_EQ(keychain.itemCount(), 0u);

  // Not found, and the add refused: the fresh key is thrown away.
  keychain.clearForcedStatus("", kAccount);
  AddInterceptingKeychain refusing(keychain, /*refuse=*/true);
  auto e = env();
  e.keychain = &refusing;
  TypoHabitStore::resetInMemoryVaultKeyForTesting();
  auto fresh = TypoHabitStore::create(e);
  EXPECT_EQ(fresh->record("abc", "abd"), HabitLearningResult::recorded(1));
  EXPECT_FALSE(fresh->vaultKey());
  EXPECT_FALSE(fs::exists(vault()));
  EXPECT_EQ(countErrors("Typo habits vault key unavailable - not overwriting"), 2);
}

TEST_F(TypoHabitStoreTest, AKeyReadEarlierInTheProcessOutlivesALaterKeychainFailure) {
  auto store = make();
  store->record("abc", "abd");
  keychain.forceStatus("", kAccount, KeychainStatus::interactionNotAllowed);
  store->record("abc", "abd");
  keychain.clearForcedStatus("", kAccount);
  EXPECT_EQ(relaunch()->habits().begin()->second.frequency, 2);
}

TEST_F(TypoHabitStoreTest, WithoutABundleIdentifierNothingTouchesTheApplicationsVaultOrKeychain) {
  keychain.add("", kAccount, sequenceKey());
  writeVault(*hexDecode(kKnownVaultHex));
  const std::string before = readBytes(vault());
  auto hosted = relaunch(/*bundle=*/false);
  EXPECT_TRUE(hosted->habits().empty());
  EXPECT_EQ(hosted->record("abc", "abd"), HabitLearningResult::recorded(1));
  EXPECT_EQ(hosted->record("abc", "abd").kind, HabitLearningResult::Kind::learned);
  EXPECT_EQ(readBytes(vault()), before);
  EXPECT_TRUE(hosted->vaultKey());
  EXPECT_EQ(keychain.item("", kAccount), sequenceKey());
  EXPECT_TRUE(errors.empty());

  fs::remove(vault());
  relaunch(false)->record("abc", "abd");
  EXPECT_FALSE(fs::exists(vault()));
}

TEST_F(TypoHabitStoreTest, RemoveAndResetRewriteOrDeleteTheVault) {
  auto store = make();
  store->record("teh", "the");
  store->record("adn", "and");
  store->removeHabit("TEH");
  EXPECT_EQ(relaunch()->habits().count("teh"), 0u);
  store->reset();
  EXPECT_TRUE(store->habits().empty());
  EXPECT_FALSE(fs::exists(vault()));
}

TEST_F(TypoHabitStoreTest, ConcurrentRecordsLeaveTheLatestHabitsOnDisk) {
  auto store = make();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 25; ++i) store->record("w" + std::to_string(t) + "x" + std::to_string(i), "fixed");
    });
  for (auto& th : threads) th.join();
  EXPECT_EQ(store->habits().size(), 100u);
  EXPECT_EQ(relaunch()->habits(), store->habits());
}

TEST_F(TypoHabitStoreTest, ChangesOffTheMainThreadAreAnnouncedOnTheMainQueueWhileTheStoreLives) {
  auto store = make();
  int announcements = 0;
  auto sub = store->subscribeWillChange([&] { ++announcements; });
  std::thread([&] { store->record("abc", "abd"); }).join();
  EXPECT_EQ(announcements, 0);
  runner.runUntilIdle();
  EXPECT_EQ(announcements, 1);

  std::thread([&] { store->record("abc", "abd"); }).join();
  store.reset();
  runner.runUntilIdle();  // the store is gone: nothing is sent, nothing crashes
  EXPECT_EQ(announcements, 1);
}

}  // namespace
}  // namespace tessa
