#pragma once
// The wrong-layout conversion's state, with one owner: the undo and redo
// stacks and the undo window they live in, the running Control+Shift+X cycle
// on one word, the edit in flight, and what the edits learn about layouts
// and fields. Its methods are the only way in and out, so every rule of undo,
// redo and the cycle can be found here; the edits themselves are
// word_conversion.cpp's and screen_edit.cpp's. Main thread only.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/task_runner.h"
#include "platform/accessibility.h"

namespace tessa {

// One conversion of a word, as undo and redo replay it.
struct ConversionRecord {
  std::string original;
  std::string converted;
  std::string fromSourceID;
  std::string toSourceID;
  std::optional<AXElement> element;
  double at = 0;
};

class ConversionState {
 public:
  // A key with the modifiers it needs (shift, option).
  struct KeyChord {
    uint16_t keyCode = 0;
    uint64_t flags = 0;
    bool operator==(const KeyChord&) const = default;
  };

  // ------------------------------------------------------- the undo window
  // Undo and redo are possible only while the window is open; a conversion,
  // undo or redo opens it again for its full length.
  bool isUndoPossible() const { return undoPossible_; }
  // Opens the window, or starts it again; `closer` is the task that closes
  // it when it runs out (the one before it is cancelled).
  void restartWindow(TaskHandle closer);
  // Opens the window with no end of its own (the caller closes it).
  void openWindow() { undoPossible_ = true; }
  // Closes the window: both stacks are emptied and its timer cancelled.
  // True when it was open, so the caller ends what rides on it.
  bool closeWindow();

  // ------------------------------------------------------ undo and redo
  const std::vector<ConversionRecord>& undoStack() const { return undo_; }
  const std::vector<ConversionRecord>& redoStack() const { return redo_; }
  // A new conversion: undoable, and nothing undone is redone after it.
  void recordConversion(ConversionRecord record);
  // `record`, the last of one stack, was undone (or redone): it moves to
  // the other one, and any cycle ends.
  void recordUndone(bool undo, ConversionRecord record);
  // What the undo-or-redo key does: undo while the undo stack's last
  // conversion is the word at the caret (`undoAtCaret` says whether it is;
  // asked only when both stacks hold one), else redo the one just undone.
  enum class Toggle { nothing, undo, redo };
  Toggle toggleChoice(const std::function<bool(const ConversionRecord&)>& undoAtCaret) const;

  // ------------------------------------------------------------ the cycle
  // Control+Shift+X pressed again on the word it just converted goes on to
  // the next layout: the word's keys, the layouts it started and now is in,
  // its text on screen, and how many presses it has had.
  struct Cycle {
    std::vector<KeyChord> keys;
    std::string originalSourceID;
    std::string currentSourceID;
    std::string text;
    std::optional<AXElement> element;
    int step = 0;
    double at = 0;  // uptime of its last press
  };
  const std::optional<Cycle>& cycle() const { return cycle_; }
  // The cycle once the word became `cycle.text`: its step one on from the
  // running cycle's, or the first.
  void continueCycle(Cycle cycle, double now);
  // A key typed, an undo or a redo: the next press reads its word afresh.
  void endCycle() { cycle_.reset(); }

  // ------------------------------------------------------ the edit in flight
  bool isEditInFlight() const { return editInFlight_; }
  void setEditInFlight(bool inFlight) { editInFlight_ = inFlight; }
  // A press while an edit runs is told so at most every two seconds:
  // whether it is due at `now` (and, when it is, counted as said).
  bool busyNoticeDue(double now);

  // ------------------------------------------- what the edits learn and keep
  // Per layout: which key types each code point, until the layouts change.
  std::map<std::string, std::unordered_map<char32_t, KeyChord>>& keyMaps() { return keyMaps_; }
  void forgetKeyMaps() { keyMaps_.clear(); }
  // How many code points one Delete took off the end of a character (a
  // grapheme cluster as it stood before the caret, marks that sit on the
  // blank before a word with it), per application by bundle identifier: a
  // field deletes a code point, a mark with the character it sits on, or a
  // whole character, by toolkit and by character.
  std::optional<size_t> deleteTakes(const std::string& bundleID, const std::u16string& character) const;
  void noteDeleteTakes(const std::string& bundleID, const std::u16string& character, size_t codePoints);

  // ------------------------------------------ the keys held for a hot key
  // Held from the press of a hot key that edits the text until the edit it
  // starts is over, or until it turns out to start none: the hold ends when
  // its last holder lets go of it.
  void setHotKeyHold(std::shared_ptr<void> hold) { hotKeyHold_ = std::move(hold); }
  std::shared_ptr<void> takeHotKeyHold() { return std::move(hotKeyHold_); }

 private:
  bool undoPossible_ = false;
  TaskHandle windowTimer_;
  std::vector<ConversionRecord> undo_;
  std::vector<ConversionRecord> redo_;
  std::optional<Cycle> cycle_;
  bool editInFlight_ = false;
  std::optional<double> lastBusyNotice_;
  std::map<std::string, std::unordered_map<char32_t, KeyChord>> keyMaps_;
  std::map<std::string, std::map<std::u16string, size_t>> deleteTakes_;
  std::shared_ptr<void> hotKeyHold_;
};

}  // namespace tessa
