#pragma once
// One application's focused text field: its text, caret and selection in
// UTF-16 units (as the platform's Accessibility counts), and how it applies the
// key events that reach it.
#include <string>

#include "platform/accessibility.h"
#include "platform/events.h"

namespace tessa {

// What one Delete takes before the caret: a code point; a whole
// user-perceived character; or a code point, and when it is a nonspacing
// mark, the character it sits on with it (as terminals' line editors and GTK
// fields do before a blank or a Latin letter).
enum class DeletionUnit { codePoint, graphemeCluster, markWithBase };

class SimTextField {
 public:
  // UTF-8 in and out; positions in UTF-16 units.
  void setText(const std::string& utf8);  // caret moves to the end
  std::string text() const;
  const std::u16string& utf16() const { return text_; }
  // Collapses the selection to `position` (clamped).
  void setCaret(int64_t position);
  void setSelection(TextRange range);  // clamped; the caret ends at its end
  int64_t caret() const { return focus_; }
  TextRange selection() const;
  std::string selectedText() const;

  void setSecure(bool secure) { secure_ = secure; }
  bool secure() const { return secure_; }
  void setDeletionUnit(DeletionUnit unit) { unit_ = unit; }
  DeletionUnit deletionUnit() const { return unit_; }
  void setRole(std::string role) { role_ = std::move(role); }
  const std::string& role() const { return role_; }
  void setFrame(Rect frame) { frame_ = frame; }
  const Rect& frame() const { return frame_; }

  // Applies a key event that reached the application: Delete removes the
  // selection or one unit before the caret; Left/Right move the caret (Shift
  // extends the selection); Return inserts a line feed; any other key down
  // with text and without Command or Control inserts its text, replacing the
  // selection. Everything else is ignored. Answers whether it acted.
  bool apply(const Event& event);

  // Editing primitives.
  void insert(const std::u16string& text);
  void deleteBackward();

  // The text of a UTF-16 range; none when out of bounds.
  std::optional<std::string> substring(TextRange range) const;
  // A deterministic rectangle for a range: 8 points per UTF-16 unit on one
  // 18-point line inside the frame (a caret when the length is 0).
  Rect boundsFor(TextRange range) const;

 private:
  int64_t previousBoundary(int64_t pos) const;
  int64_t nextBoundary(int64_t pos) const;
  void clamp();

  std::u16string text_;
  int64_t anchor_ = 0, focus_ = 0;
  bool secure_ = false;
  DeletionUnit unit_ = DeletionUnit::graphemeCluster;
  std::string role_ = "AXTextField";
  Rect frame_{200, 300, 480, 24};
};

}  // namespace tessa
