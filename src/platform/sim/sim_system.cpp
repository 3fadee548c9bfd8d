#include "platform/sim/sim_system.h"

#include <algorithm>

#include <fmt/format.h>

namespace tessa {

// ---------------------------------------------------------------- HID

SimHid::Keyboard SimHid::plainKeyboard(std::string product) {
  Keyboard k;
  k.info.product = std::move(product);
  k.info.usagePage = 1;
  k.info.usage = 6;
  k.info.transport = "USB";
  k.info.lightElements = 1;
  return k;
}

SimHid::SimHid() { setKeyboardCount(1); }

void SimHid::setKeyboardCount(int n) { keyboards_.assign(static_cast<size_t>(std::max(n, 0)), plainKeyboard()); }

std::optional<bool> SimHid::capsLockState() {
  if (!servicePresent_ || !readable_) return std::nullopt;
  return caps_;
}

CapsLockSetResult SimHid::setCapsLockState(bool on) {
  if (!servicePresent_) return CapsLockSetResult::noService;
  calls_.push_back(on ? "set caps on" : "set caps off");
  if (!readable_) return CapsLockSetResult::failed;
  caps_ = on;
  return CapsLockSetResult::done;
}

std::optional<std::vector<HidKeyboard>> SimHid::openKeyboards() {
  calls_.push_back(fmt::format("open {}", keyboards_.size()));
  if (!deviceListAvailable_) return std::nullopt;
  std::vector<HidKeyboard> out;
  held_.clear();
  for (size_t i = 0; i < keyboards_.size(); ++i) {
    HidKeyboard k = keyboards_[i].info;
    if (k.openStatus == 0)
      held_.push_back(i);
    else
      k.lightElements = 0;
    out.push_back(k);
  }
  return out;
}

SimHid::Keyboard* SimHid::held(size_t index) { return index < held_.size() ? &keyboards_[held_[index]] : nullptr; }

HidStatus SimHid::setLightElement(size_t keyboard, size_t element, bool on) {
  calls_.push_back(on ? "light on" : "light off");
  Keyboard* k = held(keyboard);
  if (!k || element >= static_cast<size_t>(k->info.lightElements)) return static_cast<HidStatus>(0xE00002C2);
  if (k->writeStatus != 0) return k->writeStatus;
  if (k->acceptsWrites) elementValues_[{held_[keyboard], element}] = on ? 1 : 0;
  light_ = on;
  return 0;
}

HidStatus SimHid::sendLightReport(size_t keyboard, bool on) {
  calls_.push_back(on ? "report on" : "report off");
  Keyboard* k = held(keyboard);
  if (!k) return static_cast<HidStatus>(0xE00002C2);
  if (k->reportStatus != 0) return k->reportStatus;
  light_ = on;
  return 0;
}

HidValueRead SimHid::readLightElement(size_t keyboard, size_t element) {
  Keyboard* k = held(keyboard);
  if (!k || element >= static_cast<size_t>(k->info.lightElements)) return {static_cast<HidStatus>(0xE00002C2), {}};
  if (k->readStatus != 0) return {k->readStatus, {}};
  auto it = elementValues_.find({held_[keyboard], element});
  return {0, it == elementValues_.end() ? 0 : it->second};
}

void SimHid::closeKeyboards() {
  calls_.push_back("close");
  held_.clear();
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
