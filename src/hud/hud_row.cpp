#include "hud/hud_row.h"
#include "hud/hud_row_texts.h"

#include <algorithm>

namespace tessa {

using namespace hud_row_texts;

namespace {

using K = DisplayState::Kind;

HudSymbol rowSymbol(std::string name, HudColor color = HudColor::white) {
  return HudSymbol{std::move(name), color, 1.0, 15, false};
}

// The status-like rows draw their leading symbol larger and bold.
HudSymbol statusSymbol(std::string name, HudColor color) { return HudSymbol{std::move(name), color, 1.0, 16, true}; }

HudSymbol iconButtonSymbol(std::string name, double opacity) {
  return HudSymbol{std::move(name), HudColor::white, opacity, 15, false};
}

HudButton addToVocabularyButton(const std::string& origWord, double opacity, HudCallback onAddToVocab) {
  HudButton b;
  b.role = HudButtonRole::addToVocabulary;
  b.symbol = iconButtonSymbol("plus.circle", opacity);
  b.help = kAddToVocabularyHelpPrefix + origWord + "» (Ctrl+Shift+A)";
  b.accessibilityLabel = kAddToVocabularyLabelPrefix + origWord + kAddToVocabularyLabelSuffix;
  b.onClick = std::move(onAddToVocab);
  return b;
}

HudButton actionButton(const std::string& title, HudCallback onAction) {
  HudButton b;
  b.role = HudButtonRole::action;
  b.title = title;
  b.accessibilityLabel = title;
  b.onClick = std::move(onAction);
  return b;
}

// An empty sub-message leaves the detail line out.
std::optional<std::string> optionalDetail(const std::string& subMessage) {
  if (subMessage.empty()) return std::nullopt;
  return subMessage;
}

std::string forwardDetail(const DisplayState::ConfirmedForward& f, bool isExpired) {
  if (isExpired) return kUndoExpired;
  if (f.origWord.empty()) return "→ " + f.targetLangName;
  switch (f.score) {
    case 4: return kCorrectedFromPrefix + f.origWord + "»";
    case 5: return kCorrectedFromPrefix + f.origWord + "» (" + f.targetLangName + ")";
    // A restored sentence carries its own description in origWord.
    case 7: return f.origWord;
    default: return kCorrectedFromPrefix + f.origWord + "» → " + f.targetLangName;
  }
}

}  // namespace

HudScoreStyle hudScoreStyle(int64_t score, const HudLocalizer& localized) {
  auto text = [&](const char* key) { return localized ? localized(key) : std::string(key); };
  switch (score) {
    case 7: return {kRestoredSentenceBadge, HudColor::indigo, HudColor::green};
    case 6: return {kToneVowelBadge, HudColor::orange, HudColor::green};
    case 5: return {text("fatfinger_badge"), HudColor::teal, HudColor::teal};
    case 4: return {text("habit_badge"), HudColor::purple, HudColor::purple};
    case 3: return {text("confidence_high"), HudColor::green, HudColor::green};
    case 2: return {text("confidence_medium"), HudColor::orange, HudColor::orange};
    default: break;
  }
  if (score >= 8) return {text("confidence_high"), HudColor::green, HudColor::green};
  return {text("confidence_low"), HudColor::red, HudColor::orange};
}

HudRow buildHudRow(const DisplayState& state, bool isExpired, bool showHint, const HudLocalizer& localized) {
  HudRow row;
  row.kind = state.kind();
  row.drawsPlate = state.kind() != K::idle;

  if (const auto* a = state.as<DisplayState::Ask>()) {
    HudScoreStyle style = hudScoreStyle(a->score, localized);
    row.symbol = rowSymbol("text.magnifyingglass");
    row.askTitle = HudAskTitle{a->currentWord, a->suggestedWord};
    row.badge = HudBadge{style.badgeText, style.badgeColor};
    row.detail = a->reason;
    row.separator = true;
    HudButton accept;
    accept.role = HudButtonRole::accept;
    accept.symbol = HudSymbol{"checkmark.circle.fill", HudColor::green, 1.0, 16, false};
    accept.accessibilityLabel = kAcceptLabelPrefix + a->suggestedWord;
    accept.onClick = a->onAccept;
    HudButton dismiss;
    dismiss.role = HudButtonRole::dismiss;
    dismiss.symbol = iconButtonSymbol("xmark.circle", 0.7);
    dismiss.help = kDismissHelp;
    dismiss.accessibilityLabel = kDismissLabel;
    dismiss.onClick = a->onDismiss;
    row.buttons = {std::move(accept), std::move(dismiss)};
    if (showHint) row.hint = kSuggestionHint;
  } else if (const auto* f = state.as<DisplayState::ConfirmedForward>()) {
    HudScoreStyle style = hudScoreStyle(f->score, localized);
    row.symbol = rowSymbol("keyboard");
    row.mark = HudSymbolMark{style.ringColor, isExpired ? 0.25 : 1.0};
    row.title = f->correctedWord;
    row.badge = HudBadge{style.badgeText, style.badgeColor};
    row.detail = forwardDetail(*f, isExpired);
    row.separator = true;
    HudButton undo;
    undo.role = HudButtonRole::undo;
    undo.countdown = HudCountdownRing{f->duration, style.ringColor, isExpired};
    undo.help = kUndoHelp;
    undo.accessibilityLabel = kUndoLabel;
    undo.accessibilityHint = kUndoHintPrefix + f->origWord;
    undo.enabled = !isExpired;
    undo.onClick = f->onUndo;
    row.buttons = {std::move(undo), addToVocabularyButton(f->origWord, isExpired ? 0.3 : 0.85, f->onAddToVocab)};
    if (showHint) row.hint = kConversionHint;
  } else if (const auto* r = state.as<DisplayState::ConfirmedReverted>()) {
    row.symbol = rowSymbol("arrow.uturn.backward", HudColor::orange);
    row.title = r->message;
    row.detail = optionalDetail(r->subMessage);
    if (r->onAddToVocab) {
      row.separator = true;
      row.buttons = {addToVocabularyButton(r->origWord, 0.85, r->onAddToVocab)};
    }
  } else if (const auto* d = state.as<DisplayState::ConfirmedRedo>()) {
    row.symbol = rowSymbol("arrow.uturn.forward", HudColor::green);
    row.title = kRedoTitlePrefix + d->correctedWord + kRedoTitleSuffix;
    row.detail = kRedoDetail;
  } else if (const auto* s = state.as<DisplayState::Status>()) {
    row.symbol = statusSymbol(s->icon, HudColor::white);
    row.title = s->message;
    row.titleColor = s->messageColor;
    row.detail = optionalDetail(s->subMessage);
    row.emphasisedDetail = true;
  } else if (const auto* p = state.as<DisplayState::StatusProgress>()) {
    row.ring = HudWaitingRing{p->duration, p->icon, false, true};
    row.title = p->message;
  } else if (const auto* c = state.as<DisplayState::Actionable>()) {
    row.symbol = statusSymbol(c->icon, c->messageColor);
    row.title = c->message;
    row.detail = optionalDetail(c->subMessage);
    row.emphasisedDetail = true;
    row.separator = true;
    row.buttons = {actionButton(c->actionTitle, c->onAction)};
  } else if (const auto* c = state.as<DisplayState::ActionableCountdown>()) {
    row.ring = HudWaitingRing{c->duration, c->icon, true, false};
    row.title = c->message;
    row.detail = optionalDetail(c->subMessage);
    row.emphasisedDetail = true;
    row.separator = true;
    row.buttons = {actionButton(c->actionTitle, c->onAction)};
  }
  return row;
}

double hudRingProgress(double elapsed, double duration, bool drains) {
  double run = duration > 0 ? std::clamp(elapsed / duration, 0.0, 1.0) : 1.0;
  return drains ? 1.0 - run : run;
}

}  // namespace tessa
