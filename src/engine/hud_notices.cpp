#include "engine/hud_notices.h"

#include "engine/keyboard_engine.h"
#include "hud/caret_positioning.h"
#include "l10n/localization.h"
#include "engine/engine_texts.h"

namespace tessa {

HudEnvironment hudEnvironmentFor(KeyboardEngine& engine) {
  HudEnvironment env;
  env.clock = &engine.clock();
  env.main = &engine.mainQueue();
  env.defaults = &engine.defaults();
  env.appLog = &engine.appLog();
  env.hasBundleIdentifier = engine.platform().hasBundleIdentifier;
  if (Screens* screens = engine.platform().screens)
    env.placement.mainScreen = [screens] { return screens->main(); };
  std::weak_ptr<KeyboardEngine> weak = engine.weak_from_this();
  env.placement.caretOrigin = [weak](double width, double height) -> std::optional<HudPoint> {
    auto e = weak.lock();
    if (!e) return std::nullopt;
    CaretPositioning::CaretSources sources{e->platform().accessibility, e->platform().screens,
                                           [&e](const std::string& line) { e->log(line); }};
    auto origin = CaretPositioning::caretScreenRect(sources, width, height);
    if (!origin) return std::nullopt;
    return HudPoint{origin->x, origin->y};
  };
  return env;
}


UnifiedMenuPanel* hudPanelFor(KeyboardEngine& engine) { return engine.hud.panel; }

void attachHudPanel(KeyboardEngine& engine, UnifiedMenuPanel* panel) {
  engine.hud.panel = panel;
  if (!panel) return;
  std::weak_ptr<UnifiedMenuPanel> weak = panel->weak_from_this();
  engine.hud.ownPanelFrameProviders.push_back([weak]() -> std::optional<Rect> {
    auto p = weak.lock();
    if (!p || !p->isVisible()) return std::nullopt;
    return p->frame();
  });
}

void showHUDNotice(KeyboardEngine& engine, DisplayState state, int priority, bool positionBelowStatusButton,
                   bool positionTopCenter, bool persistent) {
  engine.asyncOnMainWeak([state = std::move(state), priority, positionBelowStatusButton, positionTopCenter,
                          persistent](KeyboardEngine& e) mutable {
    UnifiedMenuPanel* panel = hudPanelFor(e);
    if (!panel) {
      e.log(std::string("HUD: no panel - ") + displayStateKindName(state.kind()) + " notice not shown");
      return;
    }
    panel->show(std::move(state), priority, positionBelowStatusButton, positionTopCenter, persistent);
  });
}

void showStatusHUD(KeyboardEngine& engine, const std::string& message, const std::string& subMessage,
                   const std::string& icon, HudColor color, std::optional<double> duration) {
  engine.appLog().console("showStatusHUD called with message: " + message + ", subMessage: " + subMessage);
  DisplayState state = duration ? DisplayState::statusProgress(message, icon, *duration)
                                : DisplayState::status(message, subMessage, icon, color);
  showHUDNotice(engine, std::move(state), 3, true, false);
}

void dismissStatusHUD(KeyboardEngine& engine, double duration) {
  engine.asyncOnMainWeak([duration](KeyboardEngine& e) {
    UnifiedMenuPanel* panel = hudPanelFor(e);
    if (!panel) return;
    panel->removePending(1);
    if (panel->activePriority() == 1) panel->dismiss(duration);
  });
}

void expireCorrectionHUD(KeyboardEngine& engine) {
  engine.asyncOnMainWeak([](KeyboardEngine& e) {
    if (UnifiedMenuPanel* panel = hudPanelFor(e)) panel->expireActiveNotice();
  });
}

void showLanguageSwitchFeedback(KeyboardEngine& engine, const std::string& text, const std::string& previousText,
                                const std::string& targetLanguageName, int64_t score, double duration) {
  std::string style = engine.defaults().stringForKey("correctionFeedbackStyle").value_or("mini");
  if (style == "off") return;
  if (style == "hud") {
    showStatusHUD(engine, engine_texts::kSwitchSucceeded, engine_texts::kSwitchedToPrefix + targetLanguageName, "keyboard", HudColor::white);
    return;
  }
  // A whole sentence (score 7) is too long for the notice: its middle gives
  // way, and the second line counts the changes instead of repeating it.
  constexpr int64_t kSentenceScore = 7;
  std::string display = score == kSentenceScore ? middleTruncated(text, 14) : text;
  std::string secondLine = previousText;
  if (score == kSentenceScore && !previousText.empty())
    secondLine = engine_texts::kSentenceChangesPrefix + std::to_string(differingCharacterCount(previousText, text)) +
                 engine_texts::kSentenceChangesSuffix;
  std::weak_ptr<KeyboardEngine> weak = engine.weak();
  showHUDNotice(engine,
                DisplayState::confirmedForward(
                    std::move(display), std::move(secondLine), targetLanguageName, score, duration,
                    [weak] {
                      if (auto e = weak.lock()) e->performUndo();
                    },
                    [weak] {
                      if (auto e = weak.lock()) e->confirmAddToVocabulary();
                    }),
                2, false, false);
}

}  // namespace tessa
