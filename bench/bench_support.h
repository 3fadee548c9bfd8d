#pragma once
// What the benchmarks share: a temporary home for the program's files.
#include <cstdlib>
#include <filesystem>
#include <string>

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

}  // namespace tessa::bench
