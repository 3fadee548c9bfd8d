// Simulated applications: how fields apply keys (deletion by code point or by
// grapheme cluster), what Accessibility reads of them in UTF-16 units, and
// workspace events.
#include <gtest/gtest.h>

#include "platform/sim/sim_desktop.h"

namespace tessa {
namespace {

class SimApplicationsTest : public ::testing::Test {
 protected:
  ManualClock clock;
  ManualTaskRunner runner{clock};
  SimDesktop desk{clock, runner};
  SimTextField& field() { return *desk.focusedField(); }
  void pressDelete(int times = 1) {
    for (int i = 0; i < times; ++i) desk.tapKey(keycode::deleteKey);
    runner.runUntilIdle();
  }
};

TEST_F(SimApplicationsTest, DeletionByCodePointOrGraphemeCluster) {
  // "ที่นี่": each syllable is a consonant with two combining marks.
  SimApplication& perCodePoint = desk.launchApplication("com.example.terminal", "Terminal");
  perCodePoint.field.setDeletionUnit(DeletionUnit::codePoint);
  perCodePoint.field.setText("ที่นี่");
  desk.activateApplication("com.example.terminal");
  pressDelete();
  EXPECT_EQ(field().text(), "ที่นี");
  pressDelete(2);
  EXPECT_EQ(field().text(), "ที่");

  desk.activateApplication(SimDesktop::kDefaultAppBundleID);
  field().setDeletionUnit(DeletionUnit::graphemeCluster);
  field().setText("ที่นี่");
  pressDelete();
  EXPECT_EQ(field().text(), "ที่");
  EXPECT_EQ(field().caret(), 3);

  // A character outside the BMP is two UTF-16 units but one code point.
  perCodePoint.field.setText("a😀");
  desk.activateApplication("com.example.terminal");
  pressDelete();
  EXPECT_EQ(field().text(), "a");
  pressDelete(2);  // nothing left to delete is not an error
  EXPECT_EQ(field().text(), "");
}

TEST_F(SimApplicationsTest, KeysEditAroundTheCaretAndSelection) {
  field().setText("abcd");
  field().setSelection({1, 2});
  desk.typeText("X");
  runner.advance(1);
  EXPECT_EQ(field().text(), "aXd");
  EXPECT_EQ(field().caret(), 2);
  desk.tapKey(keycode::left);
  desk.tapKey(keycode::right, flags::shift);  // selects "X"

  desk.tapKey(keycode::returnKey);
  runner.runUntilIdle();
  EXPECT_EQ(field().text(), "a\nd");
  desk.tapKey(keycode::escape);
  desk.tapKey(keycode::tab);
  desk.tapKey(keycode::v, flags::command);
  runner.runUntilIdle();
  EXPECT_EQ(field().text(), "a\nd");
}

TEST_F(SimApplicationsTest, AccessibilityCountsInUtf16Units) {
  Accessibility& ax = desk.accessibility();
  field().setText("ab😀ดี");
  field().setSelection({2, 2});
  auto focused = ax.focusedElement(0.05);
  ASSERT_TRUE(focused.ok());
  EXPECT_EQ(focused.value->pid, desk.frontmostApplication()->info.pid);
  const AXElement el = *focused.value;
  EXPECT_EQ(ax.role(el).value, "AXTextField");
  EXPECT_EQ(ax.subrole(el).error, AXError::noValue);
  EXPECT_EQ(ax.value(el).value, "ab😀ดี");
  EXPECT_EQ(ax.selectedText(el).value, "😀");
  EXPECT_EQ(ax.selectedTextRange(el).value, (TextRange{2, 2}));
  EXPECT_EQ(ax.stringForRange(el, {4, 2}).value, "ดี");
  EXPECT_EQ(ax.stringForRange(el, {4, 3}).error, AXError::illegalArgument);
  auto caret = ax.boundsForRange(el, {6, 0});
  auto start = ax.boundsForRange(el, {0, 0});
  ASSERT_TRUE(caret.ok() && start.ok());
  EXPECT_DOUBLE_EQ(caret.value->x - start.value->x, 48);
  EXPECT_EQ(caret.value->y, start.value->y);
  EXPECT_TRUE(ax.frame(el).ok());
  // The element stays the same while the text changes.
  desk.typeText("x");
  runner.advance(1);
  EXPECT_EQ(ax.focusedElement(0.05).value, el);
  EXPECT_EQ(ax.selectedTextRange(el).value, (TextRange{3, 0}));
}

TEST_F(SimApplicationsTest, AccessibilityModesSecureFieldsAndTrust) {
  Accessibility& ax = desk.accessibility();
  InputSources& sources = desk.inputSources();
  SimApplication& app = *desk.frontmostApplication();
  const AXElement el = *ax.focusedElement(0.05).value;

  app.field.setSecure(true);
  app.field.setText("hunter2");
  EXPECT_EQ(ax.subrole(el).value, "AXSecureTextField");
  EXPECT_EQ(ax.value(el).value, "");
  EXPECT_TRUE(sources.isSecureEventInputEnabled());
  app.field.setSecure(false);
  EXPECT_FALSE(sources.isSecureEventInputEnabled());
  desk.setSecureEventInput(true);
  EXPECT_TRUE(sources.isSecureEventInputEnabled());

  app.axMode = SimAXMode::dormant;
  EXPECT_EQ(ax.focusedElement(0.05).error, AXError::noValue);
  app.axMode = SimAXMode::unavailable;
  EXPECT_EQ(ax.focusedElement(0.05).error, AXError::failure);
  EXPECT_EQ(ax.value(el).error, AXError::failure);
  app.axMode = SimAXMode::timesOut;
  EXPECT_EQ(ax.focusedElement(0.05).error, AXError::cannotComplete);
  app.axMode = SimAXMode::readable;

  int trustChanges = 0;
  Subscription sub = ax.observeTrustListChanged([&] { ++trustChanges; });
  desk.setTrusted(false);
  EXPECT_FALSE(ax.isProcessTrusted(true));
  EXPECT_EQ(desk.accessibility().promptCount(), 1);
  EXPECT_EQ(ax.focusedElement(0.05).error, AXError::apiDisabled);
  EXPECT_EQ(trustChanges, 0);  // delivered on the main queue
  runner.runUntilIdle();
  EXPECT_EQ(trustChanges, 1);
}

TEST_F(SimApplicationsTest, WorkspaceEventsArriveOnTheMainQueue) {
  std::vector<std::pair<WorkspaceEvent, std::string>> seen;
  Subscription sub = desk.workspace().observe([&](WorkspaceEvent e, const std::optional<RunningApplication>& app) {
    seen.emplace_back(e, app ? app->bundleID : "");
  });
  desk.launchApplication("com.example.browser", "Browser").field.setText("url");
  desk.activateApplication("com.example.browser");
  desk.lockScreen();
  EXPECT_TRUE(seen.empty());
  runner.runUntilIdle();
  ASSERT_EQ(seen.size(), 3u);
  EXPECT_EQ(seen[1], std::make_pair(WorkspaceEvent::didActivateApplication, std::string("com.example.browser")));
  EXPECT_EQ(seen[2].first, WorkspaceEvent::screenLocked);
  EXPECT_EQ(desk.workspace().frontmostApplication()->name, "Browser");
  EXPECT_EQ(desk.transcript()["text"], "url");

  // Quitting the frontmost application brings the previous one forward.
  desk.terminateApplication("com.example.browser");
  runner.runUntilIdle();
  EXPECT_EQ(seen.back(), std::make_pair(WorkspaceEvent::didActivateApplication,
                                        std::string(SimDesktop::kDefaultAppBundleID)));
  EXPECT_EQ(desk.workspace().runningApplications().size(), 2u);  // ourselves and TextEdit

  // Observers that went away hear nothing, and neither does anyone once the
  // desktop is gone.
  sub.reset();
  desk.wake();
  runner.runUntilIdle();
  EXPECT_EQ(seen.size(), 5u);
  EXPECT_TRUE(desk.workspace().openURL("x-apple.systempreferences:com.apple.preference.keyboard"));
  EXPECT_EQ(desk.workspace().openedURLs().size(), 1u);
}

TEST(SimDesktopLifetime, QueuedWorkOutlivingTheDesktopDoesNothing) {
  ManualClock clock;
  ManualTaskRunner runner{clock};
  {
    SimDesktop desk{clock, runner};
    desk.typeText("abc", 0.1);
    desk.inputSources().select("com.apple.keylayout.Thai");
  }
  runner.advance(1);  // must not touch the destroyed desktop
  SUCCEED();
}

}  // namespace
}  // namespace tessa
