#pragma once
// Other programs' preference domains on Linux, kept by us: on the other
// platform the system keeps the symbolic hot keys, and its own keyboard
// handling honours them; here the X11 back end is that handling, so the
// table it honours is a small JSON file of ours under the application's
// preferences folder. The engine reads and writes it through the same
// calls (record entry 61, bind it to Fn+F19, put the user's back at quit).
//
// The file holds one object per domain. A domain missing from the file
// reads as its defaults: the symbolic hot keys start as an empty table
// (nothing bound). Writes are atomic; a file that does not parse is moved
// aside as ".corrupt" and logged, and the defaults are used.
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "platform/preference_domains.h"

namespace tessa {

class JsonPreferenceDomains final : public PreferenceDomains {
 public:
  using Log = std::function<void(const std::string&)>;
  JsonPreferenceDomains(std::filesystem::path file, Log log = {});

  std::optional<nlohmann::json> copyValue(const std::string& domain, const std::string& key) override;
  void setValue(const std::string& domain, const std::string& key, const nlohmann::json& value) override;
  // Writes the domain's pending changes; with none, reads the file again
  // (another process of ours may have written it). False when the write fails.
  bool synchronize(const std::string& domain) override;

  // Whether the next-input-source hot key (entry 61) is enabled and bound to
  // Fn+F19. Safe from any thread.
  bool nextSourceHotKeyIsFnF19();

  const std::filesystem::path& file() const { return file_; }
  std::optional<std::string> ownHotKeyFile() const override { return file_.string(); }

 private:
  void loadLocked();
  nlohmann::json domainLocked(const std::string& domain) const;

  std::filesystem::path file_;
  Log log_;
  std::mutex mutex_;
  nlohmann::json data_ = nlohmann::json::object();
  bool loaded_ = false, dirty_ = false;
};

// Entry 61's value as the engine writes it: enabled, parameters
// (65535, 80 = F19, 0x800000 = Fn).
bool isEnabledFnF19HotKey(const nlohmann::json& entry);

}  // namespace tessa
