#include "platform/x11/atspi_accessibility.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <utility>
#include <tuple>
#include <string_view>
#include <vector>
#include <thread>

#include "platform/linux/linux_workspace.h"
#include "platform/x11/atspi_library_bus.h"

namespace tessa {

namespace {

// Bytes of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
size_t sequenceLength(unsigned char lead) {
  if (lead >= 0xf0) return 4;
  if (lead >= 0xe0) return 3;
  if (lead >= 0xc0) return 2;
  return 1;
}

template <class T>
AXResult<T> fail(AXError e) {
  return AXResult<T>{e, std::nullopt};
}
template <class T>
AXResult<T> ok(T v) {
  return AXResult<T>{AXError::success, std::move(v)};
}

// A failed call: a time-out is "cannot complete", as the engine expects of
// an application that does not answer; anything else a plain failure.
AXError errorOf(GError* error) {
  AXError e = AXError::failure;
  if (error && error->message && std::string_view(error->message).find("imeout") != std::string_view::npos)
    e = AXError::cannotComplete;
  if (error) g_error_free(error);
  return e;
}

// What an editing call that answers true or false, with an error on failure,
// came to.
AXError outcomeOf(bool done, GError* error) {
  if (error) return errorOf(error);
  return done ? AXError::success : AXError::failure;
}

void setTimeout(double seconds) {
  const int ms = seconds > 0 ? static_cast<int>(std::ceil(seconds * 1000.0)) : 800;  // [ours]
  atspi_set_timeout(ms, -1);
}

double monotonicNow() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// [ours] The deadlines of our questions over the buses.
// A read or edit that names no time-out of its own.
constexpr double kCallDeadline = 0.3;
// One question to an application while looking for the focus.
constexpr double kWalkCallSeconds = 0.1;
// How often a window back from a keyboard grab is asked whether its field
// has the focus again.
constexpr double kSettleStep = 0.005;

constexpr const char* kFocusEvent = "object:state-changed:focused";

bool hasState(AtspiAccessible* a, AtspiStateType state) {
  AtspiStateSet* set = atspi_accessible_get_state_set(a);
  if (!set) return false;
  bool has = atspi_state_set_contains(set, state);
  g_object_unref(set);
  return has;
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

// Questions to one element sent together and their answers read in turn:
// the application answers them one after another, but the asker waits for
// the bus once instead of once per question (each round trip through the bus
// daemon and the application's event loop costs the more the busier the
// machine). An answer that is an error, or missing, reads as none.
class QuestionBatch {
 public:
  QuestionBatch(AtspiAccessible* a, int timeoutMs) : timeoutMs_(timeoutMs) {
    AtspiObject* o = a ? &a->parent : nullptr;
    if (o && o->app && o->app->bus && o->app->bus_name && o->path) {
      bus_ = o->app->bus;
      name_ = o->app->bus_name;
      path_ = o->path;
    }
  }
  ~QuestionBatch() {
    for (auto* p : pending_)
      if (p) {
        dbus_pending_call_cancel(p);
        dbus_pending_call_unref(p);
      }
    for (auto* m : answers_)
      if (m) dbus_message_unref(m);
  }
  QuestionBatch(const QuestionBatch&) = delete;
  QuestionBatch& operator=(const QuestionBatch&) = delete;

  bool usable() const { return bus_ != nullptr; }

  // Each returns the question's index.
  size_t ask(const char* interface, const char* method, std::optional<int32_t> a1 = {},
             std::optional<int32_t> a2 = {}) {
    DBusMessage* m = bus_ ? dbus_message_new_method_call(name_, path_, interface, method) : nullptr;
    if (m && a1) {
      dbus_int32_t v1 = *a1, v2 = a2.value_or(0);
      if (a2) dbus_message_append_args(m, DBUS_TYPE_INT32, &v1, DBUS_TYPE_INT32, &v2, DBUS_TYPE_INVALID);
      else dbus_message_append_args(m, DBUS_TYPE_INT32, &v1, DBUS_TYPE_INVALID);
    }
    return send(m);
  }
  size_t askProperty(const char* interface, const char* property) {
    DBusMessage* m =
        bus_ ? dbus_message_new_method_call(name_, path_, DBUS_INTERFACE_PROPERTIES, "Get") : nullptr;
    if (m) dbus_message_append_args(m, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING, &property, DBUS_TYPE_INVALID);
    return send(m);
  }
  // Sends what was asked; the answers are waited for as they are read.
  void flush() {
    if (bus_) dbus_connection_flush(bus_);
  }

  // Whether some question ran out of time rather than failing.
  bool timedOut() const { return timedOut_; }

  std::optional<std::string> string(size_t i) {
    DBusMessageIter it;
    if (!first(i, it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_STRING) return std::nullopt;
    const char* v = nullptr;
    dbus_message_iter_get_basic(&it, &v);
    return std::string(v ? v : "");
  }
  std::optional<int32_t> int32(size_t i) {
    DBusMessageIter it;
    if (!first(i, it)) return std::nullopt;
    return int32Of(it);
  }
  // The answer to GetState: two 32-bit words of state bits.
  std::optional<uint64_t> states(size_t i) {
    DBusMessageIter it, words;
    if (!first(i, it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_ARRAY) return std::nullopt;
    dbus_message_iter_recurse(&it, &words);
    uint64_t out = 0;
    for (int shift = 0; shift < 64; shift += 32) {
      if (dbus_message_iter_get_arg_type(&words) != DBUS_TYPE_UINT32) return std::nullopt;
      dbus_uint32_t v = 0;
      dbus_message_iter_get_basic(&words, &v);
      out |= static_cast<uint64_t>(v) << shift;
      dbus_message_iter_next(&words);
    }
    return out;
  }
  // The answer to a property's Get: a variant.
  std::optional<int32_t> int32Property(size_t i) {
    DBusMessageIter it, inner;
    if (!first(i, it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_VARIANT) return std::nullopt;
    dbus_message_iter_recurse(&it, &inner);
    return int32Of(inner);
  }
  std::optional<std::pair<int32_t, int32_t>> int32Pair(size_t i) {
    DBusMessageIter it;
    if (!first(i, it)) return std::nullopt;
    auto a = int32Of(it);
    if (!a || !dbus_message_iter_next(&it)) return std::nullopt;
    auto b = int32Of(it);
    if (!b) return std::nullopt;
    return std::pair{*a, *b};
  }

 private:
  size_t send(DBusMessage* m) {
    DBusPendingCall* p = nullptr;
    if (m && !dbus_connection_send_with_reply(bus_, m, &p, timeoutMs_)) p = nullptr;
    if (m) dbus_message_unref(m);
    pending_.push_back(p);
    answers_.push_back(nullptr);
    return pending_.size() - 1;
  }
  bool first(size_t i, DBusMessageIter& it) {
    if (i >= pending_.size()) return false;
    if (DBusPendingCall* p = pending_[i]) {
      dbus_pending_call_block(p);
      answers_[i] = dbus_pending_call_steal_reply(p);
      dbus_pending_call_unref(p);
      pending_[i] = nullptr;
      if (answers_[i] && dbus_message_get_type(answers_[i]) == DBUS_MESSAGE_TYPE_ERROR) {
        const char* name = dbus_message_get_error_name(answers_[i]);
        if (name && std::string_view(name) == DBUS_ERROR_NO_REPLY) timedOut_ = true;
        dbus_message_unref(answers_[i]);
        answers_[i] = nullptr;
      }
    }
    return answers_[i] && dbus_message_iter_init(answers_[i], &it);
  }
  static std::optional<int32_t> int32Of(DBusMessageIter& it) {
    if (dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_INT32) return std::nullopt;
    dbus_int32_t v = 0;
    dbus_message_iter_get_basic(&it, &v);
    return v;
  }

  int timeoutMs_;
  DBusConnection* bus_ = nullptr;
  const char* name_ = nullptr;
  const char* path_ = nullptr;
  std::vector<DBusPendingCall*> pending_;
  std::vector<DBusMessage*> answers_;
  bool timedOut_ = false;
};

}  // namespace

// The field's text and how its application counts offsets. AT-SPI offsets
// are characters, but some toolkits (Qt among them) answer in UTF-16 units; a
// character count equal to the UTF-16 length of a text with surrogate pairs
// gives them away.
struct FieldText {
  std::string text;
  bool countsUtf16 = false;

  int64_t length() const { return utf16OffsetOfCharacter(text, INT64_MAX); }
  int toAtspi(int64_t units) const {
    return static_cast<int>(countsUtf16 ? units : characterOffsetOfUtf16(text, units));
  }
  int64_t fromAtspi(int offset) const { return countsUtf16 ? offset : utf16OffsetOfCharacter(text, offset); }
};

static std::optional<FieldText> readField(AtspiText* text) {
  GError* error = nullptr;
  const int count = atspi_text_get_character_count(text, &error);
  if (error) {
    g_error_free(error);
    return std::nullopt;
  }
  gchar* s = atspi_text_get_text(text, 0, count, &error);
  if (error || !s) {
    if (error) g_error_free(error);
    g_free(s);
    return std::nullopt;
  }
  FieldText out{s};
  g_free(s);
  const int64_t characters = characterOffsetOfUtf16(out.text, INT64_MAX);
  out.countsUtf16 = count != characters && count == out.length();
  return out;
}


int64_t utf16OffsetOfCharacter(std::string_view utf8, int64_t characters) {
  int64_t units = 0;
  size_t i = 0;
  for (int64_t c = 0; c < characters && i < utf8.size(); ++c) {
    const size_t len = sequenceLength(static_cast<unsigned char>(utf8[i]));
    units += len == 4 ? 2 : 1;
    i += len;
  }
  return units;
}

int64_t characterOffsetOfUtf16(std::string_view utf8, int64_t units) {
  int64_t characters = 0, seen = 0;
  size_t i = 0;
  while (i < utf8.size() && seen < units) {
    const size_t len = sequenceLength(static_cast<unsigned char>(utf8[i]));
    seen += len == 4 ? 2 : 1;
    i += len;
    ++characters;
  }
  return characters;
}

// The thread that owns the library: a GLib main context of its own, which the
// library's connections are attached to (so nothing else dispatches them),
// iterated between jobs so the library's own messages are handled too.
class AtspiAccessibility::Worker {
 public:
  Worker() {
    // Before any connection: libdbus then guards its shared state (Qt's own
    // D-Bus use in this process shares the library).
    dbus_threads_init_default();
    context_ = g_main_context_new();
    loop_ = g_main_loop_new(context_, FALSE);
    thread_ = std::thread([this] {
      g_main_context_push_thread_default(context_);
      id_ = std::this_thread::get_id();
      started_.store(true);
      g_main_loop_run(loop_);
      g_main_context_pop_thread_default(context_);
    });
    while (!started_.load()) std::this_thread::yield();
  }
  // `last` runs on the thread before it ends.
  void stop(std::function<void()> last) {
    post([this, last = std::move(last)] {
      last();
      g_main_loop_quit(loop_);
    });
    if (thread_.joinable()) thread_.join();
  }
  ~Worker() {
    if (thread_.joinable()) stop([] {});
    g_main_loop_unref(loop_);
    // The context stays: the library keeps its connection on it for the
    // life of the process (it cannot be taken off cleanly), and a context
    // that went away would leave the connection's watches dangling.
  }
  bool current() const { return std::this_thread::get_id() == id_; }
  GMainContext* context() const { return context_; }

  // The jobs pass through a queue under a mutex of ours: GLib's own
  // hand-over does not show as one to the thread checker, ours does. The
  // idle source only wakes the thread.
  void post(std::function<void()> job) {
    {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    }
    GSource* source = g_idle_source_new();
    g_source_set_priority(source, G_PRIORITY_DEFAULT);
    g_source_set_callback(
        source,
        [](gpointer data) -> gboolean {
          static_cast<Worker*>(data)->runJobs();
          return G_SOURCE_REMOVE;
        },
        this, nullptr);
    g_source_attach(source, context_);
    g_source_unref(source);
  }

 private:
  void runJobs() {
    for (;;) {
      std::function<void()> job;
      {
        std::lock_guard lock(mutex_);
        if (jobs_.empty()) return;
        job = std::move(jobs_.front());
        jobs_.pop_front();
      }
      job();
    }
  }

  std::mutex mutex_;
  std::deque<std::function<void()>> jobs_;
  GMainContext* context_ = nullptr;
  GMainLoop* loop_ = nullptr;
  std::thread thread_;
  std::thread::id id_;
  std::atomic<bool> started_{false};
};

template <class R>
std::optional<R> AtspiAccessibility::onWorker(double seconds, std::function<R(double deadline)> f) {
  const double deadline = monotonicNow() + seconds;
  if (worker_->current()) return f(deadline);
  struct Answer {
    std::mutex mutex;
    std::condition_variable cv;
    std::optional<R> value;
  };
  auto answer = std::make_shared<Answer>();
  worker_->post([answer, deadline, f = std::move(f)] {
    // Its caller has given up: the work would only delay the next one.
    if (monotonicNow() > deadline) return;
    R r = f(deadline);
    {
      std::lock_guard lock(answer->mutex);
      answer->value = std::move(r);
    }
    answer->cv.notify_all();
  });
  std::unique_lock lock(answer->mutex);
  answer->cv.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return answer->value.has_value(); });
  return std::move(answer->value);
}

// The switch's and the registry's questions (atspi_desktop_switch.cpp) run
// on the worker too.
template std::optional<std::optional<bool>> AtspiAccessibility::onWorker<std::optional<bool>>(
    double, std::function<std::optional<bool>(double)>);

AtspiAccessibility::AtspiAccessibility(TaskRunner& main, ApplicationFocus* inputFocus)
    : main_(main), inputFocus_(inputFocus), trustChanged_(main), worker_(std::make_unique<Worker>()) {}

AtspiAccessibility::~AtspiAccessibility() {
  worker_->stop([this] {
    forgetAll();
    desktopSwitch_.close();
  });
}

void AtspiAccessibility::forgetAll() {
  if (focusListener_) {
    atspi_event_listener_deregister(focusListener_, kFocusEvent, nullptr);
    g_object_unref(focusListener_);
    focusListener_ = nullptr;
  }
  for (auto& [id, a] : elements_) g_object_unref(a);
  elements_.clear();
  setLastFocused(nullptr);
}

void AtspiAccessibility::setLastFocused(AtspiAccessible* a) {
  if (a) g_object_ref(a);
  if (lastFocused_) g_object_unref(lastFocused_);
  lastFocused_ = a;
}

// Runs on this thread: the library hands its events over while it runs a
// call or the context's idle turn. A field losing the focus had it until
// then (a keyboard grab takes it away so), and one taking it follows the
// one that lost it. Our own windows are left out, as the walk leaves them
// out: they answer on the main thread, which may be waiting here.
void AtspiAccessibility::focusEvent(AtspiEvent* event, void* data) {
  auto* self = static_cast<AtspiAccessibility*>(data);
  // Our own windows are never the one (they answer on the main thread,
  // which may be waiting for the next look).
  if (event->source && static_cast<pid_t>(atspi_accessible_get_process_id(event->source, nullptr)) != getpid())
    self->setLastFocused(event->source);
  self->focusWatchers_.notify();
  g_boxed_free(ATSPI_TYPE_EVENT, event);
}

bool AtspiAccessibility::busUp() {
  if (initialised_) return true;
  // Without a session bus the library would fall back to spawning one.
  if (!std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
    problem_ = AXTrustProblem::noSessionBus;
    return false;
  }
  bool enabled = false;
  const auto answer = desktopSwitch_.read(enabled);
  if (answer != AtspiDesktopSwitch::Answer::value) {
    problem_ = answer == AtspiDesktopSwitch::Answer::noBus ? AXTrustProblem::noSessionBus
                                                           : AXTrustProblem::noAccessibilityBus;
    return false;
  }
  // Every connection the library sets up belongs to this thread's own
  // context, so that nothing but this thread ever dispatches it
  // (atspi_library_bus.h). Where the library cannot be steered so, its bus
  // connection (and the direct ones it knows of) are moved over after
  // initialising.
  keepLibraryOn(worker_->context());
  const int r = atspi_init();
  initialised_ = r == 0 || r == 1;
  if (!initialised_) return false;
  atspi_set_main_context(worker_->context());
  quietenLibraryBus();
  // Applications send the events someone listens for: these name the field
  // that takes the focus, which a keyboard grab later hides, and tell the
  // engine's focus watchers to look again. Only this event is asked for (by
  // name, through the registry), so a busy program's other events never
  // reach us.
  focusListener_ = atspi_event_listener_new(&AtspiAccessibility::focusEvent, this, nullptr);
  if (!atspi_event_listener_register(focusListener_, kFocusEvent, nullptr)) {
    g_object_unref(focusListener_);
    focusListener_ = nullptr;
  }
  return true;
}

void AtspiAccessibility::postToWorker(std::function<void()> job) { worker_->post(std::move(job)); }

GMainContext* AtspiAccessibility::workerContext() const { return worker_->context(); }

AXElement AtspiAccessibility::remember(AtspiAccessible* a) {
  // The same object on the same connection is the same element.
  const char* bus = a->parent.app ? a->parent.app->bus_name : "";
  const char* path = a->parent.path ? a->parent.path : "";
  uint64_t id = std::hash<std::string>{}(std::string(bus ? bus : "") + "\n" + path) | 1;
  if (elements_.size() > 64) {
    for (auto& [key, old] : elements_) g_object_unref(old);
    elements_.clear();
  }
  if (auto it = elements_.find(id); it != elements_.end()) {
    g_object_unref(it->second);
    it->second = a;
  } else {
    elements_.emplace(id, a);
  }
  return AXElement{id, static_cast<int64_t>(atspi_accessible_get_process_id(a, nullptr))};
}

AtspiAccessible* AtspiAccessibility::lookup(const AXElement& e, AXError& error) const {
  auto it = elements_.find(e.id);
  if (it == elements_.end() || hasState(it->second, ATSPI_STATE_DEFUNCT)) {
    error = AXError::invalidElement;
    return nullptr;
  }
  error = AXError::success;
  return it->second;
}

namespace {
// The element's states as its application answers now: the library's copy
// follows the application's events, which may still be on their way.
std::optional<uint64_t> liveStates(AtspiAccessible* a, double seconds) {
  QuestionBatch batch(a, static_cast<int>(std::ceil(seconds * 1000.0)));
  if (!batch.usable()) return std::nullopt;
  const size_t q = batch.ask("org.a11y.atspi.Accessible", "GetState");
  batch.flush();
  return batch.states(q);
}

bool hasBit(uint64_t states, AtspiStateType state) { return (states >> state) & 1; }
}  // namespace

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
  AtspiAccessible* app = atspi_accessible_get_application(last, nullptr);
  if (!app) return Kept::no;
  bool active = false, answered = true;
  const int windows = atspi_accessible_get_child_count(app, nullptr);
  for (int w = 0; w < windows && !active && answered; ++w) {
    AtspiAccessible* window = atspi_accessible_get_child_at_index(app, w, nullptr);
    const auto states = window ? liveStates(window, seconds) : std::nullopt;
    answered = states.has_value();
    active = states && hasBit(*states, ATSPI_STATE_ACTIVE);
    if (window) g_object_unref(window);
  }
  g_object_unref(app);
  if (!answered) return Kept::no;
  return active ? Kept::unsettled : Kept::yes;
}

std::optional<AXElement> AtspiAccessibility::stillFocused(int64_t pid, double seconds, bool& unsettled) {
  unsettled = false;
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
  if (!focused && !defunct)
    if (auto live = liveStates(last, seconds)) {
      defunct = hasBit(*live, ATSPI_STATE_DEFUNCT);
      focused = !defunct && hasBit(*live, ATSPI_STATE_FOCUSED);
    }
  std::optional<AXElement> still;
  if (focused && (pid == 0 || static_cast<int64_t>(atspi_accessible_get_process_id(last, nullptr)) == pid)) {
    still = remember(static_cast<AtspiAccessible*>(g_object_ref(last)));
  } else if (!focused && !defunct) {
    const Kept kept = focusKeptThroughGrab(last, pid, seconds);
    if (kept == Kept::yes) still = remember(static_cast<AtspiAccessible*>(g_object_ref(last)));
    unsettled = kept == Kept::unsettled;
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
  bool unsettled = false;
  if (auto still = stillFocused(pid, walkCallSeconds, unsettled)) return ok(*still);
  // Through the other applications each question gets little time: one that
  // hangs must not use up the whole deadline before the focused one is seen.
  setTimeout(walkCallSeconds);
  AtspiAccessible* desktop = atspi_get_desktop(0);
  if (!desktop) return fail<AXElement>(AXError::cannotComplete);
  AtspiAccessible* found = nullptr;
  const int64_t self = static_cast<int64_t>(getpid());
  const int apps = atspi_accessible_get_child_count(desktop, nullptr);
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
          found = findFocusedIn(window, 1, deadline);
        }
        if (window) g_object_unref(window);
      }
      if (!found && !sawActive) found = findFocusedIn(app, 0, deadline);
    }
    g_object_unref(app);
  }
  g_object_unref(desktop);
  if (found) {
    setLastFocused(found);
    return ok(remember(found));
  }
  // The walk's questions brought in the events sent meanwhile (the field
  // that lost the focus to a grab as the walk began may be known by now); and
  // a window back from a grab is asked again, until the deadline, for its
  // field to take the focus back.
  for (double left = deadline - monotonicNow(); left > 0; left = deadline - monotonicNow()) {
    if (auto still = stillFocused(pid, std::min(walkCallSeconds, left), unsettled)) return ok(*still);
    if (!unsettled || left < 2 * kSettleStep) break;
    std::this_thread::sleep_for(std::chrono::duration<double>(kSettleStep));
  }
  return fail<AXElement>(monotonicNow() > deadline ? AXError::cannotComplete : AXError::noValue);
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

// Every public read and edit hops to the worker with its deadline; on the
// worker it runs the body below.
#define TESSA_ON_WORKER(Type, call)                                                                      \
  if (!worker_->current())                                                                               \
    return onWorker<Type>(kCallDeadline, [=, this](double) { return call; }).value_or(Type{AXError::cannotComplete, {}})

AXResult<std::string> AtspiAccessibility::role(const AXElement& e) {
  TESSA_ON_WORKER(AXResult<std::string>, role(e));
  AXError error;
  AtspiAccessible* a = lookup(e, error);
  if (!a) return fail<std::string>(error);
  GError* gerror = nullptr;
  const AtspiRole r = atspi_accessible_get_role(a, &gerror);
  if (gerror) return fail<std::string>(errorOf(gerror));
  switch (r) {
    case ATSPI_ROLE_ENTRY:
    case ATSPI_ROLE_PASSWORD_TEXT:
      return ok<std::string>("AXTextField");
    case ATSPI_ROLE_TEXT:
      return ok<std::string>(hasState(a, ATSPI_STATE_MULTI_LINE) ? "AXTextArea" : "AXTextField");
    case ATSPI_ROLE_PARAGRAPH:
    case ATSPI_ROLE_DOCUMENT_TEXT:
      return ok<std::string>("AXTextArea");
    case ATSPI_ROLE_COMBO_BOX:
      return ok<std::string>("AXComboBox");
    default:
      return ok<std::string>("AXUnknown");
  }
}

AXResult<std::string> AtspiAccessibility::subrole(const AXElement& e) {
  TESSA_ON_WORKER(AXResult<std::string>, subrole(e));
  AXError error;
  AtspiAccessible* a = lookup(e, error);
  if (!a) return fail<std::string>(error);
  GError* gerror = nullptr;
  const AtspiRole r = atspi_accessible_get_role(a, &gerror);
  if (gerror) return fail<std::string>(errorOf(gerror));
  if (r == ATSPI_ROLE_PASSWORD_TEXT) return ok<std::string>("AXSecureTextField");
  return fail<std::string>(AXError::noValue);
}

AXResult<std::string> AtspiAccessibility::value(const AXElement& e) {
  TESSA_ON_WORKER(AXResult<std::string>, value(e));
  AXError error;
  AtspiAccessible* a = lookup(e, error);
  if (!a) return fail<std::string>(error);
  if (atspi_accessible_get_role(a, nullptr) == ATSPI_ROLE_PASSWORD_TEXT) return fail<std::string>(AXError::noValue);
  AtspiText* text = atspi_accessible_get_text_iface(a);
  if (!text) return fail<std::string>(AXError::attributeUnsupported);
  auto field = readField(text);
  g_object_unref(text);
  if (!field) return fail<std::string>(AXError::cannotComplete);
  return ok(std::move(field->text));
}

namespace {
// The caret's offset as both ends, or the first selection's ends where there
// is one, in the field's own offsets.
std::pair<int, int> caretOrSelection(AtspiText* text, GError** gerror) {
  int start = atspi_text_get_caret_offset(text, gerror), end = start;
  if (!*gerror && atspi_text_get_n_selections(text, nullptr) > 0) {
    if (AtspiRange* r = atspi_text_get_selection(text, 0, nullptr)) {
      if (r->end_offset > r->start_offset) {
        start = r->start_offset;
        end = r->end_offset;
      }
      g_free(r);
    }
  }
  return {start, end};
}
}  // namespace

AXResult<TextRange> AtspiAccessibility::selectedTextRange(const AXElement& e) {
  TESSA_ON_WORKER(AXResult<TextRange>, selectedTextRange(e));
  AXError error;
  AtspiAccessible* a = lookup(e, error);
  if (!a) return fail<TextRange>(error);
  AtspiText* text = atspi_accessible_get_text_iface(a);
  if (!text) return fail<TextRange>(AXError::attributeUnsupported);
  auto whole = readField(text);
  GError* gerror = nullptr;
  const auto [start, end] = caretOrSelection(text, &gerror);
  g_object_unref(text);
  if (gerror) return fail<TextRange>(errorOf(gerror));
  if (!whole || start < 0) return fail<TextRange>(AXError::cannotComplete);
  const int64_t location = whole->fromAtspi(start);
  return ok(TextRange{location, whole->fromAtspi(end) - location});
}

AXResult<AXTextState> AtspiAccessibility::textState(const AXElement& e) {
  TESSA_ON_WORKER(AXResult<AXTextState>, textState(e));
  AXError error;
  AtspiAccessible* a = lookup(e, error);
  if (!a) return fail<AXTextState>(error);
  GError* gerror = nullptr;
  const AtspiRole r = atspi_accessible_get_role(a, &gerror);
  if (gerror) return fail<AXTextState>(errorOf(gerror));
  if (r == ATSPI_ROLE_PASSWORD_TEXT) return ok(AXTextState{{}, {}, true});
  AtspiText* text = atspi_accessible_get_text_iface(a);
  if (!text) return fail<AXTextState>(AXError::attributeUnsupported);
  if (auto state = textStateAtOnce(a)) {
    g_object_unref(text);
    return *state;
  }
  auto whole = readField(text);
  int start = -1, end = -1;
  if (whole) std::tie(start, end) = caretOrSelection(text, &gerror);
  g_object_unref(text);
  if (gerror) return fail<AXTextState>(errorOf(gerror));
  if (!whole || start < 0) return fail<AXTextState>(AXError::cannotComplete);
  const int64_t location = whole->fromAtspi(start);
  const int64_t length = whole->fromAtspi(end) - location;
  return ok(AXTextState{std::move(whole->text), TextRange{location, length}, false});
}

// The field's text, caret and first selection asked all at once; none when
// the questions could not be sent or an answer was refused (a toolkit that
// takes no -1 for the text's end), so the caller asks them one by one.
std::optional<AXResult<AXTextState>> AtspiAccessibility::textStateAtOnce(AtspiAccessible* a) {
  QuestionBatch batch(a, static_cast<int>(std::ceil(kCallDeadline * 1000.0)));
  if (!batch.usable()) return std::nullopt;
  static constexpr const char* kText = "org.a11y.atspi.Text";
  const size_t value = batch.ask(kText, "GetText", 0, -1);  // -1: to the end
  const size_t caret = batch.askProperty(kText, "CaretOffset");
  const size_t selections = batch.ask(kText, "GetNSelections");
  // The count tells whether the text came back whole (GTK 4 reads -1 as 0
  // and answers an empty text) and, for characters beyond 16 bits, how the
  // application counts.
  const size_t count = batch.askProperty(kText, "CharacterCount");
  batch.flush();
  auto s = batch.string(value);
  auto at = batch.int32Property(caret);
  auto n = batch.int32(selections);
  auto characters = batch.int32Property(count);
  if (batch.timedOut()) return fail<AXTextState>(AXError::cannotComplete);
  if (!s || !at || !characters) return std::nullopt;
  if (*at < 0) return fail<AXTextState>(AXError::cannotComplete);
  // Even counted in UTF-16 units, a whole text is at least as long as its
  // count; a shorter one is asked again up to the count. Only a selection has
  // a range to ask for.
  const bool cut = *characters > utf16OffsetOfCharacter(*s, INT64_MAX);
  const size_t whole = cut ? batch.ask(kText, "GetText", 0, *characters) : SIZE_MAX;
  const size_t selection = n.value_or(0) > 0 ? batch.ask(kText, "GetSelection", 0) : SIZE_MAX;
  batch.flush();
  if (cut) s = batch.string(whole);
  if (batch.timedOut()) return fail<AXTextState>(AXError::cannotComplete);
  if (!s) return std::nullopt;
  FieldText field{*s};
  field.countsUtf16 = *characters != characterOffsetOfUtf16(field.text, INT64_MAX) && *characters == field.length();
  int start = *at, end = *at;
  if (selection != SIZE_MAX)
    if (auto range = batch.int32Pair(selection); range && range->second > range->first) {
      start = range->first;
      end = range->second;
    }
  if (batch.timedOut()) return fail<AXTextState>(AXError::cannotComplete);
  const int64_t location = field.fromAtspi(start);
  const int64_t length = field.fromAtspi(end) - location;
  return ok(AXTextState{std::move(field.text), TextRange{location, length}, false});
}

AXResult<std::string> AtspiAccessibility::selectedText(const AXElement& e) {
  TESSA_ON_WORKER(AXResult<std::string>, selectedText(e));
  auto range = selectedTextRange(e);
  if (!range.ok()) return fail<std::string>(range.error);
  return stringForRange(e, *range.value);
}

AXResult<std::string> AtspiAccessibility::stringForRange(const AXElement& e, TextRange range) {
  TESSA_ON_WORKER(AXResult<std::string>, stringForRange(e, range));
  auto whole = value(e);
  if (!whole.ok()) return whole;
  const std::string& s = *whole.value;
  if (range.location < 0 || range.length < 0 || range.location + range.length > utf16OffsetOfCharacter(s, INT64_MAX))
    return fail<std::string>(AXError::illegalArgument);
  // Cut the UTF-8 text at the characters the UTF-16 range covers.
  auto byteOf = [&s](int64_t characters) {
    size_t i = 0;
    for (int64_t c = 0; c < characters && i < s.size(); ++c) i += sequenceLength(static_cast<unsigned char>(s[i]));
    return std::min(i, s.size());
  };
  const size_t from = byteOf(characterOffsetOfUtf16(s, range.location));
  const size_t to = byteOf(characterOffsetOfUtf16(s, range.location + range.length));
  return ok(s.substr(from, to - from));
}

namespace {
// Takes ownership of what AT-SPI returned for a rectangle and its error.
AXResult<Rect> rectResult(AtspiRect* r, GError* gerror) {
  if (gerror || !r) {
    g_free(r);
    return fail<Rect>(errorOf(gerror));
  }
  Rect out{double(r->x), double(r->y), double(r->width), double(r->height)};
  g_free(r);
  return ok(out);
}
}  // namespace

AXResult<Rect> AtspiAccessibility::boundsForRange(const AXElement& e, TextRange range) {
  TESSA_ON_WORKER(AXResult<Rect>, boundsForRange(e, range));
  AXError error;
  AtspiAccessible* a = lookup(e, error);
  if (!a) return fail<Rect>(error);
  AtspiText* text = atspi_accessible_get_text_iface(a);
  if (!text) return fail<Rect>(AXError::attributeUnsupported);
  auto whole = readField(text);
  if (!whole || range.location < 0 || range.length < 0 || range.location + range.length > whole->length()) {
    g_object_unref(text);
    return fail<Rect>(whole ? AXError::illegalArgument : AXError::cannotComplete);
  }
  const int from = whole->toAtspi(range.location);
  const int to = whole->toAtspi(range.location + range.length);
  GError* gerror = nullptr;
  AtspiRect* r = atspi_text_get_range_extents(text, from, to, ATSPI_COORD_TYPE_SCREEN, &gerror);
  g_object_unref(text);
  return rectResult(r, gerror);
}

AXResult<Rect> AtspiAccessibility::frame(const AXElement& e) {
  TESSA_ON_WORKER(AXResult<Rect>, frame(e));
  AXError error;
  AtspiAccessible* a = lookup(e, error);
  if (!a) return fail<Rect>(error);
  AtspiComponent* component = atspi_accessible_get_component_iface(a);
  if (!component) return fail<Rect>(AXError::attributeUnsupported);
  GError* gerror = nullptr;
  AtspiRect* r = atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN, &gerror);
  g_object_unref(component);
  return rectResult(r, gerror);
}

AXError AtspiAccessibility::edit(const AXElement& e, const std::function<AXError(AtspiAccessible*, FieldText&)>& f) {
  AXError error;
  AtspiAccessible* a = lookup(e, error);
  if (!a) return error;
  if (atspi_accessible_get_role(a, nullptr) == ATSPI_ROLE_PASSWORD_TEXT) return AXError::noValue;
  AtspiText* text = atspi_accessible_get_text_iface(a);
  if (!text) return AXError::attributeUnsupported;
  auto field = readField(text);
  g_object_unref(text);
  if (!field) return AXError::cannotComplete;
  return f(a, *field);
}

AXError AtspiAccessibility::insertText(const AXElement& e, int64_t location, const std::string& inserted) {
  if (!worker_->current())
    return onWorker<AXError>(kCallDeadline, [=, this](double) { return insertText(e, location, inserted); }).value_or(AXError::cannotComplete);
  return edit(e, [&](AtspiAccessible* a, FieldText& field) {
    if (location < 0 || location > field.length()) return AXError::illegalArgument;
    AtspiEditableText* editable = atspi_accessible_get_editable_text_iface(a);
    if (!editable) return AXError::attributeUnsupported;
    GError* gerror = nullptr;
    // The length is counted as the application counts offsets, not in bytes:
    // Qt cuts (or pads) the text to it.
    const int64_t units = utf16OffsetOfCharacter(inserted, INT64_MAX);
    const int length = static_cast<int>(field.countsUtf16 ? units : characterOffsetOfUtf16(inserted, units));
    const bool done =
        atspi_editable_text_insert_text(editable, field.toAtspi(location), inserted.c_str(), length, &gerror);
    g_object_unref(editable);
    return outcomeOf(done, gerror);
  });
}

AXError AtspiAccessibility::deleteText(const AXElement& e, TextRange range) {
  if (!worker_->current())
    return onWorker<AXError>(kCallDeadline, [=, this](double) { return deleteText(e, range); }).value_or(AXError::cannotComplete);
  return edit(e, [&](AtspiAccessible* a, FieldText& field) {
    if (range.location < 0 || range.length < 0 || range.location + range.length > field.length())
      return AXError::illegalArgument;
    AtspiEditableText* editable = atspi_accessible_get_editable_text_iface(a);
    if (!editable) return AXError::attributeUnsupported;
    GError* gerror = nullptr;
    const bool done = atspi_editable_text_delete_text(editable, field.toAtspi(range.location),
                                                      field.toAtspi(range.location + range.length), &gerror);
    g_object_unref(editable);
    return outcomeOf(done, gerror);
  });
}

AXError AtspiAccessibility::setCaret(const AXElement& e, int64_t location) {
  if (!worker_->current())
    return onWorker<AXError>(kCallDeadline, [=, this](double) { return setCaret(e, location); }).value_or(AXError::cannotComplete);
  return edit(e, [&](AtspiAccessible* a, FieldText& field) {
    if (location < 0 || location > field.length()) return AXError::illegalArgument;
    AtspiText* text = atspi_accessible_get_text_iface(a);
    GError* gerror = nullptr;
    const bool done = atspi_text_set_caret_offset(text, field.toAtspi(location), &gerror);
    g_object_unref(text);
    return outcomeOf(done, gerror);
  });
}

#undef TESSA_ON_WORKER

}  // namespace tessa
