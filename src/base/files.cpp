#include "base/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <random>

namespace tessa {

namespace fs = std::filesystem;

namespace {
// [ours] the temporary file of an atomic write: "<name>.tmp-<pid>-<n>". The
// writer's process id tells an unfinished write of a dead process from one
// under way in this one. Older builds wrote "<name>.tmp-<n>".
constexpr std::string_view kTemporaryInfix = ".tmp-";

// The writer's process id of a temporary file's name; 0 for the older form
// without one, none when the name is not a temporary file's.
std::optional<long> temporaryFileWriter(const std::string& name) {
  const size_t at = name.rfind(kTemporaryInfix);
  if (at == std::string::npos || at == 0) return std::nullopt;
  const std::string rest = name.substr(at + kTemporaryInfix.size());
  const size_t dash = rest.find('-');
  auto digits = [](std::string_view s) {
    return !s.empty() && s.size() <= 20 && s.find_first_not_of("0123456789") == std::string_view::npos;
  };
  if (dash == std::string::npos) return digits(rest) ? std::optional<long>(0) : std::nullopt;
  std::string_view pid(rest.data(), dash), n(rest.data() + dash + 1, rest.size() - dash - 1);
  if (!digits(pid) || !digits(n) || pid.size() > 10) return std::nullopt;
  return std::stol(std::string(pid));
}
}  // namespace

WriteResult writeFileAtomically(const fs::path& path, std::string_view data, unsigned mode) {
  if (path.has_parent_path()) createPrivateFolders(path.parent_path());
  static thread_local std::mt19937_64 rng{std::random_device{}()};
  fs::path tmp = path;
  tmp += std::string(kTemporaryInfix) + std::to_string(::getpid()) + "-" + std::to_string(rng() & 0xffffffffu);
  int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (fd < 0) return {false, std::string("open: ") + std::strerror(errno)};
  ::fchmod(fd, mode);  // umask must not widen or narrow what the caller asked for
  const char* p = data.data();
  size_t left = data.size();
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      std::string err = std::string("write: ") + std::strerror(errno);
      ::close(fd);
      ::unlink(tmp.c_str());
      return {false, err};
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    std::string err = std::string("sync: ") + std::strerror(errno);
    ::unlink(tmp.c_str());
    return {false, err};
  }
  if (::rename(tmp.c_str(), path.c_str()) != 0) {
    std::string err = std::string("rename: ") + std::strerror(errno);
    ::unlink(tmp.c_str());
    return {false, err};
  }
  return {true, {}};
}

WriteResult writeFileAtomically(const fs::path& path, const Bytes& data, unsigned mode) {
  return writeFileAtomically(path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), mode);
}

std::string describeByteCount(uint64_t bytes) {
  if (bytes >= (1ull << 20) && bytes % (1ull << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  if (bytes >= (1ull << 10) && bytes % (1ull << 10) == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
}

ReadFileResult readFileWithin(const fs::path& path, uint64_t maxBytes) {
  ReadFileResult result;
  auto failWith = [&](std::string why) {
    result.contents.reset();
    result.error = path.string() + ": " + why;
    return std::move(result);
  };
  auto tooLarge = [&] {
    result.tooLarge = true;
    return failWith("too large, over the " + describeByteCount(maxBytes) + " limit for this kind of file");
  };
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return failWith(std::strerror(errno));
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};

  std::string out;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
    if (static_cast<uint64_t>(st.st_size) > maxBytes) return tooLarge();
    out.reserve(static_cast<size_t>(st.st_size));
  }
  char buf[65536];
  while (true) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return failWith(std::strerror(errno));
    }
    if (n == 0) break;
    if (static_cast<uint64_t>(n) > maxBytes - out.size()) return tooLarge();
    out.append(buf, static_cast<size_t>(n));
  }
  result.contents = std::move(out);
  return result;
}

std::optional<std::string> readFile(const fs::path& path, uint64_t maxBytes) {
  return readFileWithin(path, maxBytes).contents;
}

std::optional<fs::path> moveAsideCorrupt(const fs::path& path) {
  fs::path target = path;
  target += ".corrupt";
  std::error_code ec;
  for (int i = 1; fs::exists(target, ec) && i < 1000; ++i) {
    target = path;
    target += ".corrupt-" + std::to_string(i);
  }
  fs::rename(path, target, ec);
  if (ec) return std::nullopt;
  return target;
}

bool createPrivateFolders(const fs::path& folder, std::string* error) {
  if (folder.empty()) return true;
  std::error_code ec;
  if (fs::is_directory(folder, ec)) return true;
  if (folder.has_parent_path() && folder.parent_path() != folder &&
      !createPrivateFolders(folder.parent_path(), error))
    return false;
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    if (error) *error = folder.string() + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

std::optional<unsigned> makeOwnerOnly(const fs::path& folder) {
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return std::nullopt;
  const unsigned old = st.st_mode & 07777;
  if ((old & 077) == 0) return std::nullopt;
  if (::chmod(folder.c_str(), old & ~077u) != 0) return std::nullopt;
  return old;
}

int removeUnfinishedWrites(const fs::path& folder) {
  const long self = ::getpid();
  int removed = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (!it->is_regular_file(ec)) continue;
    auto writer = temporaryFileWriter(it->path().filename().string());
    if (!writer || *writer == self) continue;
    std::error_code removeError;
    if (fs::remove(it->path(), removeError)) ++removed;
  }
  return removed;
}

namespace {
std::optional<std::string> env(const char* name) {
  const char* v = std::getenv(name);
  if (!v || !*v) return std::nullopt;
  return std::string(v);
}
}  // namespace

fs::path Paths::root() {
  if (auto h = env("TESSAVINOR_HOME")) return *h;
  if (auto x = env("XDG_DATA_HOME")) return *x;
  fs::path home = env("HOME").value_or("/tmp");
  return home / ".local" / "share";
}

fs::path Paths::applicationSupport() { return root() / "Tessavinor"; }
fs::path Paths::spellingFolder() { return root() / "Spelling"; }

fs::path Paths::preferencesFolder() {
  if (auto h = env("TESSAVINOR_HOME")) return fs::path(*h) / "Preferences";
  if (auto x = env("XDG_CONFIG_HOME")) return fs::path(*x) / "Tessavinor";
  fs::path home = env("HOME").value_or("/tmp");
  return home / ".config" / "Tessavinor";
}

fs::path Paths::defaultsFile(const std::string& domain) { return preferencesFolder() / (domain + ".json"); }

}  // namespace tessa
