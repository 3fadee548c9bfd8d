// The usage timer, the daily streak that forgives a weekend, and the hourly
// typo count behind the fatigue reminder.
#include <ctime>

#include <fmt/format.h>

#include "engine/keyboard_engine.h"
#include "engine/reporting.h"

namespace tessa {

namespace {
struct tm localParts(double wall) {
  time_t t = static_cast<time_t>(wall);
  struct tm parts {};
  localtime_r(&t, &parts);
  return parts;
}

std::string dayKey(const struct tm& p) {
  return fmt::format("{:04}-{:02}-{:02}", p.tm_year + 1900, p.tm_mon + 1, p.tm_mday);
}

// "yyyy-MM-dd" → the calendar day, or none.
std::optional<struct tm> parseDay(const std::string& s) {
  int y, m, d;
  char tail;
  if (s.size() != 10 || std::sscanf(s.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3) return std::nullopt;
  if (m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
  struct tm p {};
  p.tm_year = y - 1900;
  p.tm_mon = m - 1;
  p.tm_mday = d;
  p.tm_hour = 12;  // noon keeps daylight-saving shifts from moving the day
  p.tm_isdst = -1;
  time_t t = mktime(&p);
  if (t == -1) return std::nullopt;
  struct tm check {};
  localtime_r(&t, &check);
  if (check.tm_mday != d || check.tm_mon != m - 1) return std::nullopt;  // e.g. 2025-02-31
  return check;
}

// Whole calendar days from `from` to `to`, counted by dates, not seconds.
long calendarDaysBetween(const struct tm& from, const struct tm& to) {
  auto days = [](const struct tm& p) {
    // days since the civil epoch of the date alone
    int y = p.tm_year + 1900, m = p.tm_mon + 1, d = p.tm_mday;
    y -= m <= 2;
    long era = (y >= 0 ? y : y - 399) / 400;
    long yoe = y - era * 400;
    long doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe;
  };
  return days(to) - days(from);
}
}  // namespace

void KeyboardEngine::updateDailyStreak() {
  auto now = localParts(clock().wallTime());
  std::string today = dayKey(now);
  if (lastActiveStreakDate.get().empty()) {
    lastActiveStreakDate.set(today);
    dailyStreakCount.set(1);
    return;
  }
  if (lastActiveStreakDate.get() == today) return;
  int64_t count = 1;
  if (auto last = parseDay(lastActiveStreakDate.get())) {
    long gap = calendarDaysBetween(*last, now);
    int weekday = now.tm_wday + 1;  // 1 = Sunday … 7 = Saturday
    if (gap == 1) {
      count = dailyStreakCount.get() + 1;
    } else if (gap == 2 || gap == 3) {
      if (weekday == 1 || weekday == 2 || weekday == 7) count = dailyStreakCount.get() + 1;
    }
  }
  dailyStreakCount.set(count);
  lastActiveStreakDate.set(today);
}

namespace {
std::string hourStamp(double wall) {
  auto p = localParts(wall);
  return fmt::format("{}-{}-{}-{}", p.tm_year + 1900, p.tm_mon + 1, p.tm_mday, p.tm_hour);
}
}  // namespace

void KeyboardEngine::recordTypoInCurrentHour() {
  std::string stamp = hourStamp(clock().wallTime());
  if (stamp != flow.typoHourStamp) {
    flow.typoHourStamp = stamp;
    flow.typoCountThisHour = 0;
  }
  flow.typoCountThisHour += 1;
}

int64_t KeyboardEngine::typoCountInCurrentHour() const {
  return hourStamp(clock().wallTime()) == flow.typoHourStamp ? flow.typoCountThisHour : 0;
}

void KeyboardEngine::startUsageTimer() {
  launch.usageTimer.cancel();
  std::weak_ptr<KeyboardEngine> w = weak_from_this();
  // It counts whole seconds of running, so it ticks while nothing else
  // does: one of the three periods kept at rest, with the tap watchdog's and
  // the dead-man check's.
  constexpr double kUsageTickSeconds = 1.0;  // [design]
  launch.usageTimer = mainQueue().postRepeating(kUsageTickSeconds, [w] {
    if (auto e = w.lock()) e->usageTimerTick();
  });
}

void KeyboardEngine::usageTimerTick() {
  totalUsageTime.modify([](double& v) { v += 1.0; });
  if (focus.lastPhysicalKeyEventTime && uptime() - *focus.lastPhysicalKeyEventTime <= 2.0)
    totalActiveTypingTime.set(totalActiveTypingTime.get() + 1.0);
  if (static_cast<int64_t>(totalUsageTime.get()) % 10 == 0) {
    totalUsageTime.persist();
    updateDailyStreak();
    if (env_.telemetry) env_.telemetry->sendIfDue(telemetryEnvironment(*this));
  }
  if (isShareUsageTimeEnabled.get() || !hasSeenShareInvitation.get() || showMilestoneNudge.get()) return;
  int64_t remind = remindLaterCorrectionsThreshold.get();
  int64_t threshold = remind >= 1 ? remind : 50;
  if (remind != 0) {
    if (totalCorrections.get() < threshold) return;
  } else if (totalUsageTime.get() < 3600 && totalKeystrokesSaved.get() < 300 && totalCorrections.get() < 50) {
    return;
  }
  if (!hasSeenMilestoneNudge.get()) asyncOnMainWeak([](KeyboardEngine& e) { e.showMilestoneNudge.set(true); });
}

}  // namespace tessa
