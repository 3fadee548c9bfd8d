#include "engine/endpoints.h"

#include <cstdlib>

namespace tessa {

namespace {
constexpr const char* kApiHost = "api.tessavinor.app";
constexpr const char* kWebHost = "tessavinor.app";

std::string trimmedBase(const char* env, const std::string& fallback) {
  const char* v = std::getenv(env);
  if (!v || !*v) return fallback;
  std::string s(v);
  while (!s.empty() && s.back() == '/') s.pop_back();
  return s;
}
}  // namespace

const std::string& Endpoints::apiBase() {
  static const std::string base = trimmedBase("TESSAVINOR_API_BASE", std::string("https://") + kApiHost);
  return base;
}

const std::string& Endpoints::webBase() {
  static const std::string base = trimmedBase("TESSAVINOR_API_BASE", std::string("https://") + kWebHost);
  return base;
}

const std::string& Endpoints::telemetryIngest() {
  static const std::string u = apiBase() + "/api/telemetry/ingest";
  return u;
}
const std::string& Endpoints::telemetryPublic() {
  static const std::string u = apiBase() + "/api/telemetry/public";
  return u;
}
const std::string& Endpoints::packsManifest() {
  static const std::string u = apiBase() + "/api/packs/manifest";
  return u;
}
const std::string& Endpoints::stabilityReport() {
  static const std::string u = apiBase() + "/v1/stability-report";
  return u;
}
const std::string& Endpoints::downloadPage() {
  static const std::string u = webBase() + "/tessavinor/download/";
  return u;
}
const std::string& Endpoints::privacyPage() {
  static const std::string u = webBase() + "/tessavinor/privacy";
  return u;
}

std::string AppInfo::versionString(const std::string* bundleShortVersion) {
  if (bundleShortVersion) return *bundleShortVersion;
  return "0.1.12";
}

}  // namespace tessa
