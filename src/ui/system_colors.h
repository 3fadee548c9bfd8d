#pragma once
// The real colour values behind the user-interface colour names the
// Qt-free code asks for.
#include <QColor>

#include "hud/unified_menu_state.h"

namespace tessa {

// The colour of `color` on the dark HUD plate; `accent` follows the
// application palette's highlight.
QColor systemColor(HudColor color);

// `color` with its alpha scaled by `opacity` (0…1).
QColor withOpacity(QColor color, double opacity);

}  // namespace tessa
