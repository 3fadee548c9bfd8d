#pragma once
// Simulated HID lock state, other applications' preference domains, the
// system log and haptics.
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/system_log.h"
#include "platform/haptics.h"
#include "platform/hid.h"
#include "platform/preference_domains.h"

namespace tessa {

class SimHid final : public Hid {
 public:
  // One attached keyboard as the simulation plays it.
  struct Keyboard {
    HidKeyboard info;  // openStatus and lightElements as opening reports them
    HidStatus writeStatus = 0;   // of every light-element write
    HidStatus reportStatus = 0;  // of the fallback report
    HidStatus readStatus = 0;    // of the read-back; non-zero reads no value
    bool acceptsWrites = true;   // false: writes succeed but the element keeps its value
  };
  // A USB keyboard that opens and has one light element.
  static Keyboard plainKeyboard(std::string product = "Sim Keyboard");

  SimHid();
  std::optional<bool> capsLockState() override;
  CapsLockSetResult setCapsLockState(bool on) override;
  std::optional<std::vector<HidKeyboard>> openKeyboards() override;
  HidStatus setLightElement(size_t keyboard, size_t element, bool on) override;
  HidStatus sendLightReport(size_t keyboard, bool on) override;
  HidValueRead readLightElement(size_t keyboard, size_t element) override;
  void closeKeyboards() override;

  // The lock state the keyboard itself toggles and events carry.
  bool capsLock() const { return caps_; }
  void toggleCapsLock() { caps_ = !caps_; }
  // Knobs.
  // The service is there but the connection to it fails: nothing reads or sets.
  void setCapsLockReadable(bool readable) { readable_ = readable; }
  // No HID system service at all.
  void setServicePresent(bool present) { servicePresent_ = present; }
  // `n` plain keyboards.
  void setKeyboardCount(int n);
  void setKeyboards(std::vector<Keyboard> keyboards) { keyboards_ = std::move(keyboards); }
  // The device list cannot be copied.
  void setDeviceListAvailable(bool available) { deviceListAvailable_ = available; }
  // "open 1", "light on", "report off", "close", "set caps on" — in order.
  const std::vector<std::string>& calls() const { return calls_; }
  std::optional<bool> light() const { return light_; }
  bool keyboardsOpen() const { return !held_.empty(); }

 private:
  Keyboard* held(size_t index);

  bool caps_ = false;
  bool readable_ = true;
  bool servicePresent_ = true;
  bool deviceListAvailable_ = true;
  std::vector<Keyboard> keyboards_;
  std::vector<size_t> held_;  // indexes into keyboards_
  std::map<std::pair<size_t, size_t>, int64_t> elementValues_;
  std::optional<bool> light_;
  std::vector<std::string> calls_;
};

// Each domain has the process's view (what copyValue answers and setValue
// changes) and the stored one (what the system reads), which synchronize
// brings level.
class SimPreferenceDomains final : public PreferenceDomains {
 public:
  SimPreferenceDomains();
  std::optional<nlohmann::json> copyValue(const std::string& domain, const std::string& key) override;
  void setValue(const std::string& domain, const std::string& key, const nlohmann::json& value) override;
  bool synchronize(const std::string& domain) override;

  // Writes a stored value as another process would (null removes it); the
  // process sees it at once.
  void setStoredValue(const std::string& domain, const std::string& key, const nlohmann::json& value);
  std::optional<nlohmann::json> storedValue(const std::string& domain, const std::string& key) const;
  void setSynchronizeFails(const std::string& domain, bool fails);
  // Removes every key of a domain.
  void clearDomain(const std::string& domain);
  int synchronizeCount(const std::string& domain) const;
  int writeCount(const std::string& domain) const;

  // The stock symbolic hot keys of a fresh user account: 60 and 61 (previous
  // and next input source, Control+Space and Control+Option+Space) and 64
  // (Command+Space).
  static nlohmann::json defaultSymbolicHotKeys();

 private:
  struct Domain {
    nlohmann::json process = nlohmann::json::object();
    nlohmann::json stored = nlohmann::json::object();
    bool syncFails = false;
    int syncs = 0;
    int writes = 0;
  };
  mutable std::mutex mutex_;
  std::map<std::string, Domain> domains_;
};

class SimSystemLog final : public SystemLog {
 public:
  struct Line {
    std::string subsystem;
    std::string category;
    LogLevel level = LogLevel::info;
    std::string message;
    bool isPrivate = false;
  };
  void write(const std::string& subsystem, const std::string& category, LogLevel level, const std::string& message,
             bool isPrivate) override;
  void console(const std::string& line) override;

  std::vector<Line> lines() const;
  std::vector<std::string> consoleLines() const;
  // Whether any line (of `category`, when given) contains `text`.
  bool contains(const std::string& text, const std::string& category = "") const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<Line> lines_;
  std::vector<std::string> console_;
};

class SimHaptics final : public Haptics {
 public:
  void perform(const std::string& pattern) override;
  bool actuate(int actuationID, float intensity) override;
  void setActuateSucceeds(bool ok) { actuateOk_ = ok; }
  // "perform <pattern>" and "actuate <id> <intensity>", in order.
  const std::vector<std::string>& calls() const { return calls_; }

 private:
  bool actuateOk_ = true;
  std::vector<std::string> calls_;
};

}  // namespace tessa
