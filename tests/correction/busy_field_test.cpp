// A conversion, undo or redo in an application too busy to take its keys at
// once: the wait for the field and the keys the user types meanwhile.
#include <gtest/gtest.h>

#include "correction/flow_fixture.h"
#include "support/delaying_events.h"

namespace tessa::test {
namespace {

struct SlowEvents {
  std::unique_ptr<DelayingEvents> delaying;
};

// The application keeps every key posted to it until the test lets them go;
// the user's own keys reach the taps at once.
class BusyFieldTest : public SlowEvents, public FlowTest {
 protected:
  BusyFieldTest()
      : FlowTest([this](Platform& p) {
          delaying = std::make_unique<DelayingEvents>(*p.events);
          delaying->holding = false;
          p.events = delaying.get();
        }) {
    engine->createEventTap();
    run();
  }
  std::string thai(const std::string& usKeys) {
    std::string out;
    for (char c : usKeys) out += engine->englishToThaiMap().at(std::string(1, c));
    return out;
  }
  void startWith(const std::string& text, const char* source) {
    desk.setCurrentSource(source);
    field().setText(text);
  }
  // `chord` with the application busy: it takes the keys posted to it only
  // `takenAt` seconds later, and the user types k at `typedAt`.
  void editWhileBusy(const char* chord, double typedAt, double takenAt) {
    delaying->holding = true;
    desk.press(chord);
    advance(typedAt);
    desk.typeText("k", 0.02);
    advance(takenAt - typedAt);
    delaying->letGo();
    advance(1.0);
  }
};

// However long into the wait a key is typed, it is held until the converted
// word is in: the guard against a simulation that never ends must not let it
// go behind the Deletes, where it would land in the word's place.
TEST_F(BusyFieldTest, DeletesTakenLateStillGetTheWordAndKeysTypedMeanwhileFollowIt) {
  for (double typedAt : {1.5, 2.2}) {
    SCOPED_TRACE(typedAt);
    startWith("I ate " + thai("dbo"), kThai);
    editWhileBusy("ctrl+shift+x", typedAt, 2.5);
    EXPECT_EQ(field().text(), "I ate dbok");
  }
  EXPECT_EQ(engine->totalCorrections.get(), 2);
  EXPECT_FALSE(fx.systemLog.contains("simulationCount leak detected"));
  EXPECT_FALSE(logged("refused because the screen changed"));
}

TEST_F(BusyFieldTest, UndoAndRedoWaitForTheFieldTheSameWay) {
  startWith("x dbo", kABC);
  desk.press("ctrl+shift+x");
  advance(1.0);
  ASSERT_EQ(field().text(), "x " + thai("dbo"));
  editWhileBusy("ctrl+shift+z", 2.2, 2.5);  // undo
  EXPECT_EQ(field().text(), "x dbok");
  EXPECT_EQ(desk.currentSource(), kABC);
  field().setText("x dbo");  // the k taken away: the word is at the caret again
  editWhileBusy("ctrl+shift+z", 2.2, 2.5);  // redo
  EXPECT_EQ(field().text(), "x " + thai("dbo") + thai("k"));
  EXPECT_FALSE(fx.systemLog.contains("simulationCount leak detected"));
}

}  // namespace
}  // namespace tessa::test
