#pragma once
// Watches the committed words of the typing flow for one pattern: a word is
// finished, most of it erased with Backspace within a moment, and a different
// word typed in its place. That retype is recorded as a correction from the
// erased word to the new one; once learned, a notice offers to forget it.
// Main thread only.
#include <memory>
#include <string>
#include <vector>

#include "engine/value_types.h"

namespace tessa {

class KeyboardEngine;
class TypoHabitStore;
class TypedWordObserver;

// The typing flow's words reach the engine's tracker through this observer;
// the tracker itself is made on the first committed word.
std::shared_ptr<TypedWordObserver> makeTypoLearningObserver(KeyboardEngine& engine);

// What the typo habit store runs on, taken from the engine.
struct TypoHabitStoreEnvironment;
TypoHabitStoreEnvironment typoHabitStoreEnvironment(KeyboardEngine& engine);

class TypoHabitTracker : public std::enable_shared_from_this<TypoHabitTracker> {
 public:
  // Both time limits, inclusive.
  static constexpr double timeLimitSeconds = 2.5;

  struct TrackerState {
    enum class Kind { waitingForBackspace, waitingForRetype, idle };
    Kind kind = Kind::idle;
    std::string priorWord;
    int wordLength = 0;    // waitingForBackspace: keystrokes of the committed word
    double timestamp = 0;  // wall-clock seconds: the commit, or the erasure threshold
    bool operator==(const TrackerState&) const = default;

    static TrackerState idle() { return {}; }
    static TrackerState waitingForBackspace(std::string word, int length, double t) {
      return {Kind::waitingForBackspace, std::move(word), length, t};
    }
    static TrackerState waitingForRetype(std::string word, double t) {
      return {Kind::waitingForRetype, std::move(word), 0, t};
    }
  };

  // The engine outlives the tracker (it owns it).
  static std::shared_ptr<TypoHabitTracker> create(KeyboardEngine& engine, std::shared_ptr<TypoHabitStore> store);

  void reset();
  void handleBackspace();
  void handleWordCommitted(const std::vector<KeyStroke>& keystrokes, const std::string& sourceID);
  void announceLearnedHabit(const std::string& typo, const std::string& corrected);
  void forgetLearnedHabit(const std::string& typo);

  const TrackerState& trackerState() const { return trackerState_; }
  int backspaceCount() const { return backspaceCount_; }
  // Backspaces that erase "most" of a word of `wordLength` keystrokes.
  static int erasureThreshold(int wordLength);

 private:
  TypoHabitTracker(KeyboardEngine& engine, std::shared_ptr<TypoHabitStore> store);
  double now() const;
  // Whether no more than the time limit has passed since `since`.
  bool inTime(double since) const;

  KeyboardEngine& engine_;
  std::shared_ptr<TypoHabitStore> store_;
  TrackerState trackerState_;
  int backspaceCount_ = 0;
};

}  // namespace tessa
