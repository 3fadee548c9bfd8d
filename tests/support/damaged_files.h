#pragma once
// The ways a kept file is found damaged: nested far beyond any stack, a
// number no double holds, cut short, empty, and not UTF-8. Each is built from
// the file's good contents where that matters (cut short, a bad byte inside
// a string), so that the reader gets past its first character.
#include <string>
#include <vector>

namespace tessa::test {

struct DamagedForm {
  std::string name;
  std::string bytes;
};

inline std::vector<DamagedForm> damagedForms(const std::string& good) {
  constexpr size_t kLevels = 100000;  // far past any stack when copied or written recursively
  std::string deep;
  deep.reserve(kLevels * 6);
  for (size_t i = 0; i < kLevels; ++i) deep += "{\"a\":";
  deep += "1" + std::string(kLevels, '}');
  std::string badUtf8 = good;
  const auto quote = badUtf8.find('"');
  badUtf8.insert(quote == std::string::npos ? 0 : quote + 1, "\xff\xfe\xc3");
  return {{"deep", deep},
          {"1e999", "{\"version\": 1e999, \"days\": [1e999], \"items\": [1e999]}"},
          {"truncated", good.substr(0, good.size() / 2)},
          {"empty", ""},
          {"invalid UTF-8", badUtf8}};
}

}  // namespace tessa::test
