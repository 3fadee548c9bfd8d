#include "engine/endpoints.h"

#include <cstdlib>

#include "engine/app_log.h"

namespace tessa {

namespace {
constexpr const char* kApiHost = "api.tessavinor.app";
constexpr const char* kWebHost = "tessavinor.app";

std::string lowercased(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

bool isDigits(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

// localhost, [::1] and 127.0.0.0/8 written as four decimal parts.
bool isLoopbackHost(std::string_view host) {
  std::string h = lowercased(host);
  if (h == "localhost" || h == "[::1]") return true;
  if (!h.starts_with("127.")) return false;
  int parts = 0;
  size_t start = 0;
  while (true) {
    size_t dot = h.find('.', start);
    std::string_view part = std::string_view(h).substr(start, dot == std::string::npos ? dot : dot - start);
    if (!isDigits(part) || part.size() > 3 || std::stoi(std::string(part)) > 255) return false;
    ++parts;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

std::string chosenBase(const std::string& fallback) {
  const char* v = std::getenv("TESSAVINOR_API_BASE");
  if (!v || !*v) return fallback;
  auto base = Endpoints::baseOverride(v, [](const std::string& why) { AppLog(nullptr, {}).console(why); });
  return base ? *base : fallback;
}
}  // namespace

std::optional<std::string> Endpoints::baseOverride(std::string_view value,
                                                   const std::function<void(const std::string&)>& log) {
  std::string base(value);
  while (!base.empty() && base.back() == '/') base.pop_back();
  auto reject = [&](const std::string& why) -> std::optional<std::string> {
    if (log) log("TESSAVINOR_API_BASE \"" + std::string(value) + "\" ignored: " + why);
    return std::nullopt;
  };
  size_t schemeEnd = base.find("://");
  if (schemeEnd == std::string::npos) return reject("not an http or https address");
  const std::string scheme = lowercased(std::string_view(base).substr(0, schemeEnd));
  if (scheme != "https" && scheme != "http") return reject("only https is accepted (http only for this machine)");
  std::string_view rest = std::string_view(base).substr(schemeEnd + 3);
  if (rest.find_first_of("?#") != std::string_view::npos) return reject("it may hold no query or fragment");
  std::string_view authority = rest.substr(0, rest.find('/'));
  if (authority.find('@') != std::string_view::npos) return reject("it may hold no user name or password");
  std::string_view host = authority;
  std::string_view port;
  if (authority.starts_with('[')) {
    size_t close = authority.find(']');
    if (close == std::string_view::npos) return reject("the host is malformed");
    host = authority.substr(0, close + 1);
    std::string_view after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return reject("the host is malformed");
      port = after.substr(1);
      if (!isDigits(port)) return reject("the port is not a number");
    }
  } else if (size_t colon = authority.find(':'); colon != std::string_view::npos) {
    host = authority.substr(0, colon);
    port = authority.substr(colon + 1);
    if (!isDigits(port)) return reject("the port is not a number");
  }
  if (host.empty()) return reject("it names no host");
  if (scheme == "http" && !isLoopbackHost(host)) return reject("http is accepted only for this machine");
  return base;
}

const std::string& Endpoints::apiBase() {
  static const std::string base = chosenBase(std::string("https://") + kApiHost);
  return base;
}

const std::string& Endpoints::webBase() {
  static const std::string base = chosenBase(std::string("https://") + kWebHost);
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
