#include "reliability/stability_report.h"

#include <algorithm>
#include <array>
#include <memory>

#include "base/crypto.h"
#include "base/endpoints.h"
#include "base/files.h"
#include "base/json_reading.h"
#include "base/task_runner.h"
#include "platform/http_client.h"

namespace tessa {

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kMaxJournalBytes = 4ull << 20;  // the journal and its copy rotate at 2 MiB
constexpr uint64_t kMaxAnswerBytes = 64 * 1024;
constexpr const char* kMachineModelFile = "/sys/devices/virtual/dmi/id/product_name";

// Applications a report may name: common desktop programs (by the name of
// their executable, as the workspace reports them), ours, and the other
// platform's system applications the simulated desktop uses. Anything else
// may say something about the user and is sent as "other".
constexpr std::string_view kKnownApplications[] = {
    "alacritty",     "brave",          "brave-browser",    "chrome",         "chromium",       "chromium-browser",
    "code",          "codium",         "discord",          "dolphin",        "emacs",          "evince",
    "firefox",       "firefox-esr",    "foot",             "geany",          "gedit",          "gimp",
    "gnome-terminal-server",           "gnome-text-editor", "google-chrome", "gvim",           "inkscape",
    "kate",          "kitty",          "konsole",          "krita",          "libreoffice",    "mousepad",
    "nautilus",      "obsidian",       "okular",           "opera",          "pluma",          "signal-desktop",
    "slack",         "soffice.bin",    "spotify",          "sublime_text",   "teams",          "telegram-desktop",
    "thunar",        "thunderbird",    "tilix",            "vim",            "vivaldi",        "wezterm-gui",
    "xed",           "xfce4-terminal", "xterm",            "zoom",           "microsoft-edge", "kwrite",
    "gnome-calculator", "org.gnome.Nautilus", "com.Ovrelan.Tessavinor", "Ovrelan.Tessavinor", "ptyxis",
};

std::string trimmed(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  return s;
}

std::string machineModel() {
  auto text = readFile(kMachineModelFile, 4096);
  std::string model = text ? trimmed(*text) : std::string();
  return model.empty() ? "unknown" : model;
}

bool looksLikePath(std::string_view value) {
  return value.find('/') != std::string_view::npos || value.find('\\') != std::string_view::npos ||
         value.starts_with('~');
}

// The lines of `text`, newest last.
std::vector<std::string_view> linesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

StabilityReportError reportError(int code, std::string description) {
  return {StabilityReportError::kDomain, code, std::move(description)};
}

}  // namespace

std::string StabilityReport::reportableApplication(std::string_view bundleID) {
  if (bundleID.empty()) return {};
  if (bundleID.starts_with("com.apple.") && !looksLikePath(bundleID)) return std::string(bundleID);
  for (std::string_view known : kKnownApplications)
    if (known == bundleID) return std::string(bundleID);
  return kOtherApplication;
}

nlohmann::json StabilityReport::journalEvents(std::string_view olderText, std::string_view newerText, size_t limit) {
  std::vector<std::string_view> lines = linesOf(olderText);
  for (auto line : linesOf(newerText)) lines.push_back(line);
  std::vector<nlohmann::json> picked;
  for (auto it = lines.rbegin(); it != lines.rend() && picked.size() < limit; ++it) {
    // The journal is a file on disk like any other: a damaged line is skipped.
    nlohmann::json record = parseJsonWithin(*it).value_or(nullptr);
    if (!record.is_object() || !record.contains("kind") || !record["kind"].is_string()) continue;
    nlohmann::json event = nlohmann::json::object();
    for (const char* key : {"ts", "kind", "critical"})
      if (record.contains(key)) event[key] = record[key];
    nlohmann::json fields = nlohmann::json::object();
    if (record.contains("fields") && record["fields"].is_object()) {
      for (const auto& [name, value] : record["fields"].items()) {
        std::string text = value.is_string() ? value.get<std::string>() : value.dump();
        if (name == "app") {
          text = reportableApplication(text);
        } else if (looksLikePath(text)) {
          text = "(path removed)";
        }
        fields[name] = text;
      }
    }
    event["fields"] = std::move(fields);
    picked.push_back(std::move(event));
  }
  std::reverse(picked.begin(), picked.end());
  return picked;
}

StabilityReport StabilityReport::make(const StabilityReportSource& source, const std::string& note,
                                      const std::string& contact) {
  StabilityReport r;
  r.note = note;
  r.contact = contact;
  r.reportId = crypto::randomUUID();

  r.app = {
      {"version", AppInfo::versionString()},
      {"switcher_key", source.switcherKey},
      {"app_mode", source.appMode},
      {"haptic_enabled", source.hapticEnabled},
      {"smart_correction_enabled", source.smartCorrectionEnabled},
      {"app_language", source.appLanguage},
      {"copywriting_level", source.copywritingLevel},
      {"ax_granted", source.accessibilityGranted},
      {"tap_alive", source.tapAlive},
      {"paused", source.paused},
  };

  r.os = {
      {"version", source.osVersion},
      {"machine_model", machineModel()},
      {"keyboard_layout", source.keyboardLayout},
  };

  // The last 14 calendar days, today included, oldest first.
  std::string firstDay = stabilityDayKeyFor(source.now - (kStatsDays - 1) * 86400.0);
  nlohmann::json stats = nlohmann::json::array();
  for (const StabilityDay& day : source.days) {
    if (day.day < firstDay) continue;
    stats.push_back({{"day", day.day},
                     {"stalls_over_200ms", day.stallsOver200ms},
                     {"longest_stall_ms", day.longestStallMs},
                     {"tap_disabled", day.tapDisabled},
                     {"sleep_cycles", day.sleepCycles},
                     {"launches", day.launches}});
  }
  r.stats = std::move(stats);

  const fs::path& journal = source.journal;
  std::string newer = readFile(journal, kMaxJournalBytes).value_or("");
  std::string older;
  if (linesOf(newer).size() < kMaxEvents)
    older = readFile(fs::path(journal.string() + ".old"), kMaxJournalBytes).value_or("");
  r.events = journalEvents(older, newer, kMaxEvents);
  return r;
}

nlohmann::json StabilityReport::toJson() const {
  nlohmann::json j = nlohmann::json::object();
  j["v"] = v;
  j["app"] = app;
  j["os"] = os;
  j["stats"] = stats;
  j["events"] = events;
  j["note"] = note;
  j["contact"] = contact;
  j["report_id"] = reportId;
  return j;
}

std::optional<std::string> StabilityReport::encoded() const {
  try {
    return toJson().dump();
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

std::string StabilityReport::previewJSON(const StabilityReportSource& source, const std::string& note,
                                         const std::string& contact) {
  try {
    return make(source, note, contact).toJson().dump(2);
  } catch (const nlohmann::json::exception&) {
    return "{}";
  }
}

StabilityReport::Result StabilityReport::resultFor(int status, const std::string& transportError,
                                                   const std::string& body, const std::string& sentReportId) {
  if (!transportError.empty()) return StabilityReportError{StabilityReportError::kTransportDomain, 0, transportError};
  if (status < 100 || status > 599) return reportError(2, kNoValidAnswerText);
  if (status >= 200 && status <= 299) {
    nlohmann::json reply = parseJsonWithin(body).value_or(nullptr);
    if (reply.is_object() && reply.contains("report_id") && reply["report_id"].is_string())
      return reply["report_id"].get<std::string>();
    return sentReportId;
  }
  if (status == 429) return reportError(429, kDailyLimitText);
  if (status == 413) return reportError(413, kTooLargeText);
  return reportError(status, kStatusTextPrefix + std::to_string(status));
}

void StabilityReport::submit(const ReportUploadEnvironment& env, const StabilityReport& report,
                             const std::string& url, std::function<void(Result)> completion) {
  std::weak_ptr<void> weak = env.owner;
  auto finishOnMain = [weak, &env](std::function<void(Result)> done, Result result) {
    env.mainQueue->post([weak, done = std::move(done), result = std::move(result)]() mutable {
      if (weak.lock()) done(std::move(result));
    });
  };
  std::optional<std::string> body = report.encoded();
  if (!body) {
    finishOnMain(std::move(completion), reportError(1, kEncodingFailedText));
    return;
  }
  HttpClient* http = env.http;
  if (!http) {
    if (env.log) env.log("StabilityReport.submit: no HTTP client - nothing sent");
    finishOnMain(std::move(completion), reportError(2, kNoValidAnswerText));
    return;
  }
  HttpRequest request;
  request.method = "POST";
  request.url = url;
  request.headers["Content-Type"] = "application/json";
  request.headers["Content-Length"] = std::to_string(body->size());
  request.body = std::move(*body);
  request.timeoutSeconds = kUploadTimeoutSeconds;
  request.maxResponseBytes = kMaxAnswerBytes;
  // A POST must not be replayed elsewhere as a GET.
  request.followRedirects = false;
  std::string sentId = report.reportId;
  http->send(std::move(request), [weak, sentId, completion = std::move(completion)](HttpResponse response) {
    // The client answers on the main queue.
    if (!weak.lock()) return;
    completion(resultFor(response.status, response.error, response.body, sentId));
  });
}

}  // namespace tessa
