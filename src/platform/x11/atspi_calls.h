#pragma once
// What the AT-SPI files share (atspi_accessibility.cpp and its neighbours):
// the results they answer, the deadlines of their questions, and the field's
// text with the way its application counts offsets. Used on the AT-SPI
// thread only.
#include <atspi/atspi.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/accessibility.h"

namespace tessa {

namespace atspi {

using ax::fail;
using ax::ok;

// A failed call: a time-out is "cannot complete", as the engine expects of
// an application that does not answer; anything else a plain failure. Frees
// the error.
AXError errorOf(GError* error);
// What an editing call that answers true or false, with an error on failure,
// came to.
AXError outcomeOf(bool done, GError* error);
// The library's time-out for the calls that follow (0: our own default).
void setTimeout(double seconds);
double monotonicNow();
bool hasState(AtspiAccessible* a, AtspiStateType state);
// Whether the element offers the Text interface.
bool hasText(AtspiAccessible* a);

// [ours] A read or edit that names no time-out of its own.
constexpr double kCallDeadline = 0.3;

}  // namespace atspi

// The field's text and how its application counts offsets. AT-SPI offsets
// are characters, but some toolkits (Qt among them) answer in UTF-16 units; a
// character count equal to the UTF-16 length of a text with surrogate pairs
// gives them away.
struct FieldText {
  std::string text;
  bool countsUtf16 = false;

  int64_t length() const;
  int toAtspi(int64_t units) const;
  int64_t fromAtspi(int offset) const;
};

// The whole text of `text`, none when it cannot be read.
std::optional<FieldText> readField(AtspiText* text);

}  // namespace tessa
