#pragma once
// Accessibility over AT-SPI2: the focused element found on the accessibility
// bus, its text, caret, selection and bounds through the Text and Component
// interfaces, and edits through EditableText. AT-SPI counts text in
// characters (code points); the interface counts UTF-16 units, so every
// offset is converted here. Trusted means the accessibility bus is reachable
// and enabled; an element without a Text interface answers
// attributeUnsupported, which the engine treats as no Accessibility text.
//
// The AT-SPI library and its bus connections are not safe to share between
// threads, and the desktop's Qt event loop would otherwise dispatch the
// library's connection on the main thread while another thread called into
// it. So one thread of our own owns every D-Bus and AT-SPI use of this
// class, with a main context of its own; any thread may call in, and each
// call waits for the answer at most its deadline (a late answer is dropped,
// and work whose caller has given up is skipped).
//
// While a key is held under a keyboard grab (ours, for the hot key that
// asks for a conversion), GTK takes the grab for a loss of focus: its window
// stops being active and its focused widget stops saying it is focused,
// though the X input focus never left it. So the element last heard taking
// or losing the focus (a focus event, or a walk that found it) stands while
// no window of its application is active and that application still holds
// the X input focus, which `inputFocus` tells.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/task_runner.h"
#include "platform/accessibility.h"
#include "platform/x11/atspi_desktop_switch.h"
#include "platform/x11/main_queue_observers.h"

typedef struct _AtspiAccessible AtspiAccessible;
typedef struct _AtspiEvent AtspiEvent;
typedef struct _AtspiEventListener AtspiEventListener;
typedef struct _GMainContext GMainContext;

namespace tessa {

// UTF-16 units before the `characters`-th code point of `utf8` (clamped to
// the text), and back: the code points before UTF-16 unit `units` (a unit
// inside a surrogate pair counts the whole character as before it).
int64_t utf16OffsetOfCharacter(std::string_view utf8, int64_t characters);
int64_t characterOffsetOfUtf16(std::string_view utf8, int64_t units);

struct FieldText;
class ApplicationFocus;

class AtspiAccessibility final : public Accessibility {
 public:
  // `inputFocus`, when given, must outlive this object; it is asked from the
  // AT-SPI thread.
  explicit AtspiAccessibility(TaskRunner& main, ApplicationFocus* inputFocus = nullptr);
  ~AtspiAccessibility() override;
  AtspiAccessibility(const AtspiAccessibility&) = delete;
  AtspiAccessibility& operator=(const AtspiAccessibility&) = delete;

  // Trusted while the desktop's accessibility switch is on. Asking with
  // `prompt` is the user's grant: it turns the switch on when it is off
  // (atspi_desktop_switch.cpp, with the registry below).
  bool isProcessTrusted(bool prompt) override;
  bool promptTurnsTrustOn() const override { return true; }
  AXTrustProblem trustProblem() const override { return problem_.load(); }
  AXResult<AXElement> focusedElement(double timeoutSeconds) override;
  AXResult<AXElement> focusedElementOfApplication(int64_t pid, double timeoutSeconds) override;
  AXResult<std::string> role(const AXElement& e) override;
  AXResult<std::string> subrole(const AXElement& e) override;
  AXResult<std::string> value(const AXElement& e) override;
  AXResult<std::string> selectedText(const AXElement& e) override;
  AXResult<TextRange> selectedTextRange(const AXElement& e) override;
  AXResult<std::string> stringForRange(const AXElement& e, TextRange range) override;
  AXResult<Rect> boundsForRange(const AXElement& e, TextRange range) override;
  AXResult<Rect> frame(const AXElement& e) override;
  // One trip to the worker and the fewest questions to the application.
  AXResult<AXTextState> textState(const AXElement& e) override;
  AXResult<AXTextState> textStateAgain(const AXElement& e) override;
  // The field last heard taking the focus is asked whether it still has it
  // in the same round trip as its text.
  FocusedTextState focusedTextState(double timeoutSeconds) override;
  Subscription observeTrustListChanged(std::function<void()> callback) override;
  // The switch announces each change on the session bus (PropertiesChanged
  // of org.a11y.Status), so it is watched rather than asked again; and the
  // focus moves are the programs' own focus events (atspi_focus_events.cpp).
  bool reportsTrustChanges() const override { return true; }
  Subscription observeTrust(std::function<void()> callback) override;
  bool reportsFocusChanges() const override { return true; }
  Subscription observeFocus(std::function<void()> callback) override;
  void lookForFocusedField() override;
  // Among the applications on the accessibility bus's registry.
  std::optional<bool> isApplicationRegistered(int64_t pid) override;

  // Edits, at UTF-16 offsets. success, or the error the element answered.
  AXError insertText(const AXElement& e, int64_t location, const std::string& text);
  AXError deleteText(const AXElement& e, TextRange range);
  AXError setCaret(const AXElement& e, int64_t location);

 private:
  class Worker;
  // Everything below runs on the worker thread only.
  bool busUp();
  std::optional<bool> trustedNow(bool prompt);
  void watchSwitch();
  // `announced`: the value the switch's signal carried; none: read it.
  void switchChanged(std::optional<bool> announced);
  AXResult<AXElement> findFocused(int64_t pid, double timeoutSeconds, double deadline);
  // The element last seen or heard with the focus, while it still has it
  // (or has it behind a keyboard grab), in application `pid` (0: any);
  // `unsettled` when its window is back from a grab but it is not focused
  // again yet; `unanswered` when its application did not answer in time
  // (it stays the one last focused). Each question gets `seconds`.
  std::optional<AXElement> stillFocused(int64_t pid, double seconds, bool& unsettled, bool& unanswered);
  // Whether `last`, which says it is not focused, still has the focus behind
  // a keyboard grab (see above); `unanswered` when its application did not
  // answer in time.
  enum class Kept { yes, no, unsettled, unanswered };
  Kept focusKeptThroughGrab(AtspiAccessible* last, int64_t pid, double seconds);
  // Whether the application of the element last focused holds the X input
  // focus.
  bool lastHoldsInputFocus() const;
  void setLastFocused(AtspiAccessible* a);
  // Whether a focus event from `source` is one to pass over: see the definition.
  bool besideFocusedField(AtspiAccessible* source) const;
  // Whether `a`, without text, is in the application of the field last
  // focused, which is still there.
  bool standsInForLastField(AtspiAccessible* a) const;
  static void focusEvent(AtspiEvent* event, void* self);
  AtspiAccessible* lookup(const AXElement& e, AXError& error) const;
  AXElement remember(AtspiAccessible* a);
  // Runs `f` with the element and its text, when it has an editable one.
  AXError edit(const AXElement& e, const std::function<AXError(AtspiAccessible*, FieldText&)>& f);
  // `states`, when given, is asked in the same round trip: the element's
  // states as its application answers them (none when it did not).
  std::optional<AXResult<AXTextState>> textStateAtOnce(AtspiAccessible* a, std::optional<uint64_t>* states = nullptr,
                                                       bool again = false);
  static uint64_t elementId(AtspiAccessible* a);
  AXResult<AXTextState> textStateOf(const AXElement& e, bool again);
  void forgetAll();

  // Runs `f` on the worker and waits at most `seconds` for its answer.
  template <class R>
  std::optional<R> onWorker(double seconds, std::function<R(double deadline)> f);
  void postToWorker(std::function<void()> job);
  GMainContext* workerContext() const;

  TaskRunner& main_;
  bool initialised_ = false;
  std::map<uint64_t, AtspiAccessible*> elements_;  // each holds a reference
  std::set<uint64_t> readWhole_;  // elements whose text came whole when asked to its end
  // The element last seen or heard taking or losing the focus; holds a
  // reference.
  AtspiAccessible* lastFocused_ = nullptr;
  // Whether lastFocused_ is set, for any thread; a look for it asked and not
  // yet over, and when the last began (monotonic seconds).
  std::atomic<bool> focusKnown_{false};
  std::atomic<bool> lookAsked_{false};
  std::atomic<double> lastLookAt_{-1e9};
  AtspiEventListener* focusListener_ = nullptr;
  ApplicationFocus* inputFocus_ = nullptr;
  AtspiDesktopSwitch desktopSwitch_;
  MainQueueObservers trustChanged_;
  MainQueueObservers trustWatchers_{main_};
  MainQueueObservers focusWatchers_{main_};
  // While the switch is watched, the last answer stands until it changes.
  std::atomic<bool> switchWatched_{false};
  std::atomic<AXTrustProblem> problem_{AXTrustProblem::none};
  std::atomic<bool> lastTrusted_{false};
  std::atomic<double> lastAsked_{-1e9};
  std::unique_ptr<Worker> worker_;  // last: its thread ends before the rest goes
};

}  // namespace tessa
