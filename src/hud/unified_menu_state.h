#pragma once
// What the HUD notice shows: one display state at a time, plus the two flags
// its view reads. Confined to the main thread; the panel owns one instance.
#include <cstdint>
#include <functional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "base/observable.h"

namespace tessa {

// User-interface colours a notice may ask for; the view maps them to real
// colour values.
enum class HudColor { white, gray, green, orange, red, yellow, teal, purple, indigo, blue, accent };
const char* hudColorName(HudColor color);

// A plain callback run on the main thread; an empty one means "none".
using HudCallback = std::function<void()>;

class UnifiedMenuState final : public ObservableObject {
 public:
  class DisplayState {
   public:
    // A proposed correction awaiting the user's choice. Nothing in this
    // system builds it yet; the panel still knows how long it stays.
    struct Ask {
      std::string currentWord, suggestedWord, reason;
      int64_t score = 0;
      HudCallback onAccept, onDismiss;
    };
    // A word was converted; `duration` is the undo window.
    struct ConfirmedForward {
      std::string correctedWord, origWord, targetLangName;
      int64_t score = 0;
      double duration = 0;
      HudCallback onUndo, onAddToVocab;
    };
    // A conversion was undone; without `onAddToVocab` nothing is offered.
    struct ConfirmedReverted {
      std::string message, subMessage, origWord;
      HudCallback onAddToVocab;
    };
    struct ConfirmedRedo {
      std::string correctedWord, targetLangName;
    };
    struct Status {
      std::string message, subMessage, icon;
      HudColor messageColor = HudColor::white;
    };
    struct StatusProgress {
      std::string message, icon;
      double duration = 0;
    };
    struct Actionable {
      std::string message, subMessage, icon;
      HudColor messageColor = HudColor::white;
      std::string actionTitle;
      HudCallback onAction;
    };
    struct ActionableCountdown {
      std::string message, subMessage, icon;
      HudColor messageColor = HudColor::white;
      double duration = 0;
      std::string actionTitle;
      HudCallback onAction;
    };
    struct Idle {};

    // Cases in declaration order.
    enum class Kind { ask, confirmedForward, confirmedReverted, confirmedRedo, status, statusProgress, actionable,
                      actionableCountdown, idle };
    using Payload = std::variant<Ask, ConfirmedForward, ConfirmedReverted, ConfirmedRedo, Status, StatusProgress,
                                 Actionable, ActionableCountdown, Idle>;

    DisplayState() : payload_(Idle{}) {}
    template <class T, class = std::enable_if_t<std::is_constructible_v<Payload, T&&>>>
    DisplayState(T&& payload) : payload_(std::forward<T>(payload)) {}  // NOLINT: a case converts implicitly

    static DisplayState ask(std::string currentWord, std::string suggestedWord, std::string reason, int64_t score,
                            HudCallback onAccept, HudCallback onDismiss);
    static DisplayState confirmedForward(std::string correctedWord, std::string origWord,
                                         std::string targetLangName, int64_t score, double duration,
                                         HudCallback onUndo, HudCallback onAddToVocab);
    static DisplayState confirmedReverted(std::string message, std::string subMessage, std::string origWord,
                                          HudCallback onAddToVocab = {});
    static DisplayState confirmedRedo(std::string correctedWord, std::string targetLangName);
    static DisplayState status(std::string message, std::string subMessage, std::string icon, HudColor color);
    static DisplayState statusProgress(std::string message, std::string icon, double duration);
    static DisplayState actionable(std::string message, std::string subMessage, std::string icon, HudColor color,
                                   std::string actionTitle, HudCallback onAction);
    static DisplayState actionableCountdown(std::string message, std::string subMessage, std::string icon,
                                            HudColor color, double duration, std::string actionTitle,
                                            HudCallback onAction);
    static DisplayState idle() { return DisplayState(); }

    Kind kind() const { return static_cast<Kind>(payload_.index()); }
    const Payload& payload() const { return payload_; }
    template <class T>
    const T* as() const {
      return std::get_if<T>(&payload_);
    }
    // Is this one of the correction notices that count towards the hint?
    bool isCorrectionNotice() const {
      return kind() == Kind::ask || kind() == Kind::confirmedForward || kind() == Kind::confirmedReverted;
    }
    // The texts, symbol, colour and duration the state carries, in payload
    // order (callbacks are listed by whether they are present), for
    // transcripts and logs.
    nlohmann::ordered_json describe() const;

   private:
    Payload payload_;
  };
  using Kind = DisplayState::Kind;

  UnifiedMenuState() = default;
  UnifiedMenuState(const UnifiedMenuState&) = delete;
  UnifiedMenuState& operator=(const UnifiedMenuState&) = delete;

  // The notice on screen; the view redraws on every change.
  Published<DisplayState> displayState{*this, DisplayState(), [this](const DisplayState&) { ++displayRevision_; }};
  // The undo or action window of the visible notice has closed.
  Published<bool> isExpired{*this, false};
  // The view may show the keyboard-shortcut hint line.
  Published<bool> showHint{*this, false};

  // Counts the writes of `displayState`: a view tells a new notice (whose
  // rings start again) from a change of the flags of the same one.
  uint64_t displayStateRevision() const { return displayRevision_; }

 private:
  uint64_t displayRevision_ = 0;
};

using DisplayState = UnifiedMenuState::DisplayState;
const char* displayStateKindName(DisplayState::Kind kind);

}  // namespace tessa
