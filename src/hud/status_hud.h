#pragma once
// The common ways other parts of the system put a notice in the HUD. Each
// may be called from any thread: the HUD work itself runs on the main queue.
#include <optional>
#include <string>

#include "hud/unified_menu_panel.h"

namespace tessa {

class KeyboardEngine;

// The engine's panel, else the process's shared one; none when no panel has
// been set up (a headless run without a HUD).
UnifiedMenuPanel* hudPanelFor(KeyboardEngine& engine);

// Makes `panel` the engine's HUD: notices go to it, and clicks on it count
// as clicks inside the program's own panels.
void attachHudPanel(KeyboardEngine& engine, UnifiedMenuPanel* panel);

// A short status line at priority 3 below the status item: `statusProgress`
// when a duration is given, else `status`.
void showStatusHUD(KeyboardEngine& engine, const std::string& message, const std::string& subMessage,
                   const std::string& icon, HudColor color, std::optional<double> duration = std::nullopt);

// Any display state, on the main queue.
void showHUDNotice(KeyboardEngine& engine, DisplayState state, int priority, bool positionBelowStatusButton,
                   bool positionTopCenter, bool persistent = false);

// Removes queued priority-1 requests and closes a priority-1 notice on screen.
void dismissStatusHUD(KeyboardEngine& engine, double duration);

// Closes the undo window of the correction notice on screen.
void expireCorrectionHUD(KeyboardEngine& engine);

// The confirmation of a language switch or conversion, in the form the user
// chose under "correctionFeedbackStyle": "off" shows nothing, "hud" a status
// line, anything else (unset included) the compact confirmation with undo
// and add-to-vocabulary. The style is read on the calling thread.
void showLanguageSwitchFeedback(KeyboardEngine& engine, const std::string& text, const std::string& previousText,
                                const std::string& targetLanguageName, int64_t score, double duration);

}  // namespace tessa
