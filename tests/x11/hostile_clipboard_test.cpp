// Clipboard owners that misbehave, on a real X server: one that never
// answers, one that lists its types and sends none, one that trickles its
// data for ever, one that announces 300 MiB, and one that is slow but in time. The history reads on a
// connection and thread of its own: the main queue (where keys are handled)
// keeps turning while the owner stalls, the copy is skipped with one line
// that holds none of its content, and the next good copy is recorded.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/clock.h"
#include "clipboard/copy_cache_manager.h"
#include "platform/sim/memory_keychain.h"
#include "support/temp_home.h"
#include "ui/qt_pasteboard.h"
#include "ui/x11_clipboard_reader.h"
#include "x11/support/clipboard_clients.h"
#include "x11/support/unavailable.h"
#include "x11_session/x11_application.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using x11test::ClipboardOwner;
using xsession::PumpedMainQueue;
using xsession::XSession;

// Runs on the main queue every millisecond and keeps the longest time the
// queue was kept from it: what a key arriving meanwhile would have waited.
// The time the main thread stood ready but waited for a processor (the
// kernel's count of it) is left out: on a loaded machine that is nearly all
// of the longest gaps, and no fault of the program's.
class MainQueueProbe {
 public:
  explicit MainQueueProbe(PumpedMainQueue& main) : main_(main) {}
  ~MainQueueProbe() { handle_.cancel(); }
  void start() {
    last_ = now();
    lastReady_ = readyWaiting();
    schedule();
  }
  // Forgets what came before: the test itself held the queue up meanwhile
  // (starting another client waits for it to own the clipboard).
  void restart() {
    last_ = now();
    lastReady_ = readyWaiting();
    longest_ = 0;
  }
  double longestWaitSeconds() const { return longest_; }

 private:
  static double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }
  // Seconds this thread has spent ready to run, waiting for a processor
  // (0 where the kernel does not say).
  static double readyWaiting() {
    unsigned long long running = 0, waiting = 0;
    if (FILE* f = std::fopen("/proc/thread-self/schedstat", "r")) {
      if (std::fscanf(f, "%llu %llu", &running, &waiting) != 2) waiting = 0;
      std::fclose(f);
    }
    return static_cast<double>(waiting) / 1e9;
  }
  void schedule() {
    handle_ = main_.postDelayed(kPeriod, [this] {
      double t = now();
      double ready = readyWaiting();
      longest_ = std::max(longest_, t - last_ - kPeriod - (ready - lastReady_));
      last_ = t;
      lastReady_ = ready;
      schedule();
    });
  }
  static constexpr double kPeriod = 0.001;
  PumpedMainQueue& main_;
  TaskHandle handle_;
  double last_ = 0;
  double lastReady_ = 0;
  double longest_ = 0;
};

// Far above a turn of the queue, far below an owner's stall (seconds).
constexpr double kLongestAllowedWait = 0.25;

class HostileClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    session = XSession::start(&why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    ::setenv("DISPLAY", session->displayName().c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "xcb", 1);
    app = std::make_unique<QGuiApplication>(argc, argv);
    main.setEachTurn([] { QCoreApplication::processEvents(); });
    pasteboard = std::make_unique<QtPasteboard>();
    ASSERT_TRUE(pasteboard->readsOnItsOwnConnection());
    CopyCacheManagerEnvironment env;
    env.platform.pasteboard = pasteboard.get();
    env.platform.keychain = &keychain;
    env.clock = &clock;
    env.main = &main;
    env.folder = home.path() / "CopyCache";
    env.log = [this](const std::string& line) { logs.push_back(line); };
    manager = CopyCacheManager::create(std::move(env));
    manager->isEnabled.set(true);
  }

  void TearDown() override {
    probe.reset();
    manager.reset();
    pasteboard.reset();
    app.reset();
  }

  bool loggedStart(const std::string& start) const {
    return std::any_of(logs.begin(), logs.end(), [&](const std::string& l) { return l.rfind(start, 0) == 0; });
  }
  std::string allLogs() const {
    std::string out;
    for (const auto& l : logs) out += l + "\n";
    return out;
  }

  // A misbehaving owner copies `text`; the copy is skipped with `line`, the
  // main queue never waits long meanwhile, and a good copy after it is
  // recorded.
  void skippedWithoutAStall(const std::string& mode, const std::string& line) {
    probe = std::make_unique<MainQueueProbe>(main);
    probe->start();
    std::string why;
    auto owner = ClipboardOwner::startMisbehaving(*session, mode, "secret words of a stalled copy", &why);
    ASSERT_TRUE(owner) << why;
    // The copy is read 0.2 s after the change is heard, which is after this.
    probe->restart();
    ASSERT_TRUE(main.pumpUntil([&] { return loggedStart(line); }, 20.0)) << allLogs();
    EXPECT_LT(probe->longestWaitSeconds(), kLongestAllowedWait) << "the main queue was held up by the clipboard";
    EXPECT_TRUE(manager->items.get().empty());
    size_t skipped = std::count_if(logs.begin(), logs.end(), [](const std::string& l) {
      return l.rfind("CopyCache: a copy was skipped", 0) == 0;
    });
    EXPECT_EQ(skipped, 1u) << allLogs();
    for (const auto& l : logs) EXPECT_EQ(l.find("secret words"), std::string::npos) << l;
    if (mode == "huge") {
      // Refused from the announced size: not one piece was asked for.
      for (const auto& l : owner->linesSoFar()) EXPECT_NE(l.rfind("SENT", 0), 0u) << l;
    }

    const double stalled = probe->longestWaitSeconds();
    auto good = ClipboardOwner::start(*session, ClipboardOwner::Selection::clipboard, "a good copy after it", {}, &why);
    ASSERT_TRUE(good) << why;
    probe->restart();
    ASSERT_TRUE(main.pumpUntil([&] { return manager->items.get().size() == 1; }, 10.0)) << allLogs();
    EXPECT_EQ(manager->items.get()[0].text, "a good copy after it");
    EXPECT_LT(probe->longestWaitSeconds(), kLongestAllowedWait);
    std::printf("%s owner: longest main-queue wait %.1f ms during its copy, %.1f ms during the next\n", mode.c_str(),
                stalled * 1000, probe->longestWaitSeconds() * 1000);
  }

  int argc = 1;
  char arg0[16] = "tessa_x11_tests";
  char* argv[2] = {arg0, nullptr};
  test::TempHome home;
  SystemClock clock;
  PumpedMainQueue main;
  MemoryKeychain keychain;
  std::unique_ptr<XSession> session;
  std::unique_ptr<QGuiApplication> app;
  std::unique_ptr<QtPasteboard> pasteboard;
  std::shared_ptr<CopyCacheManager> manager;
  std::unique_ptr<MainQueueProbe> probe;
  std::vector<std::string> logs;
};

constexpr const char* kTimedOut = "CopyCache: a copy was skipped (its owner did not send it within 3 s)";

TEST_F(HostileClipboardTest, AnOwnerThatNeverAnswersIsSkippedWithoutHoldingUpTheMainQueue) {
  skippedWithoutAStall("silent", kTimedOut);
}

TEST_F(HostileClipboardTest, AnOwnerThatListsItsTypesButSendsNoneIsSkippedWithoutHoldingUpTheMainQueue) {
  skippedWithoutAStall("targets-only", kTimedOut);
}

TEST_F(HostileClipboardTest, AnOwnerThatTricklesItsDataForEverIsSkippedAtTheDeadline) {
  skippedWithoutAStall("trickle", kTimedOut);
}

TEST_F(HostileClipboardTest, ACopyLargerThanTheHistoryKeepsIsRefusedFromItsAnnouncedSize) {
  skippedWithoutAStall("huge", "CopyCache: a copy was skipped (314572800 bytes, more than the history keeps)");
}

TEST_F(HostileClipboardTest, ASlowOwnerThatAnswersWithinTheDeadlineIsRecordedWithoutHoldingUpTheMainQueue) {
  probe = std::make_unique<MainQueueProbe>(main);
  probe->start();
  std::string why;
  // Each answer 0.8 s late: the list of types, then the text.
  auto slow = ClipboardOwner::startMisbehaving(*session, "slow", "a copy that took its time", &why);
  ASSERT_TRUE(slow) << why;
  probe->restart();
  ASSERT_TRUE(main.pumpUntil([&] { return manager->items.get().size() == 1; }, 10.0)) << allLogs();
  EXPECT_EQ(manager->items.get()[0].text, "a copy that took its time");
  EXPECT_LT(probe->longestWaitSeconds(), kLongestAllowedWait);
  std::printf("slow owner: longest main-queue wait %.1f ms\n", probe->longestWaitSeconds() * 1000);
}

TEST_F(HostileClipboardTest, ANewCopyTakesThePlaceOfAReadStillWaitingOnItsOwner) {
  probe = std::make_unique<MainQueueProbe>(main);
  probe->start();
  std::string why;
  auto silent = ClipboardOwner::startMisbehaving(*session, "silent", "never sent", &why);
  ASSERT_TRUE(silent) << why;
  probe->restart();
  // The reader is waiting on the silent owner when the next copy comes.
  ASSERT_TRUE(main.pumpUntil([&] { return silent->waitForLine("REQUEST TARGETS", 0.01); }));
  auto good = ClipboardOwner::start(*session, ClipboardOwner::Selection::clipboard, "the copy that counts", {}, &why);
  ASSERT_TRUE(good) << why;
  probe->restart();
  ASSERT_TRUE(main.pumpUntil([&] { return manager->items.get().size() == 1; }, 10.0)) << allLogs();
  EXPECT_EQ(manager->items.get()[0].text, "the copy that counts");
  EXPECT_FALSE(loggedStart("CopyCache: a copy was skipped")) << allLogs();
  EXPECT_LT(probe->longestWaitSeconds(), kLongestAllowedWait);
}

TEST(X11ClipboardReader, AsksOnlyForTheTypesItKeepsAmongThoseListed) {
  using V = std::vector<std::string>;
  EXPECT_EQ(X11ClipboardReader::chooseTargets({"TARGETS", "TIMESTAMP", "UTF8_STRING", "STRING", "text/plain",
                                               "text/html", "image/bmp", "x-kde-passwordManagerHint"}),
            (V{"x-kde-passwordManagerHint", "UTF8_STRING", "text/html", "image/bmp"}));
  EXPECT_EQ(X11ClipboardReader::chooseTargets({"image/png", "image/jpeg", "text/uri-list", "STRING"}),
            (V{"STRING", "text/uri-list", "image/png"}));
  EXPECT_EQ(X11ClipboardReader::chooseTargets({"TARGETS", "MULTIPLE", "application/x-thing", "application/y"}),
            (V{"application/x-thing"}));
  EXPECT_TRUE(X11ClipboardReader::chooseTargets({"TARGETS", "TIMESTAMP"}).empty());
}

TEST(X11ClipboardReader, WhatAnOwnerSentBecomesAnItemAndEmptyTypesAreNoData) {
  auto item = QtPasteboard::itemFromTargets(
      {{"STRING", "caf\xe9"}, {"image/png", ""}, {"org.nspasteboard.ConcealedType", ""}});
  EXPECT_EQ(*item.get(pasteboard_types::kText), "café");
  EXPECT_FALSE(item.has(pasteboard_types::kPng));
  EXPECT_TRUE(item.has(pasteboard_types::kConcealed));
  EXPECT_TRUE(QtPasteboard::itemFromTargets({{"image/png", ""}, {"application/x-thing", ""}}).representations.empty());
}

}  // namespace
}  // namespace tessa
