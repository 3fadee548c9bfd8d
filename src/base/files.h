#pragma once
// File helpers: atomic writes (temp file + fsync + rename), whole-file reads
// with a size cap, and the application's folders.
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

// Writes `data` to a temporary file beside `path` ("<name>.tmp-<pid>-<n>")
// and renames it over `path`. `mode` sets the file's permissions (0600 for
// owner-only files); missing folders above it are made owner-only.
WriteResult writeFileAtomically(const std::filesystem::path& path, std::string_view data, unsigned mode = 0644);
WriteResult writeFileAtomically(const std::filesystem::path& path, const Bytes& data, unsigned mode = 0644);

// Size caps by kind of file. Every file the program reads has one: a file
// that names /dev/zero or a runaway log must not take all memory.
inline constexpr uint64_t kMaxWordFileBytes = 64ull << 20;     // dictionaries, affix files, word lists
inline constexpr uint64_t kMaxSettingsFileBytes = 4ull << 20;  // settings, statistics, manifests

struct ReadFileResult {
  std::optional<std::string> contents;  // none on failure
  bool tooLarge = false;                // refused for passing the cap
  std::string error;                    // names the file; empty on success
  explicit operator bool() const { return contents.has_value(); }
};

// The whole file, read in chunks (pipes and devices too), refused as soon as
// it passes `maxBytes`. Memory is reserved up front only for a regular file
// whose size is known and within the cap.
ReadFileResult readFileWithin(const std::filesystem::path& path, uint64_t maxBytes);
// The same, for callers that only need to know whether it worked.
std::optional<std::string> readFile(const std::filesystem::path& path, uint64_t maxBytes);

// "64 MiB", "512 KiB" or "1000 bytes": a cap as the messages show it.
std::string describeByteCount(uint64_t bytes);

// Moves an unreadable file aside as "<name>.corrupt" (or "<name>.corrupt-N"
// when that exists) and returns the new path; none when the move failed.
std::optional<std::filesystem::path> moveAsideCorrupt(const std::filesystem::path& path);

// Makes `folder` and every missing folder above it with owner-only rights
// (0700); folders that exist keep theirs. False (and `error`) on failure.
bool createPrivateFolders(const std::filesystem::path& folder, std::string* error = nullptr);
// Takes group and other rights off an existing folder of ours; answers its
// old rights (as 0755) when it had to change them, none otherwise.
std::optional<unsigned> makeOwnerOnly(const std::filesystem::path& folder);
// Removes the temporary files of atomic writes that never finished (the
// writer died between writing and renaming) below `folder`, leaving this
// process's own. Only for a process that knows no other writer of these
// files is running (it holds the single-instance lock). Answers how many.
int removeUnfinishedWrites(const std::filesystem::path& folder);

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
