#pragma once
// The vocabulary packs as the engine runs them: the store's environment taken
// from the engine, and the one store of the process.
#include <memory>

#include "dictionaries/vocabulary_store.h"

namespace tessa {

class KeyboardEngine;

// The engine's defaults, platform, main queue and log; an installed pack
// rebuilds the engine's ignored-word list. The engine outlives the store.
VocabularyStoreEnvironment vocabularyStoreEnvironment(KeyboardEngine& engine);

// The one store of the process, made from `engine` on first use (none while
// there is no engine).
std::shared_ptr<VocabularyStore> sharedVocabularyStore(const std::shared_ptr<KeyboardEngine>& engine);

}  // namespace tessa
