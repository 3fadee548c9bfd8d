// The keyboard layouts the correction works with: which are in the cycle,
// what a list of keystrokes types in one of them, and the languages behind
// their identifiers.
#include <algorithm>
#include <cctype>

#include "typing/typing_flow_controller.h"
#include "engine/keyboard_engine.h"
#include "engine/language_switcher.h"
#include "l10n/localization.h"

namespace tessa {

namespace {
std::string asciiLower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool contains(const std::string& haystack, const char* needle) { return haystack.find(needle) != std::string::npos; }
}  // namespace

std::vector<InputSourceInfo> KeyboardEngine::cycleKeyboardLayouts() const {
  // Kept until the enabled list changes: the tracker asks for every
  // committed word, and the list comes from the system.
  if (!correction.cycleLayoutsCache)
    correction.cycleLayoutsCache = const_cast<KeyboardEngine*>(this)->languageSwitcher().selectableKeyboardSources();
  return *correction.cycleLayoutsCache;
}

std::optional<InputSourceInfo> KeyboardEngine::inputSourceWithID(const std::string& id) const {
  for (auto& source : cycleKeyboardLayouts())
    if (source.id == id) return source;
  return std::nullopt;
}

std::string KeyboardEngine::renderInLayout(const std::vector<KeyStroke>& strokes,
                                           const std::optional<InputSourceInfo>& source) const {
  if (!source || !platform().inputSources) return "";
  auto layout = platform().inputSources->layoutFor(source->id);
  if (!layout) return "";
  std::string text;
  uint32_t deadKeyState = 0;
  for (const auto& k : strokes) text += layout->translate(k.keyCode, k.shiftActive ? flags::shift : 0, deadKeyState);
  return text;
}

std::string KeyboardEngine::layoutIdentifierInfo(const std::string& inputSourceID) const {
  if (auto* sources = platform().inputSources) {
    if (auto list = sources->enabledSources()) {
      for (const auto& s : *list)
        if (s.id == inputSourceID && !s.languages.empty()) return s.languages.front();
    }
  }
  // Sources the system does not describe are named by their identifier.
  if (auto xkb = xkbSourceLanguage(inputSourceID); !xkb.empty()) return xkb;
  std::string id = asciiLower(inputSourceID);
  if (contains(id, "thai") || contains(id, "kedmanee") || contains(id, "pattajoti")) return "th";
  if (contains(id, "lao")) return "lo";
  if (contains(id, "vietnam")) return "vi";
  if (isEnglishInputSourceID(inputSourceID)) return "en";
  return "";
}

std::string KeyboardEngine::currentInputSourceLanguage() const {
  if (platform().inputSources) {
    if (auto src = platform().inputSources->currentKeyboardSource(); src && !src->languages.empty())
      return src->languages.front();
  }
  return "en";
}

bool KeyboardEngine::isLanguageEnabled(const std::string& language) const {
  auto cut = [](std::string s) {
    s = asciiLower(std::move(s));
    if (auto p = s.find('_'); p != std::string::npos) s.resize(p);
    return s;
  };
  const std::string wanted = cut(language);
  for (const auto& available : availableSpellingLanguages.get())
    if (cut(available) == wanted) return true;
  return false;
}

void KeyboardEngine::retargetKeyEvent(Event& event) {
  if (auto id = currentInputSourceID()) retargetKeyEvent(event, *id);
}

void KeyboardEngine::retargetKeyEvent(Event& event, const std::string& sourceID) {
  if (!event.isKey() || (event.flags & (flags::control | flags::command)) || !platform().inputSources) return;
  auto layout = platform().inputSources->layoutFor(sourceID);
  if (!layout) return;
  uint32_t deadKeyState = 0;
  std::string text = layout->translate(event.keyCode, event.flags & (flags::shift | flags::option | flags::capsLock),
                                       deadKeyState);
  // Keys that type nothing in that layout (Delete, arrows, dead keys) keep
  // what they carry.
  if (!text.empty()) event.unicode = std::move(text);
}

}  // namespace tessa
