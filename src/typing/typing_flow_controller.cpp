#include "typing/typing_flow_controller.h"

#include <algorithm>
#include <utility>

#include <fmt/format.h>

#include "typing/text_units.h"
#include "l10n/localization.h"

namespace tessa {

namespace {
bool isNavigationKey(uint16_t code) {
  switch (code) {
    case keycode::escape:
    case keycode::left:
    case keycode::right:
    case keycode::up:
    case keycode::down:
    case keycode::home:
    case keycode::end:
    case keycode::pageUp:
    case keycode::pageDown:
    case keycode::forwardDelete:
      return true;
    default:
      return false;
  }
}

bool isTriggerText(const std::string& text) {
  for (const auto& t : TypingFlowController::triggerChars())
    if (text == t) return true;
  return false;
}

// Shortcuts are not re-typed: applications read their key codes, and their
// strings belong to whatever layout the system reports.
bool isShortcut(const Event& e) { return (e.flags & (flags::control | flags::command)) != 0; }
}  // namespace

const std::vector<std::string>& TypingFlowController::triggerChars() {
  static const std::vector<std::string> chars{" ", "\r", "\n", "\t", "?", "!"};
  return chars;
}

TypingFlowController::TypingFlowController(TypingFlowHost& host) : host_(host) {
  // The layout cycle is read once and kept until the enabled list changes.
  enabledSourcesChanged_ = host_.observeEnabledSourcesChanged([this] { host_.forgetLayoutCaches(); });
}

TypingFlowController::~TypingFlowController() {
  safetyItem_.cancel();
  releaseItem_.cancel();
  languagePoll_.cancel();
}

// ------------------------------------------------------------------ holding

void TypingFlowController::beginSpeculativeHold(std::optional<std::string> targetLanguage) {
  startHold(TypingFlowState::Kind::transitioning, std::move(targetLanguage));
}

void TypingFlowController::holdUntilSource(const std::string& sourceID, std::optional<AXElement> focused) {
  if (host_.currentInputSourceID() == sourceID) return;  // nothing to wait for
  startHold(TypingFlowState::Kind::correcting, host_.languageOfSource(sourceID), std::move(focused));
  awaitedID_ = sourceID;
}

void TypingFlowController::startHold(TypingFlowState::Kind kind, std::optional<std::string> target,
                                     std::optional<AXElement> focused) {
  if (!state_.isIdle() && releasePhase_ != ReleasePhase::none) {
    // The previous switch is confirmed and its keys are still going out: they
    // were typed for that layout, so they leave now, before the new hold.
    auto layout = releaseSourceID_;
    while (!held_.empty()) replayFirstHeld(layout);
    releaseItem_.cancel();
    releasePhase_ = ReleasePhase::none;
    // The new switch starts from the layout the last one reached.
    sourceAtHold_ = releaseSourceID_;
    releaseSourceID_.reset();
  } else if (!state_.isIdle() && awaitedID_) {
    // The previous switch is not confirmed yet (its request may have timed
    // out while the system is still catching up). Its keys wait behind the
    // new switch to keep their order, but they were typed for the previous
    // switch's source, and whatever the new one selects must not change that.
    for (auto& h : held_)
      if (!h.layoutSourceID) h.layoutSourceID = awaitedID_;
  }
  if (state_.isIdle()) {
    focusAtHold_ = focused ? std::move(focused) : host_.focusedElement();
    sourceAtHold_ = host_.currentInputSourceID();
  }
  state_ = TypingFlowState{kind, std::move(target), generation_};
  ++holdSerial_;
  awaitedID_.reset();
  wantEnglish_.reset();
  languagePoll_.cancel();
  armSafetyTimeout();
}

void TypingFlowController::armSafetyTimeout() {
  safetyItem_.cancel();
  uint64_t hold = holdSerial_;
  safetyItem_ = host_.afterOnMain(kSafetyTimeout, [this, hold] { onSafetyTimeout(hold); });
}

void TypingFlowController::expectSource(const std::string& sourceID) {
  if (state_.isIdle() || releasePhase_ != ReleasePhase::none) return;
  awaitedID_ = sourceID;
  // The switch may have landed before the request named it.
  if (host_.currentInputSourceID() == sourceID && sourceAtHold_ != sourceID) confirmSwitch(sourceID);
}

void TypingFlowController::awaitLanguageSwitch(bool wantEnglish) {
  if (state_.isIdle() || releasePhase_ != ReleasePhase::none) return;
  wantEnglish_ = wantEnglish;
  languagePoll_.cancel();
  pollLanguage(holdSerial_, wantEnglish, host_.uptime());
}

void TypingFlowController::pollLanguage(uint64_t hold, bool wantEnglish, double startedAt) {
  if (hold != holdSerial_ || state_.isIdle() || releasePhase_ != ReleasePhase::none) return;
  if (auto id = host_.currentInputSourceID(); id && isEnglishInputSourceID(*id) == wantEnglish) confirmSwitch(*id);
  if (releasePhase_ != ReleasePhase::none) return;
  // Out of budget: the notification, the request's own confirmation or the
  // safety time-out ends the hold.
  if (host_.uptime() - startedAt >= kConfirmBudget - 1e-9) return;
  languagePoll_ = host_.afterOnMain(kConfirmPollInterval,
                                    [this, hold, wantEnglish, startedAt] { pollLanguage(hold, wantEnglish, startedAt); });
}

void TypingFlowController::confirmSwitch(const std::string& currentSourceID) {
  if (state_.isIdle() || releasePhase_ != ReleasePhase::none) return;
  bool matches;
  if (awaitedID_)
    matches = currentSourceID == *awaitedID_;
  else if (wantEnglish_)
    matches = isEnglishInputSourceID(currentSourceID) == *wantEnglish_ && sourceAtHold_ != currentSourceID;
  else
    matches = sourceAtHold_ != currentSourceID;
  if (!matches) return;
  host_.noteSwitchConfirmed();
  scheduleRelease(currentSourceID);
}

void TypingFlowController::scheduleRelease(std::optional<std::string> sourceID) {
  releasePhase_ = ReleasePhase::scheduled;
  releaseSourceID_ = std::move(sourceID);
  languagePoll_.cancel();
  uint64_t hold = holdSerial_;
  releaseItem_ = host_.afterOnMain(kReleaseDelay, [this, hold] { startRelease(hold); });
}

void TypingFlowController::onSafetyTimeout(uint64_t hold) {
  if (hold != holdSerial_ || state_.isIdle() || releasePhase_ != ReleasePhase::none) return;
  // Never drop on a time-out: the keys go out for whatever layout is current.
  host_.log(fmt::format("TypingFlowController: switch not confirmed within {}ms - releasing {} held events",
                          static_cast<int>(kSafetyTimeout * 1000), held_.size()));
  host_.noteSwitchTimedOut();
  releasePhase_ = ReleasePhase::scheduled;
  releaseSourceID_ = host_.currentInputSourceID();
  startRelease(hold);
}

void TypingFlowController::startRelease(uint64_t hold) {
  if (hold != holdSerial_ || releasePhase_ != ReleasePhase::scheduled) return;
  releasePhase_ = ReleasePhase::replaying;
  if (held_.empty()) {
    finishHold();
    return;
  }
  const double checkStarted = host_.uptime();
  if (focusAtHold_) {
    // Only a focus that answers and differs counts as moved; a slow answer
    // never costs the user's keys.
    auto now = host_.focusedElementNow(0.05);
    if (now.ok() && *now.value != *focusAtHold_) {
      dropHeld("focus moved during the switch");
      finishHold();
      return;
    }
  }
  // The check is a round trip to the focused application; its time is part
  // of the first key's spacing, not added to it, so that key still goes out
  // on time (and no sooner than the answer allows).
  const double spent = host_.uptime() - checkStarted;
  replayDue_.reset();
  releaseItem_ = host_.afterOnMain(std::max(0.0, kReplaySpacing - spent), [this, hold] { replayNext(hold); });
}

void TypingFlowController::replayNext(uint64_t hold) {
  if (hold != holdSerial_ || releasePhase_ != ReleasePhase::replaying) return;
  if (!held_.empty()) replayFirstHeld(releaseSourceID_);
  if (held_.empty()) {
    finishHold();
    return;
  }
  // Each key keeps its place on the replay's timeline, so a late turn of
  // the main queue does not push every later key back; a key that has
  // fallen behind still leaves the one before it a little time.
  const double now = host_.uptime();
  if (!replayDue_) replayDue_ = now;  // the timeline starts with the first key out
  replayDue_ = std::max(*replayDue_ + kReplaySpacing, now + kMinReplayGap);
  releaseItem_ = host_.afterOnMain(*replayDue_ - now, [this, hold] { replayNext(hold); });
}

void TypingFlowController::finishHold() {
  bool replayed = releasePhase_ == ReleasePhase::replaying;
  safetyItem_.cancel();
  releaseItem_.cancel();
  languagePoll_.cancel();
  ++holdSerial_;
  state_ = TypingFlowState{TypingFlowState::Kind::idle, std::nullopt, generation_};
  releasePhase_ = ReleasePhase::none;
  releaseSourceID_.reset();
  awaitedID_.reset();
  wantEnglish_.reset();
  focusAtHold_.reset();
  sourceAtHold_.reset();
  host_.holdEnded();
  if (replayed) host_.resyncModifiers();
  runIdleWaiters();
}

void TypingFlowController::replay(Event event, const std::optional<std::string>& layoutSourceID) {
  if (event.isKey() && !isShortcut(event)) {
    host_.retarget(event, layoutSourceID);
  }
  // Tagged, so that the handler passes it instead of holding it again; it is
  // recorded here because the handler records only untagged keys.
  event.sourceUserData = kSyntheticEventTag;
  record(event);  // with the time it was typed: the word's rhythm is the user's
  event.timestamp = host_.uptime();
  host_.post(event);
}

void TypingFlowController::replayFirstHeld(const std::optional<std::string>& layoutSourceID) {
  HeldEvent h = std::move(held_.front());
  held_.pop_front();
  replay(std::move(h.event), h.layoutSourceID ? h.layoutSourceID : layoutSourceID);
}

std::optional<std::string> TypingFlowController::releaseTarget() const {
  if (releasePhase_ != ReleasePhase::none) return releaseSourceID_;
  return awaitedID_;
}

void TypingFlowController::enqueue(Event event) {
  if (state_.isIdle()) {
    // Nothing will release a queue without a hold: the key goes out now.
    replay(std::move(event), std::nullopt);
    return;
  }
  held_.push_back(HeldEvent{std::move(event), std::nullopt});
}

void TypingFlowController::enqueueAll(std::vector<Event> events) {
  for (auto& e : events) enqueue(std::move(e));
}

void TypingFlowController::releaseQueuedEvents() {
  auto layout = releaseTarget();
  while (!held_.empty()) replayFirstHeld(layout);
  if (releasePhase_ == ReleasePhase::replaying) finishHold();
}

void TypingFlowController::dropHeld(const std::string& reason) {
  size_t n = held_.size();
  if (n == 0) return;
  held_.clear();
  host_.log(fmt::format("TypingFlowController: {} - dropping {} held events", reason, n));
  host_.noteKeystrokesDropped(n);
}

void TypingFlowController::cancelHold(const std::string& reason) {
  dropHeld(reason);
  if (state_.isIdle()) return;
  releasePhase_ = ReleasePhase::none;  // nothing was replayed by this ending
  finishHold();
}

void TypingFlowController::whenIdle(std::function<void()> task) {
  if (state_.isIdle() && held_.empty()) {
    task();
    return;
  }
  idleWaiters_.push_back(std::move(task));
}

void TypingFlowController::runIdleWaiters() {
  if (idleWaiters_.empty()) return;
  auto waiters = std::move(idleWaiters_);
  idleWaiters_.clear();
  // On a later turn, after the last replayed key has reached the
  // application; a hold begun meanwhile makes them wait again.
  for (auto& w : waiters)
    host_.onMain([this, w = std::move(w)]() mutable { whenIdle(std::move(w)); });
}

// --------------------------------------------------------- the current word

void TypingFlowController::clear(bool incrementGeneration, const std::string& caller, int line) {
  host_.log(fmt::format("TypingFlowController.clear: dropping {} strokes (caller: {}, line: {})", strokes_.size(),
                          caller, line));
  bool hadStrokes = !strokes_.empty();
  strokes_.clear();
  heldBack_.clear();
  if (hadStrokes) liveBufferChanged();
  if (incrementGeneration) {
    ++generation_;
    state_.generation = generation_;
  }
  if (wordObserver_) wordObserver_->reset();
}

void TypingFlowController::clear(bool incrementGeneration, std::source_location where) {
  // "void tessa::KeyboardEngine::clearBufferState()" names its caller as
  // "clearBufferState()".
  std::string_view name = where.function_name();
  name = name.substr(0, name.find('('));
  if (auto cut = name.find_last_of(": "); cut != std::string_view::npos) name.remove_prefix(cut + 1);
  clear(incrementGeneration, std::string(name) + "()", static_cast<int>(where.line()));
}

std::optional<Event> TypingFlowController::processEvent(const Event& event, EventType type) {
  if (type == EventType::keyDown) record(event);
  return event;
}

void TypingFlowController::holdBackRecording() { holdingBack_ = true; }

void TypingFlowController::resumeRecording(bool keep) {
  holdingBack_ = false;
  std::deque<Event> keys = std::exchange(heldBack_, {});
  if (keep)
    for (const Event& e : keys) record(e);
}

void TypingFlowController::record(const Event& e) {
  if (e.type != EventType::keyDown) return;
  if (holdingBack_) {
    // The answer normally comes within moments; a field that never answers
    // leaves the word its latest keys.
    constexpr size_t kMostHeldBack = 64;  // [ours]
    if (heldBack_.size() == kMostHeldBack) heldBack_.pop_front();
    heldBack_.push_back(e);
    return;
  }
  if (e.keyCode == keycode::deleteKey) {
    if (!strokes_.empty()) {
      strokes_.pop_back();
      liveBufferChanged();
    }
    if (wordObserver_) wordObserver_->backspace();
    return;
  }
  if (isShortcut(e) || isNavigationKey(e.keyCode)) {
    // The caret or the text moved under us: the word being typed is gone.
    if (!strokes_.empty()) clear(false, "processEvent(_:type:)", __LINE__);
    return;
  }
  if (e.keyCode == keycode::returnKey || e.keyCode == keycode::tab || e.keyCode == keycode::keypadEnter ||
      isTriggerText(e.unicode)) {
    commitWord();
    return;
  }
  if (e.unicode.empty() || static_cast<unsigned char>(e.unicode[0]) < 0x20) return;
  double t = e.timestamp > 0 ? e.timestamp : host_.uptime();
  strokes_.push_back(KeyStroke{e.keyCode, (e.flags & flags::shift) != 0,
                               static_cast<uint32_t>(static_cast<uint64_t>(t * 1000.0))});
  if (strokes_.size() == 1) liveBufferChanged();
}

void TypingFlowController::liveBufferChanged() {
  host_.liveBufferChanged();
}

void TypingFlowController::commitWord() {
  if (strokes_.empty()) return;
  std::vector<KeyStroke> word = std::move(strokes_);
  strokes_.clear();
  liveBufferChanged();
  lastCommittedStrokes_ = word;
  lastCommittedSourceID_ = host_.currentLanguage();
  if (wordObserver_) wordObserver_->wordCommitted(word, host_.currentLanguage());
}

std::optional<std::string> TypingFlowController::lastCommittedWord() const {
  if (lastCommittedStrokes_.empty()) return std::nullopt;
  std::string word = host_.renderWord(lastCommittedStrokes_, lastCommittedSourceID_);
  word = trimmedWord(word);
  if (word.empty()) return std::nullopt;
  return word;
}

}  // namespace tessa
