#pragma once
// The clipboard history on the simulated desktop with an editor in front: how
// the cases of the history, and of the models and windows that show it, start.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/task_runner.h"
#include "base/user_defaults.h"
#include "clipboard/copy_cache_crypto_store.h"
#include "clipboard/copy_cache_manager.h"
#include "platform/sim/sim_desktop.h"
#include "support/temp_home.h"

namespace tessa::test {

class CopyCacheFixture : public ::testing::Test {
 protected:
  CopyCacheFixture() : desk(clock, main) {
    CopyCacheCryptoStore::resetInMemoryKeyForTesting();
    desk.launchApplication("org.example.Editor", "Editor");
    desk.activateApplication("org.example.Editor");
    main.runUntilIdle();
  }

  // A history on this desktop, clock, main queue and defaults, with its vault
  // in `folder` and its log lines kept in logLines.
  CopyCacheManagerEnvironment copyCacheEnvironment(std::filesystem::path folder) {
    CopyCacheManagerEnvironment env;
    env.platform = desk.platform();
    env.clock = &clock;
    env.main = &main;
    env.defaults = &defaults;
    env.folder = std::move(folder);
    env.log = [this](const std::string& line) { logLines.push_back(line); };
    return env;
  }

  TempHome home;
  ManualClock clock;
  ManualTaskRunner main{clock};
  SimDesktop desk;
  UserDefaults defaults;
  std::vector<std::string> logLines;
};

}  // namespace tessa::test
