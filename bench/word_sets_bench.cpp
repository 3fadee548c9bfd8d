// Word sets: building the common Thai set from the shipped list (the first
// Thai word check pays for it), reading a Hunspell word list of dictionary
// size, and one known-word check as the keystroke path makes it.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "base/files.h"
#include "bench_support.h"
#include "base/notification_center.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "engine/keyboard_engine.h"

namespace tessa {
namespace {

using bench::BenchHome;

struct BenchEngine {
  BenchEngine() : runner(clock), defaults(Paths::defaultsFile("com.Ovrelan.Tessavinor"), runner.createSequence("p")) {
    Platform platform;
    platform.hasBundleIdentifier = false;
    auto env = EngineEnvironment::onManualClock(platform, runner, defaults, center);
    engine = KeyboardEngine::create(env);
  }
  BenchHome home{TESSAVINOR_SOURCE_DIR "/data"};
  ManualClock clock;
  ManualTaskRunner runner;
  UserDefaults defaults;
  NotificationCenter center;
  std::shared_ptr<KeyboardEngine> engine;
};

void forget(KeyboardEngine& e) {
  std::lock_guard lock(e.wordSets.lock);
  e.wordSets.commonThaiWords = nullptr;
}

// The whole first use: find the file, read it, parse, build the set.
void BM_LoadCommonThaiWords(benchmark::State& state) {
  BenchEngine b;
  size_t words = 0;
  for (auto _ : state) {
    forget(*b.engine);
    auto set = b.engine->commonThaiWords();
    words = set->size();
    benchmark::DoNotOptimize(set);
  }
  state.counters["words"] = static_cast<double>(words);
}
BENCHMARK(BM_LoadCommonThaiWords)->Unit(benchmark::kMillisecond);

// The Thai Hunspell word list (about 51,000 words) as a local dictionary's
// stem-only read: hashing, decoding and building the set.
void BM_LoadThaiWordListStems(benchmark::State& state) {
  BenchEngine b;
  const std::filesystem::path source = "/usr/share/hunspell/th_TH.dic";
  auto text = readFile(source, kMaxWordFileBytes);
  if (!text) {
    state.SkipWithError("hunspell-th is not installed");
    return;
  }
  writeFileAtomically(Paths::applicationSupport() / "Dictionaries" / "th_bench.dic", *text);
  size_t words = 0;
  for (auto _ : state) {
    auto set = b.engine->loadHunspellDictionary("th_bench");
    words = set ? set->size() : 0;
    benchmark::DoNotOptimize(set);
  }
  state.counters["words"] = static_cast<double>(words);
}
BENCHMARK(BM_LoadThaiWordListStems)->Unit(benchmark::kMillisecond);

// One membership test as the typing flow makes it: fetch the set under the
// lock, look the word up.
void BM_KnownThaiWordCheck(benchmark::State& state) {
  BenchEngine b;
  b.engine->commonThaiWords();
  const std::string words[] = {"ขอบคุณ", "ฟหกด", "คอมพิวเตอร์", "ไม่"};
  size_t i = 0, hits = 0;
  for (auto _ : state) {
    bool known = b.engine->commonThaiWords()->contains(words[i++ & 3]);
    hits += known;
    benchmark::DoNotOptimize(known);
  }
  benchmark::DoNotOptimize(hits);
}
BENCHMARK(BM_KnownThaiWordCheck);

void BM_IgnoredWordCheck(benchmark::State& state) {
  BenchEngine b;
  b.engine->developerWhitelist();
  const std::string words[] = {"github", "hello", "xcode", "sawasdee"};
  size_t i = 0;
  for (auto _ : state) {
    bool known = b.engine->developerWhitelist()->contains(words[i++ & 3]);
    benchmark::DoNotOptimize(known);
  }
}
BENCHMARK(BM_IgnoredWordCheck);

}  // namespace
}  // namespace tessa
