// The typo-habit vault: a save (JSON encoding, AES-256-GCM sealing, atomic
// owner-only write with fsync) and a load (read, open, decode) of 1,000
// habits, the size a heavy user reaches over months.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "base/clock.h"
#include "base/crypto.h"
#include "dictionaries/typo_habit_store.h"
#include "platform/sim/memory_keychain.h"

namespace {

using namespace tessa;
namespace fs = std::filesystem;

struct VaultFixture {
  VaultFixture() {
    char tmpl[] = "/tmp/tessavinor-vault-bench-XXXXXX";
    folder = ::mkdtemp(tmpl);
    TypoHabitStoreEnvironment env;
    env.keychain = &keychain;
    env.clock = &SystemClock::instance();
    env.folder = folder;
    store = TypoHabitStore::create(env);
    std::map<std::string, HabitEntry> habits;
    const double now = SystemClock::instance().wallTime() - TypoHabitStore::referenceDateOffset;
    for (int i = 0; i < 1000; ++i) {
      std::string typo = "typo" + std::to_string(i) + (i % 3 ? "ะำ้" : "teh");
      habits[typo] = HabitEntry{typo, "corrected" + std::to_string(i), 1 + i % 5, now - i * 37.25};
    }
    store->setHabits(std::move(habits));
    store->save();
  }
  ~VaultFixture() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
  fs::path folder;
  MemoryKeychain keychain;
  std::shared_ptr<TypoHabitStore> store;
};

void BM_VaultSave1000(benchmark::State& state) {
  VaultFixture fx;
  for (auto _ : state) fx.store->save();
  state.counters["vault_bytes"] = static_cast<double>(fs::file_size(fx.store->vaultURL()));
}
BENCHMARK(BM_VaultSave1000)->Unit(benchmark::kMicrosecond);

void BM_VaultLoad1000(benchmark::State& state) {
  VaultFixture fx;
  for (auto _ : state) {
    fx.store->load();
    benchmark::DoNotOptimize(fx.store->habits().size());
  }
  if (fx.store->habits().size() != 1000) state.SkipWithError("the vault did not load back");
}
BENCHMARK(BM_VaultLoad1000)->Unit(benchmark::kMicrosecond);

// The encoding and sealing alone, without the disk.
void BM_VaultEncodeAndSeal1000(benchmark::State& state) {
  VaultFixture fx;
  auto habits = fx.store->habits();
  const auto key = crypto::randomBytes(crypto::kKeySize);
  for (auto _ : state) {
    std::string json = TypoHabitStore::encodeHabits(habits);
    auto box = crypto::sealCombined(key, reinterpret_cast<const uint8_t*>(json.data()), json.size());
    benchmark::DoNotOptimize(box);
  }
}
BENCHMARK(BM_VaultEncodeAndSeal1000)->Unit(benchmark::kMicrosecond);

}  // namespace
