#pragma once
// The key-mapping tool on X11. The engine asks for Caps Lock -> F19 through
// the other platform's `hidutil property` command; here the same calls (read
// and kept by `HidutilMapping`, as the simulated desktop reads them) switch
// the keyboard tap's own translation: Caps Lock is then reported as F19, and
// the lock its press toggled is undone, so the user's keymap is never
// changed. Every other tool runs as a real child process.
#include <mutex>

#include "platform/hidutil_mapping.h"
#include "platform/linux/linux_process_runner.h"

namespace tessa {

class X11EventSystem;

class X11KeyMappingRunner final : public ProcessRunner {
 public:
  explicit X11KeyMappingRunner(X11EventSystem& events) : events_(events) {}
  ProcessResult run(const std::string& path, const std::vector<std::string>& arguments,
                    double timeoutSeconds) override;

 private:
  X11EventSystem& events_;
  std::mutex mutex_;  // the engine runs tools from its settings queue
  HidutilMapping mapping_;
  LinuxProcessRunner others_;
};

}  // namespace tessa
