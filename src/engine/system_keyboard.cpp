#include "engine/system_keyboard.h"

#include "base/json_reading.h"

#include <algorithm>

#include <fmt/format.h>

#include "engine/keyboard_engine.h"
#include "engine/hud_notices.h"
#include "l10n/localization.h"
#include "engine/engine_texts.h"

namespace tessa {

namespace sk = system_keyboard;

// ------------------------------------------------------------ constants

namespace system_keyboard {

const std::vector<std::string>& setGlobalArguments() {
  static const std::vector<std::string> a{"property", "--set", kMappingJSON};
  return a;
}
const std::vector<std::string>& setKeyboardsArguments() {
  static const std::vector<std::string> a{"property", "--matching", kKeyboardMatchingJSON, "--set", kMappingJSON};
  return a;
}
const std::vector<std::string>& clearGlobalArguments() {
  static const std::vector<std::string> a{"property", "--set", kEmptyMappingJSON};
  return a;
}
const std::vector<std::string>& clearKeyboardsArguments() {
  static const std::vector<std::string> a{"property", "--matching", kKeyboardMatchingJSON, "--set",
                                          kEmptyMappingJSON};
  return a;
}
const std::vector<std::string>& readBackArguments() {
  static const std::vector<std::string> a{"property", "--get", "UserKeyMapping"};
  return a;
}

nlohmann::json fnF19HotKeyEntry() {
  return {{"enabled", 1}, {"value", {{"parameters", {65535, 80, 8388608}}, {"type", "standard"}}}};
}

namespace {
const nlohmann::json* parametersOf(const nlohmann::json& entry) {
  if (!entry.is_object()) return nullptr;
  auto v = entry.find("value");
  if (v == entry.end() || !v->is_object()) return nullptr;
  auto p = v->find("parameters");
  if (p == v->end() || !p->is_array()) return nullptr;
  return &*p;
}

// A property-list number read as a number: booleans count as 0 or 1.
std::optional<double> asNumber(const nlohmann::json& v) {
  if (v.is_boolean()) return v.get<bool>() ? 1.0 : 0.0;
  if (v.is_number()) return v.get<double>();
  return std::nullopt;
}
}  // namespace

bool isEnabledFnF19Entry(const nlohmann::json& entry) {
  if (!entry.is_object()) return false;
  auto en = entry.find("enabled");
  bool enabled = en != entry.end() && asNumber(*en).value_or(0) != 0;
  if (!enabled) return false;
  const auto* params = parametersOf(entry);
  if (!params || params->size() < 3) return false;
  const double want[3] = {65535, 80, 8388608};
  for (size_t i = 0; i < 3; ++i)
    if (asNumber((*params)[i]) != want[i]) return false;
  return true;
}

bool holdsF19(const nlohmann::json& entry) {
  const auto* params = parametersOf(entry);
  return params && params->size() >= 2 && asNumber((*params)[1]) == 80.0;
}

std::string summarizeMappingOutput(const std::string& output) {
  auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; };
  size_t b = 0, e = output.size();
  while (b < e && isSpace(output[b])) ++b;
  while (e > b && isSpace(output[e - 1])) --e;
  std::string compact;
  for (size_t i = b; i < e; ++i)
    if (output[i] != '\n' && output[i] != ' ') compact.push_back(output[i]);
  if (compact.empty() || compact == "()") return "EMPTY";
  if (compact.find("30064771182") != std::string::npos) return "CapsLock->F19 OK";
  return compact;
}

}  // namespace system_keyboard

// ---------------------------------------------------------- hot key 64

bool SymbolicHotKeys::isHotKey64CommandSpace(PreferenceDomains* preferences) {
  if (!preferences) return true;
  auto all = preferences->copyValue(sk::kSymbolicHotKeysDomain, sk::kSymbolicHotKeysKey);
  if (!all || !all->is_object()) return true;
  auto it = all->find("64");
  if (it == all->end() || !it->is_object()) return true;
  const nlohmann::json& entry = *it;
  auto value = entry.find("value");
  if (value == entry.end() || !value->is_object()) return true;
  auto params = value->find("parameters");
  if (params == value->end() || !params->is_array() || params->size() < 3) return true;
  if (!(*params)[1].is_number() || !(*params)[2].is_number()) return true;
  if (auto en = entry.find("enabled"); en != entry.end()) {
    if (en->is_boolean() && !en->get<bool>()) return false;
    if (en->is_number() && en->get<double>() == 0) return false;
  }
  double keyCode = (*params)[1].get<double>();
  // Modifier flags are a whole number within 64 bits; anything else is not
  // our chord.
  auto mods = jsonInteger<uint64_t>((*params)[2]);
  if (!mods) return false;
  const uint64_t others = flags::fn | flags::option | flags::control | flags::shift;
  return keyCode == 49 && (*mods & flags::command) != 0 && (*mods & others) == 0;
}

bool SymbolicHotKeys::commandSpaceConflicts(SwitcherKey key, PreferenceDomains* preferences) {
  return key == SwitcherKey::commandSpace && isHotKey64CommandSpace(preferences);
}

bool SymbolicHotKeys::systemKeepsSearchShortcut(PreferenceDomains* preferences) {
  return preferences && !preferences->ownHotKeyFile() &&
         preferences->copyValue(sk::kSymbolicHotKeysDomain, sk::kSymbolicHotKeysKey);
}

// ------------------------------------------------------------ applying

namespace {
// [design] the log line's wording.
constexpr const char* kSkippedText = ": skipped (test harness) - would have changed this machine's keyboard system-wide";

// A stored original of hot key 61 that is not a dictionary cannot be put back.
bool hasUnusableHotKey61Record(const UserDefaults& defaults) {
  auto kind = defaults.kind(sk::kOriginalHotKey61Key);
  return kind != UserDefaults::Kind::missing && kind != UserDefaults::Kind::dictionary;
}

// Why a tool run failed, or none when it launched and exited with 0.
std::optional<std::string> toolFailure(const ProcessResult& r) {
  if (!r.launched) return r.launchError.empty() ? std::string("launch failed") : r.launchError;
  if (r.timedOut) return fmt::format("timed out after {:.0f} s - killed", sk::kToolTimeoutSeconds);
  if (r.exitStatus != 0) return fmt::format("exit status {}", r.exitStatus);
  return std::nullopt;
}

ProcessResult runTool(KeyboardEngine& e, const std::string& path, const std::vector<std::string>& args) {
  if (!e.platform().processes) {
    ProcessResult r;
    r.launchError = "no process runner";
    return r;
  }
  return e.platform().processes->run(path, args, sk::kToolTimeoutSeconds);
}
}  // namespace

void KeyboardEngine::applyModeSettings() {
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  auto queue = environment().runtime.settingsQueue;
  SwitcherKey key = switcherKey.get();
  if (key != SwitcherKey::capslock) {
    log("applyModeSettings: switcherKey=" + std::string(displayName(key)) +
        " does not need the F19 remap - CLEARING hidutil mapping");
    if (queue)
      queue->post([weak] {
        auto e = weak.lock();
        if (!e || e->systemKeyboard.isShuttingDown) return;
        e->clearHIDUtilMapping();
      });
    return;
  }
  log("applyModeSettings: switcherKey=" + std::string(displayName(key)) +
      ", mode=" + std::to_string(rawValue(AppMode::capslockToF19)) + " - applying hidutil remap + F19 shortcut");
  if (queue)
    queue->post([weak] {
      auto e = weak.lock();
      if (!e || e->systemKeyboard.isShuttingDown) return;
      e->verifyModeSettings();
    });
}

void KeyboardEngine::verifyModeSettings() {
  // Quit may begin while this runs on the settings queue; what is left is
  // skipped, and the quit's own clear and restore come after it anyway.
  auto stopping = [this] { return systemKeyboard.isShuttingDown.load(); };
  clearHIDUtilMapping();
  if (stopping()) return;
  setHIDUtilMapping();
  if (stopping()) return;
  disablePerDocumentInputSwitching();
  if (stopping()) return;
  bool ok = setupF19SystemShortcut();
  log("applyModeSettings: hidutil readback=" + verifyHIDUtilMapping() + ", systemShortcutOK=" + (ok ? "true" : "false"));
  if (!ok && !defaults().boolForKey(sk::kHintShownKey)) {
    defaults().setBool(sk::kHintShownKey, true);
    asyncOnMainWeak([](KeyboardEngine& e) { e.showF19ShortcutHint(); });
  }
  asyncOnMainWeak([](KeyboardEngine& e) { e.statusMessage.set("Event Tap active. Mode: Option 2"); });
}

namespace {

// The mapping tool run for every keyboard, then for the matching ones; the
// second run is skipped when the first failed.
void runHidutilPair(KeyboardEngine& e, const char* caller, const std::vector<std::string>& global,
                    const std::vector<std::string>& keyboards, const std::string& failed, const std::string& done) {
  if (!e.platform().hasBundleIdentifier) {
    e.appLog().info(std::string(caller) + kSkippedText, LogCategory::keyboard);
    return;
  }
  auto failure = toolFailure(runTool(e, sk::kHidutilPath, global));
  if (!failure) failure = toolFailure(runTool(e, sk::kHidutilPath, keyboards));
  if (failure)
    e.appLog().error(failed + *failure, LogCategory::keyboard);
  else
    e.appLog().info(done, LogCategory::keyboard);
}

}  // namespace

void KeyboardEngine::setHIDUtilMapping() {
  runHidutilPair(*this, "setHIDUtilMapping()", sk::setGlobalArguments(), sk::setKeyboardsArguments(),
                 "Failed to set hidutil mapping: ",
                 "Successfully set hidutil Caps Lock -> F19 mapping (Global & Matching).");
}

void KeyboardEngine::clearHIDUtilMapping() {
  runHidutilPair(*this, "clearHIDUtilMapping()", sk::clearGlobalArguments(), sk::clearKeyboardsArguments(),
                 "Failed to clear hidutil mapping: ",
                 "Successfully cleared hidutil key mapping (Global & Matching).");
}

std::string KeyboardEngine::verifyHIDUtilMapping() {
  // Reading changes nothing, so it runs whatever the system-change flag says.
  ProcessResult r = runTool(*this, sk::kHidutilPath, sk::readBackArguments());
  if (!r.launched) return "read failed: " + (r.launchError.empty() ? std::string("launch failed") : r.launchError);
  if (r.timedOut) return "read failed: timed out";
  return sk::summarizeMappingOutput(r.output);
}

bool KeyboardEngine::setupF19SystemShortcut() {
  if (!platform().hasBundleIdentifier) {
    appLog().info("setupF19SystemShortcut: skipped (test harness) - would have rebound a system keyboard shortcut",
                  LogCategory::keyboard);
    return true;
  }
  auto* prefs = platform().preferences;
  if (!prefs) {
    appLog().error("Failed to read AppleSymbolicHotKeys", LogCategory::keyboard);
    return false;
  }
  prefs->synchronize(sk::kSymbolicHotKeysDomain);
  auto all = prefs->copyValue(sk::kSymbolicHotKeysDomain, sk::kSymbolicHotKeysKey);
  if (!all || !all->is_object()) {
    appLog().error("Failed to read AppleSymbolicHotKeys", LogCategory::keyboard);
    return false;
  }
  std::optional<nlohmann::json> existing;
  if (auto it = all->find("61"); it != all->end() && it->is_object()) existing = *it;
  if (existing && sk::isEnabledFnF19Entry(*existing)) {
    log("setupF19SystemShortcut: HotKey 61 already Fn+F19 and enabled - skipping");
    return true;
  }
  bool wasEnabled = false;
  if (existing) {
    auto en = existing->find("enabled");
    if (en != existing->end()) wasEnabled = en->is_boolean() ? en->get<bool>() : (en->is_number() && en->get<double>() != 0);
  }
  // Record the user's own entry once, before the first rewrite; never one of ours.
  bool droppedRecord = false;
  if (hasUnusableHotKey61Record(defaults())) {
    // A record that cannot be put back is no record: the user's entry is
    // taken again below.
    appLog().error("Recorded original HotKey 61 is not a dictionary - ignoring it and recording the current entry.",
                   LogCategory::keyboard);
    defaults().remove(sk::kOriginalHotKey61Key);
    droppedRecord = true;
  }
  if (defaults().kind(sk::kOriginalHotKey61Key) == UserDefaults::Kind::missing) {
    if (existing) {
      if (sk::holdsF19(*existing)) {
        appLog().info("HotKey 61 currently holds our own F19 binding - not recording it as the original.",
                      LogCategory::keyboard);
        // The user's entry went with the dropped record; quit takes ours
        // away rather than leave the shortcut on Fn+F19.
        if (droppedRecord) defaults().setBool(sk::kOriginalHotKey61AbsentKey, true);
      } else {
        defaults().set(sk::kOriginalHotKey61Key, *existing);
        appLog().info("Saved original HotKey 61 layout: " + existing->dump(), LogCategory::keyboard);
      }
    } else if (!defaults().boolForKey(sk::kOriginalHotKey61AbsentKey)) {
      // Nothing to record, but quit must still take our entry away again.
      defaults().setBool(sk::kOriginalHotKey61AbsentKey, true);
    }
  }
  if (auto& enable = platform().privateSymbols.setSymbolicHotKeyEnabled) {
    enable(61, true);
    appLog().info("CGSSetSymbolicHotKeyEnabled called for HotKey 61 -> true", LogCategory::keyboard);
  }
  (*all)["61"] = sk::fnF19HotKeyEntry();
  prefs->setValue(sk::kSymbolicHotKeysDomain, sk::kSymbolicHotKeysKey, *all);
  if (!prefs->synchronize(sk::kSymbolicHotKeysDomain)) {
    appLog().error("Failed to synchronize com.apple.symbolichotkeys preferences.", LogCategory::keyboard);
    return false;
  }
  log(std::string("setupF19SystemShortcut: rewrote HotKey 61 to Fn+F19 (was ") +
      (wasEnabled ? "enabled but different" : "disabled or absent") + ")");
  appLog().info("Successfully updated system HotKey 61 to F19.", LogCategory::keyboard);
  runActivateSettings();
  return true;
}

void KeyboardEngine::restoreOriginalHotKey61() {
  if (!platform().hasBundleIdentifier || !platform().preferences) return;
  auto recorded = defaults().dictionaryForKey(sk::kOriginalHotKey61Key);
  // With a record that cannot be put back, ours is taken away as if entry 61
  // had not existed: the shortcut must not stay bound to Fn+F19 after quit.
  const bool unusableRecord = hasUnusableHotKey61Record(defaults());
  bool wasAbsent = defaults().boolForKey(sk::kOriginalHotKey61AbsentKey) || unusableRecord;
  if (!recorded && !wasAbsent) return;
  auto* prefs = platform().preferences;
  prefs->synchronize(sk::kSymbolicHotKeysDomain);
  auto all = prefs->copyValue(sk::kSymbolicHotKeysDomain, sk::kSymbolicHotKeysKey);
  if (!all || !all->is_object()) {
    appLog().error("Failed to read AppleSymbolicHotKeys for restore", LogCategory::keyboard);
    return;
  }
  auto current = all->find("61");
  if (!recorded) {
    if (unusableRecord)
      appLog().error("Recorded original HotKey 61 is not a dictionary - removing our binding instead.",
                     LogCategory::keyboard);
    // Entry 61 did not exist before we wrote ours. Take ours away; an entry
    // the user has set since is theirs and stays.
    if (current == all->end() || !current->is_object() || !sk::holdsF19(*current)) {
      defaults().remove(sk::kOriginalHotKey61AbsentKey);
      defaults().remove(sk::kOriginalHotKey61Key);
      appLog().info("HotKey 61 no longer holds our binding. Skipping restore.", LogCategory::keyboard);
      return;
    }
    all->erase("61");
    prefs->setValue(sk::kSymbolicHotKeysDomain, sk::kSymbolicHotKeysKey, *all);
    if (!prefs->synchronize(sk::kSymbolicHotKeysDomain)) {
      appLog().error("Failed to synchronize restored com.apple.symbolichotkeys preferences.", LogCategory::keyboard);
      return;
    }
    defaults().remove(sk::kOriginalHotKey61AbsentKey);
    defaults().remove(sk::kOriginalHotKey61Key);
    appLog().info("Successfully removed system HotKey 61, which did not exist before.", LogCategory::keyboard);
    runActivateSettings();
    return;
  }
  if (current != all->end() && current->is_object() && *current == *recorded) {
    defaults().remove(sk::kOriginalHotKey61Key);
    appLog().info("HotKey 61 is already matching original. Skipping restore.", LogCategory::keyboard);
    return;
  }
  (*all)["61"] = *recorded;
  prefs->setValue(sk::kSymbolicHotKeysDomain, sk::kSymbolicHotKeysKey, *all);
  if (!prefs->synchronize(sk::kSymbolicHotKeysDomain)) {
    appLog().error("Failed to synchronize restored com.apple.symbolichotkeys preferences.", LogCategory::keyboard);
    return;
  }
  defaults().remove(sk::kOriginalHotKey61Key);
  defaults().remove(sk::kOriginalHotKey61AbsentKey);
  appLog().info("Successfully restored system HotKey 61 to original.", LogCategory::keyboard);
  runActivateSettings();
}

void KeyboardEngine::runActivateSettings() {
  if (!platform().hasBundleIdentifier) return;
  auto failure = toolFailure(runTool(*this, sk::kActivateSettingsPath, {"-u"}));
  if (failure)
    appLog().error("Failed to run activateSettings: " + *failure, LogCategory::keyboard);
  else
    appLog().info("Successfully ran activateSettings -u.", LogCategory::keyboard);
}

bool KeyboardEngine::disablePerDocumentInputSwitching() {
  if (!platform().hasBundleIdentifier) return false;
  if (defaults().boolForKey(sk::kSkipPerDocKey)) {
    log("DEBUG: skipping disablePerDocumentInputSwitching (debugSkipPerDocDisable=true)");
    return false;
  }
  if (auto& setProperty = platform().privateSymbols.setTextInputGlobalProperty) {
    setProperty("TextInputGlobalPropertyPerContextInput", false);
    appLog().info("TSMSetTextInputGlobalProperty called for TextInputGlobalPropertyPerContextInput -> false",
                  LogCategory::keyboard);
  }
  auto* prefs = platform().preferences;
  if (!prefs) return false;
  prefs->synchronize(sk::kHIToolboxDomain);
  auto props = prefs->copyValue(sk::kHIToolboxDomain, "AppleGlobalTextInputProperties");
  nlohmann::json properties = (props && props->is_object()) ? *props : nlohmann::json::object();
  auto needsFalse = [&](const std::string& key) {
    auto v = prefs->copyValue(sk::kHIToolboxDomain, key);
    return !v || !v->is_boolean() || v->get<bool>();
  };
  auto perContext = properties.find("TextInputGlobalPropertyPerContextInput");
  bool propertiesNeedChange = perContext == properties.end() || !perContext->is_number() ||
                              perContext->get<double>() != 0;
  bool selectedNeedsChange = needsFalse("AppleSelectedInputSourcesPerDocument");
  bool globalNeedsChange = needsFalse("AppleGlobalInputSourcePerDocument");
  if (!propertiesNeedChange && !selectedNeedsChange && !globalNeedsChange) return true;
  properties["TextInputGlobalPropertyPerContextInput"] = 0;
  prefs->setValue(sk::kHIToolboxDomain, "AppleGlobalTextInputProperties", properties);
  prefs->setValue(sk::kHIToolboxDomain, "AppleSelectedInputSourcesPerDocument", false);
  prefs->setValue(sk::kHIToolboxDomain, "AppleGlobalInputSourcePerDocument", false);
  if (!prefs->synchronize(sk::kHIToolboxDomain)) {
    appLog().error("Failed to synchronize com.apple.HIToolbox preferences.", LogCategory::keyboard);
    return false;
  }
  appLog().info("Successfully disabled per-document input source switching in com.apple.HIToolbox.",
                LogCategory::keyboard);
  runActivateSettings();
  return true;
}

void KeyboardEngine::restoreSystemKeyboardForQuit() {
  systemKeyboard.isShuttingDown = true;
  auto restore = [this] {
    clearHIDUtilMapping();
    restoreOriginalHotKey61();
  };
  // On the settings queue, so that it runs after an apply that is already
  // running there rather than racing it.
  if (auto queue = environment().runtime.settingsQueue)
    queue->runSync(restore);
  else
    restore();
}

void KeyboardEngine::restoreSystemKeyboardWithoutServer() {
  systemKeyboard.isShuttingDown = true;
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  auto restore = [weak] {
    if (auto e = weak.lock()) e->restoreOriginalHotKey61();
  };
  // On the queue's own thread (its call to the server broke) the task in
  // flight there will never go on.
  auto queue = environment().runtime.settingsQueue;
  if (queue && !queue->runsTasksOnCurrentThread())
    queue->post(restore);
  else
    restore();
}

// ------------------------------------------------------------ notices

void KeyboardEngine::showF19ShortcutHint() {
  if (auto file = platform().preferences ? platform().preferences->ownHotKeyFile() : std::nullopt) {
    // The hot keys are ours to keep here, and no system setting binds them:
    // there is nothing for the user to set, only a file we could not write.
    auto state = DisplayState::status(localized("hud_f19_store_failed_title"),
                                      formatLocalized(localized("hud_f19_store_failed_sub"), {*file}),
                                      "keyboard.badge.ellipsis", HudColor::orange);
    if (auto* panel = hudPanelFor(*this)) panel->show(std::move(state), 2, true, false);
    return;
  }
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  auto action = [weak] {
    auto e = weak.lock();
    if (!e) return;
    if (auto* panel = hudPanelFor(*e)) panel->dismiss(0.15);
    if (e->platform().workspace)
      e->platform().workspace->openURL("x-apple.systempreferences:com.apple.preference.keyboard?Shortcuts");
  };
  auto state = DisplayState::actionable(
      engine_texts::kF19ShortcutTitle, engine_texts::kF19ShortcutSteps, "keyboard.badge.ellipsis", HudColor::orange,
      engine_texts::kOpenSystemSettings, action);
  if (auto* panel = hudPanelFor(*this)) panel->show(std::move(state), 2, true, false);
}

void KeyboardEngine::showPerDocumentRevertBanner() {
  double now = uptime();
  if (inputSource.lastPerDocumentToastTime && now - *inputSource.lastPerDocumentToastTime < 300) return;
  inputSource.lastPerDocumentToastTime = now;
  log("Per-document revert detected: showing guidance HUD banner");
  static constexpr const char* kKeyboardPane = "x-apple.systempreferences:com.apple.preference.keyboard";
  // A desktop that keeps a layout per window (a dialog opened right after a
  // switch gets its own) has no pane of ours to open: the notice only says
  // what to change.
  Workspace* workspace = platform().workspace;
  if (!workspace || !workspace->canOpenURL(kKeyboardPane)) {
    auto state = DisplayState::status(localized("hud_per_doc_title"), localized("hud_per_doc_sub"),
                                      "doc.badge.gearshape", HudColor::orange);
    if (auto* panel = hudPanelFor(*this)) panel->show(std::move(state), 2, true, false);
    return;
  }
  std::weak_ptr<KeyboardEngine> weak = weak_from_this();
  auto action = [weak] {
    auto e = weak.lock();
    if (!e) return;
    if (auto* panel = hudPanelFor(*e)) panel->dismiss(0.15);
    if (e->platform().workspace) e->platform().workspace->openURL(kKeyboardPane);
  };
  auto state = DisplayState::actionable(localized("hud_per_doc_title"), localized("hud_per_doc_sub"),
                                        "doc.badge.gearshape", HudColor::orange, localized("hud_per_doc_action"),
                                        action);
  if (auto* panel = hudPanelFor(*this)) panel->show(std::move(state), 2, true, false);
}

void KeyboardEngine::openAccessibilitySettings() {
  // A desktop whose switch we may turn on ourselves has no page to open: the
  // grant controls call this once the user has agreed to turn it on.
  if (platform().accessibility && platform().accessibility->promptTurnsTrustOn()) {
    requestAccessibility(true);
    return;
  }
  if (platform().workspace)
    platform().workspace->openURL("x-apple.systempreferences:com.apple.preference.security?Privacy_Accessibility");
  requestAccessibility(false);
}

}  // namespace tessa
