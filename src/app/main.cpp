#include <cstdio>
#include <string>
#include <vector>

#include "app/tessavinor_app.h"
#include "app_core/instance_channel.h"
#include "platform/linux/linux_desktop.h"
#include "reliability/launch_environment_guard.h"

int main(int argc, char** argv) {
  // `tessavinor --action NAME` only hands NAME to the running instance: no
  // window, no lock, no engine.
  std::vector<std::string> args(argv + 1, argv + argc);
  const auto lock = tessa::LaunchEnvironmentGuard::instanceLockLocation(tessa::LinuxDesktopOptions{}.bundleIdentifier);
  if (auto outcome = tessa::InstanceChannel::runCommand(args, tessa::InstanceChannel::socketPathFor(lock.path))) {
    if (!outcome->message.empty()) std::fprintf(stderr, "%s\n", outcome->message.c_str());
    return outcome->exitStatus;
  }
  tessa::TessavinorApp app(argc, argv);
  return app.run();
}
