#include "engine/system_keyboard.h"

#include <gtest/gtest.h>

#include "platform/linux/linux_workspace.h"
#include "support/key_road_fixture.h"

namespace tessa {
namespace {

using test::KeyRoadFixture;
namespace sk = system_keyboard;

constexpr const char* kHotKeys = "com.apple.symbolichotkeys";
constexpr const char* kHotKeysKey = "AppleSymbolicHotKeys";

nlohmann::json hotKeys(KeyRoadFixture& f) { return f.desktop.preferences().storedValue(kHotKeys, kHotKeysKey).value(); }

std::vector<std::vector<std::string>> hidutilRuns(KeyRoadFixture& f) {
  std::vector<std::vector<std::string>> out;
  for (const auto& r : f.desktop.processes().runs())
    if (r.path == sk::kHidutilPath) out.push_back(r.arguments);
  return out;
}

TEST(SystemKeyboard, CapsLockSwitcherRemapsRebindsAndTurnsPerDocumentSourcesOff) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  nlohmann::json userEntry = hotKeys(f)["61"];
  e->applyModeSettings();
  EXPECT_TRUE(f.logged("applyModeSettings: switcherKey=Caps Lock, mode=1 - applying hidutil remap + F19 shortcut"));
  EXPECT_TRUE(f.desktop.processes().runs().empty()) << "the work waits for the settings queue";
  f.settle();

  EXPECT_EQ(hidutilRuns(f), (std::vector<std::vector<std::string>>{
                                sk::clearGlobalArguments(), sk::clearKeyboardsArguments(), sk::setGlobalArguments(),
                                sk::setKeyboardsArguments(), sk::readBackArguments()}));
  EXPECT_TRUE(f.desktop.capsLockRemappedToF19());
  EXPECT_TRUE(sk::isEnabledFnF19Entry(hotKeys(f)["61"]));
  EXPECT_EQ(hotKeys(f)["64"], SimPreferenceDomains::defaultSymbolicHotKeys()["64"]) << "other entries unchanged";
  EXPECT_EQ(f.defaults->dictionaryForKey("originalHotkey61"), userEntry);
  EXPECT_TRUE(f.logged("setupF19SystemShortcut: rewrote HotKey 61 to Fn+F19 (was enabled but different)"));
  EXPECT_TRUE(f.logged("applyModeSettings: hidutil readback=CapsLock->F19 OK, systemShortcutOK=true"));
  EXPECT_EQ(f.desktop.preferences().storedValue(sk::kHIToolboxDomain, "AppleSelectedInputSourcesPerDocument"),
            nlohmann::json(false));
  EXPECT_EQ(f.desktop.preferences().storedValue(sk::kHIToolboxDomain, "AppleGlobalInputSourcePerDocument"),
            nlohmann::json(false));
  EXPECT_EQ((*f.desktop.preferences().storedValue(sk::kHIToolboxDomain,
                                                   "AppleGlobalTextInputProperties"))["TextInputGlobalPropertyPerContextInput"],
            0);
  EXPECT_EQ(f.desktop.processes().activateSettingsCount(), 2) << "after the per-document change and hot key 61";
  EXPECT_EQ(f.desktop.privateSymbolCalls(),
            (std::vector<std::string>{"setTextInputGlobalProperty TextInputGlobalPropertyPerContextInput false",
                                      "setSymbolicHotKeyEnabled 61 true"}));
  EXPECT_EQ(e->statusMessage.get(), "Event Tap active. Mode: Option 2");

  // Applying again changes nothing that is already right.
  int writes = f.desktop.preferences().writeCount(kHotKeys);
  e->applyModeSettings();
  f.settle();
  EXPECT_EQ(f.desktop.preferences().writeCount(kHotKeys), writes);
  EXPECT_EQ(f.desktop.processes().activateSettingsCount(), 2);
  EXPECT_TRUE(f.logged("setupF19SystemShortcut: HotKey 61 already Fn+F19 and enabled - skipping"));
}

TEST(SystemKeyboard, OtherSwitchersOnlyClearTheRemapAndLeaveHotKey61) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->applyModeSettings();
  f.settle();
  f.desktop.processes().clearRuns();
  nlohmann::json ours = hotKeys(f)["61"];
  e->switcherKey.set(SwitcherKey::grave);
  EXPECT_TRUE(f.logged("applyModeSettings: switcherKey=Grave does not need the F19 remap - CLEARING hidutil mapping"));
  f.settle();
  EXPECT_EQ(hidutilRuns(f),
            (std::vector<std::vector<std::string>>{sk::clearGlobalArguments(), sk::clearKeyboardsArguments()}));
  EXPECT_FALSE(f.desktop.capsLockRemappedToF19());
  EXPECT_EQ(hotKeys(f)["61"], ours) << "hot key 61 stays ours until quit";
}

TEST(SystemKeyboard, AnAbsentEntry61IsNotRecordedButIsRemovedAgainAtQuit) {
  KeyRoadFixture f;
  auto keys = SimPreferenceDomains::defaultSymbolicHotKeys();
  keys.erase("61");
  f.desktop.preferences().setStoredValue(kHotKeys, kHotKeysKey, keys);
  auto e = f.startEngine();
  e->applyModeSettings();
  f.settle();
  EXPECT_FALSE(f.defaults->dictionaryForKey("originalHotkey61"));
  EXPECT_TRUE(f.logged("(was disabled or absent)"));
  EXPECT_TRUE(sk::isEnabledFnF19Entry(hotKeys(f)["61"]));

  e->restoreSystemKeyboardForQuit();
  EXPECT_FALSE(hotKeys(f).contains("61"));
  EXPECT_EQ(hotKeys(f)["64"], keys["64"]);
  EXPECT_FALSE(f.defaults->boolForKey(sk::kOriginalHotKey61AbsentKey));
  EXPECT_FALSE(f.desktop.capsLockRemappedToF19());
}

TEST(SystemKeyboard, ALeftOverDisabledF19EntryIsReEnabledNotRecorded) {
  KeyRoadFixture f;
  auto keys = SimPreferenceDomains::defaultSymbolicHotKeys();
  keys["61"] = sk::fnF19HotKeyEntry();
  keys["61"]["enabled"] = false;
  f.desktop.preferences().setStoredValue(kHotKeys, kHotKeysKey, keys);
  auto e = f.startEngine();
  e->applyModeSettings();
  f.settle();
  EXPECT_FALSE(f.defaults->dictionaryForKey("originalHotkey61"));
  EXPECT_TRUE(f.systemLog.contains("HotKey 61 currently holds our own F19 binding - not recording it as the original."));
  EXPECT_TRUE(sk::isEnabledFnF19Entry(hotKeys(f)["61"]));
}

TEST(SystemKeyboard, AnUnreadableHotKeyListShowsTheManualHintOnlyOnce) {
  KeyRoadFixture f;
  f.desktop.preferences().setStoredValue(kHotKeys, kHotKeysKey, nullptr);
  auto e = f.startEngine();
  e->applyModeSettings();
  f.settle();
  EXPECT_TRUE(f.systemLog.contains("Failed to read AppleSymbolicHotKeys"));
  EXPECT_TRUE(f.logged("systemShortcutOK=false"));
  EXPECT_TRUE(f.defaults->boolForKey("f19ManualShortcutHintShown"));
  EXPECT_TRUE(f.showedNotice("ตั้งค่า F19 shortcut ด้วยตัวเอง 1 ครั้ง"));

  f.advance(10);
  e->applyModeSettings();
  f.settle();
  auto notices = f.noticeMessages();
  EXPECT_EQ(std::count(notices.begin(), notices.end(), "ตั้งค่า F19 shortcut ด้วยตัวเอง 1 ครั้ง"), 1);
}

TEST(SystemKeyboard, QuitRestoresTheUsersHotKeyAndClearsTheRemap) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  nlohmann::json userEntry = hotKeys(f)["61"];
  e->applyModeSettings();
  f.settle();
  e->restoreSystemKeyboardForQuit();
  EXPECT_EQ(hotKeys(f)["61"], userEntry);
  EXPECT_FALSE(f.desktop.capsLockRemappedToF19());
  EXPECT_FALSE(f.defaults->dictionaryForKey("originalHotkey61"));
  EXPECT_TRUE(f.systemLog.contains("Successfully restored system HotKey 61 to original."));

  // A restore that finds nothing recorded does nothing.
  int writes = f.desktop.preferences().writeCount(kHotKeys);
  e->restoreOriginalHotKey61();
  EXPECT_EQ(f.desktop.preferences().writeCount(kHotKeys), writes);
}

TEST(SystemKeyboard, ARecordOfTheWrongTypeNeverLeavesOurShortcutBehind) {
  // Recording takes the user's entry in its place, and quit puts that back.
  {
    KeyRoadFixture f;
    f.defaults->setString("originalHotkey61", "not an entry");
    auto e = f.startEngine();
    nlohmann::json userEntry = hotKeys(f)["61"];
    e->applyModeSettings();
    f.settle();
    EXPECT_TRUE(f.systemLog.contains("Recorded original HotKey 61 is not a dictionary", "Keyboard"));
    EXPECT_EQ(f.defaults->dictionaryForKey("originalHotkey61"), userEntry);
    EXPECT_TRUE(sk::isEnabledFnF19Entry(hotKeys(f)["61"]));
    e->restoreSystemKeyboardForQuit();
    EXPECT_EQ(hotKeys(f)["61"], userEntry);
    EXPECT_EQ(f.defaults->kind("originalHotkey61"), UserDefaults::Kind::missing);
  }
  // Hot key 61 is already ours (a killed run) and the record is unusable:
  // quit takes ours away rather than leave it.
  for (bool applyFirst : {false, true}) {
    KeyRoadFixture f;
    auto keys = SimPreferenceDomains::defaultSymbolicHotKeys();
    keys["61"] = sk::fnF19HotKeyEntry();
    f.desktop.preferences().setStoredValue(kHotKeys, kHotKeysKey, keys);
    f.defaults->setInteger("originalHotkey61", 7);
    auto e = f.startEngine();
    if (applyFirst) {
      keys["61"]["enabled"] = 0;  // ours but off: rewritten, and the record dropped
      f.desktop.preferences().setStoredValue(kHotKeys, kHotKeysKey, keys);
      e->applyModeSettings();
      f.settle();
      ASSERT_TRUE(sk::isEnabledFnF19Entry(hotKeys(f)["61"]));
    }
    e->restoreSystemKeyboardForQuit();
    EXPECT_FALSE(hotKeys(f).contains("61")) << applyFirst;
    EXPECT_EQ(hotKeys(f)["64"], keys["64"]);
    EXPECT_EQ(f.defaults->kind("originalHotkey61"), UserDefaults::Kind::missing);
    EXPECT_FALSE(f.defaults->boolForKey(sk::kOriginalHotKey61AbsentKey));
  }
}

TEST(SystemKeyboard, AFailedRestoreKeepsTheRecordForTheNextQuit) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->applyModeSettings();
  f.settle();
  f.desktop.preferences().setSynchronizeFails(kHotKeys, true);
  e->restoreOriginalHotKey61();
  EXPECT_TRUE(f.systemLog.contains("Failed to synchronize restored com.apple.symbolichotkeys preferences."));
  EXPECT_TRUE(f.defaults->dictionaryForKey("originalHotkey61"));
}

TEST(SystemKeyboard, QuitNeverRacesAnApplyStillQueued) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  nlohmann::json userEntry = hotKeys(f)["61"];
  // The apply is queued but has not run when quit begins.
  e->applyModeSettings();
  e->restoreSystemKeyboardForQuit();
  f.settle();
  EXPECT_FALSE(f.desktop.capsLockRemappedToF19());
  EXPECT_EQ(hotKeys(f)["61"], userEntry);
  for (const auto& args : hidutilRuns(f)) EXPECT_NE(args, sk::setGlobalArguments()) << "the queued apply did nothing";

  // Applies asked for after quit began do nothing either.
  e->applyModeSettings();
  f.settle();
  EXPECT_FALSE(f.desktop.capsLockRemappedToF19());
}

TEST(SystemKeyboard, AToolThatFailsOrHangsIsReportedAsAFailure) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  SimProcessRunner::Behavior exitOne;
  exitOne.exitStatus = 1;
  f.desktop.processes().setBehavior(sk::kHidutilPath, exitOne);
  e->setHIDUtilMapping();
  EXPECT_TRUE(f.systemLog.contains("Failed to set hidutil mapping: exit status 1"));
  EXPECT_FALSE(f.systemLog.contains("Successfully set hidutil"));
  EXPECT_EQ(hidutilRuns(f).size(), 1u) << "a failed first call skips the second";

  SimProcessRunner::Behavior hangs;
  hangs.hangs = true;
  f.desktop.processes().setBehavior(sk::kActivateSettingsPath, hangs);
  double before = f.clock.uptime();
  e->runActivateSettings();
  EXPECT_TRUE(f.systemLog.contains("Failed to run activateSettings: timed out after 5 s - killed"));
  EXPECT_DOUBLE_EQ(f.clock.uptime() - before, sk::kToolTimeoutSeconds);

  SimProcessRunner::Behavior cannotLaunch;
  cannotLaunch.launchFails = true;
  cannotLaunch.launchError = "no such file";
  f.desktop.processes().setBehavior(sk::kHidutilPath, cannotLaunch);
  e->clearHIDUtilMapping();
  EXPECT_TRUE(f.systemLog.contains("Failed to clear hidutil mapping: no such file"));
  EXPECT_EQ(e->verifyHIDUtilMapping(), "read failed: no such file");
}

TEST(SystemKeyboard, TheReadBackSummary) {
  EXPECT_EQ(sk::summarizeMappingOutput(""), "EMPTY");
  EXPECT_EQ(sk::summarizeMappingOutput("  (\n)\n"), "EMPTY");
  EXPECT_EQ(sk::summarizeMappingOutput("()\n"), "EMPTY");
  EXPECT_EQ(sk::summarizeMappingOutput("(\n {\n HIDKeyboardModifierMappingDst = 30064771182;\n }\n)"),
            "CapsLock->F19 OK");
  EXPECT_EQ(sk::summarizeMappingOutput("(\n    {\n        Other = 1;\n    }\n)\n"), "({Other=1;})");
}

TEST(SystemKeyboard, WithoutTheSystemChangeFlagOnlyTheReadBackRuns) {
  KeyRoadFixture f;
  f.platform.hasBundleIdentifier = false;
  auto e = f.startEngine();
  nlohmann::json before = hotKeys(f);
  e->applyModeSettings();
  f.settle();
  EXPECT_EQ(hidutilRuns(f), (std::vector<std::vector<std::string>>{sk::readBackArguments()}));
  EXPECT_EQ(hotKeys(f), before);
  EXPECT_TRUE(f.systemLog.contains(
      "setHIDUtilMapping(): skipped (test harness) - would have changed this machine's keyboard system-wide"));
  EXPECT_TRUE(f.logged("systemShortcutOK=true"));
  e->restoreSystemKeyboardForQuit();
  EXPECT_EQ(hotKeys(f), before);
}

TEST(SystemKeyboard, CommandSpaceConflictReadsHotKey64) {
  KeyRoadFixture f;
  auto* prefs = &f.desktop.preferences();
  auto keys = SimPreferenceDomains::defaultSymbolicHotKeys();
  EXPECT_TRUE(SymbolicHotKeys::commandSpaceConflicts(SwitcherKey::commandSpace, prefs));
  EXPECT_FALSE(SymbolicHotKeys::commandSpaceConflicts(SwitcherKey::optionSpace, prefs));

  keys["64"]["value"]["parameters"] = {32, 49, 0x100000 | 0x20000};
  prefs->setStoredValue(kHotKeys, kHotKeysKey, keys);
  EXPECT_FALSE(SymbolicHotKeys::isHotKey64CommandSpace(prefs)) << "Command+Shift+Space is no conflict";

  keys["64"]["value"]["parameters"] = {32, 49, 0x100000};
  keys["64"]["enabled"] = false;
  prefs->setStoredValue(kHotKeys, kHotKeysKey, keys);
  EXPECT_FALSE(SymbolicHotKeys::isHotKey64CommandSpace(prefs)) << "disabled";
  keys["64"]["enabled"] = 0;
  prefs->setStoredValue(kHotKeys, kHotKeysKey, keys);
  EXPECT_FALSE(SymbolicHotKeys::isHotKey64CommandSpace(prefs));

  keys["64"]["value"]["parameters"] = {32, 49};
  prefs->setStoredValue(kHotKeys, kHotKeysKey, keys);
  EXPECT_TRUE(SymbolicHotKeys::isHotKey64CommandSpace(prefs)) << "unreadable counts as a conflict";
  keys.erase("64");
  prefs->setStoredValue(kHotKeys, kHotKeysKey, keys);
  EXPECT_TRUE(SymbolicHotKeys::isHotKey64CommandSpace(prefs));
}

TEST(SystemKeyboard, APerDocumentRevertBannerShowsAtMostOnceIn300Seconds) {
  KeyRoadFixture f;
  auto e = f.startEngine();
  e->showPerDocumentRevertBanner();
  f.advance(200);
  e->showPerDocumentRevertBanner();
  EXPECT_EQ(f.loggedCount("Per-document revert detected: showing guidance HUD banner"), 1);
  f.advance(101);
  e->showPerDocumentRevertBanner();
  EXPECT_EQ(f.loggedCount("Per-document revert detected: showing guidance HUD banner"), 2);
}

// A desktop that keeps a layout per window has no keyboard pane for us to
// open: the notice says what to change and offers no button (it had one that
// opened the other platform's pane, which Linux only logs).
TEST(SystemKeyboard, WithoutAKeyboardPaneThePerDocumentRevertNoticeHasNoButton) {
  KeyRoadFixture f;
  LinuxWorkspace workspace(f.runner, "com.Ovrelan.Tessavinor", {}, [](const std::string&) { return true; });
  f.platform.workspace = &workspace;
  auto e = f.startEngine();
  e->showPerDocumentRevertBanner();
  f.settle();
  ASSERT_EQ(f.panel->shownNotices().size(), 1u);
  const auto& notice = f.panel->shownNotices()[0].content;
  EXPECT_EQ(notice["kind"], "status");
  EXPECT_FALSE(notice.contains("actionTitle"));
  EXPECT_EQ(notice["subMessage"], e->localized("hud_per_doc_sub"));
}

}  // namespace
}  // namespace tessa
