#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/tessavinor_app.h"
#include "app_core/instance_channel.h"
#include "platform/linux/linux_desktop.h"
#include "reliability/launch_environment_guard.h"

int main(int argc, char** argv) {
  // libdbus ends the process when a caller breaks one of its argument checks
  // (unless told otherwise here, before any thread starts). When the session
  // bus goes away, Qt's own D-Bus thread asks for the reply of a call it could
  // not send (Qt's accessibility bridge looking up the accessibility bus's
  // owner): a warning then, and Qt goes on with its "disconnected" answer,
  // instead of an abort at logout. A value the user set is kept.
  ::setenv("DBUS_FATAL_WARNINGS", "0", 0);
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
