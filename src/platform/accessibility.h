#pragma once
// The Accessibility stand-in: trust, the focused element and the text of the
// focused field.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "base/observable.h"

namespace tessa {

enum class AXError {
  success = 0,
  failure = -25200,
  illegalArgument = -25201,
  invalidElement = -25202,
  cannotComplete = -25204,
  attributeUnsupported = -25205,
  notImplemented = -25208,
  apiDisabled = -25211,
  noValue = -25212,
};

// An opaque element reference; equal references are the same element.
struct AXElement {
  uint64_t id = 0;
  int64_t pid = 0;
  bool operator==(const AXElement&) const = default;
};

struct TextRange {
  int64_t location = 0;  // in UTF-16 units, as the platform counts
  int64_t length = 0;
  bool operator==(const TextRange&) const = default;
};

struct Rect {
  double x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

// What kept the last trust check from reaching the desktop's switch.
enum class AXTrustProblem {
  none,                  // the desktop answered (trusted or not)
  noSessionBus,          // there is no session bus to ask on
  noAccessibilityBus,    // nothing on the session bus keeps the switch
  switchRefused,         // the switch is there but would not turn on
};

template <class T>
struct AXResult {
  AXError error = AXError::success;
  std::optional<T> value;
  bool ok() const { return error == AXError::success && value.has_value(); }
};

// The two ways a back end answers: with nothing and why, or with a value.
namespace ax {
template <class T>
AXResult<T> fail(AXError e) {
  return AXResult<T>{e, std::nullopt};
}
template <class T>
AXResult<T> ok(T v) {
  return AXResult<T>{AXError::success, std::move(v)};
}
}  // namespace ax

// What a text field shows: its whole value and its selection (the caret when
// empty); a secure field gives neither.
struct AXTextState {
  std::string value;
  TextRange selection;
  bool secure = false;
};

class Accessibility {
 public:
  virtual ~Accessibility() = default;
  virtual bool isProcessTrusted(bool prompt) = 0;
  // True where asking with a prompt turns the desktop's own Accessibility
  // switch on by itself, so there is no settings page for the user to visit.
  // That switch is desktop-wide and each program decides at its own start
  // whether to share its text: only the user's grant asks with a prompt.
  virtual bool promptTurnsTrustOn() const { return false; }
  // Why the last trust check could not be answered; none when it was.
  // Never blocks: any thread may ask.
  virtual AXTrustProblem trustProblem() const { return AXTrustProblem::none; }
  // The system-wide focused element, asked with a messaging time-out.
  virtual AXResult<AXElement> focusedElement(double timeoutSeconds) = 0;
  // The focused element of an application (by pid).
  virtual AXResult<AXElement> focusedElementOfApplication(int64_t pid, double timeoutSeconds) = 0;
  virtual AXResult<std::string> role(const AXElement& e) = 0;
  virtual AXResult<std::string> subrole(const AXElement& e) = 0;
  virtual AXResult<std::string> value(const AXElement& e) = 0;
  virtual AXResult<std::string> selectedText(const AXElement& e) = 0;
  virtual AXResult<TextRange> selectedTextRange(const AXElement& e) = 0;
  virtual AXResult<std::string> stringForRange(const AXElement& e, TextRange range) = 0;
  virtual AXResult<Rect> boundsForRange(const AXElement& e, TextRange range) = 0;
  virtual AXResult<Rect> frame(const AXElement& e) = 0;
  // A field's text state in one go: a secure field answers secure; else its
  // value and selection, or the first error met. A desktop that can ask
  // for them together answers faster than the three questions apart.
  virtual AXResult<AXTextState> textState(const AXElement& e) {
    if (auto sub = subrole(e); sub.ok() && *sub.value == "AXSecureTextField")
      return {AXError::success, AXTextState{{}, {}, true}};
    auto v = value(e);
    auto r = selectedTextRange(e);
    if (!v.ok()) return {v.error == AXError::success ? AXError::noValue : v.error, std::nullopt};
    if (!r.ok()) return {r.error == AXError::success ? AXError::noValue : r.error, std::nullopt};
    return {AXError::success, AXTextState{std::move(*v.value), *r.value, false}};
  }
  // The text state of a field read whole a moment ago (while an edit waits
  // for its keys to show): a desktop may then ask only what typing changes.
  virtual AXResult<AXTextState> textStateAgain(const AXElement& e) { return textState(e); }
  // The focused element and its text state together; `text` is asked only
  // of an element found. A desktop that can put both questions to the
  // application at once answers in one round trip.
  struct FocusedTextState {
    AXResult<AXElement> element;
    AXResult<AXTextState> text;
  };
  virtual FocusedTextState focusedTextState(double timeoutSeconds) {
    FocusedTextState out{focusedElement(timeoutSeconds), {}};
    if (out.element.ok()) out.text = textState(*out.element.value);
    return out;
  }
  // The system's Accessibility list changed (distributed notification).
  virtual Subscription observeTrustListChanged(std::function<void()> callback) = 0;
  // Where true, observeTrust() reports every change of this process's trust
  // as it happens, so nothing needs to ask again on a timer; the answer then
  // reads isProcessTrusted(false) without a trip to the desktop. The
  // callback runs on the main queue: once when the watch begins, then at
  // each change.
  virtual bool reportsTrustChanges() const { return false; }
  virtual Subscription observeTrust(std::function<void()> callback) { return {}; }
  // Where true, observeFocus() reports, on the main queue, each time the
  // keyboard focus moves to another element in any application, so the
  // focused field need not be looked at on a timer.
  virtual bool reportsFocusChanges() const { return false; }
  // The user is typing into the focused field now. A back end that learns
  // the field from the programs' own focus events, and has heard of none
  // (one focused before we started), looks for it now, off the caller's
  // thread and without waiting: later, a grab of ours may hide it.
  virtual void lookForFocusedField() {}
  virtual Subscription observeFocus(std::function<void()> callback) { return {}; }
  // Whether the program `pid` is among the applications that share their
  // text with assistive tools; none where that cannot be told (or where
  // every program does).
  virtual std::optional<bool> isApplicationRegistered(int64_t pid) { return std::nullopt; }
};

}  // namespace tessa
