// The verified edit of the focused field that the word conversion, its undo
// and its redo make (screen_edit.h).
#include "engine/screen_edit.h"

#include <fmt/format.h>

#include "base/unicode.h"
#include "engine/keyboard_engine.h"
#include "engine/language_switcher.h"
#include "typing/text_units.h"
#include "typing/typing_flow_controller.h"

namespace tessa {

namespace {

using KeyChord = ConversionState::KeyChord;

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
// field has not answered, still shows the text from before the keys, stands
// part-way through them, or changed within the last kVerifySettle: once
// Deletes are posted, giving up on a busy application that simply has not
// taken them yet would leave the word deleted and never retyped.
constexpr double kVerifySettle = 0.1;
constexpr double kVerifyLimit = 3.0;
// [ours] While a wait runs, keys the user types stay held behind the edit,
// however long the application takes: released early, they would go out
// behind the Deletes and land where the word was. The guard against a
// simulation that never ends takes over again this long after a wait's limit.
constexpr double kVerifyLimitGrace = 0.5;

TypingFlowController& flowOf(KeyboardEngine& e) { return *e.flow.flowController; }

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

// ------------------------------------------------------------ the edit

bool shows(const FocusedText& t, const AXElement& element, const std::u16string& beforeCaret,
           const std::u16string& after) {
  return t.element == element && t.text == beforeCaret + after &&
         t.selection == TextRange{static_cast<int64_t>(beforeCaret.size()), 0};
}

// A rich-text editor keeps a blank that ends its text as a no-break space
// and turns it back into a plain one once text follows (browsers do in an
// editable element): the two are one blank to an edit, which deletes and
// types around it.
std::u16string& blanksAlike(std::u16string& text) {
  std::replace(text.begin(), text.end(), u'\u00A0', u' ');
  return text;
}

FocusedTextRead readField(KeyboardEngine& e, const AXElement& element) {
  auto read = readFieldText(e, element);
  if (read.text) blanksAlike(read.text->text);
  return read;
}

// The text before the caret, when the field is `element` with nothing
// selected and `after` after the caret.
std::optional<std::u16string> beforeCaret(const FocusedText& t, const AXElement& element, const std::u16string& after) {
  if (!(t.element == element) || !t.text.ends_with(after)) return std::nullopt;
  const size_t at = t.text.size() - after.size();
  if (t.selection != TextRange{static_cast<int64_t>(at), 0}) return std::nullopt;
  return t.text.substr(0, at);
}

// The length of the longest common start of `a` and `b`, never ending
// between the two halves of a surrogate pair.
size_t commonStart(const std::u16string& a, const std::u16string& b) {
  size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
  if (n > 0 && n < a.size() && a[n - 1] >= 0xD800 && a[n - 1] <= 0xDBFF) --n;
  return n;
}

// One round of Deletes from the end of `shown` (the text before the caret)
// towards `floor` (where the old text begins). What one Delete takes differs
// by field and by character: a code point, a mark with the character it
// sits on, or a whole user-perceived character, and never more. So a round
// counts on what is known (a character of one code point; what this
// application was seen to take of a character) and stops after the first
// character of several code points it has not seen deleted: its Delete may
// take any end of it, and every outcome takes more than any state on the
// way there, so the field's text tells where the round ended. The last
// character before the old text may reach into it (marks that sit on the
// blank before a word): deleted, it takes that blank too, and what the
// Deletes took of the text before is typed back.
struct DeleteRound {
  size_t deletes = 0;
  std::vector<std::u16string> outcomes;  // the text before the caret once they are taken
  std::u16string unknown;                // the character not seen deleted before, if any
  std::vector<size_t> takes;             // per outcome, what its Delete took of that character
};

DeleteRound planDeletes(const std::u16string& shown, size_t floor,
                        const std::function<std::optional<size_t>(const std::u16string&)>& known) {
  DeleteRound round;
  std::u16string t = shown;
  while (t.size() > floor) {
    const std::u16string character = t.substr(previousGraphemeBoundary(t, t.size()));
    const size_t points = codePointCount(character);
    round.deletes += 1;
    std::optional<size_t> takes = points == 1 ? std::optional<size_t>(1) : known(character);
    if (takes) {
      t = dropLastCodePoints(t, std::min(*takes, points));
      continue;
    }
    round.unknown = character;
    for (size_t m = 1; m <= points; ++m) {
      round.outcomes.push_back(dropLastCodePoints(t, m));
      round.takes.push_back(m);
    }
    return round;
  }
  round.outcomes.push_back(t);
  return round;
}

// Whether a character of `s` begins before `pos` and ends after it.
bool splitsCharacter(const std::u16string& s, size_t pos) {
  return pos > 0 && pos < s.size() && nextGraphemeBoundary(s, previousGraphemeBoundary(s, pos)) != pos;
}

// Of the texts a round of keys may end at, the one furthest from where it
// began: the shortest once deleting, the only one once typing.
const std::u16string& furthest(const std::vector<std::u16string>& outcomes) {
  return *std::min_element(outcomes.begin(), outcomes.end(),
                           [](const auto& a, const auto& b) { return a.size() < b.size(); });
}

// Whether the field's `text` stands part-way from `from` to `to` (the text
// before the caret before our keys, and where they end) with `after` after
// the caret: some of the Deletes taken, or some of the word typed.
bool partWay(const std::u16string& text, const std::u16string& from, const std::u16string& to,
             const std::u16string& after) {
  if (!text.ends_with(after)) return false;
  const std::u16string_view front(text.data(), text.size() - after.size());
  const bool deleting = from.size() > to.size();
  const std::u16string_view longer = deleting ? from : to, shorter = deleting ? to : from;
  return longer.starts_with(front) && front.starts_with(shorter);
}

class ScreenEdit : public std::enable_shared_from_this<ScreenEdit> {
 public:
  using Done = EditDone;

  static void run(KeyboardEngine& e, EditPlan plan, Done done) {
    auto edit = std::shared_ptr<ScreenEdit>(new ScreenEdit(std::move(plan), std::move(done)));
    e.conversion.setEditInFlight(true);
    edit->start(e);
  }

 private:
  ScreenEdit(EditPlan plan, Done done) : plan_(std::move(plan)), done_(std::move(done)) {}

  // On the turn the field was read, so the Deletes follow what it showed:
  // from here on the keys the user types wait behind the edit.
  void start(KeyboardEngine& e) {
    for (auto* text : {&plan_.before, &plan_.old, &plan_.after}) blanksAlike(*text);
    e.beginTypingSimulation();
    simulating_ = true;
    layoutBefore_ = e.currentInputSourceID().value_or("");
    shown_ = plan_.before + plan_.old;
    switchOnceThrough_ = true;
    if (plan_.oldIsSelection) {
      postDeletes(e, 1);
      waitFor(e, {plan_.before}, shown_, [self = shared_from_this()](KeyboardEngine& e, std::optional<size_t> which) {
        if (!which) {
          self->putBack(e, "the text did not match after deleting", self->shown_);
          return;
        }
        self->shown_ = self->plan_.before;
        self->typeReplacement(e);
      });
      return;
    }
    // What a Delete takes is learned per application, for the characters
    // that have more than one code point; only then is it asked for.
    if (graphemeClusters(plan_.old).size() != codePointCount(plan_.old) || splitsCharacter(shown_, plan_.before.size()))
      bundleID_ = bundleIDOfFrontmost(e);
    deleteRound(e);
  }

  void deleteRound(KeyboardEngine& e) {
    auto round = std::make_shared<DeleteRound>(
        planDeletes(shown_, plan_.before.size(), [&e, this](const std::u16string& character) {
          return bundleID_.empty() ? std::nullopt : e.conversion.deleteTakes(bundleID_, character);
        }));
    postDeletes(e, round->deletes);
    auto self = shared_from_this();
    waitFor(e, round->outcomes, shown_, [self, round](KeyboardEngine& e, std::optional<size_t> which) {
      if (!which) {
        self->putBack(e, "the text did not match after deleting", self->shown_);
        return;
      }
      if (*which == round->outcomes.size()) {
        e.log(fmt::format("{}: the Deletes took more than one character each", self->plan_.operation));
        self->shown_ = self->overrun_;
      } else if (!round->unknown.empty()) {
        e.conversion.noteDeleteTakes(self->bundleID_, round->unknown, round->takes[*which]);
        e.log(fmt::format("{}: {} deletes {} of {} code points of a character at once", self->plan_.operation,
                          self->bundleID_.empty() ? "the application" : self->bundleID_, round->takes[*which],
                          codePointCount(round->unknown)));
      }
      if (*which < round->outcomes.size()) self->shown_ = round->outcomes[*which];
      if (self->shown_.size() > self->plan_.before.size()) {
        self->deleteRound(e);
        return;
      }
      // The Delete of a mark that sits on the character before the word
      // took that character too: it is typed back with the word.
      self->typedBack_ = self->plan_.before.substr(self->shown_.size());
      if (!self->typedBack_.empty())
        e.log(fmt::format("{}: the Deletes took {} code points of the text before the word - typing them back",
                          self->plan_.operation, codePointCount(self->typedBack_)));
      self->typeReplacement(e);
    }, kVerifyBudget, true);
  }

  // Switched before the word is typed: each key of the word then types its
  // character by its own code in the new layout, and the window system need
  // not lend a key for it. Keys the user types from here on wait for it.
  void switchLayout(KeyboardEngine& e) {
    if (switched_ || plan_.switchTo.empty() || e.currentInputSourceID() == plan_.switchTo) return;
    flowOf(e).holdUntilSource(plan_.switchTo, plan_.element);
    e.syncKeyboardHold();
    e.languageSwitcher().switchToInputSource(plan_.switchTo);
    switched_ = true;
  }

  void typeReplacement(KeyboardEngine& e) {
    switchLayout(e);
    const auto& keys = reverseKeyMap(e, plan_.switchTo);
    typed_ = true;
    KeyBurst word;
    for (const auto& cluster : graphemeClusters(typedBack_ + plan_.replacement)) {
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
    waitFor(e, {plan_.before + plan_.replacement}, shown_,
            [self](KeyboardEngine& e, std::optional<size_t> which) {
      if (!which)
        self->putBack(e, "the typed text did not appear as expected", self->shown_);
      else
        self->finish(e, EditEnd::replaced, "");
    });
  }

  // The wait gave up with keys of ours posted, so the old text, and even some
  // of the text before it, may be partly or wholly gone. Once the field
  // settles (or has shown `pending`, the text from before those keys, for as
  // long as a wait lasts), whatever is missing is put back by an edit of its
  // own, verified like any other. Only what our own keys explain is touched:
  // the end of the old text and the text before it taken off, or the
  // replacement (with what is typed back before it) part-way in.
  void putBack(KeyboardEngine& e, std::string why, std::u16string pending) {
    if (plan_.isPutBack) {
      finish(e, EditEnd::unaccounted, why);
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
          const EditPlan& plan = self->plan_;
          const std::u16string whole = plan.before + plan.old;
          auto read = readField(e, plan.element);
          auto now = read.text ? beforeCaret(*read.text, plan.element, plan.after) : std::nullopt;
          if (now == whole) {
            self->finish(e, EditEnd::leftAlone, why);
            return;
          }
          EditPlan restore = plan;
          if (now && (whole.starts_with(*now) ||
                      (self->typed_ && now->starts_with(self->shown_) &&
                       (plan.before + plan.replacement).starts_with(*now)))) {
            const size_t kept = commonStart(*now, whole);
            restore.before = whole.substr(0, kept);
            restore.old = now->substr(kept);
            restore.replacement = whole.substr(kept);
          } else if (read.text && self->showsOnlyTheTextBefore(*read.text)) {
            // The text after the caret changed, but what stands before it
            // is the text before the word and nothing of it: the word goes
            // back at the caret, before whatever now follows.
            restore.old.clear();
            restore.after = read.text->text.substr(plan.before.size());
            restore.replacement = plan.old;
          } else {
            self->finish(e, EditEnd::unaccounted, why);
            return;
          }
          restore.operation += " (putting the word back)";
          restore.oldIsSelection = false;
          restore.switchTo = self->layoutBefore_;
          restore.isPutBack = true;
          e.log(fmt::format("{}: {} - putting the word back", plan.operation, why));
          ScreenEdit::run(e, std::move(restore),
                          [self, why](KeyboardEngine& e, EditEnd end, const std::string& failed, const std::string&) {
            if (end == EditEnd::replaced)
              self->finish(e, EditEnd::putBack, why);
            else
              self->finish(e, EditEnd::unaccounted, why + ", and putting the word back failed: " + failed);
          });
        },
        0);
  }

  // The caret stands right after the text that stood before the old text,
  // with none of the old text or the replacement before it, and the old text
  // is not right after it either (a caret moved in front of a word the keys
  // never reached).
  bool showsOnlyTheTextBefore(const FocusedText& t) const {
    const size_t at = plan_.before.size();
    return t.element == plan_.element && t.selection == TextRange{static_cast<int64_t>(at), 0} &&
           t.text.starts_with(plan_.before) && !t.text.substr(at).starts_with(plan_.old);
  }

  // What the field has shown while waiting for it.
  struct Watch {
    std::vector<std::u16string> outcomes;
    std::u16string pending;  // the text before the caret from before the keys
    double since = 0;
    std::optional<std::u16string> lastText;
    double lastChange = 0;
    double budget = kVerifyBudget;
    // Deletes may also take more than planned (a field whose Delete takes a
    // mark with a character before it that stands alone): what it settles
    // at, shorter than every outcome and where our keys left it, counts.
    bool overrunCounts = false;
  };

  // Polls the field until the text before the caret is one of `outcomes`
  // (with the text after the caret unchanged) or `budget` is spent; a field
  // that still shows `pending`, has not answered or is still changing gets
  // longer (kVerifyLimit), since the keys may simply not have landed yet.
  void waitFor(KeyboardEngine& e, std::vector<std::u16string> outcomes, std::u16string pending,
               std::function<void(KeyboardEngine&, std::optional<size_t>)> next, double budget = kVerifyBudget,
               bool overrunCounts = false) {
    auto watch = std::make_shared<Watch>();
    watch->overrunCounts = overrunCounts;
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
    auto read = readField(e, plan_.element);
    const double now = e.uptime();
    if (read.text) {
      for (size_t i = 0; i < watch->outcomes.size(); ++i)
        if (shows(*read.text, plan_.element, watch->outcomes[i], plan_.after)) {
          next(e, i);
          return;
        }
      if (watch->lastText != read.text->text) {
        watch->lastText = read.text->text;
        watch->lastChange = now;
      }
      if (watch->overrunCounts && now - watch->lastChange >= kVerifySettle && !(events && events->ownKeysInFlight()))
        if (auto at = beforeCaret(*read.text, plan_.element, plan_.after);
            at && at->size() < furthest(watch->outcomes).size() && watch->pending.starts_with(*at)) {
          overrun_ = *at;
          next(e, watch->outcomes.size());
          return;
        }
    }
    const double waited = now - watch->since;
    // A field part-way through our keys is still taking them, however long
    // it pauses between them: a browser under load updates its accessible
    // text in bursts. (A put-back's look, with no budget of its own, comes
    // after a wait that gave those keys their time.)
    const bool notYet = !read.text || read.text->text == watch->pending + plan_.after ||
                        now - watch->lastChange < kVerifySettle ||
                        (watch->budget > 0 && !watch->outcomes.empty() &&
                         partWay(read.text->text, watch->pending, furthest(watch->outcomes), plan_.after));
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
    // Given up on: the user is told what is missing, and only what is.
    std::string lost;
    if (end == EditEnd::unaccounted && !plan_.isPutBack) {
      const std::u16string whole = plan_.before + plan_.old;
      auto read = readField(e, plan_.element);
      auto now = read.text ? beforeCaret(*read.text, plan_.element, plan_.after) : std::nullopt;
      if (now == whole)
        end = EditEnd::leftAlone;
      else if (now && whole.starts_with(*now))
        lost = toUtf8(whole.substr(now->size()));
    }
    // Switched for a word never typed: the user stays in their layout.
    if (switched_ && !typed_ && !plan_.isPutBack && !layoutBefore_.empty() && e.currentInputSourceID() != layoutBefore_)
      e.languageSwitcher().switchToInputSource(layoutBefore_);
    if (simulating_) e.endTypingSimulation();
    simulating_ = false;
    e.conversion.setEditInFlight(false);
    done_(e, end, why, lost);
  }

  EditPlan plan_;
  Done done_;
  std::string bundleID_;
  std::string layoutBefore_;  // current when the keys began: a put-back word is typed for it
  std::u16string shown_;      // the text before the caret, as the field last showed it
  std::u16string typedBack_;  // what the Deletes took of the text before the old text
  std::u16string overrun_;    // where Deletes that took more than planned left the field
  bool simulating_ = false;
  bool switchOnceThrough_ = false;  // switch when the Deletes are through
  bool switched_ = false;  // the layout was switched for the replacement
  bool typed_ = false;  // the replacement's keys were posted
};
}  // namespace

void runScreenEdit(KeyboardEngine& e, EditPlan plan, EditDone done) {
  ScreenEdit::run(e, std::move(plan), std::move(done));
}

const std::unordered_map<char32_t, KeyChord>& reverseKeyMap(KeyboardEngine& e, const std::string& sourceID) {
  auto& cache = e.conversion.keyMaps();
  if (auto it = cache.find(sourceID); it != cache.end()) return it->second;
  std::unordered_map<char32_t, KeyChord> map;
  if (auto layout = e.platform().inputSources ? e.platform().inputSources->layoutFor(sourceID) : nullptr) {
    // The most direct way to type a character wins.
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

}  // namespace tessa
