// The dashboard window on the offscreen platform: built and painted for the
// first time, and a change to the usage page (built, laid out and painted).
#include <benchmark/benchmark.h>

#include <memory>

#include <QApplication>

#include "base/files.h"
#include "base/notification_center.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "bench_support.h"
#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "ui/dashboard/content_view.h"

namespace tessa {
namespace {

struct DashboardBench {
  DashboardBench() : runner(clock), desk(clock, runner) {
    defaults = std::make_unique<UserDefaults>(Paths::defaultsFile("com.Ovrelan.Tessavinor"),
                                              runner.createSequence("persist"));
    engine = KeyboardEngine::create(EngineEnvironment::onManualClock(desk.platform(), runner, *defaults, center));
    runner.runUntilIdle();
    engine->hasCompletedOnboarding.set(true);
    engine->hasSeenShareInvitation.set(true);
  }
  ~DashboardBench() {
    runner.runUntilIdle();
    engine.reset();
  }
  bench::BenchHome home;
  ManualClock clock;
  ManualTaskRunner runner;
  SimDesktop desk;
  std::unique_ptr<UserDefaults> defaults;
  NotificationCenter center;
  std::shared_ptr<KeyboardEngine> engine;
};

void settle() {
  QCoreApplication::processEvents();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_DashboardWindowToFirstPaint(benchmark::State& state) {
  DashboardBench b;
  for (auto _ : state) {
    auto view = std::make_unique<ContentView>(b.engine->views(), b.center);
    view->show();
    QPixmap painted = view->grab();
    benchmark::DoNotOptimize(painted.cacheKey());
    state.PauseTiming();
    view.reset();
    settle();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DashboardWindowToFirstPaint)->Unit(benchmark::kMillisecond);

void BM_DashboardSwitchToUsagePage(benchmark::State& state) {
  DashboardBench b;
  ContentView view(b.engine->views(), b.center);
  view.show();
  settle();
  for (auto _ : state) {
    view.selectTab(1);
    QPixmap painted = view.grab();
    benchmark::DoNotOptimize(painted.cacheKey());
    state.PauseTiming();
    view.selectTab(0);
    settle();
    b.runner.runUntilIdle();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_DashboardSwitchToUsagePage)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace tessa

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
