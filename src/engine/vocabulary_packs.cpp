#include "engine/vocabulary_packs.h"

#include "base/endpoints.h"
#include "engine/keyboard_engine.h"

namespace tessa {

VocabularyStoreEnvironment vocabularyStoreEnvironment(KeyboardEngine& engine) {
  VocabularyStoreEnvironment env;
  env.defaults = &engine.defaults();
  env.platform = &engine.platform();
  env.mainQueue = &engine.mainQueue();
  env.log = [&engine](const std::string& line) { engine.log(line); };
  env.packsInstalled = [&engine] { engine.rebuildDeveloperWhitelist(); };
  return env;
}

std::shared_ptr<VocabularyStore> sharedVocabularyStore(const std::shared_ptr<KeyboardEngine>& engine) {
  static std::shared_ptr<VocabularyStore> store;
  if (!store) {
    if (!engine) return nullptr;
    store = VocabularyStore::create(vocabularyStoreEnvironment(*engine), Endpoints::packsManifest());
  }
  return store;
}

}  // namespace tessa
