#include "correction/typo_tracker_link.h"

#include "engine/keyboard_engine.h"

namespace tessa::typo_tracker {

// The tracker is not built yet: the timing capture that it runs first for
// every word still runs, and the rest is skipped with a log line.
void wordCommitted(KeyboardEngine& engine, const std::vector<KeyStroke>& strokes, const std::string& sourceID) {
  engine.captureKeystrokeTiming(strokes, engine.flow.isUndoPossible);
  engine.log("TypoHabitTracker.handleWordCommitted(" + sourceID + "): not built yet - skipped");
}

void backspace(KeyboardEngine&) {}
void reset(KeyboardEngine&) {}

}  // namespace tessa::typo_tracker
