#include "base/json_reading.h"

#include <fmt/format.h>

#include <utility>
#include <vector>

namespace tessa {

namespace {
// The reader's complaint quotes the bytes it stopped at, which may be
// anything the file held: every byte outside printable ASCII is written as
// \xNN, so that the log line made of it is always valid text.
std::string printable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7f)
      out.push_back(static_cast<char>(c));
    else
      out += fmt::format("\\x{:02X}", c);
  }
  return out;
}
}  // namespace

bool jsonNestsDeeperThan(std::string_view text, size_t maxDepth) {
  size_t depth = 0;
  bool inString = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (inString) {
      if (c == '\\')
        ++i;  // the escaped character cannot end the string
      else if (c == '"')
        inString = false;
      continue;
    }
    switch (c) {
      case '"':
        inString = true;
        break;
      case '[':
      case '{':
        if (++depth > maxDepth) return true;
        break;
      case ']':
      case '}':
        if (depth > 0) --depth;
        break;
      default:
        break;
    }
  }
  return false;
}

bool jsonValueNestsDeeperThan(const nlohmann::json& value, size_t maxDepth) {
  // Containers still to look into, with the depth at which they stand.
  std::vector<std::pair<const nlohmann::json*, size_t>> pending{{&value, 1}};
  while (!pending.empty()) {
    auto [v, depth] = pending.back();
    pending.pop_back();
    if (!v->is_structured()) continue;
    if (depth > maxDepth) return true;
    for (const auto& child : *v)
      if (child.is_structured()) pending.emplace_back(&child, depth + 1);
  }
  return false;
}

std::optional<nlohmann::json> parseJsonWithin(std::string_view text, std::string* error, size_t maxDepth) {
  if (jsonNestsDeeperThan(text, maxDepth)) {
    if (error) *error = "nested deeper than " + std::to_string(maxDepth) + " levels";
    return std::nullopt;
  }
  try {
    return nlohmann::json::parse(text);
  } catch (const nlohmann::json::exception& e) {
    // A syntax error, and also a number beyond a double (out_of_range) or
    // any other complaint of the reader: the text is not usable either way.
    if (error) *error = printable(e.what());
    return std::nullopt;
  } catch (const std::exception& e) {
    if (error) *error = printable(e.what());
    return std::nullopt;
  }
}

}  // namespace tessa
