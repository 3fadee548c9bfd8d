#include "base/task_runner.h"

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <thread>

#include <string>
#include <vector>

namespace tessa {
namespace {

TEST(ManualTaskRunner, RunsExactlyWhatFallsDueInOrder) {
  ManualClock clock(100.0);
  ManualTaskRunner runner(clock);
  std::vector<std::string> ran;
  runner.postDelayed(0.75, [&] { ran.push_back("safety@" + std::to_string(clock.uptime())); });
  runner.postDelayed(0.025, [&] { ran.push_back("release"); });
  runner.post([&] { ran.push_back("now"); });
  runner.postDelayed(0.025, [&] { ran.push_back("release2"); });

  runner.advance(0.02);
  EXPECT_EQ(ran, (std::vector<std::string>{"now"}));
  runner.advance(0.01);
  EXPECT_EQ(ran, (std::vector<std::string>{"now", "release", "release2"}));
  EXPECT_DOUBLE_EQ(clock.uptime(), 100.03);
  runner.advance(1.0);
  ASSERT_EQ(ran.size(), 4u);
  EXPECT_EQ(ran[3].rfind("safety@100.75", 0), 0u) << "work sees the clock at its own due time";
}

TEST(ManualTaskRunner, WorkPostedByDueWorkRunsWhenItFallsDueWithinTheSameAdvance) {
  ManualClock clock;
  ManualTaskRunner runner(clock);
  std::vector<double> times;
  double start = clock.uptime();
  // A chain 0.003 s apart, as the replay of held keys uses.
  std::function<void(int)> chain = [&](int left) {
    times.push_back(clock.uptime() - start);
    if (left > 0) runner.postDelayed(0.003, [&, left] { chain(left - 1); });
  };
  runner.postDelayed(0.025, [&] { chain(3); });
  runner.advance(0.030);
  ASSERT_EQ(times.size(), 2u);
  runner.advance(0.010);
  ASSERT_EQ(times.size(), 4u);
  EXPECT_NEAR(times[3], 0.034, 1e-9);
}

TEST(ManualTaskRunner, CancelledAndRepeatingWork) {
  ManualClock clock;
  ManualTaskRunner runner(clock);
  int fired = 0, ticks = 0;
  auto handle = runner.postDelayed(1.0, [&] { ++fired; });
  handle.cancel();
  auto timer = runner.postRepeating(1.0, [&] { ++ticks; });
  runner.advance(3.5);
  EXPECT_EQ(fired, 0);
  EXPECT_EQ(ticks, 3);
  timer.cancel();
  runner.advance(5);
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(runner.pendingCount(), 0u);
}

TEST(ManualTaskRunner, SequencesInterleaveByPostingOrderAndRunSyncDrainsTheirOwnWork) {
  ManualClock clock;
  ManualTaskRunner runner(clock);
  auto disk = runner.createSequence("disk");
  std::vector<std::string> ran;
  disk->post([&] { ran.push_back("disk1"); });
  runner.post([&] { ran.push_back("main"); });
  disk->post([&] { ran.push_back("disk2"); });
  disk->runSync([&] { ran.push_back("sync"); });
  EXPECT_EQ(ran, (std::vector<std::string>{"disk1", "disk2", "sync"})) << "main work is not run by a sync on disk";
  runner.runUntilIdle();
  EXPECT_EQ(ran.back(), "main");
}

TEST(SerialQueue, RunsInOrderAndRunSyncWaits) {
  SerialQueue queue("test.queue");
  std::vector<int> ran;
  for (int i = 0; i < 50; ++i) queue.post([&, i] { ran.push_back(i); });
  queue.runSync([&] { ran.push_back(99); });
  ASSERT_EQ(ran.size(), 51u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(ran[i], i);
  EXPECT_FALSE(queue.runsTasksOnCurrentThread());
  bool inside = false;
  queue.runSync([&] { inside = queue.runsTasksOnCurrentThread(); });
  EXPECT_TRUE(inside);
}

// The owner frees what a running task uses right after shutdown(): it must
// have waited for that task (a secure-field check on a freed desktop crashed).
TEST(SerialQueue, ShutdownWaitsForTheTaskStillRunning) {
  SerialQueue queue("test.queue");
  std::atomic<bool> started{false}, finished{false};
  queue.post([&] {
    started = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    finished = true;
  });
  while (!started) std::this_thread::yield();
  queue.shutdown();
  EXPECT_TRUE(finished);
  EXPECT_TRUE(queue.post([] {}).isCancelled()) << "posts after shutdown are dropped";
}

}  // namespace
}  // namespace tessa
