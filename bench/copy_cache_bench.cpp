// The clipboard history: capturing a 1 MiB text and a 4 MiB image (filter,
// seal, owner-only atomic write of the blob and of the history; the image's
// text recognition is asked for and answered on the simulated desktop),
// loading a history of ten entries at launch, and the quick-paste filter over
// ten entries with a Thai query.
#include <benchmark/benchmark.h>

#include <string>
#include <unordered_map>

#include "bench_support.h"
#include "clipboard/copy_cache_manager.h"
#include "platform/sim/sim_desktop.h"

namespace {

using namespace tessa;

std::string pngOfSize(size_t bytes) {
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR\0\0\x07\x80\0\0\x04\x38\x08\x06\0\0\0", 29);
  png.resize(bytes, '\x33');
  return png;
}

std::string textOfSize(size_t bytes) {
  std::string text;
  while (text.size() < bytes) text += "The quick brown fox ข้ามรั้วไป 0123456789\n";
  text.resize(bytes);
  return text;
}


struct HistoryFixture {
  HistoryFixture() : desk(clock, main) {
    manager = make();
    manager->isEnabled.set(true);
  }
  std::shared_ptr<CopyCacheManager> make() {
    CopyCacheManagerEnvironment env;
    env.platform = desk.platform();
    env.clock = &clock;
    env.main = &main;
    env.defaults = &defaults;
    env.folder = home.path / "CopyCache";
    env.otherLayout = bench::otherLayout;
    return CopyCacheManager::create(std::move(env));
  }
  bench::BenchHome home;
  ManualClock clock;
  ManualTaskRunner main{clock};
  SimDesktop desk;
  UserDefaults defaults;
  std::shared_ptr<CopyCacheManager> manager;
};

void BM_CaptureText1MiB(benchmark::State& state) {
  HistoryFixture fx;
  std::string text = textOfSize(1 << 20);
  int n = 0;
  for (auto _ : state) {
    text[0] = static_cast<char>('A' + n++ % 26);  // a new copy each time
    fx.desk.pasteboard().copyText(text);
    fx.main.advance(0.25);
  }
  if (fx.manager->items.get().empty()) state.SkipWithError("nothing was captured");
}
BENCHMARK(BM_CaptureText1MiB)->Unit(benchmark::kMillisecond);

void BM_CaptureImage4MiB(benchmark::State& state) {
  HistoryFixture fx;
  std::string png = pngOfSize(4 << 20);
  fx.desk.textRecognizer().setLatency(0.01);
  int n = 0;
  for (auto _ : state) {
    png[100] = static_cast<char>('A' + n++ % 26);  // a new copy each time
    fx.desk.pasteboard().copyImage(png);
    fx.main.advance(0.25);
  }
  if (fx.manager->items.get().empty()) state.SkipWithError("nothing was captured");
}
BENCHMARK(BM_CaptureImage4MiB)->Unit(benchmark::kMillisecond);

void BM_LoadHistoryOf10(benchmark::State& state) {
  HistoryFixture fx;
  for (int i = 0; i < 10; ++i) {
    fx.desk.pasteboard().copyText("entry " + std::to_string(i) + " " + textOfSize(2000));
    fx.main.advance(0.25);
  }
  fx.manager.reset();
  for (auto _ : state) {
    auto loaded = fx.make();
    if (loaded->items.get().size() != 10) state.SkipWithError("the history did not load back");
    benchmark::DoNotOptimize(loaded);
  }
}
BENCHMARK(BM_LoadHistoryOf10)->Unit(benchmark::kMicrosecond);

void BM_FilterTenEntriesThaiQuery(benchmark::State& state) {
  HistoryFixture fx;
  for (int i = 0; i < 10; ++i) {
    fx.desk.pasteboard().copyText("รายการที่ " + std::to_string(i) + " ข้อความภาษาไทยปนกับ English text " +
                                  textOfSize(300));
    fx.main.advance(0.25);
  }
  fx.manager->searchText.set("ภาษาไทย");
  size_t found = 0;
  for (auto _ : state) {
    auto list = fx.manager->filteredItems();
    found = list.size();
    benchmark::DoNotOptimize(list);
  }
  if (found != 10) state.SkipWithError("the query did not find every entry");
}
BENCHMARK(BM_FilterTenEntriesThaiQuery)->Unit(benchmark::kMicrosecond);

}  // namespace
