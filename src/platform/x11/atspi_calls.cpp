#include "platform/x11/atspi_calls.h"

#include <chrono>
#include <climits>
#include <cmath>

#include "base/unicode.h"
#include "platform/x11/atspi_accessibility.h"

namespace tessa {

namespace atspi {

AXError errorOf(GError* error) {
  AXError e = AXError::failure;
  if (error && error->message && std::string_view(error->message).find("imeout") != std::string_view::npos)
    e = AXError::cannotComplete;
  if (error) g_error_free(error);
  return e;
}

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

bool hasState(AtspiAccessible* a, AtspiStateType state) {
  AtspiStateSet* set = atspi_accessible_get_state_set(a);
  if (!set) return false;
  bool has = atspi_state_set_contains(set, state);
  g_object_unref(set);
  return has;
}

bool hasText(AtspiAccessible* a) {
  AtspiText* text = atspi_accessible_get_text_iface(a);
  if (text) g_object_unref(text);
  return text != nullptr;
}

}  // namespace atspi


int64_t FieldText::length() const { return utf16OffsetOfCharacter(text, INT64_MAX); }
int FieldText::toAtspi(int64_t units) const {
  return static_cast<int>(countsUtf16 ? units : characterOffsetOfUtf16(text, units));
}
int64_t FieldText::fromAtspi(int offset) const {
  return countsUtf16 ? offset : utf16OffsetOfCharacter(text, offset);
}

std::optional<FieldText> readField(AtspiText* text) {
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
  for (int64_t c = 0; c < characters && i < utf8.size(); ++c) units += decodeUtf8(utf8, i) >= 0x10000 ? 2 : 1;
  return units;
}

int64_t characterOffsetOfUtf16(std::string_view utf8, int64_t units) {
  int64_t characters = 0, seen = 0;
  size_t i = 0;
  while (i < utf8.size() && seen < units) {
    seen += decodeUtf8(utf8, i) >= 0x10000 ? 2 : 1;
    ++characters;
  }
  return characters;
}

}  // namespace tessa
