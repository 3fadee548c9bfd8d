#include "platform/sim/sim_system.h"

#include <fmt/format.h>

namespace tessa {

// ---------------------------------------------------------------- HID

std::optional<bool> SimHid::capsLockState() {
  if (!readable_) return std::nullopt;
  return caps_;
}

bool SimHid::setCapsLockState(bool on) {
  calls_.push_back(on ? "set caps on" : "set caps off");
  if (!readable_) return false;
  caps_ = on;
  return true;
}

int SimHid::openKeyboards() {
  open_ = keyboards_ > 0;
  calls_.push_back(fmt::format("open {}", keyboards_));
  return keyboards_;
}

void SimHid::setCapsLockLight(bool on) {
  calls_.push_back(on ? "light on" : "light off");
  if (open_) light_ = on;
}

void SimHid::closeKeyboards() {
  calls_.push_back("close");
  open_ = false;
}

// ---------------------------------------------------------------- Preferences

SimPreferenceDomains::SimPreferenceDomains() {
  setStoredValue("com.apple.symbolichotkeys", "AppleSymbolicHotKeys", defaultSymbolicHotKeys());
}

nlohmann::json SimPreferenceDomains::defaultSymbolicHotKeys() {
  auto entry = [](int key, uint64_t flags) {
    return nlohmann::json{{"enabled", 1},
                          {"value", {{"parameters", {32, key, flags}}, {"type", "standard"}}}};
  };
  return nlohmann::json{{"60", entry(49, 262144)}, {"61", entry(49, 786432)}, {"64", entry(49, 1048576)}};
}

std::optional<nlohmann::json> SimPreferenceDomains::copyValue(const std::string& domain, const std::string& key) {
  std::lock_guard lock(mutex_);
  auto it = domains_.find(domain);
  if (it == domains_.end()) return std::nullopt;
  auto v = it->second.process.find(key);
  if (v == it->second.process.end()) return std::nullopt;
  return *v;
}

void SimPreferenceDomains::setValue(const std::string& domain, const std::string& key, const nlohmann::json& value) {
  std::lock_guard lock(mutex_);
  Domain& d = domains_[domain];
  ++d.writes;
  if (value.is_null())
    d.process.erase(key);
  else
    d.process[key] = value;
}

bool SimPreferenceDomains::synchronize(const std::string& domain) {
  std::lock_guard lock(mutex_);
  Domain& d = domains_[domain];
  ++d.syncs;
  if (d.syncFails) return false;
  d.stored = d.process;
  return true;
}

void SimPreferenceDomains::setStoredValue(const std::string& domain, const std::string& key,
                                          const nlohmann::json& value) {
  std::lock_guard lock(mutex_);
  Domain& d = domains_[domain];
  for (auto* j : {&d.stored, &d.process}) {
    if (value.is_null())
      j->erase(key);
    else
      (*j)[key] = value;
  }
}

std::optional<nlohmann::json> SimPreferenceDomains::storedValue(const std::string& domain,
                                                                const std::string& key) const {
  std::lock_guard lock(mutex_);
  auto it = domains_.find(domain);
  if (it == domains_.end()) return std::nullopt;
  auto v = it->second.stored.find(key);
  if (v == it->second.stored.end()) return std::nullopt;
  return *v;
}

void SimPreferenceDomains::setSynchronizeFails(const std::string& domain, bool fails) {
  std::lock_guard lock(mutex_);
  domains_[domain].syncFails = fails;
}

void SimPreferenceDomains::clearDomain(const std::string& domain) {
  std::lock_guard lock(mutex_);
  Domain& d = domains_[domain];
  d.process = nlohmann::json::object();
  d.stored = nlohmann::json::object();
}

int SimPreferenceDomains::synchronizeCount(const std::string& domain) const {
  std::lock_guard lock(mutex_);
  auto it = domains_.find(domain);
  return it == domains_.end() ? 0 : it->second.syncs;
}

int SimPreferenceDomains::writeCount(const std::string& domain) const {
  std::lock_guard lock(mutex_);
  auto it = domains_.find(domain);
  return it == domains_.end() ? 0 : it->second.writes;
}

// ---------------------------------------------------------------- Log

void SimSystemLog::write(const std::string& subsystem, const std::string& category, LogLevel level,
                         const std::string& message, bool isPrivate) {
  std::lock_guard lock(mutex_);
  lines_.push_back(Line{subsystem, category, level, message, isPrivate});
}

void SimSystemLog::console(const std::string& line) {
  std::lock_guard lock(mutex_);
  console_.push_back(line);
}

std::vector<SimSystemLog::Line> SimSystemLog::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::vector<std::string> SimSystemLog::consoleLines() const {
  std::lock_guard lock(mutex_);
  return console_;
}

bool SimSystemLog::contains(const std::string& text, const std::string& category) const {
  std::lock_guard lock(mutex_);
  for (const auto& l : lines_)
    if ((category.empty() || l.category == category) && l.message.find(text) != std::string::npos) return true;
  return false;
}

void SimSystemLog::clear() {
  std::lock_guard lock(mutex_);
  lines_.clear();
  console_.clear();
}

// ---------------------------------------------------------------- Haptics

void SimHaptics::perform(const std::string& pattern) { calls_.push_back("perform " + pattern); }

bool SimHaptics::actuate(int actuationID, float intensity) {
  calls_.push_back(fmt::format("actuate {} {}", actuationID, intensity));
  return actuateOk_;
}

}  // namespace tessa
