#pragma once
// Holds, re-targets and releases the keystrokes typed around an input-source
// switch, and keeps the word being typed. Main thread only.
//
// A hold starts when a switch is requested. Keys typed meanwhile are held in
// order. The switch is confirmed by whichever witness sees it first (the
// selected-source-changed notification, the switch request's poll, or the
// language poll); 0.025 s later the held keys are replayed 0.003 s apart, each
// re-typed for the confirmed layout from its key code and modifiers. Keys that
// arrive during the replay join the end of the queue, so nothing overtakes.
// When no witness confirms within 0.75 s the keys are released anyway, for
// whatever layout is then current. A key keeps the layout of the switch it
// was held for: when another switch starts before that one is confirmed, the
// keys already held stay in line behind it but still go out for their own
// switch's source. Held keys are dropped only when the focus moves, secure
// input begins, another application comes forward or the user clicks
// elsewhere, and every drop is logged and counted.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <source_location>
#include <string>
#include <string_view>
#include <vector>

#include "base/observable.h"
#include "base/task_runner.h"
#include "typing/key_stroke.h"
#include "platform/accessibility.h"
#include "platform/events.h"
#include "platform/input_sources.h"

namespace tessa {

// What the typing flow needs of the rest of the system, and nothing more:
// time and the main queue, the current layout, posting and re-targeting
// keys, the focused element, and the counters it keeps. The engine provides
// it; a test can provide a small fake.
class TypingFlowHost {
 public:
  virtual ~TypingFlowHost() = default;
  virtual double uptime() const = 0;
  // Runs `task` on the main queue after `delay` (or on the next turn) unless
  // the host is gone by then.
  virtual TaskHandle afterOnMain(double delay, std::function<void()> task) = 0;
  virtual void onMain(std::function<void()> task) = 0;
  virtual void log(const std::string& line) = 0;

  virtual std::optional<std::string> currentInputSourceID() const = 0;
  // "en", "th", "lo", … of a source.
  virtual std::string languageOfSource(const std::string& sourceID) = 0;
  // The language of the layout last reported current.
  virtual std::string currentLanguage() const = 0;
  virtual std::optional<AXElement> focusedElement() = 0;
  // Asks Accessibility afresh, bounded by `timeout`.
  virtual AXResult<AXElement> focusedElementNow(double timeout) = 0;
  virtual void post(const Event& event) = 0;
  // Gives a held key the text it types in the layout `sourceID`, or in the
  // current layout.
  virtual void retarget(Event& event, const std::optional<std::string>& sourceID) = 0;
  virtual void resyncModifiers() = 0;
  // The word the strokes type in the layout of `sourceID`.
  virtual std::string renderWord(const std::vector<KeyStroke>& strokes, const std::string& sourceID) = 0;
  virtual Subscription observeEnabledSourcesChanged(std::function<void()> callback) = 0;
  // The enabled layouts changed: cached layout tables are stale.
  virtual void forgetLayoutCaches() = 0;

  virtual void noteSwitchConfirmed() = 0;
  virtual void noteSwitchTimedOut() = 0;
  virtual void noteKeystrokesDropped(size_t count) = 0;
  // The held-key bookkeeping of the switcher key's own press is over, unless
  // that press is still speculating.
  virtual void holdEnded() = 0;
  virtual void liveBufferChanged() = 0;
};

struct TypingFlowState {
  enum class Kind { idle, transitioning, correcting };
  Kind kind = Kind::idle;
  std::optional<std::string> targetLanguage;
  uint64_t generation = 0;
  bool isIdle() const { return kind == Kind::idle; }
};

// Told about the words the flow sees through, so that whoever learns from
// them (the typo-habit tracker) is not known to the flow.
class TypedWordObserver {
 public:
  virtual ~TypedWordObserver() = default;
  // A word was committed at a boundary, typed in the layout `sourceID`.
  virtual void wordCommitted(const std::vector<KeyStroke>& strokes, const std::string& sourceID) = 0;
  virtual void backspace() = 0;
  // The word buffer was cleared.
  virtual void reset() = 0;
};

class TypingFlowController {
 public:
  // [design] the hold's timings.
  static constexpr double kSafetyTimeout = 0.75;
  static constexpr double kConfirmPollInterval = 0.005;
  static constexpr double kConfirmBudget = 0.2;
  static constexpr double kReleaseDelay = 0.025;
  static constexpr double kReplaySpacing = 0.003;

  static constexpr double kMinReplayGap = 0.001;  // [ours] between two replayed keys that are late

  // The texts that end a word: space, return, line feed, tab, "?" and "!".
  static const std::vector<std::string>& triggerChars();

  // Idle, with no recorded keystrokes, no held events, no last committed
  // word, generation 0 and no pending time-out. The engine owns the one
  // controller for its whole life.
  explicit TypingFlowController(TypingFlowHost& host);
  void setWordObserver(std::shared_ptr<TypedWordObserver> observer) { wordObserver_ = std::move(observer); }
  ~TypingFlowController();
  TypingFlowController(const TypingFlowController&) = delete;
  TypingFlowController& operator=(const TypingFlowController&) = delete;

  const TypingFlowState& state() const { return state_; }
  uint64_t generation() const { return generation_; }
  const std::vector<KeyStroke>& strokes() const { return strokes_; }
  // The last word committed at a boundary, as it was typed in its layout.
  std::optional<std::string> lastCommittedWord() const;
  size_t heldCount() const { return held_.size(); }
  // The source the current hold waits for, once the switch request named it.
  const std::optional<std::string>& awaitedSourceID() const { return awaitedID_; }
  // The switch has been confirmed and the held keys are being replayed (or
  // are about to be).
  bool isReleasing() const { return releasePhase_ != ReleasePhase::none; }

  // ------------------------------------------------------------- holding
  // Starts holding keystrokes for a language switch (the switcher keys pass
  // no target). A second switch while the first is still being replayed
  // flushes the first's keys for the layout they were typed for.
  void beginSpeculativeHold(std::optional<std::string> targetLanguage = std::nullopt);
  // Holds keystrokes until `sourceID` is current: the switch a conversion,
  // an undo or a redo makes after retyping a word. `focused` is the field it
  // edits, already known, so the hold need not ask for the focus again.
  void holdUntilSource(const std::string& sourceID, std::optional<AXElement> focused = std::nullopt);
  // The switch request names the source it expects; only that source
  // confirms the hold.
  void expectSource(const std::string& sourceID);
  // Confirms the hold once the current source's language matches
  // (English or not), polling every 0.005 s for at most 0.2 s.
  void awaitLanguageSwitch(bool wantEnglish);
  // A witness saw `currentSourceID` become current. Confirms the hold when it
  // is the awaited source; any later confirmation of the same hold is a
  // no-op.
  void confirmSwitch(const std::string& currentSourceID);

  // The held-event queue. Copies are owned by the queue.
  void enqueue(Event event);
  void enqueueAll(std::vector<Event> events);
  bool hasQueuedEvents() const { return !held_.empty(); }
  // Replays every held event now, in order (a flush key or shortcut typed
  // during a hold waits behind the letters typed before it). The hold itself
  // goes on until its switch is confirmed or times out.
  void releaseQueuedEvents();
  // Ends any hold and drops what it holds; logs and counts the drop when
  // anything was held.
  void cancelHold(const std::string& reason);
  // Runs `task` once no hold is active and nothing is held or being replayed
  // (at once when that is already so). A conversion waits here so that it
  // never acts before the keys typed ahead of its hot key have landed.
  void whenIdle(std::function<void()> task);

  // ---------------------------------------------------- the current word
  // Drops the strokes of the current word and, when asked, starts a new
  // generation. `caller` and `line` name who asked, for the log.
  void clear(bool incrementGeneration, const std::string& caller, int line);
  void clear(bool incrementGeneration, std::source_location where = std::source_location::current());
  // Keeps the current word and commits it at a word boundary. Returns the
  // event to pass on (always the event itself: nothing here rewrites keys).
  std::optional<Event> processEvent(const Event& event, EventType type);
  // While it is not known whether the focused field hides its text, the
  // keys are noted aside instead of in the word: resumed with `keep`, they
  // are recorded in the order typed; without, they are forgotten. Clearing
  // the word forgets them too.
  void holdBackRecording();
  void resumeRecording(bool keep);
  void forgetHeldBack() { heldBack_.clear(); }

 private:
  std::shared_ptr<TypedWordObserver> wordObserver_;
  enum class ReleasePhase { none, scheduled, replaying };

  // A held event and, once a later switch has taken over the hold, the
  // source of the switch it was typed for (none: whatever the current hold
  // is released for).
  struct HeldEvent {
    Event event;
    std::optional<std::string> layoutSourceID;
  };

  void startHold(TypingFlowState::Kind kind, std::optional<std::string> target,
                 std::optional<AXElement> focused = std::nullopt);
  void armSafetyTimeout();
  void onSafetyTimeout(uint64_t hold);
  void scheduleRelease(std::optional<std::string> sourceID);
  void startRelease(uint64_t hold);
  void replayNext(uint64_t hold);
  void finishHold();
  // Posts one held event, re-typed for `layoutSourceID`, and records it in
  // the current word.
  void replay(Event event, const std::optional<std::string>& layoutSourceID);
  // Replays the first held event for its own switch's source, or for
  // `layoutSourceID` when it has none.
  void replayFirstHeld(const std::optional<std::string>& layoutSourceID);
  std::optional<std::string> releaseTarget() const;
  void dropHeld(const std::string& reason);
  void runIdleWaiters();
  void record(const Event& event);
  void commitWord();
  // The word being typed gained its first keystroke, lost one, or was dropped.
  void liveBufferChanged();
  void pollLanguage(uint64_t hold, bool wantEnglish, double startedAt);

  TypingFlowHost& host_;
  TypingFlowState state_;
  uint64_t generation_ = 0;
  std::vector<KeyStroke> strokes_;
  bool holdingBack_ = false;
  std::deque<Event> heldBack_;
  std::vector<KeyStroke> lastCommittedStrokes_;
  std::string lastCommittedSourceID_;

  std::deque<HeldEvent> held_;
  uint64_t holdSerial_ = 0;  // binds timers to the hold they were armed for
  std::optional<std::string> awaitedID_;
  std::optional<bool> wantEnglish_;
  std::optional<std::string> sourceAtHold_;
  std::optional<AXElement> focusAtHold_;
  ReleasePhase releasePhase_ = ReleasePhase::none;
  std::optional<std::string> releaseSourceID_;
  TaskHandle safetyItem_;
  TaskHandle releaseItem_;
  std::optional<double> replayDue_;  // when the next replayed key is due; none before the first
  TaskHandle languagePoll_;
  std::vector<std::function<void()>> idleWaiters_;
  Subscription enabledSourcesChanged_;
};

}  // namespace tessa
