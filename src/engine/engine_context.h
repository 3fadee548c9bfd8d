#pragma once
// What the engine runs on, as a window or page model uses it: the machine's
// services, the main queue and the clock, the engine's diagnostic log and the
// console. A model that posts work, asks the platform or writes a log line
// takes an EngineContext instead of the whole engine. Handed out by
// `KeyboardEngine::context()`; it refers to the engine's environment, so it
// lives no longer than the engine, except through `owner`.
#include <functional>
#include <memory>
#include <string>

namespace tessa {

class Clock;
class TaskRunner;
struct Platform;

struct EngineContext {
  // The machine's services (platform/platform.h); any of them may be missing.
  const Platform& platform;
  TaskRunner& main;
  const Clock& clock;
  // A line in the engine's diagnostic log; any thread, nothing once the
  // engine is gone.
  std::function<void(const std::string& line)> log;
  // A line on the console and in the system log ("Tessavinor: …"); the same.
  std::function<void(const std::string& line)> console;
  // Alive as long as the engine: work that may run after it (a posted task,
  // an answer from the network) locks this before it reads any view.
  std::weak_ptr<void> owner;
};

}  // namespace tessa
