// Engine start-up with an existing defaults file, and one defaults write.
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

void BM_EngineStartupWithExistingDefaults(benchmark::State& state) {
  BenchHome home;
  auto file = Paths::defaultsFile("com.Ovrelan.Tessavinor");
  {
    // A first launch leaves a realistic defaults file behind.
    ManualClock clock;
    ManualTaskRunner runner(clock);
    UserDefaults defaults(file, nullptr);
    NotificationCenter center;
    auto e = KeyboardEngine::create(EngineEnvironment::onManualClock({}, runner, defaults, center));
    e->appTypoCounts.set({{"com.apple.TextEdit", 12}, {"com.google.Chrome", 40}});
    defaults.synchronize();
  }
  for (auto _ : state) {
    ManualClock clock;
    ManualTaskRunner runner(clock);
    // Reading the file is part of start-up; writes go to an in-memory
    // sequence that is never run, so only start-up itself is measured.
    UserDefaults defaults(file, runner.createSequence("persist"));
    NotificationCenter center;
    auto e = KeyboardEngine::create(EngineEnvironment::onManualClock({}, runner, defaults, center));
    benchmark::DoNotOptimize(e.get());
  }
}
BENCHMARK(BM_EngineStartupWithExistingDefaults)->Unit(benchmark::kMicrosecond);

void BM_DefaultsWriteThroughPublishedProperty(benchmark::State& state) {
  BenchHome home;
  ManualClock clock;
  ManualTaskRunner runner(clock);
  UserDefaults defaults(Paths::defaultsFile("com.Ovrelan.Tessavinor"), runner.createSequence("persist"));
  NotificationCenter center;
  auto e = KeyboardEngine::create(EngineEnvironment::onManualClock({}, runner, defaults, center));
  int64_t n = 0;
  for (auto _ : state) {
    e->totalKeystrokesSaved.set(++n);  // will-change, store, write the key
  }
}
BENCHMARK(BM_DefaultsWriteThroughPublishedProperty);

void BM_DefaultsFileWrite(benchmark::State& state) {
  BenchHome home;
  UserDefaults defaults(Paths::defaultsFile("com.Ovrelan.Tessavinor"), nullptr);
  for (int i = 0; i < 60; ++i) defaults.setInteger("key" + std::to_string(i), i);
  int64_t n = 0;
  for (auto _ : state) {
    defaults.setInteger("totalKeystrokesSaved", ++n);  // synchronous atomic file write
  }
}
BENCHMARK(BM_DefaultsFileWrite)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace tessa
