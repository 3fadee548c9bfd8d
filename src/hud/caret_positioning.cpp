#include "hud/caret_positioning.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>


namespace tessa::CaretPositioning {

namespace {
double maxX(const Rect& r) { return r.x + r.width; }
double maxY(const Rect& r) { return r.y + r.height; }
double midX(const Rect& r) { return r.x + r.width / 2; }
double midY(const Rect& r) { return r.y + r.height / 2; }

bool contains(const Rect& r, Point p) { return p.x >= r.x && p.x < maxX(r) && p.y >= r.y && p.y < maxY(r); }

Rect grown(const Rect& r, double by) { return Rect{r.x - by, r.y - by, r.width + 2 * by, r.height + 2 * by}; }

bool isPlausibleCaret(const Rect& r) {
  if (!std::isfinite(r.x) || !std::isfinite(r.y) || !std::isfinite(r.width) || !std::isfinite(r.height)) return false;
  // A zero width is a plain caret; a negative one is no rectangle at all.
  return r.height > 0 && r.height <= kMaxCaretExtent && r.width >= 0 && r.width <= kMaxCaretExtent;
}
}  // namespace

std::string describe(const Rect& r) { return fmt::format("({:.1f}, {:.1f}, {:.1f}, {:.1f})", r.x, r.y, r.width, r.height); }

std::optional<Rect> readCaretRect(const CaretSources& sources) {
  Accessibility* ax = sources.accessibility;
  auto log = [&sources](const std::string& line) {
    if (sources.log) sources.log(line);
  };
  if (!ax) return std::nullopt;
  auto focused = ax->focusedElement(kMessagingTimeout);
  if (!focused.ok()) return std::nullopt;
  auto range = ax->selectedTextRange(*focused.value);
  if (!range.ok()) return std::nullopt;
  if (range.value->location < 0 || range.value->length < 0) {
    log("CaretPositioning: AXValueGetValue failed to decode the selection range");
    return std::nullopt;
  }
  // The platform layer hands back decoded rectangles; one it could not decode
  // arrives as an error and counts as no answer.
  auto bounds = ax->boundsForRange(*focused.value, *range.value);
  if (!bounds.ok()) return std::nullopt;
  Rect caret = *bounds.value;
  if (!isPlausibleCaret(caret)) return std::nullopt;

  const Screens* screens = sources.screens;
  std::vector<ScreenInfo> list = screens ? screens->all() : std::vector<ScreenInfo>{};
  if (list.empty()) return std::nullopt;
  double primaryMaxY = maxY(list.front().frame);
  Point centre{midX(caret), primaryMaxY - midY(caret)};
  for (const auto& s : list)
    if (contains(grown(s.frame, kScreenTolerance), centre)) return caret;
  log("CaretPositioning: caret rect " + describe(caret) + " is not on any screen - ignoring it");
  return std::nullopt;
}

std::optional<Point> caretScreenRect(const CaretSources& sources, double width, double height) {
  auto caret = readCaretRect(sources);
  if (!caret) return std::nullopt;
  const Screens* screens = sources.screens;
  std::vector<ScreenInfo> list = screens ? screens->all() : std::vector<ScreenInfo>{};
  if (list.empty()) return std::nullopt;
  double primaryMaxY = maxY(list.front().frame);
  double top = primaryMaxY - caret->y;
  double mid = midX(*caret);
  auto screen = screenContaining(screens, Point{mid, top});
  double y = top + kCaretGap;
  if (screen && maxY(screen->visibleFrame) < y + height) y = primaryMaxY - maxY(*caret) - height - kCaretGap;
  return clampToScreen(screens, screen, Rect{mid - width / 2, y, width, height});
}

std::optional<ScreenInfo> screenContaining(const Screens* screens, Point point) {
  if (!screens) return std::nullopt;
  std::vector<ScreenInfo> list = screens->all();
  for (const auto& s : list)
    if (contains(s.frame, point)) return s;
  if (list.empty()) return screens->main();
  const ScreenInfo* best = nullptr;
  double bestDistance = std::numeric_limits<double>::infinity();
  for (const auto& s : list) {
    double d = std::hypot(midX(s.frame) - point.x, midY(s.frame) - point.y);
    if (d < bestDistance) {  // strict: on a tie the earlier screen stays
      bestDistance = d;
      best = &s;
    }
  }
  return *best;
}

Point clampToScreen(const Screens* screens, const std::optional<ScreenInfo>& screen, Rect rect) {
  std::optional<ScreenInfo> target = screen;
  if (!target) target = screenContaining(screens, Point{midX(rect), midY(rect)});
  if (!target) return Point{rect.x, rect.y};
  const Rect& v = target->visibleFrame;
  double x = std::min(std::max(rect.x, v.x + kScreenMargin), std::max(maxX(v) - rect.width - kScreenMargin, v.x + kScreenMargin));
  double y = std::min(std::max(rect.y, v.y + kScreenMargin), std::max(maxY(v) - rect.height - kScreenMargin, v.y + kScreenMargin));
  return Point{x, y};
}

}  // namespace tessa::CaretPositioning
