#include "engine/language_switcher.h"

#include <algorithm>
#include <cctype>

#include "engine/keyboard_engine.h"
#include "l10n/localization.h"

namespace tessa {

namespace {
// [design] the identifiers the engine's rules read.
constexpr const char* kABC = "com.apple.keylayout.ABC";
constexpr const char* kThai = "com.apple.keylayout.Thai";
constexpr const char* kKeyboardCategory = "TISCategoryKeyboardInputSource";

// [design] Sources that are input-source-like but never something to type in.
constexpr const char* kExcludedIDParts[] = {"CharacterPaletteIM", "PressAndHold", "ironwood",
                                            "KeyboardViewer",     "Emoji",        "Ink"};

std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::optional<size_t> positionOf(const std::vector<InputSourceInfo>& list, const std::string& id) {
  for (size_t i = 0; i < list.size(); ++i)
    if (list[i].id == id) return i;
  return std::nullopt;
}
}  // namespace

// ------------------------------------------------------------ the list

bool LanguageSwitcher::isSelectableKeyboardSource(const InputSourceInfo& source) {
  bool selectCapable = source.selectCapable;
  if (source.category.empty() || source.id.empty()) return false;
  for (const char* part : kExcludedIDParts)
    if (source.id.find(part) != std::string::npos) return false;
  if (source.category == kKeyboardCategory) return selectCapable;
  return selectCapable && source.category.find("InputMethod") != std::string::npos;
}

std::optional<std::string> LanguageSwitcher::inputSourceID(const InputSourceInfo& source) {
  if (source.id.empty()) return std::nullopt;
  return source.id;
}

std::vector<InputSourceInfo> LanguageSwitcher::selectableKeyboardSources() const {
  std::vector<InputSourceInfo> out;
  auto* sources = engine_.platform().inputSources;
  if (!sources) return out;
  auto list = sources->enabledSources();
  if (!list) return out;
  for (auto& s : *list)
    if (isSelectableKeyboardSource(s)) out.push_back(std::move(s));
  return out;
}

std::optional<std::string> LanguageSwitcher::nextInputSourceID() const {
  auto* sources = engine_.platform().inputSources;
  if (!sources) return std::nullopt;
  auto current = sources->currentKeyboardSource();
  if (!current) return std::nullopt;
  auto list = selectableKeyboardSources();
  if (list.size() < 2) return std::nullopt;
  auto id = inputSourceID(*current);
  if (!id) return std::nullopt;
  auto pos = positionOf(list, *id);
  if (!pos) return std::nullopt;
  return inputSourceID(list[(*pos + 1) % list.size()]);
}

int32_t LanguageSwitcher::selectInputSource(const InputSourceInfo& source) {
  if (!engine_.platform().hasBundleIdentifier) return 0;
  auto* sources = engine_.platform().inputSources;
  if (!sources) return -1;
  return sources->select(source.id);
}

// ------------------------------------------------------------ switching

Event LanguageSwitcher::fnF19Event(EventType type) {
  Event e;
  e.type = type;
  e.keyCode = keycode::f19;
  e.flags = flags::fn;
  e.sourceUserData = kSyntheticEventTag;
  e.sourceState = EventSourceState::hidSystem;
  return e;
}

bool LanguageSwitcher::postHotKeySwitch(const std::string& expectedID, bool namedTarget,
                                        const Completion& completion) {
  KeyboardEngine& e = engine_;
  auto* events = e.platform().events;
  if (!events) return false;  // no event source: the road cannot be taken
  if (e.platform().hasBundleIdentifier) {
    events->post(TapLocation::hid, fnF19Event(EventType::keyDown));
    events->post(TapLocation::hid, fnF19Event(EventType::keyUp));
    std::weak_ptr<KeyboardEngine> weak = e.weak();
    auto fallback = [weak, expectedID] {
      if (auto engine = weak.lock()) engine->languageSwitcher().selectDirectlyAfterHotKeyFailure(expectedID);
    };
    if (namedTarget)
      e.confirmSourceSwitch(expectedID, e.uptime(), fallback);
    else
      e.confirmToggleSwitch(expectedID, e.uptime(), fallback);
  } else {
    // Nothing was posted, so no confirmation will ever end this request.
    e.switcher.isTogglingF19 = false;
  }
  if (completion) completion(KeyboardEngine::isEnglishInputSourceID(expectedID));
  return true;
}

void LanguageSwitcher::toggle(Completion completion) {
  if (auto next = nextInputSourceID()) {
    if (postHotKeySwitch(*next, false, completion)) return;
  }
  // The direct road.
  auto* sources = engine_.platform().inputSources;
  auto current = sources ? sources->currentKeyboardSource() : std::nullopt;
  if (!current) {
    log("Error: Failed to get current keyboard source");
    return;
  }
  auto list = selectableKeyboardSources();
  if (list.size() < 2) {
    log("Error: Selectable input sources count is " + std::to_string(list.size()));
    return;
  }
  auto currentID = inputSourceID(*current);
  if (!currentID) {
    log("Error: Failed to read current keyboard source ID");
    return;
  }
  auto pos = positionOf(list, *currentID);
  if (!pos) {
    log("Error: Current source not found in list");
    return;
  }
  const InputSourceInfo& next = list[(*pos + 1) % list.size()];
  std::string nextID = inputSourceID(next).value_or("Unknown");
  int32_t status = selectInputSource(next);
  if (status == 0) {
    log("Success: Layout changed to " + nextID);
    if (completion) completion(KeyboardEngine::isEnglishInputSourceID(nextID));
  } else {
    log("Error: TISSelectInputSource failed with code " + std::to_string(status));
  }
}

void LanguageSwitcher::toggleOnMain(Completion completion) {
  engine_.asyncOnMainWeak(
      [completion = std::move(completion)](KeyboardEngine& e) { e.languageSwitcher().toggle(completion); });
}

void LanguageSwitcher::switchToInputSource(const std::string& targetID, Completion completion) {
  if (nextInputSourceID() == targetID) {
    if (postHotKeySwitch(targetID, true, completion)) return;
  }
  auto* sources = engine_.platform().inputSources;
  auto list = sources ? sources->enabledSources() : std::nullopt;
  if (!list) {
    log("Error: Failed to get input source list");
    return;
  }
  // Unfiltered: a source the cycle skips can still be chosen by name.
  auto pos = positionOf(*list, targetID);
  if (!pos) {
    log("Error: Target input source ID " + targetID + " not found");
    return;
  }
  int32_t status = selectInputSource((*list)[*pos]);
  if (status == 0) {
    log("Success: Layout changed to ID " + targetID);
    if (completion) completion(KeyboardEngine::isEnglishInputSourceID(targetID));
  } else {
    log("Error: switchToInputSource failed with code " + std::to_string(status));
  }
}

void LanguageSwitcher::switchToInputSourceOnMain(const std::string& targetID, Completion completion) {
  engine_.asyncOnMainWeak([targetID, completion = std::move(completion)](KeyboardEngine& e) {
    e.languageSwitcher().switchToInputSource(targetID, completion);
  });
}

bool LanguageSwitcher::selectDirectlyAfterHotKeyFailure(const std::string& expectedID) {
  auto list = selectableKeyboardSources();
  auto pos = positionOf(list, expectedID);
  if (!pos) {
    log("Fallback: input source " + expectedID + " not found - layout unchanged");
    return false;
  }
  int32_t status = selectInputSource(list[*pos]);
  if (status == 0) {
    log("Fallback: HotKey 61 did not switch the layout - selected " + expectedID + " directly");
    return true;
  }
  log("Fallback: TISSelectInputSource(" + expectedID + ") failed with code " + std::to_string(status));
  return false;
}

// ------------------------------------------------------------ questions

bool LanguageSwitcher::isCurrentSourceEnglish() const {
  auto id = engine_.currentInputSourceID();
  return id && KeyboardEngine::isEnglishInputSourceID(*id);
}

bool LanguageSwitcher::isKnownLayoutActive() const {
  const std::string& cached = engine_.inputSource.cachedLanguage;
  std::string l = lower(cached);
  bool thai = l.find("thai") != std::string::npos || l.find("kedmanee") != std::string::npos ||
              l.find("pattajoti") != std::string::npos;
  if (thai || KeyboardEngine::isEnglishInputSourceID(cached)) return true;
  return engine_.canCheckWords(engine_.layoutIdentifierInfo(cached));
}

void LanguageSwitcher::log(const std::string& message) {
  engine_.appLog().info(message, LogCategory::keyboard);
  engine_.appendToLastEventLog(message);
  engine_.log(message);
}

// ------------------------------------------------ engine's source fields

LanguageSwitcher KeyboardEngine::languageSwitcher() { return LanguageSwitcher(*this); }

bool KeyboardEngine::isEnglishInputSourceID(const std::string& id) { return tessa::isEnglishInputSourceID(id); }

bool KeyboardEngine::isCachedLanguageEnglish() const { return isEnglishInputSourceID(inputSource.cachedLanguage); }

void KeyboardEngine::setCachedLanguage(bool isEnglish) { inputSource.cachedLanguage = isEnglish ? kABC : kThai; }

std::optional<std::string> KeyboardEngine::currentInputSourceID() const {
  if (!platform().inputSources) return std::nullopt;
  auto current = platform().inputSources->currentKeyboardSource();
  if (!current || current->id.empty()) return std::nullopt;
  return current->id;
}

std::string KeyboardEngine::currentInputSourceIDOrDefault() const { return currentInputSourceID().value_or(kABC); }

std::string KeyboardEngine::targetInputSourceID() const {
  if (inputSource.cachedNextInputSourceID) return *inputSource.cachedNextInputSourceID;
  if (auto next = const_cast<KeyboardEngine*>(this)->languageSwitcher().nextInputSourceID()) return *next;
  return isEnglishInputSourceID(inputSource.cachedLanguage) ? kThai : kABC;
}

}  // namespace tessa
