#include "reliability/telemetry_manager.h"

#include <cmath>
#include <ctime>
#include <utility>

#include <fmt/format.h>

#include "base/crypto.h"
#include "base/user_defaults.h"
#include "base/endpoints.h"
#include "base/clock.h"
#include "platform/http_client.h"

namespace tessa {

namespace {

constexpr uint64_t kMaxAnswerBytes = 64 * 1024;

bool isUUIDText(const std::string& s) {
  if (s.size() != 36) return false;
  for (size_t i = 0; i < s.size(); ++i) {
    bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    char c = s[i];
    if (dash ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

int64_t wholeSeconds(double seconds) {
  if (!std::isfinite(seconds) || seconds <= 0) return 0;
  return static_cast<int64_t>(seconds);
}

std::string utcDay(double wall) {
  time_t t = static_cast<time_t>(std::floor(wall));
  struct tm parts {};
  gmtime_r(&t, &parts);
  return fmt::format("{:04}-{:02}-{:02}", parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday);
}

}  // namespace

TelemetryManager& TelemetryManager::shared() {
  static TelemetryManager manager;
  return manager;
}

TelemetryManager::TelemetryManager() : TelemetryManager(Endpoints::telemetryIngest()) {}

TelemetryManager::TelemetryManager(std::string ingestURL) : ingestURL_(std::move(ingestURL)) {}

bool TelemetryManager::isDue(const UserDefaults& defaults, double now) {
  // A stored time later than now means the clock was set back; waiting for
  // it would stop sending for as long, so it does not hold a send back.
  auto within = [&](const char* key, double interval) {
    if (!defaults.hasStoredValue(key)) return false;
    double at = defaults.doubleForKey(key);
    return at <= now && now - at < interval;
  };
  return !within(kLastSuccessKey, kIntervalAfterSuccess) && !within(kLastAttemptKey, kIntervalAfterFailure);
}

std::string TelemetryManager::anonymousId(UserDefaults& defaults, double now) {
  std::optional<std::string> id = defaults.stringForKey(kAnonIdKey);
  if (id && isUUIDText(*id) && defaults.hasStoredValue(kAnonIdCreatedKey)) {
    double created = defaults.doubleForKey(kAnonIdCreatedKey);
    // One made "in the future" is renewed too, or a clock set back would
    // stretch its life past the promised 30 days.
    if (created <= now && now - created < kAnonIdLifetime) return *id;
  }
  std::string fresh = crypto::randomUUID();
  defaults.setString(kAnonIdKey, fresh);
  defaults.setDouble(kAnonIdCreatedKey, now);
  return fresh;
}

nlohmann::json TelemetryManager::buildPayload(const TelemetryEnvironment& env) {
  double now = env.clock->wallTime();
  const TelemetryCounters& c = env.counters;
  nlohmann::json p = nlohmann::json::object();
  p["v"] = kPayloadVersion;
  p["anon_id"] = anonymousId(*env.defaults, now);
  p["app_version"] = AppInfo::versionString();
  p["os_version"] = env.osVersion;
  p["uptime_seconds"] = wholeSeconds(c.usageSeconds);
  p["active_typing_seconds"] = wholeSeconds(c.activeTypingSeconds);
  p["corrections"] = c.corrections;
  p["corrections_th"] = c.correctionsTH;
  p["corrections_en"] = c.correctionsEN;
  p["corrections_lo"] = c.correctionsLO;
  p["keystrokes_saved"] = c.keystrokesSaved;
  p["undos"] = c.undos;
  p["watchdog_recoveries"] = c.watchdogRecoveries;
  p["streak_days"] = c.streakDays;
  p["input_stalls"] = c.inputStalls;
  p["keystrokes_dropped"] = c.keystrokesDropped;
  p["sent_day"] = utcDay(now);
  return p;
}

std::string TelemetryManager::payloadPreview(const TelemetryEnvironment& env) {
  // Keys sorted, two-space indent: the text the inspector shows unchanged.
  return buildPayload(env).dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool TelemetryManager::isSendInFlight() const {
  std::lock_guard lock(state_->mutex);
  return state_->inFlight;
}

void TelemetryManager::sendIfDue(const TelemetryEnvironment& env) {
  if (!env.consent) return;
  double uptime = env.uptime;
  {
    // One send at a time: the next ten-second call must not start another
    // while a slow one is still out, even when the clock was set back.
    std::lock_guard lock(state_->mutex);
    if (state_->inFlight) {
      double age = uptime - state_->inFlightSince;
      if (age >= 0 && age < kAbandonAfterSeconds) return;
      state_->inFlight = false;
      if (env.log) env.log("TelemetryManager.sendIfDue: the previous send never answered - given up");
    }
  }
  UserDefaults& defaults = *env.defaults;
  double now = env.clock->wallTime();
  if (!isDue(defaults, now)) return;
  HttpClient* http = env.http;
  if (!http) {
    bool first;
    {
      std::lock_guard lock(state_->mutex);
      first = !std::exchange(state_->reportedNoHttp, true);
    }
    if (first && env.log) env.log("TelemetryManager.sendIfDue: no HTTP client - nothing sent");
    return;
  }

  HttpRequest request;
  request.method = "POST";
  request.url = ingestURL_;
  request.headers["Content-Type"] = "application/json";
  request.body = payloadPreview(env);
  request.timeoutSeconds = kRequestTimeoutSeconds;
  request.maxResponseBytes = kMaxAnswerBytes;
  // A redirect is a failure: a POST must not be replayed elsewhere as a GET.
  request.followRedirects = false;

  uint64_t generation;
  {
    std::lock_guard lock(state_->mutex);
    state_->inFlight = true;
    state_->inFlightSince = uptime;
    generation = ++state_->generation;
  }
  defaults.setDouble(kLastAttemptKey, now);
  std::weak_ptr<State> weakState = state_;
  std::weak_ptr<void> owner = env.owner;
  UserDefaults* answerDefaults = env.defaults;
  const Clock* clock = env.clock;
  std::function<void(const std::string&)> log = env.log;
  if (!log) log = [](const std::string&) {};
  http->send(std::move(request), [weakState, owner, answerDefaults, clock, log, generation](HttpResponse response) {
    bool success = response.error.empty() && response.status >= 200 && response.status <= 299;
    if (owner.lock()) {
      if (success) {
        answerDefaults->setDouble(kLastSuccessKey, clock->wallTime());
        log(fmt::format("TelemetryManager.sendIfDue: sent (status {})", response.status));
      } else if (!response.error.empty()) {
        log("TelemetryManager.sendIfDue: send failed - " + response.error);
      } else {
        log(fmt::format("TelemetryManager.sendIfDue: send failed - status {}", response.status));
      }
    }
    if (auto s = weakState.lock()) {
      std::lock_guard lock(s->mutex);
      if (s->generation == generation) s->inFlight = false;
    }
  });
}

}  // namespace tessa
