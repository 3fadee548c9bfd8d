// A focused program whose text cannot be read is named with what would mend
// it: a browser engine started without its accessibility switch is told the
// switch, and a program with no accessibility toolkit is never told to
// restart, even when it was open before the desktop's switch went on.
#include <gtest/gtest.h>

#include "engine/flow_fixture.h"

namespace tessa::test {
namespace {

class UnsharedProgramTest : public FlowTest {
 protected:
  UnsharedProgramTest() {
    desk.accessibility().setPromptTurnsTrustOn(true);
    desk.accessibility().setProgramsShareFromTheirStart(true);
    desk.setTrusted(false);
    engine->requestAccessibility(false);  // start-up sees the switch off
    run();
    advance(5.0);
  }
  void grant() {
    advance(1.0);
    engine->openAccessibilitySettings();
    run();
    advance(5.0);
    ASSERT_TRUE(engine->isAccessibilityGranted.get());
  }
  // Launches `name`, brings it forward, its field showing "dbo".
  SimApplication& open(const std::string& name, TextSharing sharing) {
    auto& app = desk.launchApplication("org.example." + name, name);
    app.sharing = sharing;
    desk.activateApplication("org.example." + name);
    run();
    startWith("dbo", kABC);
    return app;
  }
  std::string convert(const char* language) {
    engine->appLanguage.set(language);
    engine->cycleCurrentWordLanguage();
    advance(1.0);
    const std::string marker = "showStatusHUD called with message: ";
    const auto& lines = fx.systemLog.consoleLines;
    for (auto it = lines.rbegin(); it != lines.rend(); ++it)
      if (auto at = it->find(marker); at != std::string::npos) return it->substr(at + marker.size());
    return {};
  }
};

TEST_F(UnsharedProgramTest, ABrowserWithoutItsSwitchIsToldTheSwitchAndConvertsOnceStartedWithIt) {
  grant();
  auto& chromium = open("Chromium", TextSharing::browserWithoutSwitch);  // started after the grant
  EXPECT_EQ(convert("en"),
            "Restart Chromium with --force-renderer-accessibility, subMessage: It shares its text only when started "
            "with this switch - nothing was changed");
  EXPECT_EQ(field().text(), "dbo");
  EXPECT_TRUE(logged("Chromium (pid " + std::to_string(chromium.info.pid) +
                     ") was started without --force-renderer-accessibility - nothing changed"));
  ASSERT_TRUE(engine->programToRestart.get());
  EXPECT_EQ(engine->programToRestart.get()->app.pid, chromium.info.pid);
  EXPECT_TRUE(engine->programToRestart.get()->withBrowserSwitch);
  EXPECT_EQ(convert("th"),
            "เปิด Chromium ใหม่พร้อม --force-renderer-accessibility, subMessage: "
            "โปรแกรมนี้แบ่งปันข้อความเฉพาะเมื่อเปิดพร้อมตัวเลือกนี้ - ไม่ได้เปลี่ยนอะไร");

  // Started again with its switch: it shares, and nothing is left to say.
  desk.terminateApplication("org.example.Chromium");
  open("Chromium", TextSharing::toolkit);
  convert("en");
  EXPECT_EQ(field().text(), thai("dbo"));
  engine->requestAccessibility(false);
  run();
  EXPECT_FALSE(engine->programToRestart.get());
}

TEST_F(UnsharedProgramTest, AProgramWithoutAToolkitIsNamedAndNeverToldToRestart) {
  open("XTerm", TextSharing::never);  // open before the switch went on
  grant();
  const std::string en = convert("en");
  EXPECT_EQ(en, "XTerm does not share its text, subMessage: It has no accessibility support, even after a restart - "
                "nothing was changed");
  EXPECT_EQ(field().text(), "dbo");
  EXPECT_EQ(en.find("Restart"), std::string::npos);
  EXPECT_FALSE(engine->programToRestart.get()) << "the setup page would say to restart it";
  EXPECT_EQ(convert("th"),
            "XTerm ไม่แบ่งปันข้อความ, subMessage: โปรแกรมนี้ไม่รองรับการเข้าถึง เปิดใหม่ก็อ่านไม่ได้ - ไม่ได้เปลี่ยนอะไร");

  // A toolkit program open as long is still told to restart once.
  desk.terminateApplication("org.example.XTerm");
  run();
  startWith("dbo", kABC);
  EXPECT_EQ(convert("en").rfind("Restart TextEdit once", 0), 0u);
}

}  // namespace
}  // namespace tessa::test
