// Many switches in a row through the whole application on a real X server:
// each round taps or holds Caps Lock and types keys while the switch is held,
// with seeded random counts and timings, and the field must show exactly the
// keys typed, each in the layout switched to, in order: none lost, doubled or
// reordered. The keys come from the server's own keyboard, as a user's do,
// at a finger's pace: keys may follow each other closely, but one key is
// never typed twice within 30 ms. Every round is judged, and the case reports
// how many of its switches went wrong and how. Each round waits until its
// switch has landed and the field shows its keys, which is what bounds the
// run time.
#include <gtest/gtest.h>

#include <X11/Xlib.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "engine/keyboard_engine.h"
#include "platform/events.h"
#include "platform/input_sources.h"
#include "platform/keyboard_tables.h"
#include "platform/x11/x11_desktop.h"
#include "platform/x11/x11_event_system.h"
#include "x11/support/unavailable.h"
#include "x11_session/x11_application.h"
#include "x11_session/x11_session.h"

namespace tessa {
namespace {

using xsession::TestField;
using xsession::X11Application;
using xsession::XSession;

constexpr int kRounds = 100;
constexpr uint32_t kDefaultSeed = 20261207;
// The least time between two presses of one key that a finger manages.
constexpr double kSameKeyGap = 0.03;

// A Thai character the field shows on its own: not a vowel or tone mark
// that joins the character before it.
bool spacing(const std::string& text) {
  if (text.size() != 3 || static_cast<unsigned char>(text[0]) != 0xe0) return !text.empty();
  const uint32_t cp = ((text[0] & 0x0f) << 12) | ((text[1] & 0x3f) << 6) | (text[2] & 0x3f);
  return !(cp == 0x0e31 || (cp >= 0x0e34 && cp <= 0x0e3a) || (cp >= 0x0e47 && cp <= 0x0e4e));
}

TEST(HoldReplayRounds, EveryKeyTypedDuringARandomSwitchArrivesOnceInTheNewLayoutInOrder) {
  std::string why;
  // Under a window manager with its stock bindings, as on a desktop.
  xsession::XSessionOptions options;
  options.windowManager = xsession::windowManagerFromEnvironment(xsession::WindowManager::openbox);
  auto session = XSession::start(options, &why);
  if (!session) TESSA_X11_UNAVAILABLE(why);
  ASSERT_TRUE(session->setLayouts({"us", "th"}));
  session->resetKeyboardState();
  if (!session->startAccessibilityBus(&why)) TESSA_X11_UNAVAILABLE(why);
  auto field = TestField::start(*session, TestField::Kind::line, "", &why);
  ASSERT_TRUE(field) << why;
  auto app = X11Application::launch(*session, {}, &why);
  ASSERT_TRUE(app) << why;

  // Letter and punctuation keys that give one character on their own in
  // both layouts, read from the server's own keymap.
  auto* sources = app->x11().inputSources();
  std::shared_ptr<const KeyLayout> layouts[2] = {sources->layoutFor("xkb:us"), sources->layoutFor("xkb:th")};
  ASSERT_TRUE(layouts[0] && layouts[1]);
  struct Key {
    uint16_t code;
    std::string text[2];
  };
  std::vector<Key> keys;
  for (char c : std::string("abcdefghiklmopqrstvwxz,./;'[]")) {
    auto k = usKeyForCharacter(std::string(1, c));
    if (!k || k->second) continue;
    Key key{k->first, {}};
    for (int g = 0; g < 2; ++g) {
      uint32_t dead = 0;
      key.text[g] = layouts[g]->translate(k->first, 0, dead);
    }
    if (spacing(key.text[0]) && spacing(key.text[1])) keys.push_back(key);
  }
  ASSERT_GE(keys.size(), 15u);

  uint32_t seed = kDefaultSeed;
  if (const char* s = std::getenv("TESSAVINOR_ROUNDS_SEED")) seed = static_cast<uint32_t>(std::strtoul(s, nullptr, 10));
  int rounds = kRounds;  // more, for a measurement
  if (const char* s = std::getenv("TESSAVINOR_ROUNDS")) rounds = std::max(1, std::atoi(s));
  std::mt19937 rng(seed);
  auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };

  xsession::UserKeyboard keyboard(session->display());
  auto press = [&](uint16_t key, bool down) {
    keyboard.send(*X11EventSystem::xKeyCodeFor(key), down);
    XSync(session->display(), False);
  };
  // A user's hands do not wait for the application: each round's keys go
  // out on a thread of their own, on time, while this one runs the
  // application's main queue. (Played from the main queue's own thread, a
  // release would wait for whatever the engine is doing, and a tap would
  // become the long press the engine then rightly sees.)
  auto playAsAUser = [&](const std::vector<X11Application::Timed>& timeline) {
    std::atomic<bool> done{false};
    std::thread hands([&] {
      const auto origin = std::chrono::steady_clock::now();
      for (const auto& step : timeline) {
        std::this_thread::sleep_until(origin + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                   std::chrono::duration<double>(step.at)));
        step.action();
      }
      done = true;
    });
    app->main().pumpUntil([&] { return done.load(); }, 30.0);
    hands.join();
  };

  std::string expected;
  uint32_t group = 0;
  int keysTyped = 0;
  std::vector<std::string> faults;
  // Rounds whose hands, starved of the processor, held Caps Lock past the
  // long press though they meant a short one: the engine rightly takes that
  // for a long press, so they are listed, not counted.
  std::vector<std::string> playedLate;
  const double longPress = app->engine().holdThreshold();
  for (int round = 0; round < rounds; ++round) {
    const uint32_t target = 1 - group;
    // A tap (keys after the release) or a short hold (keys while it is down),
    // 1 to 6 keys, 0 to 20 ms apart, the first 0 to 30 ms after the press.
    const bool whileDown = rng() % 2 == 0;
    const int count = 1 + static_cast<int>(rng() % 6);
    std::vector<X11Application::Timed> timeline;
    // When Caps Lock actually went down and up: hands starved of the
    // processor hold it longer than planned (past the 350 ms of a long press).
    double capsDown = 0, capsUp = 0, capsHeld = 0;
    auto capsPress = [&] {
      capsDown = app->uptime();
      press(keycode::capsLock, true);
    };
    auto capsRelease = [&] {
      capsUp = app->uptime();
      press(keycode::capsLock, false);
    };
    timeline.push_back({0, capsPress});
    double t = whileDown ? uniform(0, 0.03) : uniform(0.01, 0.05);
    if (!whileDown) {
      capsHeld = t;
      timeline.push_back({t, capsRelease});
    }
    std::string typed;
    std::map<uint16_t, double> lastPress;
    for (int i = 0; i < count; ++i) {
      t += i == 0 ? uniform(0, 0.03) : uniform(0, 0.02);
      const Key* key = &keys[rng() % keys.size()];
      while (lastPress.count(key->code) && t - lastPress[key->code] < kSameKeyGap) key = &keys[rng() % keys.size()];
      lastPress[key->code] = t;
      timeline.push_back({t, [&, code = key->code] {
                            press(code, true);
                            press(code, false);
                          }});
      typed += key->text[target];
    }
    if (whileDown) {
      capsHeld = t + uniform(0.005, 0.04);
      timeline.push_back({capsHeld, capsRelease});
    }
    playAsAUser(timeline);
    keysTyped += count;

    expected += typed;
    std::string wrong;
    if (!app->waitForSwitchLanded(target, *session)) wrong += "; the switch did not land";
    std::string shown;
    if (!app->main().pumpUntil([&] {
          shown = field->state().value_or(TestField::State{"<no state>"}).text;
          return shown == expected;
        })) {
      // The field's end, from a character's first byte.
      size_t from = shown.size() - std::min(shown.size(), typed.size() + 12);
      while (from > 0 && (static_cast<unsigned char>(shown[from]) & 0xc0) == 0x80) --from;
      wrong += "; typed \"" + typed + "\", the field ends in \"" + shown.substr(from) + "\"";
      // The next round starts from what the field shows.
      expected = shown;
    }
    if (!wrong.empty()) {
      auto ms = [](double seconds) { return std::to_string(std::lround(seconds * 1000)); };
      const bool late = capsUp - capsDown >= longPress && capsHeld < longPress;
      (late ? playedLate : faults)
          .push_back("round " + std::to_string(round) + " (" + (whileDown ? "held" : "tapped") + ", " +
                     std::to_string(count) + " keys, Caps Lock held " + ms(capsUp - capsDown) + " ms of " +
                     ms(capsHeld) + " planned)" + wrong);
    }
    // The next round switches from wherever this one left the keyboard.
    group = session->lockedGroup();
  }
  std::printf("HoldReplayRounds: %zu faults in %d switches (%d keys), %zu played late, seed %u\n", faults.size(),
              rounds, keysTyped, playedLate.size(), seed);
  for (const auto& r : playedLate) std::printf("  played late: %s\n", r.c_str());
  std::string list;
  for (const auto& f : faults) list += "  " + f + "\n";
  EXPECT_TRUE(faults.empty()) << faults.size() << " of " << rounds << " switches went wrong (seed " << seed << "):\n"
                              << list << app->diagnostics();
  EXPECT_FALSE(session->capsLocked()) << "the switcher key never leaves the lock on";
}

}  // namespace
}  // namespace tessa
