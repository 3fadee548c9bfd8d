#include "engine/keyboard_engine.h"

#include <fmt/format.h>

#include "base/files.h"
#include "typing/typing_flow_controller.h"
#include "l10n/localization.h"
#include "engine/typo_habit_tracker.h"
#include "engine/hud_notices.h"
#include "engine/typing_flow_host.h"
#include "platform/keyboard_tables.h"

namespace tessa {

namespace {
std::mutex gSharedLock;
std::shared_ptr<KeyboardEngine> gShared;

// Each cell's value through its writer, in the order given.
template <class... Cells>
void writeBack(Cells&... cells) {
  (cells.writeBack(), ...);
}
}  // namespace

std::shared_ptr<KeyboardEngine> KeyboardEngine::create(EngineEnvironment env) {
  std::shared_ptr<KeyboardEngine> engine(new KeyboardEngine(std::move(env)));
  engine->initialize();
  return engine;
}

std::shared_ptr<KeyboardEngine> KeyboardEngine::shared() {
  std::lock_guard lock(gSharedLock);
  return gShared;
}

void KeyboardEngine::installShared(std::shared_ptr<KeyboardEngine> engine) {
  std::lock_guard lock(gSharedLock);
  gShared = std::move(engine);
}

KeyboardEngine::~KeyboardEngine() = default;

// What a persisted setting's change does besides writing its key (each key
// and default is declared in engine/setting_table.h), and every run-time
// property's initial value.
KeyboardEngine::KeyboardEngine(EngineEnvironment env)
    : settingStore_(env.defaults),
      appLanguage(*this, settingStore_, setting::appLanguage,
                  [this](const std::string& v) {
                    {
                      std::lock_guard lock(languageCopy_.lock);
                      languageCopy_.language = v;
                    }
                    notifications().post(notification::appLanguageChanged);
                  }),
      appCopywritingLevel(*this, settingStore_, setting::appCopywritingLevel,
                          [this](const CopywritingLevel& v) {
                            {
                              std::lock_guard lock(languageCopy_.lock);
                              languageCopy_.level = v;
                            }
                            notifications().post(notification::appLanguageChanged);
                          }),
      appMode(*this, settingStore_, setting::appMode,
              [this](const AppMode& v) {
                saveToActiveProfile(ProfileIntegerField::appMode, rawValue(v));
                applyModeSettings();
                flow.consecutiveSafetyTimeouts = 0;
              }),
      switcherKey(*this, settingStore_, setting::switcherKey,
                  [this](const SwitcherKey& v) {
                    saveToActiveProfile(ProfileIntegerField::switcherKey, rawValue(v));
                    applyModeSettings();
                    syncDecidedKeys();
                  }),
      isHapticFeedbackEnabled(
          *this, settingStore_, setting::isHapticFeedbackEnabled,
          [this](const bool& v) { saveToActiveProfile(ProfileBoolField::isHapticFeedbackEnabled, v); }),
      isSmartCorrectionEnabled(
          *this, settingStore_, setting::isSmartCorrectionEnabled,
          [this](const bool& v) { saveToActiveProfile(ProfileBoolField::isSmartCorrectionEnabled, v); }),
      statusMessage(*this, "Initializing..."),
      lastEventLog(*this, "No events yet"),
      isAccessibilityGranted(*this, false),
      programToRestart(*this, std::nullopt),
      isEventTapDead(*this, false),
      isPaused(*this, false, [this](const bool&) { postPauseStateChanged(); }),
      isCapsLockOn(*this, false, [this](const bool&) { postCapsLockStateChanged(); }),
      showMilestoneNudge(*this, false),
      axTextAccessInFocusedApp(*this, AXTextAccess::available),
      isSecureInputLockedGlobally(*this, false),
      isSecureInputActive(*this, false),
      isAXAvailableInFocusedApp(*this, false),
      isThaiSpellCheckerAvailable(*this, false),
      availableSpellingLanguages(*this, {}),
      isLocalThaiDictionaryLoaded(*this, false),
      isLocalOtherDictionaryLoaded(*this, false),
      localOtherDictionaryWordCount(*this, 0),
      env_(std::move(env)),
      appLog_(env_.platform.systemLog,
              AppLog::subsystemFor(env_.platform.workspace ? env_.platform.workspace->bundleIdentifier() : "")) {
  diagnosticLog_ = std::make_unique<DiagnosticLog>(*env_.runtime.clock, appLog_, env_.runtime.diagnosticsDisk,
                                                   [this] { return diagnosticLogURL(); });
}

void KeyboardEngine::initialize() {
  // 1. Fields in declaration order; the few that read the machine read it now.
  if (env_.platform.workspace) {
    if (auto app = env_.platform.workspace->frontmostApplication(); app && !app->bundleID.empty())
      focus.cachedFrontmostBundleID = app->bundleID;
  }
  recovery.lastMainThreadTick = uptime();
  tap.lastEventTapHeartbeat = uptime();
  flow.flowHost = std::make_unique<EngineTypingFlowHost>(*this);
  flow.flowController = std::make_unique<TypingFlowController>(*flow.flowHost);
  flow.flowController->setWordObserver(makeTypoLearningObserver(*this));
  for (const auto& [en, th] : englishToThaiPairs()) englishToThaiMap_.emplace(std::string(en), std::string(th));

  // [design] from here on, the order the settings start in.
  // 2.
  defaults().registerDefaults({setting::appMode.registration()});
  // 3.
  if (env_.platform.inputSources) {
    if (auto src = env_.platform.inputSources->currentKeyboardSource(); src && !src->id.empty())
      inputSource.cachedLanguage = src->id;
  }
  // 4-10. Every persisted cell read its key when it was made, as its
  // declaration in engine/setting_table.h says, without announcing or
  // writing anything: those keys are written only when the value changes.
  {
    std::lock_guard lock(languageCopy_.lock);
    languageCopy_.language = appLanguage.get();
    languageCopy_.level = appCopywritingLevel.get();
  }
  // 11. Through their writers, so each key exists after the first launch.
  writeBack(isShareUsageTimeEnabled, hasSeenShareInvitation, hasCompletedOnboarding, hasSeenMilestoneNudge,
            remindLaterCorrectionsThreshold, prestigeLevel, dailyStreakCount, lastActiveStreakDate,
            hasShownUndoBoundaryHint);
  // 12.
  updateDailyStreak();
  // 13.
  loadProfiles();
  // 14-15.
  writeBack(activeProfileName, excludedBundleIDs);
  // 16. Deterministic inverse: where several US keys give one Thai
  // character, the plain ASCII key wins so a conversion never types
  // typographic quotes.
  for (const auto& [en, th] : englishToThaiPairs()) {
    bool ascii = en.size() == 1 && static_cast<unsigned char>(en[0]) < 0x80;
    auto [it, inserted] = thaiToEnglishMap_.try_emplace(std::string(th), std::string(en));
    bool existingAscii = it->second.size() == 1 && static_cast<unsigned char>(it->second[0]) < 0x80;
    if (!inserted && ascii && !existingAscii) it->second = std::string(en);
  }
  // 17. Spelling probe: does the spell checker really judge Thai? The probe
  // is a misspelling of "ขอบคุณ": data the checker reads, never shown.
  // Asking loads the Thai dictionary, which takes longer than everything
  // else here, so it is asked on the background queue and its answer set on
  // the main queue; until then the checker counts as one that cannot judge
  // Thai (which only the views show: Thai words have word sources of their
  // own), and the dictionary is loaded by the time a word is checked.
  if (auto* spell = env_.platform.spellChecker) {
    availableSpellingLanguages.set(spell->availableLanguages());
    auto probe = [spell] {
      auto range = spell->checkSpelling("ขอบคุน", 0, "th");  // [design]
      return range.location >= 0 && range.length > 0;
    };
    if (auto background = env_.runtime.background) {
      std::weak_ptr<KeyboardEngine> weak = weak_from_this();
      TaskRunner* main = &mainQueue();
      background->post([weak, main, probe] {
        const bool judgesThai = probe();
        main->post([weak, judgesThai] {
          if (auto e = weak.lock()) e->isThaiSpellCheckerAvailable.set(judgesThai);
        });
      });
    } else {
      isThaiSpellCheckerAvailable.set(probe());
    }
  }
  // 18.
  observeInputSourceChanges();
  observeSystemNotifications();
  startSecureFieldPoll();
}

void KeyboardEngine::asyncOnMainWeak(std::function<void(KeyboardEngine&)> fn) {
  std::weak_ptr<KeyboardEngine> w = weak_from_this();
  mainQueue().post([w, fn = std::move(fn)] {
    if (auto e = w.lock()) fn(*e);
  });
}

TaskHandle KeyboardEngine::afterOnMainWeak(double delay, std::function<void(KeyboardEngine&)> fn) {
  std::weak_ptr<KeyboardEngine> w = weak_from_this();
  return mainQueue().postDelayed(delay, [w, fn = std::move(fn)] {
    if (auto e = w.lock()) fn(*e);
  });
}

// ------------------------------------------------------------------ tuning

double KeyboardEngine::holdThreshold() const { return setting::holdThreshold.readFrom(defaults()); }
double KeyboardEngine::hapticFeedbackDelay() const { return setting::hapticFeedbackDelay.readFrom(defaults()); }
double KeyboardEngine::undoTimeout() const { return setting::undoTimeout.readFrom(defaults()); }
int64_t KeyboardEngine::fatigueThreshold() const { return setting::fatigueThreshold.readFrom(defaults()); }
double KeyboardEngine::fatigueNotificationInterval() const {
  return setting::fatigueNotificationInterval.readFrom(defaults());
}
int64_t KeyboardEngine::hapticIntensityConfirm() const { return setting::hapticIntensityConfirm.readFrom(defaults()); }
int64_t KeyboardEngine::hapticIntensityAlert() const { return setting::hapticIntensityAlert.readFrom(defaults()); }

// ---------------------------------------------------------------- profiles

void KeyboardEngine::saveProfiles() { profiles.persist(); }

const UserProfile* KeyboardEngine::activeProfile() const {
  for (const auto& p : profiles.get())
    if (p.name == activeProfileName.get()) return &p;
  return nullptr;
}

namespace {
// Sets one field of the first profile named `active` in a copy of the list;
// none when no profile has that name.
template <class Field, class Value>
std::optional<std::vector<UserProfile>> withActiveProfileField(const std::vector<UserProfile>& list,
                                                               const std::string& active, Field field, Value value) {
  auto copy = list;
  for (auto& p : copy) {
    if (p.name == active) {
      fieldRef(p, field) = value;
      return copy;
    }
  }
  return std::nullopt;
}
}  // namespace

void KeyboardEngine::updateActiveProfileInteger(ProfileIntegerField field, int64_t value) {
  if (auto list = withActiveProfileField(profiles.get(), activeProfileName.get(), field, value))
    profiles.set(std::move(*list));
}

void KeyboardEngine::updateActiveProfileBool(ProfileBoolField field, bool value) {
  if (auto list = withActiveProfileField(profiles.get(), activeProfileName.get(), field, value))
    profiles.set(std::move(*list));
}

void KeyboardEngine::persistProfileInteger(ProfileIntegerField field, const Setting<int64_t>& setting,
                                           int64_t value) {
  setting.writeTo(defaults(), value);
  saveToActiveProfile(field, value);
}

void KeyboardEngine::saveToActiveProfile(ProfileIntegerField field, int64_t value) {
  updateActiveProfileInteger(field, value);
  saveProfiles();
  defaults().synchronize();
}

void KeyboardEngine::saveToActiveProfile(ProfileBoolField field, bool value) {
  updateActiveProfileBool(field, value);
  saveProfiles();
  defaults().synchronize();
}

void KeyboardEngine::loadProfiles() {
  const std::string key = profiles.setting().key;
  if (auto decoded = profiles.setting().storedValue(defaults())) {
    profiles.set(std::move(*decoded));
  } else {
    if (defaults().kind(key) != UserDefaults::Kind::missing) {
      // The stored list is unreadable. Keep a copy beside the settings so a
      // user's profiles are never lost silently, then start from the defaults.
      if (auto raw = defaults().object(key)) defaults().set(key + ".corrupt", *raw);
      log("loadProfiles: stored profiles could not be decoded - kept as profiles.corrupt, using the defaults");
    }
    profiles.reset();
    saveProfiles();
  }
  size_t retired = 0;
  for (const auto& p : profiles.get())
    if (p.appMode != 1) ++retired;
  if (retired > 0) {
    appLog_.info("Migrating " + std::to_string(retired) + " profile(s) off retired app modes", LogCategory::general);
    auto list = profiles.get();
    for (auto& p : list) p.appMode = 1;
    profiles.set(std::move(list));
    saveProfiles();
  }
}

// ----------------------------------------------------------------- logging

void KeyboardEngine::log(const std::string& message) { diagnosticLog_->log(message); }

std::optional<std::filesystem::path> KeyboardEngine::diagnosticLogURL() const {
  return Paths::applicationSupport() /
         (overrides.mockTranslationEnabled ? "tessavinor_diagnostic_test.log" : "tessavinor_diagnostic.log");
}

// ----------------------------------------------------------- localisation

std::string KeyboardEngine::languageSnapshot(CopywritingLevel* level) const {
  std::lock_guard lock(languageCopy_.lock);
  if (level) *level = languageCopy_.level;
  return languageCopy_.language;
}

std::string KeyboardEngine::localized(const std::string& key) const {
  CopywritingLevel level;
  std::string language = languageSnapshot(&level);
  return LocalizedTable::shared().localized(key, language, level == CopywritingLevel::pro);
}

// --------------------------------------------------------- small operations

void KeyboardEngine::appendToLastEventLog(const std::string& text) {
  lastEventLog.modify([&](std::string& s) { s += "\n↳ " + text; });
}

void KeyboardEngine::showRevertedNotice(const std::string& message, const std::string& subMessage) {
  // An empty word and no add-to-vocabulary action: nothing to undo here.
  showHUDNotice(*this, DisplayState::confirmedReverted(message, subMessage, ""), 2, false, false);
}

void KeyboardEngine::postPauseStateChanged() { notifications().post(notification::appPauseStateChanged); }

void KeyboardEngine::postCapsLockStateChanged() {
  notifications().post(notification::capsLockStateChanged, {}, {{"isEnabled", isCapsLockOn.get()}});
  syncCapsLockLight();
}

void KeyboardEngine::setLastUndoneWord(std::optional<std::string> word) {
  bool wasIgnored = flow.lastUndoneWord.has_value();
  flow.lastUndoneWord = std::move(word);
  bool isIgnored = flow.lastUndoneWord.has_value();
  if (wasIgnored || isIgnored)
    notifications().post(notification::ignoredWordStateChanged, {}, {{"isIgnored", isIgnored}});
}

void KeyboardEngine::cancelSpeculation() {
  flow.speculativeWorkItem.cancel();
  flow.speculativeWorkItem = TaskHandle();
  heldKeys.dropPressHeld();
  heldKeys.forgetHeldDowns();
  flow.isSpeculating = false;
  flow.queueFocusToken.reset();
}

// ------------------------------------------------------------------ tables

// [design] the event types and key codes below.
const std::vector<EventType>& KeyboardEngine::capsLockSyncEventTypes() {
  static const std::vector<EventType> types{EventType::keyDown,        EventType::keyUp,
                                            EventType::flagsChanged,   EventType::leftMouseDown,
                                            EventType::rightMouseDown, EventType::otherMouseDown};
  return types;
}

const std::set<uint16_t>& KeyboardEngine::queueFlushKeyCodes() {
  static const std::set<uint16_t> codes{48, 36, 76, 53, 123, 124, 125, 126, 115, 116, 119, 121};
  return codes;
}

const std::vector<std::string>& KeyboardEngine::triggerChars() { return TypingFlowController::triggerChars(); }

}  // namespace tessa
