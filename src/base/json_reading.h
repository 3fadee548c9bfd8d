#pragma once
// JSON read from files and the network, with a limit on nesting. The parser
// keeps its own stack, but copying, comparing, converting and writing a
// value recurse once per level: a document nested tens of thousands of
// levels deep would overflow the stack in whatever touches it next.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <type_traits>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tessa {

// Far beyond anything the program writes; small enough for any stack.
inline constexpr size_t kMaxJsonDepth = 256;  // [ours]

// True when `text` opens more than `maxDepth` arrays or objects inside one
// another. Brackets inside strings do not count. One pass, no allocation;
// text that is not JSON may give either answer, and the parser rejects it.
bool jsonNestsDeeperThan(std::string_view text, size_t maxDepth = kMaxJsonDepth);
// The same for a value in memory, without recursion.
bool jsonValueNestsDeeperThan(const nlohmann::json& value, size_t maxDepth = kMaxJsonDepth);

// The document in `text`; none when it is not JSON, nests deeper than
// `maxDepth` or holds a number no double can hold (1e999), and then `error`
// (when given) says which. Never throws for what the text holds.
std::optional<nlohmann::json> parseJsonWithin(std::string_view text, std::string* error = nullptr,
                                              size_t maxDepth = kMaxJsonDepth);

// `value` as an integer of type T: an integer inside T's range, or a number
// with an integral value inside it (writers may store 3 as 3.0). None for
// anything else, so that no out-of-range value is ever converted.
template <class T>
std::optional<T> jsonInteger(const nlohmann::json& value) {
  static_assert(std::is_integral_v<T> && !std::is_same_v<T, bool>);
  using Limits = std::numeric_limits<T>;
  if (value.is_number_unsigned()) {
    const uint64_t u = value.get<uint64_t>();
    if (u > static_cast<uint64_t>(Limits::max())) return std::nullopt;
    return static_cast<T>(u);
  }
  if (value.is_number_integer()) {
    const int64_t i = value.get<int64_t>();
    if constexpr (std::is_signed_v<T>) {
      if (i < static_cast<int64_t>(Limits::min()) || i > static_cast<int64_t>(Limits::max())) return std::nullopt;
    } else {
      if (i < 0 || static_cast<uint64_t>(i) > static_cast<uint64_t>(Limits::max())) return std::nullopt;
    }
    return static_cast<T>(i);
  }
  if (value.is_number_float()) {
    const double d = value.get<double>();
    // Limits::max() + 1 is a power of two, exact as a double; max() itself
    // may not be.
    const double above = std::ldexp(1.0, Limits::digits);
    const double below = std::is_signed_v<T> ? -above : 0.0;
    if (!std::isfinite(d) || d != std::trunc(d) || d < below || d >= above) return std::nullopt;
    return static_cast<T>(d);
  }
  return std::nullopt;
}

// `value` as a finite double; none for anything else.
inline std::optional<double> jsonFiniteNumber(const nlohmann::json& value) {
  if (!value.is_number()) return std::nullopt;
  const double d = value.get<double>();
  if (!std::isfinite(d)) return std::nullopt;
  return d;
}

}  // namespace tessa
