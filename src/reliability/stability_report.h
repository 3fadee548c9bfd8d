#pragma once
// The problem report the user sends by hand: what the tap's health looked
// like lately, with an optional note and contact. It holds exactly eight
// fields (v, app, os, stats, events, note, contact, report_id) and never
// typed text, paths, free-form settings (excluded applications, profile
// names, words) or the identifiers of applications this system does not
// know. Every build draws a new report identifier.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "reliability/stability_day.h"
#include "reliability/stability_report_texts.h"

namespace tessa {

class HttpClient;
class TaskRunner;

// What a report reads of the running system; the engine fills it
// (stabilityReportSource, engine/reporting.h).
struct StabilityReportSource {
  // Settings and states, as the report names them.
  std::string switcherKey;
  int appMode = 0;
  bool hapticEnabled = false;
  bool smartCorrectionEnabled = false;
  std::string appLanguage;
  std::string copywritingLevel;
  bool accessibilityGranted = false;
  bool tapAlive = false;
  bool paused = false;
  std::string osVersion;
  std::string keyboardLayout;
  double now = 0;  // wall-clock seconds
  std::vector<StabilityDay> days;
  std::filesystem::path journal;  // the stability journal; its older copy is beside it as ".old"
};

// What sending a report runs on; the engine gives its own
// (reportUploadEnvironment, engine/reporting.h).
struct ReportUploadEnvironment {
  HttpClient* http = nullptr;
  TaskRunner* mainQueue = nullptr;
  std::function<void(const std::string&)> log;
  // The completion runs only while this lives.
  std::weak_ptr<void> owner;
};

struct StabilityReportError {
  static constexpr const char* kDomain = "Tessavinor.StabilityReport";
  static constexpr const char* kTransportDomain = "transport";
  std::string domain;
  int code = 0;             // 1 encoding, 2 no valid answer, else the HTTP status
  std::string description;  // what the sheet shows
};

class StabilityReport {
 public:
  static constexpr int kVersion = 1;
  static constexpr size_t kMaxEvents = 200;
  static constexpr int kStatsDays = 14;
  static constexpr double kUploadTimeoutSeconds = 15.0;
  static constexpr const char* kOtherApplication = "other";
  // Texts of the upload's failures.
  static constexpr const char* kEncodingFailedText = stability_report_texts::kEncodingFailed;
  static constexpr const char* kNoValidAnswerText = stability_report_texts::kNoValidAnswer;
  static constexpr const char* kDailyLimitText = stability_report_texts::kDailyLimit;
  static constexpr const char* kTooLargeText = stability_report_texts::kTooLarge;
  static constexpr const char* kStatusTextPrefix = stability_report_texts::kStatusPrefix;

  int v = kVersion;
  nlohmann::json app = nlohmann::json::object();
  nlohmann::json os = nlohmann::json::object();
  nlohmann::json stats = nlohmann::json::array();
  nlohmann::json events = nlohmann::json::array();
  std::string note;
  std::string contact;
  std::string reportId;

  // A fresh report of the engine's state now: the newest 200 journal events
  // at most, the statistics of the last 14 days, a new identifier. `note`
  // and `contact` go in exactly as typed. Never fails: an unreadable journal
  // gives no events.
  static StabilityReport make(const StabilityReportSource& source, const std::string& note,
                              const std::string& contact);
  // The same build, pretty-printed with sorted keys; "{}" when it cannot be
  // encoded (a note that is not UTF-8, say).
  static std::string previewJSON(const StabilityReportSource& source, const std::string& note,
                                 const std::string& contact);

  // The eight fields as JSON (nlohmann's object keeps its keys sorted).
  nlohmann::json toJson() const;
  // Compact, sorted keys, as uploaded; none when it cannot be encoded.
  std::optional<std::string> encoded() const;

  using Result = std::variant<std::string, StabilityReportError>;  // report id, or why not
  // Posts the report to `url` through the environment's HTTP client.
  // `completion` runs exactly once, on the main queue, unless the owner is
  // gone by then.
  // Any 2xx answer is a success: the answer's "report_id" when it is a JSON
  // object holding a string there, else the report's own identifier.
  static void submit(const ReportUploadEnvironment& env, const StabilityReport& report, const std::string& url,
                     std::function<void(Result)> completion);
  // The outcome of an answer (status 0 with an error: the transport failed).
  static Result resultFor(int status, const std::string& transportError, const std::string& body,
                          const std::string& sentReportId);

  // An application identifier as a report may carry it: the identifiers
  // this system knows stay, an empty one stays empty, any other is "other".
  static std::string reportableApplication(std::string_view bundleID);
  // The newest `limit` journal records of the JSON-lines `text`, oldest
  // first; lines that are not JSON objects are skipped. Identifiers of
  // unknown applications and anything that looks like a path are replaced.
  static nlohmann::json journalEvents(std::string_view olderText, std::string_view newerText, size_t limit);
};

}  // namespace tessa
