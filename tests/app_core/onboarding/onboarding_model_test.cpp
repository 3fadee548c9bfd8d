#include "app_core/onboarding/onboarding_model.h"

#include <gtest/gtest.h>

#include "engine/keyboard_engine.h"
#include "engine/system_keyboard.h"
#include "platform/linux/json_preference_domains.h"
#include "platform/linux/unavailable_desktop.h"
#include "platform/sim/sim_desktop.h"
#include "support/engine_fixture.h"

namespace tessa {
namespace {

using Page = OnboardingModel::Page;
using Tone = OnboardingModel::DotTone;

class OnboardingModelTest : public ::testing::Test {
 protected:
  OnboardingModelTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
    engine->appLanguage.set("en");
    OnboardingModel::Hooks hooks;
    hooks.changed = [this] { ++changes; };
    hooks.dismiss = [this] { ++dismissals; };
    hooks.repairAccessibility = [this] { ++repairs; };
    model = OnboardingModel::create(engine->settings(), engine->accessibility(), engine->context(), hooks);
  }
  ~OnboardingModelTest() override {
    model.reset();
    engine->stopTapDeadManThread();
    engine.reset();
    fx.engine.reset();
  }
  // A new engine on the fixture's platform as it now stands, and a model on it.
  void restart() {
    model.reset();
    engine->stopTapDeadManThread();
    engine.reset();
    fx.engine.reset();
    engine = fx.start();
    fx.runner.runUntilIdle();
    model = OnboardingModel::create(engine->settings(), engine->accessibility(), engine->context(), {});
  }
  bool consoleHas(const std::string& needle) const {
    for (const auto& line : fx.systemLog.consoleLines)
      if (line.find(needle) != std::string::npos) return true;
    return false;
  }
  // The four answers the consent page records, as the defaults hold them.
  std::vector<bool> consentRecord() const {
    const auto& d = *fx.defaults;
    return {d.boolForKey("isShareUsageTimeEnabled"), d.boolForKey("hasSeenShareInvitation"),
            d.boolForKey("hasPromptedTelemetrySharing"), d.boolForKey("hasCompletedOnboarding")};
  }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  std::shared_ptr<OnboardingModel> model;
  int changes = 0;
  int dismissals = 0;
  int repairs = 0;
};

TEST(OnboardingPages, StepsChooseThePageAndAnyOtherStepShowsTheCheatSheet) {
  EXPECT_EQ(OnboardingModel::pageFor(0), Page::level);
  EXPECT_EQ(OnboardingModel::pageFor(1), Page::permission);
  EXPECT_EQ(OnboardingModel::pageFor(2), Page::switcher);
  EXPECT_EQ(OnboardingModel::pageFor(3), Page::startup);
  EXPECT_EQ(OnboardingModel::pageFor(4), Page::telemetry);
  for (int other : {5, 6, 1000, -1, -42}) EXPECT_EQ(OnboardingModel::pageFor(other), Page::hotkey) << other;
}

TEST(OnboardingPages, DotsMarkTheCurrentPageWideAndTheOthersByWhetherTheyAreDone) {
  auto widths = [](int step) {
    std::vector<int> out;
    for (int i = 0; i < OnboardingModel::kDotCount; ++i) out.push_back(OnboardingModel::dot(i, step).width);
    return out;
  };
  auto tones = [](int step) {
    std::vector<Tone> out;
    for (int i = 0; i < OnboardingModel::kDotCount; ++i) out.push_back(OnboardingModel::dot(i, step).tone);
    return out;
  };
  EXPECT_EQ(widths(0), (std::vector<int>{18, 6, 6, 6, 6}));
  EXPECT_EQ(tones(0), (std::vector<Tone>{Tone::current, Tone::upcoming, Tone::upcoming, Tone::upcoming, Tone::upcoming}));
  EXPECT_EQ(widths(2), (std::vector<int>{6, 6, 18, 6, 6}));
  EXPECT_EQ(tones(2), (std::vector<Tone>{Tone::finished, Tone::finished, Tone::current, Tone::upcoming, Tone::upcoming}));
  EXPECT_EQ(widths(5), (std::vector<int>(5, 6)));
  EXPECT_EQ(tones(5), (std::vector<Tone>(5, Tone::finished))) << "past the last page every dot is done";
}

// ------------------------------------------------------------------ poll

TEST_F(OnboardingModelTest, TheGrantArrivingWhileThePermissionPageShowsMovesOnWithinASecond) {
  desk.setTrusted(false);
  fx.runner.runUntilIdle();
  model->startPolling();
  model->chooseLevel(CopywritingLevel::layman);
  ASSERT_EQ(model->page(), Page::permission);
  fx.runner.advance(3.0);
  EXPECT_EQ(model->step(), 1) << "no grant, no move";
  EXPECT_FALSE(model->isPermissionGranted());

  fx.runner.advance(0.4);
  desk.setTrusted(true);
  fx.runner.advance(0.59);
  EXPECT_EQ(model->step(), 1);
  fx.runner.advance(0.02);
  EXPECT_EQ(model->step(), 2) << "the next tick, with no click";
}

TEST_F(OnboardingModelTest, OnOtherPagesThePollOnlyRefreshesTheEnginesFlag) {
  desk.setTrusted(true);
  engine->isAccessibilityGranted.set(true);
  model->startPolling();
  model->setStep(3);

  desk.setTrusted(false);
  fx.runner.advance(1.0);
  EXPECT_FALSE(engine->isAccessibilityGranted.get()) << "the re-check landed";
  EXPECT_EQ(model->step(), 3);
  desk.setTrusted(true);
  fx.runner.advance(1.0);
  EXPECT_TRUE(engine->isAccessibilityGranted.get());
  EXPECT_EQ(model->step(), 3);
}

TEST_F(OnboardingModelTest, TheFlagTheTickReadsIsTheOneFromBeforeItsOwnReCheck) {
  // The system says not trusted, the engine still says granted: the tick
  // asks for a re-check and, reading the old flag, moves on.
  engine->isAccessibilityGranted.set(true);
  desk.setTrusted(false);
  model->setStep(1);
  model->pollAccessibility();
  EXPECT_EQ(model->step(), 2);
  fx.runner.runUntilIdle();
  EXPECT_FALSE(engine->isAccessibilityGranted.get());
}

TEST_F(OnboardingModelTest, ThePollStopsWithTheModel) {
  desk.setTrusted(false);
  model->startPolling();
  model.reset();
  fx.runner.advance(5.0);  // a tick after the model is gone would crash here
  SUCCEED();
}

// ---------------------------------------------------- level and permission

TEST_F(OnboardingModelTest, ChoosingALevelStoresItAndMovesToThePermissionPage) {
  model->chooseLevel(CopywritingLevel::pro);
  EXPECT_EQ(engine->appCopywritingLevel.get(), CopywritingLevel::pro);
  EXPECT_EQ(fx.defaults->stringForKey("appCopywritingLevel"), "pro");
  EXPECT_EQ(model->step(), 1);
  model->setStep(0);
  model->chooseLevel(CopywritingLevel::layman);
  EXPECT_EQ(fx.defaults->stringForKey("appCopywritingLevel"), "layman");
  EXPECT_EQ(model->step(), 1);
}

TEST_F(OnboardingModelTest, TheNeverBoxListsItsPointsInOrderAndTellsTheTruthAboutTheClipboardHistory) {
  std::vector<std::string> icons;
  for (const auto& row : model->neverRows()) icons.push_back(row.icon);
  EXPECT_EQ(icons, (std::vector<std::string>{"lock.shield", "lock.fill", "xmark.circle", "hand.raised.fill",
                                             "doc.on.clipboard.fill"}));
  auto rows = model->neverRows();
  EXPECT_EQ(rows[0].text, engine->localized("onboarding_not_2"));
  EXPECT_EQ(rows[2].text, engine->localized("onboarding_not_1"));

  std::string en = rows[4].text;
  EXPECT_NE(en.find("off until you turn it on"), std::string::npos) << en;
  EXPECT_NE(en.find("encrypted on this computer"), std::string::npos) << en;
  EXPECT_EQ(en.find("RAM"), std::string::npos) << "the history is kept on disk, sealed";
  engine->appLanguage.set("th");
  std::string th = model->neverRows()[4].text;
  EXPECT_NE(th.find("เข้ารหัส"), std::string::npos) << th;
  EXPECT_NE(th.find("ปิดอยู่จนกว่าคุณจะเปิดใช้"), std::string::npos) << th;
  EXPECT_EQ(th.find("RAM"), std::string::npos) << th;
}

TEST_F(OnboardingModelTest, PermissionCountsAsGrantedWhenEitherTheSystemOrTheEngineSaysSo) {
  desk.setTrusted(false);
  engine->isAccessibilityGranted.set(false);
  EXPECT_FALSE(model->isPermissionGranted());
  engine->isAccessibilityGranted.set(true);
  EXPECT_TRUE(model->isPermissionGranted());
  engine->isAccessibilityGranted.set(false);
  desk.setTrusted(true);
  EXPECT_TRUE(model->isPermissionGranted());
}

TEST_F(OnboardingModelTest, SkipLeavesThePermissionMissingAndTheRepairRunsOnlyWhenConfirmed) {
  desk.setTrusted(false);
  model->setStep(1);
  model->troubleshoot();
  EXPECT_TRUE(model->showRepairConfirmation());
  model->cancelRepair();
  EXPECT_FALSE(model->showRepairConfirmation());
  EXPECT_EQ(repairs, 0);
  EXPECT_EQ(model->step(), 1) << "cancel returns to the page unchanged";

  model->troubleshoot();
  model->confirmRepair();
  EXPECT_FALSE(model->showRepairConfirmation());
  EXPECT_EQ(repairs, 1);
  EXPECT_EQ(model->step(), 1);

  model->skipPermission();
  EXPECT_EQ(model->step(), 2);
  EXPECT_FALSE(model->isPermissionGranted());
}

TEST_F(OnboardingModelTest, TheGrantButtonOpensTheAccessibilitySettingsAndStays) {
  model->setStep(1);
  size_t before = desk.workspace().openedURLs().size();
  model->openAccessibilitySettings();
  ASSERT_EQ(desk.workspace().openedURLs().size(), before + 1);
  EXPECT_NE(desk.workspace().openedURLs().back().find("Privacy_Accessibility"), std::string::npos);
  EXPECT_EQ(model->step(), 1);
}

// ------------------------------------------------------------ switcher key

TEST_F(OnboardingModelTest, OnAFreshInstallOnlyTheCapsLockCardIsOutlined) {
  auto cards = model->switcherCards();
  ASSERT_EQ(cards.size(), 5u);
  std::vector<SwitcherKey> keys;
  for (const auto& card : cards) {
    keys.push_back(card.key);
    EXPECT_EQ(card.selected, card.key == SwitcherKey::capslock) << card.title;
  }
  EXPECT_EQ(keys, (std::vector<SwitcherKey>{SwitcherKey::capslock, SwitcherKey::grave, SwitcherKey::optionSpace,
                                            SwitcherKey::controlSpace, SwitcherKey::commandSpace}));
  EXPECT_EQ(cards[0].title, "Caps Lock Key");
  EXPECT_EQ(cards[0].badge, "⭐ แนะนำ");
  EXPECT_TRUE(cards[2].badge.empty());
}

TEST_F(OnboardingModelTest, ChoosingCommandSpaceWhileSpotlightHoldsItStoresItAndWarnsWhenShownAgain) {
  model->setStep(2);
  EXPECT_FALSE(model->showsSpotlightWarning());
  EXPECT_NE(model->switcherCards()[4].description.find("ต้องย้าย Spotlight ไปปุ่มอื่นก่อน"), std::string::npos);
  model->chooseSwitcher(SwitcherKey::commandSpace);
  EXPECT_EQ(engine->switcherKey.get(), SwitcherKey::commandSpace);
  EXPECT_EQ(fx.defaults->integerForKey("SwitcherKey"), 4);
  EXPECT_EQ(fx.defaults->integerForKey("AppMode"), 1);
  EXPECT_EQ(model->step(), 3);
  EXPECT_TRUE(model->showsSpotlightWarning());

  // Spotlight moved to another key: the second wording, and no warning.
  auto keys = SimPreferenceDomains::defaultSymbolicHotKeys();
  keys["64"]["enabled"] = false;
  desk.preferences().setStoredValue(SimDesktop::kSymbolicHotKeysDomain, SimDesktop::kSymbolicHotKeysKey, keys);
  EXPECT_FALSE(model->showsSpotlightWarning());
  EXPECT_NE(model->switcherCards()[4].description.find("Spotlight ของคุณย้ายไปปุ่มอื่นแล้ว"), std::string::npos);
}

// A system with no shortcut store has no search shortcut to move, and nor
// has Linux, whose hot keys are a file of ours holding the next-source key
// the engine binds: the card told the user to move Spotlight first.
TEST_F(OnboardingModelTest, WithoutTheSystemsShortcutStoreTheSuperSpaceCardNamesNoSearchShortcut) {
  UnavailablePreferenceDomains none;
  JsonPreferenceDomains ours(fx.home.path() / "symbolic_hot_keys.json");
  ours.setValue(system_keyboard::kSymbolicHotKeysDomain, system_keyboard::kSymbolicHotKeysKey,
                {{"61", system_keyboard::fnF19HotKeyEntry()}});
  for (PreferenceDomains* preferences : std::initializer_list<PreferenceDomains*>{&none, &ours}) {
    fx.platform.preferences = preferences;
    restart();
    auto cards = model->switcherCards();
    ASSERT_EQ(cards.size(), 5u);
    EXPECT_EQ(cards[2].title, "Alt + Space");
    EXPECT_EQ(cards[3].title, "Ctrl + Space");
    EXPECT_EQ(cards[4].title, "Super + Space");
    EXPECT_EQ(cards[4].description, "ตำแหน่งเดียวกับปุ่มสลับภาษาบน Windows");
    for (const auto& card : cards) {
      EXPECT_EQ(card.description.find("macOS"), std::string::npos) << card.description;
      EXPECT_EQ(card.symbol.find("option"), std::string::npos);
      EXPECT_EQ(card.symbol.find("command"), std::string::npos);
    }
    engine->switcherKey.set(SwitcherKey::commandSpace);
    EXPECT_FALSE(model->showsSpotlightWarning());
  }
}

// A key the window manager keeps would switch nothing: the page says so
// before the walk-through goes on.
TEST_F(OnboardingModelTest, AChosenKeyAnotherProgramKeepsIsWarnedAboutAndChosenAgainMovesOn) {
  desk.events().setComboHeldByOthers(keycode::space, flags::control);
  model->setStep(2);
  model->chooseSwitcher(SwitcherKey::controlSpace);
  EXPECT_EQ(engine->switcherKey.get(), SwitcherKey::controlSpace);
  EXPECT_EQ(model->step(), 2);
  EXPECT_EQ(model->switcherTakenWarning(),
            "Another program (the window manager or the desktop) keeps Ctrl+Space for itself, so it will not switch "
            "the language here. Choose another switcher key.");
  model->chooseSwitcher(SwitcherKey::controlSpace);
  EXPECT_EQ(model->step(), 3) << "chosen again, knowingly";
  model->setStep(2);
  model->chooseSwitcher(SwitcherKey::grave);
  EXPECT_EQ(model->switcherTakenWarning(), "");
  EXPECT_EQ(model->step(), 3) << "a free key moves on at once";
}

TEST_F(OnboardingModelTest, ChoosingTheKeyAlreadySetStillStoresItAndMovesOn) {
  model->setStep(2);
  fx.defaults->remove("SwitcherKey");
  model->chooseSwitcher(SwitcherKey::capslock);
  EXPECT_EQ(fx.defaults->kind("SwitcherKey"), UserDefaults::Kind::integer);
  EXPECT_EQ(model->step(), 3);
}

// ---------------------------------------------------------- start at login

TEST_F(OnboardingModelTest, EitherStartAtLoginAnswerRecordsThePromptAndMovesOn) {
  model->setStep(3);
  model->enableAutoStart();
  EXPECT_TRUE(desk.loginItems().enabled());
  EXPECT_TRUE(fx.defaults->boolForKey("hasPromptedAutoStart"));
  EXPECT_EQ(model->step(), 4);

  // Enabled elsewhere, then "Do Not Enable": the entry is removed.
  fx.defaults->remove("hasPromptedAutoStart");
  model->setStep(3);
  model->skipAutoStart();
  EXPECT_EQ(desk.loginItems().calls(), (std::vector<std::string>{"register", "unregister"}));
  EXPECT_FALSE(desk.loginItems().enabled());
  EXPECT_TRUE(fx.defaults->boolForKey("hasPromptedAutoStart"));
  EXPECT_EQ(model->step(), 4);
}

TEST_F(OnboardingModelTest, AFailedRegistrationIsLoggedAndTheWalkThroughStillMovesOn) {
  desk.loginItems().failWith("permission denied");
  model->setStep(3);
  model->enableAutoStart();
  EXPECT_TRUE(consoleHas("Tessavinor: Failed to register login item: permission denied"));
  EXPECT_EQ(model->step(), 4);
  EXPECT_TRUE(fx.defaults->boolForKey("hasPromptedAutoStart"));

  model->setStep(3);
  model->skipAutoStart();
  EXPECT_TRUE(consoleHas("Tessavinor: Failed to unregister login item: permission denied"));
  EXPECT_EQ(model->step(), 4);
}

TEST_F(OnboardingModelTest, WithoutStartAtLoginOnThisSystemTheAnswerSaysSoAndMovesOn) {
  fx.platform.loginItems = nullptr;
  restart();
  model->setStep(3);
  model->enableAutoStart();
  EXPECT_TRUE(consoleHas("Failed to register login item: start at login is not available on this system"));
  EXPECT_EQ(model->step(), 4);
}

// -------------------------------------------------------- consent and end

TEST_F(OnboardingModelTest, EitherConsentAnswerCompletesTheOnboardingAndClosesTheSheet) {
  model->setStep(4);
  model->answerTelemetry(false);
  EXPECT_EQ(consentRecord(), (std::vector<bool>{false, true, true, true}));
  EXPECT_EQ(dismissals, 1);
  EXPECT_TRUE(model->isDismissed());
  EXPECT_EQ(model->step(), 4) << "answering does not move the step";

  for (const char* key : {"isShareUsageTimeEnabled", "hasSeenShareInvitation", "hasPromptedTelemetrySharing",
                          "hasCompletedOnboarding"})
    fx.defaults->remove(key);
  auto again = OnboardingModel::create(engine->settings(), engine->accessibility(), engine->context(), {});
  again->setStep(4);
  again->answerTelemetry(true);
  EXPECT_EQ(consentRecord(), (std::vector<bool>{true, true, true, true}));
  EXPECT_TRUE(engine->isShareUsageTimeEnabled.get());
}

TEST_F(OnboardingModelTest, LookingAtThePayloadChangesNoAnswer) {
  model->setStep(4);
  auto before = consentRecord();
  model->inspectPayload();
  EXPECT_TRUE(model->showPayloadInspector());
  model->payloadInspectorClosed();
  EXPECT_FALSE(model->showPayloadInspector());
  EXPECT_EQ(consentRecord(), before);
  EXPECT_EQ(model->step(), 4);
  EXPECT_EQ(dismissals, 0);
}

TEST_F(OnboardingModelTest, TheCheatSheetFinishesWithOnlyTheCompletedFlag) {
  model->setStep(5);
  auto before = fx.defaults->snapshot();
  model->finish();
  auto after = fx.defaults->snapshot();
  EXPECT_EQ(dismissals, 1);
  EXPECT_TRUE(fx.defaults->boolForKey("hasCompletedOnboarding"));
  after.erase("hasCompletedOnboarding");
  before.erase("hasCompletedOnboarding");
  EXPECT_EQ(after, before) << "no other setting is written";
}

TEST_F(OnboardingModelTest, TheCheatSheetShowsItsShortcutsAndTheExamplesOfTheLanguage) {
  auto rows = model->hotkeyRows();
  ASSERT_EQ(rows.size(), 4u) << "only keys that exist: none for the clipboard history";
  EXPECT_EQ(rows[0].keys, (std::vector<std::string>{"Ctrl", "Shift", "X"}));
  EXPECT_EQ(rows[3].keys, (std::vector<std::string>{"Ctrl", "Shift", "A"}));
  for (const auto& row : rows) EXPECT_FALSE(row.optionBadge);
  EXPECT_TRUE(model->showsInstantUndoHint());

  auto pairs = [this] {
    std::vector<std::string> out;
    for (const auto& e : model->sandboxExamples()) out.push_back(e.raw + "→" + e.target);
    return out;
  };
  EXPECT_EQ(pairs(), (std::vector<std::string>{"l;ylfu→สวัสดี", "้ำสสน→hello", "wfh→ได้"}));
  engine->appLanguage.set("lo");
  EXPECT_EQ(pairs(), (std::vector<std::string>{"s;bkyd-e→ສະບາຍດີ", "้ำสสน→hello", "l;ylfu→สวัสดี"}));
  EXPECT_EQ(model->hotkeyRows()[0].text, "Cycle Word Language") << "the shortcut texts fall back to English";
  engine->appLanguage.set("vi");
  EXPECT_EQ(pairs()[0], "l;ylfu→สวัสดี");
}

}  // namespace
}  // namespace tessa
