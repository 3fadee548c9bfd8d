#pragma once
// A private X server for one test binary, a window that records what each
// key types into it, a harness "user" typing through XTest, and a main queue
// the test pumps. Waiting is always polling for a marker against a deadline.
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "base/task_runner.h"
#include "x11_session/x11_session.h"

typedef struct _XDisplay Display;

namespace tessa::test {

// Xvfb started with -displayfd (it chooses a free display) and -noreset, the
// layouts us,th loaded. One per process, shared by its cases.
class XvfbServer {
 public:
  static XvfbServer& shared();  // aborts the test binary when Xvfb cannot start
  ~XvfbServer();
  const std::string& display() const { return display_; }
  // Group 0, no locked or latched modifiers, no grabs by leftover clients.
  void resetKeyboardState();

 private:
  XvfbServer();
  std::unique_ptr<xsession::XSession> session_;
  std::string display_;
};

// A main queue the test drains by hand from its own thread.
class PumpedRunner final : public TaskRunner {
 public:
  TaskHandle postDelayed(double delaySeconds, Task task) override;
  bool runsTasksOnCurrentThread() const override { return true; }
  void runSync(Task task) override { task(); }
  void runPending();

 private:
  std::mutex mutex_;
  std::vector<std::pair<Task, std::shared_ptr<std::atomic<bool>>>> tasks_;
};

// A focused window that appends the text of each key press it receives. It
// reads keys as a toolkit does (Qt through xkbcommon-x11): with a keymap of
// its own, fetched again whenever it comes to a keymap change among its
// events, in their order.
class KeyLogWindow {
 public:
  // In `parent` (a mapped window, as a window manager's frame) when given.
  explicit KeyLogWindow(const std::string& display, unsigned long parent = 0);
  ~KeyLogWindow();
  void pump();
  std::string text() const { return text_; }
  // A slow program: busy this long with each key press it takes, and it
  // takes one per pump.
  void takeKeysSlowly(double secondsPerKey) { secondsPerKey_ = secondsPerKey; }

 private:
  void loadKeymap();

  Display* d_ = nullptr;
  unsigned long window_ = 0;
  std::string text_;
  double secondsPerKey_ = 0;
  struct Xkb;
  std::unique_ptr<Xkb> xkb_;
};

// The user at the keyboard, through XTest (virtual key codes).
class XTestUser {
 public:
  explicit XTestUser(const std::string& display);
  ~XTestUser();
  void down(uint16_t keyCode);
  void up(uint16_t keyCode);
  void tap(uint16_t keyCode) {
    down(keyCode);
    up(keyCode);
  }
  Display* display() const { return d_; }

 private:
  Display* d_ = nullptr;
};

// Pumps `runner` and `window` until `done` holds or `seconds` pass.
bool waitFor(const std::function<bool()>& done, double seconds, PumpedRunner* runner, KeyLogWindow* window);

}  // namespace tessa::test
