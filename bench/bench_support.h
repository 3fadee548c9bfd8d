#pragma once
// What the benchmarks share: a temporary home for the program's files, and
// the clipboard search's other-layout reading.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unordered_map>

#include "platform/keyboard_tables.h"

namespace tessa::bench {

// Points TESSAVINOR_HOME (and, when given, TESSAVINOR_RESOURCES) at fresh
// folders for the life of the object.
struct BenchHome {
  explicit BenchHome(const char* resources = nullptr) {
    char tmpl[] = "/tmp/tessavinor-bench-XXXXXX";
    if (char* dir = ::mkdtemp(tmpl)) path = dir;
    ::setenv("TESSAVINOR_HOME", path.c_str(), 1);
    if (resources) ::setenv("TESSAVINOR_RESOURCES", resources, 1);
  }
  ~BenchHome() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
  std::filesystem::path path;
};

// Each character as typed on the other layout's key, both ways, as the
// application hands the clipboard's search.
inline std::string otherLayout(const std::string& text) {
  static const auto both = [] {
    std::unordered_map<std::string, std::string> m;
    for (const auto& [en, th] : englishToThaiPairs()) {
      m.emplace(std::string(en), std::string(th));
      m.emplace(std::string(th), std::string(en));
    }
    return m;
  }();
  return swapCharacters(text, both);
}

}  // namespace tessa::bench
