// Converting the word at the caret to another keyboard layout, and undoing
// and redoing that, by editing the focused application's text with synthetic
// keystrokes. Every edit reads the field first, verifies it again right
// before deleting, verifies the deletion before typing anything, and
// verifies the typed result; a field that no longer holds what was read is
// left alone and the user is told.
#include <fmt/format.h>

#include "dictionaries/typo_habit_store.h"
#include "engine/accessibility_text.h"
#include "base/unicode.h"
#include "typing/text_units.h"
#include "typing/typing_flow_controller.h"
#include "engine/keyboard_engine.h"
#include "engine/language_switcher.h"
#include "l10n/localization.h"
#include "engine/hud_notices.h"
#include "engine/conversion_texts.h"

namespace tessa {

namespace {

using KeyChord = KeyboardEngine::CorrectionState::KeyChord;

// [ours] Waiting for the field to show what the posted keys did: no look
// while the window system says our keys are still on their way (it would
// only slow the application taking them), for half a second at most (a key
// the server never delivers must not hold the looks back); the window system
// says when they are through, and is asked again every kVerifyKeysCheck
// should it not. Then a look at once, and one a millisecond after each look
// that did not see it yet (kVerifyKeysStep after one that found the field
// half-way), for at most half a second.
constexpr double kVerifyFirstLook = 0.00025;
constexpr double kVerifyPollInterval = 0.001;
constexpr double kVerifyKeysStep = 0.00025;
constexpr double kVerifyKeysCheck = 0.002;
constexpr double kVerifyBudget = 0.5;
// [ours] Past that budget the wait goes on, up to kVerifyLimit, while the
// field has not answered, still shows the text from before the keys, or
// changed within the last kVerifySettle: once Deletes are posted, giving up
// on a busy application that simply has not taken them yet would leave the
// word deleted and never retyped.
constexpr double kVerifySettle = 0.1;
constexpr double kVerifyLimit = 3.0;
// [ours] While a wait runs, keys the user types stay held behind the edit,
// however long the application takes: released early, they would go out
// behind the Deletes and land where the word was. The guard against a
// simulation that never ends takes over again this long after a wait's limit.
constexpr double kVerifyLimitGrace = 0.5;
// A manual conversion is the user's own request: full confidence.
constexpr int64_t kManualConversionScore = 3;

TypingFlowController& flowOf(KeyboardEngine& e) { return *e.flow.flowController; }

void notice(KeyboardEngine& e, const std::string& message, const std::string& subMessage, const std::string& icon,
            HudColor color) {
  showStatusHUD(e, message, subMessage, icon, color);
}

// The title's "%@" takes `name` (a word, a program).
void notice(KeyboardEngine& e, const conversion_texts::Notice& text, const std::string& icon, HudColor color,
            const std::string& name = {}) {
  notice(e, formatLocalized(e.localized(text.titleKey), {name}), e.localized(text.detailKey), icon, color);
}

Event keyEvent(EventType type, uint16_t keyCode, std::string text = {}) {
  Event e;
  e.type = type;
  e.keyCode = keyCode;
  e.unicode = std::move(text);
  e.sourceUserData = kSyntheticEventTag;
  e.sourceState = EventSourceState::privateState;
  return e;
}

// An edit's keys (its Deletes, its word), posted together: posted one by
// one, the window system's thread would take the first few alone and send
// the rest in a second round.
class KeyBurst {
 public:
  KeyBurst& add(uint16_t keyCode, const std::string& text = {}, uint64_t modifiers = 0, size_t times = 1) {
    Event down = keyEvent(EventType::keyDown, keyCode, text), up = keyEvent(EventType::keyUp, keyCode, text);
    down.flags = up.flags = modifiers;
    for (size_t i = 0; i < times; ++i) {
      events_.push_back(down);
      events_.push_back(up);
    }
    return *this;
  }
  void post(KeyboardEngine& engine) {
    if (auto* events = engine.platform().events; events && !events_.empty()) events->postAll(TapLocation::hid, events_);
    events_.clear();
  }

 private:
  std::vector<Event> events_;
};

void postDeletes(KeyboardEngine& engine, size_t n) { KeyBurst().add(keycode::deleteKey, {}, 0, n).post(engine); }

std::string bundleIDOfFrontmost(KeyboardEngine& e) {
  if (!e.platform().workspace) return "";
  auto app = e.platform().workspace->frontmostApplication();
  return app ? app->bundleID : "";
}

// ------------------------------------------------------- layout mapping

const std::unordered_map<char32_t, KeyChord>& reverseKeyMap(KeyboardEngine& e, const std::string& sourceID) {
  auto& cache = e.correction.reverseKeyMaps;
  if (auto it = cache.find(sourceID); it != cache.end()) return it->second;
  std::unordered_map<char32_t, KeyChord> map;
  if (auto layout = e.platform().inputSources ? e.platform().inputSources->layoutFor(sourceID) : nullptr) {
    // Plain keys before shifted ones before Option ones, lower key codes
    // first: the most direct way to type a character wins.
    for (uint64_t mods : {uint64_t{0}, flags::shift, flags::option, flags::option | flags::shift}) {
      for (uint16_t code = 0; code < 128; ++code) {
        uint32_t dead = 0;
        std::string text = layout->translate(code, mods, dead);
        std::u32string cps = codePoints(toUtf16(text));
        if (cps.size() == 1) map.emplace(cps[0], KeyChord{code, mods});
      }
    }
  }
  return cache.emplace(sourceID, std::move(map)).first->second;
}

// The keys that type `word` in the layout of `sourceID`, or none when some
// character has no key there.
std::optional<std::vector<KeyChord>> keysFor(KeyboardEngine& e, const std::string& sourceID, const std::string& word) {
  const auto& map = reverseKeyMap(e, sourceID);
  if (map.empty()) return std::nullopt;
  std::vector<KeyChord> keys;
  for (char32_t cp : codePoints(toUtf16(word))) {
    auto it = map.find(cp);
    if (it == map.end()) return std::nullopt;
    keys.push_back(it->second);
  }
  return keys;
}

std::string typeIn(KeyboardEngine& e, const std::string& sourceID, const std::vector<KeyChord>& keys) {
  auto layout = e.platform().inputSources ? e.platform().inputSources->layoutFor(sourceID) : nullptr;
  if (!layout) return "";
  std::string text;
  uint32_t dead = 0;
  for (const auto& k : keys) text += layout->translate(k.keyCode, k.flags, dead);
  return text;
}

std::optional<size_t> positionOf(const std::vector<InputSourceInfo>& list, const std::string& id) {
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].id == id) return i;
  return std::nullopt;
}

// ------------------------------------------------------------ the edit

// One verified replacement in the focused field: `old`, which ends at the
// caret (or is the selection), becomes `replacement`.
struct EditPlan {
  std::string operation;  // names the action in log lines
  AXElement element;
  std::u16string before, old, after;
  bool oldIsSelection = false;
  std::u16string replacement;
  std::string switchTo;  // the layout to leave the user in; empty for none
  bool isPutBack = false;  // puts a word back: if this fails too, nothing more is tried
};

bool shows(const FocusedText& t, const AXElement& element, const std::u16string& beforeCaret,
           const std::u16string& after) {
  return t.element == element && t.text == beforeCaret + after &&
         t.selection == TextRange{static_cast<int64_t>(beforeCaret.size()), 0};
}

// What stands where the old text was, when the rest of the field is as the
// plan read it and the caret follows it.
std::optional<std::u16string> inPlaceOfOld(const FocusedText& t, const EditPlan& p) {
  const size_t outside = p.before.size() + p.after.size();
  if (!(t.element == p.element) || t.text.size() < outside || !t.text.starts_with(p.before) ||
      !t.text.ends_with(p.after))
    return std::nullopt;
  std::u16string middle = t.text.substr(p.before.size(), t.text.size() - outside);
  if (t.selection != TextRange{static_cast<int64_t>(p.before.size() + middle.size()), 0}) return std::nullopt;
  return middle;
}

// The length of the longest common start of `a` and `b`, never ending
// between the two halves of a surrogate pair.
size_t commonStart(const std::u16string& a, const std::u16string& b) {
  size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
  if (n > 0 && n < a.size() && a[n - 1] >= 0xD800 && a[n - 1] <= 0xDBFF) --n;
  return n;
}

// A field deletes whole user-perceived characters at most: when the old
// text begins inside a character that started before it (a word opening with
// a combining mark clings to the blank before it), that beginning is deleted
// and typed again with the replacement.
void alignToCharacters(EditPlan& p) {
  size_t start = p.before.size(), boundary = 0;
  for (const auto& c : graphemeClusters(p.before + p.old)) {
    if (boundary + c.size() > start) break;
    boundary += c.size();
  }
  if (boundary == start) return;
  std::u16string carried = p.before.substr(boundary);
  p.before.resize(boundary);
  p.old = carried + p.old;
  p.replacement = carried + p.replacement;
}

// How an edit ended: the replacement is in; refused (the field showed
// something else, before any key or after keys it cannot account for); or,
// given up on after its keys were posted, the old text put back, or left as
// it was because the application never took them.
enum class EditEnd { replaced, refused, putBack, leftAlone };

class ScreenEdit : public std::enable_shared_from_this<ScreenEdit> {
 public:
  using Done = std::function<void(KeyboardEngine&, EditEnd end, const std::string& why)>;

  static void run(KeyboardEngine& e, EditPlan plan, Done done) {
    if (!plan.oldIsSelection) alignToCharacters(plan);
    auto edit = std::shared_ptr<ScreenEdit>(new ScreenEdit(std::move(plan), std::move(done)));
    e.switcher.isCycleAsyncDetourInFlight = true;
    edit->start(e);
  }

 private:
  ScreenEdit(EditPlan plan, Done done) : plan_(std::move(plan)), done_(std::move(done)) {}

  // On the turn the field was read, so the Deletes follow what it showed:
  // from here on the keys the user types wait behind the edit.
  void start(KeyboardEngine& e) {
    e.beginTypingSimulation();
    simulating_ = true;
    layoutBefore_ = e.currentInputSourceID().value_or("");
    if (plan_.oldIsSelection) {
      postDeletes(e, 1);
      switchOnceThrough_ = true;
      expectAfterDelete(e, {plan_.before});
      return;
    }
    // A field deletes either user-perceived characters or code points; one
    // Delete per character never removes more than the word, and what is left
    // tells which unit this application uses.
    // Only a word with a character of several code points deletes
    // differently in the two units; only then is the application asked for.
    const size_t clusters = graphemeClusters(plan_.old).size();
    if (clusters != codePointCount(plan_.old)) bundleID_ = bundleIDOfFrontmost(e);
    bool byCodePoint = !bundleID_.empty() && e.correction.codePointDeletingApps.count(bundleID_) > 0;
    size_t n = byCodePoint ? codePointCount(plan_.old) : clusters;
    postDeletes(e, n);
    switchOnceThrough_ = true;
    std::vector<std::u16string> outcomes{plan_.before};
    if (!byCodePoint) outcomes.push_back(plan_.before + dropLastCodePoints(plan_.old, n));
    expectAfterDelete(e, std::move(outcomes));
  }

  void expectAfterDelete(KeyboardEngine& e, std::vector<std::u16string> outcomes) {
    auto self = shared_from_this();
    waitFor(e, outcomes, plan_.before + plan_.old, [self](KeyboardEngine& e, std::optional<size_t> which) {
      if (!which) {
        self->putBack(e, "the text did not match after deleting", self->plan_.before + self->plan_.old);
        return;
      }
      if (*which == 0) {
        self->typeReplacement(e);
        return;
      }
      // Only some code points went: this field deletes code points.
      e.correction.codePointDeletingApps.insert(self->bundleID_);
      e.log(fmt::format("{}: {} deletes code points - deleting the rest of the word", self->plan_.operation,
                        self->bundleID_.empty() ? "the application" : self->bundleID_));
      std::u16string rest = dropLastCodePoints(self->plan_.old, graphemeClusters(self->plan_.old).size());
      postDeletes(e, codePointCount(rest));
      self->waitFor(e, {self->plan_.before}, self->plan_.before + rest,
                    [self, rest](KeyboardEngine& e, std::optional<size_t> which) {
        if (!which)
          self->putBack(e, "the text did not match after deleting", self->plan_.before + rest);
        else
          self->typeReplacement(e);
      });
    });
  }

  // Switched before the word is typed: each key of the word then types its
  // character by its own code in the new layout, and the window system need
  // not lend a key for it. Keys the user types from here on wait for it.
  void switchLayout(KeyboardEngine& e) {
    if (switched_ || plan_.switchTo.empty() || e.currentInputSourceID() == plan_.switchTo) return;
    flowOf(e).holdUntilSource(plan_.switchTo, plan_.element);
    e.languageSwitcher().switchToInputSource(plan_.switchTo);
    switched_ = true;
  }

  void typeReplacement(KeyboardEngine& e) {
    switchLayout(e);
    const auto& keys = reverseKeyMap(e, plan_.switchTo);
    typed_ = true;
    KeyBurst word;
    for (const auto& cluster : graphemeClusters(plan_.replacement)) {
      // Each character by its own key where the layout has one, as a typist
      // types it (a vowel mark after its consonant): the window system then
      // needs no key lent for it. A cluster with a character the layout
      // lacks goes as its text.
      std::vector<KeyChord> chords;
      for (char32_t cp : codePoints(cluster))
        if (auto it = keys.find(cp); it != keys.end()) chords.push_back(it->second);
      const auto characters = codePointStrings(cluster);
      if (chords.size() != characters.size()) {
        word.add(0, toUtf8(cluster));
        continue;
      }
      for (size_t i = 0; i < chords.size(); ++i)
        word.add(chords[i].keyCode, toUtf8(characters[i]), chords[i].flags);
    }
    word.post(e);
    auto self = shared_from_this();
    waitFor(e, {plan_.before + plan_.replacement}, plan_.before,
            [self](KeyboardEngine& e, std::optional<size_t> which) {
      if (!which)
        self->putBack(e, "the typed text did not appear as expected", self->plan_.before);
      else
        self->finish(e, EditEnd::replaced, "");
    });
  }

  // The wait gave up with keys of ours posted, so the old text may be partly
  // or wholly gone. Once the field settles (or has shown `pending`, the text
  // from before those keys, for as long as a wait lasts), whatever is missing
  // is put back by an edit of its own, verified like any other. Only what
  // our own keys explain is touched: the start of the old text, or of the
  // replacement once it was typed, in its place.
  void putBack(KeyboardEngine& e, std::string why, std::u16string pending) {
    if (plan_.isPutBack) {
      finish(e, EditEnd::refused, why);
      return;
    }
    auto self = shared_from_this();
    std::vector<std::u16string> landedAfterAll;
    if (typed_) landedAfterAll.push_back(plan_.before + plan_.replacement);
    waitFor(
        e, std::move(landedAfterAll), std::move(pending),
        [self, why](KeyboardEngine& e, std::optional<size_t> which) {
          if (which) {
            self->finish(e, EditEnd::replaced, "");
            return;
          }
          auto read = readFieldText(e, self->plan_.element);
          auto now = read.text ? inPlaceOfOld(*read.text, self->plan_) : std::nullopt;
          const auto& old = self->plan_.old;
          if (now && *now == old) {
            self->finish(e, EditEnd::leftAlone, why);
            return;
          }
          if (!now || !(old.starts_with(*now) || (self->typed_ && self->plan_.replacement.starts_with(*now)))) {
            self->finish(e, EditEnd::refused, why);
            return;
          }
          EditPlan restore = self->plan_;
          restore.operation += " (putting the word back)";
          const size_t kept = commonStart(*now, old);
          restore.before += old.substr(0, kept);
          restore.old = now->substr(kept);
          restore.replacement = old.substr(kept);
          restore.oldIsSelection = false;
          restore.switchTo = self->layoutBefore_;
          restore.isPutBack = true;
          e.log(fmt::format("{}: {} - putting the word back", self->plan_.operation, why));
          ScreenEdit::run(e, std::move(restore), [self, why](KeyboardEngine& e, EditEnd end, const std::string& failed) {
            if (end == EditEnd::replaced)
              self->finish(e, EditEnd::putBack, why);
            else
              self->finish(e, EditEnd::refused, why + ", and putting the word back failed: " + failed);
          });
        },
        0);
  }

  // What the field has shown while waiting for it.
  struct Watch {
    std::vector<std::u16string> outcomes;
    std::u16string pending;  // the text before the caret from before the keys
    double since = 0;
    std::optional<std::u16string> lastText;
    double lastChange = 0;
    double budget = kVerifyBudget;
  };

  // Polls the field until the text before the caret is one of `outcomes`
  // (with the text after the caret unchanged) or `budget` is spent; a field
  // that still shows `pending`, has not answered or is still changing gets
  // longer (kVerifyLimit), since the keys may simply not have landed yet.
  void waitFor(KeyboardEngine& e, std::vector<std::u16string> outcomes, std::u16string pending,
               std::function<void(KeyboardEngine&, std::optional<size_t>)> next, double budget = kVerifyBudget) {
    auto watch = std::make_shared<Watch>();
    watch->outcomes = std::move(outcomes);
    watch->pending = std::move(pending);
    watch->budget = budget;
    watch->since = watch->lastChange = e.uptime();
    e.extendTypingSimulation(kVerifyLimit + kVerifyLimitGrace);
    poll(e, std::move(watch), kVerifyFirstLook, std::move(next));
  }

  using Next = std::function<void(KeyboardEngine&, std::optional<size_t>)>;

  void poll(KeyboardEngine& e, std::shared_ptr<Watch> watch, double delay, Next next) {
    auto self = shared_from_this();
    e.afterOnMainWeak(delay, [self, watch, next = std::move(next)](KeyboardEngine& e) mutable {
      self->look(e, std::move(watch), std::move(next));
    });
  }

  // Looks once the window system says our keys are through, or when asked
  // again, whichever comes first.
  void lookOnceThrough(KeyboardEngine& e, EventSystem& events, std::shared_ptr<Watch> watch, Next next) {
    auto self = shared_from_this();
    auto waiting = std::make_shared<std::optional<Next>>(std::move(next));
    auto timer = std::make_shared<TaskHandle>();
    auto go = [self, watch, waiting, timer](KeyboardEngine& e) {
      if (!*waiting) return;  // the other way came first
      timer->cancel();
      Next next = std::move(**waiting);
      waiting->reset();
      self->look(e, watch, std::move(next));
    };
    *timer = e.afterOnMainWeak(kVerifyKeysCheck, go);
    events.whenOwnKeysThrough([weak = e.weak(), go] {
      if (auto engine = weak.lock()) go(*engine);
    });
  }

  void look(KeyboardEngine& e, std::shared_ptr<Watch> watch, Next next) {
    auto* events = e.platform().events;
    if (events && events->ownKeysInFlight() && e.uptime() - watch->since < kVerifyBudget) {
      lookOnceThrough(e, *events, std::move(watch), std::move(next));
      return;
    }
    // The field can answer no look while it takes the Deletes: the layout
    // is switched meanwhile (once they are through the window system,
    // which would otherwise have to send them before the switch), and back
    // should the word not be typed.
    if (std::exchange(switchOnceThrough_, false)) switchLayout(e);
    auto read = readFieldText(e, plan_.element);
    const double now = e.uptime();
    if (read.text) {
      // The first outcome is where the keys end; another (only some code
      // points deleted) can also be a moment on the way there, and counts
      // only once a second look shows the field still at it.
      for (size_t i = 0; i < watch->outcomes.size(); ++i)
        if (shows(*read.text, plan_.element, watch->outcomes[i], plan_.after) &&
            (i == 0 || watch->lastText == read.text->text)) {
          next(e, i);
          return;
        }
      if (watch->lastText != read.text->text) {
        watch->lastText = read.text->text;
        watch->lastChange = now;
      }
    }
    const double waited = now - watch->since;
    const bool notYet = !read.text || read.text->text == watch->pending + plan_.after ||
                        now - watch->lastChange < kVerifySettle;
    if (waited >= kVerifyLimit || (waited >= watch->budget && !notYet)) {
      next(e, std::nullopt);
      return;
    }
    // A field caught half-way through our keys is looked at again sooner:
    // it is still taking them.
    const bool moving =
        read.text && watch->lastChange == now && read.text->text != watch->pending + plan_.after;
    poll(e, watch, moving ? kVerifyKeysStep : kVerifyPollInterval, std::move(next));
  }

  void finish(KeyboardEngine& e, EditEnd end, const std::string& why) {
    // Switched for a word never typed: the user stays in their layout.
    if (switched_ && !typed_ && !plan_.isPutBack && !layoutBefore_.empty() && e.currentInputSourceID() != layoutBefore_)
      e.languageSwitcher().switchToInputSource(layoutBefore_);
    if (simulating_) e.endTypingSimulation();
    simulating_ = false;
    e.switcher.isCycleAsyncDetourInFlight = false;
    done_(e, end, why);
  }

  EditPlan plan_;
  Done done_;
  std::string bundleID_;
  std::string layoutBefore_;  // current when the keys began: a put-back word is typed for it
  bool simulating_ = false;
  bool switchOnceThrough_ = false;  // switch when the Deletes are through
  bool switched_ = false;  // the layout was switched for the replacement
  bool typed_ = false;  // the replacement's keys were posted
};

// Tells the user why nothing was converted, and logs it.
void refuse(KeyboardEngine& e, const std::string& operation, const std::string& why,
            const conversion_texts::Notice& text, const std::string& name = {}) {
  e.log(operation + ": " + why + " - nothing changed");
  notice(e, text, "exclamationmark.triangle", HudColor::orange, name);
}

void refuseUnreadable(KeyboardEngine& e, const std::string& operation, FocusedTextProblem problem) {
  switch (problem) {
    case FocusedTextProblem::secureField:
      refuse(e, operation, "the focused field is a password field", conversion_texts::kPasswordField);
      return;
    case FocusedTextProblem::noAccess:
      refuse(e, operation, "Accessibility access is not granted", conversion_texts::kNoAccess);
      return;
    case FocusedTextProblem::noFocusedField:
    case FocusedTextProblem::unreadable:
      // A program that keeps its text to itself for a reason the user can
      // be told: say which, and what would mend it, if anything.
      if (auto program = e.unsharedFocusedProgram()) {
        refuse(e, operation, "the focused text cannot be read: " + program->why, program->notice, program->name);
        if (program->toRestart) e.programToRestart.set(std::move(program->toRestart));
        return;
      }
      refuse(e, operation, "the focused text cannot be read", conversion_texts::kUnreadable);
      return;
  }
}

void refuseChangedScreen(KeyboardEngine& e, const std::string& operation, const std::string& why) {
  e.log(operation + ": " + why + " - refused because the screen changed");
  notice(e, conversion_texts::kScreenChanged, "exclamationmark.triangle", HudColor::orange);
}

// Tells the user how an edit that did not replace the word ended.
void reportUnreplaced(KeyboardEngine& e, const std::string& operation, EditEnd end, const std::string& why) {
  switch (end) {
    case EditEnd::replaced:
      return;
    case EditEnd::refused:
      refuseChangedScreen(e, operation, why);
      return;
    case EditEnd::putBack:
      e.log(operation + ": " + why + " - the word was put back");
      notice(e, conversion_texts::kWordPutBack, "exclamationmark.triangle", HudColor::orange);
      return;
    case EditEnd::leftAlone:
      e.log(operation + ": " + why + " - the application took none of the keys, the word is as it was");
      notice(e, conversion_texts::kFieldTooSlow, "exclamationmark.triangle", HudColor::orange);
      return;
  }
}

void restartUndoWindow(KeyboardEngine& e) {
  e.setIsUndoPossible(true);
  e.flow.undoTimer.cancel();
  e.flow.undoTimer = e.afterOnMainWeak(e.undoTimeout(), [](KeyboardEngine& e) { e.setIsUndoPossible(false); });
}

std::string languageNameOf(KeyboardEngine& e, const std::string& sourceID) {
  std::string language = e.layoutIdentifierInfo(sourceID);
  return language.empty() ? inputSourceDisplayName(sourceID) : languageDisplayName(language);
}

// The confirmation of a conversion: the converted word with its undo window
// and the way to keep the word as typed.
void showConversionFeedback(KeyboardEngine& e, const KeyboardEngine::ConversionRecord& r) {
  showLanguageSwitchFeedback(e, r.converted, r.original, languageNameOf(e, r.toSourceID), kManualConversionScore,
                             e.undoTimeout());
}

// The word to convert: the selection, else the blank-free run before the caret.
std::optional<EditPlan> planForWordAtCaret(const FocusedText& t, const std::string& operation) {
  EditPlan p;
  p.operation = operation;
  p.element = t.element;
  auto loc = static_cast<size_t>(t.selection.location), len = static_cast<size_t>(t.selection.length);
  std::u16string_view text(t.text);
  if (len > 0) {
    p.before = text.substr(0, loc);
    p.old = text.substr(loc, len);
    p.after = text.substr(loc + len);
    p.oldIsSelection = true;
    if (trimmedWord(toUtf8(p.old)).empty()) return std::nullopt;
    return p;
  }
  size_t start = wordStartBefore(text, loc);
  if (start == loc) return std::nullopt;
  p.before = text.substr(0, start);
  p.old = text.substr(start, loc - start);
  p.after = text.substr(loc);
  return p;
}

// Converts the word at the caret; `forcedTarget` names the layout to convert
// to instead of the next one in the cycle.
void convertWordAtCaret(KeyboardEngine& e, const std::string& operation, std::optional<std::string> forcedTarget) {
  auto read = readFocusedText(e);
  if (!read.text) {
    refuseUnreadable(e, operation, read.problem);
    return;
  }
  auto plan = planForWordAtCaret(*read.text, operation);
  if (!plan) {
    refuse(e, operation, "there is no word at the caret", conversion_texts::kNoWord);
    return;
  }
  std::string word = toUtf8(plan->old);
  auto layouts = e.cycleKeyboardLayouts();
  if (layouts.size() < 2 && !forcedTarget) {
    refuse(e, operation, "fewer than two keyboard layouts are enabled", conversion_texts::kOneLayout);
    return;
  }

  // The same word again within a running cycle goes on to the next layout;
  // otherwise the word is read in the first layout that can type all of it,
  // the current one first.
  std::vector<KeyChord> keys;
  std::string fromID, originalID;
  auto& cycle = e.correction.hotkeyCycle;
  if (!e.switcher.hotkeyCycleState.empty() && cycle && cycle->text == word && cycle->element == plan->element) {
    keys = cycle->keys;
    fromID = cycle->currentSourceID;
    originalID = cycle->originalSourceID;
  } else {
    std::vector<std::string> candidates;
    if (auto current = e.currentInputSourceID()) candidates.push_back(*current);
    for (const auto& l : layouts)
      if (std::find(candidates.begin(), candidates.end(), l.id) == candidates.end()) candidates.push_back(l.id);
    for (const auto& id : candidates) {
      auto mapped = keysFor(e, id, word);
      if (!mapped) mapped = keysFor(e, id, KeyboardEngine::normalizeThaiSaraAm(word));
      if (mapped) {
        keys = std::move(*mapped);
        fromID = id;
        break;
      }
    }
    if (fromID.empty()) {
      refuse(e, operation, "no enabled layout types every character of the word", conversion_texts::kNoLayoutTypesIt);
      return;
    }
    originalID = fromID;
  }
  std::string targetID;
  if (forcedTarget) {
    targetID = *forcedTarget;
  } else {
    auto pos = positionOf(layouts, fromID);
    targetID = layouts[pos ? (*pos + 1) % layouts.size() : 0].id;
  }
  std::string converted = typeIn(e, targetID, keys);
  if (converted.empty() || converted == word) {
    refuse(e, operation, "the word reads the same in " + targetID, conversion_texts::kReadsTheSame);
    return;
  }

  plan->replacement = toUtf16(converted);
  plan->switchTo = targetID;
  KeyboardEngine::ConversionRecord record{word, converted, fromID, targetID, plan->element, e.uptime()};
  ScreenEdit::run(e, std::move(*plan),
                  [record, keys, originalID, operation](KeyboardEngine& e, EditEnd end, const std::string& why) {
                    if (end != EditEnd::replaced) {
                      reportUnreplaced(e, operation, end, why);
                      return;
                    }
                    e.flow.hotkeyConversionStack.push_back(record);
                    e.flow.redoConversionStack.clear();
                    e.flow.pendingRejection.reset();
                    e.flow.lastCorrectionAt = e.uptime();
                    restartUndoWindow(e);
                    e.correction.hotkeyCycle =
                        KeyboardEngine::CorrectionState::HotkeyCycle{keys, originalID, record.toSourceID,
                                                                     record.converted, record.element};
                    int step = e.switcher.hotkeyCycleState.empty()
                                   ? 1
                                   : static_cast<int>(e.switcher.hotkeyCycleState["step"]) + 1;
                    e.switcher.hotkeyCycleState = {{"step", step}, {"at", e.uptime()}};
                    e.switcher.lastCycleTime = e.uptime();
                    e.log(fmt::format("{}: converted a {}-character word from {} to {}", operation,
                                      graphemeClusters(toUtf16(record.original)).size(), record.fromSourceID,
                                      record.toSourceID));
                    e.recordConversionStats(record.original, record.converted, record.toSourceID);
                    e.playCorrectionHaptic(false);
                    showConversionFeedback(e, record);
                  });
  // The typed strokes of that word no longer describe the text.
  if (!flowOf(e).strokes().empty()) flowOf(e).clear(false);
}

// Undo and redo: `from` (the text now before the caret) becomes `to`.
void replaceLastConversion(KeyboardEngine& e, bool undo) {
  const char* operation = undo ? "performUndo" : "performRedo";
  auto& stack = undo ? e.flow.hotkeyConversionStack : e.flow.redoConversionStack;
  if (stack.empty()) {
    e.log(std::string(operation) + ": nothing to " + (undo ? "undo" : "redo"));
    return;
  }
  KeyboardEngine::ConversionRecord record = stack.back();
  const std::string& onScreen = undo ? record.converted : record.original;
  const std::string& wanted = undo ? record.original : record.converted;
  auto read = readFocusedText(e);
  if (!read.text) {
    refuseUnreadable(e, operation, read.problem);
    return;
  }
  const FocusedText& t = *read.text;
  std::u16string expected = toUtf16(onScreen);
  auto caret = static_cast<size_t>(t.selection.location);
  bool matches = t.selection.length == 0 && caret >= expected.size() &&
                 t.text.compare(caret - expected.size(), expected.size(), expected) == 0 &&
                 (!record.element || *record.element == t.element);
  if (!matches) {
    refuseChangedScreen(e, operation, "the word is no longer at the caret");
    return;
  }
  EditPlan plan;
  plan.operation = operation;
  plan.element = t.element;
  plan.before = t.text.substr(0, caret - expected.size());
  plan.old = expected;
  plan.after = t.text.substr(caret);
  plan.replacement = toUtf16(wanted);
  plan.switchTo = undo ? record.fromSourceID : record.toSourceID;
  ScreenEdit::run(e, std::move(plan), [record, undo, operation](KeyboardEngine& e, EditEnd end, const std::string& why) {
    if (end != EditEnd::replaced) {
      reportUnreplaced(e, operation, end, why);
      return;
    }
    auto& from = undo ? e.flow.hotkeyConversionStack : e.flow.redoConversionStack;
    auto& to = undo ? e.flow.redoConversionStack : e.flow.hotkeyConversionStack;
    if (!from.empty()) from.pop_back();
    to.push_back(record);
    e.correction.hotkeyCycle.reset();
    e.switcher.hotkeyCycleState.clear();
    restartUndoWindow(e);
    e.playCorrectionHaptic(false);
    if (undo) {
      e.totalUndos.modify([](int64_t& v) { v += 1; });
      e.flow.pendingRejection = record.original;
      e.setLastUndoneWord(record.original);
      // The user has just said this word is what they meant: no learned
      // correction may touch it for a moment.
      if (auto store = e.typoHabitStore()) store->addCooldown(record.original, 10);  // [design]
      e.log("performUndo: restored the word as typed");
      e.showRevertedNotice(formatLocalized(e.localized(conversion_texts::kUndone.titleKey), {record.original}),
                           e.localized(conversion_texts::kUndone.detailKey));
    } else {
      e.flow.pendingRejection.reset();
      // Converted again: the word is no longer being left alone.
      e.setLastUndoneWord(std::nullopt);
      e.log("performRedo: converted the word again");
      showHUDNotice(e, DisplayState::confirmedRedo(record.converted, languageNameOf(e, record.toSourceID)), 2, false,
                    false);
    }
  });
}

// Runs `action` once the typing flow has nothing in flight, unless an edit is
// already running (then the user is told once in a while that it is busy).
void whenFree(KeyboardEngine& e, const char* operation, std::function<void(KeyboardEngine&)> action) {
  if (e.switcher.isCycleAsyncDetourInFlight) {
    e.log(std::string(operation) + ": an edit is still running - ignored");
    double now = e.uptime();
    if (!e.switcher.lastBusyNoticeTime || now - *e.switcher.lastBusyNoticeTime > 2.0) {  // [ours]
      e.switcher.lastBusyNoticeTime = now;
      notice(e, conversion_texts::kBusy, "hourglass", HudColor::white);
    }
    return;
  }
  std::weak_ptr<KeyboardEngine> weak = e.weak();
  flowOf(e).whenIdle([weak, action = std::move(action)] {
    if (auto en = weak.lock()) {
      if (en->switcher.isCycleAsyncDetourInFlight) return;
      action(*en);
    }
  });
}

}  // namespace

void KeyboardEngine::cycleCurrentWordLanguage() {
  whenFree(*this, "cycleCurrentWordLanguage",
           [](KeyboardEngine& e) { convertWordAtCaret(e, "cycleCurrentWordLanguage", std::nullopt); });
}

void KeyboardEngine::correctWithInputSource() {
  // Only a proposed correction names a target layout; without one there is
  // nothing to apply.
  auto target = flow.currentProactiveSuggestionTarget;
  if (!target) {
    log("correctWithInputSource: no proposed correction pending");
    return;
  }
  flow.currentProactiveSuggestionTarget.reset();
  whenFree(*this, "correctWithInputSource",
           [target](KeyboardEngine& e) { convertWordAtCaret(e, "correctWithInputSource", target); });
}

void KeyboardEngine::performUndo() {
  if (!flow.isUndoPossible) {
    log("performUndo: the undo window has closed");
    return;
  }
  whenFree(*this, "performUndo", [](KeyboardEngine& e) { replaceLastConversion(e, true); });
}

void KeyboardEngine::performRedo() {
  if (!flow.isUndoPossible) {
    log("performRedo: the undo window has closed");
    return;
  }
  whenFree(*this, "performRedo", [](KeyboardEngine& e) { replaceLastConversion(e, false); });
}

void KeyboardEngine::handleUndoRedoToggle() {
  if (UnifiedMenuPanel* panel = hudPanelFor(*this); panel && panel->cancelActiveActionable()) return;
  if (!flow.isUndoPossible) {
    log("handleUndoRedoToggle: no conversion within the undo window");
    return;
  }
  if (!flow.hotkeyConversionStack.empty())
    performUndo();
  else if (!flow.redoConversionStack.empty())
    performRedo();
  else
    log("handleUndoRedoToggle: nothing to undo or redo");
}

}  // namespace tessa
