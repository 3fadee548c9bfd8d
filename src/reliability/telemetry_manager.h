#pragma once
// The sender of anonymous usage statistics. One builder makes the payload for
// both the send and the preview the user inspects before consenting, so what
// is shown is byte for byte what is posted. The payload holds aggregate
// counters only: no typed text, no settings, no paths.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tessa {

class Clock;
class HttpClient;
class UserDefaults;

// The aggregate counters a payload carries.
struct TelemetryCounters {
  double usageSeconds = 0;
  double activeTypingSeconds = 0;
  int64_t corrections = 0;
  int64_t correctionsTH = 0;
  int64_t correctionsEN = 0;
  int64_t correctionsLO = 0;
  int64_t keystrokesSaved = 0;
  int64_t undos = 0;
  int64_t watchdogRecoveries = 0;
  int64_t streakDays = 0;
  int64_t inputStalls = 0;
  int64_t keystrokesDropped = 0;
};

// What the sender reads and runs on; the engine gives its own
// (telemetryEnvironment, engine/reporting.h). What the pointers name
// lives as long as `owner`.
struct TelemetryEnvironment {
  bool consent = false;  // the user's "share usage" setting
  UserDefaults* defaults = nullptr;
  const Clock* clock = nullptr;
  HttpClient* http = nullptr;
  double uptime = 0;
  std::string osVersion;
  TelemetryCounters counters;
  std::function<void(const std::string&)> log;
  // An answer that arrives after the owner is gone is not recorded.
  std::weak_ptr<void> owner;
};

class TelemetryManager {
 public:
  // [design] The payload's keys, all of them, always present.
  static constexpr std::array<std::string_view, 17> kPayloadKeys{
      "v",
      "anon_id",
      "app_version",
      "os_version",
      "uptime_seconds",
      "active_typing_seconds",
      "corrections",
      "corrections_th",
      "corrections_en",
      "corrections_lo",
      "keystrokes_saved",
      "undos",
      "watchdog_recoveries",
      "streak_days",
      "input_stalls",
      "keystrokes_dropped",
      "sent_day",
  };
  static constexpr int kPayloadVersion = 1;  // [design]

  // Defaults keys of the sender's own state (seconds since 1970 for times).
  static constexpr const char* kLastSuccessKey = "telemetry.lastSuccessAt";  // [ours]
  static constexpr const char* kLastAttemptKey = "telemetry.lastAttemptAt";   // [ours]
  static constexpr const char* kAnonIdKey = "telemetry.anonId";                // [design]
  static constexpr const char* kAnonIdCreatedKey = "telemetry.anonIdCreatedAt";  // [design]

  // [design] when to send again, and how long an anonymous identifier lives.
  static constexpr double kIntervalAfterSuccess = 24 * 3600.0;
  static constexpr double kIntervalAfterFailure = 3600.0;
  static constexpr double kAnonIdLifetime = 30 * 24 * 3600.0;

  static constexpr double kRequestTimeoutSeconds = 30.0;  // [ours]
  // A send whose answer has not come after this long (by uptime) is taken as
  // lost, so that a client that drops an answer cannot stop sending for good.
  static constexpr double kAbandonAfterSeconds = 600.0;  // [ours]

  static TelemetryManager& shared();

  // Posts to the ingest endpoint.
  TelemetryManager();
  // Posts to `ingestURL` (a local server in tests).
  explicit TelemetryManager(std::string ingestURL);
  TelemetryManager(const TelemetryManager&) = delete;
  TelemetryManager& operator=(const TelemetryManager&) = delete;

  // Called every tenth second of usage on the main queue; returns at once.
  // Sends only with the user's consent, when no send is running and the last
  // success is 24 h old (or lies in the future: the clock was set back) and
  // the last attempt 1 h old. The attempt time is written before the request
  // leaves; any 2xx answer records the success.
  void sendIfDue(const TelemetryEnvironment& env);

  // The JSON text a send would post now in `env`. May create or renew the
  // anonymous id, so that the preview and the next send carry the same.
  std::string payloadPreview(const TelemetryEnvironment& env);

  // Whether a send is due now by the stored times alone (consent and the
  // running send are not looked at).
  static bool isDue(const UserDefaults& defaults, double now);

  bool isSendInFlight() const;
  const std::string& ingestURL() const { return ingestURL_; }

 private:
  struct State {
    std::mutex mutex;
    bool inFlight = false;
    double inFlightSince = 0;  // uptime
    uint64_t generation = 0;   // which send the flag belongs to
    bool reportedNoHttp = false;
  };

  static nlohmann::json buildPayload(const TelemetryEnvironment& env);
  static std::string anonymousId(UserDefaults& defaults, double now);

  std::string ingestURL_;
  // Shared with the completion of a running send, which may outlive a
  // manager made for one test.
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

}  // namespace tessa
