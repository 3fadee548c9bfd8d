#pragma once
// File helpers: atomic writes (temp file + fsync + rename), whole-file reads,
// and the application's folders.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessa {

using Bytes = std::vector<uint8_t>;

struct WriteResult {
  bool ok = false;
  std::string error;  // empty when ok
  explicit operator bool() const { return ok; }
};

// Writes `data` to a temporary file beside `path` and renames it over `path`.
// `mode` sets the file's permissions (0600 for owner-only files).
WriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view data, unsigned mode = 0644);
WriteResult writeFileAtomically(const std::filesystem::path& path, const Bytes& data, unsigned mode = 0644);

// The whole file, or none when it cannot be read. `maxBytes` guards memory.
std::optional<std::string> readFile(const std::filesystem::path& path, uint64_t maxBytes = UINT64_MAX);

// Moves an unreadable file aside as "<name>.corrupt" (or "<name>.corrupt-N"
// when that exists) and returns the new path; none when the move failed.
std::optional<std::filesystem::path> moveAsideCorrupt(const std::filesystem::path& path);

// Folders. The root is $TESSAVINOR_HOME, else $XDG_DATA_HOME, else
// ~/.local/share. Nothing here creates them.
struct Paths {
  static std::filesystem::path root();
  static std::filesystem::path applicationSupport();  // root/Tessavinor
  static std::filesystem::path spellingFolder();      // root/Spelling
  static std::filesystem::path preferencesFolder();   // root/Preferences, or $XDG_CONFIG_HOME/Tessavinor
  static std::filesystem::path defaultsFile(const std::string& domain);
};

}  // namespace tessa
