#pragma once
// Event taps and posting on an X11 server.
//
// The filtering tap holds the keyboard only where the engine may swallow,
// change or hold a key: each key it names (`setDecidedKeys`: the switcher
// keys, its hot-key chords) is a synchronous XInput2 passive grab on the
// root window, and while the engine holds keys (`setKeyboardHeld`: a
// switch, the Caps Lock press, the keys it types itself) every key is. A
// grabbed press freezes the keyboard until we answer, so the callback can
// pass it (replay), swallow it, or change it (swallow and post the
// replacement). Every other key goes straight to the focus, which never
// hears that it lost the keyboard, and reaches the tap from XInput2 raw
// events as heard only (`Event::listenOnly`). Releases cannot be grabbed
// that way; they come from the raw events too and are reported without a
// say over them. When another client (a window manager) already holds key
// combinations on the root, each key is grabbed with every modifier
// combination but those: the other client's shortcuts stay its own and
// reach the tap as heard only; `filtersEveryKey()` answers false only when
// it holds keys as they are typed.
//
// The callbacks run on the main queue. A dedicated thread owns the grab's
// connection; while a press waits for the main queue's answer the keyboard is
// frozen, so past the handler budget the thread lets the key through itself,
// disables the tap and reports `tapDisabledByTimeout`, as a system tap would.
//
// Posting goes through XTest. X events carry no user data, so every posted
// key is written in a ledger; when it comes back through our own grab it is
// handed to the callback with the fields the poster gave it. Keys posted by
// anyone else (a test harness included) are the user's.
#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "base/observable.h"
#include "base/task_runner.h"
#include "platform/events.h"

typedef struct _XDisplay Display;
union _XEvent;

namespace tessa {

class PostedLedger;
class TextTyper;
class XTestPoster;

struct X11EventSystemOptions {
  // [ours] How long a press may wait for the callback before it passes on
  // its own (under the 1.5 s the slow-callback check sleeps).
  double handlerBudgetSeconds = 1.0;
  // How long a posted key waits in the ledger for its return.
  double ledgerLifetimeSeconds = 2.0;  // [ours]
  std::function<void(const std::string&)> log;
};

class X11EventSystem final : public EventSystem {
 public:
  // Null when the display cannot be opened or lacks XInput2 or XTest; `why`
  // then says which.
  static std::unique_ptr<X11EventSystem> create(const std::string& displayName, TaskRunner& main,
                                                X11EventSystemOptions options, std::string* why = nullptr);
  ~X11EventSystem() override;
  X11EventSystem(const X11EventSystem&) = delete;
  X11EventSystem& operator=(const X11EventSystem&) = delete;

  TapId createTap(TapLocation location, bool headInsert, TapOptions options, uint64_t mask,
                  TapCallback callback) override;
  void enableTap(TapId tap, bool enable) override;
  bool isTapEnabled(TapId tap) const override;
  void addTapToRunLoop(TapId tap) override;
  void removeTapFromRunLoop(TapId tap) override;
  void invalidateTap(TapId tap) override;
  bool isTapValid(TapId tap) const override;
  void post(TapLocation location, const Event& event) override;
  void postAll(TapLocation location, const std::vector<Event>& events) override;
  bool canPostEvents() const override { return true; }
  uint64_t hardwareModifierFlags() const override;
  std::pair<double, double> mouseLocation() const override;
  Subscription addGlobalKeyDownMonitor(std::function<void(const Event&)> handler) override;
  bool filtersEveryKey() const override { return !fallback_.load(); }
  std::vector<std::string> keysHeldByOthers() const override;
  bool comboHeldByOthers(uint16_t keyCode, uint64_t modifierFlags) const override;
  bool ownKeysInFlight() const override;
  void whenOwnKeysThrough(std::function<void()> then) override;
  void setDecidedKeys(std::vector<DecidedKey> keys) override;
  void setKeyboardHeld(bool held) override;

  // Reports Caps Lock as F19 and undoes the lock its press toggles: the
  // X11 form of remapping the key, without touching the user's keymap.
  void setCapsLockAsF19(bool on) { capsAsF19_ = on; }
  bool capsLockAsF19() const { return capsAsF19_.load(); }

  // The system's next-input-source hot key, which this back end honours as
  // the desktop would: while `bound` answers true (entry 61 is enabled on
  // Fn+F19), a posted Fn+F19 press locks the next keyboard group before
  // post() returns (after the keys posted before it, before any posted after
  // it), and never reaches the focused window. Called on the poster's thread.
  void setNextSourceHotKey(std::function<bool()> bound);

  // Waits until every request already made to the grab thread (grabs,
  // ungrabs, posts) has reached the server. For shutdown and tests.
  void flush();
  // Quit: every tap stops and the grabs are released.
  void invalidateAllTaps();
  // Keys posted and not yet seen coming back.
  size_t ledgerSize() const;

  // Virtual key code <-> X key code (evdev + 8); none for keys we do not map.
  static std::optional<uint16_t> keyCodeForX(unsigned xKeyCode);
  static std::optional<unsigned> xKeyCodeFor(uint16_t keyCode);

 private:
  struct Tap {
    TapOptions options = TapOptions::defaultTap;
    uint64_t mask = 0;
    TapCallback callback;
    bool enabled = true, attached = false, valid = true;
  };
  struct Decision {
    uint64_t serial = 0;
    std::optional<Event> result;
    unsigned xKeyCode = 0;  // the frozen press
    bool usersPostedAgain = false;  // a user's key we posted again
  };
  struct Impl;

  X11EventSystem(TaskRunner& main, X11EventSystemOptions options, Display* grab, Display* query);

  // The members live by job (the list is in x11_event_system_internal.h).
  // x11_event_system.cpp: lifetime, taps, delivery to the main queue.
  void wake();
  bool wantsGrab() const;
  void deliver(EventType type, Event event, bool answerable, uint64_t serial);
  void answer(uint64_t serial, std::optional<Event> result);
  void notifyMonitors(const Event& event);
  void logLine(const std::string& line) const;

  // x11_grab_thread.cpp: each key read, frozen and answered.
  void threadMain();
  unsigned rawHeldModifiers() const;
  void onKeyPress(unsigned xKeyCode, unsigned state, int sourceid, unsigned long time);
  void onRawEvent(int evtype, unsigned detail, int sourceid, bool beforeAroundSync = false);
  void postQueued(const std::deque<Event>& posts);
  // One of them: posted, or shown to the tap alone (a release sent already).
  void postOne(const Event& event);
  // Shows the tap the posted events that sent nothing, once the keys posted
  // before them are back.
  void showPostedInTurn();
  // Posts [from, to) in order until one must wait; answers where it stopped.
  std::deque<Event>::const_iterator postInTurn(std::deque<Event>::const_iterator from,
                                               std::deque<Event>::const_iterator to);
  bool holdPostsForAround();
  bool flushPending() const;
  // Every modifier combination when `modifiers` is empty.
  void grabOneKey(unsigned code, unsigned long window, const std::vector<unsigned>& modifiers = {});
  // A hold's grab of `code` (every key: XIAnyKeycode).
  void grabForHold(unsigned code);
  void ungrabOneKey(unsigned code, unsigned long window);
  unsigned long focusedWindow();
  bool openKeyForOwnKeys(unsigned code);
  void closeKeysOpened();
  // `state`: the modifier state the release came with, when its event
  // carries one.
  void onRelease(unsigned xKeyCode, std::optional<unsigned> state, int sourceid);
  void onUngrabbedRawKey(unsigned xKeyCode, bool press, int sourceid);
  void timeOut();
  Event eventFromX(unsigned xKeyCode, unsigned state, bool press) const;
  // The server's state as keys are read with it (group in bits 13-14).
  unsigned serverKeyState() const;

  // x11_key_grab.cpp: the passive grabs, and the keys another client holds.
  void updateGrab();
  // Which keys and combinations another client holds on the root.
  void probeKeysHeldByOthers();
  void grabDecidedKeys(const std::vector<DecidedKey>& keys);
  void ungrabDecidedKeys();
  void holdEveryKey();
  void releaseEveryKey();
  // A raw press waits for the next key event to tell whether one of our
  // grabs took it: its own grabbed press comes right behind it.
  void noteRawPress(unsigned xKeyCode, int sourceid);
  // The raw presses no grab of ours took, heard only; `grabbed`: the key
  // code of a grabbed press just read, whose raw press is not one of them.
  void settleRawPresses(std::optional<unsigned> grabbed = std::nullopt);
  void heardOnly(unsigned xKeyCode, int sourceid);
  void setKeysHeldByOthers(std::vector<std::string> keys);

  // The press the callback let pass, changed into its own text where
  // Caps Lock, taken as F19, is held (x11_grab_thread.cpp).
  bool typesOtherTextUnderHeldCapsLock(unsigned xKeyCode, const Event& event);

  // x11_xtest_poster.cpp: the next-source hot key, honoured where post() is
  // called.
  bool honourNextSourceHotKey(const Event& event);
  // Hands the waiters for our keys to the main queue once they are through.
  void tellOwnKeysThrough();

  TaskRunner& main_;
  X11EventSystemOptions options_;
  std::unique_ptr<Impl> impl_;
  // The jobs that own their state (and their locks): our posted keys known
  // again, text on spare key codes, posting with XTest.
  std::unique_ptr<PostedLedger> ledger_;
  std::unique_ptr<TextTyper> typer_;
  std::unique_ptr<XTestPoster> poster_;
  mutable std::mutex mutex_;  // taps_, decision_, pending serial, flush tickets
  std::map<TapId, Tap> taps_;
  TapId nextTap_ = 1;
  std::optional<Decision> decision_;
  uint64_t pendingSerial_ = 0;      // the press waiting for an answer; 0 = none
  unsigned pendingXKeyCode_ = 0;
  bool pendingUsersPostedAgain_ = false;
  double pendingDeadline_ = 0;
  uint64_t nextSerial_ = 1;
  uint64_t flushRequested_ = 0, flushDone_ = 0;
  std::atomic<bool> fallback_{false};
  std::vector<std::function<void()>> ownKeysThroughWaiters_;  // under mutex_
  std::vector<std::string> keysHeldByOthers_;  // under mutex_
  std::map<unsigned, std::set<unsigned>> heldCombos_;  // under mutex_: another client's, by X key code
  std::vector<DecidedKey> decidedKeys_;  // under mutex_
  uint64_t decidedGeneration_ = 0;       // under mutex_
  bool keyboardHeld_ = false;            // under mutex_
  std::atomic<bool> capsAsF19_{false};
  std::atomic<bool> running_{true};
  std::shared_ptr<std::atomic<bool>> alive_ = std::make_shared<std::atomic<bool>>(true);
  std::vector<std::weak_ptr<std::function<void(const Event&)>>> globalMonitors_;  // main queue only
  std::thread thread_;
};

}  // namespace tessa
