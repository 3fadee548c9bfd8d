#include "engine/endpoints.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace tessa
