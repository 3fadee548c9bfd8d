#pragma once
// What the clipboard page and the one-time notice say of a clipboard history
// that could not be opened and was kept aside: why, and where it lies.
#include <string>

#include "clipboard/copy_cache_manager.h"

namespace tessa {

struct HistorySetAsideNote {
  std::string title;
  std::string detail;  // why, and where the history now lies
  std::string dismiss;
};

// In Thai for "th", in English for every other language.
HistorySetAsideNote describeHistorySetAside(const CopyCacheManager::SetAside& aside, const std::string& language);

}  // namespace tessa
