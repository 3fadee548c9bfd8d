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

}  // namespace tessa
