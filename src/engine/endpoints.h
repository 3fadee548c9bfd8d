#pragma once
// The addresses of the maker's services, and the version text. Every
// endpoint is "https://" + host + a fixed path; TESSAVINOR_API_BASE (for
// example "http://127.0.0.1:8080") points them all at a local server for tests.
#include <string>

namespace tessa {

struct Endpoints {
  static const std::string& telemetryIngest();
  static const std::string& telemetryPublic();
  static const std::string& packsManifest();
  static const std::string& stabilityReport();
  static const std::string& downloadPage();
  static const std::string& privacyPage();
  static const std::string& apiBase();
  static const std::string& webBase();
};

struct AppInfo {
  // The bundle's short version string when it is a string, else "0.1.12".
  static std::string versionString(const std::string* bundleShortVersion = nullptr);
  static std::string version(const std::string* bundleShortVersion = nullptr) {
    return versionString(bundleShortVersion);
  }
};

}  // namespace tessa
