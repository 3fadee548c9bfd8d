#pragma once
// The addresses of the maker's services, and the version text. Every
// endpoint is "https://" + host + a fixed path; TESSAVINOR_API_BASE (for
// example "http://127.0.0.1:8080") points them all at a local server for tests.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

  // The base that a TESSAVINOR_API_BASE value stands for, trailing slashes
  // dropped: an https address, or an http one whose host is this machine
  // (localhost, 127.x.x.x, [::1]). Anything else would send statistics and
  // reports in the clear or to an unchecked host: none, and `log` says why.
  static std::optional<std::string> baseOverride(std::string_view value,
                                                 const std::function<void(const std::string&)>& log);
};

struct AppInfo {
  // The bundle's short version string when it is a string, else "0.1.12".
  static std::string versionString(const std::string* bundleShortVersion = nullptr);
  static std::string version(const std::string* bundleShortVersion = nullptr) {
    return versionString(bundleShortVersion);
  }
};

}  // namespace tessa
