#pragma once
// The engine's HUD notices as the windows use them: the few ways a page or
// the delegate puts a notice on the HUD, without the engine. Handed out by
// `KeyboardEngine::hudNotices()`; each call goes to the engine's panel (see
// engine/hud_notices.h), may be made from any thread, and does nothing once
// the engine is gone.
#include <functional>
#include <optional>
#include <string>

#include "hud/unified_menu_state.h"

namespace tessa {

class UnifiedMenuPanel;

struct HudNotices {
  // A confirmation with a second line and nothing to undo (the "reverted"
  // form), as the sharing answers thank the user.
  std::function<void(const std::string& message, const std::string& subMessage)> showReverted;
  // A short status line below the status item: `statusProgress` when a
  // duration is given, else `status`.
  std::function<void(const std::string& message, const std::string& subMessage, const std::string& icon,
                     HudColor color, std::optional<double> duration)>
      showStatus;
  // Any display state at a priority, placed below the status button or at the
  // top centre, on the main queue.
  std::function<void(UnifiedMenuState::DisplayState state, int priority, bool positionBelowStatusButton,
                     bool positionTopCenter, bool persistent)>
      show;
  // Closes a priority-1 notice and drops queued ones.
  std::function<void(double duration)> dismissStatus;
  // The panel the notices go to; none in a headless run.
  std::function<UnifiedMenuPanel*()> panel;
};

}  // namespace tessa
