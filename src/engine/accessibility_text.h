#pragma once
// Reading the focused text field through Accessibility, for the actions that
// edit another application's text: every one of them reads the field, acts,
// and reads it again to verify.
#include <optional>
#include <string>

#include "platform/accessibility.h"

namespace tessa {

class KeyboardEngine;

struct FocusedText {
  AXElement element;
  std::u16string text;  // the field's whole value, in the units its ranges count
  TextRange selection;
  bool operator==(const FocusedText&) const = default;
};

enum class FocusedTextProblem { noAccess, noFocusedField, secureField, unreadable };

struct FocusedTextRead {
  std::optional<FocusedText> text;
  FocusedTextProblem problem = FocusedTextProblem::unreadable;
};

// Reads the focused field's value and selection; each read's cost is counted
// in the engine's Accessibility statistics.
FocusedTextRead readFocusedText(KeyboardEngine& engine);

// Reads the value and selection of `element`, focused or not: for following
// a field the engine has just read as the focused one while its posted keys
// land (a field that lost the focus no longer receives them, so it does not
// come to show what they type).
FocusedTextRead readFieldText(KeyboardEngine& engine, const AXElement& element);

}  // namespace tessa
