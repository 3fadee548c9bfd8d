// The JSON reader every stored and downloaded document goes through: it
// must answer any bytes with a document or none, never throw or abort, and
// every number in what it gives must read through the range-checked
// integer reader without a conversion out of range.
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/json_reading.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  auto doc = tessa::parseJsonWithin(text, &error);
  if (!doc) return 0;
  if (tessa::jsonValueNestsDeeperThan(*doc)) __builtin_trap();  // the reader lets no such document through
  std::vector<const nlohmann::json*> pending{&*doc};
  while (!pending.empty()) {
    const nlohmann::json* v = pending.back();
    pending.pop_back();
    if (v->is_structured()) {
      for (const auto& child : *v) pending.push_back(&child);
      continue;
    }
    (void)tessa::jsonInteger<int64_t>(*v);
    (void)tessa::jsonInteger<uint64_t>(*v);
    (void)tessa::jsonInteger<int>(*v);
    (void)tessa::jsonInteger<uint16_t>(*v);
    (void)tessa::jsonFiniteNumber(*v);
  }
  (void)doc->dump();
  return 0;
}
