// A conversion, undo or redo in an application too busy to take its keys at
// once: the wait for the field, the keys the user types meanwhile, and what
// happens when the wait gives up with the Deletes already posted.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/conversion_texts.h"

#include "engine/flow_fixture.h"
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
  // The converted word's keys held back once its Deletes are taken (at 1 s).
  void convertTakingOnlyTheDeletes() {
    startWith("I ate " + thai("dbo"), kThai);
    delaying->holding = true;
    desk.press("ctrl+shift+x");
    advance(1.0);
    delaying->letGo();
    delaying->holding = true;
    advance(1.0);
    ASSERT_EQ(field().text(), "I ate ");
  }
  // Whether the HUD showed a notice with this message.
  bool showed(const conversion_texts::Notice& notice) const {
    const std::string needle = "message: " + engine->localized(notice.titleKey) + ",";
    const auto& lines = fx.systemLog.consoleLines;
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(needle) != std::string::npos; });
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

// Given up on with its keys posted, an edit never leaves the word deleted:
// what the application took late is undone once the field settles, and the
// user is told.
TEST_F(BusyFieldTest, AConversionThatGivesUpPutsTheWordBackOnceTheFieldSettles) {
  startWith("I ate " + thai("dbo"), kThai);
  editWhileBusy("ctrl+shift+x", 2.2, 4.0);  // the Deletes land after the wait gave up
  EXPECT_EQ(field().text(), "I ate " + thai("dbo") + thai("k"));
  EXPECT_EQ(desk.currentSource(), kThai);
  EXPECT_TRUE(showed(conversion_texts::kWordPutBack));
  EXPECT_TRUE(logged("cycleCurrentWordLanguage: the text did not match after deleting - the word was put back"));
  EXPECT_EQ(engine->totalCorrections.get(), 0);
  EXPECT_FALSE(engine->isSimulatingTyping());

  // Only the first letter of the converted word is taken, the rest lost:
  // that letter goes, and the word and its layout come back.
  convertTakingOnlyTheDeletes();
  delaying->letGoFirst(2);
  delaying->holding = false;
  advance(3.0);
  EXPECT_EQ(field().text(), "I ate " + thai("dbo"));
  EXPECT_EQ(desk.currentSource(), kThai);
  EXPECT_TRUE(logged("the typed text did not appear as expected - the word was put back"));
}

// A field that takes some of the Deletes, or some of the word, and then
// pauses for longer than the wait's half second is still taking the keys.
TEST_F(BusyFieldTest, AFieldThatPausesPartWayThroughTheKeysIsWaitedOut) {
  startWith("I ate " + thai("dbo"), kThai);
  delaying->holding = true;
  desk.press("ctrl+shift+x");
  advance(0.05);
  delaying->letGoFirst(2);  // one Delete
  advance(1.0);
  ASSERT_EQ(field().text(), "I ate " + thai("db"));
  delaying->letGo();
  advance(1.0);
  EXPECT_EQ(field().text(), "I ate dbo");

  convertTakingOnlyTheDeletes();
  delaying->letGoFirst(2);  // the word's first letter
  advance(1.5);
  ASSERT_EQ(field().text(), "I ate d");
  delaying->letGo();
  advance(1.0);
  EXPECT_EQ(field().text(), "I ate dbo");
  EXPECT_EQ(engine->totalCorrections.get(), 2);
  EXPECT_FALSE(logged("putting the word back"));
}

// The converted word itself landing after the wait gave up is a conversion
// after all, and nothing is put back over it.
TEST_F(BusyFieldTest, AConvertedWordThatLandsAfterTheWaitStillCounts) {
  convertTakingOnlyTheDeletes();
  advance(2.5);
  delaying->letGo();
  advance(1.0);
  EXPECT_EQ(field().text(), "I ate dbo");
  EXPECT_EQ(engine->totalCorrections.get(), 1);
  EXPECT_FALSE(logged("putting the word back"));
}

TEST_F(BusyFieldTest, WhatTheEditsKeysCannotExplainIsLeftAlone) {
  // Nothing taken while the wait and the watch after it last.
  startWith("I ate " + thai("dbo"), kThai);
  editWhileBusy("ctrl+shift+x", 0.1, 6.5);
  EXPECT_TRUE(showed(conversion_texts::kFieldTooSlow));
  EXPECT_TRUE(logged("the application took none of the keys, the word is as it was"));

  // Another program's text in the word's place is not ours to delete.
  field().setText("I ate " + thai("dbo"));
  delaying->holding = true;
  desk.press("ctrl+shift+x");
  advance(0.05);
  field().setText("I ate pizza");
  advance(1.0);
  delaying->letGo();
  advance(4.0);
  EXPECT_EQ(field().text(), "I ate piz");
  EXPECT_TRUE(logged("the text did not match after deleting - refused because the screen changed"));
  EXPECT_FALSE(logged("putting the word back"));
}


// The reads after the Deletes answer from another program's field (two
// desktops sharing one accessibility bus), or show text after the caret the
// field did not have: a conversion, undo or redo leaves the field as it
// found it or as it meant to, or names the word that may be gone.
TEST_F(FlowTest, AnEditReadWronglyAfterItsDeletesNeverLosesTheWordUntold) {
  const std::string kin = thai("dbo");
  SimApplication& other = desk.launchApplication("org.example.Other", "Other");
  auto named = [&](const std::string& word) {
    const auto& lines = fx.systemLog.consoleLines;
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find("«" + word + "»") != std::string::npos; });
  };
  for (const char* operation : {"convert", "undo", "redo"}) {
    SCOPED_TRACE(operation);
    const std::string op = operation;
    fx.systemLog.consoleLines.clear();
    startWith("x dbo", kABC);
    std::string found = "x dbo", meant = "x " + kin;
    for (int step = 0; step < (op == "convert" ? 0 : op == "undo" ? 1 : 2); ++step) {
      step == 0 ? engine->cycleCurrentWordLanguage() : engine->performUndo();
      advance(1.0);
      std::swap(found, meant);
    }
    ASSERT_EQ(field().text(), found);
    const std::string word = found.substr(2);
    op == "convert" ? engine->cycleCurrentWordLanguage() : op == "undo" ? engine->performUndo() : engine->performRedo();
    run();  // the field read, the Deletes posted
    other.field.setText("aaa bbb");
    std::swap(other.elementId, desk.frontmostApplication()->elementId);
    advance(8.0);
    std::swap(other.elementId, desk.frontmostApplication()->elementId);
    EXPECT_TRUE(field().text() == found || field().text() == meant || named(word)) << field().text();
    EXPECT_FALSE(engine->isSimulatingTyping());
    advance(engine->undoTimeout());
  }

  // The program added text after the caret as the Deletes landed: the word
  // goes back before it.
  startWith("x dbo", kABC);
  engine->cycleCurrentWordLanguage();
  run();
  ASSERT_EQ(field().text(), "x ");
  field().setText("x  bbb");
  field().setCaret(2);
  advance(8.0);
  EXPECT_EQ(field().text(), "x dbo bbb");
  EXPECT_TRUE(logged("the word was put back"));
}

}  // namespace
}  // namespace tessa::test
