// Placing the notice next to the caret: which screen a point belongs to and
// how a panel is kept within its margins (the caret read from a field is
// tested with the engine, tests/engine/caret_in_field_test.cpp).
#include <gtest/gtest.h>

#include "hud/caret_positioning.h"

namespace tessa::test {
namespace {

using CaretPositioning::Point;

TEST(CaretScreens, APointBetweenScreensBelongsToTheNearerOne) {
  FixedScreens screens({ScreenInfo{Rect{0, 0, 100, 100}, Rect{0, 0, 100, 100}},
                        ScreenInfo{Rect{300, 0, 100, 100}, Rect{300, 0, 100, 100}}});
  EXPECT_EQ(CaretPositioning::screenContaining(&screens, {150, 50})->frame.x, 0);
  EXPECT_EQ(CaretPositioning::screenContaining(&screens, {250, 50})->frame.x, 300);
  EXPECT_EQ(CaretPositioning::screenContaining(&screens, {200, 50})->frame.x, 0);  // a tie: the earlier one
  EXPECT_EQ(CaretPositioning::screenContaining(&screens, {350, 50})->frame.x, 300);
  FixedScreens none;
  EXPECT_FALSE(CaretPositioning::screenContaining(&none, {0, 0}).has_value());
}

TEST(CaretScreens, ClampingKeepsMarginsAndFavoursLeftAndBottom) {
  ScreenInfo small{Rect{0, 0, 200, 100}, Rect{0, 0, 200, 100}};
  FixedScreens screens({small});
  EXPECT_EQ(CaretPositioning::clampToScreen(&screens, small, Rect{-20, 10, 300, 20}), (Point{4, 10}));
  EXPECT_EQ(CaretPositioning::clampToScreen(&screens, small, Rect{190, 95, 50, 20}), (Point{146, 76}));
  EXPECT_EQ(CaretPositioning::clampToScreen(&screens, small, Rect{10, 10, 50, 500}), (Point{10, 4}));
  // Without a screen, the one holding the rectangle's centre; none at all
  // leaves the origin alone.
  EXPECT_EQ(CaretPositioning::clampToScreen(&screens, std::nullopt, Rect{-100, 10, 20, 20}), (Point{4, 10}));
  FixedScreens none;
  EXPECT_EQ(CaretPositioning::clampToScreen(&none, std::nullopt, Rect{-100, 10, 20, 20}), (Point{-100, 10}));
}

}  // namespace
}  // namespace tessa::test
