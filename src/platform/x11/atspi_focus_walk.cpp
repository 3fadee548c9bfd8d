// Finding the focused field: the one last heard taking the focus while it
// still has it (or has it behind our keyboard grab), else a walk through the
// applications' active windows.
#include <atspi/atspi.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <thread>

#include "platform/linux/linux_workspace.h"
#include "platform/x11/atspi_accessibility.h"

#include "platform/x11/atspi_calls.h"
#include "platform/x11/atspi_worker.h"
#include "platform/x11/atspi_question_batch.h"

namespace tessa {

using namespace atspi;

namespace {

// [ours] One question to an application while looking for the focus.
constexpr double kWalkCallSeconds = 0.1;
// How often a window back from a keyboard grab is asked whether its field
// has the focus again.
constexpr double kSettleStep = 0.005;

// A toolkit whose bridge searches its own tree (ATK's, which the browsers
// use) finds the focused element in one question; the walk asks one per
// element, and through a browser window's page and controls it ran out of
// time on a busy machine, so the first conversion in a field focused
// before we started was refused. Answers nothing where the window offers
// no such search, or its search found nothing.
AtspiAccessible* focusedBySearch(AtspiAccessible* window) {
  AtspiCollection* collection = atspi_accessible_get_collection_iface(window);
  if (!collection) return nullptr;
  AtspiStateSet* states = atspi_state_set_new(nullptr);
  atspi_state_set_add(states, ATSPI_STATE_FOCUSED);
  AtspiMatchRule* rule = atspi_match_rule_new(states, ATSPI_Collection_MATCH_ALL, nullptr, ATSPI_Collection_MATCH_NONE,
                                              nullptr, ATSPI_Collection_MATCH_NONE, nullptr,
                                              ATSPI_Collection_MATCH_NONE, FALSE);
  GError* error = nullptr;
  GArray* matches = atspi_collection_get_matches(collection, rule, ATSPI_Collection_SORT_ORDER_CANONICAL, 1, TRUE, &error);
  AtspiAccessible* found = nullptr;
  if (matches && matches->len > 0)
    found = static_cast<AtspiAccessible*>(g_object_ref(g_array_index(matches, AtspiAccessible*, 0)));
  if (matches) {
    for (guint i = 0; i < matches->len; ++i) g_object_unref(g_array_index(matches, AtspiAccessible*, i));
    g_array_free(matches, TRUE);
  }
  if (error) g_error_free(error);
  g_object_unref(rule);
  g_object_unref(states);
  g_object_unref(collection);
  return found;
}

AtspiAccessible* findFocusedIn(AtspiAccessible* a, int depth, double deadline) {
  if (!a || depth > 40 || monotonicNow() > deadline) return nullptr;
  if (hasState(a, ATSPI_STATE_FOCUSED)) return static_cast<AtspiAccessible*>(g_object_ref(a));
  const int n = atspi_accessible_get_child_count(a, nullptr);
  for (int i = 0; i < n; ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(a, i, nullptr);
    AtspiAccessible* found = findFocusedIn(child, depth + 1, deadline);
    if (child) g_object_unref(child);
    if (found) return found;
  }
  return nullptr;
}
}  // namespace

// Runs on this thread: the library hands its events over while it runs a
// call or the context's idle turn. A field losing the focus had it until
// then (a keyboard grab takes it away so), and one taking it follows the
// one that lost it. Our own windows are left out, as the walk leaves them
// out: they answer on the main thread, which may be waiting here.
void AtspiAccessibility::focusEvent(AtspiEvent* event, void* data) {
  auto* self = static_cast<AtspiAccessibility*>(data);
  // Our own windows are never the one (they answer on the main thread,
  // which may be waiting for the next look). Nor is an element without text
  // that lost the focus: only a field's loss tells where the focus was
  // (behind a grab), and Firefox's window element loses it on every grab,
  // whether or not the field, on a busy machine, can be seen to have it still.
  const bool lostWithoutText =
      event->source && event->detail1 == 0 && self->lastFocused_ && !hasText(event->source);
  if (event->source && static_cast<pid_t>(atspi_accessible_get_process_id(event->source, nullptr)) != getpid() &&
      !lostWithoutText && !self->besideFocusedField(event->source))
    self->setLastFocused(event->source);
  self->focusWatchers_.notify();
  g_boxed_free(ATSPI_TYPE_EVENT, event);
}

// Firefox marks an element of a window of its own focused, and not focused,
// as its window takes and loses the X focus (our keyboard grab takes it),
// while the page's field keeps the focus; that element has no text. Such an
// element in the application whose field has the focus does not take the
// field's place. (The field's own loss of the focus is an event of its own,
// which the library's copy of its states follows.)
bool AtspiAccessibility::besideFocusedField(AtspiAccessible* source) const {
  return standsInForLastField(source) && hasState(lastFocused_, ATSPI_STATE_FOCUSED);
}

// Whether `found`, an element without text in the application of the field
// last focused, stands where that field, still there, had the focus.
bool AtspiAccessibility::standsInForLastField(AtspiAccessible* found) const {
  if (!lastFocused_ || found == lastFocused_ || found->parent.app != lastFocused_->parent.app) return false;
  return !hasState(lastFocused_, ATSPI_STATE_DEFUNCT) && hasText(lastFocused_) && !hasText(found);
}

bool AtspiAccessibility::lastHoldsInputFocus() const {
  if (!inputFocus_ || !lastFocused_) return false;
  GError* error = nullptr;
  const auto lastPid = static_cast<int64_t>(atspi_accessible_get_process_id(lastFocused_, &error));
  if (error) g_error_free(error);
  auto holder = inputFocus_->focusedApplication();
  return !error && holder && holder->pid == lastPid;
}

AtspiAccessibility::Kept AtspiAccessibility::focusKeptThroughGrab(AtspiAccessible* last, int64_t pid,
                                                                  double seconds) {
  if (!inputFocus_) return Kept::no;
  GError* error = nullptr;
  const auto lastPid = static_cast<int64_t>(atspi_accessible_get_process_id(last, &error));
  if (error) g_error_free(error);
  if (error || (pid != 0 && lastPid != pid)) return Kept::no;
  auto holder = inputFocus_->focusedApplication();
  if (!holder || holder->pid != lastPid) return Kept::no;
  // An active window of its own holds the focus itself: one back from a grab
  // a moment before its field says it has the focus again, or one where a
  // widget that exposes no text took it.
  // Each of these is an answer to wait for, not to guess: a busy application
  // that answers none in time is asked again (Kept::unanswered).
  AtspiAccessible* app = atspi_accessible_get_application(last, nullptr);
  if (!app) return Kept::no;
  bool active = false, answered = true, timedOut = false;
  const int windows = atspi_accessible_get_child_count(app, nullptr);
  for (int w = 0; w < windows && !active && answered; ++w) {
    AtspiAccessible* window = atspi_accessible_get_child_at_index(app, w, nullptr);
    const auto states = window ? liveStates(window, seconds, &timedOut) : std::nullopt;
    answered = states.has_value();
    active = states && hasBit(*states, ATSPI_STATE_ACTIVE);
    if (window) g_object_unref(window);
  }
  g_object_unref(app);
  if (windows < 0) return Kept::unanswered;
  if (!answered) return timedOut ? Kept::unanswered : Kept::no;
  if (active) return Kept::unsettled;
  // A page's field in Firefox keeps the focus through the grab, and one that
  // gave it up has no caret (-1): the focus went on to another field, whose
  // event is still on its way. GTK's field keeps its caret.
  QuestionBatch batch(last, static_cast<int>(std::ceil(seconds * 1000.0)));
  const size_t caret = batch.usable() ? batch.askProperty("org.a11y.atspi.Text", "CaretOffset") : SIZE_MAX;
  batch.flush();
  const auto at = caret != SIZE_MAX ? batch.int32Property(caret) : std::nullopt;
  if (batch.timedOut()) return Kept::unanswered;
  return at && *at < 0 ? Kept::unsettled : Kept::yes;
}

std::optional<AXElement> AtspiAccessibility::stillFocused(int64_t pid, double seconds, bool& unsettled,
                                                          bool& unanswered) {
  unsettled = unanswered = false;
  // A reference of our own: an event heard during a call may replace
  // lastFocused_.
  AtspiAccessible* last = lastFocused_ ? static_cast<AtspiAccessible*>(g_object_ref(lastFocused_)) : nullptr;
  if (!last) return std::nullopt;
  AtspiStateSet* set = atspi_accessible_get_state_set(last);
  bool defunct = !set || atspi_state_set_contains(set, ATSPI_STATE_DEFUNCT);
  bool focused = !defunct && atspi_state_set_contains(set, ATSPI_STATE_FOCUSED);
  if (set) g_object_unref(set);
  // The library's copy may lag behind: the focus coming back is asked of the
  // application itself before a grab is taken for the reason it is away.
  // And where the library holds no copy of the states (GTK 4 gives it none)
  // it asks, and answers "gone" for a question that went unanswered in time:
  // only the application's own answer, or its leaving the bus, tells the
  // element gone. One whose busy application answers neither way in time is
  // neither taken nor forgotten.
  if (!focused) {
    bool timedOut = false;
    if (auto live = liveStates(last, seconds, &timedOut)) {
      defunct = hasBit(*live, ATSPI_STATE_DEFUNCT);
      focused = !defunct && hasBit(*live, ATSPI_STATE_FOCUSED);
    } else if (timedOut) {
      unanswered = true;
      g_object_unref(last);
      return std::nullopt;
    }
  }
  std::optional<AXElement> still;
  if (focused && (pid == 0 || static_cast<int64_t>(atspi_accessible_get_process_id(last, nullptr)) == pid)) {
    still = remember(static_cast<AtspiAccessible*>(g_object_ref(last)));
  } else if (!focused && !defunct) {
    const Kept kept = focusKeptThroughGrab(last, pid, seconds);
    if (kept == Kept::yes) still = remember(static_cast<AtspiAccessible*>(g_object_ref(last)));
    unsettled = kept == Kept::unsettled;
    unanswered = kept == Kept::unanswered;
  }
  if (defunct && lastFocused_ == last) setLastFocused(nullptr);
  g_object_unref(last);
  return still;
}

AXResult<AXElement> AtspiAccessibility::findFocused(int64_t pid, double timeoutSeconds, double deadline) {
  if (!busUp()) return fail<AXElement>(AXError::apiDisabled);
  setTimeout(timeoutSeconds);
  // The field that had the focus last, while it still has: one question
  // instead of a walk through every application's windows.
  const double walkCallSeconds = std::min(timeoutSeconds, kWalkCallSeconds);
  bool unsettled = false, unanswered = false;
  if (auto still = stillFocused(pid, walkCallSeconds, unsettled, unanswered)) return ok(*still);
  // Through the other applications each question gets little time: one that
  // hangs must not use up the whole deadline before the focused one is seen.
  // Where the field last focused did not answer in time and its application
  // still holds the input focus, no other application holds the focused
  // field: the walk would only ask the busy one again, and its answer is
  // waited for instead.
  setTimeout(walkCallSeconds);
  AtspiAccessible* desktop = unanswered && lastHoldsInputFocus() ? nullptr : atspi_get_desktop(0);
  if (!desktop && !unanswered) return fail<AXElement>(AXError::cannotComplete);
  AtspiAccessible* found = nullptr;
  const int64_t self = static_cast<int64_t>(getpid());
  const int apps = desktop ? atspi_accessible_get_child_count(desktop, nullptr) : 0;
  for (int i = 0; i < apps && !found && monotonicNow() <= deadline; ++i) {
    AtspiAccessible* app = atspi_accessible_get_child_at_index(desktop, i, nullptr);
    if (!app) continue;
    const auto appPid = static_cast<int64_t>(atspi_accessible_get_process_id(app, nullptr));
    // Our own windows answer on our main thread, which may be the one
    // waiting for this walk; and they hold no field the engine edits.
    if (appPid != self && (pid == 0 || appPid == pid)) {
      // Only the active window can hold the focus: an application's other
      // windows (a browser's many) are not walked, unless it marks none active.
      const int windows = atspi_accessible_get_child_count(app, nullptr);
      bool sawActive = false;
      for (int w = 0; w < windows && !found; ++w) {
        AtspiAccessible* window = atspi_accessible_get_child_at_index(app, w, nullptr);
        if (window && hasState(window, ATSPI_STATE_ACTIVE)) {
          sawActive = true;
          found = focusedBySearch(window);
          if (!found) found = findFocusedIn(window, 1, deadline);
        }
        if (window) g_object_unref(window);
      }
      if (!found && !sawActive) found = findFocusedIn(app, 0, deadline);
    }
    g_object_unref(app);
  }
  if (desktop) g_object_unref(desktop);
  // A window back from a grab marks an element of its own focused before its
  // field takes the focus back (Firefox): while the field may still take it,
  // that element without text is the answer only once the time is up.
  AtspiAccessible* stopgap = nullptr;
  if (found && unsettled && standsInForLastField(found)) std::swap(found, stopgap);
  auto take = [this](AtspiAccessible* a) {
    setLastFocused(a);
    return ok(remember(a));
  };
  if (found) return take(found);
  // The walk's questions brought in the events sent meanwhile (the field
  // that lost the focus to a grab as the walk began may be known by now); a
  // window back from a grab is asked again, until the deadline, for its
  // field to take the focus back; and a field whose application did not
  // answer in time gets the time left for its answer (half for the library's
  // question where it asks, half for ours).
  for (double left = deadline - monotonicNow(); left > 0; left = deadline - monotonicNow()) {
    const double seconds = unanswered ? left / 2 : std::min(walkCallSeconds, left);
    setTimeout(seconds);
    if (auto still = stillFocused(pid, seconds, unsettled, unanswered)) {
      if (stopgap) g_object_unref(stopgap);
      return ok(*still);
    }
    if (unanswered) continue;
    if (!unsettled || left < 2 * kSettleStep) break;
    std::this_thread::sleep_for(std::chrono::duration<double>(kSettleStep));
  }
  if (stopgap) return take(stopgap);
  return fail<AXElement>(monotonicNow() > deadline || unanswered ? AXError::cannotComplete : AXError::noValue);
}

AXResult<AXElement> AtspiAccessibility::focusedElement(double timeoutSeconds) {
  const double seconds = timeoutSeconds > 0 ? timeoutSeconds : kCallDeadline;
  return onWorker<AXResult<AXElement>>(seconds, [this, seconds](double deadline) {
           return findFocused(0, seconds, deadline);
         }).value_or(fail<AXElement>(AXError::cannotComplete));
}

AXResult<AXElement> AtspiAccessibility::focusedElementOfApplication(int64_t pid, double timeoutSeconds) {
  if (pid <= 0) return fail<AXElement>(AXError::illegalArgument);
  const double seconds = timeoutSeconds > 0 ? timeoutSeconds : kCallDeadline;
  return onWorker<AXResult<AXElement>>(seconds, [this, pid, seconds](double deadline) {
           return findFocused(pid, seconds, deadline);
         }).value_or(fail<AXElement>(AXError::cannotComplete));
}
}  // namespace tessa
