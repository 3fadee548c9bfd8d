// XKB groups as input sources on a private Xvfb.
#include "platform/x11/x11_input_sources.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <semaphore>

#include "base/task_runner.h"
#include "l10n/localization.h"
#include "platform/events.h"
#include "platform/keyboard_tables.h"
#include "platform/sim/sim_context.h"
#include "platform/sim/sim_input_sources.h"
#include "x11/support/unavailable.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using xsession::TestField;
using xsession::waitUntil;
using xsession::XSession;

class X11InputSourcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    session = XSession::start(&why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    ASSERT_TRUE(session->setLayouts({"us", "th", "la"}));
    session->resetKeyboardState();
    sources = std::make_unique<X11InputSources>(main, session->displayName());
    ASSERT_TRUE(sources->ok());
  }
  void TearDown() override { sources.reset(); }

  std::vector<std::string> ids() {
    std::vector<std::string> out;
    if (auto list = sources->enabledSources())
      for (const auto& s : *list) out.push_back(s.id);
    return out;
  }

  // The callbacks run on the queue's own thread: one already running when
  // the test's locals go would use them, so wait for it.
  void stopObserving(Subscription& sub) {
    sub.reset();
    main.runSync([] {});
  }

  SerialQueue main{"main"};
  std::unique_ptr<XSession> session;
  std::unique_ptr<X11InputSources> sources;
};

TEST_F(X11InputSourcesTest, GroupsAreListedWithIdentifiersTheEngineRecognises) {
  auto list = sources->enabledSources();
  ASSERT_TRUE(list);
  ASSERT_EQ(list->size(), 3u);
  EXPECT_EQ(ids(), (std::vector<std::string>{"xkb:us", "xkb:th", "xkb:la"}));
  EXPECT_EQ((*list)[0].languages, std::vector<std::string>{"en"});
  EXPECT_EQ((*list)[1].languages, std::vector<std::string>{"th"});
  EXPECT_EQ((*list)[2].languages, std::vector<std::string>{"lo"});
  EXPECT_EQ((*list)[1].localizedName, "Thai");
  EXPECT_TRUE(isEnglishInputSourceID((*list)[0].id));
  EXPECT_FALSE(isEnglishInputSourceID((*list)[1].id));
  EXPECT_EQ(inputSourceDisplayName((*list)[1].id), "ไทย (TH)");
  EXPECT_EQ(inputSourceDisplayName((*list)[2].id), "ลาว (LO)");
}

TEST_F(X11InputSourcesTest, SelectLocksTheGroupAndCurrentReadsItBack) {
  ASSERT_EQ(sources->currentKeyboardSource()->id, "xkb:us");
  EXPECT_EQ(sources->select("xkb:th"), 0);
  EXPECT_TRUE(waitUntil([&] { return session->lockedGroup() == 1; }, 2.0));
  EXPECT_EQ(sources->currentKeyboardSource()->id, "xkb:th");

  // An identifier that is no group is refused and changes nothing.
  EXPECT_EQ(sources->select("xkb:de"), X11InputSources::kParamErr);
  EXPECT_EQ(sources->select("com.apple.keylayout.Thai"), X11InputSources::kParamErr);
  EXPECT_EQ(session->lockedGroup(), 1u);
}

TEST_F(X11InputSourcesTest, AGroupChangeByAnyClientIsTheSelectedSourceNotification) {
  std::atomic<int> changes{0};
  std::atomic<bool> onMain{false};
  auto sub = sources->observeSelectedSourceChanged([&] {
    onMain = main.runsTasksOnCurrentThread();
    ++changes;
  });
  ASSERT_EQ(sources->currentKeyboardSource()->id, "xkb:us");
  session->lockGroup(2);  // another client switches
  ASSERT_TRUE(waitUntil([&] { return changes >= 1; }, 3.0));
  EXPECT_TRUE(onMain);
  EXPECT_EQ(sources->currentKeyboardSource()->id, "xkb:la");

  sources->select("xkb:us");
  EXPECT_EQ(sources->currentKeyboardSource()->id, "xkb:us") << "our own switch is read back at once";
  ASSERT_TRUE(waitUntil([&] { return changes >= 2; }, 3.0));
  EXPECT_EQ(sources->currentKeyboardSource()->id, "xkb:us");
  stopObserving(sub);
}

// A main queue whose posters wait until it opens: the watch thread, telling
// of a change, is held up there as a loaded machine holds it up.
struct HeldQueue final : TaskRunner {
  explicit HeldQueue(TaskRunner& inner) : inner(inner) {}
  TaskHandle postDelayed(double delaySeconds, Task task) override {
    entered.release();
    open.wait(false);
    return inner.postDelayed(delaySeconds, std::move(task));
  }
  bool runsTasksOnCurrentThread() const override { return inner.runsTasksOnCurrentThread(); }
  void runSync(Task task) override { inner.runSync(std::move(task)); }
  static void letGo(HeldQueue* queue) {
    queue->open = true;
    queue->open.notify_all();
  }
  TaskRunner& inner;
  std::counting_semaphore<> entered{0};
  std::atomic<bool> open{false};
};

// The current source is the server's even while the news of another
// client's lock is unread (the watch thread is still telling of the change
// before): a conversion asked for then must not take the field for already
// in its layout.
TEST_F(X11InputSourcesTest, AnotherClientsLockIsCurrentBeforeItsNewsIsRead) {
  HeldQueue held(main);
  X11InputSources late(held, session->displayName());
  std::unique_ptr<HeldQueue, void (*)(HeldQueue*)> letGo(&held, HeldQueue::letGo);  // before the join
  ASSERT_TRUE(late.ok());
  auto sub = late.observeSelectedSourceChanged([] {});
  session->lockGroup(1);
  ASSERT_TRUE(held.entered.try_acquire_for(std::chrono::seconds(3))) << "the watch thread tells of it";
  EXPECT_EQ(late.currentKeyboardSource()->id, "xkb:th");
  for (uint32_t group : {2u, 0u}) {
    session->lockGroup(group);
    EXPECT_EQ(late.currentKeyboardSource()->id, ids()[group]);
  }
}

TEST_F(X11InputSourcesTest, ANewLayoutListIsReadAgainBeforeObserversHear) {
  const std::vector<std::string> expected = {"xkb:th:pat", "xkb:us"};
  std::mutex mutex;
  std::vector<std::vector<std::string>> seen;
  auto sub = sources->observeEnabledSourcesChanged([&] {
    std::lock_guard lock(mutex);
    seen.push_back(ids());
  });
  ASSERT_TRUE(session->setLayouts({"th", "us"}, {"pat", ""}));
  // The keymap and its names arrive as several events; the last observer
  // call must already see the new list.
  EXPECT_TRUE(waitUntil(
      [&] {
        std::lock_guard lock(mutex);
        return !seen.empty() && seen.back() == expected;
      },
      3.0));
  EXPECT_EQ(ids(), expected);
  EXPECT_EQ(inputSourceDisplayName("xkb:th:pat"), "ไทย (TH)");
  stopObserving(sub);
}

TEST_F(X11InputSourcesTest, KeysRenderAsTheServerTypesThemInEachGroup) {
  auto us = sources->layoutFor("xkb:us");
  auto th = sources->layoutFor("xkb:th");
  auto la = sources->layoutFor("xkb:la");
  ASSERT_TRUE(us && th && la);
  uint32_t dead = 0;
  EXPECT_EQ(us->translate(keycode::a, 0, dead), "a");
  EXPECT_EQ(us->translate(keycode::a, flags::shift, dead), "A");
  EXPECT_EQ(th->translate(keycode::a, 0, dead), "ฟ");
  EXPECT_EQ(th->translate(keycode::q, 0, dead), "ๆ");
  EXPECT_EQ(th->translate(keycode::q, flags::shift, dead), "๐");
  EXPECT_EQ(la->translate(keycode::a, 0, dead), "ັ");
  EXPECT_EQ(th->translate(keycode::escape, 0, dead), "");
  // A layout not in the keymap is still rendered from its name.
  ASSERT_TRUE(sources->layoutFor("xkb:de"));
  EXPECT_EQ(sources->layoutFor("xkb:de")->translate(keycode::y, 0, dead), "z");
  EXPECT_EQ(sources->layoutFor("com.apple.keylayout.Thai"), nullptr);
}

// A scenario's sources are given to the X server by their xkeyboard-config
// names; each must type there as it does on the simulated desktop, or the
// same scenario would give different text on the two.
TEST_F(X11InputSourcesTest, SimulatedSourcesTypeAsTheirLayoutsOnTheServer) {
  ManualClock clock;
  ManualTaskRunner runner(clock);
  SimContext ctx(clock, runner);
  SimInputSources sim(ctx);
  const std::vector<std::string> simIDs = {"com.apple.keylayout.ABC", "com.apple.keylayout.Thai",
                                           "com.apple.keylayout.Lao"};
  std::vector<std::string> layouts;
  for (const auto& id : simIDs) layouts.push_back(SimInputSources::xkbLayoutFor(id)->first);
  EXPECT_EQ(layouts, (std::vector<std::string>{"us", "th", "la"}));
  EXPECT_EQ(SimInputSources::xkbLayoutFor("xkb:th:pat"), (std::pair<std::string, std::string>{"th", "pat"}));
  EXPECT_FALSE(SimInputSources::xkbLayoutFor("com.example.Unknown"));

  std::vector<std::string> differences;
  for (size_t i = 0; i < simIDs.size(); ++i) {
    auto simulated = sim.layoutFor(simIDs[i]);
    auto real = sources->layoutFor("xkb:" + layouts[i]);
    ASSERT_TRUE(simulated && real);
    for (uint16_t k = 0; k < 128; ++k) {
      if (!usKeyForCode(k)) continue;
      for (uint64_t mods : {uint64_t{0}, uint64_t{flags::shift}}) {
        uint32_t d1 = 0, d2 = 0;
        const std::string a = simulated->translate(k, mods, d1), b = real->translate(k, mods, d2);
        if (a != b)
          differences.push_back(simIDs[i] + " key " + std::to_string(k) + (mods ? "+shift" : "") + ": '" + a +
                                "' vs '" + b + "'");
      }
    }
  }
  // The one place they part: xkeyboard-config's Thai puts ฅ on Shift+\ and
  // keeps ASCII punctuation elsewhere. A scenario that types these keys in
  // Thai gives different text on the two desktops.
  const std::vector<std::string> known = {
      "com.apple.keylayout.Thai key 20: '_' vs '-'",
      "com.apple.keylayout.Thai key 30+shift: 'ฅ' vs ','",
      "com.apple.keylayout.Thai key 42+shift: '|' vs 'ฅ'",
      "com.apple.keylayout.Thai key 50: '`' vs '_'",
      "com.apple.keylayout.Thai key 50+shift: '~' vs '%'",
  };
  EXPECT_EQ(differences, known);
}

// What a key renders to must be what the focused window receives.
TEST_F(X11InputSourcesTest, RenderedTextMatchesWhatAWindowTypesInThaiAndLao) {
  std::string why;
  auto field = TestField::start(*session, TestField::Kind::line, "", &why);
  if (!field) TESSA_X11_UNAVAILABLE(why);
  const std::vector<uint16_t> keys = {keycode::l, keycode::semicolon, keycode::y, keycode::l, keycode::f, keycode::u};
  std::string expected;
  for (const char* id : {"xkb:th", "xkb:la"}) {
    ASSERT_EQ(sources->select(id), 0);
    ASSERT_TRUE(waitUntil([&] { return sources->currentKeyboardSource()->id == id; }, 2.0));
    auto layout = sources->layoutFor(id);
    uint32_t dead = 0;
    for (uint16_t k : keys) {
      expected += layout->translate(k, 0, dead);
      session->tapKey(k);
    }
  }
  EXPECT_EQ(expected.substr(0, 18), "สวัสดี");
  EXPECT_TRUE(field->waitForText(expected)) << field->state()->text;
}

}  // namespace
}  // namespace tessa
