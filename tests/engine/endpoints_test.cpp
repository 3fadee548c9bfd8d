#include "engine/endpoints.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tessa {
namespace {

TEST(Endpoints, FixedPathsOverOneBase) {
  // The base is https unless TESSAVINOR_API_BASE points elsewhere.
  const std::string base = Endpoints::apiBase();
  EXPECT_EQ(Endpoints::telemetryIngest(), base + "/api/telemetry/ingest");
  EXPECT_EQ(Endpoints::telemetryPublic(), base + "/api/telemetry/public");
  EXPECT_EQ(Endpoints::packsManifest(), base + "/api/packs/manifest");
  EXPECT_EQ(Endpoints::stabilityReport(), base + "/v1/stability-report");
  EXPECT_EQ(Endpoints::downloadPage(), Endpoints::webBase() + "/tessavinor/download/");
  EXPECT_EQ(Endpoints::privacyPage(), Endpoints::webBase() + "/tessavinor/privacy");
  if (!std::getenv("TESSAVINOR_API_BASE")) {
    EXPECT_EQ(base.rfind("https://", 0), 0u);
    for (const auto* u : {&Endpoints::telemetryIngest(), &Endpoints::privacyPage()})
      EXPECT_EQ(u->find('?'), std::string::npos);
  }
  EXPECT_EQ(AppInfo::versionString(), "0.1.12");
  std::string v = "2.0";
  EXPECT_EQ(AppInfo::versionString(&v), "2.0");
}

TEST(Endpoints, TheBaseOverrideTakesHttpsOrHttpToThisMachineOnly) {
  std::vector<std::string> said;
  auto log = [&](const std::string& line) { said.push_back(line); };
  auto take = [&](std::string_view v) { return Endpoints::baseOverride(v, log); };

  EXPECT_EQ(take("https://staging.example.org/"), "https://staging.example.org");
  EXPECT_EQ(take("http://127.0.0.1:8080"), "http://127.0.0.1:8080");
  EXPECT_EQ(take("http://LOCALHOST:9000/api//"), "http://LOCALHOST:9000/api");
  EXPECT_EQ(take("http://127.200.3.4"), "http://127.200.3.4");
  EXPECT_EQ(take("http://[::1]:8443"), "http://[::1]:8443");
  EXPECT_TRUE(said.empty());

  for (std::string_view rejected :
       {"http://example.org", "http://10.0.0.5:8080", "http://localhost.example.org", "http://127.0.0.1.evil.org",
        "http://localhost@evil.org", "http://127.0.0.1:80@evil.org", "http://127.0.0.256", "http://[::2]",
        "ftp://127.0.0.1", "file:///etc/passwd", "javascript:alert(1)", "127.0.0.1:8080", "https://",
        "https://host:port", "https://host/?q=1"}) {
    said.clear();
    EXPECT_FALSE(take(rejected)) << rejected;
    ASSERT_EQ(said.size(), 1u) << rejected;
    EXPECT_EQ(said[0].rfind("TESSAVINOR_API_BASE \"" + std::string(rejected) + "\" ignored: ", 0), 0u) << said[0];
  }
}

}  // namespace
}  // namespace tessa
