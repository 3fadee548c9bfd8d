#include "dictionaries/vocabulary_store.h"

#include <gtest/gtest.h>

#include <fstream>

#include "base/files.h"
#include "dictionaries/dictionary_integrity.h"
#include "engine/vocabulary_packs.h"
#include "platform/linux/curl_http_client.h"
#include "platform/sim/memory_keychain.h"
#include "support/engine_fixture.h"
#include "support/http_test_server.h"

namespace tessa {
namespace {

namespace fs = std::filesystem;
using test::HttpTestServer;
using test::ScriptedAnswer;
using test::SignallingRunner;

constexpr const char* kUpToDate = "เป็นเวอร์ชันล่าสุดแล้ว";
constexpr const char* kFailedConnection = "อัปเดตไม่สำเร็จ (ตรวจสอบการเชื่อมต่อ)";

std::string packEntry(const std::string& name, const std::string& url, int version) {
  return R"({"name":")" + name + R"(","url":")" + url + R"(","version":)" + std::to_string(version) + "}";
}

class VocabularyStoreTest : public ::testing::Test {
 protected:
  VocabularyStoreTest() : signalling(fx.runner), http(signalling) {
    fx.platform.keychain = &keychain;
    fx.platform.http = &http;
    fx.start();
    store = VocabularyStore::create(vocabularyStoreEnvironment(*fx.engine), server.url("/api/packs/manifest"));
    fs::create_directories(spelling());
  }
  ~VocabularyStoreTest() override { server.stop(); }

  fs::path spelling() const { return Paths::spellingFolder(); }
  void serveManifest(const std::vector<std::string>& entries) {
    std::string json = R"({"version":7,"packs":[)";
    for (size_t i = 0; i < entries.size(); ++i) json += (i ? "," : "") + entries[i];
    server.route("/api/packs/manifest", ScriptedAnswer::ok(json + "]}", "application/json"));
  }
  void check(std::optional<std::string> packName = std::nullopt) {
    bool done = false;
    store->checkForUpdates(std::move(packName), [&] { done = true; });
    ASSERT_TRUE(signalling.pumpUntil([&] { return done; }));
  }
  nlohmann::json versions() const {
    return fx.defaults->object(VocabularyStore::lexiconVersionsKey).value_or(nlohmann::json());
  }
  std::optional<std::string> storedHash(const std::string& file) {
    auto item = keychain.item(DictionaryIntegrity::kService, file);
    if (!item) return std::nullopt;
    return std::string(item->begin(), item->end());
  }
  void writeSpelling(const std::string& name, const std::string& contents) {
    std::ofstream(spelling() / name, std::ios::binary) << contents;
  }
  const VocabularyPack* pack(const std::string& name) const {
    for (const auto& p : store->packs.get())
      if (p.name == name) return &p;
    return nullptr;
  }

  test::EngineFixture fx;
  MemoryKeychain keychain;
  SignallingRunner signalling;
  HttpTestServer server;
  CurlHttpClient http;
  std::shared_ptr<VocabularyStore> store;
};

TEST_F(VocabularyStoreTest, DownloadsNewerPacksRecordsVersionsAndRehashes) {
  fx.defaults->set(VocabularyStore::lexiconVersionsKey, nlohmann::json{{"tech", 2}});
  keychain.add(DictionaryIntegrity::kService, "tessavinor_tech.txt", std::vector<uint8_t>(64, '0'));
  const std::string techBody = "# Tech pack v3\n\n  Kubernetes  \ndocker\nDocker\n";
  server.route("/p/tech.txt", ScriptedAnswer::ok(techBody));
  server.route("/p/law.txt", ScriptedAnswer::ok("contract\ntort\n"));
  server.route("/p/finance.txt", ScriptedAnswer::ok("never fetched\n"));
  serveManifest({packEntry("tech", server.url("/p/tech.txt"), 3), packEntry("law", server.url("/p/law.txt"), 1),
                 packEntry("medical", server.url("/p/missing.txt"), 0),
                 packEntry("finance", server.url("/p/finance.txt"), -1)});
  check();
  EXPECT_EQ(server.requestedPaths(),
            (std::vector<std::string>{"/api/packs/manifest", "/p/tech.txt", "/p/law.txt", "/p/missing.txt"}));
  EXPECT_EQ(versions(), (nlohmann::json{{"law", 1}, {"tech", 3}}));
  EXPECT_EQ(store->updateStatus.get(), "อัปเดต 2 ชุดคำแล้ว");
  EXPECT_EQ(readFile(spelling() / "tessavinor_tech.txt", kMaxWordFileBytes), techBody);
  EXPECT_EQ(storedHash("tessavinor_tech.txt"), "f3c958defc0fcb49b6081e24b9705d81d6d49bb161f6b355a133c8bd40588652");
  EXPECT_TRUE(storedHash("tessavinor_law.txt"));
  EXPECT_FALSE(fx.defaults->object(VocabularyStore::enabledLexiconsKey));

  ASSERT_TRUE(pack("tech") && pack("law") && pack("medical"));
  EXPECT_EQ(pack("tech")->wordCount, 3) << "duplicates are kept";
  EXPECT_TRUE(pack("tech")->isDownloaded);
  EXPECT_EQ(pack("law")->wordCount, 2);
  EXPECT_FALSE(pack("medical")->isDownloaded);
  EXPECT_EQ(pack("medical")->wordCount, 4097);
  EXPECT_EQ(store->packs.get().size(), 12u);

  // Nothing newer: only the manifest, and the versions written again as they were.
  fx.defaults->remove(VocabularyStore::lexiconVersionsKey);
  fx.defaults->set(VocabularyStore::lexiconVersionsKey, nlohmann::json{{"law", 1}, {"tech", 3}});
  check();
  EXPECT_EQ(server.requestCount(), 6u) << "manifest and the still-missing medical pack";
  EXPECT_EQ(store->updateStatus.get(), kFailedConnection) << "medical is newer and still failed";
  server.route("/p/missing.txt", ScriptedAnswer::ok("aspirin\n"));
  check();
  EXPECT_EQ(store->updateStatus.get(), "อัปเดต 1 ชุดคำแล้ว");
  check();
  EXPECT_EQ(server.requestedPaths().back(), "/api/packs/manifest");
  EXPECT_EQ(store->updateStatus.get(), kUpToDate);
  EXPECT_EQ(versions(), (nlohmann::json{{"law", 1}, {"medical", 0}, {"tech", 3}}));
}

TEST_F(VocabularyStoreTest, VersionComparisonAgainstWhatIsInstalled) {
  server.route("/p/a.txt", ScriptedAnswer::ok("a\n"));
  fx.defaults->set(VocabularyStore::lexiconVersionsKey, nlohmann::json{{"tech", 2}});
  serveManifest({packEntry("tech", server.url("/p/a.txt"), 2), packEntry("hr", server.url("/p/a.txt"), -1)});
  check();
  EXPECT_EQ(server.requestCount(), 1u);
  EXPECT_EQ(store->updateStatus.get(), kUpToDate);
  EXPECT_EQ(versions(), (nlohmann::json{{"tech", 2}}));

  // A stored map with a value of another type counts as empty: all again.
  fx.defaults->set(VocabularyStore::lexiconVersionsKey, nlohmann::json{{"tech", 2}, {"hr", "x"}});
  check();
  EXPECT_EQ(server.requestCount(), 3u);
  EXPECT_EQ(versions(), (nlohmann::json{{"tech", 2}}));
}

TEST_F(VocabularyStoreTest, ManifestFailuresChangeNothing) {
  fx.defaults->set(VocabularyStore::lexiconVersionsKey, nlohmann::json{{"tech", 1}});
  struct Case {
    const char* name;
    ScriptedAnswer answer;
    std::string status;
  };
  ScriptedAnswer huge = ScriptedAnswer::ok(R"({"version":1,"packs":[]})");
  huge.declaredContentLength = (1u << 20) + 1;
  std::vector<Case> cases{
      {"503", ScriptedAnswer::withStatus(503), "อัปเดตไม่สำเร็จ (Code: 503)"},
      {"404", ScriptedAnswer::withStatus(404, R"({"version":1,"packs":[]})"), "อัปเดตไม่สำเร็จ (Code: 404)"},
      {"truncated JSON", ScriptedAnswer::ok("{"), kFailedConnection},
      {"entry without url", ScriptedAnswer::ok(R"({"version":1,"packs":[{"name":"tech","version":9}]})"),
       kFailedConnection},
      {"no version", ScriptedAnswer::ok(R"({"packs":[]})"), kFailedConnection},
      {"garbage", ScriptedAnswer::garbage(), kFailedConnection},
      {"nested too deeply",
       ScriptedAnswer::ok(R"({"version":1,"packs":[],"x":)" + std::string(30000, '[') + std::string(30000, ']') + "}"),
       kFailedConnection},
      {"over a mebibyte", huge, kFailedConnection},
      {"stalled", ScriptedAnswer::stall(), kFailedConnection},
  };
  store->requestTimeout = 0.3;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    server.route("/api/packs/manifest", c.answer);
    size_t before = server.requestCount();
    check();
    EXPECT_EQ(store->updateStatus.get(), c.status);
    EXPECT_EQ(server.requestCount(), before + 1) << "no pack requested";
    EXPECT_EQ(versions(), (nlohmann::json{{"tech", 1}}));
    EXPECT_TRUE(store->packs.get().empty()) << "the listing waits for a check that reached the manifest";
  }
  server.stop();
  check();
  EXPECT_EQ(store->updateStatus.get(), kFailedConnection);
}

TEST_F(VocabularyStoreTest, UnsafeNamesAndAddressesAreNeverFetchedOrWritten) {
  writeSpelling("tessavinor_whitelist.txt", "mine\n");
  writeSpelling("tessavinor_common_en.txt", "the\n");
  server.route("/p/evil.txt", ScriptedAnswer::ok("overwritten\n"));
  server.route("/p/to-file", ScriptedAnswer::redirect("file:///etc/hostname"));
  ScriptedAnswer tooBig = ScriptedAnswer::ok("x\n");
  tooBig.declaredContentLength = (64ull << 20) + 1;
  server.route("/p/big.txt", tooBig);
  serveManifest({packEntry("whitelist", server.url("/p/evil.txt"), 1),
                 packEntry("common_en", server.url("/p/evil.txt"), 1), packEntry("../x", server.url("/p/evil.txt"), 1),
                 packEntry("a/b", server.url("/p/evil.txt"), 1), packEntry(std::string(65, 'a'), server.url("/p/evil.txt"), 1),
                 packEntry("", server.url("/p/evil.txt"), 1), packEntry("local", "file:///etc/hostname", 1),
                 packEntry("ftp", "ftp://127.0.0.1/x", 1), packEntry("redirected", server.url("/p/to-file"), 1),
                 packEntry("tech", server.url("/p/big.txt"), 1)});
  check();
  EXPECT_EQ(server.requestedPaths(), (std::vector<std::string>{"/api/packs/manifest", "/p/to-file", "/p/big.txt"}));
  EXPECT_EQ(readFile(spelling() / "tessavinor_whitelist.txt", kMaxWordFileBytes), "mine\n");
  EXPECT_EQ(readFile(spelling() / "tessavinor_common_en.txt", kMaxWordFileBytes), "the\n");
  EXPECT_FALSE(fs::exists(spelling().parent_path() / "x"));
  EXPECT_FALSE(fs::exists(spelling() / "tessavinor_tech.txt"));
  EXPECT_FALSE(fs::exists(spelling() / "tessavinor_redirected.txt"));
  EXPECT_EQ(versions(), nlohmann::json::object());
  EXPECT_EQ(store->updateStatus.get(), kFailedConnection);
  EXPECT_TRUE(VocabularyStore::isSafePackName("lexicon_law"));
  EXPECT_TRUE(VocabularyStore::isSafePackName(std::string(64, 'z')));
  EXPECT_FALSE(VocabularyStore::isSafePackName("common_th"));
  EXPECT_FALSE(VocabularyStore::isSafePackName("law.txt"));
}

TEST_F(VocabularyStoreTest, AFailedWriteRecordsNothingAndAMissingFolderIsMade) {
  server.route("/p/law.txt", ScriptedAnswer::ok("contract\n"));
  serveManifest({packEntry("law", server.url("/p/law.txt"), 1)});
  // A file where the folder should be: no write can succeed, even as root.
  fs::remove_all(spelling());
  std::ofstream(spelling()) << "not a folder";
  check();
  EXPECT_EQ(versions(), nlohmann::json::object());
  EXPECT_FALSE(storedHash("tessavinor_law.txt"));
  EXPECT_EQ(store->updateStatus.get(), kFailedConnection);

  fs::remove(spelling());
  check();
  EXPECT_EQ(readFile(spelling() / "tessavinor_law.txt", kMaxWordFileBytes), "contract\n");
  EXPECT_EQ(versions(), (nlohmann::json{{"law", 1}}));
  EXPECT_EQ(store->updateStatus.get(), "อัปเดต 1 ชุดคำแล้ว");
}

TEST_F(VocabularyStoreTest, ANamedPackIsEnabledWhenItArrives) {
  fx.defaults->set(VocabularyStore::enabledLexiconsKey, nlohmann::json{"hr"});
  server.route("/p/law.txt", ScriptedAnswer::ok("contract\n"));
  serveManifest({packEntry("law", server.url("/p/law.txt"), 1), packEntry("law", server.url("/p/law.txt"), 1)});
  check("law");
  EXPECT_EQ(store->updateStatus.get(), "ดาวน์โหลดและเปิดใช้งานชุดคำแล้ว");
  auto enabled = fx.defaults->stringArrayForKey(VocabularyStore::enabledLexiconsKey).value();
  std::sort(enabled.begin(), enabled.end());
  EXPECT_EQ(enabled, (std::vector<std::string>{"hr", "law"}));
  EXPECT_TRUE(pack("law")->enabled);
  EXPECT_TRUE(pack("hr")->enabled);
  EXPECT_FALSE(pack("tech")->enabled);

  check("media");
  EXPECT_EQ(store->updateStatus.get(), "ดาวน์โหลดชุดคำไม่สำเร็จ (ตรวจสอบการเชื่อมต่อ)");
}

TEST_F(VocabularyStoreTest, DuplicateManifestNamesCountOnce) {
  server.route("/p/law.txt", ScriptedAnswer::ok("contract\n"));
  serveManifest({packEntry("law", server.url("/p/law.txt"), 1), packEntry("law", server.url("/p/law.txt"), 2)});
  check();
  EXPECT_EQ(store->updateStatus.get(), "อัปเดต 1 ชุดคำแล้ว");
  EXPECT_EQ(versions(), (nlohmann::json{{"law", 2}}));
}

TEST_F(VocabularyStoreTest, OverlappingChecksRunOneAfterTheOther) {
  server.route("/p/tech.txt", ScriptedAnswer::ok("docker\n"));
  serveManifest({packEntry("tech", server.url("/p/tech.txt"), 3)});
  int finished = 0;
  store->checkForUpdates(std::nullopt, [&] { ++finished; });
  store->checkForUpdates(std::nullopt, [&] { ++finished; });
  EXPECT_TRUE(store->isChecking());
  ASSERT_TRUE(signalling.pumpUntil([&] { return finished == 2; }));
  // The second check began after the first had recorded tech 3.
  EXPECT_EQ(server.requestedPaths(),
            (std::vector<std::string>{"/api/packs/manifest", "/p/tech.txt", "/api/packs/manifest"}));
  EXPECT_EQ(store->updateStatus.get(), kUpToDate);
  EXPECT_FALSE(store->isChecking());
}

TEST_F(VocabularyStoreTest, ListingOfTheSpellingFolder) {
  store->loadPacks();
  ASSERT_EQ(store->packs.get().size(), 12u);
  for (size_t i = 0; i < 12; ++i) {
    EXPECT_EQ(store->packs.get()[i].name, VocabularyStore::catalogue()[i].name);
    EXPECT_FALSE(store->packs.get()[i].isDownloaded);
    EXPECT_EQ(store->packs.get()[i].wordCount, VocabularyStore::catalogue()[i].wordCount);
  }

  writeSpelling("tessavinor_whitelist.txt", "Foo\nbar\n# x\n");
  writeSpelling("tessavinor_common_en.txt", "the\n");
  writeSpelling("words_th.txt", "ไก่\n");
  writeSpelling("tessavinor_lexicon_law.txt", "# c\n\n  Contract  \ntort\n");
  writeSpelling("tessavinor_zzz.txt", "a\n");
  writeSpelling("tessavinor_bad.txt", "ok\n\xff\xfe\n");
  writeSpelling("other.txt", "x\n");
  store->loadPacks();
  EXPECT_EQ(store->userWords.get(), (std::vector<std::string>{"bar", "foo"}));
  std::vector<std::string> names;
  for (const auto& p : store->packs.get()) names.push_back(p.name);
  EXPECT_EQ(names, (std::vector<std::string>{"tech", "medical", "finance", "law", "marketing", "hr", "media",
                                             "academic", "architecture", "realestate", "logistics", "buddhism", "bad",
                                             "zzz"}));
  EXPECT_EQ(pack("law")->wordCount, 2);
  EXPECT_TRUE(pack("law")->isDownloaded);
  EXPECT_EQ(pack("zzz")->wordCount, 1);
  EXPECT_EQ(pack("bad")->wordCount, 0) << "a file that is not UTF-8 reads as empty";

  // A second file naming the same pack: one entry, from the first name in order.
  writeSpelling("tessavinor_law.txt", "one\r\ntwo\r\nthree\n");
  store->loadPacks();
  EXPECT_EQ(store->packs.get().size(), 14u);
  EXPECT_EQ(pack("law")->wordCount, 3);
}

TEST_F(VocabularyStoreTest, WordFilesSplitOnEveryLineBreakAndTrimOnlySpacesAndTabs) {
  writeSpelling("w.txt", "# comment\n\n  Capital  \nplain\r\nnext\u2028line\tTab\t\n \u00a0x\n");
  EXPECT_EQ(store->readWordFile("w.txt"), (std::vector<std::string>{"capital", "plain", "next", "line\ttab", "x"}));
  EXPECT_TRUE(store->readWordFile("missing.txt").empty());
}

}  // namespace
}  // namespace tessa
