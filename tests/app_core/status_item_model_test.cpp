#include "app_core/status_item_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>


namespace tessa {
namespace {

StatusItemState healthy(const std::string& language = "th") {
  StatusItemState s;
  s.isAccessibilityGranted = true;
  s.appLanguage = language;
  s.version = "0.1.12";
  return s;
}

std::string describe(const StatusIconSpec& icon) {
  return icon.symbol + " " + statusColorName(icon.color);
}

TEST(StatusIconTest, TheFirstTroubleInOrderPicksTheSymbolAndColour) {
  StatusItemState s = healthy();
  s.isCapsLockOn = true;  // bars never change the symbol
  EXPECT_EQ(describe(statusIcon(s)), "keyboard.fill label");
  s.isSecureInputActive = true;
  EXPECT_EQ(describe(statusIcon(s)), "lock.fill systemYellow");
  s.isEventTapDead = true;
  EXPECT_EQ(describe(statusIcon(s)), "bolt.slash.fill systemOrange");
  s.isAccessibilityGranted = false;
  EXPECT_EQ(describe(statusIcon(s)), "exclamationmark.triangle.fill systemOrange");
  s.isPaused = true;
  EXPECT_EQ(describe(statusIcon(s)), "pause.circle.fill pausedGray");

  // A notification's value stands in for the engine's own for one drawing.
  StatusItemState paused = healthy();
  StatusIconInputs in = StatusIconInputs::of(paused);
  in.secureInputActive = true;
  EXPECT_EQ(describe(statusIcon(paused, in)), "lock.fill systemYellow");
}

TEST(StatusIconTest, BarsLiftTheSymbolAndSplitWhenBothAreOn) {
  StatusIconSpec icon;
  auto plain = icon.layout(22, 18);
  EXPECT_EQ(plain.width, 22);
  EXPECT_EQ(plain.height, 18);
  EXPECT_EQ(plain.symbol, (StatusRect{0, 0, 22, 18}));
  EXPECT_TRUE(plain.bars.empty());
  EXPECT_FALSE(plain.logo);

  icon.capsLockBar = true;
  auto caps = icon.layout(22, 18);
  EXPECT_EQ(caps.height, 21);
  EXPECT_EQ(caps.symbol, (StatusRect{0, 3, 22, 18}));
  EXPECT_EQ(caps.bars, (std::vector<StatusBar>{{{2, 0.25, 18, 2.5}, 1.25, StatusColor::systemGreen}}));

  icon.capsLockBar = false;
  icon.ignoredBar = true;
  EXPECT_EQ(icon.layout(22, 18).bars,
            (std::vector<StatusBar>{{{2, 0.25, 18, 2.5}, 1.25, StatusColor::systemOrange}}));

  icon.capsLockBar = true;
  auto both = icon.layout(22, 18);
  EXPECT_EQ(both.height, 21);
  EXPECT_EQ(both.bars, (std::vector<StatusBar>{{{2, 0.25, 9, 2.5}, 1.25, StatusColor::systemGreen},
                                               {{11, 0.25, 9, 2.5}, 1.25, StatusColor::systemOrange}}));

  icon.logoBadge = true;
  EXPECT_EQ(icon.layout(22, 18).logo, (StatusRect{8, 7, 16, 16}));
}

TEST(StatusTooltipTest, TroublesInOrderThenTheVersionInEachLanguage) {
  struct Row {
    std::string language, axLost, tornDown, tapDead, version;
  };
  const std::string thAx = "⚠️ สิทธิ์ Accessibility หลุด — คลิกเพื่อเปิดคืน";
  const std::string thTorn = "🛡 ระบบหยุดไว้เพื่อกันเครื่องค้าง — คลิกเพื่อเริ่มใหม่";
  const std::string thDead = "⚡̶ ไม่ได้รับคีย์ — กำลังกู้คืนอัตโนมัติ";
  const std::string enAx = "⚠️ Accessibility permission lost — click to restore it";
  const std::string enTorn = "🛡 Stopped to keep the computer from freezing — click to restart";
  const std::string enDead = "⚡̶ Not receiving keys — recovering automatically";
  const std::string enVersion = "Tessavinor v0.1.12 (Remapper) - for external keyboards";
  const Row rows[] = {
      {"th", thAx, thTorn, thDead, "Tessavinor v0.1.12 (Remapper) - สำหรับคีย์บอร์ดภายนอก"},
      {"en", enAx, enTorn, enDead, enVersion},
      // Lao and Vietnamese have no tray texts of their own.
      {"lo", enAx, enTorn, enDead, enVersion},
      {"vi", enAx, enTorn, enDead, enVersion},
  };
  for (const auto& row : rows) {
    StatusItemState s = healthy(row.language);
    EXPECT_EQ(statusTooltip(s), row.version) << row.language;
    s.isEventTapDead = true;
    EXPECT_EQ(statusTooltip(s), row.tapDead) << row.language;
    s.isEmergencyTornDown = true;
    EXPECT_EQ(statusTooltip(s), row.tornDown) << row.language;
    s.isAccessibilityGranted = false;
    s.isPaused = true;  // pause changes the icon, not the tooltip
    EXPECT_EQ(statusTooltip(s), row.axLost) << row.language;
  }
  // A desktop that gives no keys says so before anything else.
  StatusItemState s = healthy("en");
  s.isAccessibilityGranted = false;
  s.keysUnavailableReason = "no X11 display (DISPLAY is not set)";
  EXPECT_EQ(statusTooltip(s), "⚡̶ No keys from this desktop: no X11 display (DISPLAY is not set)");
  // Accessibility out of reach: what is missing and what to do.
  s.keysUnavailableReason.clear();
  s.accessibilityProblemKey = "a11y_no_bus";
  EXPECT_EQ(statusTooltip(s),
            "⚠️ No keyboard access: The desktop's accessibility bus does not answer. Install at-spi2-core (sudo apt "
            "install at-spi2-core), then log out and back in.");
}

TEST(StatusTooltipTest, KeysAnotherProgramHoldsAreNamedInTheTooltipAndTheIcon) {
  StatusItemState s = healthy("en");
  s.keysHeldByOthers = {"q", "grave"};
  EXPECT_EQ(statusTooltip(s),
            "⚠️ Another program holds the keys q, grave: typed during a language switch, they arrive at once in the "
            "layout before it");
  StatusIconSpec icon = statusIcon(s, StatusIconInputs::of(s));
  EXPECT_EQ(icon.symbol, "exclamationmark.triangle.fill");
  EXPECT_EQ(icon.color, StatusColor::systemYellow);
  // A dead tap is the bigger trouble.
  s.isEventTapDead = true;
  EXPECT_EQ(statusTooltip(s), "⚡̶ Not receiving keys — recovering automatically");
}

TEST(StatusClickTest, RightOrControlClickOpensTheMenuElseRestartOrDashboard) {
  const uint64_t control = 0x40000;
  using K = StatusClickKind;
  using A = StatusClickAction;
  for (bool tornDown : {false, true}) {
    const A plain = tornDown ? A::restartTap : A::openDashboard;
    EXPECT_EQ(statusClickAction({K::rightMouseUp, 0}, tornDown), A::openMenu);
    EXPECT_EQ(statusClickAction({K::leftMouseUp, control}, tornDown), A::openMenu);
    EXPECT_EQ(statusClickAction({K::otherMouseUp, control | 0x20000}, tornDown), A::openMenu);
    EXPECT_EQ(statusClickAction({K::leftMouseUp, 0x100000}, tornDown), plain);
    EXPECT_EQ(statusClickAction({K::none, control}, tornDown), plain) << "no current event is a plain click";
  }
}

TEST(StatusRefreshTest, EachNotificationRedrawsWhatItsHandlerDoes) {
  auto refresh = [](const std::string& name, nlohmann::json info = nlohmann::json::object()) {
    return statusRefreshFor(Notification{name, {}, std::move(info)});
  };
  StatusRefresh imageOnly;
  imageOnly.image = true;
  StatusRefresh both;
  both.image = both.tooltip = true;

  StatusRefresh caps = imageOnly;
  caps.capsLockOn = false;
  EXPECT_EQ(refresh("CapsLockStateChanged", {{"isEnabled", false}}), caps);
  StatusRefresh ignored = imageOnly;
  ignored.ignoredIndicator = true;
  EXPECT_EQ(refresh("IgnoredWordStateChanged", {{"isIgnored", true}}), ignored);
  EXPECT_EQ(refresh("SecureInputStateChanged"), imageOnly);
  EXPECT_EQ(refresh("AXAvailabilityChanged", {{"isAvailable", false}}), both);
  EXPECT_EQ(refresh("AccessibilityStateChanged"), both);
  EXPECT_EQ(refresh("AppPauseStateChanged"), both);

  // Without their boolean (or with another type) three handlers do nothing.
  EXPECT_EQ(refresh("CapsLockStateChanged"), std::nullopt);
  EXPECT_EQ(refresh("CapsLockStateChanged", {{"isEnabled", 1}}), std::nullopt);
  EXPECT_EQ(refresh("IgnoredWordStateChanged", {{"isEnabled", true}}), std::nullopt);
  EXPECT_EQ(refresh("AXAvailabilityChanged", nlohmann::json()), std::nullopt);
  EXPECT_EQ(refresh("AppLanguageChanged"), std::nullopt);

  EXPECT_EQ(statusItemNotificationNames(),
            (std::vector<std::string>{"AppLanguageChanged", "CapsLockStateChanged", "SecureInputStateChanged",
                                      "IgnoredWordStateChanged", "AXAvailabilityChanged",
                                      "AccessibilityStateChanged", "AppPauseStateChanged"}));
}

}  // namespace
}  // namespace tessa
