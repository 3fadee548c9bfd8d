#include "engine/keyboard_engine.h"

#include "base/json_reading.h"

#include <cmath>

#include <fmt/format.h>

#include "base/files.h"
#include "correction/typing_flow_controller.h"
#include "l10n/localization.h"
#include "engine/typo_habit_tracker.h"
#include "engine/hud_notices.h"
#include "engine/typing_flow_host.h"
#include "platform/keyboard_tables.h"

namespace tessa {

namespace {
std::mutex gSharedLock;
std::shared_ptr<KeyboardEngine> gShared;

UserDefaults::Value toValue(const std::map<std::string, int64_t>& m) {
  UserDefaults::Value v = UserDefaults::Value::object();
  for (const auto& [k, n] : m) v[k] = n;
  return v;
}

// Dictionary entries whose values are not integers are dropped.
std::map<std::string, int64_t> integerDictionary(const UserDefaults& d, const std::string& key) {
  std::map<std::string, int64_t> out;
  auto dict = d.dictionaryForKey(key);
  if (!dict) return out;
  for (auto it = dict->begin(); it != dict->end(); ++it) {
    if (!it->is_number_integer()) continue;
    if (auto n = jsonInteger<int64_t>(*it)) out[it.key()] = *n;
  }
  return out;
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

void KeyboardEngine::writeDefault(const std::string& key, UserDefaults::Value value) {
  env_.defaults->set(key, std::move(value));
}

// [design] every property's initial value and the defaults key it writes.
// Every property's change action is declared next to it, so the key each one
// writes stands in one place.
KeyboardEngine::KeyboardEngine(EngineEnvironment env)
    : appLanguage(*this, "th",
                  [this](const std::string& v) {
                    {
                      std::lock_guard lock(languageLock_);
                      languageCopy_ = v;
                    }
                    writeDefault("appLanguage", v);
                    notifications().post(notification::appLanguageChanged);
                  }),
      appCopywritingLevel(*this, CopywritingLevel::layman,
                          [this](const CopywritingLevel& v) {
                            {
                              std::lock_guard lock(languageLock_);
                              levelCopy_ = v;
                            }
                            writeDefault("appCopywritingLevel", std::string(rawValue(v)));
                            notifications().post(notification::appLanguageChanged);
                          }),
      appMode(*this, AppMode::capslockToF19,
              [this](const AppMode&) {
                persistProfileInteger(ProfileIntegerField::appMode, "AppMode", 1);
                applyModeSettings();
                flow.consecutiveSafetyTimeouts = 0;
              }),
      switcherKey(*this, SwitcherKey::capslock,
                  [this](const SwitcherKey& v) {
                    persistProfileInteger(ProfileIntegerField::switcherKey, "SwitcherKey", rawValue(v));
                    applyModeSettings();
                  }),
      isHapticFeedbackEnabled(*this, false,
                              [this](const bool& v) {
                                persistProfileBool(ProfileBoolField::isHapticFeedbackEnabled,
                                                   "isHapticFeedbackEnabled", v);
                              }),
      isSmartCorrectionEnabled(*this, false,
                               [this](const bool& v) {
                                 persistProfileBool(ProfileBoolField::isSmartCorrectionEnabled,
                                                    "isSmartCorrectionEnabled", v);
                               }),
      useContrastiveFrequencyCheck(*this, true,
                                   [this](const bool& v) { writeDefault("useContrastiveFrequencyCheck", v); }),
      isFatigueNotificationEnabled(*this, false,
                                   [this](const bool& v) { writeDefault("isFatigueNotificationEnabled", v); }),
      isShareUsageTimeEnabled(*this, false, [this](const bool& v) { writeDefault("isShareUsageTimeEnabled", v); }),
      hasSeenShareInvitation(*this, false, [this](const bool& v) { writeDefault("hasSeenShareInvitation", v); }),
      hasCompletedOnboarding(*this, false, [this](const bool& v) { writeDefault("hasCompletedOnboarding", v); }),
      hasSeenMilestoneNudge(*this, false, [this](const bool& v) { writeDefault("hasSeenMilestoneNudge", v); }),
      remindLaterCorrectionsThreshold(
          *this, 0, [this](const int64_t& v) { writeDefault("remindLaterCorrectionsThreshold", v); }),
      hasShownUndoBoundaryHint(*this, false,
                               [this](const bool& v) { writeDefault("hasShownUndoBoundaryHint", v); }),
      excludedBundleIDs(*this, {},
                        [this](const std::vector<std::string>& v) { writeDefault("excludedBundleIDs", v); }),
      profiles(*this, {}, [this](const std::vector<UserProfile>&) { saveProfiles(); }),
      activeProfileName(*this, "Default", [this](const std::string& v) { writeDefault("activeProfileName", v); }),
      totalKeystrokesSaved(*this, 0, [this](const int64_t& v) { writeDefault("totalKeystrokesSaved", v); }),
      totalUndos(*this, 0, [this](const int64_t& v) { writeDefault("totalUndos", v); }),
      totalCorrections(*this, 0, [this](const int64_t& v) { writeDefault("totalCorrections", v); }),
      totalCorrectionsTH(*this, 0, [this](const int64_t& v) { writeDefault("totalCorrectionsTH", v); }),
      totalCorrectionsLO(*this, 0, [this](const int64_t& v) { writeDefault("totalCorrectionsLO", v); }),
      totalCorrectionsEN(*this, 0, [this](const int64_t& v) { writeDefault("totalCorrectionsEN", v); }),
      totalWatchdogRecoveries(*this, 0, [this](const int64_t& v) { writeDefault("totalWatchdogRecoveries", v); }),
      totalActiveTypingTime(*this, 0.0, [this](const double& v) { writeDefault("totalActiveTypingTime", v); }),
      totalUsageTime(*this, 0.0),
      appTypoCounts(*this, {},
                    [this](const std::map<std::string, int64_t>& v) { writeDefault("appTypoCounts", toValue(v)); }),
      hourlyTypoCounts(*this, {},
                       [this](const std::map<std::string, int64_t>& v) {
                         writeDefault("hourlyTypoCounts", toValue(v));
                       }),
      prestigeLevel(*this, 0, [this](const int64_t& v) { writeDefault("prestigeLevel", v); }),
      dailyStreakCount(*this, 0, [this](const int64_t& v) { writeDefault("dailyStreakCount", v); }),
      lastActiveStreakDate(*this, "", [this](const std::string& v) { writeDefault("lastActiveStreakDate", v); }),
      statusMessage(*this, "Initializing..."),
      lastEventLog(*this, "No events yet"),
      isAccessibilityGranted(*this, false),
      programToRestart(*this, std::nullopt),
      isEventTapDead(*this, false),
      isPaused(*this, false, [this](const bool&) { postPauseStateChanged(); }),
      isCapsLockOn(*this, false, [this](const bool&) { postCapsLockStateChanged(); }),
      showMilestoneNudge(*this, false),
      statsCorrectionFired(*this, 0),
      statsNoOpRefused(*this, 0),
      statsCandidateTie(*this, 0),
      statsSeenInSessionMiss(*this, 0),
      statsCorrectionWithin2s(*this, 0),
      statsMultiFixUndone(*this, 0),
      statsRepeatTypedSameWord(*this, 0),
      statsLayoutSwitchTimeout(*this, 0),
      statsKeystrokesDropped(*this, 0),
      statsMaxHandleDurationMs(*this, 0),
      statsInputStallCount(*this, 0),
      statsAcceptByGenerator(*this, {}),
      statsUndoByGenerator(*this, {}),
      axReadCount(*this, 0),
      axReadOver50ms(*this, 0),
      axReadOver100ms(*this, 0),
      axReadMaxMs(*this, 0.0),
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

  // [design] from here on, the defaults keys read and their fallbacks.
  auto& d = defaults();
  // 2.
  d.registerDefaults({{"AppMode", 1}});
  // 3.
  if (env_.platform.inputSources) {
    if (auto src = env_.platform.inputSources->currentKeyboardSource(); src && !src->id.empty())
      inputSource.cachedLanguage = src->id;
  }
  // 4-5. Read directly: the keys are written only when the user changes them.
  appLanguage.setSilently(d.stringForKey("appLanguage").value_or("th"));
  appCopywritingLevel.setSilently(
      copywritingLevelFromRaw(d.stringForKey("appCopywritingLevel").value_or("")).value_or(CopywritingLevel::layman));
  {
    std::lock_guard lock(languageLock_);
    languageCopy_ = appLanguage.get();
    levelCopy_ = appCopywritingLevel.get();
  }
  // 6. The only mode, whatever is stored.
  appMode.setSilently(AppMode::capslockToF19);
  // 7.
  switcherKey.setSilently(switcherKeyFromRaw(d.integerForKey("SwitcherKey")).value_or(SwitcherKey::capslock));
  // 8-9. Read as objects and type-checked.
  auto boolObject = [&](const std::string& key, bool fallback) {
    auto v = d.object(key);
    return (v && v->is_boolean()) ? v->get<bool>() : fallback;
  };
  isHapticFeedbackEnabled.setSilently(boolObject("isHapticFeedbackEnabled", false));
  // Smart correction always starts off; its key is written but not read back.
  isSmartCorrectionEnabled.setSilently(false);
  useContrastiveFrequencyCheck.setSilently(boolObject("useContrastiveFrequencyCheck", true));
  isFatigueNotificationEnabled.setSilently(boolObject("isFatigueNotificationEnabled", false));
  // 10. Counters, without change actions.
  totalKeystrokesSaved.setSilently(d.integerForKey("totalKeystrokesSaved"));
  appTypoCounts.setSilently(integerDictionary(d, "appTypoCounts"));
  hourlyTypoCounts.setSilently(integerDictionary(d, "hourlyTypoCounts"));
  totalUndos.setSilently(d.integerForKey("totalUndos"));
  totalCorrections.setSilently(d.integerForKey("totalCorrections"));
  totalCorrectionsTH.setSilently(d.integerForKey("totalCorrectionsTH"));
  totalCorrectionsLO.setSilently(d.integerForKey("totalCorrectionsLO"));
  totalCorrectionsEN.setSilently(d.integerForKey("totalCorrectionsEN"));
  totalWatchdogRecoveries.setSilently(d.integerForKey("totalWatchdogRecoveries"));
  totalActiveTypingTime.setSilently(d.doubleForKey("totalActiveTypingTime"));
  totalUsageTime.setSilently(d.doubleForKey("totalUsageTime"));
  // 11. Through their writers, so each key exists after the first launch.
  isShareUsageTimeEnabled.set(d.boolForKey("isShareUsageTimeEnabled"));
  hasSeenShareInvitation.set(d.boolForKey("hasSeenShareInvitation"));
  hasCompletedOnboarding.set(d.boolForKey("hasCompletedOnboarding"));
  hasSeenMilestoneNudge.set(d.boolForKey("hasSeenMilestoneNudge"));
  remindLaterCorrectionsThreshold.set(d.integerForKey("remindLaterCorrectionsThreshold"));
  prestigeLevel.set(d.integerForKey("prestigeLevel"));
  {
    int64_t streak = d.integerForKey("dailyStreakCount");
    dailyStreakCount.set(streak > 1 ? streak : 1);
  }
  lastActiveStreakDate.set(d.stringForKey("lastActiveStreakDate").value_or(""));
  hasShownUndoBoundaryHint.set(d.boolForKey("hasShownUndoBoundaryHint"));
  // 12.
  updateDailyStreak();
  // 13.
  loadProfiles();
  // 14-15.
  activeProfileName.set(d.stringForKey("activeProfileName").value_or("Default"));
  excludedBundleIDs.set(d.stringArrayForKey("excludedBundleIDs").value_or(std::vector<std::string>{}));
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

namespace {
// A missing key, a stored 0, or a value that makes no sense as a duration
// (negative, infinite, not a number) gives the fallback.
double positiveOr(const UserDefaults& d, const char* key, double fallback) {
  double v = d.doubleForKey(key);
  return (std::isfinite(v) && v > 0) ? v : fallback;
}
}  // namespace

// [design] the tuning keys and their fallbacks.
double KeyboardEngine::holdThreshold() const { return positiveOr(defaults(), "holdThreshold", 0.35); }
double KeyboardEngine::hapticFeedbackDelay() const { return positiveOr(defaults(), "hapticFeedbackDelay", 0.1); }
double KeyboardEngine::undoTimeout() const { return positiveOr(defaults(), "undoTimeout", 8.0); }
int64_t KeyboardEngine::fatigueThreshold() const {
  int64_t v = defaults().integerForKey("fatigueThreshold");
  return v > 0 ? v : 20;
}
double KeyboardEngine::fatigueNotificationInterval() const {
  return positiveOr(defaults(), "fatigueNotificationInterval", 1800.0);
}
int64_t KeyboardEngine::hapticIntensityConfirm() const {
  if (defaults().kind("hapticIntensityConfirm") == UserDefaults::Kind::missing) return 2;
  return defaults().integerForKey("hapticIntensityConfirm");
}
int64_t KeyboardEngine::hapticIntensityAlert() const {
  if (defaults().kind("hapticIntensityAlert") == UserDefaults::Kind::missing) return 2;
  return defaults().integerForKey("hapticIntensityAlert");
}

// ---------------------------------------------------------------- profiles

void KeyboardEngine::saveProfiles() {
  std::string json = encodeProfiles(profiles.get());
  defaults().setData("profiles", std::vector<uint8_t>(json.begin(), json.end()));
}

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

void KeyboardEngine::persistProfileInteger(ProfileIntegerField field, const std::string& key, int64_t value) {
  defaults().setInteger(key, value);
  updateActiveProfileInteger(field, value);
  saveProfiles();
  defaults().synchronize();
}

void KeyboardEngine::persistProfileBool(ProfileBoolField field, const std::string& key, bool value) {
  defaults().setBool(key, value);
  updateActiveProfileBool(field, value);
  saveProfiles();
  defaults().synchronize();
}

void KeyboardEngine::loadProfiles() {
  auto data = defaults().dataForKey("profiles");
  std::optional<std::vector<UserProfile>> decoded;
  if (data) decoded = decodeProfiles(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()));
  if (decoded) {
    profiles.set(*decoded);
  } else {
    if (defaults().kind("profiles") != UserDefaults::Kind::missing) {
      // The stored list is unreadable. Keep a copy beside the settings so a
      // user's profiles are never lost silently, then start from the defaults.
      if (auto raw = defaults().object("profiles")) defaults().set("profiles.corrupt", *raw);
      log("loadProfiles: stored profiles could not be decoded - kept as profiles.corrupt, using the defaults");
    }
    profiles.set(defaultProfiles());
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
         (mockTranslationEnabled ? "tessavinor_diagnostic_test.log" : "tessavinor_diagnostic.log");
}

// ----------------------------------------------------------- localisation

std::string KeyboardEngine::languageSnapshot(CopywritingLevel* level) const {
  std::lock_guard lock(languageLock_);
  if (level) *level = levelCopy_;
  return languageCopy_;
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
  flow.speculativeQueue.clear();
  flow.queuedKeyDownCodes.clear();
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
