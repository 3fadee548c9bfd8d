#pragma once
// Questions to one element sent together over D-Bus, below the AT-SPI
// library, and the element's states as its application answers them now.
#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tessa::atspi {

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
  // The answer to GetRole.
  std::optional<uint32_t> uint32(size_t i) {
    DBusMessageIter it;
    if (!first(i, it) || dbus_message_iter_get_arg_type(&it) != DBUS_TYPE_UINT32) return std::nullopt;
    dbus_uint32_t v = 0;
    dbus_message_iter_get_basic(&it, &v);
    return v;
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

// The element's states as its application answers now: the library's copy
// follows the application's events, which may still be on their way. None
// when it did not answer; `timedOut`, when given, tells whether that was for
// want of time (rather than an error, or an application off the bus).
std::optional<uint64_t> liveStates(AtspiAccessible* a, double seconds, bool* timedOut = nullptr);

inline bool hasBit(uint64_t states, AtspiStateType state) { return (states >> state) & 1; }

// The element's role as its application answers now: the library's copy
// follows the application's events, and a field just made a password field
// can still be a plain one there.
std::optional<AtspiRole> liveRole(AtspiAccessible* a, double seconds);

}  // namespace tessa::atspi
