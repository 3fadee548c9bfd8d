#include "engine/typo_habit_tracker.h"

#include <cmath>

#include "typing/typing_flow_controller.h"
#include "dictionaries/typo_habit_store.h"
#include "base/unicode.h"
#include "engine/keyboard_engine.h"
#include "l10n/localization.h"
#include "engine/hud_notices.h"

namespace tessa {

// ------------------------------------------------------------ the engine's

TypoHabitStoreEnvironment typoHabitStoreEnvironment(KeyboardEngine& engine) {
  TypoHabitStoreEnvironment env;
  env.keychain = engine.platform().keychain;
  env.hasBundleIdentifier = engine.platform().hasBundleIdentifier;
  env.clock = &engine.clock();
  env.mainQueue = &engine.mainQueue();
  const AppLog* log = &engine.appLog();
  env.logError = [log](const std::string& line) { log->error(line, LogCategory::keyboard); };
  env.console = [log](const std::string& line) { log->console(line); };
  return env;
}

std::shared_ptr<TypoHabitStore> KeyboardEngine::typoHabitStore() {
  if (!typoLearning.store) typoLearning.store = TypoHabitStore::create(typoHabitStoreEnvironment(*this));
  return typoLearning.store;
}

std::shared_ptr<TypoHabitTracker> KeyboardEngine::typoHabitTracker() {
  if (!typoLearning.tracker) typoLearning.tracker = TypoHabitTracker::create(*this, typoHabitStore());
  return typoLearning.tracker;
}

// Where the typing flow hands over its words.

namespace {
class TypoLearningObserver final : public TypedWordObserver {
 public:
  explicit TypoLearningObserver(KeyboardEngine& engine) : engine_(engine) {}
  void wordCommitted(const std::vector<KeyStroke>& strokes, const std::string& sourceID) override {
    engine_.typoHabitTracker()->handleWordCommitted(strokes, sourceID);
  }
  void backspace() override { engine_.typoHabitTracker()->handleBackspace(); }
  void reset() override {
    // Nothing to forget when no word was ever handed over.
    if (engine_.typoLearning.tracker) engine_.typoLearning.tracker->reset();
  }

 private:
  KeyboardEngine& engine_;
};
}  // namespace

std::shared_ptr<TypedWordObserver> makeTypoLearningObserver(KeyboardEngine& engine) {
  return std::make_shared<TypoLearningObserver>(engine);
}

// ------------------------------------------------------------ the tracker

TypoHabitTracker::TypoHabitTracker(KeyboardEngine& engine, std::shared_ptr<TypoHabitStore> store)
    : engine_(engine), store_(std::move(store)) {}

std::shared_ptr<TypoHabitTracker> TypoHabitTracker::create(KeyboardEngine& engine,
                                                           std::shared_ptr<TypoHabitStore> store) {
  return std::shared_ptr<TypoHabitTracker>(new TypoHabitTracker(engine, std::move(store)));
}

double TypoHabitTracker::now() const { return engine_.clock().wallTime(); }

bool TypoHabitTracker::inTime(double since) const {
  // Whole milliseconds, so that exactly 2.5 s counts as in time whatever the
  // rounding of the clock's doubles.
  return std::llround((now() - since) * 1000.0) <= std::llround(timeLimitSeconds * 1000.0);
}

int TypoHabitTracker::erasureThreshold(int wordLength) {
  // ceil(0.8 × n) in integers: (4n + 4) / 5.
  int threshold = wordLength > 0 ? (4 * wordLength + 4) / 5 : 0;
  return threshold < 1 ? 1 : threshold;
}

void TypoHabitTracker::reset() {
  trackerState_ = TrackerState::idle();
  backspaceCount_ = 0;
}

void TypoHabitTracker::handleBackspace() {
  if (trackerState_.kind != TrackerState::Kind::waitingForBackspace) return;
  if (!inTime(trackerState_.timestamp)) {
    reset();
    return;
  }
  backspaceCount_ += 1;
  if (backspaceCount_ >= erasureThreshold(trackerState_.wordLength)) {
    // The retype window starts now, not when the word was committed.
    trackerState_ = TrackerState::waitingForRetype(trackerState_.priorWord, now());
    backspaceCount_ = 0;
  }
}

void TypoHabitTracker::handleWordCommitted(const std::vector<KeyStroke>& keystrokes, const std::string& sourceID) {
  if (keystrokes.empty()) return;
  engine_.captureKeystrokeTiming(keystrokes, engine_.conversion.isUndoPossible());

  const std::string word =
      std::string(trimWhitespace(engine_.renderInLayout(keystrokes, engine_.inputSourceWithID(sourceID)), true));
  if (word.empty()) return;

  if (trackerState_.kind == TrackerState::Kind::waitingForRetype && inTime(trackerState_.timestamp) &&
      !canonicallyEqual(word, trackerState_.priorWord) && store_) {
    HabitLearningResult result = store_->record(trackerState_.priorWord, word);
    if (result.kind == HabitLearningResult::Kind::learned && result.entry)
      announceLearnedHabit(result.entry->typo, result.entry->corrected);
  }
  // A retype becomes the prior word of the next pattern.
  backspaceCount_ = 0;
  trackerState_ = TrackerState::waitingForBackspace(word, static_cast<int>(keystrokes.size()), now());
}

void TypoHabitTracker::announceLearnedHabit(const std::string& typo, const std::string& corrected) {
  // The words are substituted as text, never read as a format.
  const std::string message = formatLocalized(engine_.localized("habit_learned"), {typo, corrected});
  std::weak_ptr<TypoHabitTracker> weak = weak_from_this();
  DisplayState state = DisplayState::actionable(message, engine_.localized("habit_learned_sub"), "wand.and.stars",
                                                HudColor::green, engine_.localized("habit_cancel"), [weak, typo] {
                                                  if (auto self = weak.lock()) self->forgetLearnedHabit(typo);
                                                });
  // Queued: the notice appears after the keystroke has been handled.
  showHUDNotice(engine_, std::move(state), 2, /*positionBelowStatusButton=*/false, /*positionTopCenter=*/true,
                /*persistent=*/false);
}

void TypoHabitTracker::forgetLearnedHabit(const std::string& typo) {
  if (store_) store_->removeHabit(typo);
}

}  // namespace tessa
