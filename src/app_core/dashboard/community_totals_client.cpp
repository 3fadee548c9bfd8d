#include "app_core/dashboard/community_totals_client.h"

#include <cstdio>
#include <optional>

#include <nlohmann/json.hpp>

#include "base/json_reading.h"
#include "platform/services.h"

namespace tessa {

namespace {

using json = nlohmann::json;

// JSON booleans are not counts, and a number with a fraction is not an integer.
std::optional<int64_t> integerAt(const json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_number_integer()) return std::nullopt;
  if (it->is_number_unsigned() && it->get<uint64_t>() > uint64_t(INT64_MAX)) return std::nullopt;
  return it->get<int64_t>();
}

std::optional<double> numberAt(const json& object, const char* key) {
  auto it = object.find(key);
  if (it == object.end() || !it->is_number()) return std::nullopt;
  return it->get<double>();
}

std::string oneDecimal(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.1f", value);
  return buffer;
}

}  // namespace

struct CommunityTotalsClient::Shared {
  Console console;
  uint64_t latest = 0;
  uint64_t ended = 0;
};

CommunityTotalsClient::Reading CommunityTotalsClient::read(std::string_view body) {
  Reading reading;
  std::optional<json> parsed = parseJsonWithin(body);
  if (!parsed || !parsed->is_object()) return reading;
  const json& object = *parsed;

  if (auto visible = object.find("visible"); visible != object.end() && visible->is_boolean() && !visible->get<bool>()) {
    reading.outcome = Reading::Outcome::hidden;
    return reading;
  }
  std::optional<int64_t> users = integerAt(object, "contributors");
  if (!users) users = integerAt(object, "total_users");

  std::optional<double> hours = numberAt(object, "total_usage_hours");
  if (!hours)
    if (auto seconds = integerAt(object, "total_uptime_seconds")) hours = double(*seconds) / 3600.0;

  std::optional<int64_t> corrections = integerAt(object, "total_corrections");
  if (!corrections) corrections = integerAt(object, "total_keystrokes_saved");

  if (!users || !hours || !corrections) return reading;
  reading.outcome = Reading::Outcome::totals;
  reading.totals = CommunityTotals{oneDecimal(*hours), *users, std::to_string(*corrections)};
  return reading;
}

CommunityTotalsClient::CommunityTotalsClient(HttpClient* http, Console console, std::string url)
    : http_(http), url_(std::move(url)), shared_(std::make_shared<Shared>()) {
  shared_->console = std::move(console);
}

CommunityTotalsClient::~CommunityTotalsClient() = default;

uint64_t CommunityTotalsClient::requestsStarted() const { return shared_->latest; }
uint64_t CommunityTotalsClient::requestsEnded() const { return shared_->ended; }

void CommunityTotalsClient::fetch(Apply apply) {
  const uint64_t generation = ++shared_->latest;
  auto fail = [this](const std::string& why) {
    if (shared_->console) shared_->console("Failed to fetch public telemetry: " + why);
  };
  if (!http_) return fail("no network client");
  HttpRequest request;
  request.method = "GET";
  request.url = url_;
  std::weak_ptr<Shared> weak = shared_;
  http_->send(std::move(request), [weak, generation, apply = std::move(apply)](HttpResponse response) {
    auto shared = weak.lock();
    if (!shared) return;
    ++shared->ended;
    auto log = [&](const std::string& why) {
      if (shared->console) shared->console("Failed to fetch public telemetry: " + why);
    };
    if (!response.error.empty()) return log(response.error);
    // An error page that happens to carry the keys is not a set of totals.
    if (response.status < 200 || response.status > 299) return log("HTTP status " + std::to_string(response.status));
    if (generation != shared->latest) return;  // a newer request decides
    if (apply) apply(read(response.body));
  });
}

}  // namespace tessa
