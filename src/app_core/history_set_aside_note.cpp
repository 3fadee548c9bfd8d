#include "app_core/history_set_aside_note.h"

#include "l10n/localization.h"

namespace tessa {

HistorySetAsideNote describeHistorySetAside(const CopyCacheManager::SetAside& aside, const std::string& language) {
  auto text = [&](std::string_view key) { return thaiOrEnglishText(key, language); };
  const bool keyMissing = aside.reason == CopyCacheManager::SetAside::Reason::keyMissing;
  return {text("history_set_aside_title"),
          formatLocalized(text(keyMissing ? "history_set_aside_key_missing" : "history_set_aside_unreadable"),
                          {aside.path}),
          text("history_set_aside_dismiss")};
}

}  // namespace tessa
