#pragma once
// Stand-ins for the platform areas a session offers no back end for (keys,
// input sources, Accessibility, the Caps Lock HID, other programs'
// preferences, haptics). Each answers the way the real platform answers when
// the service is missing or refused, so the engine takes its existing
// failure branches and says so, instead of acting as if something worked.
#include "platform/accessibility.h"
#include "platform/events.h"
#include "platform/input_sources.h"
#include "platform/haptics.h"
#include "platform/hid.h"
#include "platform/preference_domains.h"

namespace tessa {

// No tap can be created and nothing can be posted.
class UnavailableEventSystem final : public EventSystem {
 public:
  TapId createTap(TapLocation, bool, TapOptions, uint64_t, TapCallback) override { return 0; }
  void enableTap(TapId, bool) override {}
  bool isTapEnabled(TapId) const override { return false; }
  void addTapToRunLoop(TapId) override {}
  void removeTapFromRunLoop(TapId) override {}
  void invalidateTap(TapId) override {}
  bool isTapValid(TapId) const override { return false; }
  void post(TapLocation, const Event&) override {}
  bool canPostEvents() const override { return false; }
  uint64_t hardwareModifierFlags() const override { return 0; }
  std::pair<double, double> mouseLocation() const override { return {0, 0}; }
};

// The source list cannot be read and nothing can be selected.
class UnavailableInputSources final : public InputSources {
 public:
  std::optional<std::vector<InputSourceInfo>> enabledSources() const override { return std::nullopt; }
  std::optional<InputSourceInfo> currentKeyboardSource() const override { return std::nullopt; }
  int32_t select(const std::string&) override { return -50; }  // the platform's "bad parameter"
  std::shared_ptr<const KeyLayout> layoutFor(const std::string&) const override { return nullptr; }
  Subscription observeSelectedSourceChanged(std::function<void()>) override { return {}; }
  Subscription observeEnabledSourcesChanged(std::function<void()>) override { return {}; }
  bool isSecureEventInputEnabled() const override { return false; }
};

// Never trusted: every read reports the API as disabled.
class UnavailableAccessibility final : public Accessibility {
 public:
  bool isProcessTrusted(bool) override { return false; }
  AXResult<AXElement> focusedElement(double) override { return refused<AXElement>(); }
  AXResult<AXElement> focusedElementOfApplication(int64_t, double) override { return refused<AXElement>(); }
  AXResult<std::string> role(const AXElement&) override { return refused<std::string>(); }
  AXResult<std::string> subrole(const AXElement&) override { return refused<std::string>(); }
  AXResult<std::string> value(const AXElement&) override { return refused<std::string>(); }
  AXResult<std::string> selectedText(const AXElement&) override { return refused<std::string>(); }
  AXResult<TextRange> selectedTextRange(const AXElement&) override { return refused<TextRange>(); }
  AXResult<std::string> stringForRange(const AXElement&, TextRange) override { return refused<std::string>(); }
  AXResult<Rect> boundsForRange(const AXElement&, TextRange) override { return refused<Rect>(); }
  AXResult<Rect> frame(const AXElement&) override { return refused<Rect>(); }
  Subscription observeTrustListChanged(std::function<void()>) override { return {}; }

 private:
  template <class T>
  static AXResult<T> refused() {
    return AXResult<T>{AXError::apiDisabled, std::nullopt};
  }
};

// No HID service: the lock state cannot be read or set, no keyboard opens.
class UnavailableHid final : public Hid {
 public:
  std::optional<bool> capsLockState() override { return std::nullopt; }
  CapsLockSetResult setCapsLockState(bool) override { return CapsLockSetResult::noService; }
  std::optional<std::vector<HidKeyboard>> openKeyboards() override { return std::nullopt; }
  HidStatus setLightElement(size_t, size_t, bool) override { return kNotAttached; }
  HidStatus sendLightReport(size_t, bool) override { return kNotAttached; }
  HidValueRead readLightElement(size_t, size_t) override { return {kNotAttached, std::nullopt}; }
  void closeKeyboards() override {}

 private:
  static constexpr HidStatus kNotAttached = static_cast<HidStatus>(0xe00002d9);  // "not attached"
};

// Other programs' preference domains do not exist here: nothing is read,
// and a write reports failure at synchronize.
class UnavailablePreferenceDomains final : public PreferenceDomains {
 public:
  std::optional<nlohmann::json> copyValue(const std::string&, const std::string&) override { return std::nullopt; }
  void setValue(const std::string&, const std::string&, const nlohmann::json&) override {}
  bool synchronize(const std::string&) override { return false; }
};

// No actuator: nothing plays.
class NoHaptics final : public Haptics {
 public:
  void perform(const std::string&) override {}
  bool actuate(int, float) override { return false; }
  bool hasActuator() const override { return false; }
};

}  // namespace tessa
