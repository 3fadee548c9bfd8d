// Placing the notice next to the caret of a field on the simulated desktop:
// the coordinate flip, the room above, the screen margins, and every way the
// caret can be missing.
#include <gtest/gtest.h>

#include "engine/flow_fixture.h"
#include "hud/caret_positioning.h"

namespace tessa::test {
namespace {

using CaretPositioning::Point;

class CaretTest : public FlowTest {
 protected:
  // The simulated field draws each UTF-16 unit 8 points wide, 3 points in
  // from its frame, on an 18-point line: this puts the caret at (x, y).
  void caretAt(double x, double y, int64_t selectionLength = 0) {
    field().setText(std::string(200, 'a'));
    field().setFrame(Rect{x - 3, y - 3, 2000, 24});
    field().setSelection({0, selectionLength});
  }
  CaretPositioning::CaretSources sources() {
    return {engine->platform().accessibility, engine->platform().screens,
            [this](const std::string& line) { engine->log(line); }};
  }
};

TEST_F(CaretTest, ThePanelSitsAboveTheCaretWhenThereIsRoom) {
  caretAt(600, 400);
  EXPECT_EQ(CaretPositioning::readCaretRect(sources()), (Rect{600, 400, 0, 18}));
  auto origin = CaretPositioning::caretScreenRect(sources(), 300, 60);
  ASSERT_TRUE(origin.has_value());
  EXPECT_EQ(*origin, (Point{450, 508}));  // 900 - 400 + 8; centred on the caret
}

TEST_F(CaretTest, NearTheTopThePanelGoesBelowAndStaysOnScreen) {
  caretAt(100, 20);
  auto origin = CaretPositioning::caretScreenRect(sources(), 300, 60);
  ASSERT_TRUE(origin.has_value());
  // No room above (880 + 8 + 60 > 875): 8 points under the caret's bottom
  // edge, and pulled in to the left margin.
  EXPECT_EQ(*origin, (Point{4, 900 - 38 - 60 - 8}));
}

TEST_F(CaretTest, AWholeSelectedLineIsNoCaret) {
  caretAt(100, 400, 38);  // 304 points wide
  EXPECT_FALSE(CaretPositioning::readCaretRect(sources()).has_value());
  EXPECT_FALSE(logged("CaretPositioning"));
  caretAt(100, 400, 25);  // 200 points: still a caret
  EXPECT_TRUE(CaretPositioning::readCaretRect(sources()).has_value());
}

TEST_F(CaretTest, ACaretOffEveryScreenIsIgnoredWithALogLine) {
  caretAt(5000, 5000);
  EXPECT_FALSE(CaretPositioning::caretScreenRect(sources(), 300, 60).has_value());
  EXPECT_TRUE(logged("CaretPositioning: caret rect (5000.0, 5000.0, 0.0, 18.0) is not on any screen - ignoring it"));
}

TEST_F(CaretTest, ACaretJustOffTheEdgeStillCounts) {
  caretAt(-0.5, 400);  // its centre is half a point left of the screen
  EXPECT_TRUE(CaretPositioning::readCaretRect(sources()).has_value());
  caretAt(-2, 400);
  EXPECT_FALSE(CaretPositioning::readCaretRect(sources()).has_value());
}

TEST_F(CaretTest, ApplicationsThatDoNotAnswerGiveNoCaretSilently) {
  caretAt(600, 400);
  desk.frontmostApplication()->axMode = SimAXMode::timesOut;
  EXPECT_FALSE(CaretPositioning::caretScreenRect(sources(), 300, 60).has_value());
  desk.frontmostApplication()->axMode = SimAXMode::readable;
  desk.frontmostApplication()->hasFocusedField = false;
  EXPECT_FALSE(CaretPositioning::caretScreenRect(sources(), 300, 60).has_value());
  EXPECT_FALSE(logged("CaretPositioning"));
}

TEST_F(CaretTest, NoScreensMeansNoCaret) {
  caretAt(600, 400);
  desk.screens().setScreens({});
  EXPECT_FALSE(CaretPositioning::readCaretRect(sources()).has_value());
}

}  // namespace
}  // namespace tessa::test
