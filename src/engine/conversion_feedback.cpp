// What follows a conversion or a committed word: the counters, the haptic
// trampolines, the keystroke timing capture and the fatigue reminder.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "base/files.h"
#include "base/unicode.h"
#include "engine/keyboard_engine.h"
#include "typing/text_units.h"

namespace tessa {

namespace {
void increment(Published<int64_t>& counter, int64_t by = 1) {
  counter.modify([by](int64_t& v) { v += by; });
}

void incrementEntry(Published<std::map<std::string, int64_t>>& counts, const std::string& key) {
  counts.modify([&](std::map<std::string, int64_t>& m) { m[key] += 1; });
}

// Appends one line to an owner-only file, creating it (and its folder) when
// missing and taking back permissions someone widened.
bool appendOwnerOnly(const std::filesystem::path& path, const std::string& line) {
  createPrivateFolders(path.parent_path());
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  ::fchmod(fd, 0600);
  const char* p = line.data();
  size_t left = line.size();
  bool ok = true;
  while (left > 0) {
    ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  ::close(fd);
  return ok;
}
}  // namespace

void KeyboardEngine::recordConversionStats(const std::string& original, const std::string& converted,
                                           const std::string& targetSourceID) {
  // Without us the user deletes the word, switches, and types it again.
  auto saved = static_cast<int64_t>(graphemeClusters(toUtf16(original)).size() + 1 +
                                    codePointCount(toUtf16(converted)));
  increment(totalKeystrokesSaved, saved);
  increment(totalCorrections);
  std::string language = layoutIdentifierInfo(targetSourceID);
  if (language == "th")
    increment(totalCorrectionsTH);
  else if (language == "lo")
    increment(totalCorrectionsLO);
  else if (language == "en")
    increment(totalCorrectionsEN);
  incrementEntry(appTypoCounts, focus.cachedFrontmostBundleID);
  time_t now = static_cast<time_t>(clock().wallTime());
  struct tm parts {};
  localtime_r(&now, &parts);
  incrementEntry(hourlyTypoCounts, fmt::format("{:02}", parts.tm_hour));
  recordTypoInCurrentHour();

  // The fatigue reminder: a burst of corrections within the hour suggests a
  // break, at most once per reminder interval.
  if (isFatigueNotificationEnabled.get() && typoCountInCurrentHour() >= fatigueThreshold() &&
      (!correction.lastFatigueReminderAt || uptime() - *correction.lastFatigueReminderAt >= fatigueNotificationInterval())) {
    correction.lastFatigueReminderAt = uptime();
    log(fmt::format("fatigue reminder: {} corrections this hour - user notifications are not built yet - skipped",
                    typoCountInCurrentHour()));
  }
}

void KeyboardEngine::playCorrectionHaptic(bool repeat) {
  if (!isHapticFeedbackEnabled.get()) return;
  asyncOnMainWeak([repeat](KeyboardEngine& e) { e.performHaptic(repeat); });
}

void KeyboardEngine::playHaptic() {
  if (!isHapticFeedbackEnabled.get()) return;
  asyncOnMainWeak([](KeyboardEngine& e) { e.performSystemHaptic(); });
}

std::filesystem::path KeyboardEngine::keystrokeTimingFileURL() const {
  return Paths::applicationSupport() / "tessavinor_keystroke_timing.jsonl";
}

void KeyboardEngine::captureKeystrokeTiming(const std::vector<KeyStroke>& strokes, bool isUndoPossible) {
  if (!defaults().boolForKey("keystrokeTimingCaptureEnabled")) return;
  if (strokes.size() < 2) return;
  if (!platform().accessibility || !platform().accessibility->isProcessTrusted(false)) return;
  // Timings only: the rhythm of a word, never its keys or its text.
  nlohmann::ordered_json line;
  line["t"] = static_cast<int64_t>(clock().wallTime() * 1000.0);
  line["n"] = strokes.size();
  nlohmann::json gaps = nlohmann::json::array();
  for (size_t i = 1; i < strokes.size(); ++i) gaps.push_back(static_cast<uint32_t>(strokes[i].t - strokes[i - 1].t));
  line["dt"] = std::move(gaps);
  line["undo"] = isUndoPossible;
  std::string text = line.dump() + "\n";
  auto path = keystrokeTimingFileURL();
  std::weak_ptr<KeyboardEngine> weak = this->weak();
  diagnosticsDiskQueue()->post([weak, path, text] {
    if (appendOwnerOnly(path, text)) return;
    if (auto e = weak.lock())
      e->asyncOnMainWeak([path](KeyboardEngine& e) { e.log("captureKeystrokeTiming: could not append to " + path.string()); });
  });
}

}  // namespace tessa
