// The conversion state's own rules: the undo window, what the undo-or-redo
// key chooses, the cycle's steps and the busy notice's pace.
#include "engine/conversion_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>

namespace tessa {
namespace {

ConversionRecord record(const std::string& original, const std::string& converted) {
  return {original, converted, "abc", "thai", std::nullopt, 0};
}

TEST(ConversionStateTest, ClosingAnOpenWindowEmptiesBothStacksAndCancelsItsTimer) {
  ConversionState s;
  auto first = std::make_shared<std::atomic<bool>>(false), second = std::make_shared<std::atomic<bool>>(false);
  s.restartWindow(TaskHandle(first));
  s.restartWindow(TaskHandle(second));
  EXPECT_TRUE(first->load()) << "a conversion restarts the window: the earlier end no longer applies";
  s.recordConversion(record("a", "A"));
  s.recordConversion(record("b", "B"));
  s.recordUndone(true, s.undoStack().back());
  ASSERT_EQ(s.undoStack().size(), 1u);
  ASSERT_EQ(s.redoStack().size(), 1u);
  EXPECT_TRUE(s.closeWindow());
  EXPECT_TRUE(second->load());
  EXPECT_FALSE(s.isUndoPossible());
  EXPECT_TRUE(s.undoStack().empty());
  EXPECT_TRUE(s.redoStack().empty());
  EXPECT_FALSE(s.closeWindow()) << "closing a closed window ends nothing";
}

TEST(ConversionStateTest, TheKeyUndoesTheWordAtTheCaretElseRedoesTheOneJustUndone) {
  ConversionState s;
  int asked = 0;
  auto atCaret = [&](bool answer) {
    return [&asked, answer](const ConversionRecord&) { return ++asked, answer; };
  };
  EXPECT_EQ(s.toggleChoice(atCaret(true)), ConversionState::Toggle::nothing);
  s.recordConversion(record("a", "A"));
  EXPECT_EQ(s.toggleChoice(atCaret(false)), ConversionState::Toggle::undo) << "nothing undone: undo, which refuses a word no longer at the caret";
  EXPECT_EQ(asked, 0);
  s.recordConversion(record("b", "B"));
  s.recordUndone(true, s.undoStack().back());
  EXPECT_EQ(s.toggleChoice(atCaret(false)), ConversionState::Toggle::redo);
  EXPECT_EQ(s.toggleChoice(atCaret(true)), ConversionState::Toggle::undo);
  s.recordUndone(true, s.undoStack().back());
  EXPECT_EQ(s.toggleChoice(atCaret(true)), ConversionState::Toggle::redo);
  EXPECT_EQ(s.redoStack().back().original, "a") << "redone in the reverse order of the undos";
  s.recordConversion(record("c", "C"));
  EXPECT_TRUE(s.redoStack().empty()) << "a new conversion drops what was undone";
}

TEST(ConversionStateTest, TheCycleCountsItsPressesUntilAKeyOrAnUndoEndsIt) {
  ConversionState s;
  s.continueCycle({{}, "abc", "thai", "A", std::nullopt}, 1.0);
  s.continueCycle({{}, "abc", "lao", "AA", std::nullopt}, 2.0);
  ASSERT_TRUE(s.cycle());
  EXPECT_EQ(s.cycle()->step, 2);
  EXPECT_EQ(s.cycle()->at, 2.0);
  EXPECT_EQ(s.cycle()->text, "AA");
  s.endCycle();
  EXPECT_FALSE(s.cycle());
  s.continueCycle({}, 3.0);
  s.recordConversion(record("a", "A"));
  s.recordUndone(true, s.undoStack().back());
  EXPECT_FALSE(s.cycle());

  EXPECT_TRUE(s.busyNoticeDue(10.0));
  EXPECT_FALSE(s.busyNoticeDue(12.0));
  EXPECT_TRUE(s.busyNoticeDue(12.5));
}

}  // namespace
}  // namespace tessa
