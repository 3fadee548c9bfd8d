// Converting the word at the caret to another keyboard layout, and undoing
// and redoing that, by editing the focused application's text with synthetic
// keystrokes (screen_edit.h). Every edit reads the field first and verifies
// what its keys did; a field that no longer holds what was read is left
// alone and the user is told. The state all this keeps is ConversionState's.
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
#include "engine/screen_edit.h"

namespace tessa {

namespace {

using KeyChord = ConversionState::KeyChord;

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

// ------------------------------------------------------- layout mapping

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

// Tells the user how an edit that did not replace `word` ended; `lost` is
// what the field shows missing, when it can tell.
void reportUnreplaced(KeyboardEngine& e, const std::string& operation, EditEnd end, const std::string& why,
                      const std::string& word, const std::string& lost) {
  switch (end) {
    case EditEnd::replaced:
      return;
    case EditEnd::unaccounted:
      // Our Deletes were sent and the field does not hold the word: what is
      // gone is named (the word, when the field cannot tell), with the
      // program's own undo to bring it back.
      e.log(operation + ": " + why +
            " - refused because the screen changed; the word may be gone, the user was told how to get it back");
      notice(e, conversion_texts::kWordMayBeGone, "exclamationmark.triangle", HudColor::orange,
             trimmedWord(lost).empty() ? word : lost);
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
  e.conversion.restartWindow(
      e.afterOnMainWeak(e.undoTimeout(), [](KeyboardEngine& e) { e.setIsUndoPossible(false); }));
}

std::string languageNameOf(KeyboardEngine& e, const std::string& sourceID) {
  std::string language = e.layoutIdentifierInfo(sourceID);
  return language.empty() ? inputSourceDisplayName(sourceID) : languageDisplayName(language);
}

// The confirmation of a conversion: the converted word with its undo window
// and the way to keep the word as typed.
void showConversionFeedback(KeyboardEngine& e, const ConversionRecord& r) {
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
  const auto& cycle = e.conversion.cycle();
  if (cycle && cycle->text == word && cycle->element == plan->element) {
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
  ConversionRecord record{word, converted, fromID, targetID, plan->element, e.uptime()};
  runScreenEdit(e, std::move(*plan),
                [record, keys, originalID, operation](KeyboardEngine& e, EditEnd end, const std::string& why,
                                                      const std::string& lost) {
                  if (end != EditEnd::replaced) {
                    reportUnreplaced(e, operation, end, why, record.original, lost);
                    return;
                  }
                  e.conversion.recordConversion(record);
                  e.flow.pendingRejection.reset();
                  restartUndoWindow(e);
                  e.conversion.continueCycle({keys, originalID, record.toSourceID, record.converted, record.element},
                                             e.uptime());
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

// Whether `record`'s word (its converted text for an undo, its original for
// a redo) ends at the caret of the field `t`, with nothing selected.
bool isAtCaret(const FocusedText& t, const ConversionRecord& record, bool undo) {
  const std::u16string expected = toUtf16(undo ? record.converted : record.original);
  const auto caret = static_cast<size_t>(t.selection.location);
  return t.selection.length == 0 && caret >= expected.size() &&
         t.text.compare(caret - expected.size(), expected.size(), expected) == 0 &&
         (!record.element || *record.element == t.element);
}

// What the undo-or-redo key does next, once an edit has left `caretText`
// at the caret of `element`.
bool nextToggleUndoes(KeyboardEngine& e, const std::string& caretText, const std::optional<AXElement>& element) {
  return e.conversion.toggleChoice([&](const ConversionRecord& r) {
    return r.converted == caretText && (!r.element || r.element == element);
  }) == ConversionState::Toggle::undo;
}

// Undo and redo: `from` (the text now before the caret) becomes `to`.
// `read` is the field as just read.
void replaceLastConversion(KeyboardEngine& e, bool undo, FocusedTextRead read) {
  const char* operation = undo ? "performUndo" : "performRedo";
  const auto& stack = undo ? e.conversion.undoStack() : e.conversion.redoStack();
  if (stack.empty()) {
    e.log(std::string(operation) + ": nothing to " + (undo ? "undo" : "redo"));
    return;
  }
  ConversionRecord record = stack.back();
  const std::string& onScreen = undo ? record.converted : record.original;
  const std::string& wanted = undo ? record.original : record.converted;
  if (!read.text) {
    refuseUnreadable(e, operation, read.problem);
    return;
  }
  const FocusedText& t = *read.text;
  std::u16string expected = toUtf16(onScreen);
  auto caret = static_cast<size_t>(t.selection.location);
  if (!isAtCaret(t, record, undo)) {
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
  runScreenEdit(e, std::move(plan), [record, undo, operation](KeyboardEngine& e, EditEnd end, const std::string& why,
                                                              const std::string& lost) {
    if (end != EditEnd::replaced) {
      reportUnreplaced(e, operation, end, why, undo ? record.converted : record.original, lost);
      return;
    }
    e.conversion.recordUndone(undo, record);
    restartUndoWindow(e);
    e.playCorrectionHaptic(false);
    if (undo) {
      e.totalUndos.modify([](int64_t& v) { v += 1; });
      e.flow.pendingRejection = record.original;
      e.setLastUndoneWord(record.original);
      // The user has just said this word is what they meant: no learned
      // correction may touch it for a moment.
      if (auto store = e.typoHabitStore()) store->addCooldown(record.original, 10);  // [design]
      // The notice says what the key does next: the word converted before
      // this one, now at the caret, is undone too; else this one is redone.
      const bool undoesMore = nextToggleUndoes(e, record.original, record.element);
      e.log(std::string("performUndo: restored the word as typed") +
            (undoesMore ? " - the key undoes the conversion before it next" : ""));
      const auto& text = undoesMore ? conversion_texts::kUndoneMore : conversion_texts::kUndone;
      e.showRevertedNotice(formatLocalized(e.localized(text.titleKey), {record.original}),
                           e.localized(text.detailKey));
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
  if (e.conversion.isEditInFlight()) {
    e.log(std::string(operation) + ": an edit is still running - ignored");
    if (e.conversion.busyNoticeDue(e.uptime())) notice(e, conversion_texts::kBusy, "hourglass", HudColor::white);
    return;
  }
  std::weak_ptr<KeyboardEngine> weak = e.weak();
  // The keys held since the hot key's press stay held while the typing flow
  // finishes a switch, and until the edit has begun holding them itself.
  flowOf(e).whenIdle([weak, action = std::move(action), hold = e.conversion.takeHotKeyHold()]() mutable {
    if (auto en = weak.lock()) {
      if (!en->conversion.isEditInFlight()) action(*en);
    }
    hold.reset();
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
  if (!conversion.isUndoPossible()) {
    log("performUndo: the undo window has closed");
    return;
  }
  whenFree(*this, "performUndo", [](KeyboardEngine& e) { replaceLastConversion(e, true, readFocusedText(e)); });
}

void KeyboardEngine::performRedo() {
  if (!conversion.isUndoPossible()) {
    log("performRedo: the undo window has closed");
    return;
  }
  whenFree(*this, "performRedo", [](KeyboardEngine& e) { replaceLastConversion(e, false, readFocusedText(e)); });
}

void KeyboardEngine::handleUndoRedoToggle() {
  if (UnifiedMenuPanel* panel = hudPanelFor(*this); panel && panel->cancelActiveActionable()) return;
  if (!conversion.isUndoPossible()) {
    log("handleUndoRedoToggle: no conversion within the undo window");
    return;
  }
  if (conversion.undoStack().empty() && conversion.redoStack().empty()) {
    log("handleUndoRedoToggle: nothing to undo or redo");
    return;
  }
  // Chosen once the field is read, as the last notice promised: an older
  // conversion of another word, no longer at the caret, does not stand in
  // the way of redoing the one just undone.
  whenFree(*this, "handleUndoRedoToggle", [](KeyboardEngine& e) {
    auto read = readFocusedText(e);
    const auto choice = e.conversion.toggleChoice(
        [&](const ConversionRecord& r) { return !read.text || isAtCaret(*read.text, r, true); });
    if (choice == ConversionState::Toggle::nothing) return;
    replaceLastConversion(e, choice == ConversionState::Toggle::undo, std::move(read));
  });
}

void KeyboardEngine::setIsUndoPossible(bool value) {
  if (value) {
    conversion.openWindow();
    return;
  }
  if (!conversion.closeWindow()) return;
  // What rode on the window ends with it.
  commitPendingRejection();
  expireCorrectionHUD(*this);
}

}  // namespace tessa
