#pragma once
// Writes and reads a file's bytes whole, for tests that lay out word lists,
// dictionaries and stores by hand.
#include <filesystem>
#include <fstream>
#include <string>

#include "base/files.h"

namespace tessa::test {

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string readBytes(const std::filesystem::path& path) {
  return readFile(path, kMaxWordFileBytes).value_or("<unreadable>");
}

}  // namespace tessa::test
