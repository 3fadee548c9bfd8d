#pragma once
// Holds, re-targets and releases the keystrokes typed around an input-source
// switch, and keeps the word being typed. Main thread only.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/value_types.h"
#include "platform/events.h"

namespace tessa {

struct TypingFlowState {
  enum class Kind { idle, transitioning, correcting };
  Kind kind = Kind::idle;
  std::optional<std::string> targetLanguage;
  uint64_t generation = 0;
};

class TypingFlowController {
 public:
  TypingFlowController() = default;
  const TypingFlowState& state() const { return state_; }
  uint64_t generation() const { return generation_; }
  const std::vector<KeyStroke>& strokes() const { return strokes_; }

  // Used by the key-event handler (declared for it; defined by the typing flow).
  bool hasQueuedEvents() const;
  void enqueue(Event event);
  void enqueueAll(std::vector<Event> events);
  void releaseQueuedEvents();
  void clear(bool incrementGeneration, const std::string& caller, int line);
  // The event to pass on (possibly changed) or none to swallow it.
  std::optional<Event> processEvent(const Event& event, EventType type);

 private:
  TypingFlowState state_;
  std::vector<KeyStroke> strokes_;
  std::optional<std::string> lastCommittedWord_;
  uint64_t generation_ = 0;
};

}  // namespace tessa
