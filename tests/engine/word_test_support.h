#pragma once
// Helpers shared by the word-set and dictionary tests: an engine with a
// memory keychain and a scripted spell checker (file helpers: support/file_bytes.h).
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/files.h"
#include "dictionaries/word_lists.h"
#include "engine/keyboard_engine.h"
#include "platform/sim/memory_keychain.h"
#include "support/engine_fixture.h"
#include "support/file_bytes.h"

namespace tessa::test {

// A spell checker whose languages and judgement a test sets; it counts the
// checks it was asked for.
class ScriptedSpellChecker final : public SpellChecker {
 public:
  std::vector<std::string> languages;
  std::function<bool(const std::string& text, const std::string& language)> accepts =
      [](const std::string&, const std::string&) { return true; };
  int checks = 0;

  std::vector<std::string> availableLanguages() override { return languages; }
  SpellRange checkSpelling(const std::string& text, int64_t, const std::string& language) override {
    ++checks;
    if (accepts(text, language)) return {};
    return {0, static_cast<int64_t>(text.size())};
  }
  bool isCorrect(const std::string& word, const std::string& language) override { return accepts(word, language); }
};

// Points the shipped-resource folder at `path` (empty: no resources) for the
// life of the object.
class ResourceFolderOverride {
 public:
  explicit ResourceFolderOverride(const std::string& path) {
    if (const char* old = std::getenv("TESSAVINOR_RESOURCES")) previous_ = old, hadPrevious_ = true;
    ::setenv("TESSAVINOR_RESOURCES", path.c_str(), 1);
  }
  ~ResourceFolderOverride() {
    if (hadPrevious_)
      ::setenv("TESSAVINOR_RESOURCES", previous_.c_str(), 1);
    else
      ::unsetenv("TESSAVINOR_RESOURCES");
  }

 private:
  std::string previous_;
  bool hadPrevious_ = false;
};

class WordEngineFixture : public EngineFixture {
 public:
  explicit WordEngineFixture(bool withShippedResources = false)
      : resources(withShippedResources ? std::string(TESSAVINOR_SOURCE_DIR) + "/data" : std::string()) {
    platform.keychain = &keychain;
    platform.spellChecker = &spell;
  }
  std::shared_ptr<KeyboardEngine> startEngine() {
    auto e = start();
    runner.runUntilIdle();
    return e;
  }

  ResourceFolderOverride resources;
  MemoryKeychain keychain;
  ScriptedSpellChecker spell;
};

}  // namespace tessa::test
