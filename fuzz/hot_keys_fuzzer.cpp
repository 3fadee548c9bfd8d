// The symbolic hot-key file as the application meets it at every start and
// quit: read, entry 61 looked up, the table copied out and written back.
// Any bytes must give a table (possibly empty, the damaged file kept aside)
// and nothing nested past the bounded reader's limit may get through.
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/json_reading.h"
#include "platform/linux/json_preference_domains.h"

namespace {

// One folder for the whole run, removed when the process ends.
struct Folder {
  std::filesystem::path path;
  Folder() {
    char tmpl[] = "/tmp/tessavinor-fuzz-hot-keys-XXXXXX";
    const char* made = ::mkdtemp(tmpl);
    path = made ? made : "/tmp";
  }
  ~Folder() {
    std::error_code ec;
    if (path != "/tmp") std::filesystem::remove_all(path, ec);
  }
};

const std::filesystem::path& folder() {
  static const Folder dir;
  return dir.path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto file = folder() / "symbolic_hot_keys.json";
  std::error_code ec;
  std::filesystem::remove(file.string() + ".corrupt", ec);
  std::ofstream(file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), size);
  tessa::JsonPreferenceDomains store(file);
  (void)store.nextSourceHotKeyIsFnF19();
  const char* domain = "com.apple.symbolichotkeys";
  const char* key = "AppleSymbolicHotKeys";
  auto table = store.copyValue(domain, key);
  if (!table || tessa::jsonValueNestsDeeperThan(*table)) __builtin_trap();
  if (table->is_object())
    if (auto entry = table->find("61"); entry != table->end()) (void)tessa::isEnabledFnF19HotKey(*entry);
  store.setValue(domain, key, *table);
  (void)store.synchronize(domain);
  std::filesystem::remove(file, ec);
  return 0;
}
