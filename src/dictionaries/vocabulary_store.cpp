#include "dictionaries/vocabulary_store.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <system_error>

#include <nlohmann/json.hpp>

#include "base/files.h"
#include "base/json_reading.h"
#include "dictionaries/dictionary_integrity.h"
#include "base/unicode.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "platform/http_client.h"
#include "platform/platform.h"
#include "dictionaries/dictionary_texts.h"

namespace tessa {

namespace fs = std::filesystem;

namespace {

using dictionary_texts::kChecking;
using dictionary_texts::kFailedConnection;
using dictionary_texts::kPackEnabled;
using dictionary_texts::kPackFailed;
using dictionary_texts::kUpToDate;

std::string failedWithCode(int status) {
  return dictionary_texts::kFailedWithCodePrefix + std::to_string(status) + dictionary_texts::kFailedWithCodeSuffix;
}
std::string updatedCount(size_t n) {
  return dictionary_texts::kUpdatedCountPrefix + std::to_string(n) + dictionary_texts::kUpdatedCountSuffix;
}

// An integer, or a number with an exact integral value.
std::optional<int64_t> integerValue(const nlohmann::json& v) { return jsonInteger<int64_t>(v); }

// An absolute http or https URL with a host.
bool isDownloadableURL(std::string_view url) {
  std::string lower;
  for (char c : url) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return false;
    lower.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(c))));
  }
  size_t rest;
  if (lower.rfind("https://", 0) == 0)
    rest = 8;
  else if (lower.rfind("http://", 0) == 0)
    rest = 7;
  else
    return false;
  size_t hostEnd = lower.find_first_of("/?#", rest);
  return (hostEnd == std::string::npos ? lower.size() : hostEnd) > rest;
}

}  // namespace

struct VocabularyStore::Check {
  std::optional<std::string> packName;
  std::function<void()> done;
  std::vector<PackEntry> entries;
  size_t next = 0;
  std::map<std::string, int64_t> installed;
  std::map<std::string, int64_t> newVersions;
  std::set<std::string> updatedNames;
  // A newer pack could not be downloaded or written.
  bool anyPackFailed = false;
};

// ------------------------------------------------------------ tables

const std::vector<VocabularyStore::CatalogueEntry>& VocabularyStore::catalogue() {
  static const std::vector<CatalogueEntry> entries{
      {"tech", 5217},         {"medical", 4097},    {"finance", 3179},   {"law", 2491},
      {"marketing", 2258},    {"hr", 1923},         {"media", 2808},     {"academic", 1750},
      {"architecture", 2390}, {"realestate", 1313}, {"logistics", 2434}, {"buddhism", 176444},
  };
  return entries;
}

const std::set<std::string>& VocabularyStore::reservedFileNames() {
  static const std::set<std::string> names{"tessavinor_whitelist.txt", "tessavinor_common_th.txt",
                                           "tessavinor_common_en.txt", "words_th.txt"};
  return names;
}

bool VocabularyStore::isSafePackName(std::string_view name) {
  if (name.empty() || name.size() > 64) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-') return false;
  // A pack must never replace the user's own list or the common lists.
  return !reservedFileNames().count(packFileName(std::string(name)));
}

std::optional<VocabularyStore::Manifest> VocabularyStore::decodeManifest(std::string_view json) {
  std::optional<nlohmann::json> parsed = parseJsonWithin(json);
  if (!parsed || !parsed->is_object()) return std::nullopt;
  const nlohmann::json& root = *parsed;
  auto version = root.find("version");
  auto packs = root.find("packs");
  if (version == root.end() || packs == root.end() || !packs->is_array()) return std::nullopt;
  Manifest m;
  auto v = integerValue(*version);
  if (!v) return std::nullopt;
  m.version = *v;
  for (const auto& p : *packs) {
    if (!p.is_object()) return std::nullopt;
    auto name = p.find("name");
    auto url = p.find("url");
    auto pv = p.find("version");
    if (name == p.end() || !name->is_string() || url == p.end() || !url->is_string() || pv == p.end())
      return std::nullopt;
    auto packVersion = integerValue(*pv);
    if (!packVersion) return std::nullopt;
    m.packs.push_back({name->get<std::string>(), url->get<std::string>(), *packVersion});
  }
  return m;
}

// ------------------------------------------------------------ life cycle

VocabularyStore::VocabularyStore(VocabularyStoreEnvironment env, std::string manifestURL)
    : env_(std::move(env)), manifestURL_(std::move(manifestURL)) {}

std::shared_ptr<VocabularyStore> VocabularyStore::create(VocabularyStoreEnvironment env, std::string manifestURL) {
  return std::shared_ptr<VocabularyStore>(new VocabularyStore(std::move(env), std::move(manifestURL)));
}

std::string VocabularyStore::packFileName(const std::string& packName) { return "tessavinor_" + packName + ".txt"; }

fs::path VocabularyStore::spellingDirectory() const { return Paths::spellingFolder(); }

std::map<std::string, int64_t> VocabularyStore::readInstalledVersions() const {
  std::map<std::string, int64_t> out;
  auto stored = env_.defaults->dictionaryForKey(lexiconVersionsKey);
  if (!stored || !stored->is_object()) return out;
  for (const auto& [name, value] : stored->items()) {
    // One value of another type makes the whole map count as empty.
    auto version = value.is_number_integer() ? jsonInteger<int64_t>(value) : std::nullopt;
    if (!version) return {};
    out[name] = *version;
  }
  return out;
}

std::vector<std::string> VocabularyStore::readEnabledLexicons() const {
  return env_.defaults->stringArrayForKey(enabledLexiconsKey).value_or(std::vector<std::string>{});
}

// ------------------------------------------------------------ the check

void VocabularyStore::checkForUpdates(std::optional<std::string> packName, std::function<void()> done) {
  auto check = std::make_shared<Check>();
  check->packName = std::move(packName);
  check->done = std::move(done);
  if (checking_) {
    // Two checks at once would each start from their own copy of the
    // installed versions, and the later one could undo the earlier.
    waiting_.push_back(std::move(check));
    return;
  }
  startCheck(std::move(check));
}

void VocabularyStore::startCheck(std::shared_ptr<Check> check) {
  checking_ = true;
  updateStatus.set(kChecking);
  HttpRequest request;
  request.url = manifestURL_;
  request.timeoutSeconds = requestTimeout;
  request.maxResponseBytes = maxManifestBytes;
  HttpClient* http = env_.platform->http;
  if (!http) {
    HttpResponse offline;
    offline.error = "no network client";
    std::weak_ptr<VocabularyStore> weak = weak_from_this();
    env_.mainQueue->post([weak, check, offline]() mutable {
      if (auto self = weak.lock()) self->manifestArrived(check, std::move(offline));
    });
    return;
  }
  std::weak_ptr<VocabularyStore> weak = weak_from_this();
  http->send(std::move(request), [weak, check](HttpResponse response) {
    if (auto self = weak.lock()) self->manifestArrived(check, std::move(response));
  });
}

void VocabularyStore::manifestArrived(std::shared_ptr<Check> check, HttpResponse response) {
  if (!response.error.empty() || response.status == 0) {
    updateStatus.set(kFailedConnection);
    endCheck(check);
    return;
  }
  if (response.status != 200) {
    updateStatus.set(failedWithCode(response.status));
    endCheck(check);
    return;
  }
  auto manifest = decodeManifest(response.body);
  if (!manifest) {
    updateStatus.set(kFailedConnection);
    endCheck(check);
    return;
  }
  check->entries = std::move(manifest->packs);
  check->installed = readInstalledVersions();
  check->newVersions = check->installed;
  downloadNext(check);
}

void VocabularyStore::downloadNext(std::shared_ptr<Check> check) {
  while (check->next < check->entries.size()) {
    const PackEntry entry = check->entries[check->next++];
    auto installed = check->installed.find(entry.name);
    int64_t have = installed == check->installed.end() ? -1 : installed->second;
    if (entry.version <= have) continue;
    // A name that is not a plain word could write outside our files.
    if (!isSafePackName(entry.name)) {
      env_.log("checkForUpdates: skipped a pack with an unsafe name");
      continue;
    }
    if (!isDownloadableURL(entry.url)) {
      env_.log("checkForUpdates: skipped pack " + entry.name + " - its address is not an http(s) URL");
      continue;
    }
    HttpClient* http = env_.platform->http;
    if (!http) {
      check->anyPackFailed = true;
      continue;
    }
    HttpRequest request;
    request.url = entry.url;
    request.timeoutSeconds = requestTimeout;
    request.maxResponseBytes = maxPackBytes;
    std::weak_ptr<VocabularyStore> weak = weak_from_this();
    http->send(std::move(request), [weak, check, entry](HttpResponse response) {
      if (auto self = weak.lock()) self->packArrived(check, entry, std::move(response));
    });
    return;
  }
  finishCheck(check);
}

void VocabularyStore::packArrived(std::shared_ptr<Check> check, const PackEntry& entry, HttpResponse response) {
  if (!response.error.empty() || response.status != 200) {
    env_.log("checkForUpdates: pack " + entry.name + " not downloaded - " +
                (response.error.empty() ? "HTTP " + std::to_string(response.status) : response.error));
    check->anyPackFailed = true;
    downloadNext(check);
    return;
  }
  const fs::path folder = spellingDirectory();
  createPrivateFolders(folder);
  const fs::path file = folder / packFileName(entry.name);
  WriteResult written = writeFileAtomically(file, response.body, 0644);
  if (!written) {
    // Not installed: no hash, no version, so the next check tries again.
    env_.log("checkForUpdates: pack " + entry.name + " could not be written - " + written.error);
    check->anyPackFailed = true;
    downloadNext(check);
    return;
  }
  DictionaryIntegrity::storeHash(*env_.platform, file);
  check->newVersions[entry.name] = entry.version;
  check->updatedNames.insert(entry.name);
  downloadNext(check);
}

void VocabularyStore::finishCheck(std::shared_ptr<Check> check) {
  nlohmann::json versions = nlohmann::json::object();
  for (const auto& [name, version] : check->newVersions) versions[name] = version;
  env_.defaults->set(lexiconVersionsKey, versions);

  if (check->packName && check->updatedNames.count(*check->packName)) {
    std::vector<std::string> enabled = readEnabledLexicons();
    if (std::find(enabled.begin(), enabled.end(), *check->packName) == enabled.end())
      enabled.push_back(*check->packName);
    env_.defaults->set(enabledLexiconsKey, nlohmann::json(enabled));
  }

  if (env_.packsInstalled) env_.packsInstalled();
  loadPacks();

  const size_t count = check->updatedNames.size();
  if (check->packName) {
    updateStatus.set(check->updatedNames.count(*check->packName) ? kPackEnabled : kPackFailed);
  } else if (count < 1) {
    // "Up to date" only when nothing newer was left behind.
    updateStatus.set(check->anyPackFailed ? kFailedConnection : kUpToDate);
  } else {
    updateStatus.set(updatedCount(count));
  }
  endCheck(check);
}

void VocabularyStore::endCheck(std::shared_ptr<Check> check) {
  checking_ = false;
  if (check->done) check->done();
  if (!waiting_.empty() && !checking_) {
    auto next = std::move(waiting_.front());
    waiting_.pop_front();
    startCheck(std::move(next));
  }
}

// ------------------------------------------------------------ the listing

std::vector<std::string> VocabularyStore::readWordFile(const std::string& fileName) const {
  std::vector<std::string> words;
  auto contents = readFile(spellingDirectory() / fileName, maxPackBytes);
  if (!contents || !isValidUtf8(*contents)) return words;
  for (const std::string& piece : splitLines(*contents)) {
    std::string word = lowercased(trimWhitespace(piece));
    if (word.empty() || word[0] == '#') continue;
    words.push_back(std::move(word));
  }
  return words;
}

void VocabularyStore::loadPacks() {
  std::vector<std::string> user = readWordFile("tessavinor_whitelist.txt");
  std::sort(user.begin(), user.end());
  userWords.set(std::move(user));

  std::vector<std::string> enabledList = readEnabledLexicons();
  std::set<std::string> enabled(enabledList.begin(), enabledList.end());

  // Sorted, so the listing does not depend on the file system's order.
  std::vector<std::string> fileNames;
  std::error_code ec;
  for (fs::directory_iterator it(spellingDirectory(), ec), end; !ec && it != end; it.increment(ec))
    fileNames.push_back(it->path().filename().string());
  std::sort(fileNames.begin(), fileNames.end());

  const std::string prefix = "tessavinor_", suffix = ".txt";
  std::vector<VocabularyPack> list;
  std::set<std::string> seen;
  for (const auto& fileName : fileNames) {
    if (fileName.size() < prefix.size() + suffix.size() || fileName.rfind(prefix, 0) != 0 ||
        fileName.compare(fileName.size() - suffix.size(), suffix.size(), suffix) != 0 ||
        reservedFileNames().count(fileName))
      continue;
    std::string name = fileName.substr(prefix.size(), fileName.size() - prefix.size() - suffix.size());
    if (name.rfind("lexicon_", 0) == 0) name = name.substr(8);
    // Two files naming one pack: the first stands for it.
    if (!seen.insert(name).second) continue;
    list.push_back({name, enabled.count(name) > 0, static_cast<int64_t>(readWordFile(fileName).size()), true});
  }
  for (const auto& c : catalogue())
    if (!seen.count(c.name)) list.push_back({c.name, enabled.count(c.name) > 0, c.wordCount, false});

  auto position = [](const std::string& name) {
    const auto& cat = catalogue();
    for (size_t i = 0; i < cat.size(); ++i)
      if (name == cat[i].name) return static_cast<int>(i);
    return 999;
  };
  std::stable_sort(list.begin(), list.end(),
                   [&](const VocabularyPack& a, const VocabularyPack& b) { return position(a.name) < position(b.name); });
  packs.set(std::move(list));
}

}  // namespace tessa
