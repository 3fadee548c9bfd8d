// The engine's read of the focused field, over AT-SPI on a real X server, in
// each toolkit's fields.
#include <gtest/gtest.h>

#include "engine/accessibility_text.h"
#include "platform/x11/atspi_accessibility.h"
#include "platform/x11/x11_window_focus.h"
#include "support/key_road_fixture.h"
#include "x11/support/field_choice.h"
#include "x11/support/unavailable.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using xsession::TestField;
using xsession::waitUntil;
using xsession::XSession;

class FocusedTextTest : public ::testing::TestWithParam<xsession::Toolkit> {
 protected:
  void SetUp() override {
    TESSA_X11_NEEDS_FIELD(GetParam());
    std::string why;
    // No window manager, unless TESSAVINOR_X11_WM names one for the run.
    xsession::XSessionOptions options;
    options.windowManager = xsession::windowManagerFromEnvironment(xsession::WindowManager::none);
    session = XSession::start(options, &why);
    if (!session) TESSA_X11_UNAVAILABLE(why);
    if (!session->startAccessibilityBus(&why)) TESSA_X11_UNAVAILABLE(why);
    inputFocus = X11WindowFocus::open(session->displayName(), &why);
    ASSERT_TRUE(inputFocus) << why;
    ax = std::make_unique<AtspiAccessibility>(main, inputFocus.get());
    ASSERT_TRUE(ax->isProcessTrusted(true));
    f.platform.accessibility = ax.get();
    f.startEngine(false);
  }
  void TearDown() override { f.engine.reset(); }

  // The engine's read once the window's widget has the focus.
  FocusedTextRead readWhenFocused(TestField::Kind kind, const std::string& text) {
    std::string why;
    field = TestField::start(*session, GetParam(), kind, text, &why);
    EXPECT_TRUE(field) << why;
    FocusedTextRead read;
    waitUntil(
        [&] {
          read = readFocusedText(*f.engine);
          return read.problem != FocusedTextProblem::noFocusedField || read.text;
        },
        5.0, 0.01);
    return read;
  }

  SerialQueue main{"main"};
  test::KeyRoadFixture f;
  std::unique_ptr<XSession> session;
  std::unique_ptr<X11WindowFocus> inputFocus;  // before ax, which asks it until it ends
  std::unique_ptr<AtspiAccessibility> ax;
  std::unique_ptr<TestField> field;
};

TEST_P(FocusedTextTest, AThaiFieldReadsInTheEnginesUnits) {
  auto read = readWhenFocused(TestField::Kind::line, "😀 สวัสดี");
  ASSERT_TRUE(read.text);
  EXPECT_EQ(read.text->text, u"😀 สวัสดี");
  EXPECT_EQ(read.text->selection, (TextRange{9, 0}));
}

TEST_P(FocusedTextTest, APasswordFieldIsSecure) {
  auto read = readWhenFocused(TestField::Kind::password, "secret");
  EXPECT_FALSE(read.text);
  EXPECT_EQ(read.problem, FocusedTextProblem::secureField);
}

TEST_P(FocusedTextTest, AWindowWithoutTextGivesNoText) {
  auto read = readWhenFocused(TestField::Kind::button, "");
  EXPECT_FALSE(read.text);
  EXPECT_EQ(read.problem, FocusedTextProblem::unreadable);
}

INSTANTIATE_TEST_SUITE_P(Fields, FocusedTextTest,
                         ::testing::Values(xsession::Toolkit::qt, xsession::Toolkit::gtk3, xsession::Toolkit::gtk4),
                         [](const auto& info) { return std::string(xsession::toolkitName(info.param)); });

}  // namespace
}  // namespace tessa
