#include "platform/sim/sim_text_field.h"

#include <algorithm>

#include "base/unicode.h"

namespace tessa {

void SimTextField::setText(const std::string& utf8) {
  text_ = toUtf16(utf8);
  anchor_ = focus_ = static_cast<int64_t>(text_.size());
}

std::string SimTextField::text() const { return toUtf8(text_); }

void SimTextField::clamp() {
  auto n = static_cast<int64_t>(text_.size());
  anchor_ = std::clamp<int64_t>(anchor_, 0, n);
  focus_ = std::clamp<int64_t>(focus_, 0, n);
}

void SimTextField::setCaret(int64_t position) {
  anchor_ = focus_ = position;
  clamp();
}

void SimTextField::setSelection(TextRange range) {
  anchor_ = range.location;
  focus_ = range.location + range.length;
  clamp();
}

TextRange SimTextField::selection() const {
  int64_t lo = std::min(anchor_, focus_), hi = std::max(anchor_, focus_);
  return {lo, hi - lo};
}

std::string SimTextField::selectedText() const {
  auto r = selection();
  return toUtf8(std::u16string_view(text_).substr(static_cast<size_t>(r.location), static_cast<size_t>(r.length)));
}

int64_t SimTextField::previousBoundary(int64_t pos) const {
  if (pos <= 0) return 0;
  if (unit_ == DeletionUnit::markWithBase) {
    auto at = static_cast<size_t>(pos);
    while (at > 0) {
      if (!isNonspacingMark(decodeUtf16Before(text_, at))) break;
    }
    return static_cast<int64_t>(at);
  }
  if (unit_ == DeletionUnit::codePoint) {
    if (pos >= 2 && isTrailSurrogate(text_[pos - 1]) && isLeadSurrogate(text_[pos - 2])) return pos - 2;
    return pos - 1;
  }
  return static_cast<int64_t>(previousGraphemeBoundary(text_, static_cast<size_t>(pos)));
}

int64_t SimTextField::nextBoundary(int64_t pos) const {
  auto n = static_cast<int64_t>(text_.size());
  if (pos >= n) return n;
  if (unit_ == DeletionUnit::codePoint) {
    if (pos + 1 < n && isLeadSurrogate(text_[pos]) && isTrailSurrogate(text_[pos + 1])) return pos + 2;
    return pos + 1;
  }
  return static_cast<int64_t>(nextGraphemeBoundary(text_, static_cast<size_t>(pos)));
}

void SimTextField::insert(const std::u16string& text) {
  auto r = selection();
  text_.replace(static_cast<size_t>(r.location), static_cast<size_t>(r.length), text);
  anchor_ = focus_ = r.location + static_cast<int64_t>(text.size());
}

void SimTextField::deleteBackward() {
  auto r = selection();
  if (r.length > 0) {
    text_.erase(static_cast<size_t>(r.location), static_cast<size_t>(r.length));
    anchor_ = focus_ = r.location;
    return;
  }
  int64_t from = previousBoundary(focus_);
  text_.erase(static_cast<size_t>(from), static_cast<size_t>(focus_ - from));
  anchor_ = focus_ = from;
}

bool SimTextField::apply(const Event& event) {
  if (event.type != EventType::keyDown) return false;
  bool shift = (event.flags & flags::shift) != 0;
  switch (event.keyCode) {
    case keycode::deleteKey:
      deleteBackward();
      return true;
    case keycode::left:
    case keycode::right: {
      bool left = event.keyCode == keycode::left;
      auto r = selection();
      if (shift) {
        focus_ = left ? previousBoundary(focus_) : nextBoundary(focus_);
      } else if (r.length > 0) {
        anchor_ = focus_ = left ? r.location : r.location + r.length;
      } else {
        anchor_ = focus_ = left ? previousBoundary(focus_) : nextBoundary(focus_);
      }
      return true;
    }
    case keycode::returnKey:
    case keycode::keypadEnter:
      insert(u"\n");
      return true;
    default:
      break;
  }
  if (event.unicode.empty() || (event.flags & (flags::command | flags::control))) return false;
  insert(toUtf16(event.unicode));
  return true;
}

std::optional<std::string> SimTextField::substring(TextRange range) const {
  auto n = static_cast<int64_t>(text_.size());
  if (range.location < 0 || range.length < 0 || range.location + range.length > n) return std::nullopt;
  return toUtf8(std::u16string_view(text_).substr(static_cast<size_t>(range.location), static_cast<size_t>(range.length)));
}

Rect SimTextField::boundsFor(TextRange range) const {
  constexpr double kUnitWidth = 8, kLineHeight = 18, kInset = 3;
  return Rect{frame_.x + kInset + kUnitWidth * static_cast<double>(range.location), frame_.y + kInset,
              kUnitWidth * static_cast<double>(range.length), kLineHeight};
}

}  // namespace tessa
