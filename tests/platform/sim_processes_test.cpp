// Child processes on the simulated desktop: the hidutil fake and its effect on
// the keyboard, the settings-activation tool, failure knobs.
#include <gtest/gtest.h>

#include "platform/sim/sim_desktop.h"

namespace tessa {
namespace {

const std::string kMapping =
    R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":30064771129,"HIDKeyboardModifierMappingDst":30064771182}]})";
const std::string kKeyboards = R"({"PrimaryUsagePage":1,"PrimaryUsage":6})";
const std::string kEmpty = R"({"UserKeyMapping":[]})";

// What the engine does with the read-back: trim, then drop line feeds and spaces.
std::string compact(std::string s) {
  std::erase(s, '\n');
  std::erase(s, ' ');
  return s;
}

class SimProcessesTest : public ::testing::Test {
 protected:
  ManualClock clock;
  ManualTaskRunner runner{clock};
  SimDesktop desk{clock, runner};
  ProcessResult hidutil(std::vector<std::string> args) { return desk.processes().run("/usr/bin/hidutil", args, 5); }
};

TEST_F(SimProcessesTest, HidutilSetGetClearRoundTrip) {
  EXPECT_EQ(hidutil({"property", "--get", "UserKeyMapping"}).output, "(null)\n");

  auto setGlobal = hidutil({"property", "--set", kMapping});
  EXPECT_TRUE(setGlobal.launched);
  EXPECT_EQ(setGlobal.exitStatus, 0);
  EXPECT_EQ(hidutil({"property", "--matching", kKeyboards, "--set", kMapping}).exitStatus, 0);
  auto get = hidutil({"property", "--get", "UserKeyMapping"});
  EXPECT_EQ(get.output,
            "(\n        {\n        HIDKeyboardModifierMappingDst = 30064771182;\n"
            "        HIDKeyboardModifierMappingSrc = 30064771129;\n    }\n)\n");
  EXPECT_NE(compact(get.output).find("30064771182"), std::string::npos);
  EXPECT_TRUE(desk.capsLockRemappedToF19());

  EXPECT_EQ(hidutil({"property", "--set", kEmpty}).exitStatus, 0);
  EXPECT_EQ(hidutil({"property", "--matching", kKeyboards, "--set", kEmpty}).exitStatus, 0);
  EXPECT_EQ(hidutil({"property", "--get", "UserKeyMapping"}).output, "()\n");
  EXPECT_FALSE(desk.capsLockRemappedToF19());

  auto runs = desk.processes().runs();
  ASSERT_EQ(runs.size(), 7u);
  EXPECT_EQ(runs[2].arguments, (std::vector<std::string>{"property", "--matching", kKeyboards, "--set", kMapping}));
}

TEST_F(SimProcessesTest, HidutilMatchingOnlyReachesTheKeyboardItMatches) {
  // A mouse is not the keyboard: nothing changes.
  EXPECT_EQ(hidutil({"property", "--matching", R"({"PrimaryUsagePage":1,"PrimaryUsage":2})", "--set", kMapping})
                .exitStatus,
            0);
  EXPECT_FALSE(desk.capsLockRemappedToF19());
  // The keyboard alone: the keyboard is remapped, the global property is not set.
  hidutil({"property", "--matching", kKeyboards, "--set", kMapping});
  EXPECT_TRUE(desk.capsLockRemappedToF19());
  EXPECT_EQ(hidutil({"property", "--get", "UserKeyMapping"}).output, "(null)\n");
  EXPECT_NE(hidutil({"property", "--matching", kKeyboards, "--get", "UserKeyMapping"}).output.find("30064771182"),
            std::string::npos);
}

TEST_F(SimProcessesTest, HidutilRejectsWhatItCannotParse) {
  auto bad = hidutil({"property", "--set", "{UserKeyMapping:"});
  EXPECT_TRUE(bad.launched);
  EXPECT_NE(bad.exitStatus, 0);
  EXPECT_FALSE(bad.errorOutput.empty());
  EXPECT_NE(hidutil({"property", "--set", R"({"UserKeyMapping":[{"HIDKeyboardModifierMappingSrc":"x"}]})"})
                .exitStatus,
            0);
  EXPECT_NE(hidutil({"list"}).exitStatus, 0);
  EXPECT_NE(hidutil({"property", "--get"}).exitStatus, 0);
  EXPECT_FALSE(desk.capsLockRemappedToF19());
}

TEST_F(SimProcessesTest, ToolKnobsAndUnknownTools) {
  auto& procs = desk.processes();
  auto unknown = procs.run("/usr/bin/nonexistent", {"-x"}, 5);
  EXPECT_FALSE(unknown.launched);
  EXPECT_EQ(unknown.launchError, "The file “nonexistent” doesn’t exist.");

  const std::string activate = SimProcessRunner::kActivateSettingsPath;
  EXPECT_EQ(procs.run(activate, {"-u"}, 5).exitStatus, 0);
  EXPECT_EQ(procs.activateSettingsCount(), 1);

  SimProcessRunner::Behavior launchFails;
  launchFails.launchFails = true;
  launchFails.launchError = "denied";
  procs.setBehavior(activate, launchFails);
  auto failed = procs.run(activate, {"-u"}, 5);
  EXPECT_FALSE(failed.launched);
  EXPECT_EQ(failed.launchError, "denied");
  EXPECT_EQ(procs.activateSettingsCount(), 1);

  SimProcessRunner::Behavior exits3;
  exits3.exitStatus = 3;
  procs.setBehavior("/usr/bin/hidutil", exits3);
  auto nonZero = hidutil({"property", "--set", kMapping});
  EXPECT_TRUE(nonZero.launched);
  EXPECT_EQ(nonZero.exitStatus, 3);

  SimProcessRunner::Behavior hangs;
  hangs.hangs = true;
  procs.setBehavior("/usr/bin/hidutil", hangs);
  double before = clock.uptime();
  auto hung = procs.run("/usr/bin/hidutil", {"property", "--get", "UserKeyMapping"}, 2.5);
  EXPECT_TRUE(hung.launched);
  EXPECT_TRUE(hung.timedOut);
  EXPECT_DOUBLE_EQ(clock.uptime() - before, 2.5);

  procs.clearBehavior("/usr/bin/hidutil");
  procs.registerTool("/usr/bin/true", [](const std::vector<std::string>&) {
    ProcessResult r;
    r.launched = true;
    r.exitStatus = 0;
    return r;
  });
  EXPECT_TRUE(procs.run("/usr/bin/true", {}, 1).launched);
  EXPECT_EQ(procs.runCount("/usr/bin/hidutil"), 2);
  EXPECT_EQ(procs.runs().size(), 6u);
}

TEST_F(SimProcessesTest, PreferenceDomainsSeparateTheProcessViewFromTheStoredOne) {
  auto& prefs = desk.preferences();
  const std::string domain = "com.apple.HIToolbox";
  EXPECT_FALSE(prefs.copyValue(domain, "AppleGlobalInputSourcePerDocument"));
  prefs.setValue(domain, "AppleGlobalInputSourcePerDocument", false);
  EXPECT_EQ(prefs.copyValue(domain, "AppleGlobalInputSourcePerDocument"), nlohmann::json(false));
  EXPECT_FALSE(prefs.storedValue(domain, "AppleGlobalInputSourcePerDocument"));
  prefs.setSynchronizeFails(domain, true);
  EXPECT_FALSE(prefs.synchronize(domain));
  EXPECT_FALSE(prefs.storedValue(domain, "AppleGlobalInputSourcePerDocument"));
  prefs.setSynchronizeFails(domain, false);
  EXPECT_TRUE(prefs.synchronize(domain));
  EXPECT_EQ(prefs.storedValue(domain, "AppleGlobalInputSourcePerDocument"), nlohmann::json(false));
  prefs.setValue(domain, "AppleGlobalInputSourcePerDocument", nullptr);
  EXPECT_FALSE(prefs.copyValue(domain, "AppleGlobalInputSourcePerDocument"));

  // A fresh account has the stock hot keys; a test can start without any.
  auto hotKeys = prefs.copyValue("com.apple.symbolichotkeys", "AppleSymbolicHotKeys");
  ASSERT_TRUE(hotKeys);
  EXPECT_EQ((*hotKeys)["64"]["value"]["parameters"], nlohmann::json({32, 49, 1048576}));
  // Control+Option+Space, as the system ships it.
  EXPECT_EQ(desk.nextSourceHotKey(), std::make_optional(std::make_pair<uint16_t, uint64_t>(49, 0xC0000)));
  prefs.clearDomain("com.apple.symbolichotkeys");
  EXPECT_FALSE(prefs.copyValue("com.apple.symbolichotkeys", "AppleSymbolicHotKeys"));
  EXPECT_FALSE(desk.nextSourceHotKey());
}

TEST_F(SimProcessesTest, LogHapticsAndPrivateSwitchesAreRecorded) {
  Platform p = desk.platform();
  EXPECT_TRUE(p.hasBundleIdentifier);
  EXPECT_EQ(p.workspace->bundleIdentifier(), "com.Ovrelan.Tessavinor");
  p.systemLog->write("com.Ovrelan.Tessavinor", "Keyboard", LogLevel::error, "Failed to read AppleSymbolicHotKeys",
                     false);
  p.systemLog->console("hello");
  EXPECT_TRUE(desk.systemLog().contains("AppleSymbolicHotKeys", "Keyboard"));
  EXPECT_FALSE(desk.systemLog().contains("AppleSymbolicHotKeys", "Other"));
  EXPECT_EQ(desk.systemLog().lines()[0].level, LogLevel::error);
  EXPECT_EQ(desk.systemLog().consoleLines(), std::vector<std::string>{"hello"});
  p.haptics->perform("alignment");
  EXPECT_EQ(desk.haptics().calls(), std::vector<std::string>{"perform alignment"});
  ASSERT_TRUE(p.privateSymbols.setSymbolicHotKeyEnabled);
  p.privateSymbols.setSymbolicHotKeyEnabled(61, true);
  EXPECT_EQ(desk.privateSymbolCalls(), std::vector<std::string>{"setSymbolicHotKeyEnabled 61 true"});
  desk.setPrivateSymbolsAvailable(false);
  desk.setHasBundleIdentifier(false);
  Platform q = desk.platform();
  EXPECT_FALSE(q.privateSymbols.setSymbolicHotKeyEnabled);
  EXPECT_FALSE(q.hasBundleIdentifier);
}

}  // namespace
}  // namespace tessa
