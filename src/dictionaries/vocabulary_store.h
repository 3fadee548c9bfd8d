#pragma once
// Downloadable vocabulary packs: word lists for professional fields published
// on the maker's API host and kept as plain word files in the user's spelling
// folder. A check fetches the manifest, downloads every pack whose published
// version is newer than the installed one, records the versions, re-hashes
// each file for the integrity check, has the engine rebuild its ignored-word
// list and lists the packs. Main thread only.
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/observable.h"

namespace tessa {

class TaskRunner;
class UserDefaults;
struct HttpResponse;
struct Platform;

// What the store runs on; the engine gives its own
// (vocabularyStoreEnvironment, engine/vocabulary_packs.h).
struct VocabularyStoreEnvironment {
  UserDefaults* defaults = nullptr;
  const Platform* platform = nullptr;  // its HTTP client, and the integrity hashes
  TaskRunner* mainQueue = nullptr;
  std::function<void(const std::string&)> log;
  // Runs once a check has installed packs: the ignored-word list is rebuilt.
  std::function<void()> packsInstalled;
};

struct VocabularyPack {
  std::string name;
  bool enabled = false;  // named in "enabledLexicons"
  int64_t wordCount = 0;
  bool isDownloaded = false;
  const std::string& id() const { return name; }
  bool operator==(const VocabularyPack&) const = default;
};

class VocabularyStore final : public ObservableObject, public std::enable_shared_from_this<VocabularyStore> {
 public:
  struct PackEntry {
    std::string name;
    std::string url;
    int64_t version = 0;
  };
  struct Manifest {
    int64_t version = 0;
    std::vector<PackEntry> packs;
  };
  struct CatalogueEntry {
    const char* name;
    int64_t wordCount;
  };

  // [design] defaults keys.
  static constexpr const char* lexiconVersionsKey = "lexiconVersions";
  static constexpr const char* enabledLexiconsKey = "enabledLexicons";

  // [ours] the largest download taken, so a hostile server cannot fill the disk.
  static constexpr uint64_t maxManifestBytes = 1ull << 20;
  static constexpr uint64_t maxPackBytes = 64ull << 20;

  // What `env` points at outlives the store. `manifestURL` is the packs manifest.
  static std::shared_ptr<VocabularyStore> create(VocabularyStoreEnvironment env, std::string manifestURL);
  // The file of a pack in the spelling folder.
  static std::string packFileName(const std::string& packName);

  Published<std::vector<std::string>> userWords{*this, {}};
  Published<std::vector<VocabularyPack>> packs{*this, {}};
  Published<std::string> updateStatus{*this, {}};

  // Runs the update check; `done` runs on the main queue when it has ended.
  // A check asked for while one runs waits for it and runs afterwards.
  void checkForUpdates(std::optional<std::string> packName, std::function<void()> done = {});
  bool isChecking() const { return checking_; }
  void loadPacks();
  std::vector<std::string> readWordFile(const std::string& fileName) const;
  std::filesystem::path spellingDirectory() const;

  static const std::vector<CatalogueEntry>& catalogue();
  static const std::set<std::string>& reservedFileNames();
  // A pack name that may become a file name of ours: 1 to 64 characters of
  // A-Z, a-z, 0-9, "_" and "-", and not the stem of one of our own files.
  static bool isSafePackName(std::string_view name);
  static std::optional<Manifest> decodeManifest(std::string_view json);

  // Idle time-out of each request (60 s); tests shorten it.
  double requestTimeout = 60.0;

 private:
  struct Check;
  VocabularyStore(VocabularyStoreEnvironment env, std::string manifestURL);
  void startCheck(std::shared_ptr<Check> check);
  void manifestArrived(std::shared_ptr<Check> check, HttpResponse response);
  void downloadNext(std::shared_ptr<Check> check);
  void packArrived(std::shared_ptr<Check> check, const PackEntry& entry, HttpResponse response);
  void finishCheck(std::shared_ptr<Check> check);
  void endCheck(std::shared_ptr<Check> check);
  std::map<std::string, int64_t> readInstalledVersions() const;
  std::vector<std::string> readEnabledLexicons() const;

  VocabularyStoreEnvironment env_;
  std::string manifestURL_;
  bool checking_ = false;
  std::deque<std::shared_ptr<Check>> waiting_;
};

}  // namespace tessa
