#include "hud/unified_menu_state.h"

namespace tessa {

const char* hudColorName(HudColor color) {
  switch (color) {
    case HudColor::white: return "white";
    case HudColor::gray: return "gray";
    case HudColor::green: return "green";
    case HudColor::orange: return "orange";
    case HudColor::red: return "red";
    case HudColor::yellow: return "yellow";
    case HudColor::teal: return "teal";
    case HudColor::purple: return "purple";
    case HudColor::indigo: return "indigo";
    case HudColor::blue: return "blue";
    case HudColor::accent: return "accent";
  }
  return "white";
}

const char* displayStateKindName(DisplayState::Kind kind) {
  using K = DisplayState::Kind;
  switch (kind) {
    case K::ask: return "ask";
    case K::confirmedForward: return "confirmedForward";
    case K::confirmedReverted: return "confirmedReverted";
    case K::confirmedRedo: return "confirmedRedo";
    case K::status: return "status";
    case K::statusProgress: return "statusProgress";
    case K::actionable: return "actionable";
    case K::actionableCountdown: return "actionableCountdown";
    case K::idle: return "idle";
  }
  return "idle";
}

using DS = UnifiedMenuState::DisplayState;

DS DS::ask(std::string currentWord, std::string suggestedWord, std::string reason, int64_t score,
           HudCallback onAccept, HudCallback onDismiss) {
  return Ask{std::move(currentWord), std::move(suggestedWord), std::move(reason), score, std::move(onAccept),
             std::move(onDismiss)};
}

DS DS::confirmedForward(std::string correctedWord, std::string origWord, std::string targetLangName, int64_t score,
                        double duration, HudCallback onUndo, HudCallback onAddToVocab) {
  return ConfirmedForward{std::move(correctedWord), std::move(origWord), std::move(targetLangName), score,
                          duration, std::move(onUndo), std::move(onAddToVocab)};
}

DS DS::confirmedReverted(std::string message, std::string subMessage, std::string origWord,
                         HudCallback onAddToVocab) {
  return ConfirmedReverted{std::move(message), std::move(subMessage), std::move(origWord), std::move(onAddToVocab)};
}

DS DS::confirmedRedo(std::string correctedWord, std::string targetLangName) {
  return ConfirmedRedo{std::move(correctedWord), std::move(targetLangName)};
}

DS DS::status(std::string message, std::string subMessage, std::string icon, HudColor color) {
  return Status{std::move(message), std::move(subMessage), std::move(icon), color};
}

DS DS::statusProgress(std::string message, std::string icon, double duration) {
  return StatusProgress{std::move(message), std::move(icon), duration};
}

DS DS::actionable(std::string message, std::string subMessage, std::string icon, HudColor color,
                  std::string actionTitle, HudCallback onAction) {
  return Actionable{std::move(message), std::move(subMessage), std::move(icon), color, std::move(actionTitle),
                    std::move(onAction)};
}

DS DS::actionableCountdown(std::string message, std::string subMessage, std::string icon, HudColor color,
                           double duration, std::string actionTitle, HudCallback onAction) {
  return ActionableCountdown{std::move(message),     std::move(subMessage), std::move(icon), color, duration,
                             std::move(actionTitle), std::move(onAction)};
}

nlohmann::ordered_json DS::describe() const {
  nlohmann::ordered_json j;
  j["kind"] = displayStateKindName(kind());
  auto has = [](const HudCallback& cb) { return static_cast<bool>(cb); };
  std::visit(
      [&](const auto& p) {
        using T = std::decay_t<decltype(p)>;
        if constexpr (std::is_same_v<T, Ask>) {
          j["currentWord"] = p.currentWord;
          j["suggestedWord"] = p.suggestedWord;
          j["reason"] = p.reason;
          j["score"] = p.score;
        } else if constexpr (std::is_same_v<T, ConfirmedForward>) {
          j["correctedWord"] = p.correctedWord;
          j["origWord"] = p.origWord;
          j["targetLangName"] = p.targetLangName;
          j["score"] = p.score;
          j["duration"] = p.duration;
          j["onAddToVocab"] = has(p.onAddToVocab);
        } else if constexpr (std::is_same_v<T, ConfirmedReverted>) {
          j["message"] = p.message;
          j["subMessage"] = p.subMessage;
          j["origWord"] = p.origWord;
          j["onAddToVocab"] = has(p.onAddToVocab);
        } else if constexpr (std::is_same_v<T, ConfirmedRedo>) {
          j["correctedWord"] = p.correctedWord;
          j["targetLangName"] = p.targetLangName;
        } else if constexpr (std::is_same_v<T, Status>) {
          j["message"] = p.message;
          j["subMessage"] = p.subMessage;
          j["icon"] = p.icon;
          j["messageColor"] = hudColorName(p.messageColor);
        } else if constexpr (std::is_same_v<T, StatusProgress>) {
          j["message"] = p.message;
          j["icon"] = p.icon;
          j["duration"] = p.duration;
        } else if constexpr (std::is_same_v<T, Actionable>) {
          j["message"] = p.message;
          j["subMessage"] = p.subMessage;
          j["icon"] = p.icon;
          j["messageColor"] = hudColorName(p.messageColor);
          j["actionTitle"] = p.actionTitle;
        } else if constexpr (std::is_same_v<T, ActionableCountdown>) {
          j["message"] = p.message;
          j["subMessage"] = p.subMessage;
          j["icon"] = p.icon;
          j["messageColor"] = hudColorName(p.messageColor);
          j["duration"] = p.duration;
          j["actionTitle"] = p.actionTitle;
        }
      },
      payload_);
  return j;
}

}  // namespace tessa
