// Reading a field: its role, text, caret, selection and bounds, each asked
// on the AT-SPI thread within its deadline.
#include <atspi/atspi.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>
#include <utility>

#include "base/unicode.h"
#include "platform/x11/atspi_accessibility.h"

#include "platform/x11/atspi_calls.h"
#include "platform/x11/atspi_worker.h"
#include "platform/x11/atspi_question_batch.h"

namespace tessa {

using namespace atspi;

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
  // Whether to stay out of a field is asked of its application, not only of
  // the library's copy, which may not have heard yet that it hides its text.
  const auto live = liveRole(a, kCallDeadline);
  if (!live) return fail<std::string>(AXError::cannotComplete);
  if (*live == ATSPI_ROLE_PASSWORD_TEXT) return ok<std::string>("AXSecureTextField");
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
// Whether the library already knows the element for a password field, from
// what it holds (asking it would be a round trip of its own).
bool knownSecure(AtspiAccessible* a) {
  return (a->cached_properties & ATSPI_CACHE_ROLE) && a->role == ATSPI_ROLE_PASSWORD_TEXT;
}

// Firefox holds the caret of an emptied editable element (a contenteditable
// one, never a <textarea>, whose line break is the user's) on a line break of
// its own, which it shares as the element's text: such an element holds
// nothing. Only a text of that one break is asked about.
bool onlyHoldsItsCaretBreak(AtspiAccessible* a, const std::string& text, int caret) {
  if (text != "\n" || caret != 0) return false;
  GHashTable* attributes = atspi_accessible_get_attributes(a, nullptr);
  if (!attributes) return false;
  const auto* tag = static_cast<const char*>(g_hash_table_lookup(attributes, "tag"));
  const bool pageElement = tag && std::string_view(tag) != "textarea" && std::string_view(tag) != "input";
  g_hash_table_unref(attributes);
  return pageElement;
}

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
  return textStateOf(e, false);
}

AXResult<AXTextState> AtspiAccessibility::textStateAgain(const AXElement& e) {
  TESSA_ON_WORKER(AXResult<AXTextState>, textStateAgain(e));
  return textStateOf(e, readWhole_.count(e.id) > 0);
}

AXResult<AXTextState> AtspiAccessibility::textStateOf(const AXElement& e, bool again) {
  // Whether the element is gone is asked with the questions at once (the
  // library would ask on a round trip of its own, behind the keys the
  // application is busy with); the role too, as the application answers it
  // now. Only where they cannot be sent is the library asked for either.
  auto known = elements_.find(e.id);
  if (known == elements_.end()) return fail<AXTextState>(AXError::invalidElement);
  AtspiAccessible* a = known->second;
  if (knownSecure(a)) return ok(AXTextState{{}, {}, true});
  AtspiText* text = atspi_accessible_get_text_iface(a);
  if (!text) return fail<AXTextState>(AXError::attributeUnsupported);
  std::optional<uint64_t> states;
  auto state = textStateAtOnce(a, again ? nullptr : &states, again);
  const bool gone = states && hasBit(*states, ATSPI_STATE_DEFUNCT);
  if (state || gone) {
    g_object_unref(text);
    return gone ? fail<AXTextState>(AXError::invalidElement) : *state;
  }
  AXError error;
  if (!lookup(e, error)) {
    g_object_unref(text);
    return fail<AXTextState>(error);
  }
  GError* gerror = nullptr;
  const AtspiRole r = atspi_accessible_get_role(a, &gerror);
  if (gerror || r == ATSPI_ROLE_PASSWORD_TEXT) {
    g_object_unref(text);
    return gerror ? fail<AXTextState>(errorOf(gerror)) : ok(AXTextState{{}, {}, true});
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

Accessibility::FocusedTextState AtspiAccessibility::focusedTextState(double timeoutSeconds) {
  const double seconds = timeoutSeconds > 0 ? timeoutSeconds : kCallDeadline;
  // The text gets its own deadline after the focus's, as when asked apart.
  auto answer = onWorker<FocusedTextState>(seconds + kCallDeadline, [this, seconds](double deadline) {
    // The field that had the focus last, asked whether it still has it with
    // the same questions as its text: where it does, one round trip.
    if (lastFocused_ && busUp() && !knownSecure(lastFocused_) && hasText(lastFocused_)) {
      auto* last = static_cast<AtspiAccessible*>(g_object_ref(lastFocused_));
      std::optional<uint64_t> states;
      auto text = textStateAtOnce(last, &states);
      if (text && states && hasBit(*states, ATSPI_STATE_FOCUSED) && !hasBit(*states, ATSPI_STATE_DEFUNCT))
        return FocusedTextState{ok(remember(last)), std::move(*text)};
      g_object_unref(last);
    }
    FocusedTextState out{findFocused(0, seconds, deadline - kCallDeadline), {}};
    if (out.element.ok()) out.text = textState(*out.element.value);
    return out;
  });
  return answer.value_or(FocusedTextState{fail<AXElement>(AXError::cannotComplete), {}});
}

// The field's text, caret and first selection asked all at once; none when
// the questions could not be sent or an answer was refused (a toolkit that
// takes no -1 for the text's end), so the caller asks them one by one.
// `again`: the field was read whole a moment ago (the looks while an edit
// waits for its keys), so only what the keys change is asked: neither its
// states nor its role, and its count only for characters beyond 16 bits.
// Each question costs the application a turn while it is busy taking keys.
std::optional<AXResult<AXTextState>> AtspiAccessibility::textStateAtOnce(AtspiAccessible* a,
                                                                         std::optional<uint64_t>* states,
                                                                         bool again) {
  QuestionBatch batch(a, static_cast<int>(std::ceil(kCallDeadline * 1000.0)));
  if (!batch.usable()) return std::nullopt;
  static constexpr const char* kText = "org.a11y.atspi.Text";
  const size_t stateSet = states ? batch.ask("org.a11y.atspi.Accessible", "GetState") : SIZE_MAX;
  // The role as the application answers now, first: the caller checked the
  // library's copy, which can lag behind a field just made a password field;
  // such a field's text is then dropped unread.
  const size_t role = again ? SIZE_MAX : batch.ask("org.a11y.atspi.Accessible", "GetRole");
  const size_t value = batch.ask(kText, "GetText", 0, -1);  // -1: to the end
  const size_t caret = batch.askProperty(kText, "CaretOffset");
  const size_t selections = batch.ask(kText, "GetNSelections");
  // The count tells whether the text came back whole (GTK 4 reads -1 as 0
  // and answers an empty text) and, for characters beyond 16 bits, how the
  // application counts.
  size_t count = again ? SIZE_MAX : batch.askProperty(kText, "CharacterCount");
  batch.flush();
  if (states) *states = batch.states(stateSet);
  if (role != SIZE_MAX && batch.uint32(role) == static_cast<uint32_t>(ATSPI_ROLE_PASSWORD_TEXT))
    return ok(AXTextState{{}, {}, true});
  auto s = batch.string(value);
  auto at = batch.int32Property(caret);
  auto n = batch.int32(selections);
  if (again && s && characterOffsetOfUtf16(*s, INT64_MAX) != utf16OffsetOfCharacter(*s, INT64_MAX)) {
    count = batch.askProperty(kText, "CharacterCount");
    batch.flush();
  }
  std::optional<int32_t> characters;
  if (count != SIZE_MAX) characters = batch.int32Property(count);
  else if (s) characters = static_cast<int32_t>(utf16OffsetOfCharacter(*s, INT64_MAX));
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
  // A text answered whole for -1 (an empty one tells nothing): later looks
  // need not ask the count.
  if (!again && !cut && s && !s->empty()) readWhole_.insert(elementId(a));
  if (batch.timedOut()) return fail<AXTextState>(AXError::cannotComplete);
  if (!s) return std::nullopt;
  if (onlyHoldsItsCaretBreak(a, *s, *at)) {
    s->clear();
    characters = 0;
  }
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
    for (int64_t c = 0; c < characters && i < s.size(); ++c) decodeUtf8(s, i);
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

#undef TESSA_ON_WORKER

}  // namespace tessa
