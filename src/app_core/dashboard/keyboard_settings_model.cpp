#include "app_core/dashboard/keyboard_settings_model.h"

#include <cctype>

#include "app_core/status_item_model.h"
#include "base/user_defaults.h"
#include "engine/system_keyboard.h"
#include "hud/unified_menu_panel.h"
#include "platform/platform.h"

namespace tessa {

namespace {

// As Linux desktops label the keys.
std::string modifierName(SwitcherKey key) { return key == SwitcherKey::optionSpace ? "Alt" : "Ctrl"; }

}  // namespace

const std::vector<HapticIntensityOption>& KeyboardSettingsModel::hapticIntensityOptions() {
  static const std::vector<HapticIntensityOption> options{
      {kIntensityOff, -1}, {kIntensityLight, 1}, {kIntensityMedium, 2}, {kIntensityStrong, 0}};
  return options;
}

size_t KeyboardSettingsModel::intensityIndex(int64_t value) {
  const auto& options = hapticIntensityOptions();
  for (size_t i = 0; i < options.size(); ++i)
    if (options[i].value == value) return i;
  return intensityIndex(kDefaultIntensity);
}

KeyboardSettingsModel::KeyboardSettingsModel(EngineSettings settings, EngineAccessibility accessibility,
                                             EngineContext context, HudNotices hud, LoginItemAccess loginItems)
    : settings_(std::move(settings)),
      accessibility_(std::move(accessibility)),
      context_(std::move(context)),
      hud_(std::move(hud)),
      loginItems_(std::move(loginItems)) {}

std::string KeyboardSettingsModel::text(const std::string& key) const { return settings_.localized(key); }

std::vector<OptionCardOf<SwitcherKey>> KeyboardSettingsModel::switcherCards() const {
  std::vector<OptionCardOf<SwitcherKey>> cards;
  cards.push_back({{text("settings_switcher_capslock"),
                    text("settings_switcher_capslock_desc"),
                    std::nullopt,
                    {kCapsLockPro1, kCapsLockPro2},
                    {kCapsLockCon}},
                   SwitcherKey::capslock});
  cards.push_back({{text("settings_switcher_grave"),
                    text("settings_switcher_grave_desc"),
                    "Windows Style",
                    {kGravePro1, kGravePro2},
                    {kGraveCon}},
                   SwitcherKey::grave});
  cards.push_back({{"Alt + Space",
                    kAltSpaceDescription,
                    std::nullopt,
                    {kAltSpacePro, kSameRoleHoldsFirstKey},
                    {kAltSpaceCon}},
                   SwitcherKey::optionSpace});
  cards.push_back({{"Ctrl + Space",
                    kCtrlSpaceDescription,
                    std::nullopt,
                    {kCtrlSpacePro, kSameRoleHoldsFirstKey},
                    {kCtrlSpaceCon}},
                   SwitcherKey::controlSpace});
  cards.push_back({{"Super + Space",
                    kSuperSpaceDescription,
                    "Windows/PC Style",
                    {kSuperSpacePro, kSameRoleHoldsFirstKey},
                    {kSuperSpaceCon}},
                   SwitcherKey::commandSpace});
  return cards;
}

void KeyboardSettingsModel::selectSwitcherKey(SwitcherKey key) { settings_.switcherKey.set(key); }

std::string KeyboardSettingsModel::switcherTakenWarning() const {
  return tessa::switcherTakenWarning(settings_, context_.platform.events);
}

bool KeyboardSettingsModel::isSpotlightOnCommandSpace(PreferenceDomains* preferences) {
  // The shared reading treats an unreadable entry as bound, which is right
  // where the system keeps the store; elsewhere no search shortcut can be in
  // the way.
  return SymbolicHotKeys::systemKeepsSearchShortcut(preferences) && SymbolicHotKeys::isHotKey64CommandSpace(preferences);
}

bool KeyboardSettingsModel::showsSpotlightWarning() const {
  return settings_.switcherKey.get() == SwitcherKey::commandSpace &&
         isSpotlightOnCommandSpace(context_.platform.preferences);
}

KeyboardSettingsModel::NoteBox KeyboardSettingsModel::noteBox() const {
  switch (settings_.switcherKey.get()) {
    case SwitcherKey::optionSpace:
    case SwitcherKey::controlSpace: return NoteBox::modifierSpace;
    case SwitcherKey::grave: return NoteBox::graveAccent;
    default: return NoteBox::none;
  }
}

std::string KeyboardSettingsModel::noteHeading() const {
  switch (noteBox()) {
    case NoteBox::modifierSpace:
      return kModifierNoteHeadingPrefix + modifierName(settings_.switcherKey.get()) + " + Space";
    case NoteBox::graveAccent: return kGraveNoteHeading;
    case NoteBox::none: break;
  }
  return {};
}

std::vector<std::string> KeyboardSettingsModel::noteLines() const {
  switch (noteBox()) {
    case NoteBox::modifierSpace:
      return {kModifierNoteIntercept, kModifierNoteHold,
              kModifierNoteSpacePrefix + modifierName(settings_.switcherKey.get()) + kModifierNoteSpaceSuffix,
              kModifierNoteCapsLock};
    case NoteBox::graveAccent: {
      std::vector<std::string> lines = {kGraveNoteIntro, kGraveNoteGrave, kGraveNoteTilde};
      // The lines on the switch's vibration only where something can vibrate.
      if (hasHapticDevice()) {
        lines.push_back(kGraveNoteHapticHeading);
        lines.push_back(kGraveNoteHaptic);
      }
      return lines;
    }
    case NoteBox::none: break;
  }
  return {};
}

bool KeyboardSettingsModel::loginToggleValue() const {
  return loginItems_.isEnabled ? loginItems_.isEnabled() : false;
}

bool KeyboardSettingsModel::setLoginItem(bool enabled) {
  if (!loginItems_.isAvailable()) return false;
  if (!loginItems_.setEnabled(enabled)) {
    auto open = [owner = context_.owner, panel = hud_.panel, workspace = context_.platform.workspace] {
      auto alive = owner.lock();
      if (!alive) return;
      if (auto* hud = panel ? panel() : nullptr) hud->dismiss(0.15);
      if (workspace) workspace->openURL(kLoginItemsSettingsURL);
    };
    hud_.show(UnifiedMenuState::DisplayState::actionable(kLoginFailedTitle, kLoginFailedMessage,
                                                         "exclamationmark.triangle.fill", HudColor::orange,
                                                         kLoginFailedButton, std::move(open)),
              3, true, false, false);
  }
  return loginToggleValue();
}

void KeyboardSettingsModel::setCopywritingLevel(CopywritingLevel level) { settings_.appCopywritingLevel.set(level); }

void KeyboardSettingsModel::setHapticFeedbackEnabled(bool enabled) {
  if (!hasHapticDevice()) return;
  settings_.isHapticFeedbackEnabled.set(enabled);
}

bool KeyboardSettingsModel::hasHapticDevice() const {
  return context_.platform.haptics && context_.platform.haptics->hasActuator();
}

bool KeyboardSettingsModel::showsIntensityRows() const { return settings_.isHapticFeedbackEnabled.get(); }

std::optional<int64_t> KeyboardSettingsModel::storedIntensity(const std::string& key) const {
  if (!settings_.defaults.hasStoredValue(key)) return std::nullopt;
  return settings_.defaults.integerForKey(key);
}

int64_t KeyboardSettingsModel::shownIntensity(const std::string& key) const {
  return storedIntensity(key).value_or(kDefaultIntensity);
}

void KeyboardSettingsModel::pickIntensity(const std::string& key, int64_t value) {
  settings_.defaults.setInteger(key, value);
}

bool KeyboardSettingsModel::showsSecurityButton() const { return !accessibility_.isGranted.get(); }

void KeyboardSettingsModel::openSecuritySettings() { consent_.request(); }

bool KeyboardSettingsModel::canOpenURL(const std::string& url) const {
  Workspace* workspace = context_.platform.workspace;
  return workspace && workspace->canOpenURL(url);
}

bool KeyboardSettingsModel::openURL(const std::string& url) {
  // A scheme of letters, digits, '+', '-' or '.', starting with a letter,
  // then something after the colon.
  auto colon = url.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= url.size() || !std::isalpha((unsigned char)url[0]))
    return false;
  for (size_t i = 0; i < colon; ++i) {
    char c = url[i];
    if (!std::isalnum((unsigned char)c) && c != '+' && c != '-' && c != '.') return false;
  }
  for (char c : url)
    if ((unsigned char)c <= 0x20) return false;
  auto* workspace = context_.platform.workspace;
  if (!workspace) return false;
  workspace->openURL(url);
  return true;
}

}  // namespace tessa
