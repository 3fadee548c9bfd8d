#pragma once
// What one HUD notice looks like, decided without a window system: the
// symbol or ring on the left, the texts, the badge, the buttons and the hint
// line of each display state. The Qt view only turns this into widgets, so
// every text, colour and opacity rule is checked here.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "hud/unified_menu_state.h"

namespace tessa {

// Looks up a localised text by key in the application language.
using HudLocalizer = std::function<std::string(const std::string& key)>;

// How sure or of which kind a conversion is, as drawn: the badge beside the
// corrected word and the colour of the undo ring.
struct HudScoreStyle {
  std::string badgeText;
  HudColor badgeColor = HudColor::green;
  HudColor ringColor = HudColor::green;
};
HudScoreStyle hudScoreStyle(int64_t score, const HudLocalizer& localized);

// A system symbol drawn in one colour.
struct HudSymbol {
  std::string name;
  HudColor color = HudColor::white;
  double opacity = 1.0;
  double pointSize = 15;
  bool bold = false;  // semibold otherwise
};

// The small dot at the top-right corner of the conversion symbol.
struct HudSymbolMark {
  HudColor color = HudColor::green;
  double opacity = 1.0;
};

// A ring around a symbol that fills (or drains) over `duration`.
struct HudWaitingRing {
  double duration = 0;
  std::string icon;
  bool drains = false;
  bool accessible = true;
};

// The undo button's ring, which drains over the undo window.
struct HudCountdownRing {
  double duration = 0;
  HudColor color = HudColor::green;
  bool isExpired = false;
};

enum class HudButtonRole { accept, dismiss, undo, addToVocabulary, action };

struct HudButton {
  HudButtonRole role = HudButtonRole::action;
  // A symbol button shows `symbol`; the action button shows `title` on an
  // accent-coloured plate.
  std::optional<HudSymbol> symbol;
  std::string title;
  std::optional<HudCountdownRing> countdown;  // the undo button only
  std::string help;
  std::string accessibilityLabel;
  std::string accessibilityHint;
  bool enabled = true;
  HudCallback onClick;
};

struct HudBadge {
  std::string text;
  HudColor color = HudColor::green;
};

// The `ask` title: the typed word struck through, an arrow, the proposal.
struct HudAskTitle {
  std::string currentWord;
  std::string suggestedWord;
};

struct HudRow {
  DisplayState::Kind kind = DisplayState::Kind::idle;
  bool drawsPlate = false;  // everything but idle

  // The leading item: a symbol (with the optional mark) or a ring.
  std::optional<HudSymbol> symbol;
  std::optional<HudSymbolMark> mark;
  std::optional<HudWaitingRing> ring;

  // The texts, stacked and aligned to the leading edge.
  std::string title;
  HudColor titleColor = HudColor::white;
  std::optional<HudAskTitle> askTitle;  // replaces `title` in the ask row
  std::optional<HudBadge> badge;
  std::optional<std::string> detail;
  // The status-like rows draw their detail brighter and heavier.
  bool emphasisedDetail = false;

  bool separator = false;
  std::vector<HudButton> buttons;
  std::optional<std::string> hint;  // only while the hint is allowed
};

HudRow buildHudRow(const DisplayState& state, bool isExpired, bool showHint, const HudLocalizer& localized);

// How far a ring has run: 0 → 1 over `duration` seconds from its start (1 → 0
// when it drains). A duration of zero or less is at its end at once.
double hudRingProgress(double elapsed, double duration, bool drains);

}  // namespace tessa
