// The conversion state's own rules: the undo window and what the
// undo-or-redo key chooses.
#include "engine/conversion_state.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

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
    return [&asked, answer](const ConversionRecord&) {
      ++asked;
      return answer;
    };
  };
  EXPECT_EQ(s.toggleChoice(atCaret(true)), ConversionState::Toggle::nothing);
  s.recordConversion(record("a", "A"));
  // Nothing undone: undo, which refuses a word no longer at the caret.
  EXPECT_EQ(s.toggleChoice(atCaret(false)), ConversionState::Toggle::undo);
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

}  // namespace
}  // namespace tessa
