#pragma once
// JSON read from files and the network, with a limit on nesting. The parser
// keeps its own stack, but copying, comparing, converting and writing a
// value recurse once per level: a document nested tens of thousands of
// levels deep would overflow the stack in whatever touches it next.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tessa {

// Far beyond anything the program writes; small enough for any stack.
inline constexpr size_t kMaxJsonDepth = 256;

// True when `text` opens more than `maxDepth` arrays or objects inside one
// another. Brackets inside strings do not count. One pass, no allocation;
// text that is not JSON may give either answer, and the parser rejects it.
bool jsonNestsDeeperThan(std::string_view text, size_t maxDepth = kMaxJsonDepth);
// The same for a value in memory, without recursion.
bool jsonValueNestsDeeperThan(const nlohmann::json& value, size_t maxDepth = kMaxJsonDepth);

// The document in `text`; none when it is not JSON or nests deeper than
// `maxDepth`, and then `error` (when given) says which.
std::optional<nlohmann::json> parseJsonWithin(std::string_view text, std::string* error = nullptr,
                                              size_t maxDepth = kMaxJsonDepth);

}  // namespace tessa
