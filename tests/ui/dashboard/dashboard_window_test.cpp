#include "ui/dashboard/dashboard_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

#include "app_core/app_delegate.h"
#include "engine/keyboard_engine.h"
#include "platform/sim/sim_desktop.h"
#include "support/delegate_environment.h"
#include "support/engine_fixture.h"
#include "ui/dashboard/content_view.h"
#include "support/settle.h"

namespace tessa {
namespace {

// The delegate's window system with real dashboard windows and nothing else.
class QtWindowsOnly final : public ShellHost {
 public:
  QtWindowsOnly(std::shared_ptr<KeyboardEngine> engine, NotificationCenter& notifications)
      : engine_(std::move(engine)), notifications_(notifications) {}
  StatusItemView* makeStatusItemView() override { return nullptr; }
  std::unique_ptr<DashboardWindow> makeDashboardWindow(const std::string& title, double width, double height,
                                                       std::function<void()> onClose) override {
    auto window = std::make_unique<QtDashboardWindow>(engine_->views(), notifications_, title, width, height,
                                                      std::move(onClose));
    last = window.get();
    ++windowsMade;
    return window;
  }
  void terminate() override {}

  QtDashboardWindow* last = nullptr;
  int windowsMade = 0;

 private:
  std::shared_ptr<KeyboardEngine> engine_;
  NotificationCenter& notifications_;
};

class DashboardWindowTest : public ::testing::Test {
 protected:
  DashboardWindowTest() : desk(fx.clock, fx.runner) {
    fx.platform = desk.platform();
    engine = fx.start();
    fx.runner.runUntilIdle();
    engine->hasCompletedOnboarding.set(true);
    shell = std::make_unique<QtWindowsOnly>(engine, fx.notifications);
    AppDelegateEnvironment env = test::delegateEnvironment(fx, *shell);
    env.makeEngine = [this] { return engine; };
    delegate = AppDelegate::create(std::move(env));
  }
  ~DashboardWindowTest() override {
    delegate.reset();
    settle();
    engine.reset();
    fx.engine.reset();
  }
  static void settle() { test::settle(); }

  test::EngineFixture fx;
  SimDesktop desk;
  std::shared_ptr<KeyboardEngine> engine;
  std::unique_ptr<QtWindowsOnly> shell;
  std::shared_ptr<AppDelegate> delegate;
};

TEST_F(DashboardWindowTest, OpensOneFixedCentredWindowAndBringsItBackWhileOpen) {
  delegate->openDashboard();
  settle();
  ASSERT_NE(shell->last, nullptr);
  QWidget* window = shell->last->widget();
  EXPECT_TRUE(shell->last->isVisible());
  EXPECT_EQ(window->windowTitle(), "Tessavinor Dashboard");
  EXPECT_EQ(window->size(), QSize(680, 480));
  EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "not resizable";
  EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
  EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose)) << "closing the dashboard never ends the program";
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    EXPECT_LE((window->geometry().center() - screen->availableGeometry().center()).manhattanLength(), 2);
  }
  EXPECT_NE(window->findChild<ContentView*>("dashboardContent"), nullptr);

  delegate->openDashboard();
  EXPECT_EQ(shell->windowsMade, 1) << "an open window is reused";
}

TEST_F(DashboardWindowTest, AClosedWindowIsReleasedAndTheNextOpenBuildsAFreshOne) {
  delegate->openPreferencesWindowToTab(2);
  fx.runner.advance(0.1);
  settle();
  ASSERT_NE(shell->last, nullptr);
  EXPECT_EQ(shell->last->contentView()->model().currentSection(), 2);

  QPointer<QWidget> first = shell->last->widget();
  first->close();
  EXPECT_FALSE(delegate->hasDashboardWindow()) << "closing lets go of the window";
  ASSERT_FALSE(first.isNull()) << "the widget outlives its own close handling";
  settle();
  EXPECT_TRUE(first.isNull()) << "and is deleted afterwards";

  fx.notifications.post("OpenDashboardTab", 7);  // no window listens now
  delegate->openDashboard();
  settle();
  EXPECT_EQ(shell->windowsMade, 2);
  ASSERT_NE(shell->last->contentView(), nullptr);
  EXPECT_EQ(shell->last->contentView()->model().currentSection(), 0) << "a fresh window starts on setup status";
  EXPECT_TRUE(shell->last->isVisible());
}

TEST_F(DashboardWindowTest, ReplayOnboardingReopensTheWindowWithTheSheet) {
  delegate->replayOnboarding();
  fx.runner.advance(0.15);
  settle();
  ASSERT_NE(shell->last, nullptr);
  ContentView* content = shell->last->contentView();
  ASSERT_NE(content->onboardingSheet(), nullptr);
  EXPECT_TRUE(content->onboardingSheet()->isVisible());
}

TEST_F(DashboardWindowTest, DroppingTheWindowObjectClosesItWithoutCallingBack) {
  int closes = 0;
  auto window =
      std::make_unique<QtDashboardWindow>(engine->views(), fx.notifications, "t", 680, 480, [&] { ++closes; });
  window->makeKeyAndOrderFront();
  QPointer<QWidget> widget = window->widget();
  window.reset();
  settle();
  EXPECT_TRUE(widget.isNull());
  EXPECT_EQ(closes, 0);
}

}  // namespace
}  // namespace tessa
