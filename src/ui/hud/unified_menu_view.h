#pragma once
// The HUD notice as widgets: the dark plate with one row per display state.
// It observes the panel's UnifiedMenuState and rebuilds its row on the next
// turn of the event loop after a change (or at once through sync(), which
// the panel's fitting-size hook calls before it measures). The buttons call
// the display state's callbacks; the view never changes the state itself.
//
// Every element has an object name, for tests and accessibility tools:
// hudSymbol (with hudSymbolMark), hudWaitingRing, hudTitle or hudCurrentWord /
// hudArrow / hudSuggestedWord, hudBadge, hudDetail, hudSeparator, the buttons
// hudAcceptButton, hudDismissButton, hudUndoButton, hudAddToVocabularyButton,
// hudActionButton, and hudHint.
#include <cstdint>
#include <string>

#include <QAbstractButton>
#include <QWidget>

#include "base/clock.h"
#include "base/observable.h"
#include "hud/hud_row.h"
#include "hud/unified_menu_state.h"

class QHBoxLayout;
class QVBoxLayout;

namespace tessa {

// A symbol of the icon set, optionally with the small coloured mark at its
// top-right corner.
class HudSymbolView final : public QWidget {
  Q_OBJECT
 public:
  HudSymbolView(const HudSymbol& symbol, QWidget* parent = nullptr);
  const HudSymbol& symbol() const { return symbol_; }
  // Adds the mark (a child named hudSymbolMark).
  void addMark(const HudSymbolMark& mark);
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  HudSymbol symbol_;
  bool hasMark_ = false;
};

// A plain button whose label is a symbol.
class HudSymbolButton final : public QAbstractButton {
  Q_OBJECT
 public:
  HudSymbolButton(const HudSymbol& symbol, QWidget* parent = nullptr);
  const HudSymbol& symbol() const { return symbol_; }
  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  HudSymbol symbol_;
};

class UnifiedMenuView final : public QWidget {
  Q_OBJECT
 public:
  // `clock` is the panel's: the rings run on it.
  UnifiedMenuView(UnifiedMenuState& state, const Clock& clock, HudLocalizer localizer, QWidget* parent = nullptr);
  ~UnifiedMenuView() override;

  // Brings the widgets up to date with the state now.
  void sync();
  // The row the widgets show.
  const HudRow& row() const { return row_; }

  // Without a compositor the window cannot be see-through: the plate is then
  // painted square and opaque over the whole view.
  void setOpaquePlate(bool opaque);
  bool opaquePlate() const { return opaquePlate_; }

 signals:
  // The row was rebuilt: its fitting size may have changed. `sameNotice`
  // when only the flags of the notice on screen changed (no new show, so
  // nothing else will measure it again).
  void rowRebuilt(bool sameNotice);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void scheduleSync();
  void rebuild(bool sameNotice);
  // The row's parts, left to right, each added to `rowLayout`.
  void addLeadingMark(QHBoxLayout* rowLayout);
  void addTexts(QHBoxLayout* rowLayout);
  void addButtons(QHBoxLayout* rowLayout);
  void clearRow();
  QWidget* makeButton(const HudButton& button);

  UnifiedMenuState& state_;
  const Clock& clock_;
  HudLocalizer localizer_;
  Subscription subscription_;
  bool syncQueued_ = false;
  bool opaquePlate_ = false;

  // What the widgets were built from.
  HudRow row_;
  uint64_t builtRevision_ = 0;
  bool builtExpired_ = false;
  bool builtHint_ = false;
  bool built_ = false;
  // When the notice on screen first appeared: its rings start there and do
  // not start again when only its flags change.
  double rowStartedAt_ = 0;

  QVBoxLayout* outer_ = nullptr;
  QWidget* content_ = nullptr;
};

}  // namespace tessa
