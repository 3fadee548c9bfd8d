// The quick-paste panel's list for a Thai query over a full history of ten
// entries: the category and search filter (with the query's rendering in the
// other layout) and the row models the panel draws, as on each keystroke in
// the search field.
#include <benchmark/benchmark.h>

#include <string>
#include <unordered_map>

#include "app_core/quick_paste/quick_paste_panel_controller.h"
#include "bench_support.h"
#include "platform/sim/sim_desktop.h"

namespace {

using namespace tessa;


void BM_PanelFilterThaiQueryOver10(benchmark::State& state) {
  bench::BenchHome home;
  ManualClock clock;
  ManualTaskRunner main{clock};
  SimDesktop desk(clock, main);
  UserDefaults defaults;
  CopyCacheManagerEnvironment env;
  env.platform = desk.platform();
  env.clock = &clock;
  env.main = &main;
  env.defaults = &defaults;
  env.folder = home.path / "CopyCache";
  env.otherLayout = bench::otherLayout;
  auto manager = CopyCacheManager::create(std::move(env));
  manager->isEnabled.set(true);
  for (int i = 0; i < 10; ++i) {
    std::string text = i % 2 ? "ประชุมทีมวันจันทร์ รอบที่ " + std::to_string(i) + " สวัสดีครับ"
                             : "Meeting notes, round " + std::to_string(i) + " l;ylfu and more text to search";
    desk.pasteboard().copyText(text);
    main.advance(0.25);
  }
  QuickPastePanelEnvironment penv;
  penv.platform = desk.platform();
  penv.main = &main;
  QuickPastePanelController panel(*manager, std::move(penv));
  panel.setSearchText("สวัสดี");
  if (panel.rows().size() != 10) state.SkipWithError("the Thai query and its other-layout form should match all ten");
  for (auto _ : state) {
    auto rows = panel.rows();
    benchmark::DoNotOptimize(rows);
  }
}
BENCHMARK(BM_PanelFilterThaiQueryOver10)->Unit(benchmark::kMicrosecond);

}  // namespace
