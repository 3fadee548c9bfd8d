#pragma once
// One verified replacement of text in the focused field by synthetic
// keystrokes, for the word conversion and its undo and redo: the Deletes go
// on the turn the field was read, the deletion is verified before anything
// is typed, and the typed result is verified; an edit given up on after its
// keys were posted puts back what its own keys removed, or ends telling what
// may be gone.
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>

#include "engine/accessibility_text.h"
#include "engine/conversion_state.h"

namespace tessa {

class KeyboardEngine;

// `old`, which ends at the caret (or is the selection), becomes
// `replacement`.
struct EditPlan {
  std::string operation;  // names the action in log lines
  AXElement element;
  std::u16string before, old, after;
  bool oldIsSelection = false;
  std::u16string replacement;
  std::string switchTo;  // the layout to leave the user in; empty for none
  bool isPutBack = false;  // puts a word back: if this fails too, nothing more is tried
};

// How an edit ended: the replacement is in; or, given up on after its keys
// were posted, the old text put back, left as it was because the application
// never took them, or unaccounted for (the field shows what our keys cannot
// explain, or a put-back failed): the old text may be gone, and the user is
// told which text and how to get it back.
enum class EditEnd { replaced, putBack, leftAlone, unaccounted };

// `lost`, for an edit left unaccounted for: what the field shows missing of
// the old text and the text before it, when it can tell (empty otherwise).
using EditDone =
    std::function<void(KeyboardEngine&, EditEnd end, const std::string& why, const std::string& lost)>;

// Runs `plan`; `done` runs once it has ended. The conversion's edit is in
// flight until then.
void runScreenEdit(KeyboardEngine& e, EditPlan plan, EditDone done);

// Which key of the layout `sourceID` types each code point: plain keys
// before shifted ones before Option ones, lower key codes first. Kept until
// the layouts change.
const std::unordered_map<char32_t, ConversionState::KeyChord>& reverseKeyMap(KeyboardEngine& e,
                                                                            const std::string& sourceID);

}  // namespace tessa
