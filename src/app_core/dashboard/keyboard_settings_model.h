#pragma once
// The keyboard settings page without any toolkit: its texts, which boxes
// show for the chosen switcher key, the start-at-login toggle, and the two
// haptic strengths, which stay unset until the user picks one. Every setting
// lives in the engine, the defaults or the login-item service; the model
// keeps no state of its own but the open accessibility question, and reads
// everything afresh when asked.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app_core/accessibility_consent.h"
#include "app_core/dashboard/option_card_content.h"
#include "engine/engine_accessibility.h"
#include "engine/engine_context.h"
#include "engine/engine_settings.h"
#include "engine/hud_notice_sink.h"
#include "engine/value_types.h"
#include "engine/setting_table.h"
#include "app_core/dashboard/keyboard_settings_texts.h"

namespace tessa {

class PreferenceDomains;

// Start at login as the page needs it; empty functions mean the desktop has
// no way to start programs at login.
struct LoginItemAccess {
  std::function<bool()> isEnabled;
  // False when the change could not be made.
  std::function<bool(bool enabled)> setEnabled;

  bool isAvailable() const { return isEnabled && setEnabled; }
};

struct HapticIntensityOption {
  std::string label;
  int64_t value;
};

class KeyboardSettingsModel : public KeyboardSettingsTexts {
 public:
  static constexpr const char* kConfirmIntensityKey = setting::hapticIntensityConfirm.key;
  static constexpr const char* kAlertIntensityKey = setting::hapticIntensityAlert.key;
  // What an unset strength shows and plays as.
  static constexpr int64_t kDefaultIntensity = setting::hapticIntensityConfirm.fallback;

  static constexpr const char* kShortcutSettingsURL = "x-apple.systempreferences:com.apple.Keyboard-Settings.extension";
  static constexpr const char* kPerDocumentSettingsURL = "x-apple.systempreferences:com.apple.preference.keyboard";
  static constexpr const char* kLoginItemsSettingsURL =
      "x-apple.systempreferences:com.apple.LoginItems-Settings.extension";

  // "ปิด" −1, "เบา" 1, "ปานกลาง" 2, "แรง" 0, in that order.
  static const std::vector<HapticIntensityOption>& hapticIntensityOptions();
  // The position of `value` among the options; medium for a value not listed.
  static size_t intensityIndex(int64_t value);

  // The settings are the engine's; the security button asks through
  // `accessibility`; a failed start-at-login change is told on the HUD.
  KeyboardSettingsModel(EngineSettings settings, EngineAccessibility accessibility, EngineContext context,
                        HudNotices hud, LoginItemAccess loginItems = {});

  // One card per switcher key, in the page's order.
  std::vector<OptionCardOf<SwitcherKey>> switcherCards() const;
  void selectSwitcherKey(SwitcherKey key);
  // While another program (a window manager's window menu, a desktop
  // shortcut) keeps the chosen key, so that it cannot switch: the warning
  // naming it. Empty otherwise, and where the platform cannot tell.
  std::string switcherTakenWarning() const;

  // Whether the system's search shortcut is still plain Command + Space. A
  // system without that shortcut store has nothing bound to it.
  static bool isSpotlightOnCommandSpace(PreferenceDomains* preferences);
  bool showsSpotlightWarning() const;

  enum class NoteBox { none, modifierSpace, graveAccent };
  NoteBox noteBox() const;
  // The heading and lines of the note box for the chosen key; empty for none.
  std::string noteHeading() const;
  std::vector<std::string> noteLines() const;

  // The start-at-login toggle: what the service reports now.
  bool isLoginItemAvailable() const { return loginItems_.isAvailable(); }
  bool loginToggleValue() const;
  // Turns start at login on or off; on failure shows the notice that leads
  // to the settings. Answers the service's state afterwards.
  bool setLoginItem(bool enabled);

  void setCopywritingLevel(CopywritingLevel level);
  void setHapticFeedbackEnabled(bool enabled);
  bool showsIntensityRows() const;
  // Without a device the haptic choices are shown as stored but cannot be
  // changed, with a short note why.
  bool hasHapticDevice() const;

  // The stored strength, none while the user has never picked one.
  std::optional<int64_t> storedIntensity(const std::string& key) const;
  // What the picker shows: the stored strength, else medium.
  int64_t shownIntensity(const std::string& key) const;
  // The user picked `value`: the only place a strength is written.
  void pickIntensity(const std::string& key, int64_t value);

  bool showsSecurityButton() const;
  // The grant: where it turns the desktop's switch on, the user is asked
  // first (consent().isAsking()).
  void openSecuritySettings();
  AccessibilityConsent& consent() { return consent_; }

  // Opens `url` when it is a well-formed address; answers whether it went to
  // the workspace.
  bool openURL(const std::string& url);
  // Whether `url` names something this system has; a button to it shows only then.
  bool canOpenURL(const std::string& url) const;

  // Looked up in the engine's language and wording level.
  std::string text(const std::string& key) const;
  // The settings the page shows, and their change announcement.
  const EngineSettings& settings() const { return settings_; }

 private:
  EngineSettings settings_;
  EngineAccessibility accessibility_;
  EngineContext context_;
  HudNotices hud_;
  LoginItemAccess loginItems_;
  AccessibilityConsent consent_{settings_, accessibility_, context_};
};

}  // namespace tessa
