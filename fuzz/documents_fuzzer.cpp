// The readers of the program's own files and of the server's manifest, fed
// the same bytes: the profiles, the stability statistics, the typo vault's
// plaintext, the clipboard history's plaintext and the vocabulary manifest.
// Each must take any bytes as a document or as a damaged one, and never
// throw past its caller or convert a number out of range.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "base/json_reading.h"
#include "clipboard/copy_cache_item.h"
#include "dictionaries/typo_habit_store.h"
#include "dictionaries/vocabulary_store.h"
#include "engine/value_types.h"
#include "reliability/stability_day.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  (void)tessa::decodeProfiles(text);
  try {
    (void)tessa::decodeStabilityDays(text);
  } catch (const std::runtime_error&) {
    // The caller's road for a damaged statistics file.
  }
  std::string why;
  (void)tessa::TypoHabitStore::decodeHabits(text, &why);
  (void)tessa::VocabularyStore::decodeManifest(text);
  // The clipboard history as its loader reads it.
  if (auto doc = tessa::parseJsonWithin(text); doc && doc->is_object())
    if (auto it = doc->find("items"); it != doc->end() && it->is_array())
      for (const auto& value : *it)
        if (auto item = tessa::CopyCacheItem::fromJson(value)) (void)item->toJson().dump();
  return 0;
}
