// Editing a field through EditableText, at the engine's UTF-16 offsets
// counted as its application counts them.
#include <atspi/atspi.h>

#include <climits>
#include <functional>
#include <string>

#include "platform/x11/atspi_accessibility.h"

#include "platform/x11/atspi_calls.h"
#include "platform/x11/atspi_worker.h"

namespace tessa {

using namespace atspi;

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

}  // namespace tessa
