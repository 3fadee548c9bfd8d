#pragma once
// The HUD's top-level window: a frameless tool window that stays on top and
// never takes the keyboard focus (the user's typing must keep going to the
// application they type in), shown without activating. It mirrors the
// Qt-free UnifiedMenuPanel: visibility, opacity with its running fade and
// frame; its content is a UnifiedMenuView of the panel's state.
//
// Where a compositor runs, the window is see-through and draws the rounded
// plate with its shadow; without one it paints an opaque square plate.
// Wayland does not let a client put a window at a point: the caret and
// status-item anchors then end wherever the compositor puts the window,
// which is logged once.
#include <functional>
#include <memory>
#include <optional>

#include <QMargins>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include "base/observable.h"
#include "base/app_log.h"
#include "hud/hud_row.h"
#include "hud/unified_menu_panel.h"
#include "ui/hud/unified_menu_view.h"

namespace tessa {

// Can the window system show a see-through window? True on Wayland and
// with a compositing manager on X11 (an owner of _NET_WM_CM_S0); the
// offscreen platform counts as composited so that screenshots show the
// designed look. Any other platform draws opaque.
bool windowSystemComposites(const QString& platformName);

class HudWindow final : public QWidget {
  Q_OBJECT
 public:
  struct Options {
    // See-through or opaque; none asks the window system.
    std::optional<bool> translucent;
    // The Qt platform plugin's name; empty reads the running application's.
    QString platformName;
    // Where the one-time placement warning goes; none writes nothing.
    const AppLog* log = nullptr;
  };

  // Binds the panel's fitting size to this window's view for the window's
  // lifetime.
  HudWindow(std::shared_ptr<UnifiedMenuPanel> panel, HudLocalizer localizer, Options options);
  HudWindow(std::shared_ptr<UnifiedMenuPanel> panel, HudLocalizer localizer)
      : HudWindow(std::move(panel), std::move(localizer), Options{}) {}
  ~HudWindow() override;

  UnifiedMenuView& view() { return *view_; }
  bool isTranslucent() const { return translucent_; }
  bool canPlaceAtPoint() const { return canPlaceAtPoint_; }

  // The room around the plate for its shadow (see-through windows only).
  static QMargins shadowMargins() { return QMargins(8, 5, 8, 11); }

  // `geometry` gives the status item's bounds in Qt's global coordinates
  // (the tray icon's geometry); an empty rectangle is unknown, and the panel
  // then falls back to the top centre.
  void bindStatusButton(std::function<QRect()> geometry);

  // Mirrors the panel and the view's content now; otherwise both follow on
  // the next turn of the event loop after a change.
  void sync();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void scheduleSync();
  void focusWindowChanged(QWindow* window);
  void mirrorPanel();
  void layoutView();

  std::shared_ptr<UnifiedMenuPanel> panel_;
  Options options_;
  bool translucent_ = true;
  bool canPlaceAtPoint_ = true;
  bool placementLogged_ = false;
  bool syncQueued_ = false;
  UnifiedMenuView* view_ = nullptr;
  Subscription panelSubscription_;
  // The last of our other windows that had the keyboard focus.
  QPointer<QWindow> lastFocusWindow_;
  // Follows the panel's running fade, which is a function of its clock.
  QTimer fadeTimer_;
};

}  // namespace tessa
