#pragma once
// Where the text caret of the focused application is on screen, and where a
// notice panel goes next to it. Stateless: every call asks the focused
// application again, nothing is cached.
//
// Two coordinate systems meet here. Accessibility reports rectangles with the
// origin at the top-left corner of the primary screen and y growing
// downwards; screens and windows use the origin at the bottom-left corner of
// the primary screen with y growing upwards. A point converts as
// y' = (primary frame's max-y) - y.
#include <functional>
#include <optional>
#include <string>

#include "platform/accessibility.h"
#include "platform/screens.h"

namespace tessa {

namespace CaretPositioning {

// Where the caret is read from: the focused application through
// Accessibility, the screens, and the diagnostic log for refusals.
struct CaretSources {
  Accessibility* accessibility = nullptr;
  const Screens* screens = nullptr;
  std::function<void(const std::string&)> log;
};

struct Point {
  double x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// Bounds how long an unresponsive application can hold the caller per query.
inline constexpr double kMessagingTimeout = 0.3;  // [design]
inline constexpr double kMaxCaretExtent = 200;  // [design] larger rectangles are a selection, not a caret
inline constexpr double kScreenTolerance = 1;
inline constexpr double kCaretGap = 8;
inline constexpr double kScreenMargin = 4;  // [design]

// The caret rectangle in Accessibility coordinates, or none.
std::optional<Rect> readCaretRect(const CaretSources& sources);
// The origin (window-system coordinates) for a panel of the given size next
// to the caret: 8 points above it, or 8 points below it when there is no
// room above; none when there is no usable caret.
std::optional<Point> caretScreenRect(const CaretSources& sources, double width, double height);
// The screen whose frame holds the point, else the one whose centre is
// nearest, else the main screen (which may be none).
std::optional<ScreenInfo> screenContaining(const Screens* screens, Point point);
// Moves the rectangle's origin inside the visible frame of `screen` (or, when
// none is given, of the screen holding the rectangle's centre), keeping a
// 4-point margin; a rectangle larger than the frame keeps to its left and
// bottom margins.
Point clampToScreen(const Screens* screens, const std::optional<ScreenInfo>& screen, Rect rect);

// "(x, y, w, h)" with one decimal, as the log lines print rectangles.
std::string describe(const Rect& r);

}  // namespace CaretPositioning
}  // namespace tessa
