#include "reliability/telemetry_manager.h"

#include <cmath>
#include <ctime>
#include <utility>

#include <fmt/format.h>

#include "base/crypto.h"
#include "base/user_defaults.h"
#include "base/endpoints.h"
#include "engine/keyboard_engine.h"

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

nlohmann::json TelemetryManager::buildPayload(KeyboardEngine& engine) {
  double now = engine.clock().wallTime();
  const Platform& platform = engine.platform();
  nlohmann::json p = nlohmann::json::object();
  p["v"] = kPayloadVersion;
  p["anon_id"] = anonymousId(engine.defaults(), now);
  p["app_version"] = AppInfo::versionString();
  p["os_version"] = platform.workspace ? platform.workspace->operatingSystemVersion() : std::string();
  p["uptime_seconds"] = wholeSeconds(engine.totalUsageTime.get());
  p["active_typing_seconds"] = wholeSeconds(engine.totalActiveTypingTime.get());
  p["corrections"] = engine.totalCorrections.get();
  p["corrections_th"] = engine.totalCorrectionsTH.get();
  p["corrections_en"] = engine.totalCorrectionsEN.get();
  p["corrections_lo"] = engine.totalCorrectionsLO.get();
  p["keystrokes_saved"] = engine.totalKeystrokesSaved.get();
  p["undos"] = engine.totalUndos.get();
  p["watchdog_recoveries"] = engine.totalWatchdogRecoveries.get();
  p["streak_days"] = engine.dailyStreakCount.get();
  p["input_stalls"] = engine.statsInputStallCount.get();
  p["keystrokes_dropped"] = engine.statsKeystrokesDropped.get();
  p["sent_day"] = utcDay(now);
  return p;
}

std::string TelemetryManager::payloadPreview(KeyboardEngine& engine) {
  // Keys sorted, two-space indent: the text the inspector shows unchanged.
  return buildPayload(engine).dump(2, ' ', false, nlohmann::json::error_handler_t::replace);
}

bool TelemetryManager::isSendInFlight() const {
  std::lock_guard lock(state_->mutex);
  return state_->inFlight;
}

void TelemetryManager::sendIfDue(KeyboardEngine& engine) {
  if (!engine.isShareUsageTimeEnabled.get()) return;
  double uptime = engine.uptime();
  {
    // One send at a time: the next ten-second call must not start another
    // while a slow one is still out, even when the clock was set back.
    std::lock_guard lock(state_->mutex);
    if (state_->inFlight) {
      double age = uptime - state_->inFlightSince;
      if (age >= 0 && age < kAbandonAfterSeconds) return;
      state_->inFlight = false;
      engine.log("TelemetryManager.sendIfDue: the previous send never answered - given up");
    }
  }
  UserDefaults& defaults = engine.defaults();
  double now = engine.clock().wallTime();
  if (!isDue(defaults, now)) return;
  HttpClient* http = engine.platform().http;
  if (!http) {
    bool first;
    {
      std::lock_guard lock(state_->mutex);
      first = !std::exchange(state_->reportedNoHttp, true);
    }
    if (first) engine.log("TelemetryManager.sendIfDue: no HTTP client - nothing sent");
    return;
  }

  HttpRequest request;
  request.method = "POST";
  request.url = ingestURL_;
  request.headers["Content-Type"] = "application/json";
  request.body = payloadPreview(engine);
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
  std::weak_ptr<KeyboardEngine> weakEngine = engine.weak();
  http->send(std::move(request), [weakState, weakEngine, generation](HttpResponse response) {
    bool success = response.error.empty() && response.status >= 200 && response.status <= 299;
    if (auto e = weakEngine.lock()) {
      if (success) {
        e->defaults().setDouble(kLastSuccessKey, e->clock().wallTime());
        e->log(fmt::format("TelemetryManager.sendIfDue: sent (status {})", response.status));
      } else if (!response.error.empty()) {
        e->log("TelemetryManager.sendIfDue: send failed - " + response.error);
      } else {
        e->log(fmt::format("TelemetryManager.sendIfDue: send failed - status {}", response.status));
      }
    }
    if (auto s = weakState.lock()) {
      std::lock_guard lock(s->mutex);
      if (s->generation == generation) s->inFlight = false;
    }
  });
}

}  // namespace tessa
