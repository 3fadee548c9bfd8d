// Converting the word at the caret, undoing and redoing it, on a simulated
// field that deletes either user-perceived characters or code points.
#include "dictionaries/typo_habit_store.h"
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <tuple>

#include "base/files.h"
#include "base/unicode.h"
#include "engine/flow_fixture.h"
#include "engine/hud_notices.h"
#include "hud/unified_menu_panel.h"
#include "l10n/localization.h"

namespace tessa::test {
namespace {

class ConversionTest : public FlowTest {
 protected:
  // "กิน" as typed on the Thai layout with the keys d, b, o: three code points
  // in two user-perceived characters.
  std::string kin() { return thai("dbo"); }
  size_t deletesPosted() const {
    size_t n = 0;
    for (const auto& e : desk.postedEvents())
      if (e.type == EventType::keyDown && e.keyCode == keycode::deleteKey) ++n;
    return n;
  }
};

class ConversionUnitTest : public ConversionTest, public ::testing::WithParamInterface<DeletionUnit> {
 protected:
  void SetUp() override { field().setDeletionUnit(GetParam()); }
};

TEST_P(ConversionUnitTest, ConvertsUndoesAndRedoesTheWordAtTheCaret) {
  startWith("I ate " + kin(), kThai);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  EXPECT_EQ(field().text(), "I ate dbo");
  EXPECT_EQ(field().caret(), 9);
  EXPECT_EQ(desk.currentSource(), kABC);
  ASSERT_EQ(engine->conversion.undoStack().size(), 1u);
  EXPECT_EQ(engine->conversion.undoStack().back().original, kin());
  EXPECT_EQ(engine->conversion.undoStack().back().converted, "dbo");
  EXPECT_TRUE(engine->conversion.isUndoPossible());
  EXPECT_EQ(engine->totalCorrections.get(), 1);
  EXPECT_EQ(engine->totalCorrectionsEN.get(), 1);
  // Never more Deletes than the word has code points: nothing before it goes.
  EXPECT_LE(deletesPosted(), 3u);

  engine->handleUndoRedoToggle();
  advance(1.0);
  EXPECT_EQ(field().text(), "I ate " + kin());
  EXPECT_EQ(desk.currentSource(), kThai);
  EXPECT_EQ(engine->totalUndos.get(), 1);
  EXPECT_EQ(engine->flow.pendingRejection, std::optional<std::string>(kin()));
  EXPECT_EQ(engine->flow.lastUndoneWord, std::optional<std::string>(kin()));
  EXPECT_TRUE(engine->conversion.undoStack().empty());
  EXPECT_EQ(engine->conversion.redoStack().size(), 1u);

  engine->handleUndoRedoToggle();  // the undo stack is exhausted: redo
  advance(1.0);
  EXPECT_EQ(field().text(), "I ate dbo");
  EXPECT_EQ(desk.currentSource(), kABC);
  EXPECT_FALSE(engine->flow.pendingRejection.has_value());
  EXPECT_FALSE(engine->flow.lastUndoneWord.has_value());
  EXPECT_EQ(engine->conversion.undoStack().size(), 1u);
}

TEST_P(ConversionUnitTest, DeletesOnlyTheWordWhicheverUnitTheFieldDeletes) {
  startWith("x dbo", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  ASSERT_EQ(field().text(), "x " + kin());
  size_t before = deletesPosted();
  engine->performUndo();  // deletes "กิน": 2 characters, 3 code points
  advance(1.0);
  EXPECT_EQ(field().text(), "x dbo");
  const size_t deletes = GetParam() == DeletionUnit::codePoint ? 3u : 2u;
  EXPECT_EQ(deletesPosted() - before, deletes);
  // What one Delete took of "กิ" is known from then on: the word goes in one
  // round of Deletes, no more than it needs.
  ASSERT_TRUE(engine->conversion.deleteTakes(SimDesktop::kDefaultAppBundleID, toUtf16(thai("db"))));
  engine->performRedo();
  advance(1.0);
  ASSERT_EQ(field().text(), "x " + kin());
  before = deletesPosted();
  engine->performUndo();
  advance(1.0);
  EXPECT_EQ(field().text(), "x dbo");
  EXPECT_EQ(deletesPosted() - before, deletes);
}

// English words typed on the Thai layout whose first key types a mark that
// sits on the blank before the word (h, j, u, y, b, n...), after other text:
// whatever a Delete takes (a code point, the mark with the blank it sits on,
// or the whole character), the text before the word stays exactly as it was
// through the conversion, its undo and its redo, and no notice says
// anything was lost.
TEST_P(ConversionUnitTest, AWordStartingWithMarksLeavesTheTextBeforeItAsItWas) {
  for (const std::string before : {"ok ", "good morning ", "x\n"}) {
    for (const std::string word : {"hello", "just", "union", "yes", "bye", "night"}) {
      SCOPED_TRACE(before + word);
      startWith(before + thai(word), kThai);
      engine->cycleCurrentWordLanguage();
      advance(1.0);
      EXPECT_EQ(field().text(), before + word);
      engine->handleUndoRedoToggle();
      advance(1.0);
      EXPECT_EQ(field().text(), before + thai(word));
      engine->handleUndoRedoToggle();
      advance(1.0);
      EXPECT_EQ(field().text(), before + word);
      EXPECT_EQ(desk.currentSource(), kABC);
      EXPECT_FALSE(logged("may be gone"));
      engine->setIsUndoPossible(false);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryUnit, ConversionUnitTest,
                         ::testing::Values(DeletionUnit::graphemeCluster, DeletionUnit::codePoint,
                                           DeletionUnit::markWithBase),
                         [](const auto& info) {
                           return info.param == DeletionUnit::codePoint         ? "CodePoints"
                                  : info.param == DeletionUnit::graphemeCluster ? "GraphemeClusters"
                                                                                : "MarksWithTheirBase";
                         });

TEST_F(ConversionTest, ConvertsTheSelectionInPlace) {
  startWith("xx dbo yy", kABC);
  field().setSelection({3, 3});
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  EXPECT_EQ(field().text(), "xx " + kin() + " yy");
}

// The layout changes before the converted word is typed, so that each of its
// keys types its character in the layout it belongs to (a window system that
// types by key codes then needs no borrowed key for it).
TEST_F(ConversionTest, TheLayoutChangesBeforeTheConvertedWordIsTyped) {
  startWith("x dbo", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  ASSERT_EQ(field().text(), "x " + kin());
  const auto& posted = desk.postedEvents();
  auto isDown = [](const Event& e) { return e.type == EventType::keyDown; };
  auto switchKey = std::find_if(posted.begin(), posted.end(),
                                [&](const Event& e) { return isDown(e) && e.keyCode == keycode::f19; });
  auto firstTyped = std::find_if(posted.begin(), posted.end(),
                                 [&](const Event& e) { return isDown(e) && !e.unicode.empty(); });
  ASSERT_NE(switchKey, posted.end());
  ASSERT_NE(firstTyped, posted.end());
  EXPECT_LT(switchKey - posted.begin(), firstTyped - posted.begin());
}

// Each character by the key and Shift state that types it, a vowel mark
// after its consonant: no character goes as bare text, for which a window
// system that types by key codes would have to lend a key.
TEST_F(ConversionTest, EachCharacterOfTheConvertedWordIsTypedByItsOwnKey) {
  startWith("x Cl;y", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  ASSERT_EQ(field().text(), "x " + thai("Cl;y"));
  std::vector<std::tuple<uint16_t, bool, std::string>> typed;
  for (const auto& e : desk.postedEvents())
    if (e.type == EventType::keyDown && !e.unicode.empty())
      typed.emplace_back(e.keyCode, (e.flags & flags::shift) != 0, e.unicode);
  const std::vector<std::tuple<uint16_t, bool, std::string>> expected{{keycode::c, true, thai("C")},
                                                                      {keycode::l, false, thai("l")},
                                                                      {keycode::semicolon, false, thai(";")},
                                                                      {keycode::y, false, thai("y")}};
  EXPECT_EQ(typed, expected);
}

// The application rewrites its field while the Deletes are on their way:
// the look after them sees it, and nothing is typed into the new text.
TEST_F(ConversionTest, AChangedScreenRefusesTheConversionAndSaysSo) {
  startWith("I ate " + kin(), kThai);
  engine->cycleCurrentWordLanguage();
  field().setText("I ate something else");
  advance(1.0);
  EXPECT_EQ(field().text().rfind("I ate something e", 0), 0u) << field().text();
  EXPECT_EQ(desk.currentSource(), kThai) << "the layout switched for the word is switched back";
  EXPECT_TRUE(engine->conversion.undoStack().empty());
  EXPECT_EQ(engine->totalCorrections.get(), 0);
  EXPECT_TRUE(logged("cycleCurrentWordLanguage: the text did not match after deleting - refused because the "
                     "screen changed"));
  EXPECT_TRUE(logged("HUD: no panel") || fx.systemLog.contains("showStatusHUD"));
  EXPECT_FALSE(engine->conversion.isEditInFlight());
}

TEST_F(ConversionTest, UndoIsRefusedWhenTheWordIsNoLongerAtTheCaret) {
  startWith("x dbo", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  field().setCaret(0);
  engine->performUndo();
  advance(1.0);
  EXPECT_EQ(field().text(), "x " + kin());
  EXPECT_EQ(engine->conversion.undoStack().size(), 1u);
  EXPECT_TRUE(logged("performUndo: the word is no longer at the caret - refused because the screen changed"));
}

TEST_F(ConversionTest, AnUndoneWordIsKeptFromLearnedCorrectionsForTenSeconds) {
  startWith("x dbo", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  engine->performUndo();
  advance(1.0);
  ASSERT_EQ(field().text(), "x dbo");
  auto store = engine->typoHabitStore();
  ASSERT_TRUE(store);
  EXPECT_TRUE(store->isOnCooldown("DBO")) << "the cooldown is kept for the lower-cased word";
  advance(9.5);
  EXPECT_FALSE(store->isOnCooldown("dbo"));
}

TEST_F(ConversionTest, TheUndoWindowCloses) {
  startWith("x dbo", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  ASSERT_TRUE(engine->conversion.isUndoPossible());
  advance(engine->undoTimeout());
  EXPECT_FALSE(engine->conversion.isUndoPossible());
  EXPECT_TRUE(engine->conversion.undoStack().empty());
  engine->handleUndoRedoToggle();
  advance(1.0);
  EXPECT_EQ(field().text(), "x " + kin());
}

// The undo-or-redo key does what the notice after an undo says it will.
class ToggleTest : public ConversionTest {
 protected:
  void SetUp() override {
    panel = UnifiedMenuPanel::create(hudEnvironmentFor(*engine));
    engine->hud.panel = panel.get();
  }
  void TearDown() override { engine->hud.panel = nullptr; }
  void press() {
    engine->handleUndoRedoToggle();
    advance(1.0);
  }
  // The detail line of the last notice after an undo.
  std::string promised() const {
    for (auto it = panel->shownNotices().rbegin(); it != panel->shownNotices().rend(); ++it)
      if (it->content["kind"] == "confirmedReverted") return it->content["subMessage"];
    return {};
  }
  std::shared_ptr<UnifiedMenuPanel> panel;
};

TEST_F(ToggleTest, AfterAnUndoTheKeyRedoesThoughAnOlderWordIsStillOnTheStack) {
  startWith("dbo", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  startWith(kin() + " sw", kABC);  // a second word, converted within the window
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  ASSERT_EQ(field().text(), kin() + " " + thai("sw"));
  press();
  EXPECT_EQ(field().text(), kin() + " sw");
  EXPECT_EQ(promised(), engine->localized("conversion_undone_sub"));
  press();
  EXPECT_EQ(field().text(), kin() + " " + thai("sw"));
  EXPECT_FALSE(logged("refused because the screen changed"));
}

TEST_F(ToggleTest, AWordConvertedTwiceWalksBackThroughBothThenRedoes) {
  startWith("dbo", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  ASSERT_EQ(field().text(), "dbo");
  press();
  EXPECT_EQ(field().text(), kin());
  EXPECT_EQ(promised(), engine->localized("conversion_undone_more_sub"));
  press();
  EXPECT_EQ(field().text(), "dbo");
  EXPECT_EQ(promised(), engine->localized("conversion_undone_sub"));
  press();
  EXPECT_EQ(field().text(), kin());
  EXPECT_EQ(desk.currentSource(), kThai);
}

TEST_F(ConversionTest, PasswordFieldsAndUnreadableFieldsAreLeftAlone) {
  startWith("dbo", kABC);
  field().setSecure(true);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  EXPECT_EQ(deletesPosted(), 0u);
  EXPECT_TRUE(logged("the focused field is a password field - nothing changed"));

  field().setSecure(false);
  desk.frontmostApplication()->axMode = SimAXMode::unavailable;
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  EXPECT_EQ(field().text(), "dbo");
  EXPECT_TRUE(logged("the focused text cannot be read - nothing changed"));
}

// The last notice shown: "message: …, subMessage: …".
std::string lastNotice(const EngineFixture& fx) {
  const std::string marker = "showStatusHUD called with message: ";
  const auto& lines = fx.systemLog.consoleLines;
  for (auto it = lines.rbegin(); it != lines.rend(); ++it)
    if (auto at = it->find(marker); at != std::string::npos) return it->substr(at + marker.size());
  return {};
}

// A refusal's title and its detail are in the application's language, both.
TEST_F(ConversionTest, ARefusalSpeaksTheApplicationsLanguageOnly) {
  const std::string thaiLetters = "\xe0\xb8";
  for (const char* language : {"en", "th"}) {
    engine->appLanguage.set(language);
    startWith("dbo", kABC);
    field().setSecure(true);
    engine->cycleCurrentWordLanguage();
    advance(1.0);
    const std::string shown = lastNotice(fx);
    const auto comma = shown.find(", subMessage: ");
    ASSERT_NE(comma, std::string::npos) << shown;
    for (const auto& part : {shown.substr(0, comma), shown.substr(comma)})
      EXPECT_EQ(part.find(thaiLetters) != std::string::npos, std::string(language) == "th") << shown;
  }
  EXPECT_EQ(lastNotice(fx), "ช่องรหัสผ่าน ไม่แปลงคำ, subMessage: ไม่แก้ข้อความในช่องรหัสผ่านเด็ดขาด");
}

// On a desktop whose programs decide at their own start whether to share
// their text, a program already open when the user turned accessibility on
// is named, with a word to restart it once; once restarted it converts.
TEST_F(ConversionTest, AProgramOpenBeforeTheGrantIsNamedAndToldToRestartOnce) {
  auto& ax = desk.accessibility();
  ax.setPromptTurnsTrustOn(true);
  ax.setProgramsShareFromTheirStart(true);
  desk.setTrusted(false);
  engine->requestAccessibility(false);  // start-up sees it off
  run();
  advance(5.0);
  engine->openAccessibilitySettings();  // the user's grant
  run();
  ASSERT_TRUE(engine->isAccessibilityGranted.get());
  engine->appLanguage.set("en");
  startWith("dbo", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  EXPECT_EQ(field().text(), "dbo");
  EXPECT_EQ(lastNotice(fx),
            "Restart TextEdit once, subMessage: It was open before accessibility went on, so its text cannot be read "
            "yet - nothing was changed");
  EXPECT_TRUE(logged("the focused text cannot be read: TextEdit (pid "));
  ASSERT_TRUE(engine->programToRestart.get());
  EXPECT_EQ(engine->programToRestart.get()->app.name, "TextEdit");
  engine->appLanguage.set("th");
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  EXPECT_EQ(lastNotice(fx),
            "เปิด TextEdit ใหม่หนึ่งครั้ง, subMessage: โปรแกรมนี้เปิดอยู่ก่อนเปิดการเข้าถึง จึงยังอ่านข้อความไม่ได้ - "
            "ไม่ได้เปลี่ยนอะไร");

  // Restarted: it shares its text, and nothing is left to say about it.
  desk.terminateApplication(SimDesktop::kDefaultAppBundleID);
  desk.launchApplication(SimDesktop::kDefaultAppBundleID, "TextEdit");
  desk.activateApplication(SimDesktop::kDefaultAppBundleID);
  run();
  startWith("dbo", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  EXPECT_EQ(field().text(), kin());
  engine->requestAccessibility(false);  // as the poll does every second
  run();
  EXPECT_FALSE(engine->programToRestart.get());
}

// No advice a restart would not follow: a program started after the grant
// that shares nothing, and any program while the switch's time is unknown.
TEST_F(ConversionTest, AProgramThatNeverSharesIsNotToldToRestart) {
  auto& ax = desk.accessibility();
  ax.setPromptTurnsTrustOn(true);
  ax.setProgramsShareFromTheirStart(true);
  engine->appLanguage.set("en");
  // On before it was ever looked at: when it went on is not known.
  desk.frontmostApplication()->axMode = SimAXMode::unavailable;
  startWith("dbo", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  EXPECT_EQ(lastNotice(fx),
            "The text here cannot be read, subMessage: This app does not share its text - nothing was changed");

  desk.setTrusted(false);
  engine->requestAccessibility(false);
  run();
  advance(5.0);
  engine->openAccessibilitySettings();
  run();
  advance(5.0);
  desk.launchApplication("org.example.Terminal", "Terminal").axMode = SimAXMode::unavailable;
  desk.activateApplication("org.example.Terminal");
  run();
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  EXPECT_EQ(lastNotice(fx),
            "The text here cannot be read, subMessage: This app does not share its text - nothing was changed");
  EXPECT_FALSE(engine->programToRestart.get());
}

TEST_F(ConversionTest, KeysTypedWhileTheNewLayoutArrivesAreHeldForIt) {
  desk.setSwitchLatency(0.15);
  startWith("x dbo", kABC);
  engine->cycleCurrentWordLanguage();
  advance(0.05);  // the word is retyped; the switch has not landed yet
  ASSERT_EQ(field().text(), "x " + kin());
  ASSERT_EQ(flow().state().kind, TypingFlowState::Kind::correcting);
  flow().enqueue(usKey(" "));
  flow().enqueue(usKey("d"));
  advance(1.0);
  EXPECT_EQ(field().text(), "x " + kin() + " " + thai("d"));
}

TEST_F(ConversionTest, AConversionWaitsForHeldKeysToLandFirst) {
  startWith("x db", kABC);
  engine->beginSpeculativeHold();
  flow().enqueue(usKey("o"));  // typed before the hot key, still held
  engine->cycleCurrentWordLanguage();
  advance(1.0);  // the hold times out, "o" lands, then the word is converted
  EXPECT_EQ(field().text(), "x " + kin());
}

// Through the keyboard: the keys typed from the hot key's press on wait for
// the edit, whatever it waits for itself (here a switch still landing), and
// follow it once, in order, in the layout it leaves; a second hot key among
// them acts in its turn instead of being turned away as busy.
class HotKeyRoadTest : public ConversionTest {
 protected:
  void SetUp() override {
    engine->createEventTap();
    engine->applyModeSettings();
    run();
    ASSERT_TRUE(desk.capsLockRemappedToF19());
  }
};

TEST_F(HotKeyRoadTest, KeysTypedRightAfterTheHotKeyFollowItsEdit) {
  desk.typeText("l;ylfu", 0.04);
  advance(0.5);
  desk.setSwitchLatency(0.15);
  desk.press("capslock");
  desk.press("ctrl+shift+x", 0.01);
  desk.typeText(" l;ylfu", 0.03, 0.04);
  advance(2.0);
  EXPECT_EQ(field().text(), thai("l;ylfu") + " " + thai("l;ylfu"));
  EXPECT_EQ(desk.currentSource(), kThai);
}

TEST_F(HotKeyRoadTest, AnUndoPressedDuringTheConversionUndoesItOnceItIsOver) {
  desk.typeText("l;ylfu", 0.04);
  advance(0.5);
  desk.press("ctrl+shift+x");
  desk.press("ctrl+shift+z", 0.002);
  desk.typeText("k", 0.001, 0.004);
  advance(2.0);
  EXPECT_FALSE(logged("an edit is still running"));
  EXPECT_EQ(field().text(), "l;ylfuk");
}

TEST_F(ConversionTest, RepeatedPressesCycleThroughEveryLayout) {
  desk.setEnabledSources({kABC, kThai, "com.apple.keylayout.Lao"});
  startWith("dbo", kABC);
  run();
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  ASSERT_EQ(field().text(), kin());
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  std::string lao = field().text();
  EXPECT_NE(lao, kin());
  EXPECT_EQ(desk.currentSource(), "com.apple.keylayout.Lao");
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  EXPECT_EQ(field().text(), "dbo");
  EXPECT_EQ(engine->conversion.undoStack().size(), 3u);
}

TEST_F(ConversionTest, ANewKeyEndsTheCycle) {
  startWith("dbo", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  engine->conversion.endCycle();  // what the next key down does
  engine->cycleCurrentWordLanguage();  // "กิน" read afresh: on Thai it goes to ABC
  advance(1.0);
  EXPECT_EQ(field().text(), "dbo");
}

TEST_F(ConversionTest, NothingToConvertIsSaidNotDone) {
  startWith("x ", kABC);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  EXPECT_EQ(deletesPosted(), 0u);
  EXPECT_TRUE(logged("cycleCurrentWordLanguage: there is no word at the caret - nothing changed"));
}

TEST_F(ConversionTest, AddingAWordTakesASecondPress) {
  startWith("I ate " + kin(), kThai);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  engine->performUndo();
  advance(1.0);
  ASSERT_EQ(engine->flow.pendingRejection, std::optional<std::string>(kin()));
  engine->confirmAddToVocabulary();
  EXPECT_EQ(engine->flow.pendingWhitelistConfirmationWord, std::optional<std::string>(kin()));
  EXPECT_EQ(engine->flow.pendingRejection, std::optional<std::string>(kin()));
  engine->confirmAddToVocabulary();
  EXPECT_FALSE(engine->flow.pendingWhitelistConfirmationWord.has_value());
  EXPECT_FALSE(engine->flow.pendingRejection.has_value());
  EXPECT_TRUE(logged("confirmAddToVocabulary: added a word to the ignored-word list"));
}

TEST_F(ConversionTest, AWordThatCannotBeSavedIsNotReportedAsKnown) {
  // The spelling folder cannot be made: a plain file stands in its way.
  std::ofstream(Paths::spellingFolder()) << "not a folder";
  startWith("I ate " + kin(), kThai);
  engine->cycleCurrentWordLanguage();
  advance(1.0);
  engine->performUndo();
  advance(1.0);
  engine->confirmAddToVocabulary();
  engine->confirmAddToVocabulary();
  run();
  const std::string failed = formatLocalized(engine->localized("hud_vocab_not_saved"), {kin()});
  EXPECT_NE(failed.find(kin()), std::string::npos);
  const auto& shown = fx.systemLog.consoleLines;
  EXPECT_TRUE(std::any_of(shown.begin(), shown.end(),
                          [&](const std::string& l) { return l.find("message: " + failed + ",") != std::string::npos; }));
  EXPECT_FALSE(std::any_of(shown.begin(), shown.end(), [](const std::string& l) {
    return l.find("Already in your vocabulary") != std::string::npos;
  }));
  EXPECT_TRUE(logged("confirmAddToVocabulary: the word could not be saved"));
  EXPECT_FALSE(engine->developerWhitelist()->contains(kin()));
}

TEST_F(ConversionTest, CorrectWithInputSourceDoesNothingWithoutAProposal) {
  startWith("dbo", kABC);
  engine->correctWithInputSource();
  advance(1.0);
  EXPECT_EQ(field().text(), "dbo");
  EXPECT_TRUE(logged("correctWithInputSource: no proposed correction pending"));
}

// ------------------------------------------------------------ the helpers

TEST_F(FlowTest, LayoutsRenderKeystrokesAndNameTheirLanguages) {
  std::vector<KeyStroke> keys{{keycode::d, false, 0}, {keycode::b, false, 0}, {keycode::o, true, 0}};
  EXPECT_EQ(engine->renderInLayout(keys, engine->inputSourceWithID(kABC)), "dbO");
  EXPECT_EQ(engine->renderInLayout(keys, std::nullopt), "");
  EXPECT_FALSE(engine->inputSourceWithID("com.apple.keylayout.Lao").has_value());  // not enabled
  EXPECT_EQ(engine->layoutIdentifierInfo(kThai), "th");
  EXPECT_EQ(engine->layoutIdentifierInfo("com.apple.keylayout.Kedmanee-X"), "th");
  EXPECT_EQ(engine->layoutIdentifierInfo("com.example.Lao-Custom"), "lo");
  EXPECT_EQ(engine->layoutIdentifierInfo("com.example.unknown"), "");
  EXPECT_EQ(engine->layoutIdentifierInfo("xkb:th:pat"), "th");  // X keyboard groups, when not enabled
  EXPECT_EQ(engine->layoutIdentifierInfo("xkb:la"), "lo");
  EXPECT_EQ(engine->currentInputSourceLanguage(), "en");

  engine->availableSpellingLanguages.set({"en_US", "TH"});
  EXPECT_TRUE(engine->isLanguageEnabled("en"));
  EXPECT_TRUE(engine->isLanguageEnabled("EN_GB"));
  EXPECT_TRUE(engine->isLanguageEnabled("th"));
  EXPECT_FALSE(engine->isLanguageEnabled("lo"));
}

TEST_F(FlowTest, KeystrokeTimingIsCapturedOnlyWhenAskedAndHoldsNoKeys) {
  std::vector<KeyStroke> word{{keycode::d, false, 1000}, {keycode::b, true, 1130}, {keycode::o, false, 1200}};
  engine->captureKeystrokeTiming(word, false);
  run();
  auto path = engine->keystrokeTimingFileURL();
  EXPECT_FALSE(std::filesystem::exists(path));

  engine->defaults().setBool("keystrokeTimingCaptureEnabled", true);
  engine->captureKeystrokeTiming({word[0]}, false);  // one key has no rhythm
  engine->captureKeystrokeTiming(word, true);
  run();
  auto text = readFile(path, kMaxWordFileBytes);
  ASSERT_TRUE(text.has_value());
  auto line = nlohmann::json::parse(text->substr(0, text->find('\n')));
  EXPECT_EQ(line["n"], 3);
  EXPECT_EQ(line["dt"], nlohmann::json::array({130, 70}));
  EXPECT_EQ(line["undo"], true);
  EXPECT_EQ(line.size(), 4u);  // timings only: no key codes, no text
  EXPECT_EQ(std::count(text->begin(), text->end(), '\n'), 1);
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  desk.setTrusted(false);
  engine->captureKeystrokeTiming(word, false);
  run();
  EXPECT_EQ(readFile(path, kMaxWordFileBytes), text);
}

TEST_F(FlowTest, ConversionCountersAreWrittenAtOnce) {
  engine->recordConversionStats("dbo", "กิน", kThai);
  EXPECT_EQ(engine->totalCorrections.get(), 1);
  EXPECT_EQ(engine->totalCorrectionsTH.get(), 1);
  EXPECT_EQ(engine->totalKeystrokesSaved.get(), 3 + 1 + 3);
  EXPECT_EQ(engine->appTypoCounts.get().at(SimDesktop::kDefaultAppBundleID), 1);
  EXPECT_EQ(engine->defaults().integerForKey("totalCorrections"), 1);
  EXPECT_EQ(engine->typoCountInCurrentHour(), 1);
}

TEST_F(FlowTest, HapticsRunOnlyWhenSwitchedOn) {
  engine->playCorrectionHaptic(true);
  engine->playHaptic();
  advance(1.0);
  EXPECT_TRUE(desk.haptics().calls().empty());
  engine->isHapticFeedbackEnabled.set(true);
  engine->playCorrectionHaptic(false);
  engine->playHaptic();
  advance(1.0);
  // Unset strengths play as medium, once each.
  EXPECT_EQ(desk.haptics().calls(), (std::vector<std::string>{"perform levelChange", "perform levelChange",
                                                              "actuate 2 0", "actuate 2 0"}));
}

TEST_F(FlowTest, TheTextAccessProbeRetriesADormantApplication) {
  desk.frontmostApplication()->axMode = SimAXMode::dormant;
  engine->probeFocusedAppAXAvailability(3);
  advance(0.15);
  desk.frontmostApplication()->axMode = SimAXMode::readable;  // awake by the third try
  advance(0.2);
  EXPECT_EQ(engine->axTextAccessInFocusedApp.get(), AXTextAccess::available);

  desk.frontmostApplication()->axMode = SimAXMode::dormant;
  engine->probeFocusedAppAXAvailability(3);
  advance(1.0);
  EXPECT_EQ(engine->axTextAccessInFocusedApp.get(), AXTextAccess::dormant);
  desk.frontmostApplication()->axMode = SimAXMode::unavailable;
  EXPECT_EQ(engine->frontmostAppTextAccess(), AXTextAccess::unavailable);
}

}  // namespace
}  // namespace tessa::test
