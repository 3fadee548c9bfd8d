#pragma once
// The permission repair behind "Enabled but not working? Repair": clears
// what this program remembers of its Accessibility grant and starts a fresh
// copy of itself, which waits for this one to let go of the single-instance
// lock, while this one quits through the ordered shut-down so the keyboard
// is put back first. No instance is ever left without a successor: the
// successor is started before this one begins to quit, and a successor that
// cannot be started stops the repair.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app_core/dashboard/accessibility_repair_texts.h"
#include "engine/engine_accessibility.h"
#include "engine/engine_context.h"
#include "engine/hud_notice_sink.h"

namespace tessa {

class UserDefaults;

// Starts a program that outlives this process. Tests give a recording one.
class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // None when the program was started; else why it could not be.
  virtual std::optional<std::string> launchDetached(const std::string& path,
                                                    const std::vector<std::string>& arguments) = 0;
};

// posix_spawn in a session of its own, so the child is not taken down with
// this process's terminal or process group.
class PosixProcessLauncher final : public ProcessLauncher {
 public:
  std::optional<std::string> launchDetached(const std::string& path,
                                            const std::vector<std::string>& arguments) override;
};

class AccessibilityRepair : public AccessibilityRepairTexts {
 public:
  // Repairs in a row without a verified grant in between, before the next
  // one is refused (the count is cleared when a relaunch finds the grant).
  static constexpr int kMaxAttempts = 3;
  // Long enough for the announcement to be read before the program goes.
  static constexpr double kQuitDelay = 1.2;
  static constexpr const char* kHudSymbol = "arrow.triangle.2.circlepath";
  static constexpr const char* kSpawnFailedLine = "AX repair could not spawn its helper: ";

  enum class Outcome { relaunching, refusedAttemptCap, helperNotStarted };

  // `executable` is this program; `quit` runs the ordered shut-down. The
  // repair's marks go to `defaults`, where the relaunched program reads them.
  AccessibilityRepair(EngineAccessibility accessibility, EngineContext context, UserDefaults& defaults,
                      HudNotices hud, ProcessLauncher& launcher, std::string executable, std::function<void()> quit);
  ~AccessibilityRepair();

  // Makes this the engine's repair for as long as this object lives.
  void install();

  Outcome repair(bool automatic, bool userConfirmed);

  // This program's own path, as the kernel knows it.
  static std::string currentExecutable();

 private:
  EngineAccessibility accessibility_;
  EngineContext context_;
  UserDefaults& defaults_;
  HudNotices hud_;
  ProcessLauncher& launcher_;
  std::string executable_;
  std::function<void()> quit_;
  // Pending steps hold it weakly: once this object is gone they do nothing.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

// A relaunched program's first step, before it reads any settings: waits,
// polling every `pollSeconds` through `sleep`, until no other process holds
// the instance lock at `lockPath`, so the settings it reads are the ones the
// previous process saved on its way out. False when the lock was still held
// after `seconds`. A lock that cannot be opened at all does not hold it up.
bool waitForInstanceLockRelease(const std::filesystem::path& lockPath, int64_t pid, double seconds,
                                double pollSeconds, const std::function<void(double)>& sleep);

}  // namespace tessa
