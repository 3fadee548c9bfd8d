#pragma once
// Where the typing flow hands its words to the typo-habit tracker.
#include <string>
#include <vector>

#include "engine/value_types.h"

namespace tessa {
class KeyboardEngine;

namespace typo_tracker {
// A word was committed at a boundary, typed in the layout `sourceID`.
void wordCommitted(KeyboardEngine& engine, const std::vector<KeyStroke>& strokes, const std::string& sourceID);
void backspace(KeyboardEngine& engine);
// The word buffer was cleared.
void reset(KeyboardEngine& engine);
}  // namespace typo_tracker
}  // namespace tessa
