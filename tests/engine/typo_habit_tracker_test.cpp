#include "engine/typo_habit_tracker.h"

#include <gtest/gtest.h>

#include "base/files.h"
#include "dictionaries/typo_habit_store.h"
#include "engine/hud_notices.h"
#include "hud/unified_menu_panel.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"
#include "typing/typing_flow_controller.h"

namespace tessa {
namespace {

using State = TypoHabitTracker::TrackerState;
constexpr const char* kABC = "com.apple.keylayout.ABC";
constexpr const char* kThai = "com.apple.keylayout.Thai";

// Mac virtual key codes of the US letters the tests type.
uint16_t keyOf(char c) {
  switch (c) {
    case 'a': return 0;
    case 'b': return 11;
    case 's': return 1;
    case 'd': return 2;
    case 'h': return 4;
    case 'e': return 14;
    case 't': return 17;
    case 'n': return 45;
    case 'r': return 15;
    case '1': return 18;
    case '2': return 19;
    case ' ': return 49;
  }
  ADD_FAILURE() << "no key for " << c;
  return 0;
}

std::vector<KeyStroke> strokes(const std::string& us) {
  std::vector<KeyStroke> out;
  uint32_t t = 0;
  for (char c : us) out.push_back(KeyStroke{keyOf(c), false, t += 80});
  return out;
}

class TypoHabitTrackerTest : public ::testing::Test {
 protected:
  TypoHabitTrackerTest() : desk(fx.clock, fx.runner) {
    TypoHabitStore::resetInMemoryVaultKeyForTesting();
    fx.platform = desk.platform();
    engine = fx.start();
    engine->appLanguage.set("en");
    panel = UnifiedMenuPanel::create(hudEnvironmentFor(*engine));
    attachHudPanel(*engine, panel.get());
    fx.runner.runUntilIdle();
    tracker = engine->typoHabitTracker();
    store = engine->typoHabitStore();
  }
  ~TypoHabitTrackerTest() override {
    attachHudPanel(*engine, nullptr);
    TypoHabitStore::resetInMemoryVaultKeyForTesting();
  }

  void at(double secondsFromStart) { fx.runner.advanceTo(start + secondsFromStart); }
  double wall(double secondsFromStart) const { return startWall + secondsFromStart; }
  void commit(const std::string& us, const char* source = kABC) { tracker->handleWordCommitted(strokes(us), source); }
  void backspaces(int n) {
    for (int i = 0; i < n; ++i) tracker->handleBackspace();
  }
  // One erase-and-retype episode: `typo` committed at t, erased with
  // `erase` Backspaces half a second apart, `fix` committed 1 s later.
  void episode(double t, const std::string& typo, const std::string& fix, int erase) {
    at(t);
    commit(typo);
    for (int i = 1; i <= erase; ++i) {
      at(t + 0.5 * i);
      tracker->handleBackspace();
    }
    at(t + 0.5 * erase + 1.0);
    commit(fix);
  }
  // The notices that reached the panel since the test began.
  size_t noticeCount() {
    fx.runner.runUntilIdle();
    return panel->shownNotices().size();
  }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  std::shared_ptr<UnifiedMenuPanel> panel;
  std::shared_ptr<TypoHabitTracker> tracker;
  std::shared_ptr<TypoHabitStore> store;
  double start = fx.clock.uptime();
  double startWall = fx.clock.wallTime();
};

TEST(TypoHabitTrackerThreshold, MostOfTheWordRoundedUp) {
  const int expected[] = {1, 1, 2, 3, 4, 4, 5, 6, 7, 8, 8};
  for (int n = 0; n <= 10; ++n) EXPECT_EQ(TypoHabitTracker::erasureThreshold(n), expected[n]) << n;
}

TEST_F(TypoHabitTrackerTest, LearnsFromTwoEpisodesAndOffersToForget) {
  commit("teh");
  EXPECT_EQ(tracker->trackerState(), State::waitingForBackspace("teh", 3, wall(0)));
  at(0.4);
  tracker->handleBackspace();
  at(0.8);
  tracker->handleBackspace();
  EXPECT_EQ(tracker->backspaceCount(), 2);
  EXPECT_EQ(tracker->trackerState().kind, State::Kind::waitingForBackspace);
  at(1.2);
  tracker->handleBackspace();
  EXPECT_EQ(tracker->trackerState(), State::waitingForRetype("teh", wall(1.2)));
  EXPECT_EQ(tracker->backspaceCount(), 0);
  tracker->handleBackspace();  // erasing further changes nothing
  EXPECT_EQ(tracker->trackerState(), State::waitingForRetype("teh", wall(1.2)));

  at(3.7);  // exactly 2.5 s after the threshold: still in time
  commit("the");
  ASSERT_EQ(store->habits().count("teh"), 1u);
  EXPECT_EQ(store->habits()["teh"].frequency, 1);
  EXPECT_EQ(tracker->trackerState(), State::waitingForBackspace("the", 3, wall(3.7)));
  EXPECT_EQ(noticeCount(), 0u);

  episode(10, "teh", "the", 3);
  EXPECT_EQ(store->habits()["teh"].frequency, 2);
  EXPECT_EQ(panel->shownNotices().size(), 0u) << "the notice waits for the main queue";
  ASSERT_EQ(noticeCount(), 1u);
  const auto& shown = panel->state().displayState.get();
  ASSERT_EQ(shown.kind(), DisplayState::Kind::actionable);
  const auto* a = shown.as<DisplayState::Actionable>();
  EXPECT_EQ(a->message, "Learned «teh → the»");
  EXPECT_EQ(a->subMessage, "Will auto-correct · Cancel with Ctrl+Shift+Z or Vocabulary ⓧ");
  EXPECT_EQ(a->icon, "wand.and.stars");
  EXPECT_EQ(a->messageColor, HudColor::green);
  EXPECT_EQ(a->actionTitle, "Ctrl+Shift+Z Cancel");
  EXPECT_EQ(panel->shownNotices().back().priority, 2);
  EXPECT_EQ(panel->shownNotices().back().anchor, HudAnchor::topCenter);

  // Control+Shift+Z while it shows runs its action: the habit is forgotten,
  // on disk too.
  fx.runner.advance(0.3);  // faded in
  EXPECT_TRUE(panel->cancelActiveActionable());
  EXPECT_EQ(store->habits().count("teh"), 0u);
  TypoHabitStore::resetInMemoryVaultKeyForTesting();
  auto reread = TypoHabitStore::create(typoHabitStoreEnvironment(*engine));
  EXPECT_EQ(reread->habits().count("teh"), 0u);
  EXPECT_EQ(reread->habits().count("the"), 0u);

  // The next identical episode counts from 1 again: no notice.
  episode(20, "teh", "the", 3);
  EXPECT_EQ(store->habits()["teh"].frequency, 1);
  EXPECT_EQ(noticeCount(), 1u);
  // A third and fourth: learned again, shown again each time.
  episode(30, "teh", "the", 3);
  episode(40, "teh", "the", 3);
  EXPECT_EQ(store->habits()["teh"].frequency, 3);
  EXPECT_EQ(noticeCount(), 3u);
}

TEST_F(TypoHabitTrackerTest, NoticeTextFollowsTheInterfaceLanguage) {
  engine->appLanguage.set("th");
  tracker->announceLearnedHabit("teh", "the");
  ASSERT_EQ(noticeCount(), 1u);
  const auto* a = panel->state().displayState.get().as<DisplayState::Actionable>();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->message, "เรียนรู้ «teh → the»");
  EXPECT_EQ(a->actionTitle, "Ctrl+Shift+Z ยกเลิก");
  // Words are inserted as they are, never read as a format.
  tracker->announceLearnedHabit("%@%d", "%%");
  fx.runner.runUntilIdle();
  a = panel->state().displayState.get().as<DisplayState::Actionable>();
  ASSERT_TRUE(a);
  EXPECT_EQ(a->message, "เรียนรู้ «%@%d → %%»");
}

TEST_F(TypoHabitTrackerTest, TooFewBackspacesOrTooLateRecordNothing) {
  // A 5-keystroke word needs 4 Backspaces; 3 are not enough.
  episode(0, "hasts", "haste", 3);
  EXPECT_TRUE(store->habits().empty());
  episode(10, "hasts", "haste", 4);
  EXPECT_EQ(store->habits().size(), 1u);

  // First Backspace 2.6 s after the commit: back to idle, no record.
  at(20);
  commit("adn");
  at(22.6);
  tracker->handleBackspace();
  EXPECT_EQ(tracker->trackerState(), State::idle());
  backspaces(3);
  EXPECT_EQ(tracker->trackerState(), State::idle());
  at(23);
  commit("and");
  EXPECT_EQ(store->habits().count("adn"), 0u);
  // ...and the new word starts a new watch.
  EXPECT_EQ(tracker->trackerState(), State::waitingForBackspace("and", 3, wall(23)));

  // Erased in time but retyped 2.6 s after the threshold.
  at(30);
  commit("adn");
  at(30.5);
  backspaces(3);
  at(33.1);
  commit("and");
  EXPECT_EQ(store->habits().count("adn"), 0u);

  // Retyping the very same word records nothing.
  episode(40, "adn", "adn", 3);
  EXPECT_EQ(store->habits().count("adn"), 0u);
}

TEST_F(TypoHabitTrackerTest, ShortWordsAndEmptyRenderings) {
  // One keystroke needs exactly one Backspace (and the store then refuses a
  // one-character word, so nothing is recorded).
  at(0);
  commit("a");
  tracker->handleBackspace();
  EXPECT_EQ(tracker->trackerState(), State::waitingForRetype("a", wall(0)));

  // A committed word that renders to white space leaves the state alone.
  const State before = tracker->trackerState();
  commit("  ");
  EXPECT_EQ(tracker->trackerState(), before);
  tracker->handleWordCommitted({}, kABC);
  EXPECT_EQ(tracker->trackerState(), before);
  // So does a word typed in a source that is not in the layout cycle.
  tracker->handleWordCommitted(strokes("teh"), "com.example.unknown");
  EXPECT_EQ(tracker->trackerState(), before);

  tracker->reset();
  EXPECT_EQ(tracker->trackerState(), State::idle());
  EXPECT_EQ(tracker->backspaceCount(), 0);
}

TEST_F(TypoHabitTrackerTest, WordsAreRenderedInTheLayoutTheyWereTypedIn) {
  at(0);
  commit("teh", kThai);
  EXPECT_EQ(tracker->trackerState().priorWord, "ะำ้");
  at(0.5);
  backspaces(3);
  at(1);
  // "ะ้ำ" is one user-perceived character: too short to learn.
  commit("the", kThai);
  EXPECT_TRUE(store->habits().empty());
  EXPECT_EQ(tracker->trackerState().priorWord, "ะ้ำ");

  at(10);
  commit("asd", kThai);
  at(10.5);
  backspaces(3);
  at(11);
  commit("sad", kThai);
  ASSERT_EQ(store->habits().size(), 1u);
  EXPECT_EQ(store->habits().begin()->second.typo, "ฟหก");
  EXPECT_EQ(store->habits().begin()->second.corrected, "หฟก");
}

TEST_F(TypoHabitTrackerTest, TimingCaptureRunsForEveryWordBeforeRendering) {
  engine->defaults().setBool("keystrokeTimingCaptureEnabled", true);
  desk.setTrusted(true);
  commit("teh");
  commit("  ");                                    // renders empty: still captured
  tracker->handleWordCommitted({}, kABC);          // no keystrokes: nothing at all
  tracker->handleWordCommitted(strokes("teh"), "com.example.unknown");
  fx.runner.runUntilIdle();
  auto lines = readFile(engine->keystrokeTimingFileURL(), kMaxWordFileBytes).value_or("");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
}

TEST_F(TypoHabitTrackerTest, RejectedCorrectionsShowNothing) {
  episode(0, "12", "ab", 2);
  EXPECT_TRUE(store->habits().empty());
  episode(10, "12", "ab", 2);
  EXPECT_EQ(noticeCount(), 0u);
}

// The typing flow hands its words, Backspaces and clears to the tracker.
TEST_F(TypoHabitTrackerTest, TheTypingFlowFeedsTheTracker) {
  TypingFlowController& flow = *engine->flow.flowController;
  auto key = [&](char c) {
    Event e;
    e.type = EventType::keyDown;
    e.keyCode = keyOf(c);
    e.unicode = std::string(1, c);
    flow.processEvent(e, EventType::keyDown);
  };
  auto erase = [&] {
    Event e;
    e.type = EventType::keyDown;
    e.keyCode = keycode::deleteKey;
    flow.processEvent(e, EventType::keyDown);
  };
  for (double t : {0.0, 10.0}) {
    at(t);
    for (char c : std::string("teh ")) key(c);
    at(t + 0.5);
    erase();  // the space
    erase();
    erase();
    erase();
    at(t + 1.0);
    for (char c : std::string("the ")) key(c);
  }
  ASSERT_EQ(store->habits().count("teh"), 1u);
  EXPECT_EQ(store->habits()["teh"].frequency, 2);
  EXPECT_EQ(noticeCount(), 1u);

  flow.clear(false, "test", __LINE__);
  EXPECT_EQ(tracker->trackerState(), State::idle());
}

}  // namespace
}  // namespace tessa
